#pragma once
// A photo as an image window shows and edits it, without the window: the
// file, its state on disk and format, the other images of its folder, how
// far its reading has come, the full-resolution image, the edits as
// commands of an undo stack, and the writes made from it (cuts, Save, Save
// As), which run off the GUI thread and report back.
//
// Reading goes through PhotoLoader: the header at once, then the display
// copy and the full decode on workers. Commands that need the full image,
// and writes, wait until the photo is idle (whenIdle): its full decode in,
// no write under way. So a second Cut and Next pressed while the first is
// still being written cuts the next photo, not this one again.
//
// Everything here runs on the thread that owns the photo; only the decodes
// and the writes run on the job helper's lanes, each on its own copy of the
// image.

#include "core/cut/capture.h"
#include "core/imageio/filestamp.h"
#include "core/imageio/imagewrite.h"
#include "core/photo/displaycopy.h"
#include "core/photo/photoedit.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class PhotoLoader;
class Prefetcher;
class QUndoStack;

class Photo : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Empty,   // no file yet
        Header,  // the file's header is read: its size is known
        Display, // its display copy has come
        Full,    // its full image has come
        Failed,  // it could not be decoded (the image before it stays)
    };

    explicit Photo(QObject *parent = nullptr);
    ~Photo() override;

    // ---- the file ---------------------------------------------------------

    // Takes the file at path as the photo (a path written with backslashes
    // is taken with "/"), reads its format and header and lists its folder.
    // False when there is no such file: nothing changes then. Its pixels
    // are read by load().
    bool open(const QString &path);
    // Starts reading the pixels of the file opened last, the display copy
    // for a workspace of that size first. A copy made ahead may be handed
    // over from inside this call.
    void load(const QSize &workspace);

    QString path() const { return mPath; }
    QByteArray format() const { return mFormat; }
    // The size the header gives (invalid when it could not be read).
    QSize headerSize() const { return mHeaderSize; }
    // The image files of the folder (names only), as listed at the open.
    QStringList folderEntries() const { return mFolderEntries; }
    State state() const { return mState; }

    // The path Page Up / Page Down (step +1 / -1) would show: the neighbour
    // in the folder list, this file itself at the ends; empty when the file
    // is not in the list (a name spelt otherwise than the listing).
    QString stepTarget(int step) const;
    // Whether step would show another file.
    bool canStep(int step) const;
    // Has the neighbours in the folder made ahead as display copies.
    void requestNeighbours();

    // Moves the file to the desktop's trash (removes it where there is
    // none). Returns why that was not done, or empty when it was.
    QString removeFile();

    // Whether the photo asked for last still has its display copy or its
    // full decode to come.
    bool isLoading() const;
    // Blocks until the photo asked for last has been read in full.
    void finishLoading();
    PhotoLoader *loader() const { return mLoader; }
    Prefetcher *prefetcher() const;

    // ---- the image --------------------------------------------------------

    // The full-resolution image with its edits; null until it has come.
    const QImage &image() const { return mImage; }
    // Whether the image is the file's own (decoded from path(), or written
    // there): only then may it be saved over the file.
    bool isFromFile() const { return mFromFile; }
    // The file as it was when the image was read from it, or written.
    FileStamp stamp() const { return mStamp; }
    ColourOffsets colourOffsets() const { return mOffsets; }

    // ---- edits ------------------------------------------------------------

    // The edits below wait until the photo is idle (whenIdle).
    QUndoStack *undoStack() const { return mUndo; }
    void undo();
    void redo();
    void rotate(double angle);
    void invert();
    // From the photo as read from its file (or last saved): turns,
    // inversions and earlier adjustments made since are dropped.
    void adjustColours(const ColourOffsets &offsets);
    // Whether the image differs from the file: any edit since it was read
    // or saved, unless turns that add up to none.
    bool isModified() const;
    // The quarter turns (0..3) clockwise that make the file's pixels into
    // the image, when turning is all that happened to them; -1 otherwise
    // (and for an image that is not the file's).
    int quarterTurnsFromFile() const;

    // ---- writes -------------------------------------------------------------

    // The writes start at once, on the image as it is: call them when the
    // photo is idle (whenIdle), so that nothing of it is still to come.

    // Writes the part rect of the image into captureFolder (capture::writeCut).
    // cutDone reports.
    void cut(const QRect &rect, const QString &captureFolder, const imageio::PhotoOptions &options,
             capture::Naming naming);
    // Writes the image over its file, in the format of the file's content.
    // The caller has made sure that may be done. saved reports.
    void save(const imageio::PhotoOptions &options);
    // Writes the image to path in that format; the photo is then that file.
    // saved reports.
    void saveAs(const QString &path, const QByteArray &qtFormat, const imageio::PhotoOptions &options);
    bool isWriting() const { return bool(mWrite); }

    // ---- commands -------------------------------------------------------------

    // Whether nothing is under way: the full decode is in (or failed) and
    // no write is running.
    bool isIdle() const;
    // What a command waits for: no write under way, and the full image of
    // the photo asked for last too (everything but stepping and deleting).
    enum class Needs { Image, NoWrite };
    // Runs command now when nothing it waits for is under way, else as soon
    // as that has ended, always in the order asked.
    void whenIdle(std::function<void()> command, Needs needs = Needs::Image);
    // Blocks until everything under way has ended and every waiting command
    // has run (closing the window, tests).
    void finish();

