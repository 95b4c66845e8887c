#include "imageio/resolution.h"

#include <QFile>
#include <QtMath>

#include <cstring>
#include <exception>
#include <string>

#include <exiv2/exiv2.hpp>

namespace resolution {
namespace {

constexpr double kMetresPerInch = 0.0254;
// Past these a stated resolution is nonsense (or a damaged file), and would
// give frames of absurd sizes: 1 dot per metre to 100,000 dots per inch.
constexpr double kMinDotsPerMeter = 1;
constexpr double kMaxDotsPerMeter = 100000 / kMetresPerInch;

enum class Unit { None, Inch, Centimetre };

QSize toDotsPerMeter(double x, double y, Unit unit)
{
    double scale = 0;
    if (unit == Unit::Inch)
        scale = 1 / kMetresPerInch;
    else if (unit == Unit::Centimetre)
        scale = 100;
    const double dx = x * scale;
    const double dy = y * scale;
    if (!(dx >= kMinDotsPerMeter && dx <= kMaxDotsPerMeter && dy >= kMinDotsPerMeter && dy <= kMaxDotsPerMeter))
        return {};
    return {qRound(dx), qRound(dy)};
}

int bigEndian16(const uchar *p)
{
    return (p[0] << 8) | p[1];
}

// The density of a JPEG's JFIF header (APP0 "JFIF\0": version, unit,
// x density, y density), found by stepping over the segments before the
// first scan. A unit of 0 gives only the pixels' aspect ratio: no density.
QSize jfifDensity(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    uchar soi[2];
    if (file.read(reinterpret_cast<char *>(soi), 2) != 2 || soi[0] != 0xFF || soi[1] != 0xD8)
        return {};
    // APP0 comes first or right after the EXIF segment; a file that has
    // not shown it within a few dozen segments has none.
    for (int segment = 0; segment < 64; ++segment) {
        uchar head[4];
        if (file.read(reinterpret_cast<char *>(head), 4) != 4 || head[0] != 0xFF)
            return {};
        const uchar marker = head[1];
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image
            return {};
        const int length = bigEndian16(head + 2);
        if (length < 2)
            return {};
        const qint64 next = file.pos() + length - 2;
        if (marker == 0xE0 && length >= 16) {
            uchar app[14];
            if (file.read(reinterpret_cast<char *>(app), 14) != 14)
                return {};
            if (std::memcmp(app, "JFIF\0", 5) == 0) {
                const int unit = app[7];
                const int x = bigEndian16(app + 8);
                const int y = bigEndian16(app + 10);
                return toDotsPerMeter(x, y, unit == 1 ? Unit::Inch : unit == 2 ? Unit::Centimetre : Unit::None);
            }
        }
        if (!file.seek(next))
            return {};
    }
    return {};
}

bool positiveRational(const Exiv2::Exifdatum &datum, double *value)
{
    if (datum.count() < 1)
        return false;
    const Exiv2::Rational r = datum.toRational(0);
    if (r.first <= 0 || r.second <= 0)
        return false;
    *value = double(r.first) / r.second;
    return true;
}

// XResolution / YResolution of the main image (IFD0, not the thumbnail's),
// in the unit of ResolutionUnit: 2 inch (also when it is missing), 3
// centimetre, 1 none.
QSize exifDensity(const QString &path)
{
    // Once for the process, before any thread reads: exiv2 prints its
    // warnings about odd files to stderr otherwise, and its XMP parser must
    // be set up before two threads can meet in it.
    static const bool ready = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
        return true;
    }();
    Q_UNUSED(ready);
    try {
        auto image = Exiv2::ImageFactory::open(std::string(QFile::encodeName(path).constData()));
        if (!image.get())
            return {};
        image->readMetadata();
        const Exiv2::ExifData &exif = image->exifData();
        const auto xs = exif.findKey(Exiv2::ExifKey("Exif.Image.XResolution"));
        const auto ys = exif.findKey(Exiv2::ExifKey("Exif.Image.YResolution"));
        double x = 0;
        double y = 0;
        const bool hasX = xs != exif.end() && positiveRational(*xs, &x);
        const bool hasY = ys != exif.end() && positiveRational(*ys, &y);
        if (!hasX && !hasY)
            return {};
        if (!hasX)
            x = y;
        if (!hasY)
            y = x;
        Unit unit = Unit::Inch;
        const auto units = exif.findKey(Exiv2::ExifKey("Exif.Image.ResolutionUnit"));
        if (units != exif.end() && units->count() > 0) {
            const long u = units->toLong(0);
            unit = u == 2 ? Unit::Inch : u == 3 ? Unit::Centimetre : Unit::None;
        }
        return toDotsPerMeter(x, y, unit);
    } catch (const Exiv2::AnyError &) {
        return {};
    } catch (const std::exception &) {
        return {};
    }
}

} // namespace

QSize stated(const QString &path)
{
    const QSize jfif = jfifDensity(path);
    if (jfif.isValid())
        return jfif;
    return exifDensity(path);
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
