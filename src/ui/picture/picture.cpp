#include "ui/picture/picture.h"

#include "ui/forms/busycursor.h"
#include "ui/forms/dialogs.h"
#include "core/imageio/formats.h"
#include "core/imageio/imageio.h"
#include "core/base/pathutil.h"
#include "core/imageio/resolution.h"
#include "ui/images/mimesourcefactory.h"
#include "core/cut/capture.h"
#include "core/photo/displaycopy.h"
#include "core/photo/imageedits.h"
#include "core/photo/photoloader.h"
#include "core/photo/prefetcher.h"
#include "core/photo/saveformats.h"

#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QStandardPaths>

#include <cmath>

Picture::Picture(QWidget *workspace_, const char *name, Qt::WindowFlags flags)
    : QMainWindow(nullptr, flags), workspace(workspace_),
      currentImage(std::make_unique<QImage>())
{
    setObjectName(QString::fromLatin1(name ? name : "Picture"));

    mLoader = new PhotoLoader(this);
    connect(mLoader, &PhotoLoader::displayed, this, &Picture::showCopy);
    connect(mLoader, &PhotoLoader::decoded, this, &Picture::takeDecode);
    connect(mLoader, &PhotoLoader::refined, this, &Picture::takeExactCopy);

    imageCanvas = new QGraphicsScene(this);
    imageCanvas->setSceneRect(0, 0, 124, 124);
    imageCanvas->setBackgroundBrush(QColor(192, 192, 192));
    imageCanvas->setItemIndexMethod(QGraphicsScene::NoIndex);

    auto *box = new QFrame(this);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setCentralWidget(box);
    canvasView = new QGraphicsView(imageCanvas, box);
    canvasView->setObjectName(QStringLiteral("canvasView"));
    canvasView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    canvasView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    canvasView->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    canvasView->setFrameStyle(QFrame::NoFrame);
    canvasView->setCacheMode(QGraphicsView::CacheBackground);
    canvasView->setGeometry(0, 0, 124, 124);
    canvasView->viewport()->installEventFilter(this);
    // Files dropped on the photo go on to the main window, which opens them.
    canvasView->setAcceptDrops(false);
    canvasView->viewport()->setAcceptDrops(false);
    canvasView->installEventFilter(this); // the keys of the frame
    canvasView->show();
    canvasView->setFocus();

    // The frame and its handle: cosmetic pens (width 0), no brush.
    cutFrame = new QGraphicsRectItem(0, 0, 32, 32);
    cutFrame->setPen(QPen(Qt::black, 0));
    imageCanvas->addItem(cutFrame);
    cutFrame->show();
    resizeHandle = new QGraphicsRectItem(0, 0, 8, 8);
    resizeHandle->setPen(QPen(Qt::black, 0));
    imageCanvas->addItem(resizeHandle);
    resizeHandle->show();
    resizeHandle->setPos(frame.handleRect().topLeft());
}

Picture::~Picture() = default;

