#include "picture/prefetcher.h"

#include "imageio/filestamp.h"
#include "imageio/imageio.h"
#include "imageio/jobs.h"

#include <algorithm>
#include <utility>

struct Prefetcher::Decoded
{
    bool ok = false;
    QImage image;
    QByteArray format;
    FileStamp stamp; // the file as it was while it was read
};

std::shared_ptr<Prefetcher::Decoded> Prefetcher::decodeFile(const QString &path)
{
    auto decoded = std::make_shared<Decoded>();
    const FileStamp before = FileStamp::of(path);
    if (!before.exists)
        return decoded;
    decoded->image = imageio::decode(path, &decoded->format);
    // A file that changed while it was read may be half old, half new.
    decoded->ok = !decoded->image.isNull() && FileStamp::of(path) == before;
    decoded->stamp = before;
    if (!decoded->ok)
        decoded->image = QImage();
    return decoded;
}

Prefetcher::Prefetcher(QObject *parent) : QObject(parent)
{
}

// The watchers go with the prefetcher; a decode under way runs out on the
// lane, and its image goes with the last reference to it.
Prefetcher::~Prefetcher() = default;

void Prefetcher::request(const QStringList &paths)
{
    std::vector<std::shared_ptr<Job>> held;
    for (const QString &p : paths) {
        const auto samePath = [&](const std::shared_ptr<Job> &j) { return j->path == p; };
        if (p.isEmpty() || held.size() >= size_t(kMaxFiles) || std::any_of(held.begin(), held.end(), samePath))
            continue;
        const auto it = std::find_if(mHeld.begin(), mHeld.end(), samePath);
        held.push_back(it != mHeld.end() ? *it : std::make_shared<Job>(p));
    }
    // A decode under way for a file no longer wanted runs out and is thrown
    // away; the others start in the new order.
    mHeld = std::move(held);
    mPaused = false;
    startNext();
}

void Prefetcher::startNext()
{
    if (mRunning && !mRunning->future.isFinished())
        return; // one decode at a time
    mRunning.reset();
    if (mPaused)
        return;
    const auto it = std::find_if(mHeld.begin(), mHeld.end(), [](const std::shared_ptr<Job> &j) { return !j->started; });
    if (it == mHeld.end())
        return;
    const std::shared_ptr<Job> job = *it;
    job->started = true;
    job->future = jobs::start(jobs::Lane::Ahead, [path = job->path](const jobs::Progress &) { return decodeFile(path); });
    mRunning = job;
    jobs::watch(job->future, this, [this, job](const std::shared_ptr<Decoded> &) { finishedOne(job); });
}

void Prefetcher::finishedOne(const std::shared_ptr<Job> &job)
{
    if (mRunning == job)
        mRunning.reset();
    startNext();
}

bool Prefetcher::take(const QString &path, QImage *image, QByteArray *format)
{
    const auto it = std::find_if(mHeld.begin(), mHeld.end(), [&](const std::shared_ptr<Job> &j) { return j->path == path; });
    if (it == mHeld.end())
        return false;
    const std::shared_ptr<Job> job = *it;
    mHeld.erase(it);
    // Not started: reading it here is quicker than waiting for the lane.
    if (!job->started)
        return false;
    if (!job->future.isFinished()) {
        mPaused = true;
        job->future.waitForFinished();
    }
    const std::shared_ptr<Decoded> decoded = job->future.result();
    if (!decoded->ok || FileStamp::of(path) != decoded->stamp)
        return false;
    // Moved out, so that the window holds the only reference and can edit
    // the image in place.
    if (image)
        *image = std::move(decoded->image);
    if (format)
        *format = std::move(decoded->format);
    return true;
}

QStringList Prefetcher::held() const
{
    QStringList paths;
    for (const std::shared_ptr<Job> &j : mHeld)
        paths << j->path;
    return paths;
}

void Prefetcher::waitForFinished()
{
    while (mRunning) {
        mRunning->future.waitForFinished();
        startNext();
    }
}
