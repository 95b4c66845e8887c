#include "picture.h"

#include "framzo.h"
#include "imageio.h"
#include "mimesourcefactory.h"
#include "pathutil.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
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
    resizeHandle->setPos(frameX + 32 - 8, frameY + 32 - 8);
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
    cutFrame->setVisible(on);
    resizeHandle->setVisible(on);
}

bool Picture::eventFilter(QObject *watched, QEvent *event)
{
    return QMainWindow::eventFilter(watched, event);
}

void Picture::mousePressEvent(QMouseEvent *event)
{
    QMainWindow::mousePressEvent(event);
}

void Picture::mouseReleaseEvent(QMouseEvent *event)
{
    QMainWindow::mouseReleaseEvent(event);
}

void Picture::mouseMoveEvent(QMouseEvent *event)
{
    QMainWindow::mouseMoveEvent(event);
}

void Picture::captureTo(const QString &) {}
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
