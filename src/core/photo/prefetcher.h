#pragma once
// Makes the display copies of the photos beside the one an image window
// shows ahead of need, on the job helper's lane of its own, so that Page Up
// and Page Down show the next photo at once. Only display copies are made
// ahead (a few megabytes each, never the full photo): the full decode of a
// photo starts when it is shown. At most two files are held (the next and
// the previous); asking for others drops them.
//
// Everything here runs on the thread that owns the prefetcher; only the
// decodes themselves run on the lane, one at a time, each started when the
// one before has finished and when the owner leaves it room (setRoom): the
// loader of the photo shown keeps the cores for that photo first.

#include "core/photo/displaycopy.h"

#include <QFuture>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class Prefetcher : public QObject
{
    Q_OBJECT

public:
    // How many files are decoded ahead at most.
    static constexpr int kMaxFiles = 2;

    explicit Prefetcher(QObject *parent = nullptr);
    // Running decodes finish on their own and are thrown away; nothing waits.
    ~Prefetcher() override;

    // Makes the display copies of these files for a workspace of that size,
    // one after the other in this order; only the first kMaxFiles count.
    // Files asked for before and not named again, or for another workspace
    // size, are dropped, made or not.
    void request(const QStringList &paths, const QSize &workspace);
    // Drops every file.
    void clear() { request({}, {}); }

    // The copy of path when it was asked for with this workspace size: made,
    // or under way (the future then finishes on its own; nothing waits here).
    // Not started yet or never asked for: an invalid future, and the caller
    // makes the copy itself. Either way path is no longer held, and the files
    // still queued wait until the next request(): the caller is moving on.
    // Whether the file changed since the copy was made is the caller's to
    // check (Copy::stamp).
    QFuture<displaycopy::Copy> take(const QString &path, const QSize &workspace);

    // The files asked for and still held, in order.
    QStringList held() const;
    // Blocks until every held file has been made (for tests and timing),
    // whatever room is left to it.
    void waitForFinished();

    // How many threads a decode may take now: one of a JPEG that decodes in
    // bands takes one per core (jobs::cores()), any other one. A decode that
    // does not fit waits for more room. All of them at first.
    void setRoom(int threads);
    // The threads the decode under way takes (0: none under way). A copy
    // handed over by take() is counted until it is made.
    int inFlight() const;
    // Blocks until the decode under way, if any, has finished; the next one
    // does not start from here.
    void waitForRunning();

signals:
    // A decode has finished: its threads are free again.
    void decodeEnded();

private:
    struct Job
    {
        explicit Job(const QString &p) : path(p) {}
        const QString path;
        bool started = false;
        int threads = 0; // what its decode takes; 0 until known
        QFuture<displaycopy::Copy> future; // once started
    };

    void startNext();

    std::vector<std::shared_ptr<Job>> mHeld; // in the order asked for
    std::shared_ptr<Job> mRunning;           // the decode on the lane, held or not
    QSize mWorkspace;                        // the size the held copies are for
    // Set once a copy was taken: nothing new starts until the next request.
    bool mPaused = false;
    int mRoom;
};