QSize Picture::workspaceSize() const
{
    return workspace ? workspace->size() : QSize();
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

bool Picture::readFile(const QString &path)
{
    QMutexLocker lock(&viewLock);
    if (path.isEmpty())
        return false;
    // A path written with backslashes is taken with "/"; a name that
    // really holds a backslash (legal here) is kept as it is.
    const QString slashed = pathutil::slashes(path);
    const QString usable = QFileInfo::exists(slashed) ? slashed : path;
    if (!QFileInfo::exists(usable))
        return false;
    filePath = usable;
    mFormat = imageio::detect(filePath);
    // Nothing of the file is in the window yet: no save in place, no turn
    // without a new encode, until its full decode has come.
    mImageFromFile = false;
    mQuarterTurns = -1;
    folderEntries = listFolder(pathutil::beforeLastSlash(filePath));
    colorRed = colorGreen = colorBlue = colorAll = 0;
    mIconName = formats::iconName(formats::formatName(mFormat));
    setWindowIcon(QIcon(fromMimeSource(mIconName)));
    // The canvas and the frame follow the photo's size at once, from its
    // header; the display copy fills the canvas when it comes.
    const QSize size = mFormat.isEmpty() ? QSize() : imageio::probeSize(filePath);
    lock.unlock();
    if (size.isValid())
        layOut(size, QImage(), filePath);
    return true;
}

void Picture::loadImage(const QString &path)
{
    if (!readFile(path))
        return;
    // Last: a copy made ahead is shown from inside this call.
    mLoader->load(filePath, mFormat, workspaceSize());
}

bool Picture::isLoading() const
{
    return mLoader->busy();
}

Prefetcher *Picture::prefetcher() const
{
    return mLoader->prefetcher();
}

void Picture::finishLoading()
{
    if (!mLoader->busy())
        return;
    BusyCursor wait;
    mLoader->finish();
}

const QImage &Picture::image()
{
    finishLoading();
    return *currentImage;
}

void Picture::showCopy(const displaycopy::Copy &copy)
{
    const bool asked = copy.path == filePath;
    if (!copy.ok) {
        if (!asked)
            return;
        // The file cannot be read: the window keeps the photo it showed,
        // under a caption that names the new path with that photo's numbers
        // (zeros in a new window).
        infoText = infoLine(filePath, mCopyOf.size, mCopyOf.depth, mCopyOf.dotsPerMeter);
        setWindowTitle(infoText);
        if (mImageSize != mCopyOf.size && !layOut(mCopyOf.size, QImage(), mCopyOf.path)) {
            // Nothing shown before: the canvas of an empty window.
            QMutexLocker lock(&viewLock);
            mImageSize = QSize();
            imageCanvas->setBackgroundBrush(QColor(192, 192, 192));
            imageCanvas->setSceneRect(0, 0, 124, 124);
            canvasView->setGeometry(0, 0, 124, 124);
        }
        return;
    }
    // A photo passed on the way to the one asked for is shown only when it
    // fits the canvas laid out for that one (a burst through a camera's
    // photos): the canvas does not jump about meanwhile.
    if (!asked && copy.fullSize != mImageSize)
        return;
    {
        QMutexLocker lock(&viewLock);
        // The full image of another photo is let go: the new one's comes.
        if (mImagePath != copy.path) {
            *currentImage = QImage();
            mImagePath.clear();
            mEdited = false; // its edits go with it
        }
        mCopyOf = {copy.path, copy.fullSize, copy.depth, copy.dotsPerMeter, copy.stamp};
        dotsPerMeterX = copy.dotsPerMeter.width();
        dotsPerMeterY = copy.dotsPerMeter.height();
        infoText = infoLine(copy.path, copy.fullSize, copy.depth, copy.dotsPerMeter);
        setWindowTitle(infoText);
    }
    layOut(copy.fullSize, copy.copy, copy.path);
    // Formats decoded whole made their copy from the full image.
    mCopyFromImage = copy.format != "jpeg";
    emit displayed(copy.path);
}

void Picture::takeDecode(const QString &path, const QImage &image, const FileStamp &stamp)
{
    if (path != filePath)
        return;
    if (image.isNull()) {
        // Shown from its reduced decode but not decodable in full (or not
        // at all): nothing of it can be saved over the file.
        mImageFromFile = false;
        requestNeighbours();
        emit loaded(path);
        return;
    }
    *currentImage = image;
    mImagePath = path;
    mImageFromFile = true;
    mEdited = false;
    mStamp = stamp; // Save asks before it replaces a file that changed after this
    mQuarterTurns = 0;
    mCopyOf.depth = image.depth();
    // Another photo on screen, or the file changed between the two reads:
    // the copy is made afresh. Otherwise the copy from the full image comes
    // on its own (takeExactCopy), or was made from it already (formats
    // decoded whole).
    if (mCopyOf.path != path || mCopyOf.size != image.size() || mCopyOf.stamp != stamp)
        refreshView();
    // The neighbours are made ahead once the photo shown has all it needs:
    // they never hold up its own decodes.
    requestNeighbours();
    emit loaded(path);
}

void Picture::takeExactCopy(const QString &path, const QImage &copy)
{
    // Only while the photo and its copy from the reduced decode are on
    // screen, unedited, in a workspace of the size it was made for.
    if (path != filePath || mImagePath != path || mCopyOf.path != path || mCopyFromImage || mEdited
        || mQuarterTurns != 0 || copy.size() != displaycopy::copySize(currentImage->size(), workspaceSize()))
        return;
    // What stays on screen is exactly the copy of the full image; canvas and
    // frame stay as they are.
    imageCanvas->setBackgroundBrush(QBrush(QPixmap::fromImage(copy)));
    canvasView->resetCachedContent();
    mCopyFromImage = true;
}

void Picture::requestNeighbours()
{
    const QString folder = pathutil::folderWithSlash(filePath);
    const int current = folderEntries.indexOf(filePath.mid(folder.size()));
    // The neighbour in the direction of the last step is decoded first, the
    // next one when there was no step: Page Up is the usual way through.
    const QString lastFolder = pathutil::folderWithSlash(lastLoaded);
    const int last = lastFolder == folder ? folderEntries.indexOf(lastLoaded.mid(folder.size())) : -1;
    lastLoaded = filePath;
    QStringList neighbours;
    if (current >= 0) {
        const QString next = current + 1 < folderEntries.size() ? folder + folderEntries.at(current + 1) : QString();
        const QString previous = current > 0 ? folder + folderEntries.at(current - 1) : QString();
        neighbours = last > current ? QStringList{previous, next} : QStringList{next, previous};
        neighbours.removeAll(QString());
    }
    mLoader->prefetch(neighbours);
}

QSize Picture::displaySize(int W, int H, int WW, int WH)
{
    return displaycopy::displaySize(W, H, WW, WH);
}

void Picture::refreshView()
{
    // The copy is made from the full image.
    finishLoading();
    const QSize size = currentImage->size();
    const QImage copy = displaycopy::scaled(*currentImage, displaycopy::copySize(size, workspaceSize()));
    if (!layOut(size, copy, filePath))
        return;
    mCopyFromImage = true;
    mCopyOf = {mImagePath, size, currentImage->depth(),
               QSize(currentImage->dotsPerMeterX(), currentImage->dotsPerMeterY()), mCopyOf.stamp};
}

bool Picture::layOut(const QSize &imageSize, const QImage &copy, const QString &photo)
{
    const QSize before = surface().canvas;
    const CutFrame::Placement placement = frame.placement(before);
    {
        QMutexLocker lock(&viewLock);
        if (!layOutView(imageSize, copy))
            return false;
    }
    // The photo may have another size: the frame never lies off it.
    followFrame(before, placement);
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
    const int W = imageSize.width();
    const int H = imageSize.height();
    if (W <= 0 || H <= 0)
        return false; // nothing to fit: the canvas stays as it was
    mImageSize = imageSize;
    const QSize ws = workspaceSize();
    const QSize d = displaySize(W, H, ws.width(), ws.height());
    const int w = d.width();
    const int h = d.height();

    const QSize scaled = displaycopy::copySize(imageSize, ws);
    const bool fits = scaled.width() > 0 && scaled.height() > 0;
    if (fits && !copy.isNull()) {
        imageCanvas->setBackgroundBrush(QBrush(QPixmap::fromImage(copy)));
    } else if (!fits || imageCanvas->backgroundBrush().texture().size() != scaled) {
        // No copy yet: the photo before stays while it has the same size
        // (stepping through a camera's photos), else the canvas colour.
        imageCanvas->setBackgroundBrush(QColor(192, 192, 192));
    }
    // A display below 5 pixels still keeps a canvas of at least 1 by 1, so
    // that nothing divides by its size.
    imageCanvas->setSceneRect(0, 0, qMax(1, w - 4), qMax(1, h - 4));
    canvasView->setGeometry(0, 0, qMax(1, w), qMax(1, h));
    canvasView->resetCachedContent();

    setBaseSize(w + 2, h + 4);
    QWidget *frameWindow = parentWidget() ? parentWidget() : this;
    auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget());
    const bool maximised = sub ? sub->isMaximized() : isMaximized();
    if (!maximised) {
        int x = 4;
        if (w + 4 > ws.width())
            x = qMax(0, ws.width() - w);
        int y = 23;
        if (h + 103 > ws.height())
            y = qMax(20, ws.height() - h - 80);
        QSize extra;
        if (sub) {
            const QMargins m = sub->contentsMargins();
            extra = QSize(m.left() + m.right(), m.top() + m.bottom());
        }
        frameWindow->setGeometry(x, y, w + 2 + extra.width(), h + 4 + extra.height());
    }
    return true;
}

