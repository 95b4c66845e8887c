#include "core/cut/framegeometry.h"

#include "core/imageio/resolution.h"

#include <QObject>
#include <cmath>

namespace framegeometry {
namespace {

// Larger than any image; keeps every sum of a coordinate and a size far
// from int overflow.
constexpr double kMaxPixels = 1 << 24;

int toUnits(int pixels, int canvas, int image)
{
    if (pixels <= 0 || canvas <= 0 || image <= 0)
        return 0;
    return qMax(1, qRound(double(pixels) * canvas / image));
}

} // namespace

bool centimetrePixels(const QString &text, int dotsPerMeter, int *pixels)
{
    bool ok = false;
    const double cm = text.toDouble(&ok);
    if (!ok || !std::isfinite(cm) || cm < 0)
        return false;
    // A resolution stated in dots per inch (JPEG, EXIF) comes as dots per
    // metre rounded to a whole number: 72 dpi is 2835, not 2834.6. Worked
    // out from the 72, 10 cm is 283 pixels (283.46), as the photo's
    // resolution says, not 284 (283.5); each axis is rounded on its own.
    const int dpi = resolution::dotsPerInch(dotsPerMeter);
    const bool wholeDpi = dpi > 0 && std::abs(dpi / 0.0254 - dotsPerMeter) < 1.0;
    const double p = wholeDpi ? cm * dpi / 2.54 : cm * dotsPerMeter / 100.0;
    if (!(p >= 0) || p >= kMaxPixels)
        return false;
    *pixels = qRound(p);
    return true;
}

QSize toCanvas(QSize pixels, const Surface &surface)
{
    return {toUnits(pixels.width(), surface.canvas.width(), surface.image.width()),
            toUnits(pixels.height(), surface.canvas.height(), surface.image.height())};
}

QRect placeInside(QPoint topLeft, QSize size, QSize imageSize)
{
    if (size.isEmpty() || size.width() > imageSize.width() || size.height() > imageSize.height())
        return {};
    const int x = qBound(0, topLeft.x(), imageSize.width() - size.width());
    const int y = qBound(0, topLeft.y(), imageSize.height() - size.height());
    return {QPoint(x, y), size};
}

QSize keepRatio(int width, QSize ratio, int maxHeight)
{
    if (width <= 0 || ratio.isEmpty() || maxHeight <= 0)
        return {0, 0};
    auto heightFor = [&](qint64 w) { return int((w * ratio.height() * 2 + ratio.width()) / (2 * ratio.width())); };
    qint64 w = width;
    if (heightFor(w) > maxHeight) // the largest width whose rounded height still fits
        w = (qint64(maxHeight) * 2 + 1) * ratio.width() / (2 * ratio.height());
    while (w > 0 && heightFor(w) > maxHeight)
        --w;
    if (w <= 0 || heightFor(w) <= 0)
        return {0, 0};
    return {int(w), heightFor(w)};
}

Orientation orientationOf(double width, double height)
{
    if (!(width > 0) || !(height > 0) || width == height)
        return Orientation::None;
    return width > height ? Orientation::Landscape : Orientation::Portrait;
}

Orientation orientationOf(const QString &widthText, const QString &heightText)
{
    bool okW = false;
    bool okH = false;
    const double w = widthText.toDouble(&okW);
    const double h = heightText.toDouble(&okH);
    return okW && okH ? orientationOf(w, h) : Orientation::None;
}

Orientation opposite(Orientation o)
{
    switch (o) {
    case Orientation::Landscape:
        return Orientation::Portrait;
    case Orientation::Portrait:
        return Orientation::Landscape;
    case Orientation::None:
        break;
    }
    return Orientation::None;
}

QString readout(QSize pixels, int dotsPerMeterX, int dotsPerMeterY)
{
    // Height first, as the Cut bar's fields and its list of print sizes
    // name them ("9 x 13 cm").
    if (dotsPerMeterX <= 0 || dotsPerMeterY <= 0)
        return QObject::tr("Cut: %1 x %2 pixels").arg(pixels.height()).arg(pixels.width());
    return QObject::tr("Cut: %1 x %2 pixels = %3 x %4 cm at %5 dpi")
        .arg(pixels.height())
        .arg(pixels.width())
        .arg(pixels.height() * 100.0 / dotsPerMeterY, 0, 'f', 1)
        .arg(pixels.width() * 100.0 / dotsPerMeterX, 0, 'f', 1)
        .arg(resolution::dpiText(dotsPerMeterX, dotsPerMeterY));
}

QString tooSmall(const QString &widthText, const QString &heightText, QSize needed, int dotsPerMeterX,
                 int dotsPerMeterY, QSize photo)
{
    return QObject::tr("%1 x %2 cm needs %3 x %4 pixels at %5 dpi; this photo has %6 x %7")
        .arg(widthText.trimmed(), heightText.trimmed())
        .arg(needed.width())
        .arg(needed.height())
        .arg(resolution::dpiText(dotsPerMeterX, dotsPerMeterY))
        .arg(photo.width())
        .arg(photo.height());
}

QString skipped(const QString &fileName, QSize photo, const QString &widthText, const QString &heightText,
                QSize needed, int dotsPerMeterX, int dotsPerMeterY)
{
    return QObject::tr("%1: %2 x %3 is smaller than %4 x %5 cm at %6 dpi (%7 x %8); skipped")
        .arg(fileName)
        .arg(photo.width())
        .arg(photo.height())
        .arg(widthText.trimmed(), heightText.trimmed())
        .arg(resolution::dpiText(dotsPerMeterX, dotsPerMeterY))
        .arg(needed.width())
        .arg(needed.height());
}

} // namespace framegeometry
