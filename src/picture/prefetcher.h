#pragma once
// Decodes the photos beside the one an image window shows on a worker
// thread, so that Page Up and Page Down find them ready. At most two files
// are held (the next and the previous); asking for others drops them, and a
// decode is handed over only while its file on disk is still the one that
// was read (same size, modification time and file), else the caller reads
// it again.

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class Prefetcher : public QObject
{
    Q_OBJECT

public:
    // How many files are decoded ahead at most.
    static constexpr int kMaxFiles = 2;

    explicit Prefetcher(QObject *parent = nullptr);
    // Running decodes finish on their own and are thrown away; nothing waits.
    ~Prefetcher() override;

    // Decodes these files ahead, one after the other in this order, on one
    // worker thread; only the first kMaxFiles count. Files asked for before
    // and not named again are dropped, decoded or not.
    void request(const QStringList &paths);
    // Drops every file.
    void clear() { request({}); }

    // The decode of path (as imageio::decode gives it: *image and *format)
    // when path was asked for and its file is unchanged since it was read.
    // A decode under way is waited for; one not yet started is dropped, as
    // is a decode that failed or whose file changed: the caller then reads
    // the file itself. Either way path is no longer held. Waiting for a
    // decode holds the worker back from the files still queued until the
    // next request(): the caller is moving on.
    bool take(const QString &path, QImage *image, QByteArray *format);

    // The files asked for and still held, in order.
    QStringList held() const;
    // Blocks until the worker has nothing left to do (for tests and timing).
    void waitForFinished() const;

private:
    struct Job;
    struct Shared;
    static void work(const std::shared_ptr<Shared> &shared);

    std::shared_ptr<Shared> mShared;
};
