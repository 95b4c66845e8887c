#include "ui/picture/pictureview.h"

#include "core/base/jobs.h"
#include "core/imageio/colourmanage.h"
#include "core/photo/displaycopy.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

namespace {

const QColor kCanvasColour(192, 192, 192);
// A window made around its canvas is a few pixels larger than it: drawn one
// to one, not scaled by a fraction of a percent (which would blur it).
constexpr int kOneToOneSlack = 8;
// Below 100 %, up to this many pixels, a copy of the whole photo at the
// scale shown is made (on a worker); beyond it only the visible part is
// drawn, each time.
constexpr double kSharperCopyPixels = 16e6;
// A copy this close to the size drawn is sharp enough.
constexpr double kSharpEnough = 0.95;

} // namespace

PictureView::PictureView(QGraphicsScene *scene, QWidget *parent, FullImage full)
    : QGraphicsView(scene, parent), mFull(std::move(full))
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFrameStyle(QFrame::NoFrame);
    setCacheMode(QGraphicsView::CacheBackground);
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setResizeAnchor(QGraphicsView::NoAnchor);
    mSharperTimer.setSingleShot(true);
    mSharperTimer.setInterval(120); // a window being resized asks once it rests
    connect(&mSharperTimer, &QTimer::timeout, this, &PictureView::askSharper);
}

void PictureView::setCopy(const QImage &copy)
{
    mCopyImage = copy;
    mCopy = QPixmap::fromImage(copy);
    mSharper = QPixmap();
    mConverted = QImage();
    mConvertedRect = QRect();
    mStale = false;
    ++mGeneration;
    redraw();
    mSharperTimer.start();
}

void PictureView::clearCopy()
{
    setCopy(QImage());
}

void PictureView::setSharperCopy(const QImage &copy, quint64 forGeneration)
{
    if (forGeneration != mGeneration || mStale || copy.isNull())
        return;
    mSharper = QPixmap::fromImage(copy);
    redraw();
}

void PictureView::setImageSize(const QSize &size)
{
    mImageSize = size;
}

void PictureView::redraw()
{
    resetCachedContent();
    viewport()->update();
}

// ---- zoom -----------------------------------------------------------------------

double PictureView::fitScale() const
{
    const QRectF canvas = sceneRect();
    if (mImageSize.isEmpty() || canvas.isEmpty())
        return 1;
    const QSize vp = viewport()->size();
    const double toCanvas = fitsOneToOne() ? 1 : qMin(vp.width() / canvas.width(), vp.height() / canvas.height());
    return toCanvas * canvas.width() / mImageSize.width();
}

bool PictureView::fitsOneToOne() const
{
    const QSize vp = viewport()->size();
    const QSizeF slack = QSizeF(vp) - sceneRect().size();
    return slack.width() >= 0 && slack.height() >= 0 && slack.width() <= kOneToOneSlack
        && slack.height() <= kOneToOneSlack;
}

double PictureView::imageScale() const
{
    if (mImageSize.isEmpty())
        return 1;
    return transform().m11() * sceneRect().width() / mImageSize.width();
}

void PictureView::relayout()
{
    const QString before = mZoom.text();
    applyZoomAtCentre();
    if (mZoom.text() != before)
        emit zoomChanged(mZoom.text());
}

void PictureView::applyZoomAtCentre()
{
    applyZoom(viewport()->rect().center());
}

void PictureView::applyZoom(const QPoint &anchor)
{
    const QPointF anchored = mapToScene(anchor);
    mZoom.setFitScale(fitScale());
    const double perCanvas
        = mImageSize.isEmpty() || sceneRect().isEmpty() ? 1 : mZoom.scale() * mImageSize.width() / sceneRect().width();
    const bool oneToOne = mZoom.isFit() && fitsOneToOne();
    setAlignment(oneToOne ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignCenter);
    const Qt::ScrollBarPolicy bars = mZoom.isFit() ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    setHorizontalScrollBarPolicy(bars);
    setVerticalScrollBarPolicy(bars);
    if (!qFuzzyCompare(transform().m11(), perCanvas))
        setTransform(QTransform::fromScale(perCanvas, perCanvas));
    // The point under the pointer (or the middle) stays where it was.
    const QPointF moved = mapFromScene(anchored) - QPointF(anchor);
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + qRound(moved.x()));
    verticalScrollBar()->setValue(verticalScrollBar()->value() + qRound(moved.y()));
    redraw();
    mSharperTimer.start();
}

