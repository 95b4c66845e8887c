#pragma once
// How an image window reads its photo without making the window wait: the
// display copy first (from the neighbours made ahead, or from a reduced
// decode on a worker), the full-resolution decode beside it on another
// worker. Keys faster than the decodes are taken in stride: a display copy
// that arrives for a photo already passed is still handed over (the user
// sees the photos go by), but only the last photo asked for is decoded in
// full, and only one display copy and one full decode are made at a time.
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
    // display copy is still handed over.
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

    void startDisplay();
    void startFull();
    void displayDone(const std::shared_ptr<Job> &job);
    void fullDone(const std::shared_ptr<Job> &job);
    // Sends whatever of the current photo is ready, in order.
    void deliver();
    // Makes the display copy from the current photo's full image, for
    // refined().
    void refine(const QImage &image);
    // The start of both decodes waits for the event loop: keys already
    // queued are taken first, and the photos they pass are not decoded.
    void scheduleStart();

    Prefetcher *mPrefetcher = nullptr;
    QString mPath;
    QByteArray mFormat;
    QSize mWorkspace;
    quint64 mGeneration = 0;      // counts loads
    quint64 mShownGeneration = 0; // the load whose copy was handed over last
    bool mStartScheduled = false;

    std::shared_ptr<Job> mAhead;   // the current photo's copy, from the prefetcher
    std::shared_ptr<Job> mDisplay; // the display copy under way (any path)
    std::shared_ptr<Job> mFull;    // the full decode under way (any path)
    // What the current photo still waits for; reset by every load.
    bool mDisplaySent = true;
    bool mFullSent = true;
    bool mFullOfItsOwn = false; // a decode of its own, not the one of the copy
    std::shared_ptr<Job> mReadyFull; // its full decode, held until its display copy is sent
};