signals:
    // A display copy came: of the photo asked for last, or of one passed on
    // the way (copy.path tells). copy.ok is false when it could not be read.
    void displayed(const displaycopy::Copy &copy);
    // The full decode of the photo asked for last has come: image() holds
    // it, or it could not be decoded (state() is Failed).
    void loaded(const QString &path);
    // The display copy made from the full decode, to replace the one from a
    // reduced decode while the photo is shown unedited.
    void refined(const QString &path, const QImage &copy);
    // An edit, an undo or a redo changed the image.
    void imageChanged();
    void modifiedChanged(bool modified);
    // A write that takes long enough to be noticed began (message says
    // what), or ended (empty message).
    void writing(const QString &message);
    void cutDone(const capture::Result &result);
    // Save or Save As ended: result.path is the file written, or empty and
    // result.error says why.
    void saved(const capture::Result &result);

private:
    struct Write;
    using WriteWork = std::function<capture::Result()>;
    using WriteDone = std::function<void(const capture::Result &)>;

    void takeCopy(const displaycopy::Copy &copy);
    void takeDecode(const QString &path, const QImage &image, const FileStamp &stamp);
    void takeRefined(const QString &path, const QImage &copy);
    void push(PhotoEdit *edit);
    // The image changed: tells so, and whether it now differs from the file.
    void changed();
    void tellModified();
    // The quarter turns (0..3) between the state last read or written and
    // the image, when turning is all that happened; -1 otherwise.
    int turnsSinceClean() const;
    // A Save or Save As to path has ended.
    void wroteFile(const QString &path, quint64 opened, const capture::Result &result);
    // The image is what the file at path holds now (read or written).
    void takeAsFile(const QString &path);
    // Runs work on a worker after telling of it when it is large; done()
    // here once it has ended.
    void startWrite(qint64 pixels, const QString &message, WriteWork work, WriteDone done);
    void endWrite(const std::shared_ptr<Write> &write);
    void runWaiting();
    PhotoEdit::Target target();

    PhotoLoader *mLoader = nullptr;
    QUndoStack *mUndo = nullptr;
    QString mPath;
    quint64 mOpened = 0; // counts the files opened
    QByteArray mFormat;
    QSize mHeaderSize;
    QStringList mFolderEntries;
    State mState = State::Empty;
    QImage mImage;
    // The image as read from the file or last written there: where a colour
    // adjustment starts.
    QImage mFileImage;
    QString mImagePath; // the file mImage was decoded from
    bool mFromFile = false;
    FileStamp mStamp;
    ColourOffsets mOffsets;
    bool mWasModified = false;
    QString mLastLoaded; // the file the neighbours were last asked for
    std::shared_ptr<Write> mWrite;
    struct Waiting
    {
        std::function<void()> command;
        Needs needs;
    };
    QList<Waiting> mWaiting;
    bool mRunningWaiting = false;
};