void Picture::showFrame(bool on)
{
    frame.shown = on;
    resizeHandle->setVisible(on);
    cutFrame->setVisible(on);
    updateReadout();
}

void Picture::setCutSettings(const CutSettings &settings)
{
    mCutSettings = settings;
    paintFrame();
    refitFrame();
}

framegeometry::Surface Picture::surface() const
{
    const QRectF canvasRect = imageCanvas->sceneRect();
    framegeometry::Surface s;
    s.canvas = QSize(static_cast<int>(canvasRect.width()), static_cast<int>(canvasRect.height()));
    s.image = mImageSize;
    s.dotsPerMeterX = dotsPerMeterX;
    s.dotsPerMeterY = dotsPerMeterY;
    return s;
}

void Picture::drawFrame()
{
    const QRectF r = frame.frameRect();
    cutFrame->setPos(r.topLeft());
    cutFrame->setRect(0, 0, r.width(), r.height());
    resizeHandle->setPos(frame.handleRect().topLeft());
}

void Picture::refitFrame()
{
    if (!mImageSize.isEmpty() && frame.fit(mCutSettings, surface()))
        drawFrame();
    updateReadout();
}

void Picture::followFrame(QSize before, const CutFrame::Placement &placement)
{
    const framegeometry::Surface now = surface();
    if (now.canvas == before || mImageSize.isEmpty()) {
        refitFrame();
        return;
    }
    if (frame.follow(placement, mCutSettings, now))
        drawFrame();
    updateReadout();
}

