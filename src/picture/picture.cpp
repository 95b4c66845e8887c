#include "picture/picture.h"

#include "forms/busycursor.h"
#include "forms/dialogs.h"
#include "imageio/formats.h"
#include "imageio/imageio.h"
#include "imageio/pathutil.h"
#include "imageio/resolution.h"
#include "images/mimesourcefactory.h"
#include "picture/capture.h"
#include "picture/imageedits.h"
#include "picture/prefetcher.h"
#include "picture/saveformats.h"

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

    mPrefetcher = new Prefetcher(this);

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
    return QStringLiteral("Path: %1 Size: %2x%3 pixel    Colordepth: %4bit    Resolution: %5x%6 dpi")
        .arg(path)
        .arg(image.width())
        .arg(image.height())
        .arg(image.depth())
        .arg(resolution::dotsPerInch(image.dotsPerMeterX()))
        .arg(resolution::dotsPerInch(image.dotsPerMeterY()));
}

QStringList Picture::listFolder(const QString &folder)
{
    static const QStringList filters = formats::namePatterns(formats::Listing::ImageWindow);
    QDir dir(folder.isEmpty() ? QStringLiteral("/") : folder);
    // Files only: a folder named like an image is not something to show.
    return dir.entryList(filters, QDir::Files, QDir::Name | QDir::IgnoreCase);
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
    QByteArray format;
    QImage loaded;
    const FileStamp stamp = FileStamp::of(filePath); // before: a change while reading counts
    if (!mPrefetcher->take(filePath, &loaded, &format))
        loaded = imageio::decode(filePath, &format);
    mImageFromFile = !loaded.isNull();
    if (mImageFromFile) {
        *currentImage = std::move(loaded);
        mEdited = false;
        mStamp = stamp;
    }
    mQuarterTurns = mImageFromFile ? 0 : -1;
    dotsPerMeterX = currentImage->dotsPerMeterX();
    dotsPerMeterY = currentImage->dotsPerMeterY();
    infoText = infoLine(filePath, *currentImage);
    setWindowTitle(infoText);
    folderEntries = listFolder(pathutil::beforeLastSlash(filePath));
    colorRed = colorGreen = colorBlue = colorAll = 0;
    mIconName = formats::iconName(formats::formatName(format));
    setWindowIcon(QIcon(fromMimeSource(mIconName)));
    return true;
}

void Picture::loadImage(const QString &path)
{
    if (!readFile(path))
        return;
    refreshView();
    requestNeighbours();
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
    mPrefetcher->request(neighbours);
}

QSize Picture::displaySize(int W, int H, int WW, int WH)
{
    if (W == 0 || H == 0)
        return {0, 0};
    int h = H;
    if (H > WH - 120)
        h = WH - 120;
    int w = static_cast<int>(static_cast<double>(W) / H * h);
    if (w > WW - 40) {
        w = WW - 40;
        h = static_cast<int>(static_cast<double>(H) / W * w);
    }
    return {w, h};
}

namespace {

// Fit src inside (w, h) keeping the aspect ratio, with integer arithmetic
// that truncates.
QSize fitInside(QSize src, int w, int h)
{
    if (src.isEmpty())
        return {0, 0};
    const qint64 rw = qint64(h) * src.width() / src.height();
    if (rw <= w)
        return {int(rw), h};
    return {w, int(qint64(w) * src.height() / src.width())};
}

} // namespace

void Picture::refreshView()
{
    const QSize before = surface().canvas;
    const CutFrame::Placement placement = frame.placement(before);
    {
        QMutexLocker lock(&viewLock);
        if (!layOutView())
            return;
    }
    // The image may have changed size: the frame never lies off it.
    followFrame(before, placement);
    // Another photo, or this one turned; an edit of its colours is not.
    if (filePath != mShownPath || currentImage->size() != mShownSize) {
        mShownPath = filePath;
        mShownSize = currentImage->size();
        emit imageShown();
    }
}

bool Picture::layOutView()
{
    const int W = currentImage->width();
    const int H = currentImage->height();
    if (W == 0 || H == 0)
        return false; // nothing to fit: the canvas stays as it was
    const QSize ws = workspaceSize();
    const QSize d = displaySize(W, H, ws.width(), ws.height());
    const int w = d.width();
    const int h = d.height();

    const QSize scaled = fitInside(currentImage->size(), w, h);
    if (scaled.width() > 0 && scaled.height() > 0) {
        QImage copy = currentImage->scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // Handed over, so that the pixmap can take the pixels without a copy.
        imageCanvas->setBackgroundBrush(QBrush(QPixmap::fromImage(std::move(copy))));
    } else {
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
    s.image = currentImage->size();
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
    if (!currentImage->isNull() && frame.fit(mCutSettings, surface()))
        drawFrame();
    updateReadout();
}

void Picture::followFrame(QSize before, const CutFrame::Placement &placement)
{
    const framegeometry::Surface now = surface();
    if (now.canvas == before || currentImage->isNull()) {
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
    if (!currentImage->isNull() && frame.reshape(mCutSettings, surface()))
        drawFrame();
    refitFrame();
}

void Picture::turnFrame(const CutSettings &settings, bool force)
{
    mCutSettings = settings;
    const framegeometry::Orientation wanted = framegeometry::orientationOf(settings.widthText, settings.heightText);
    const bool lyingOtherWay
        = frame.orientation() == framegeometry::opposite(wanted) && wanted != framegeometry::Orientation::None;
    if (!currentImage->isNull() && (force || lyingOtherWay) && frame.turn(mCutSettings, surface()))
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
    if (currentImage->isNull() || frame.moving || frame.resizing)
        return true; // a drag has the frame: the key is taken, and does nothing
    const bool changed
        = steps != 0 ? frame.step(steps, mCutSettings, surface()) : frame.nudge(dx, dy, mCutSettings, surface());
    if (changed)
        drawMovedFrame();
    return true;
}

void Picture::updateReadout()
{
    const QString text = currentImage->isNull() ? QString() : frame.readout(mCutSettings, surface());
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
    // Always from the file: rotations, inversions and earlier adjustments
    // that were not saved are dropped. When the file is gone the adjustment
    // applies to the image in memory. The display is made once, below.
    readFile(filePath);
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
    loadImage(filePath);
}

void Picture::saveAs()
{
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
