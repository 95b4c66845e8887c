#include "core/photo/photoloader.h"

#include "core/imageio/colourmanage.h"
#include "core/imageio/imageio.h"
#include "core/base/jobs.h"
#include "core/photo/prefetcher.h"

#include <QMetaObject>
#include <QThreadPool>

#include <algorithm>

namespace {
enum Kind { Copy, FullDecode, Refine };
} // namespace

struct PhotoLoader::Job
{
    QString path;
    quint64 generation = 0;
    int kind = Copy;
    int threads = 1;      // what it takes of the cores while it runs
    bool ahead = false;   // a display copy made by the prefetcher
    bool handled = false; // its result was dealt with
    // How far its decode has come; stopped once its photo is passed and its
    // result no longer wanted.
    std::shared_ptr<DecodeControl> control = std::make_shared<DecodeControl>();
    QFuture<displaycopy::Copy> copy;
    QFuture<photodecode::Decoded> full;
    QFuture<QImage> exact; // the copy made from the full image
};

PhotoLoader::PhotoLoader(QObject *parent) : QObject(parent), mPrefetcher(new Prefetcher(this))
{
    connect(mPrefetcher, &Prefetcher::decodeEnded, this, &PhotoLoader::scheduleStart);
}

// Decodes under way run out on their lanes; their watchers go with the
// loader, so nothing is handed over any more.
PhotoLoader::~PhotoLoader() = default;

void PhotoLoader::load(const QString &path, const QByteArray &format, const QSize &workspace)
{
    mPath = path;
    mFormat = format;
    mWorkspace = workspace;
    ++mGeneration;
    stopPassed();
    mDisplaySent = false;
    mFullSent = false;
    mBands = format == "jpeg" && imageio::decodesInBands(path);
    // Most formats are decoded whole for their copy, and the full image comes
    // along; so is a JPEG that decodes on every core (its full decode takes
    // about as long as a reduced one on one core, and the exact copy is made
    // from it at once). Other JPEGs, and camera raw files, are decoded in
    // full beside their copy.
    mFullOfItsOwn = displaycopy::fromReduced(format) && !mBands;
    mReadyFull.reset();
    mAhead.reset();
    // The photo named at start has a reduced decode begun already: its copy
    // is made from that, and the full decode is one of its own.
    mBegunReduced = format == "jpeg" ? photodecode::takeReduced(path) : QFuture<photodecode::Decoded>();
    if (mBegunReduced.isValid())
        mFullOfItsOwn = true;
    // The neighbours of the photo left wait: this one comes first.
    mPrefetcher->setRoom(0);

    // Made ahead (or being made): no decode of our own for the display.
    const QFuture<displaycopy::Copy> ahead = mPrefetcher->take(path, workspace);
    if (ahead.isValid()) {
        auto job = std::make_shared<Job>();
        job->path = path;
        job->generation = mGeneration;
        job->ahead = true;
        job->copy = ahead;
        mAhead = job;
        if (ahead.isFinished())
            displayDone(job);
        else
            jobs::watch(ahead, this, [this, job](const displaycopy::Copy &) { displayDone(job); });
    }
    scheduleStart();
}

void PhotoLoader::scheduleStart()
{
    if (mStartScheduled)
        return;
    mStartScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            mStartScheduled = false;
            pump();
        },
        Qt::QueuedConnection);
}

bool PhotoLoader::busy() const
{
    return !mDisplaySent || !mFullSent;
}

void PhotoLoader::prefetch(const QStringList &paths)
{
    mPrefetcher->setRoom(busy() ? 0 : std::max(0, jobs::cores() - ownInFlight()));
    mPrefetcher->request(paths, mWorkspace);
}

int PhotoLoader::threadsOfCurrent() const
{
    // A decode in bands takes every thread of the shared lane that is free.
    return mBands ? jobs::cores() : 1;
}

int PhotoLoader::ownInFlight() const
{
    int threads = 0;
    for (const std::shared_ptr<Job> &job : mUnderWay)
        threads += job->threads;
    return threads;
}

int PhotoLoader::inFlight() const
{
    return ownInFlight() + mPrefetcher->inFlight();
}

bool PhotoLoader::hasRoomFor(int threads) const
{
    return inFlight() + threads <= jobs::cores();
}

std::shared_ptr<PhotoLoader::Job> PhotoLoader::currentJob(int kind) const
{
    for (const std::shared_ptr<Job> &job : mUnderWay) {
        if (job->generation == mGeneration && job->kind == kind)
            return job;
    }
    return {};
}