void Picture::reshapeFrame(const CutSettings &settings)
{
    mCutSettings = settings;
    if (!mImageSize.isEmpty() && frame.reshape(mCutSettings, surface()))
        drawFrame();
    refitFrame();
}

void Picture::turnFrame(const CutSettings &settings, bool force)
{
    mCutSettings = settings;
    const framegeometry::Orientation wanted = framegeometry::orientationOf(settings.widthText, settings.heightText);
    const bool lyingOtherWay
        = frame.orientation() == framegeometry::opposite(wanted) && wanted != framegeometry::Orientation::None;
    if (!mImageSize.isEmpty() && (force || lyingOtherWay) && frame.turn(mCutSettings, surface()))
        drawFrame();
    refitFrame();
}

bool Picture::frameKey(const QKeyEvent *event)
{
    // Shift makes arrows move further; the keypad's keys count as the others.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool shift = mods == Qt::ShiftModifier;
    if (mods != Qt::NoModifier && !shift)
        return false;
    const int distance = shift ? 10 : 1;
    int dx = 0;
    int dy = 0;
    int steps = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        dx = -distance;
        break;
    case Qt::Key_Right:
        dx = distance;
        break;
    case Qt::Key_Up:
        dy = -distance;
        break;
    case Qt::Key_Down:
        dy = distance;
        break;
    case Qt::Key_Plus:  // Shift on most layouts
    case Qt::Key_Equal: // the same key without Shift
        steps = 1;
        break;
    case Qt::Key_Minus:
        steps = -1;
        break;
    case Qt::Key_O:
        if (shift)
            return false;
        emit turnRequested();
        return true;
    default:
        return false;
    }
    if (mImageSize.isEmpty() || frame.moving || frame.resizing)
        return true; // a drag has the frame: the key is taken, and does nothing
    const bool changed
        = steps != 0 ? frame.step(steps, mCutSettings, surface()) : frame.nudge(dx, dy, mCutSettings, surface());
    if (changed)
        drawMovedFrame();
    return true;
}

void Picture::updateReadout()
{
    const QString text = mImageSize.isEmpty() ? QString() : frame.readout(mCutSettings, surface());
    if (text == mReadout)
        return;
    mReadout = text;
    emit cutReadoutChanged(mReadout);
}