void PictureView::fitToWindow()
{
    mZoom.fit();
    relayout();
    emit zoomChanged(mZoom.text());
}

void PictureView::actualPixels()
{
    mZoom.setScale(1);
    relayout();
    emit zoomChanged(mZoom.text());
}

void PictureView::zoomIn()
{
    if (mZoom.zoomIn())
        relayout();
    emit zoomChanged(mZoom.text());
}

void PictureView::zoomOut()
{
    if (mZoom.zoomOut())
        relayout();
    emit zoomChanged(mZoom.text());
}

void PictureView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    relayout();
}

void PictureView::wheelEvent(QWheelEvent *event)
{
    const int delta = event->angleDelta().y();
    if (event->modifiers() & Qt::ControlModifier) {
        if (delta != 0 && (delta > 0 ? mZoom.zoomIn() : mZoom.zoomOut())) {
            applyZoom(event->position().toPoint());
            emit zoomChanged(mZoom.text());
        }
        event->accept();
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta);
        event->accept();
        return;
    }
    QGraphicsView::wheelEvent(event);
}

void PictureView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::MiddleButton) {
        QGraphicsView::mousePressEvent(event);
        return;
    }
    mPanning = true;
    mPanFrom = event->position().toPoint();
    mScrollFrom = {horizontalScrollBar()->value(), verticalScrollBar()->value()};
    viewport()->setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void PictureView::mouseMoveEvent(QMouseEvent *event)
{
    if (!mPanning) {
        QGraphicsView::mouseMoveEvent(event);
        return;
    }
    const QPoint by = event->position().toPoint() - mPanFrom;
    horizontalScrollBar()->setValue(mScrollFrom.x() - by.x());
    verticalScrollBar()->setValue(mScrollFrom.y() - by.y());
    event->accept();
}

void PictureView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!mPanning || event->button() != Qt::MiddleButton) {
        QGraphicsView::mouseReleaseEvent(event);
        return;
    }
    mPanning = false;
    viewport()->unsetCursor();
    event->accept();
}

// ---- drawing --------------------------------------------------------------------

void PictureView::drawBackground(QPainter *painter, const QRectF &rect)
{
    painter->fillRect(rect, kCanvasColour);
    const QImage *full = mStale || !mFull ? nullptr : mFull();
    const double s = imageScale();
    // From 100 % on the photo's own pixels are shown, and from the full image
    // too where a copy of the whole would be large.
    const bool fromFull = s >= 1 || s * mImageSize.width() * s * mImageSize.height() > kSharperCopyPixels;
    if (full && !full->isNull() && full->size() == mImageSize && fromFull)
        drawVisiblePart(painter, rect, *full);
    else
        drawCopy(painter);
}

void PictureView::drawVisiblePart(QPainter *painter, const QRectF &rect, const QImage &full)
{
    const QRectF canvas = sceneRect();
    const QRectF exposed = rect & canvas;
    if (exposed.isEmpty())
        return;
    // The image pixels under the exposed part, whole ones.
    const double toImage = mImageSize.width() / canvas.width();
    const QRect source = QRect(QPoint(int(std::floor(exposed.left() * toImage)), int(std::floor(exposed.top() * toImage))),
                               QPoint(int(std::ceil(exposed.right() * toImage)) - 1,
                                      int(std::ceil(exposed.bottom() * toImage)) - 1))
        & full.rect();
    const QRectF onCanvas(source.x() / toImage, source.y() / toImage, source.width() / toImage,
                          source.height() / toImage);
    const QRect target = painter->worldTransform().mapRect(onCanvas).toAlignedRect();
    if (target.width() >= source.width() && !colourmanage::changedForDisplay(full)) {
        // The photo's own numbers are the screen's: drawn straight from the
        // image, each pixel repeated.
        painter->save();
        painter->resetTransform();
        painter->drawImage(target, full, source);
        painter->restore();
        return;
    }
    const bool converted = mConvertedFrom == full.cacheKey() && mConvertedRect.contains(source)
        && mConvertedColours == colourmanage::displayGeneration();
    if (converted && target.width() >= source.width()) {
        painter->save();
        painter->resetTransform();
        painter->drawImage(target, mConverted, source.translated(-mConvertedRect.topLeft()));
        painter->restore();
        return;
    }
    const QImage part = displaycopy::region(full, source, target.size());
    if (part.isNull())
        return;
    painter->save();
    painter->resetTransform();
    painter->drawImage(target.topLeft(), part);
    painter->restore();
    if (target.width() >= source.width())
        convertAround(full);
}

