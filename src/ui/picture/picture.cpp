#include "ui/picture/picture.h"

#include "core/base/jobs.h"
#include "core/base/pathutil.h"
#include "core/imageio/formats.h"
#include "core/imageio/resolution.h"
#include "core/photo/displaycopy.h"
#include "core/photo/photo.h"
#include "core/photo/photoloader.h"
#include "core/photo/saveformats.h"
#include "ui/forms/busycursor.h"
#include "ui/forms/dialogs.h"
#include "ui/images/mimesourcefactory.h"
#include "ui/picture/frametool.h"
#include "ui/picture/pictureview.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QUndoStack>

Picture::Picture(QWidget *workspace_) : QMainWindow(nullptr, Qt::SubWindow), workspace(workspace_)
{
    setObjectName(QStringLiteral("Picture"));

    mPhoto = new Photo(this);
    connect(mPhoto, &Photo::displayed, this, &Picture::showCopy);
    connect(mPhoto, &Photo::loaded, this, &Picture::takeDecode);
    connect(mPhoto, &Photo::refined, this, &Picture::takeExactCopy);
    connect(mPhoto, &Photo::imageChanged, this, &Picture::refreshView);
    connect(mPhoto, &Photo::writing, this, &Picture::writing);
    connect(mPhoto, &Photo::saved, this, &Picture::takeSaved);
    connect(mPhoto, &Photo::cutDone, this, &Picture::takeCut);
    connect(mPhoto, &Photo::modifiedChanged, this, [this](bool modified) {
        setWindowModified(modified);
        emit editsChanged();
    });
    connect(mPhoto->undoStack(), &QUndoStack::indexChanged, this, &Picture::editsChanged);

    imageCanvas = new QGraphicsScene(this);
    imageCanvas->setSceneRect(0, 0, 124, 124);
    imageCanvas->setItemIndexMethod(QGraphicsScene::NoIndex);

    auto *box = new QFrame(this);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setCentralWidget(box);
    // The view fills the window: fitted, it follows every change of size.
    auto *boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    canvasView = new PictureView(imageCanvas, box, [this] { return fullForView(); });
    boxLayout->addWidget(canvasView);
    canvasView->setObjectName(QStringLiteral("canvasView"));
    connect(canvasView, &PictureView::zoomChanged, this, &Picture::zoomChanged);
    connect(canvasView, &PictureView::sharperWanted, this, &Picture::makeSharperCopy);
    // Files dropped on the photo go on to the main window, which opens them.
    canvasView->setAcceptDrops(false);
    canvasView->viewport()->setAcceptDrops(false);
    canvasView->show();
    canvasView->setFocus();

    mFrame = new FrameTool(canvasView, [this] { return surface(); }, this);
    connect(mFrame, &FrameTool::readoutChanged, this, &Picture::cutReadoutChanged);
    connect(mFrame, &FrameTool::turnRequested, this, &Picture::turnRequested);
}

// What is under way ends on its own; nothing is handed over any more. The
// photo goes with the window's children, when this is no longer a Picture:
// what it says on its way out (its undo stack empties itself) must not
// reach us.
Picture::~Picture()
{
    mPhoto->undoStack()->disconnect(this);
    mPhoto->disconnect(this);
    mFrame->disconnect(this);
}

QSize Picture::workspaceSize() const
{
    return workspace ? workspace->size() : QSize();
}

QSize Picture::copyWorkspace() const
{
    const QSize view = canvasView->isVisible() ? canvasView->viewport()->size() : mViewHint;
    if (view.isEmpty() || !canvasView->zoom().isFit())
        return workspaceSize();
    // The display leaves 40 x 120 of a workspace aside.
    return view + QSize(40, 120);
}

QString Picture::infoLine(const QString &path, const QImage &image)
{
    return infoLine(path, image.size(), image.depth(), QSize(image.dotsPerMeterX(), image.dotsPerMeterY()));
}

QString Picture::infoLine(const QString &path, const QSize &size, int depth, const QSize &dotsPerMeter)
{
    return QStringLiteral("Path: %1 Size: %2x%3 pixel    Colordepth: %4bit    Resolution: %5x%6 dpi")
        .arg(path)
        .arg(qMax(0, size.width()))
        .arg(qMax(0, size.height()))
        .arg(depth)
        .arg(resolution::dotsPerInch(dotsPerMeter.width()))
        .arg(resolution::dotsPerInch(dotsPerMeter.height()));
}