void Picture::paintFrame()
{
    if (!mCutSettings.frameColor.isValid() || cutFrame->pen().color() == mCutSettings.frameColor)
        return;
    cutFrame->setPen(QPen(mCutSettings.frameColor, 0, Qt::SolidLine)); // width 0: one device pixel
    resizeHandle->setPen(cutFrame->pen());
}

QPoint Picture::canvasPoint(QWidget *from, const QPointF &pos) const
{
    QWidget *viewport = canvasView->viewport();
    const QPoint p = pos.toPoint();
    const QPointF scene = canvasView->mapToScene(from == viewport ? p : viewport->mapFrom(from, p));
    return {static_cast<int>(scene.x()), static_cast<int>(scene.y())};
}

void Picture::framePress(QPoint p)
{
    switch (frame.press(p.x(), p.y())) {
    case CutFrame::Press::Resize:
        qDebug().noquote() << QStringLiteral("%1 %2").arg(p.x()).arg(p.y());
        canvasView->viewport()->grabMouse(Qt::SizeFDiagCursor);
        break;
    case CutFrame::Press::Move:
        canvasView->viewport()->grabMouse(Qt::CrossCursor);
        break;
    case CutFrame::Press::Nothing:
        break;
    }
}

void Picture::frameMove(QPoint p)
{
    if (!frame.moving && !frame.resizing)
        return;
    if (!frame.move(p.x(), p.y(), mCutSettings, surface()))
        return;
    drawMovedFrame();
}

void Picture::drawMovedFrame()
{
    paintFrame();
    drawFrame();
    updateReadout();
}

void Picture::frameRelease()
{
    frame.release();
    canvasView->viewport()->releaseMouse(); // also restores the cursor
}

bool Picture::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == canvasView->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: // a second press, as far as the frame is concerned
            framePress(canvasPoint(canvasView->viewport(), static_cast<QMouseEvent *>(event)->position()));
            return true;
        case QEvent::MouseMove:
            frameMove(canvasPoint(canvasView->viewport(), static_cast<QMouseEvent *>(event)->position()));
            return true;
        case QEvent::MouseButtonRelease:
            frameRelease();
            return true;
        default:
            break;
        }
    }
    // Only while the image has the keyboard: the folder tree and the Cut
    // bar's fields keep their own arrow keys.
    if (watched == canvasView && event->type() == QEvent::KeyPress && frameKey(static_cast<QKeyEvent *>(event)))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// Presses, moves and releases that reach the window itself (outside the
// view) go to the frame just the same, in canvas coordinates.
void Picture::mousePressEvent(QMouseEvent *event)
{
    framePress(canvasPoint(this, event->position()));
}

void Picture::mouseReleaseEvent(QMouseEvent *)
{
    frameRelease();
}

void Picture::mouseMoveEvent(QMouseEvent *event)
{
    frameMove(canvasPoint(this, event->position()));
}

void Picture::captureTo(const QString &captureFolder, capture::Naming naming)
{
    const capture::Result result = cutInto(captureFolder, naming);
    if (!result.path.isEmpty())
        emit cutWritten(result.path);
}

capture::Result Picture::cutInto(const QString &captureFolder, capture::Naming naming)
{
    if (!cutFrame->isVisible())
        return {};
    // The cut is made of the full image.
    finishLoading();
    const QRect rect = frame.imageRect(surface());
    capture::Result result;
    {
        BusyCursor wait;
        const bool told = tellWriting(qint64(rect.width()) * rect.height(),
                                      tr("Writing the %1 x %2 cut of %3 ...")
                                          .arg(rect.width())
                                          .arg(rect.height())
                                          .arg(pathutil::fileName(filePath)));
        result = capture::writeCut(*currentImage, rect, filePath, captureFolder, mPhotoOptions, naming);
        if (told)
            emit writing(QString());
    }
    if (result.path.isEmpty())
        emit failure(result.error);
    return result;
}

bool Picture::tellWriting(qint64 pixels, const QString &message)
{
    // PNG, the slowest format written, takes some half a second a
    // megapixel; what is smaller is written before anyone could read a line.
    constexpr qint64 kNoticeablePixels = 500'000;
    if (pixels < kNoticeablePixels)
        return false;
    emit writing(message);
    return true;
}