bool PhotoLoader::passedFullUnderWay() const
{
    return std::any_of(mUnderWay.begin(), mUnderWay.end(), [this](const std::shared_ptr<Job> &job) {
        return job->generation != mGeneration && job->kind == FullDecode;
    });
}

int PhotoLoader::passedCopiesUnderWay() const
{
    return int(std::count_if(mUnderWay.begin(), mUnderWay.end(), [this](const std::shared_ptr<Job> &job) {
        return job->generation != mGeneration && job->kind == Copy;
    }));
}

void PhotoLoader::pump()
{
    // The full decode never takes the place of the copy waiting for room.
    if (startDisplay())
        startFull();
    // What is left goes to the neighbours, once this photo has all it needs.
    mPrefetcher->setRoom(busy() ? 0 : std::max(0, jobs::cores() - ownInFlight()));
}

bool PhotoLoader::startDisplay()
{
    if (mDisplaySent || mAhead || currentJob(Copy))
        return true; // sent, or coming
    // Beside it, the copy under way for a photo passed (shown when it comes),
    // but not a second one: that photo is gone from the screen already.
    const int threads = mBegunReduced.isValid() ? 1 : threadsOfCurrent();
    if (passedCopiesUnderWay() > 1 || !hasRoomFor(threads))
        return false;
    auto job = std::make_shared<Job>();
    job->path = mPath;
    job->generation = mGeneration;
    job->kind = Copy;
    job->threads = threads;
    const bool keepFull = !mFullOfItsOwn;
    if (mBegunReduced.isValid()) {
        // From the reduced decode begun at start once it is there, on the
        // lane, without a thread waiting for it; decoded again for a
        // workspace it does not cover.
        job->copy = mBegunReduced.then(jobs::pool(jobs::Lane::Shared), [path = mPath, workspace = mWorkspace](
                                                                           const photodecode::Decoded &decoded) {
            return displaycopy::covers(decoded, workspace) ? displaycopy::fromDecoded(path, decoded, workspace)
                                                           : displaycopy::make(path, workspace, false);
        });
        mBegunReduced = {};
    } else {
        job->copy = jobs::start(jobs::Lane::Shared, [path = mPath, workspace = mWorkspace, keepFull,
                                                     control = job->control](const jobs::Progress &) {
            return displaycopy::make(path, workspace, keepFull, control.get());
        });
    }
    mUnderWay.push_back(job);
    ++mCopiesStarted;
    jobs::watch(job->copy, this, [this, job](const displaycopy::Copy &) { displayDone(job); });
    return true;
}

void PhotoLoader::startFull()
{
    if (!mFullOfItsOwn || mFullSent || mReadyFull || currentJob(FullDecode))
        return;
    // One full decode for a photo passed may still run out beside it, not
    // more: a photo passed before its copy came could be passed again.
    if (!mDisplaySent && passedFullUnderWay())
        return;
    const int threads = threadsOfCurrent();
    if (!hasRoomFor(threads))
        return;
    auto job = std::make_shared<Job>();
    job->path = mPath;
    job->generation = mGeneration;
    job->kind = FullDecode;
    job->threads = threads;
    job->full = jobs::start(jobs::Lane::Shared, [path = mPath, control = job->control](const jobs::Progress &) {
        return photodecode::full(path, control.get());
    });
    mUnderWay.push_back(job);
    ++mFullsStarted;
    jobs::watch(job->full, this, [this, job](const photodecode::Decoded &) { fullDone(job); });
}

void PhotoLoader::stopPassed()
{
    // Full decodes of photos passed are of no use any more. Of their copies
    // the newest runs out when it is half made or more, to be shown as the
    // photos go by (a key held down); one begun just before the key, and
    // older ones, would only keep the photo asked for from the cores.
    const Job *newestCopy = nullptr;
    for (const std::shared_ptr<Job> &job : mUnderWay) {
        if (job->kind == Copy && (!newestCopy || job->generation > newestCopy->generation))
            newestCopy = job.get();
    }
    for (const std::shared_ptr<Job> &job : mUnderWay) {
        if (job->generation == mGeneration || job->kind == Refine)
            continue;
        if (job->kind == FullDecode || job.get() != newestCopy || job->control->done() < 0.5)
            job->control->stop = true;
    }
}

bool PhotoLoader::ended(const std::shared_ptr<Job> &job)
{
    if (job->handled)
        return false;
    job->handled = true;
    mUnderWay.erase(std::remove(mUnderWay.begin(), mUnderWay.end(), job), mUnderWay.end());
    return true;
}