QStringList Picture::listFolder(const QString &folder)
{
    return formats::listImages(folder);
}

void Picture::setInformation(const QString &text)
{
    infoText = text;
    setWindowTitle(infoText + QStringLiteral("[*]"));
}

QString Picture::path() const
{
    return mPhoto->path();
}

QStringList Picture::folderList() const
{
    return mPhoto->folderEntries();
}

Prefetcher *Picture::prefetcher() const
{
    return mPhoto->prefetcher();
}

QGraphicsRectItem *Picture::frameItem() const
{
    return mFrame->frameItem();
}

QGraphicsRectItem *Picture::handleItem() const
{
    return mFrame->handleItem();
}

const CutFrame &Picture::frameState() const
{
    return mFrame->state();
}

// ---- loading and display --------------------------------------------------------

void Picture::loadImage(const QString &path)
{
    if (!mPhoto->open(path))
        return;
    mLoadWorkspace = copyWorkspace();
    mIconName = formats::iconName(formats::formatName(mPhoto->format()));
    setWindowIcon(QIcon(fromMimeSource(mIconName)));
    // The canvas and the frame follow the photo's size at once, from its
    // header; the display copy fills the canvas when it comes.
    if (mPhoto->headerSize().isValid()) {
        // The caption names the photo asked for at once (a burst of Page
        // Ups shows where it is going); depth and resolution follow with
        // its copy.
        setInformation(infoLine(mPhoto->path(), mPhoto->headerSize(), mCopyOf.depth, mCopyOf.dotsPerMeter));
        layOut(mPhoto->headerSize(), QImage(), mPhoto->path());
    }
    // Last: a copy made ahead is shown from inside this call.
    mPhoto->load(mLoadWorkspace);
}

bool Picture::isLoading() const
{
    return mPhoto->isLoading();
}

bool Picture::isBusy() const
{
    return !mPhoto->isIdle();
}

void Picture::finish()
{
    if (mPhoto->isIdle())
        return;
    BusyCursor wait;
    mPhoto->finish();
}

const QImage &Picture::image()
{
    finish();
    return mPhoto->image();
}

void Picture::showCopy(const displaycopy::Copy &copy)
{
    const bool asked = copy.path == mPhoto->path();
    if (!copy.ok) {
        if (asked)
            showFailedCopy();
        return;
    }
    // A photo passed on the way to the one asked for is shown only when it
    // fits the canvas laid out for that one (a burst through a camera's
    // photos): the canvas does not jump about meanwhile.
    if (!asked && copy.fullSize != mImageSize)
        return;
    mCopyOf = {copy.path, copy.fullSize, copy.depth, copy.dotsPerMeter, copy.stamp};
    setInformation(infoLine(copy.path, copy.fullSize, copy.depth, copy.dotsPerMeter));
    layOut(copy.fullSize, copy.copy, copy.path);
    // Formats decoded whole made their copy from the full image.
    mCopyFromImage = !displaycopy::fromReduced(copy.format);
    emit displayed(copy.path);
}

void Picture::showFailedCopy()
{
    // The file cannot be read: the window keeps the photo it showed, under
    // a caption that names the new path with that photo's numbers (zeros in
    // a new window).
    setInformation(infoLine(mPhoto->path(), mCopyOf.size, mCopyOf.depth, mCopyOf.dotsPerMeter));
    if (mImageSize == mCopyOf.size || layOut(mCopyOf.size, QImage(), mCopyOf.path))
        return;
    // Nothing shown before: the canvas of an empty window.
    mImageSize = QSize();
    canvasView->clearCopy();
    imageCanvas->setSceneRect(0, 0, 124, 124);
    canvasView->setImageSize(QSize());
    canvasView->relayout();
}

void Picture::takeDecode(const QString &path)
{
    const QImage &image = mPhoto->image();
    if (mPhoto->state() == Photo::State::Full) {
        mCopyOf.depth = image.depth();
        // Another photo on screen, or the file changed between the two
        // reads: the copy is made afresh. Otherwise the copy from the full
        // image comes on its own (takeExactCopy), or was made from it
        // already (formats decoded whole).
        if (mCopyOf.path != path || mCopyOf.size != image.size() || mCopyOf.stamp != mPhoto->stamp())
            refreshView();
        else
            canvasView->relayout(); // a zoomed view now draws from the full image
    }
    emit loaded(path);
}

