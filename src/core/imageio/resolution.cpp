#include "core/imageio/resolution.h"

#include "core/imageio/jpegheader.h"
#include "core/imageio/metadata.h"

#include <QtMath>

namespace resolution {
namespace {

constexpr double kMetresPerInch = 0.0254;
// Past these a stated resolution is nonsense (or a damaged file), and would
// give frames of absurd sizes: 1 dot per metre to 100,000 dots per inch.
constexpr double kMinDotsPerMeter = 1;
constexpr double kMaxDotsPerMeter = 100000 / kMetresPerInch;

// Dots per unit as JFIF and EXIF count units: JFIF 1 and EXIF 2 are inches,
// JFIF 2 and EXIF 3 centimetres; scale is dots per metre in one dot per unit.
QSize toDotsPerMeter(double x, double y, double scale)
{
    const double dx = x * scale;
    const double dy = y * scale;
    if (!(dx >= kMinDotsPerMeter && dx <= kMaxDotsPerMeter && dy >= kMinDotsPerMeter && dy <= kMaxDotsPerMeter))
        return {};
    return {qRound(dx), qRound(dy)};
}

constexpr double kPerInch = 1 / kMetresPerInch;
constexpr double kPerCentimetre = 100;

} // namespace

QSize stated(const QString &path)
{
    return stated(jpegheader::read(path), Metadata::read(path));
}

QSize stated(const jpegheader::Info &header, const Metadata &meta)
{
    // A JFIF header with a unit speaks for the JPEG; one with the pixels'
    // aspect only (unit 0, as many writers leave it) says nothing.
    const QSize jfif = header.jfifDensity;
    if (header.jfifUnit == 1 || header.jfifUnit == 2) {
        const QSize dpm = toDotsPerMeter(jfif.width(), jfif.height(), header.jfifUnit == 1 ? kPerInch : kPerCentimetre);
        if (dpm.isValid())
            return dpm;
    }
    double x = 0;
    double y = 0;
    int unit = 0;
    if (!meta.exifResolution(&x, &y, &unit) || (unit != 2 && unit != 3))
        return {};
    return toDotsPerMeter(x, y, unit == 2 ? kPerInch : kPerCentimetre);
}

int dotsPerInch(int dotsPerMeter)
{
    return qRound(dotsPerMeter / 39.37);
}

QString dpiText(int dotsPerMeterX, int dotsPerMeterY)
{
    const int x = dotsPerInch(dotsPerMeterX);
    const int y = dotsPerInch(dotsPerMeterY);
    if (x == y)
        return QString::number(x);
    return QStringLiteral("%1 x %2").arg(x).arg(y);
}

} // namespace resolution
