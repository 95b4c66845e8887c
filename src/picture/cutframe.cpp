#include "picture/cutframe.h"

#include <QSize>
#include <cmath>

namespace {

// Larger than any canvas; keeps every sum of a coordinate and a size far
// from int overflow.
constexpr double kMaxUnits = 1 << 24;

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

bool CutFrame::parseCentimetres(const QString &text, int dotsPerMeter, int *units)
{
    bool ok = false;
    const double cm = text.toDouble(&ok);
    if (!ok || !std::isfinite(cm) || cm < 0)
        return false;
    const double u = cm * (dotsPerMeter * 0.01);
    if (!(u >= 0) || u >= kMaxUnits)
        return false;
    *units = static_cast<int>(u);
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

bool CutFrame::move(int px, int py, const Settings &settings, int canvasWidth, int canvasHeight,
                    int dotsPerMeterX, int dotsPerMeterY)
{
    if (!shown || (!moving && !resizing))
        return false;

    const int CW = canvasWidth;
    const int CH = canvasHeight;
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
        if (!parseCentimetres(settings.widthText, dotsPerMeterX, &w))
            return false;
        if (!parseCentimetres(settings.heightText, dotsPerMeterY, &h))
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
        }
        w = frameWidth;
        h = frameHeight;
        if (resizing) {
            if (!parseRatio(settings.widthText, &rw) || !parseRatio(settings.heightText, &rh))
                return false;
            w = static_cast<int>(px - frameX);
            if (w < rw)
                w = rw;
            if (CW < w + frameX)
                w = frameWidth;
            if (settings.free)
                h = static_cast<int>(py - frameY);
            else
                h = rh * (w / rw);
            if (h < rh)
                h = rh;
            if (CH < h + frameY) {
                // Past the lower edge: the whole previous size stays, not
                // only the height.
                w = frameWidth;
                h = frameHeight;
            }
        }
    }

    // Keep the frame on the canvas; a frame larger than the canvas sits at 0
    // and sticks out to the right or bottom.
    if (CW < w + x)
        x = CW - w;
    if (CH < h + y)
        y = CH - h;
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;

    frameX = x;
    frameY = y;
    frameWidth = w;
    frameHeight = h;
    itemRect = QRectF(x, y, w, h);
    return true;
}
