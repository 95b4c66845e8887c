#include "core/cut/cutframe.h"

#include "core/cut/capture.h"

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

bool CutFrame::isCentimetres() const
{
    return mPixelSize.isValid() || mTooSmallFor.isValid();
}

void CutFrame::keepRoom(QSize canvas)
{
    auto room = [](double at, int size, int canvasSize) {
        const double free = canvasSize - size;
        return free > 0 ? qBound(0.0, at / free, 1.0) : 0.5;
    };
    mRoomX = room(frameX, frameWidth, canvas.width());
    mRoomY = room(frameY, frameHeight, canvas.height());
}

void CutFrame::placeInRoom(int w, int h, QSize canvas)
{
    // Whole canvas units, as a drag leaves it; the cut itself is placed in
    // image pixels (imageRect).
    apply(qRound(mRoomX * (canvas.width() - w)), qRound(mRoomY * (canvas.height() - h)), w, h, canvas);
}

bool CutFrame::centre(const Settings &settings, const Surface &surface)
{
    if (!shown || moving || resizing || surface.canvas.isEmpty())
        return false;
    const QRectF before = itemRect;
    const QRect cutBefore = imageRect(surface);
    const bool wasLaid = mLaid;
    if (settings.useDpi) {
        // A centimetre frame needs no drag to get its size; on a photo too
        // small for it, it waits in the middle for the next one.
        mLaid = true;
        fit(settings, surface);
        if (!mLaid)
            return wasLaid; // size fields that give no number: nothing to lay
    } else if (!mLaid || frameWidth <= 0 || frameHeight <= 0) {
        nudge(0, 0, settings, surface); // the first size, as a first drag gives it
        if (frameWidth <= 0 || frameHeight <= 0)
            return false;
    }
    mRoomX = mRoomY = 0.5;
    placeInRoom(frameWidth, frameHeight, surface.canvas);
    return !wasLaid || itemRect != before || imageRect(surface) != cutBefore;
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
            const QSize size = resized(px, py, QSize(rw, rh), settings.free, surface.canvas);
            w = size.width();
            h = size.height();
        }
    }

    apply(x, y, w, h, surface.canvas);
    if (w > 0 && h > 0) // a frame the photo is too small for keeps its place for the next
        keepRoom(surface.canvas);
    return true;
}

QSize CutFrame::resized(int px, int py, QSize ratio, bool free, QSize canvas)
{
    const int rw = ratio.width();
    const int rh = ratio.height();
    if (free) {
        int w = static_cast<int>(px - frameX);
        if (w < rw)
            w = rw;
        if (canvas.width() < w + frameX)
            w = frameWidth;
        int h = static_cast<int>(py - frameY);
        if (h < rh)
            h = rh;
        if (canvas.height() < h + frameY) {
            // Past the lower edge: the whole previous size stays, not only
            // the height.
            w = frameWidth;
            h = frameHeight;
        }
        if (w != frameWidth || h != frameHeight)
            mRatio = QSize(); // the shape is the user's now
        return {w, h};
    }
    // Whole multiples of the ratio: the width steps with the height, so that
    // the frame keeps its shape exactly.
    int k = qMax(1, static_cast<int>(px - frameX) / rw);
    if (canvas.width() < double(k) * rw + frameX)
        k = qMax(1, frameWidth / rw);
    if (canvas.height() < double(k) * rh + frameY)
        return {frameWidth, frameHeight};
    mRatio = ratio;
    return {k * rw, k * rh};
}

