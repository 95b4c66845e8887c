#include "picture/prefetcher.h"

#include "imageio/imageio.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QPointer>
#include <QThreadPool>
#include <QWaitCondition>

#include <algorithm>
#include <deque>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// What tells one state of a file on disk from another. A save through a
// temporary file and a rename gives a new file (inode) even when size and
// time happen to match.
struct FileStamp
{
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 device = 0;
    quint64 inode = 0;

    bool operator==(const FileStamp &o) const
    {
        return exists == o.exists && size == o.size && modifiedNs == o.modifiedNs && device == o.device
            && inode == o.inode;
    }
    bool operator!=(const FileStamp &o) const { return !(*this == o); }
};

FileStamp stampOf(const QString &path)
{
    FileStamp s;
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.size = st.st_size;
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.device = st.st_dev;
    s.inode = st.st_ino;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return s;
    s.exists = true;
    s.size = info.size();
    s.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
#endif
    return s;
}

// The thread the decodes ahead run on: one of their own, so that they never
// wait behind other work on the shared pool, and never take more than one
// core. The application owns it, and waits for a decode under way as it
// ends.
QThreadPool *prefetchPool()
{
    static QPointer<QThreadPool> pool;
    if (!pool) {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return QThreadPool::globalInstance();
        pool = new QThreadPool(app);
        pool->setMaxThreadCount(1);
    }
    return pool;
}

} // namespace

struct Prefetcher::Job
{
    enum State { Queued, Running, Done };

    explicit Job(const QString &p) : path(p) {}

    const QString path;
    State state = Queued; // guarded by Shared::mutex
    bool ok = false;
    QImage image;
    QByteArray format;
    FileStamp stamp; // the file as it was while it was read
};

// Lives as long as the prefetcher or the worker, whichever is last, so that a
// window can close while a decode runs.
struct Prefetcher::Shared
{
    mutable QMutex mutex;
    mutable QWaitCondition changed;
    std::vector<std::shared_ptr<Job>> held; // in the order asked for
    std::deque<std::shared_ptr<Job>> queue; // held and not yet started
    bool working = false;                   // a worker is on the pool
    // Set while the caller waits for a decode it takes: it is moving on and
    // will say where with its next request, so the worker starts nothing
    // (it could not stop a decode nobody wants any more) until then.
    bool paused = false;
};

Prefetcher::Prefetcher(QObject *parent) : QObject(parent), mShared(std::make_shared<Shared>())
{
}

Prefetcher::~Prefetcher()
{
    clear();
}

void Prefetcher::request(const QStringList &paths)
{
    QStringList wanted;
    for (const QString &p : paths) {
        if (!p.isEmpty() && !wanted.contains(p) && wanted.size() < kMaxFiles)
            wanted << p;
    }

    bool start = false;
    {
        QMutexLocker lock(&mShared->mutex);
        std::vector<std::shared_ptr<Job>> held;
        for (const QString &p : std::as_const(wanted)) {
            auto it = std::find_if(mShared->held.begin(), mShared->held.end(),
                                   [&](const std::shared_ptr<Job> &j) { return j->path == p; });
            held.push_back(it != mShared->held.end() ? *it : std::make_shared<Job>(p));
        }
        // The queue follows the new order; a decode under way for a file no
        // longer wanted runs out and is thrown away with its job.
        std::deque<std::shared_ptr<Job>> queue;
        for (const std::shared_ptr<Job> &j : held) {
            if (j->state == Job::Queued)
                queue.push_back(j);
        }
        mShared->held = std::move(held);
        mShared->queue = std::move(queue);
        mShared->paused = false;
        if (!mShared->queue.empty() && !mShared->working) {
            mShared->working = true;
            start = true;
        }
    }
    if (start) {
        std::shared_ptr<Shared> shared = mShared;
        prefetchPool()->start([shared] { work(shared); });
    }
}

void Prefetcher::work(const std::shared_ptr<Shared> &shared)
{
    for (;;) {
        std::shared_ptr<Job> job;
        {
            QMutexLocker lock(&shared->mutex);
            if (shared->queue.empty() || shared->paused) {
                shared->working = false;
                shared->changed.wakeAll();
                return;
            }
            job = shared->queue.front();
            shared->queue.pop_front();
            job->state = Job::Running;
        }
        const FileStamp before = stampOf(job->path);
        QByteArray format;
        QImage image = before.exists ? imageio::decode(job->path, &format) : QImage();
        // A file that changed while it was read may be half old, half new.
        const bool ok = before.exists && !image.isNull() && stampOf(job->path) == before;
        {
            QMutexLocker lock(&shared->mutex);
            job->ok = ok;
            if (ok) {
                job->image = std::move(image);
                job->format = std::move(format);
                job->stamp = before;
            }
            job->state = Job::Done;
            shared->changed.wakeAll();
        }
        // A job dropped meanwhile lets its image go here, with the last
        // reference to it.
    }
}

bool Prefetcher::take(const QString &path, QImage *image, QByteArray *format)
{
    std::shared_ptr<Job> job;
    {
        QMutexLocker lock(&mShared->mutex);
        auto &held = mShared->held;
        auto it = std::find_if(held.begin(), held.end(), [&](const std::shared_ptr<Job> &j) { return j->path == path; });
        if (it == held.end())
            return false;
        job = *it;
        held.erase(it);
        if (job->state == Job::Queued) {
            // Not started: reading it here is quicker than waiting for the
            // worker to get to it.
            auto &queue = mShared->queue;
            queue.erase(std::remove(queue.begin(), queue.end(), job), queue.end());
            return false;
        }
        if (job->state == Job::Running)
            mShared->paused = true;
        while (job->state != Job::Done)
            mShared->changed.wait(&mShared->mutex);
    }
    if (!job->ok || stampOf(path) != job->stamp)
        return false;
    if (image)
        *image = std::move(job->image);
    if (format)
        *format = std::move(job->format);
    return true;
}

QStringList Prefetcher::held() const
{
    QMutexLocker lock(&mShared->mutex);
    QStringList paths;
    for (const std::shared_ptr<Job> &j : mShared->held)
        paths << j->path;
    return paths;
}

void Prefetcher::waitForFinished() const
{
    QMutexLocker lock(&mShared->mutex);
    while (mShared->working)
        mShared->changed.wait(&mShared->mutex);
}