void Picture::takeExactCopy(const QString &path, const QImage &copy)
{
    // Only while the photo and its copy from the reduced decode are on
    // screen, in a workspace of the size it was made for.
    if (mCopyOf.path != path || mCopyFromImage
        || copy.size() != displaycopy::copySize(mPhoto->image().size(), mLoadWorkspace))
        return;
    // What stays on screen is exactly the copy of the full image; canvas and
    // frame stay as they are.
    canvasView->setCopy(copy);
    mCopyFromImage = true;
}

QSize Picture::displaySize(int W, int H, int WW, int WH)
{
    return displaycopy::displaySize(W, H, WW, WH);
}

void Picture::refreshView()
{
    // The copy is made from the full image.
    finish();
    const QImage &image = mPhoto->image();
    const QSize size = image.size();
    const QImage copy = displaycopy::shown(image, displaycopy::copySize(size, copyWorkspace()));
    if (!layOut(size, copy, mPhoto->path()))
        return;
    mCopyFromImage = true;
    mCopyOf = {mPhoto->path(), size, image.depth(), QSize(image.dotsPerMeterX(), image.dotsPerMeterY()),
               mPhoto->stamp()};
    setInformation(infoLine(mPhoto->path(), image));
}

bool Picture::layOut(const QSize &imageSize, const QImage &copy, const QString &photo)
{
    const QSize before = surface().canvas;
    const CutFrame::Placement placement = mFrame->placement();
    if (!layOutView(imageSize, copy))
        return false;
    // The photo may have another size: the frame never lies off it.
    mFrame->follow(before, placement);
    // Another photo, or this one turned; an edit of its colours is not.
    if (photo != mShownPath || imageSize != mShownSize) {
        mShownPath = photo;
        mShownSize = imageSize;
        emit imageShown();
    }
    return true;
}

bool Picture::layOutView(const QSize &imageSize, const QImage &copy)
{
    if (imageSize.width() <= 0 || imageSize.height() <= 0)
        return false; // nothing to fit: the canvas stays as it was
    mImageSize = imageSize;
    const QSize ws = workspaceSize();
    const QSize d = displaySize(imageSize.width(), imageSize.height(), ws.width(), ws.height());
    const QSize scaled = displaycopy::copySize(imageSize, ws);
    const bool fits = scaled.width() > 0 && scaled.height() > 0;
    if (fits && !copy.isNull())
        canvasView->setCopy(copy);
    else if (!fits)
        canvasView->clearCopy();
    else if (canvasView->copy().size() != displaycopy::copySize(imageSize, mLoadWorkspace))
        canvasView->keepLastPicture(); // until the new photo's copy comes
    // A display below 5 pixels still keeps a canvas of at least 1 by 1, so
    // that nothing divides by its size.
    imageCanvas->setSceneRect(0, 0, qMax(1, d.width() - 4), qMax(1, d.height() - 4));
    canvasView->setImageSize(imageSize);
    canvasView->relayout();
    const QSize base(d.width() + 2, d.height() + 4);
    if (base != baseSize()) {
        setBaseSize(base);
        emit laidOut();
    }
    return true;
}

framegeometry::Surface Picture::surface() const
{
    const QRectF canvasRect = imageCanvas->sceneRect();
    framegeometry::Surface s;
    s.canvas = QSize(static_cast<int>(canvasRect.width()), static_cast<int>(canvasRect.height()));
    s.image = mImageSize;
    s.dotsPerMeterX = mCopyOf.dotsPerMeter.width();
    s.dotsPerMeterY = mCopyOf.dotsPerMeter.height();
    return s;
}

const QImage *Picture::fullForView() const
{
    if (mPhoto->state() != Photo::State::Full || mCopyOf.path != mPhoto->path() || mPhoto->image().size() != mImageSize)
        return nullptr;
    return &mPhoto->image();
}

void Picture::makeSharperCopy(const QSize &size, quint64 generation)
{
    const QImage *full = fullForView();
    if (!full)
        return;
    const QImage image = *full; // shared, not copied: an edit meanwhile works on its own
    jobs::watch(jobs::start(jobs::Lane::Shared,
                            [image, size](const jobs::Progress &) { return displaycopy::shown(image, size); }),
                this, [this, generation](const QImage &copy) { canvasView->setSharperCopy(copy, generation); });
}

