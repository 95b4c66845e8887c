#pragma once
// How an image window reads its photo without making the window wait: the
// display copy first (from the neighbours made ahead, or from a reduced
// decode on a worker), the full-resolution decode beside it on another
// worker.
//
// Keys faster than the decodes are taken in stride. The loader never has
// more decoding under way than there are cores (jobs::cores(), its own
// decodes and the prefetcher's together; a JPEG that decodes in bands takes
// them all), and it hands a decode to the lane only when there is room for
// it: work for a photo passed before its turn came is never started. The
// photo asked for last has its display copy made first; beside it, at most
// one copy still under way for a photo passed (shown when it comes, as the
// user sees the photos go by). Its full decode takes the room left after
// that, at once, as for a single open; while a full decode of a photo
// passed still runs, only once its copy is on screen. A JPEG's decodes
// for a photo passed are stopped and end within a row of blocks: its full
// decode, every copy but the newest, and the newest too while less than half
// made; other formats' run out and are thrown away.
//
// Everything here runs on the window's thread; the decodes run through the
// job helper and come back through its watchers.

#include "core/photo/displaycopy.h"

#include <QByteArray>
#include <QFuture>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class Prefetcher;

class PhotoLoader : public QObject
{
    Q_OBJECT

public:
    explicit PhotoLoader(QObject *parent = nullptr);
    ~PhotoLoader() override;

    // Starts reading path (format: its content's, as imageio::detect gives
    // it) for a workspace of that size. What was under way for an earlier
    // path is dropped: a decode running finishes on its own, and only its
    // display copy is still handed over; one not started yet never starts.
    void load(const QString &path, const QByteArray &format, const QSize &workspace);

    // Whether the photo last loaded still has its display copy or its full
    // decode to come.
    bool busy() const;
    // Blocks until the photo last loaded has been handed over in full
    // (displayed and decoded have been sent for it), for an action that
    // needs its pixels now.
    void finish();

    // The path last loaded.
    QString path() const { return mPath; }

    // Makes the display copies of these files ahead, for the workspace of
    // the last load.
    void prefetch(const QStringList &paths);
    Prefetcher *prefetcher() const { return mPrefetcher; }

    // The threads taken by the decodes under way: the loader's own and the
    // prefetcher's. Never more than jobs::cores().
    int inFlight() const;
    // How many display copies and full decodes the loader has started itself
    // (copies made ahead not counted), since it was made.
    int copiesStarted() const { return mCopiesStarted; }
    int fullDecodesStarted() const { return mFullsStarted; }

signals:
    // A display copy arrived: of the path last loaded, or of one loaded
    // before it. copy.ok is false when the file could not be read.
    void displayed(const displaycopy::Copy &copy);
    // The full decode of the path last loaded, always after its displayed():
    // a null image when it could not be decoded.
    void decoded(const QString &path, const QImage &image, const FileStamp &stamp);
    // After decoded(): the display copy made from that full image for the
    // workspace of the load (a JPEG's; other formats' copies are made from
    // the full image from the start).
    void refined(const QString &path, const QImage &copy);

private:
    struct Job;

    // Starts what the current photo waits for as far as there is room, its
    // display copy first, and leaves the prefetcher what is left.
    void pump();
    bool startDisplay();
    void startFull();
    void stopPassed();
    void displayDone(const std::shared_ptr<Job> &job);
    void fullDone(const std::shared_ptr<Job> &job);
    void refineDone(const std::shared_ptr<Job> &job);
    // Drops job from the work under way; false when its end was dealt with.
    bool ended(const std::shared_ptr<Job> &job);
    // Waits for job to finish and deals with its end, as its watcher would.
    // (Its own reference: dealing with it drops the loader's.)
    void waitFor(std::shared_ptr<Job> job);
    // Sends whatever of the current photo is ready, in order.
    void deliver();
    // Makes the display copy from the current photo's full image, for
    // refined().
    void refine(const QImage &image);
    // Every start waits for the event loop: keys already queued are taken
    // first, and the photos they pass are not decoded.
    void scheduleStart();

    // The threads a decode of the current photo takes.
    int threadsOfCurrent() const;
    int ownInFlight() const;
    bool hasRoomFor(int threads) const;
    // Own work under way for the current photo of this kind, or null.
    std::shared_ptr<Job> currentJob(int kind) const;
    bool passedFullUnderWay() const;
    int passedCopiesUnderWay() const;

    Prefetcher *mPrefetcher = nullptr;
    QString mPath;
    QByteArray mFormat;
    QSize mWorkspace;
    quint64 mGeneration = 0;      // counts loads
    quint64 mShownGeneration = 0; // the load whose copy was handed over last
    bool mStartScheduled = false;

    std::shared_ptr<Job> mAhead; // the current photo's copy, from the prefetcher
    // The loader's own work handed to the lane and not yet dealt with, for
    // any photo: copies, full decodes, copies from full images.
    std::vector<std::shared_ptr<Job>> mUnderWay;
    // What the current photo still waits for; reset by every load.
    bool mDisplaySent = true;
    bool mFullSent = true;
    bool mFullOfItsOwn = false; // a decode of its own, not the one of the copy
    bool mBands = false;        // a JPEG that decodes on every core
    std::shared_ptr<Job> mReadyFull; // its full decode, held until its display copy is sent
    QFuture<photodecode::Decoded> mBegunReduced; // its reduced decode begun at start, not yet taken up
    int mCopiesStarted = 0;
    int mFullsStarted = 0;
};