// ---- edits --------------------------------------------------------------------

void Picture::rotateBy(double angle)
{
    finishLoading();
    *currentImage = imageedits::rotated(std::move(*currentImage), angle);
    mEdited = true;
    const double quarters = angle / 90.0;
    if (mQuarterTurns >= 0 && quarters == std::floor(quarters) && std::abs(quarters) < 1e6)
        mQuarterTurns = ((mQuarterTurns + int(quarters)) % 4 + 4) % 4;
    else
        mQuarterTurns = -1;
    refreshView();
}

int Picture::invertColors()
{
    BusyCursor wait;
    finishLoading();
    // The window owns its image alone, so the pixels are turned in place.
    *currentImage = imageedits::inverted(std::move(*currentImage));
    mQuarterTurns = -1;
    mEdited = true;
    refreshView();
    return 0;
}

int Picture::adjustColors(int red, int green, int blue, int all)
{
    BusyCursor wait;
    finishLoading();
    // Always from the file: rotations, inversions and earlier adjustments
    // that were not saved are dropped. When the file is gone the adjustment
    // applies to the image in memory. The display is made once, below.
    readPixels();
    *currentImage = imageedits::adjusted(std::move(*currentImage), red, green, blue, all);
    mQuarterTurns = -1;
    // All four at zero give the file back as it is.
    mEdited = mEdited || red != 0 || green != 0 || blue != 0 || all != 0;
    colorRed = red;
    colorGreen = green;
    colorBlue = blue;
    colorAll = all;
    refreshView();
    return 0;
}

void Picture::readPixels()
{
    QMutexLocker lock(&viewLock);
    QByteArray format;
    QImage loaded = imageio::decode(filePath, &format);
    mImageFromFile = !loaded.isNull();
    mQuarterTurns = mImageFromFile ? 0 : -1;
    if (!mImageFromFile)
        return;
    *currentImage = std::move(loaded);
    mImagePath = filePath;
    mEdited = false;
    dotsPerMeterX = currentImage->dotsPerMeterX();
    dotsPerMeterY = currentImage->dotsPerMeterY();
    infoText = infoLine(filePath, *currentImage);
    setWindowTitle(infoText);
}

void Picture::colorSettings(int &red, int &green, int &blue, int &all) const
{
    red = colorRed;
    green = colorGreen;
    blue = colorBlue;
    all = colorAll;
}

// ---- save -------------------------------------------------------------------

void Picture::saveInPlace()
{
    if (filePath.isEmpty())
        return;
    finishLoading();
    if (!mImageFromFile) {
        emit failure(tr("%1 could not be read, so it is not saved over").arg(filePath));
        return;
    }
    // Another program may have written the file, or put another photo in
    // its place, since it was read: saving would replace that unseen.
    if (FileStamp::of(filePath) != mStamp && !Dialogs::instance()->confirmReplaceChanged(this, filePath)) {
        emit failure(tr("%1 has changed on disk; it was not saved over").arg(filePath));
        return;
    }
    // The format follows the content, whatever the name says.
    const QByteArray format = imageio::detect(filePath);
    bool written = false;
    {
        BusyCursor wait;
        const bool told = tellWriting(qint64(currentImage->width()) * currentImage->height(),
                                      tr("Saving %1 ...").arg(filePath));
        written = !format.isEmpty()
            && imageio::writePhoto(*currentImage, filePath, format, {filePath, mQuarterTurns}, mPhotoOptions);
        if (told)
            emit writing(QString());
    }
    if (!written) {
        // Keep the image and its edits: reloading would throw them away.
        const QString refused = imageio::refusedTarget(filePath);
        emit failure(refused.isEmpty() ? tr("%1 could not be saved").arg(filePath) : tr("Not saved: %1").arg(refused));
        return;
    }
    // The file holds the edits now, whenever the reload comes.
    mEdited = false;
    loadImage(filePath);
}

