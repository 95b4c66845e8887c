#include "core/photo/photo.h"

#include "core/base/jobs.h"
#include "core/base/pathutil.h"
#include "core/imageio/formats.h"
#include "core/imageio/imageio.h"
#include "core/photo/photoloader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUndoStack>

namespace {

// PNG, the slowest format written, takes some half a second a megapixel;
// what is smaller is written before anyone could read a notice.
constexpr qint64 kNoticeablePixels = 500'000;

// Edits kept for undo. Most keep no pixels; an edit that cannot be undone
// by its opposite keeps the image before it, so the limit bounds memory.
constexpr int kUndoLimit = 32;

} // namespace

struct Photo::Write
{
    QFuture<capture::Result> future;
    WriteDone done;
    bool told = false;    // writing() was sent for it
    bool handled = false; // its end was dealt with
};

Photo::Photo(QObject *parent) : QObject(parent), mLoader(new PhotoLoader(this)), mUndo(new QUndoStack(this))
{
    mUndo->setUndoLimit(kUndoLimit);
    connect(mLoader, &PhotoLoader::displayed, this, &Photo::takeCopy);
    connect(mLoader, &PhotoLoader::decoded, this, &Photo::takeDecode);
    connect(mLoader, &PhotoLoader::refined, this, &Photo::takeRefined);
}

// A write under way ends on its own; its watcher goes with the photo.
Photo::~Photo() = default;

// ---- the file ---------------------------------------------------------------

bool Photo::open(const QString &path)
{
    if (path.isEmpty())
        return false;
    // A name that really holds a backslash (legal here) is kept as it is.
    const QString slashed = pathutil::slashes(path);
    const QString usable = QFileInfo::exists(slashed) ? slashed : path;
    if (!QFileInfo::exists(usable))
        return false;
    mPath = usable;
    ++mOpened;
    mFormat = imageio::detect(mPath);
    // Nothing of the file is in the image yet: no save in place until its
    // full decode has come.
    mFromFile = false;
    mFolderEntries = formats::listImages(pathutil::beforeLastSlash(mPath));
    mOffsets = ColourOffsets();
    // The edits belong to the photo left: stepping drops them.
    mUndo->clear();
    mHeaderSize = mFormat.isEmpty() ? QSize() : imageio::probeSize(mPath);
    mState = State::Header;
    tellModified();
    return true;
}

void Photo::load(const QSize &workspace)
{
    mLoader->load(mPath, mFormat, workspace);
}

bool Photo::isLoading() const
{
    return mLoader->busy();
}

void Photo::finishLoading()
{
    mLoader->finish();
}

Prefetcher *Photo::prefetcher() const
{
    return mLoader->prefetcher();
}

QString Photo::stepTarget(int step) const
{
    if (mPath.isNull())
        return {};
    const QString folder = pathutil::folderWithSlash(mPath);
    // Exact, case-sensitive: a name spelt differently from the listing is
    // not found, and the window cannot step.
    const int current = mFolderEntries.indexOf(mPath.mid(folder.size()));
    if (current < 0)
        return {};
    int target = current;
    if (step > 0)
        target = qMin(current + 1, int(mFolderEntries.size()) - 1);
    else if (step < 0)
        target = qMax(current - 1, 0);
    return folder + mFolderEntries.at(target);
}

bool Photo::canStep(int step) const
{
    return step != 0 && !stepTarget(step).isEmpty() && stepTarget(step) != mPath;
}

void Photo::requestNeighbours()
{
    const QString folder = pathutil::folderWithSlash(mPath);
    const int current = mFolderEntries.indexOf(mPath.mid(folder.size()));
    // The neighbour in the direction of the last step is decoded first, the
    // next one when there was no step: Page Up is the usual way through.
    const QString lastFolder = pathutil::folderWithSlash(mLastLoaded);
    const int last = lastFolder == folder ? mFolderEntries.indexOf(mLastLoaded.mid(folder.size())) : -1;
    mLastLoaded = mPath;
    QStringList neighbours;
    if (current >= 0) {
        const QString next = current + 1 < mFolderEntries.size() ? folder + mFolderEntries.at(current + 1) : QString();
        const QString previous = current > 0 ? folder + mFolderEntries.at(current - 1) : QString();
        neighbours = last > current ? QStringList{previous, next} : QStringList{next, previous};
        neighbours.removeAll(QString());
    }
    mLoader->prefetch(neighbours);
}

