#include "core/photo/prefetcher.h"

#include "core/base/jobs.h"
#include "core/imageio/imageio.h"

#include <algorithm>
#include <utility>

Prefetcher::Prefetcher(QObject *parent) : QObject(parent), mRoom(jobs::cores())
{
}

// The watchers go with the prefetcher; a decode under way runs out on the
// lane, and its copy goes with the last reference to it.
Prefetcher::~Prefetcher() = default;

void Prefetcher::request(const QStringList &paths, const QSize &workspace)
{
    if (workspace != mWorkspace)
        mHeld.clear(); // copies of another size
    mWorkspace = workspace;
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
    if (job->threads == 0)
        job->threads = imageio::decodesInBands(job->path) ? jobs::cores() : 1;
    if (job->threads > mRoom)
        return; // started when the owner has room again
    job->started = true;
    job->future = jobs::start(jobs::Lane::Ahead, [path = job->path, workspace = mWorkspace](const jobs::Progress &) {
        return displaycopy::make(path, workspace, false);
    });
    mRunning = job;
    jobs::watch(job->future, this, [this, job](const displaycopy::Copy &) {
        if (mRunning == job)
            mRunning.reset();
        startNext();
        emit decodeEnded();
    });
}

void Prefetcher::setRoom(int threads)
{
    mRoom = threads;
    startNext();
}

int Prefetcher::inFlight() const
{
    return mRunning && !mRunning->future.isFinished() ? mRunning->threads : 0;
}

void Prefetcher::waitForRunning()
{
    if (mRunning)
        mRunning->future.waitForFinished();
}

QFuture<displaycopy::Copy> Prefetcher::take(const QString &path, const QSize &workspace)
{
    const auto it = std::find_if(mHeld.begin(), mHeld.end(), [&](const std::shared_ptr<Job> &j) { return j->path == path; });
    if (it == mHeld.end() || workspace != mWorkspace)
        return {};
    const std::shared_ptr<Job> job = *it;
    mHeld.erase(it);
    if (!job->started)
        return {};
    mPaused = true;
    return job->future;
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
    // The caller waits for these files: they are made whatever room the
    // owner left.
    const int room = mRoom;
    mRoom = jobs::cores();
    startNext();
    while (mRunning) {
        mRunning->future.waitForFinished();
        mRunning.reset();
        startNext();
    }
    mRoom = room;
}
