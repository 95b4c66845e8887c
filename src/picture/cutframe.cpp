#include "picture/cutframe.h"

#include "picture/capture.h"

#include <QObject>
#include <QSize>

namespace {

// A rectangle item's rectangle is its position truncated to integers with
// its size; a point on its edges counts as inside.
bool containsPoint(const QRectF &r, int px, int py)
{
    const int x = static_cast<int>(r.x());
    const int y = static_cast<int>(r.y());
    return px >= x && px <= x + r.width() && py >= y && py <= y + r.height();
}

} // namespace

QRectF CutFrame::handleRect() const
{
    return {itemRect.x() + itemRect.width() - kHandleSize, itemRect.y() + itemRect.height() - kHandleSize,
            double(kHandleSize), double(kHandleSize)};
}

bool CutFrame::parseRatio(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v <= 0)
        return false;
    *value = v;
    return true;
}

QSize CutFrame::firstSize(int rw, int rh, int canvasWidth, int canvasHeight)
{
    if (rw <= 0 || rh <= 0 || canvasWidth <= 0 || canvasHeight <= 0)
        return {0, 0};
    // The largest m with m * rw < CW and m * rh < CH: what adding rw and rh
    // until one side reaches the canvas, then stepping back once, gives.
    const int m = qMin((canvasWidth - 1) / rw, (canvasHeight - 1) / rh);
    return {m * rw, m * rh};
}

CutFrame::Press CutFrame::press(int px, int py)
{
    if (!shown)
        return Press::Nothing;
    moving = false;
    resizing = false;
    if (containsPoint(handleRect(), px, py)) {
        resizing = true;
        return Press::Resize;
    }
    if (containsPoint(itemRect, px, py)) {
        pressX = px;
        pressY = py;
        pressFrameX = static_cast<int>(frameX);
        pressFrameY = static_cast<int>(frameY);
        moving = true;
        return Press::Move;
    }
    return Press::Nothing;
}

void CutFrame::release()
{
    moving = false;
    resizing = false;
}

bool CutFrame::centimetreSize(const Settings &settings, const Surface &surface, int *w, int *h)
{
    int pw = 0;
    int ph = 0;
    if (!framegeometry::centimetrePixels(settings.widthText, surface.dotsPerMeterX, &pw)
        || !framegeometry::centimetrePixels(settings.heightText, surface.dotsPerMeterY, &ph))
        return false;
    const QSize needed(pw, ph);
    mRatio = QSize();
    if (needed.isEmpty() || pw > surface.image.width() || ph > surface.image.height()) {
        // No frame, as for a ratio larger than the canvas: a cut of this
        // size would hold pixels that are not the photo's.
        mPixelSize = QSize();
        mTooSmallFor = needed.isEmpty() ? QSize() : needed;
        *w = 0;
        *h = 0;
        return true;
    }
    mPixelSize = needed;
    mTooSmallFor = QSize();
    const QSize units = framegeometry::toCanvas(needed, surface);
    *w = units.width();
    *h = units.height();
    return true;
}

void CutFrame::apply(double x, double y, int w, int h, QSize canvas)
{
    // Keep the frame on the canvas; a frame larger than the canvas sits at 0
    // and sticks out to the right or bottom.
    if (canvas.width() < w + x)
        x = canvas.width() - w;
    if (canvas.height() < h + y)
        y = canvas.height() - h;
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;

    frameX = x;
    frameY = y;
    frameWidth = w;
    frameHeight = h;
    itemRect = QRectF(x, y, w, h);
    mLaid = true;
}

bool CutFrame::move(int px, int py, const Settings &settings, const Surface &surface)
{
    if (!shown || (!moving && !resizing))
        return false;

    const int CW = surface.canvas.width();
    const int CH = surface.canvas.height();
    double x = frameX;
    double y = frameY;
    if (moving) {
        x = pressFrameX + (px - pressX);
        y = pressFrameY + (py - pressY);
    }

    int w = 0;
    int h = 0;
    if (settings.useDpi) {
        // Centimetres at the image's resolution, worked out on every move:
        // the handle cannot change this size.
        if (!centimetreSize(settings, surface, &w, &h))
            return false;
    } else {
        int rw = 0;
        int rh = 0;
        if (frameWidth == 0 || frameHeight == 0) {
            if (!parseRatio(settings.widthText, &rw) || !parseRatio(settings.heightText, &rh))
                return false;
            const QSize first = firstSize(rw, rh, CW, CH);
            frameWidth = first.width();
            frameHeight = first.height();
            mRatio = first.isEmpty() ? QSize() : QSize(rw, rh);
        }
        mPixelSize = QSize();
        mTooSmallFor = QSize();
        w = frameWidth;
        h = frameHeight;
        if (resizing) {
            if (!parseRatio(settings.widthText, &rw) || !parseRatio(settings.heightText, &rh))
                return false;
            if (settings.free) {
                w = static_cast<int>(px - frameX);
                if (w < rw)
                    w = rw;
                if (CW < w + frameX)
                    w = frameWidth;
                h = static_cast<int>(py - frameY);
                if (h < rh)
                    h = rh;
                if (CH < h + frameY) {
                    // Past the lower edge: the whole previous size stays, not
                    // only the height.
                    w = frameWidth;
                    h = frameHeight;
                }
                if (w != frameWidth || h != frameHeight)
                    mRatio = QSize(); // the shape is the user's now
            } else {
                // Whole multiples of the ratio: the width steps with the
                // height, so that the frame keeps its shape exactly.
                int k = qMax(1, static_cast<int>(px - frameX) / rw);
                if (CW < double(k) * rw + frameX)
                    k = qMax(1, frameWidth / rw);
                if (CH < double(k) * rh + frameY) {
                    w = frameWidth;
                    h = frameHeight;
                } else {
                    w = k * rw;
                    h = k * rh;
                    mRatio = QSize(rw, rh);
                }
            }
        }
    }

    apply(x, y, w, h, surface.canvas);
    return true;
}