QString Photo::removeFile()
{
    const QFileInfo info(mPath);
    const bool present = info.exists() || info.isSymLink();
    // Only a file is deleted: a folder put in its place would go to the
    // trash with everything in it.
    if (present && !info.isFile()) {
        return info.isDir() ? tr("%1 is a folder now, not an image file; it is not deleted").arg(mPath)
                            : tr("%1 is not an image file now; it is not deleted").arg(mPath);
    }
    // Into the desktop's trash where there is one, else removed for good.
    // Qt makes the trash folder but not the data folder that holds it; a
    // new account may not have that yet, and the file would then be removed
    // for good where the user expects it in the trash.
    if (present)
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (present && !QFile::moveToTrash(mPath) && !QFile::remove(mPath))
        return tr("%1 could not be deleted").arg(mPath);
    // The photo is gone at the user's word, and its edits with it.
    mUndo->clear();
    tellModified();
    return {};
}

// ---- reading ------------------------------------------------------------------

void Photo::takeCopy(const displaycopy::Copy &copy)
{
    if (copy.path == mPath) {
        if (!copy.ok)
            mState = State::Failed;
        else if (mState == State::Header)
            mState = State::Display;
    }
    // The full image of another photo is let go: the new one's comes.
    if (copy.ok && mImagePath != copy.path && !mImagePath.isEmpty()) {
        mImage = QImage();
        mFileImage = QImage();
        mImagePath.clear();
    }
    emit displayed(copy);
}

void Photo::takeDecode(const QString &path, const QImage &image, const FileStamp &stamp)
{
    if (path != mPath)
        return;
    if (image.isNull()) {
        // Shown from its reduced decode but not decodable in full (or not
        // at all): nothing of it can be saved over the file, and the image
        // before it stays.
        mFromFile = false;
        mState = State::Failed;
    } else {
        mImage = image;
        mStamp = stamp; // Save asks before it replaces a file that changed after this
        takeAsFile(path);
        mState = State::Full;
    }
    // The neighbours are made ahead once the photo shown has all it needs:
    // they never hold up its own decodes.
    requestNeighbours();
    emit loaded(path);
    runWaiting();
}

void Photo::takeRefined(const QString &path, const QImage &copy)
{
    // Only while the photo is the file's, unedited.
    if (path == mPath && mImagePath == path && mUndo->count() == 0)
        emit refined(path, copy);
}

void Photo::takeAsFile(const QString &path)
{
    mPath = path;
    mImagePath = path;
    mFileImage = mImage;
    mFromFile = true;
    mUndo->setClean();
    tellModified();
}

// ---- edits ----------------------------------------------------------------------

PhotoEdit::Target Photo::target()
{
    return {&mImage, &mOffsets};
}

void Photo::push(PhotoEdit *edit)
{
    mUndo->push(edit);
    changed();
}

void Photo::rotate(double angle)
{
    whenIdle([this, angle] { push(PhotoEdit::turn(target(), angle)); });
}

void Photo::invert()
{
    whenIdle([this] { push(PhotoEdit::invert(target())); });
}

void Photo::adjustColours(const ColourOffsets &offsets)
{
    // A photo whose file could not be read starts from the image in memory.
    whenIdle([this, offsets] { push(PhotoEdit::adjust(target(), mFromFile ? mFileImage : mImage, offsets)); });
}

void Photo::undo()
{
    whenIdle([this] {
        if (mUndo->canUndo()) {
            mUndo->undo();
            changed();
        }
    });
}

void Photo::redo()
{
    whenIdle([this] {
        if (mUndo->canRedo()) {
            mUndo->redo();
            changed();
        }
    });
}

void Photo::changed()
{
    emit imageChanged();
    tellModified();
}

void Photo::tellModified()
{
    if (mWasModified != isModified()) {
        mWasModified = isModified();
        emit modifiedChanged(mWasModified);
    }
}

int Photo::turnsSinceClean() const
{
    // The edits undone, or colours adjusted by nothing: the image is the
    // file's own again.
    if (!mFileImage.isNull() && mImage.cacheKey() == mFileImage.cacheKey())
        return 0;
    const int clean = mUndo->cleanIndex();
    const int now = mUndo->index();
    if (clean < 0)
        return -1; // the state written last was undone and replaced
    int turns = 0;
    for (int i = qMin(clean, now); i < qMax(clean, now); ++i) {
        const auto *edit = dynamic_cast<const PhotoEdit *>(mUndo->command(i));
        const int q = edit ? edit->quarterTurns() : -1;
        if (q < 0)
            return -1;
        turns += now > clean ? q : 4 - q;
    }
    return turns % 4;
}

bool Photo::isModified() const
{
    return turnsSinceClean() != 0;
}

int Photo::quarterTurnsFromFile() const
{
    return mFromFile ? turnsSinceClean() : -1;
}

// ---- writes ---------------------------------------------------------------------