void Picture::saveAs()
{
    finishLoading();
    QString filter; // none preselected: the dialog starts on the first
    const QString name = Dialogs::instance()->saveFileName(this, saveformats::proposedName(filePath),
                                                           saveformats::filterString(), &filter,
                                                           tr("Choose a filename"));
    if (name.isEmpty())
        return;
    const saveformats::Target target = saveformats::target(name, filter);
    bool written = false;
    {
        BusyCursor wait;
        const bool told = tellWriting(qint64(currentImage->width()) * currentImage->height(),
                                      tr("Saving %1 ...").arg(target.path));
        // An image that did not come from its file has nothing of it to keep.
        const imageio::PhotoSource source{mImageFromFile ? filePath : QString(), mImageFromFile ? mQuarterTurns : -1};
        written = imageio::writePhoto(*currentImage, target.path, formats::qtFormat(target.format), source,
                                      mPhotoOptions);
        if (told)
            emit writing(QString());
    }
    if (!written) {
        const QString refused = imageio::refusedTarget(target.path);
        emit failure(refused.isEmpty() ? tr("%1 could not be saved").arg(target.path)
                                       : tr("Not saved: %1").arg(refused));
        return;
    }
    mEdited = false;
    filePath = pathutil::slashes(target.path);
    loadImage(filePath);
}

// ---- folder navigation and delete -------------------------------------------

bool Picture::stepInFolder(int step)
{
    if (filePath.isNull())
        return false;
    const QString folder = pathutil::folderWithSlash(filePath);
    // Exact, case-sensitive: a name spelt differently from the listing is
    // not found, and the window cannot step.
    const int current = folderEntries.indexOf(filePath.mid(folder.size()));
    if (current < 0)
        return false;
    int target = current;
    if (step > 0)
        target = qMin(current + 1, int(folderEntries.size()) - 1);
    else if (step < 0)
        target = qMax(current - 1, 0);
    // At the ends the current entry is loaded again (dropping unsaved edits).
    // A neighbour that has vanished is still stepped to, so that the next
    // step can go past it.
    filePath = folder + folderEntries.at(target);
    loadImage(filePath);
    return target != current;
}

bool Picture::canStep(int step) const
{
    if (filePath.isNull() || step == 0)
        return false;
    const int current = folderEntries.indexOf(filePath.mid(pathutil::folderWithSlash(filePath).size()));
    if (current < 0)
        return false;
    const int target = current + (step > 0 ? 1 : -1);
    return target >= 0 && target < folderEntries.size();
}

void Picture::deleteFile()
{
    if (filePath.isNull())
        return;
    const QFileInfo info(filePath);
    const bool present = info.exists() || info.isSymLink();
    // Only a file is deleted: a folder put in its place would go to the
    // trash with everything in it.
    if (present && !info.isFile()) {
        emit failure(info.isDir() ? tr("%1 is a folder now, not an image file; it is not deleted").arg(filePath)
                                  : tr("%1 is not an image file now; it is not deleted").arg(filePath));
        return;
    }
    // Into the desktop's trash where there is one, else removed for good.
    // Qt makes the trash folder but not the data folder that holds it; a
    // new account may not have that yet, and the file would then be removed
    // for good where the user expects it in the trash.
    if (present)
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (present && !QFile::moveToTrash(filePath) && !QFile::remove(filePath)) {
        emit failure(tr("%1 could not be deleted").arg(filePath));
        return;
    }
    // The list still names the deleted file: its neighbours are found from it.
    if (stepInFolder(-1) || stepInFolder(+1))
        return;
    // The photo is gone at the user's word, and its edits with it.
    mEdited = false;
    closeWindow();
}

void Picture::closeEvent(QCloseEvent *event)
{
    if (hasUnsavedEdits()) {
        switch (Dialogs::instance()->askUnsaved(this, {filePath})) {
        case Dialogs::Unsaved::Save:
            saveInPlace();
            // A save that failed has said why; the window stays with its
            // edits, which would otherwise be lost.
            if (hasUnsavedEdits()) {
                event->ignore();
                return;
            }
            break;
        case Dialogs::Unsaved::Discard:
            break;
        case Dialogs::Unsaved::Cancel:
            event->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(event);
}

void Picture::closeWindow()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}
