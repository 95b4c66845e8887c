#pragma once
// Decodes the photos beside the one an image window shows ahead of need, on
// the job helper's lane of its own, so that Page Up and Page Down find them
// ready. At most two files are held (the next and the previous); asking for
// others drops them, and a decode is handed over only while its file on disk
// is still the one that was read (same size, modification time and file),
// else the caller reads it again.
//
// Everything here runs on the thread that owns the prefetcher; only the
// decodes themselves run on the lane, one at a time, each started when the
// one before has finished.

#include <QByteArray>
#include <QFuture>
#include <QImage>
#include <QObject>
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

    // Decodes these files ahead, one after the other in this order; only the
    // first kMaxFiles count. Files asked for before and not named again are
    // dropped, decoded or not.
    void request(const QStringList &paths);
    // Drops every file.
    void clear() { request({}); }

    // The decode of path (as imageio::decode gives it: *image and *format)
    // when path was asked for and its file is unchanged since it was read.
    // A decode under way is waited for; one not yet started is dropped, as
    // is a decode that failed or whose file changed: the caller then reads
    // the file itself. Either way path is no longer held. Waiting for a
    // decode holds back the files still queued until the next request(): the
    // caller is moving on.
    bool take(const QString &path, QImage *image, QByteArray *format);

    // The files asked for and still held, in order.
    QStringList held() const;
    // Blocks until every held file has been decoded (for tests and timing).
    void waitForFinished();

private:
    struct Decoded;
    struct Job
    {
        explicit Job(const QString &p) : path(p) {}
        const QString path;
        bool started = false;
        QFuture<std::shared_ptr<Decoded>> future; // once started
    };

    // Runs on the lane.
    static std::shared_ptr<Decoded> decodeFile(const QString &path);
    void startNext();
    void finishedOne(const std::shared_ptr<Job> &job);

    std::vector<std::shared_ptr<Job>> mHeld; // in the order asked for
    std::shared_ptr<Job> mRunning;           // the decode on the lane, held or not
    // Set while take() waits for a decode: the caller is moving on and will
    // say where with its next request, so nothing new starts until then (a
    // decode under way cannot be stopped).
    bool mPaused = false;
};
