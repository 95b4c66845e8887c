#include "core/photo/zoomstate.h"

#include <QtGlobal>

#include <cmath>
#include <iterator>

namespace {

// The scales a step lands on: the common fractions and multiples, so that
// 100 % is always one of them.
constexpr double kSteps[] = {1.0 / 8, 1.0 / 6, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 1, 1.5, 2, 3, 4, 6, 8};
// Scales closer than this count as the same step (a fitted scale of
// 0.49999 is not "below 1/2").
constexpr double kSame = 1.001;

} // namespace

void ZoomState::setFitScale(double scale)
{
    if (scale > 0 && std::isfinite(scale))
        mFitScale = scale;
}

void ZoomState::setScale(double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        return;
    mScale = qBound(kMin, scale, kMax);
    mFit = false;
}

bool ZoomState::zoomIn()
{
    const double now = scale();
    for (double step : kSteps) {
        if (step > now * kSame) {
            setScale(step);
            return true;
        }
    }
    return false;
}

bool ZoomState::zoomOut()
{
    if (mFit)
        return false;
    const double now = mScale;
    for (auto it = std::rbegin(kSteps); it != std::rend(kSteps); ++it) {
        if (*it * kSame < now) {
            // Smaller than fitting shows nothing more: fit instead (a
            // small photo zoomed below its fitted size steps on down).
            if (*it * kSame < mFitScale && mFitScale < now)
                mFit = true;
            else
                setScale(*it);
            return true;
        }
    }
    mFit = true;
    return true;
}

QString ZoomState::text() const
{
    const int percent = qRound(scale() * 100);
    return mFit ? QStringLiteral("Zoom fit (%1 %)").arg(percent) : QStringLiteral("Zoom %1 %").arg(percent);
}