void Photo::cut(const QRect &rect, const QString &captureFolder, const imageio::PhotoOptions &options,
                capture::Naming naming)
{
    const QImage image = mImage;
    const QString source = mPath;
    startWrite(qint64(rect.width()) * rect.height(),
               tr("Writing the %1 x %2 cut of %3 ...").arg(rect.width()).arg(rect.height()).arg(pathutil::fileName(source)),
               [=] { return capture::writeCut(image, rect, source, captureFolder, options, naming); },
               [this](const capture::Result &result) { emit cutDone(result); });
}

namespace {

capture::Result savedTo(const QString &path, bool written)
{
    capture::Result result;
    if (written) {
        result.path = path;
        return result;
    }
    // Keep the image and its edits: the caller says why in the window.
    const QString refused = imageio::refusedTarget(path);
    result.error = refused.isEmpty() ? Photo::tr("%1 could not be saved").arg(path)
                                     : Photo::tr("Not saved: %1").arg(refused);
    return result;
}

} // namespace

void Photo::save(const imageio::PhotoOptions &options)
{
    const QImage image = mImage;
    const QString path = mPath;
    const imageio::PhotoSource source{path, quarterTurnsFromFile()};
    startWrite(qint64(image.width()) * image.height(), tr("Saving %1 ...").arg(path),
               [=] {
                   // The format follows the content, whatever the name says.
                   const QByteArray format = imageio::detect(path);
                   return savedTo(path,
                                  !format.isEmpty() && imageio::writePhoto(image, path, format, source, options));
               },
               [this, path, opened = mOpened](const capture::Result &result) { wroteFile(path, opened, result); });
}

void Photo::saveAs(const QString &path, const QByteArray &qtFormat, const imageio::PhotoOptions &options)
{
    const QImage image = mImage;
    // An image that did not come from its file has nothing of it to keep.
    const imageio::PhotoSource source{mFromFile ? mPath : QString(), quarterTurnsFromFile()};
    startWrite(qint64(image.width()) * image.height(), tr("Saving %1 ...").arg(path),
               [=] { return savedTo(path, imageio::writePhoto(image, path, qtFormat, source, options)); },
               [this, path, opened = mOpened](const capture::Result &result) { wroteFile(path, opened, result); });
}

void Photo::wroteFile(const QString &path, quint64 opened, const capture::Result &result)
{
    // A photo stepped to while it was written is not the one written.
    if (!result.path.isEmpty() && opened == mOpened) {
        // The file holds the image now, edits and all: the photo is that
        // file, and its edits are saved (they stay undoable).
        const QString written = pathutil::slashes(path);
        if (written != mPath) {
            mFormat = imageio::detect(written);
            mFolderEntries = formats::listImages(pathutil::beforeLastSlash(written));
            mHeaderSize = mImage.size();
        }
        mStamp = FileStamp::of(written);
        // The colours are the file's now: the panel starts again from nothing.
        mOffsets = ColourOffsets();
        takeAsFile(written);
    }
    emit saved(result);
}

void Photo::startWrite(qint64 pixels, const QString &message, WriteWork work, WriteDone done)
{
    auto write = std::make_shared<Write>();
    write->done = std::move(done);
    write->told = pixels >= kNoticeablePixels;
    if (write->told)
        emit writing(message);
    write->future = jobs::start(jobs::Lane::Shared, [work = std::move(work)](const jobs::Progress &) { return work(); });
    mWrite = write;
    jobs::watch(write->future, this, [this, write](const capture::Result &) { endWrite(write); });
}

void Photo::endWrite(const std::shared_ptr<Write> &write)
{
    if (write->handled)
        return;
    write->handled = true;
    if (mWrite == write)
        mWrite.reset();
    if (write->told)
        emit writing(QString());
    write->done(write->future.result());
    runWaiting();
}

// ---- commands -------------------------------------------------------------------

bool Photo::isIdle() const
{
    return !mWrite && !isLoading();
}

void Photo::whenIdle(std::function<void()> command, Needs needs)
{
    mWaiting.append({std::move(command), needs});
    runWaiting();
}

void Photo::runWaiting()
{
    // A command may ask for another: it waits its turn behind the others.
    if (mRunningWaiting)
        return;
    mRunningWaiting = true;
    while (!mWaiting.isEmpty()) {
        const Waiting &next = mWaiting.first();
        if (mWrite || (next.needs == Needs::Image && isLoading()))
            break;
        const std::function<void()> command = mWaiting.takeFirst().command;
        command();
    }
    mRunningWaiting = false;
}

void Photo::finish()
{
    for (;;) {
        if (const std::shared_ptr<Write> write = mWrite) {
            write->future.waitForFinished();
            endWrite(write);
        } else if (isLoading()) {
            finishLoading();
            runWaiting();
        } else {
            runWaiting();
            // All run, or called from inside a command, whose turn it is.
            if (mWaiting.isEmpty() || (!mWrite && !isLoading()))
                return;
        }
    }
}
