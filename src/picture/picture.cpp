#include "picture.h"

#include "capture.h"
#include "framzo.h"
#include "imageio.h"
#include "mimesourcefactory.h"
#include "pathutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>

Picture::Picture(QWidget *workspace_, const char *name, Qt::WindowFlags flags, Framzo *mainWindow_)
    : QMainWindow(nullptr, flags), workspace(workspace_), mainWindow(mainWindow_),
      currentImage(std::make_unique<QImage>())
{
    setObjectName(QString::fromLatin1(name ? name : "Picture"));

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
        .arg(image.dotsPerMeterX() / 39)
        .arg(image.dotsPerMeterY() / 39);
}

QStringList Picture::listFolder(const QString &folder)
{
    static const QStringList filters = {QStringLiteral("*.bmp"), QStringLiteral("*.jpg"),
                                        QStringLiteral("*.jpeg"), QStringLiteral("*.png"),
                                        QStringLiteral("*.tif"), QStringLiteral("*.tiff"),
                                        QStringLiteral("*.xpm")};
    QDir dir(folder.isEmpty() ? QStringLiteral("/") : folder);
    // Files only: a folder named like an image is not something to show.
    return dir.entryList(filters, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

void Picture::loadImage(const QString &path)
{
    {
        QMutexLocker lock(&viewLock);
        if (path.isEmpty())
            return;
        // A path written with backslashes is taken with "/"; a name that
        // really holds a backslash (legal here) is kept as it is.
        const QString slashed = pathutil::slashes(path);
        const QString usable = QFileInfo::exists(slashed) ? slashed : path;
        if (!QFileInfo::exists(usable))
            return;
        filePath = usable;
        QByteArray format;
        QImage loaded = imageio::decode(filePath, &format);
        if (!loaded.isNull())
            *currentImage = std::move(loaded);
        dotsPerMeterX = currentImage->dotsPerMeterX();
        dotsPerMeterY = currentImage->dotsPerMeterY();
        infoText = infoLine(filePath, *currentImage);
        setWindowTitle(infoText);
        folderEntries = listFolder(pathutil::beforeLastSlash(filePath));
        colorRed = colorGreen = colorBlue = colorAll = 0;
        mIconName = imageio::iconName(imageio::formatName(format));
        setWindowIcon(QIcon(fromMimeSource(mIconName)));
    }
    refreshView();
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
    QMutexLocker lock(&viewLock);
    const int W = currentImage->width();
    const int H = currentImage->height();
    if (W == 0 || H == 0)
        return; // nothing to fit: the canvas stays as it was
    const QSize ws = workspaceSize();
    const QSize d = displaySize(W, H, ws.width(), ws.height());
    const int w = d.width();
    const int h = d.height();

    const QSize scaled = fitInside(currentImage->size(), w, h);
    if (scaled.width() > 0 && scaled.height() > 0) {
        const QImage copy = currentImage->scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        imageCanvas->setBackgroundBrush(QBrush(QPixmap::fromImage(copy)));
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
}

void Picture::showFrame(bool on)
{
    frame.shown = on;
    resizeHandle->setVisible(on);
    cutFrame->setVisible(on);
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
    CutSettings settings;
    if (mainWindow) {
        settings.widthText = mainWindow->mpWidth->text();
        settings.heightText = mainWindow->mpHeight->text();
        settings.useDpi = mainWindow->mpFit->isChecked();
        settings.free = mainWindow->mpFree->isChecked();
    }
    const QRectF canvasRect = imageCanvas->sceneRect();
    if (!frame.move(p.x(), p.y(), settings, static_cast<int>(canvasRect.width()),
                    static_cast<int>(canvasRect.height()), dotsPerMeterX, dotsPerMeterY))
        return;

    static const QColor colours[] = {QColor(0, 0, 0), QColor(255, 255, 255), QColor(255, 0, 0),
                                     QColor(0, 255, 0), QColor(0, 0, 255)};
    const int index = mainWindow ? mainWindow->mpFrameColor->currentIndex() : -1;
    if (index >= 0 && index < 5)
        cutFrame->setPen(QPen(colours[index], 0, Qt::SolidLine)); // width 0: one device pixel

    const QRectF r = frame.frameRect();
    cutFrame->setPos(r.topLeft());
    cutFrame->setRect(0, 0, r.width(), r.height());
    resizeHandle->setPen(cutFrame->pen());
    resizeHandle->setPos(frame.handleRect().topLeft());
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

void Picture::captureTo(const QString &captureFolder)
{
    if (!cutFrame->isVisible())
        return;
    const QRectF canvasRect = imageCanvas->sceneRect();
    const QRect rect = capture::imageRect(currentImage->size(),
                                          QSize(static_cast<int>(canvasRect.width()),
                                                static_cast<int>(canvasRect.height())),
                                          frame.frameX, frame.frameY, frame.frameWidth, frame.frameHeight);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const capture::Result result = capture::writeCut(*currentImage, rect, filePath, captureFolder);
    QGuiApplication::restoreOverrideCursor();
    if (!mainWindow)
        return;
    if (result.path.isEmpty())
        mainWindow->reportFailure(result.error);
    else
        mainWindow->newChildWin(result.path);
}
void Picture::rotateBy(double) {}
int Picture::invertColors() { return 0; }
int Picture::adjustColors(int, int, int, int) { return 0; }
void Picture::colorSettings(int &red, int &green, int &blue, int &all) const
{
    red = colorRed;
    green = colorGreen;
    blue = colorBlue;
    all = colorAll;
}
void Picture::saveInPlace() {}
void Picture::saveAs() {}
bool Picture::stepInFolder(int) { return false; }
void Picture::deleteFile() {}