void PictureView::convertAround(const QImage &full)
{
    if (mConverting)
        return;
    // What is on screen and as much again on every side.
    const QRectF canvas = sceneRect();
    const double toImage = mImageSize.width() / canvas.width();
    const QRectF visible = mapToScene(viewport()->rect()).boundingRect() & canvas;
    const QRect seen(int(visible.x() * toImage), int(visible.y() * toImage), int(visible.width() * toImage) + 1,
                     int(visible.height() * toImage) + 1);
    const QRect around = seen.adjusted(-seen.width(), -seen.height(), seen.width(), seen.height()) & full.rect();
    if (around.isEmpty())
        return;
    mConverting = true;
    const QImage image = full; // shared, not copied
    const qint64 from = full.cacheKey();
    jobs::watch(jobs::start(jobs::Lane::Shared,
                            [image, around](const jobs::Progress &) {
                                QImage part = image.copy(around);
                                const quint64 colours = colourmanage::toDisplay(part);
                                return std::pair{part, colours};
                            }),
                this, [this, from, around](const std::pair<QImage, quint64> &done) {
                    mConverting = false;
                    mConverted = done.first;
                    mConvertedRect = around;
                    mConvertedFrom = from;
                    mConvertedColours = done.second;
                });
}

void PictureView::drawCopy(QPainter *painter)
{
    const QPixmap &pix = mSharper.isNull() ? mCopy : mSharper;
    if (pix.isNull())
        return;
    const QRectF canvas = sceneRect();
    // Drawn one to one where it was made for the size drawn (or the window
    // made around it, a few pixels larger): as sharp as it was made.
    const QRectF device = painter->worldTransform().mapRect(canvas);
    if (!mStale && qAbs(device.width() - pix.width()) <= kOneToOneSlack
        && qAbs(device.height() - pix.height()) <= kOneToOneSlack) {
        painter->save();
        painter->resetTransform();
        painter->drawPixmap(device.topLeft().toPoint(), pix);
        painter->restore();
        return;
    }
    QRectF target = canvas;
    if (mStale) {
        // The last picture, until the new one comes: at its own proportions.
        QSizeF size = pix.size();
        size.scale(canvas.size(), Qt::KeepAspectRatio);
        target = QRectF(canvas.center() - QPointF(size.width() / 2, size.height() / 2), size);
    }
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawPixmap(target, pix, QRectF(pix.rect()));
    painter->restore();
}

void PictureView::askSharper()
{
    const QImage *full = mFull ? mFull() : nullptr;
    if (mStale || !full || full->isNull() || full->size() != mImageSize || transform().isIdentity())
        return;
    const double s = imageScale();
    if (s >= 1)
        return; // drawn from the full image
    const QSize wanted(qRound(s * mImageSize.width()), qRound(s * mImageSize.height()));
    if (wanted.isEmpty() || double(wanted.width()) * wanted.height() > kSharperCopyPixels)
        return;
    const int have = mSharper.isNull() ? mCopy.width() : mSharper.width();
    if (have >= kSharpEnough * wanted.width() && have <= wanted.width() / kSharpEnough)
        return;
    emit sharperWanted(wanted, mGeneration);
}