bool CutFrame::fit(const Settings &settings, const Surface &surface)
{
    if (!mLaid || surface.canvas.isEmpty())
        return false;
    const int CW = surface.canvas.width();
    const int CH = surface.canvas.height();
    int w = frameWidth;
    int h = frameHeight;
    if (settings.useDpi && centimetreSize(settings, surface, &w, &h)) {
        apply(frameX, frameY, w, h, surface.canvas);
        return true;
    }
    if (settings.useDpi && (mPixelSize.isValid() || mTooSmallFor.isValid())) {
        // Size fields that give no number: the frame keeps the size in
        // pixels it has, as long as the photo holds it.
        const QSize needed = mPixelSize.isValid() ? mPixelSize : mTooSmallFor;
        if (needed.width() <= surface.image.width() && needed.height() <= surface.image.height()) {
            mPixelSize = needed;
            mTooSmallFor = QSize();
            const QSize units = framegeometry::toCanvas(needed, surface);
            w = units.width();
            h = units.height();
        } else {
            mPixelSize = QSize();
            mTooSmallFor = needed;
            w = h = 0;
        }
        apply(frameX, frameY, w, h, surface.canvas);
        return true;
    }

    mPixelSize = QSize();
    mTooSmallFor = QSize();
    if (w > 0 && h > 0) {
        if (mRatio.isValid()) {
            const int k = qMin(qMin(w / mRatio.width(), CW / mRatio.width()), CH / mRatio.height());
            w = k * mRatio.width();
            h = k * mRatio.height();
        } else {
            w = qMin(w, CW);
            h = qMin(h, CH);
        }
    }
    if (w <= 0 || h <= 0) {
        // Nothing is left to keep (a ratio that no longer fits, or a
        // centimetre frame that did not): back to the frame of a new window,
        // which can be grabbed and gets its size at the next drag.
        mLaid = false;
        mRatio = QSize();
        frameX = frameY = 0;
        frameWidth = frameHeight = 0;
        itemRect = QRectF(0, 0, 32, 32);
        return true;
    }
    apply(frameX, frameY, w, h, surface.canvas);
    return true;
}

QRect CutFrame::imageRect(const Surface &surface) const
{
    if (frameWidth <= 0 || frameHeight <= 0)
        return {};
    const QRect mapped = capture::imageRect(surface.image, surface.canvas, frameX, frameY, frameWidth, frameHeight);
    if (mapped.isEmpty())
        return {};
    if (mPixelSize.isValid())
        return framegeometry::placeInside(mapped.topLeft(), mPixelSize, surface.image);
    if (mRatio.isValid()) {
        // The height from the width: the canvas's scale differs a little
        // across and down, and scaling each side on its own would lose the
        // ratio.
        const QSize size = framegeometry::keepRatio(mapped.width(), mRatio, surface.image.height());
        return framegeometry::placeInside(mapped.topLeft(), size, surface.image);
    }
    return mapped;
}

QString CutFrame::readout(const Settings &settings, const Surface &surface) const
{
    if (!shown)
        return {};
    if (mTooSmallFor.isValid())
        return framegeometry::tooSmall(settings.widthText, settings.heightText, mTooSmallFor,
                                       surface.dotsPerMeterX, surface.dotsPerMeterY, surface.image);
    const QRect r = imageRect(surface);
    if (r.isEmpty())
        return mLaid ? QObject::tr("Cut: no frame fits this photo") : QObject::tr("Cut: drag the frame to size it");
    return framegeometry::readout(r.size(), surface.dotsPerMeterX, surface.dotsPerMeterY);
}
