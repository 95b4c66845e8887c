#pragma once
// The view of an image window's canvas: it draws the photo under the cut
// frame, fitted to the window or zoomed, and pans it.
//
// The canvas (the scene) stays in the units the frame's arithmetic works
// in, whatever the zoom: fitting, zooming and panning only change how the
// canvas is drawn, so the pixels a cut takes never depend on them. The
// photo is drawn from its display copy while that is sharp enough; a view
// that needs more pixels than the copy has draws the visible part of the
// full image only (a 50 MP photo at 400 % draws what is on screen), or asks
// for a sharper copy of the whole photo (sharperWanted) when that stays
// small. Nothing here decodes a file.
//
// Keys and buttons: Ctrl+wheel zooms about the pointer, the wheel and
// Shift+wheel scroll, the middle button drags the photo. The left button
// belongs to the frame.

#include "core/photo/zoomstate.h"

#include <QGraphicsView>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QTimer>

#include <functional>

class PictureView : public QGraphicsView
{
    Q_OBJECT

public:
    // The full image when it is there and is the photo the canvas shows
    // (null otherwise), read on the GUI thread while painting.
    using FullImage = std::function<const QImage *()>;

    PictureView(QGraphicsScene *scene, QWidget *parent, FullImage full);

    // The copy of the whole photo made for this canvas.
    void setCopy(const QImage &copy);
    // Another photo is coming: the picture shown stays (within the canvas,
    // at its own proportions) until its copy does.
    void keepLastPicture() { mStale = true; redraw(); }
    // Nothing to show: the canvas colour only.
    void clearCopy();
    // A copy of the whole photo at a larger size than setCopy's, made for
    // the scale shown now; taken while nothing newer has been set.
    void setSharperCopy(const QImage &copy, quint64 forGeneration);
    QImage copy() const { return mCopyImage; }
    bool showsLastPicture() const { return mStale; }
    // The image the canvas stands for (its full size, upright): the scale
    // of the view follows it and the canvas.
    void setImageSize(const QSize &size);
    // The full image came, or the canvas changed: fit or zoom again.
    void relayout();
    void redraw();

    const ZoomState &zoom() const { return mZoom; }
    void fitToWindow();
    void actualPixels();
    void zoomIn();
    void zoomOut();
    // Screen pixels per image pixel as drawn now.
    double imageScale() const;

signals:
    void zoomChanged(const QString &text);
    // A copy of the whole photo at size would draw the view sharper; its
    // answer goes to setSharperCopy with generation.
    void sharperWanted(const QSize &size, quint64 generation);

protected:
    void drawBackground(QPainter *painter, const QRectF &rect) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // Sets the transform for the zoom, keeping the canvas point under
    // anchor (viewport coordinates) where it is.
    void applyZoom(const QPoint &anchor);
    void applyZoomAtCentre();
    double fitScale() const;
    // Whether the fitted canvas is drawn one to one (the window was made
    // around it, a few pixels larger).
    bool fitsOneToOne() const;
    void drawVisiblePart(QPainter *painter, const QRectF &rect, const QImage &full);
    // The photo's pixels around what is on screen, put into the screen's
    // colours on a worker, so that panning there needs no conversion.
    void convertAround(const QImage &full);
    void drawCopy(QPainter *painter);
    void askSharper();

    FullImage mFull;
    ZoomState mZoom;
    QSize mImageSize;
    QImage mCopyImage;
    QPixmap mCopy;
    QPixmap mSharper;
    bool mStale = false;
    quint64 mGeneration = 0; // counts the copies set: a sharper copy is for one of them
    QTimer mSharperTimer;
    // The part of the full image (cacheKey mConvertedFrom) at
    // mConvertedRect in the screen's colours (displayGeneration
    // mConvertedColours); one conversion under way at a time.
    QImage mConverted;
    QRect mConvertedRect;
    qint64 mConvertedFrom = 0;
    quint64 mConvertedColours = 0;
    bool mConverting = false;
    // The middle button's drag: where it began, and the scroll bars then.
    bool mPanning = false;
    QPoint mPanFrom;
    QPoint mScrollFrom;
};
