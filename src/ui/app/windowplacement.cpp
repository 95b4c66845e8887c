#include "ui/app/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace windowplacement {
namespace {

qint64 clampTo(qint64 v, qint64 lo, qint64 hi)
{
    return hi < lo ? lo : std::clamp(v, lo, hi);
}

// The area the rectangle (x, y, w, h) shares with screen, in 64 bits.
qint64 overlap(qint64 x, qint64 y, qint64 w, qint64 h, const QRect &screen)
{
    const qint64 left = std::max<qint64>(x, screen.x());
    const qint64 top = std::max<qint64>(y, screen.y());
    const qint64 right = std::min<qint64>(x + w, qint64(screen.x()) + screen.width());
    const qint64 bottom = std::min<qint64>(y + h, qint64(screen.y()) + screen.height());
    return right > left && bottom > top ? (right - left) * (bottom - top) : 0;
}

} // namespace

QRect placed(qint64 x, qint64 y, qint64 w, qint64 h, const QList<QRect> &screens, const QSize &fallbackSize)
{
    if (w <= 0)
        w = std::max(1, fallbackSize.width());
    if (h <= 0)
        h = std::max(1, fallbackSize.height());
    // Kept to a range where no sum of two values overflows an int.
    constexpr qint64 kRange = 1 << 24;
    w = std::min(w, kRange);
    h = std::min(h, kRange);
    x = clampTo(x, -kRange, kRange);
    y = clampTo(y, -kRange, kRange);
    if (screens.isEmpty())
        return QRect(int(x), int(y), int(w), int(h));

    int best = -1;
    qint64 bestArea = 0;
    for (int i = 0; i < screens.size(); ++i) {
        const qint64 area = overlap(x, y, w, h, screens.at(i));
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    const QRect screen = screens.at(best < 0 ? 0 : best);
    w = std::min<qint64>(w, screen.width());
    h = std::min<qint64>(h, screen.height());
    const qint64 left = screen.x();
    const qint64 top = screen.y();
    const qint64 right = left + screen.width();
    const qint64 bottom = top + screen.height();
    if (best < 0) {
        // On no screen at all: wholly onto the primary one.
        x = clampTo(x, left, right - w);
        y = clampTo(y, top, bottom - h);
    } else {
        const qint64 cornerW = std::min<qint64>(kVisibleCorner, w);
        const qint64 cornerH = std::min<qint64>(kVisibleCorner, h);
        x = clampTo(x, left - (w - cornerW), right - cornerW);
        y = clampTo(y, top, bottom - cornerH);
    }
    return QRect(int(x), int(y), int(w), int(h));
}

QList<QRect> screens()
{
    QList<QRect> areas;
    QScreen *primary = QGuiApplication::primaryScreen();
    if (primary)
        areas << primary->availableGeometry();
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen != primary)
            areas << screen->availableGeometry();
    }
    return areas;
}

} // namespace windowplacement