// ---- zoom -----------------------------------------------------------------------

void Picture::zoomIn()
{
    canvasView->zoomIn();
}

void Picture::zoomOut()
{
    canvasView->zoomOut();
}

void Picture::actualPixels()
{
    canvasView->actualPixels();
}

void Picture::fitToWindow()
{
    canvasView->fitToWindow();
}

QString Picture::zoomText() const
{
    return canvasView->zoom().text();
}

void Picture::setThirds(bool on)
{
    mFrame->setThirds(on);
}

// ---- the frame ------------------------------------------------------------------

void Picture::showFrame(bool on)
{
    mFrame->show(on);
}

void Picture::setCutSettings(const CutSettings &settings)
{
    mFrame->setSettings(settings);
}

const CutSettings &Picture::cutSettings() const
{
    return mFrame->settings();
}

void Picture::reshapeFrame(const CutSettings &settings)
{
    mFrame->reshape(settings);
}

void Picture::centreFrame()
{
    mFrame->centre();
}

void Picture::turnFrame(const CutSettings &settings, bool force)
{
    mFrame->turn(settings, force);
}

QString Picture::cutReadout() const
{
    return mFrame->readout();
}

void Picture::mousePressEvent(QMouseEvent *event)
{
    mFrame->press(this, event->position());
}

void Picture::mouseReleaseEvent(QMouseEvent *)
{
    mFrame->release();
}

void Picture::mouseMoveEvent(QMouseEvent *event)
{
    mFrame->move(this, event->position());
}

// ---- capture --------------------------------------------------------------------

void Picture::captureTo(const QString &captureFolder, capture::Naming naming)
{
    startCut(captureFolder, naming, false);
}

void Picture::cutAndNext(const QString &captureFolder, capture::Naming naming)
{
    startCut(captureFolder, naming, true);
}

void Picture::startCut(const QString &captureFolder, capture::Naming naming, bool next)
{
    // The frame is read when the photo is idle: a cut asked for while the
    // one before is written (and the next photo comes) takes that photo.
    mPhoto->whenIdle([this, captureFolder, naming, next] {
        if (!mFrame->state().shown)
            return;
        const QSize needed = mFrame->state().tooSmallFor();
        if (next && needed.isValid()) {
            const framegeometry::Surface on = surface();
            capture::Result passed;
            passed.skipped = framegeometry::skipped(pathutil::fileName(mPhoto->path()), on.image,
                                                    mFrame->settings().widthText, mFrame->settings().heightText,
                                                    needed, on.dotsPerMeterX, on.dotsPerMeterY);
            emit cutDone(passed);
            return;
        }
        mCutsForNext.append(next);
        mPhoto->cut(mFrame->imageRect(), captureFolder, mPhotoOptions, naming);
    });
}

void Picture::takeCut(const capture::Result &result)
{
    const bool next = !mCutsForNext.isEmpty() && mCutsForNext.takeFirst();
    if (result.path.isEmpty())
        emit failure(result.error);
    else if (!next)
        emit cutWritten(result.path);
    if (next)
        emit cutDone(result);
}

// ---- edits ----------------------------------------------------------------------

void Picture::rotateBy(double angle)
{
    mPhoto->rotate(angle);
}

int Picture::invertColors()
{
    mPhoto->invert();
    return 0;
}

int Picture::adjustColors(int red, int green, int blue, int all)
{
    mPhoto->adjustColours({red, green, blue, all});
    return 0;
}

void Picture::colorSettings(int &red, int &green, int &blue, int &all) const
{
    const ColourOffsets o = mPhoto->colourOffsets();
    red = o.red;
    green = o.green;
    blue = o.blue;
    all = o.all;
}

void Picture::undo()
{
    mPhoto->undo();
}

void Picture::redo()
{
    mPhoto->redo();
}

bool Picture::hasUnsavedEdits() const
{
    return mPhoto->isModified();
}

// ---- Save and Save As -------------------------------------------------------------

