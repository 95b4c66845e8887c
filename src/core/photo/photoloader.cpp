#include "core/photo/photoloader.h"

#include "core/imageio/colourmanage.h"
#include "core/imageio/imageio.h"
#include "core/base/jobs.h"
#include "core/photo/prefetcher.h"

#include <QMetaObject>

namespace {

struct Full
{
    QImage image;
    FileStamp stamp; // the file as it was when the decode began
};

Full decodeFull(const QString &path)
{
    Full f;
    f.stamp = FileStamp::of(path);
    f.image = imageio::decode(path);
    return f;
}

} // namespace

struct PhotoLoader::Job
{
    QString path;
    quint64 generation = 0;
    bool ahead = false;   // a display copy made by the prefetcher
    bool handled = false; // its result was dealt with
    QFuture<displaycopy::Copy> copy;
    QFuture<Full> full;
};

PhotoLoader::PhotoLoader(QObject *parent) : QObject(parent), mPrefetcher(new Prefetcher(this))
{
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
    mDisplaySent = false;
    mFullSent = false;
    // Most formats are decoded whole for their copy, and the full image comes
    // along; so is a JPEG that decodes on every core (its full decode takes
    // about as long as a reduced one on one core, and the exact copy is made
    // from it at once). Other JPEGs, and camera raw files, are decoded in
    // full beside their copy.
    mFullOfItsOwn = displaycopy::fromReduced(format) && !(format == "jpeg" && imageio::decodesInBands(path));
    mReadyFull.reset();
    mAhead.reset();

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
            startDisplay();
            startFull();
        },
        Qt::QueuedConnection);
}

bool PhotoLoader::busy() const
{
    return !mDisplaySent || !mFullSent;
}

void PhotoLoader::prefetch(const QStringList &paths)
{
    mPrefetcher->request(paths, mWorkspace);
}

void PhotoLoader::startDisplay()
{
    if (mDisplaySent || mAhead)
        return; // sent, or coming from the prefetcher
    if (mDisplay) {
        // One at a time: a copy under way for a photo passed is shown when
        // it comes, and this one starts then.
        return;
    }
    auto job = std::make_shared<Job>();
    job->path = mPath;
    job->generation = mGeneration;
    const bool keepFull = !mFullOfItsOwn;
    job->copy = jobs::start(jobs::Lane::Shared, [path = mPath, workspace = mWorkspace, keepFull](const jobs::Progress &) {
        return displaycopy::make(path, workspace, keepFull);
    });
    mDisplay = job;
    jobs::watch(job->copy, this, [this, job](const displaycopy::Copy &) { displayDone(job); });
}

void PhotoLoader::startFull()
{
    if (!mFullOfItsOwn || mFullSent || mReadyFull)
        return;
    if (mFull)
        return; // under way, for this photo or for one passed (then this one starts when it ends)
    auto job = std::make_shared<Job>();
    job->path = mPath;
    job->generation = mGeneration;
    job->full = jobs::start(jobs::Lane::Shared, [path = mPath](const jobs::Progress &) { return decodeFull(path); });
    mFull = job;
    jobs::watch(job->full, this, [this, job](const Full &) { fullDone(job); });
}

void PhotoLoader::displayDone(const std::shared_ptr<Job> &job)
{
    if (job->handled)
        return;
    job->handled = true;
    if (mDisplay == job)
        mDisplay.reset();
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
        startDisplay();
        return;
    }
    if (job->ahead
        && (!copy.ok || FileStamp::of(copy.path) != copy.stamp
            || copy.colours != colourmanage::displayGeneration())) {
        // Made ahead from a file that has changed since, or could not be
        // made then, or in colours since turned off or on: made again now.
        startDisplay();
        return;
    }
    mDisplaySent = true;
    mShownGeneration = job->generation;
    emit displayed(copy);
    if (!mFullOfItsOwn) {
        if (copy.ok && copy.full.isNull()) {
            // Made ahead, as a copy only: the full decode follows.
            mFullOfItsOwn = true;
            startFull();
            return;
        }
        // Decoded whole: the full image came with the copy.
        mFullSent = true;
        emit decoded(copy.path, copy.ok ? copy.full : QImage(), copy.stamp);
        // A JPEG's copy made from its full image is the exact one already.
        if (copy.ok && copy.format == "jpeg")
            emit refined(copy.path, copy.copy);
        return;
    }
    deliver();
}

void PhotoLoader::fullDone(const std::shared_ptr<Job> &job)
{
    if (job->handled)
        return;
    job->handled = true;
    if (mFull == job)
        mFull.reset();
    if (job->generation != mGeneration) {
        startFull(); // a photo passed: thrown away, the current one's starts
        return;
    }
    mReadyFull = job;
    deliver();
}

void PhotoLoader::deliver()
{
    if (!mReadyFull || !mDisplaySent || mFullSent)
        return;
    const Full full = mReadyFull->full.result();
    mReadyFull.reset();
    mFullSent = true;
    emit decoded(mPath, full.image, full.stamp);
    refine(full.image);
}

void PhotoLoader::refine(const QImage &image)
{
    if (image.isNull())
        return;
    // The display copy made from the full image, on a worker, to take the
    // place of the one from the reduced decode.
    const QString path = mPath;
    const quint64 generation = mGeneration;
    auto exact = jobs::start(jobs::Lane::Shared, [image, workspace = mWorkspace](const jobs::Progress &) {
        return displaycopy::shown(image, displaycopy::copySize(image.size(), workspace));
    });
    jobs::watch(exact, this, [this, path, generation](const QImage &copy) {
        if (generation == mGeneration)
            emit refined(path, copy);
    });
}

void PhotoLoader::finish()
{
    const quint64 generation = mGeneration;
    while (busy() && generation == mGeneration) {
        startDisplay();
        startFull();
        if (!mDisplaySent) {
            // The copy this photo waits for: made ahead, its own, or one
            // under way for a photo passed that must end first.
            const std::shared_ptr<Job> job = mAhead ? mAhead : mDisplay;
            if (!job)
                break; // not reached: startDisplay() started one
            job->copy.waitForFinished();
            displayDone(job);
            continue;
        }
        if (mReadyFull) {
            deliver();
            continue;
        }
        const std::shared_ptr<Job> job = mFull;
        if (!job)
            break; // not reached for a JPEG: startFull() started it
        job->full.waitForFinished();
        fullDone(job);
    }
}