void PhotoLoader::displayDone(const std::shared_ptr<Job> &job)
{
    if (!ended(job))
        return;
    if (mAhead == job)
        mAhead.reset();
    const displaycopy::Copy copy = job->copy.result();
    const bool current = job->generation == mGeneration;
    if (!current) {
        // A photo passed: shown as it comes, if it could be read, unless a
        // later one is on screen already.
        if (copy.ok && job->generation > mShownGeneration) {
            mShownGeneration = job->generation;
            emit displayed(copy);
        }
        scheduleStart();
        return;
    }
    if (job->ahead
        && (!copy.ok || FileStamp::of(copy.path) != copy.stamp
            || copy.colours != colourmanage::displayGeneration())) {
        // Made ahead from a file that has changed since, or could not be
        // made then, or in colours since turned off or on: made again now.
        scheduleStart();
        return;
    }
    mDisplaySent = true;
    mShownGeneration = job->generation;
    emit displayed(copy);
    if (!mFullOfItsOwn && copy.ok && copy.full.isNull()) {
        // Made ahead, as a copy only: the full decode follows.
        mFullOfItsOwn = true;
    } else if (!mFullOfItsOwn) {
        // Decoded whole: the full image came with the copy.
        mFullSent = true;
        emit decoded(copy.path, copy.ok ? copy.full : QImage(), copy.stamp);
        // A JPEG's copy made from its full image is the exact one already.
        if (copy.ok && copy.format == "jpeg")
            emit refined(copy.path, copy.copy);
    } else {
        deliver();
    }
    scheduleStart();
}

void PhotoLoader::fullDone(const std::shared_ptr<Job> &job)
{
    if (!ended(job))
        return;
    if (job->generation == mGeneration) {
        mReadyFull = job;
        deliver();
    }
    // A photo passed: thrown away.
    scheduleStart();
}

void PhotoLoader::deliver()
{
    if (!mReadyFull || !mDisplaySent || mFullSent)
        return;
    const photodecode::Decoded full = mReadyFull->full.result();
    mReadyFull.reset();
    mFullSent = true;
    // Under way before the photo hears of its image: the neighbours it asks
    // for then are made ahead in the room that is left.
    refine(full.image);
    emit decoded(mPath, full.image, full.stamp);
}

void PhotoLoader::refine(const QImage &image)
{
    if (image.isNull())
        return;
    // The display copy made from the full image, on a worker, to take the
    // place of the one from the reduced decode; in the room of the full
    // decode just ended.
    auto job = std::make_shared<Job>();
    job->path = mPath;
    job->generation = mGeneration;
    job->kind = Refine;
    job->exact = jobs::start(jobs::Lane::Shared, [image, workspace = mWorkspace](const jobs::Progress &) {
        return displaycopy::shown(image, displaycopy::copySize(image.size(), workspace));
    });
    mUnderWay.push_back(job);
    jobs::watch(job->exact, this, [this, job](const QImage &) { refineDone(job); });
}

void PhotoLoader::refineDone(const std::shared_ptr<Job> &job)
{
    if (!ended(job))
        return;
    if (job->generation == mGeneration)
        emit refined(job->path, job->exact.result());
    scheduleStart();
}

void PhotoLoader::waitFor(std::shared_ptr<Job> job)
{
    switch (job->kind) {
    case Copy:
        job->copy.waitForFinished();
        displayDone(job);
        break;
    case FullDecode:
        job->full.waitForFinished();
        fullDone(job);
        break;
    default:
        job->exact.waitForFinished();
        refineDone(job);
        break;
    }
}

void PhotoLoader::finish()
{
    const quint64 generation = mGeneration;
    while (busy() && generation == mGeneration) {
        pump();
        if (!mDisplaySent && (mAhead || currentJob(Copy))) {
            // The copy this photo waits for: made ahead, or its own.
            waitFor(mAhead ? mAhead : currentJob(Copy));
            continue;
        }
        if (mReadyFull) {
            deliver();
            continue;
        }
        if (mDisplaySent && currentJob(FullDecode)) {
            waitFor(currentJob(FullDecode));
            continue;
        }
        // What it needs waits for room: the work under way ends first.
        if (!mUnderWay.empty()) {
            waitFor(mUnderWay.front());
            continue;
        }
        if (mPrefetcher->inFlight() > 0) {
            mPrefetcher->waitForRunning();
            continue;
        }
        break; // not reached: with nothing under way, pump() started what it needs
    }
}