bool CutFrame::fit(const Settings &settings, const Surface &surface)
{
    if (!mLaid || surface.canvas.isEmpty())
        return false;
    const int CW = surface.canvas.width();
    const int CH = surface.canvas.height();
    int w = frameWidth;
    int h = frameHeight;
    // A frame that turns into centimetres keeps the place it has now; one
    // that is in centimetres already keeps its remembered place, which the
    // canvas position (whole units, or none while the photo is too small)
    // does not hold exactly.
    if (settings.useDpi && !isCentimetres())
        keepRoom(surface.canvas);
    if (settings.useDpi && centimetreSize(settings, surface, &w, &h)) {
        placeInRoom(w, h, surface.canvas);
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
        placeInRoom(w, h, surface.canvas);
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

CutFrame::Placement CutFrame::placement(QSize canvas) const
{
    Placement p;
    if (!mLaid || canvas.isEmpty())
        return p;
    p.laid = true;
    const int CW = canvas.width();
    const int CH = canvas.height();
    auto room = [](double at, int size, int canvasSize) {
        const double free = canvasSize - size;
        return free > 0 ? qBound(0.0, at / free, 1.0) : 0.5;
    };
    p.roomX = room(frameX, frameWidth, CW);
    p.roomY = room(frameY, frameHeight, CH);
    if (isCentimetres()) {
        p.roomX = mRoomX;
        p.roomY = mRoomY;
    }
    p.width = double(frameWidth) / CW;
    p.height = double(frameHeight) / CH;
    if (!mRatio.isEmpty()) {
        const int most = qMin(CW / mRatio.width(), CH / mRatio.height());
        p.scale = most > 0 ? qMin(1.0, double(frameWidth / mRatio.width()) / most) : 1.0;
    }
    return p;
}

QSize CutFrame::scaledRatio(QSize ratio, double scale, QSize canvas)
{
    if (ratio.isEmpty())
        return {0, 0};
    const int most = qMin(canvas.width() / ratio.width(), canvas.height() / ratio.height());
    if (most < 1)
        return {0, 0};
    const int k = qBound(1, qRound(scale * most), most);
    return {ratio.width() * k, ratio.height() * k};
}

bool CutFrame::lay(const Placement &p, int w, int h, const Settings &settings, const Surface &surface)
{
    frameX = 0;
    frameY = 0;
    frameWidth = w;
    frameHeight = h;
    itemRect = QRectF(0, 0, w, h);
    mRoomX = p.roomX;
    mRoomY = p.roomY;
    fit(settings, surface); // centimetres worked out, the rest kept on the canvas
    if (!mLaid)
        return true; // nothing fits: the frame of a new window again
    mRoomX = p.roomX;
    mRoomY = p.roomY;
    placeInRoom(frameWidth, frameHeight, surface.canvas);
    return true;
}

bool CutFrame::follow(const Placement &p, const Settings &settings, const Surface &surface)
{
    if (!mLaid || !p.laid || surface.canvas.isEmpty())
        return fit(settings, surface);
    int w = frameWidth;
    int h = frameHeight;
    if (!mRatio.isEmpty()) {
        const QSize size = scaledRatio(mRatio, p.scale, surface.canvas);
        w = size.width();
        h = size.height();
    } else if (!mPixelSize.isValid() && !mTooSmallFor.isValid()) {
        w = qMax(1, qRound(p.width * surface.canvas.width()));
        h = qMax(1, qRound(p.height * surface.canvas.height()));
    }
    return lay(p, w, h, settings, surface);
}

bool CutFrame::reshape(const Settings &settings, const Surface &surface)
{
    if (!mLaid || surface.canvas.isEmpty())
        return false;
    const Placement p = placement(surface.canvas);
    if (settings.useDpi)
        return lay(p, frameWidth, frameHeight, settings, surface); // fit() works the centimetres out
    int rw = 0;
    int rh = 0;
    if (!parseRatio(settings.widthText, &rw) || !parseRatio(settings.heightText, &rh))
        return false;
    double scale = p.scale;
    if (mRatio.isEmpty()) {
        // No ratio yet: the largest frame of the new ratio inside this one.
        const int most = qMin(surface.canvas.width() / rw, surface.canvas.height() / rh);
        const int inside = qMin(frameWidth / rw, frameHeight / rh);
        scale = most > 0 && frameWidth > 0 && frameHeight > 0 ? double(qMax(1, inside)) / most : 1.0;
    }
    mRatio = QSize(rw, rh);
    mPixelSize = QSize();
    mTooSmallFor = QSize();
    const QSize size = scaledRatio(mRatio, scale, surface.canvas);
    return lay(p, size.width(), size.height(), settings, surface);
}

bool CutFrame::turn(const Settings &turned, const Surface &surface)
{
    if (!mLaid || surface.canvas.isEmpty())
        return false;
    if (turned.useDpi || !mRatio.isEmpty())
        return reshape(turned, surface);
    // The user's own shape: width and height swap.
    return lay(placement(surface.canvas), frameHeight, frameWidth, turned, surface);
}

bool CutFrame::nudge(int dx, int dy, const Settings &settings, const Surface &surface)
{
    if (!shown || moving || resizing)
        return false;
    pressX = 0;
    pressY = 0;
    pressFrameX = static_cast<int>(frameX);
    pressFrameY = static_cast<int>(frameY);
    moving = true;
    const bool moved = move(dx, dy, settings, surface);
    moving = false;
    return moved;
}

bool CutFrame::step(int steps, const Settings &settings, const Surface &surface)
{
    if (!shown || moving || resizing || settings.useDpi || steps == 0)
        return false;
    if (frameWidth <= 0 || frameHeight <= 0)
        return nudge(0, 0, settings, surface); // the first size, as a first drag gives it
    const int CW = surface.canvas.width();
    const int CH = surface.canvas.height();
    int w = frameWidth;
    int h = frameHeight;
    if (!mRatio.isEmpty()) {
        const int most = qMin(CW / mRatio.width(), CH / mRatio.height());
        if (most < 1)
            return false;
        const int k = qBound(1, frameWidth / mRatio.width() + steps, most);
        w = k * mRatio.width();
        h = k * mRatio.height();
    } else {
        int rw = 0;
        int rh = 0;
        if (!parseRatio(settings.widthText, &rw) || !parseRatio(settings.heightText, &rh))
            return false;
        // One step of the ratio on each axis, not below one step nor past
        // the canvas; an axis with no room for that stays as it is.
        auto grow = [steps](int size, int unit, int room) {
            const qint64 wanted = qMax<qint64>(unit, size + qint64(steps) * unit);
            return wanted <= room ? int(wanted) : qMax(size, room);
        };
        w = grow(frameWidth, rw, CW);
        h = grow(frameHeight, rh, CH);
    }
    if (w == frameWidth && h == frameHeight)
        return false;
    // About the centre; apply() keeps it on the canvas.
    apply(static_cast<int>(frameX) + (frameWidth - w) / 2, static_cast<int>(frameY) + (frameHeight - h) / 2, w, h,
          surface.canvas);
    return true;
}

framegeometry::Orientation CutFrame::orientation() const
{
    using framegeometry::orientationOf;
    if (!mRatio.isEmpty())
        return orientationOf(mRatio.width(), mRatio.height());
    if (mPixelSize.isValid())
        return orientationOf(mPixelSize.width(), mPixelSize.height());
    if (mTooSmallFor.isValid())
        return orientationOf(mTooSmallFor.width(), mTooSmallFor.height());
    if (!mLaid)
        return framegeometry::Orientation::None;
    return orientationOf(frameWidth, frameHeight);
}

QRect CutFrame::imageRect(const Surface &surface) const
{
    if (frameWidth <= 0 || frameHeight <= 0)
        return {};
    const QRect mapped = capture::imageRect(surface.image, surface.canvas, frameX, frameY, frameWidth, frameHeight);
    if (mapped.isEmpty())
        return {};
    if (mPixelSize.isValid()) {
        // At the frame's place in the room the cut leaves on the photo, to
        // the image pixel: a canvas unit may stand for several of them.
        const QPoint at(qRound(mRoomX * (surface.image.width() - mPixelSize.width())),
                        qRound(mRoomY * (surface.image.height() - mPixelSize.height())));
        return framegeometry::placeInside(at, mPixelSize, surface.image);
    }
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