void Picture::saveInPlace()
{
    mPhoto->whenIdle([this] {
        const QString file = mPhoto->path();
        if (file.isEmpty())
            return;
        if (!mPhoto->isFromFile()) {
            emit failure(tr("%1 could not be read, so it is not saved over").arg(file));
            return;
        }
        // A format the program reads but does not write (HEIC, camera raw)
        // is never replaced by another: the photo is saved under a new name.
        if (!saveformats::savesInPlace(mPhoto->format())) {
            saveAs();
            return;
        }
        // Another program may have written the file, or put another photo
        // in its place, since it was read: saving would replace that unseen.
        if (FileStamp::of(file) != mPhoto->stamp() && !Dialogs::instance()->confirmReplaceChanged(this, file)) {
            emit failure(tr("%1 has changed on disk; it was not saved over").arg(file));
            return;
        }
        mPhoto->save(mPhotoOptions);
    });
}

void Picture::saveAs()
{
    mPhoto->whenIdle([this] {
        QString filter; // none preselected: the dialog starts on the first
        const QString name = Dialogs::instance()->saveFileName(this, saveformats::proposedName(mPhoto->path()),
                                                               saveformats::filterString(), &filter,
                                                               tr("Choose a filename"));
        if (name.isEmpty())
            return;
        const saveformats::Target target = saveformats::target(name, filter);
        mPhoto->saveAs(target.path, formats::qtFormat(target.format), mPhotoOptions);
    });
}

void Picture::takeSaved(const capture::Result &result)
{
    if (result.path.isEmpty()) {
        // The image and its edits stay: reloading would throw them away.
        emit failure(result.error);
        return;
    }
    if (result.path != mPhoto->path())
        return; // written, but the window has moved on to another photo
    // The photo is the file written now; its edits stay undoable.
    mIconName = formats::iconName(formats::formatName(mPhoto->format()));
    setWindowIcon(QIcon(fromMimeSource(mIconName)));
    mCopyOf.path = mPhoto->path();
    mCopyOf.stamp = mPhoto->stamp();
    mShownPath = mPhoto->path();
    setInformation(infoLine(mPhoto->path(), mPhoto->image()));
}

bool Picture::maybeSave(QWidget *parent, const QList<Picture *> &pictures, Picture **failed)
{
    QList<Picture *> edited;
    QStringList paths;
    for (Picture *pic : pictures) {
        pic->finish(); // an edit still waiting counts
        if (pic->hasUnsavedEdits()) {
            edited << pic;
            paths << pic->path();
        }
    }
    if (edited.isEmpty())
        return true;
    switch (Dialogs::instance()->askUnsaved(parent, paths)) {
    case Dialogs::Unsaved::Save:
        for (Picture *pic : std::as_const(edited)) {
            pic->saveInPlace();
            pic->finish();
            // A save that failed has said why; that window stays with its
            // edits, which would otherwise be lost.
            if (pic->hasUnsavedEdits()) {
                if (failed)
                    *failed = pic;
                return false;
            }
        }
        return true;
    case Dialogs::Unsaved::Discard:
        return true;
    case Dialogs::Unsaved::Cancel:
        break;
    }
    return false;
}

void Picture::closeEvent(QCloseEvent *event)
{
    if (!maybeSave(this, {this})) {
        event->ignore();
        return;
    }
    // Discarded: the edits go with the window, and a later question about
    // the same window (the main window closing) does not come.
    finish();
    QMainWindow::closeEvent(event);
}

// ---- folder navigation and delete -----------------------------------------------

bool Picture::stepInFolder(int step)
{
    // At the ends the current entry is loaded again (dropping unsaved
    // edits). A neighbour that has vanished is still stepped to, so that
    // the next step can go past it.
    const QString target = mPhoto->stepTarget(step);
    if (target.isEmpty())
        return false;
    const bool moved = target != mPhoto->path();
    loadImage(target);
    return moved;
}

bool Picture::canStep(int step) const
{
    return mPhoto->canStep(step);
}

void Picture::deleteFile()
{
    mPhoto->whenIdle(
        [this] {
            if (mPhoto->path().isNull())
                return;
            const QString error = mPhoto->removeFile();
            if (!error.isEmpty()) {
                emit failure(error);
                return;
            }
            // The list still names the deleted file: its neighbours are
            // found from it.
            if (stepInFolder(-1) || stepInFolder(+1))
                return;
            closeWindow();
        },
        Photo::Needs::NoWrite);
}

void Picture::closeWindow()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}
