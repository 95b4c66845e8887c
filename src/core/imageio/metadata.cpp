#include "core/imageio/metadata.h"

#include "core/imageio/colourmanage.h"
#include "core/imageio/heifreader.h"
#include "core/imageio/jxlreader.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QtEndian>

#include <set>
#include <string>

// exiv2 0.27 hands its images out in std::auto_ptr, which C++17 marks
// deprecated; the warning is about the library's interface, not this file.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

#include <exception>

struct Metadata::Data
{
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
    QByteArray icc;
};

namespace {

// Once per process, before any thread reads metadata: the XMP toolkit must be
// set up before it is used from two threads, and exiv2's warnings about
// unusual files would only clutter the terminal.
void setUp()
{
    static const bool done = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
        // Canon's CR3 is an ISO box file, read only when asked for.
        Exiv2::enableBMFF(true);
        return true;
    }();
    Q_UNUSED(done);
}

// The tags of a TIFF's first directory that describe how that file stores
// its pixels (strips, tiles, samples, compression). They belong to the file
// they came from and are made anew by the writer of the new one. The colour
// profile among them is carried on its own.
bool storageTag(const Exiv2::Exifdatum &datum)
{
    if (datum.groupName() != "Image")
        return false;
    switch (datum.tag()) {
    case 0x00fe: // NewSubfileType
    case 0x00ff: // SubfileType
    case 0x0102: // BitsPerSample
    case 0x0103: // Compression
    case 0x0106: // PhotometricInterpretation
    case 0x010a: // FillOrder
    case 0x0111: // StripOffsets
    case 0x0115: // SamplesPerPixel
    case 0x0116: // RowsPerStrip
    case 0x0117: // StripByteCounts
    case 0x011c: // PlanarConfiguration
    case 0x013d: // Predictor
    case 0x0140: // ColorMap
    case 0x0142: // TileWidth
    case 0x0143: // TileLength
    case 0x0144: // TileOffsets
    case 0x0145: // TileByteCounts
    case 0x014a: // SubIFDs
    case 0x0152: // ExtraSamples
    case 0x0153: // SampleFormat
    case 0x015b: // JPEGTables
    case 0x0201: // JPEGInterchangeFormat
    case 0x0202: // JPEGInterchangeFormatLength
    case 0x0212: // YCbCrSubSampling
    case 0x8773: // InterColorProfile
        return true;
    default:
        return false;
    }
}

void setIfPresent(Exiv2::ExifData &exif, const char *key, uint32_t value)
{
    if (exif.findKey(Exiv2::ExifKey(key)) != exif.end())
        exif[key] = value;
}

void setIfPresent(Exiv2::XmpData &xmp, const char *key, const std::string &value)
{
    if (xmp.findKey(Exiv2::XmpKey(key)) != xmp.end())
        xmp[key] = value;
}

// The EXIF as it is true of the new file: upright, no thumbnail of the old
// picture, the new size.
// The entries that point at other directories. The writer lays the
// directories out anew and points at them itself; carried as values, a
// pointer can lead back to where it stands (a hostile file's loop, which
// sends other readers round for ever).
bool pointerTag(const Exiv2::Exifdatum &datum)
{
    switch (datum.tag()) {
    case 0x8769: // ExifTag
    case 0x8825: // GPSTag
    case 0xa005: // InteroperabilityTag
    case 0x014a: // SubIFDs
        return datum.groupName() == "Image" || datum.groupName() == "Photo";
    default:
        return false;
    }
}

// The directories of a TIFF-like source that describe its other pictures
// (a raw file's full image and previews: SubImage1, SubThumb1, Image2...).
// Their strips point into that file; carried into a cut they point at
// nothing, and readers refuse the file.
bool otherPicture(const Exiv2::Exifdatum &datum)
{
    const std::string group = datum.groupName();
    return group.rfind("SubImage", 0) == 0 || group.rfind("SubThumb", 0) == 0
        || (group.rfind("Image", 0) == 0 && group.size() > 5 && group[5] >= '0' && group[5] <= '9');
}

// What is written is made from the parsed values, never copied over blindly:
// no storage tags of the old file, no pointers, the first entry of a tag
// only (a PNG may hold two EXIF blocks, each with its orientation), no
// other picture's directory, and no entry of a type the format does not have.
Exiv2::ExifData adjusted(Exiv2::ExifData exif, const QSize &size)
{
    if (exif.empty())
        return exif;
    Exiv2::ExifThumb(exif).erase();
    std::set<std::string> seen;
    for (auto it = exif.begin(); it != exif.end();) {
        const bool badType = Exiv2::TypeInfo::typeSize(it->typeId()) == 0;
        if (storageTag(*it) || pointerTag(*it) || otherPicture(*it) || badType || !seen.insert(it->key()).second)
            it = exif.erase(it);
        else
            ++it;
    }
    if (exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation")) != exif.end())
        exif["Exif.Image.Orientation"] = uint16_t(1);
    exif["Exif.Photo.PixelXDimension"] = uint32_t(size.width());
    exif["Exif.Photo.PixelYDimension"] = uint32_t(size.height());
    setIfPresent(exif, "Exif.Image.ImageWidth", uint32_t(size.width()));
    setIfPresent(exif, "Exif.Image.ImageLength", uint32_t(size.height()));
    return exif;
}

Exiv2::XmpData adjusted(Exiv2::XmpData xmp, const QSize &size)
{
    if (xmp.empty())
        return xmp;
    for (auto it = xmp.begin(); it != xmp.end();) {
        if (it->key().rfind("Xmp.xmp.Thumbnails", 0) == 0)
            it = xmp.erase(it);
        else
            ++it;
    }
    setIfPresent(xmp, "Xmp.tiff.Orientation", "1");
    setIfPresent(xmp, "Xmp.exif.PixelXDimension", std::to_string(size.width()));
    setIfPresent(xmp, "Xmp.exif.PixelYDimension", std::to_string(size.height()));
    setIfPresent(xmp, "Xmp.tiff.ImageWidth", std::to_string(size.width()));
    setIfPresent(xmp, "Xmp.tiff.ImageLength", std::to_string(size.height()));
    return xmp;
}

// What cameras record about where a photo was taken and which camera (and
// whose) took it.
bool privateExif(const Exiv2::Exifdatum &datum)
{
    const std::string group = datum.groupName();
    if (group == "GPSInfo" || group == "MakerNote" || Exiv2::ExifTags::isMakerGroup(group))
        return true;
    const std::string name = datum.tagName();
    const auto endsWith = [&name](const std::string &end) {
        return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
    };
    return name == "GPSTag" || name == "MakerNote" || endsWith("SerialNumber") || endsWith("OwnerName");
}

bool privateXmp(const Exiv2::Xmpdatum &datum)
{
    // Positions are GPS properties in the EXIF schema and in the IPTC
    // extension's locations (nested, so the key holds them further in).
    const std::string key = datum.key();
    const auto ends = [&key](const std::string &end) {
        return key.size() >= end.size() && key.compare(key.size() - end.size(), end.size(), end) == 0;
    };
    return key.find("GPS") != std::string::npos || ends("SerialNumber") || ends("OwnerName");
}

// Removes the private entries; whether there were any.
bool removePrivateFrom(Exiv2::ExifData &exif, Exiv2::XmpData &xmp)
{
    bool found = false;
    for (auto it = exif.begin(); it != exif.end();) {
        if (privateExif(*it)) {
            it = exif.erase(it);
            found = true;
        } else {
            ++it;
        }
    }
    for (auto it = xmp.begin(); it != xmp.end();) {
        if (privateXmp(*it)) {
            it = xmp.erase(it);
            found = true;
        } else {
            ++it;
        }
    }
    return found;
}

// The largest colour profile carried. Ordinary ones take a few kilobytes,
// printers' tables some hundreds.
constexpr int kMaxIccBytes = 1 << 20;

// An ICC profile that Little CMS opens; junk (a broken block, a profile
// field filled with something else) is not carried into what we write.
bool realProfile(const QByteArray &icc)
{
    // The size the profile's header gives must be its size: Little CMS
    // reads a longer block as far as the header says, other readers refuse it.
    return icc.size() >= 128 && icc.size() <= kMaxIccBytes
        && qFromBigEndian<quint32>(icc.constData()) == quint32(icc.size()) && colourmanage::opens(icc);
}

QByteArray checkedProfile(const QByteArray &icc)
{
    if (icc.isEmpty() || realProfile(icc))
        return icc;
    qInfo("Colour profile of %lld bytes left out: it is not one that can be used", qint64(icc.size()));
    return {};
}

} // namespace

Metadata::Metadata() = default;
Metadata::~Metadata() = default;
Metadata::Metadata(Metadata &&other) noexcept = default;
Metadata &Metadata::operator=(Metadata &&other) noexcept = default;

Metadata Metadata::read(const QString &path)
{
    Metadata result;
    // Regular files only: a FIFO named like a photo would block the read.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return result;
    setUp();
    // HEIF, AVIF and JPEG XL keep their blocks where their own libraries
    // find them (JPEG XL's EXIF may be compressed, which exiv2 0.27 cannot
    // read).
    QByteArray head(64, '\0');
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return result;
        head.resize(qMax<qint64>(0, file.read(head.data(), head.size())));
    }
    if (!heifreader::sniff(head).isEmpty())
        return heifreader::metadata(path);
    if (jxlreader::sniff(head))
        return jxlreader::metadata(path);
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString(), false);
        if (!image.get())
            return result;
        image->readMetadata();
        auto data = std::make_unique<Data>();
        data->exif = image->exifData();
        data->iptc = image->iptcData();
        data->xmp = image->xmpData();
        if (image->iccProfileDefined()) {
            const Exiv2::DataBuf *icc = image->iccProfile();
            data->icc = checkedProfile(QByteArray(reinterpret_cast<const char *>(icc->pData_), icc->size_));
        }
        if (!data->exif.empty() || !data->iptc.empty() || !data->xmp.empty() || !data->icc.isEmpty())
            result.d = std::move(data);
    } catch (const std::exception &) {
        // exiv2 gives up on the whole file for one broken block (an ICC
        // segment a byte too long loses the orientation with it): a JPEG's
        // blocks are read again one by one, and only the broken one is lost.
        return fromJpegBlocks(path);
    }
    return result;
}

namespace {

struct JpegBlocks
{
    QByteArray exif;
    QByteArray xmp;
    QByteArray icc;
};

// The EXIF, XMP and ICC blocks of a JPEG's APP1 and APP2 segments, up to
// the first scan. ICC chunks are joined in their numbered order; a set that
// is incomplete or out of order is left out.
JpegBlocks jpegBlocks(const QString &path)
{
    JpegBlocks blocks;
    QFile file(path);
    uchar head[4];
    if (!file.open(QIODevice::ReadOnly) || file.read(reinterpret_cast<char *>(head), 2) != 2 || head[0] != 0xFF
        || head[1] != 0xD8)
        return blocks;
    static const QByteArray kExif("Exif\0\0", 6);
    static const QByteArray kXmp("http://ns.adobe.com/xap/1.0/\0", 29);
    static const QByteArray kIcc("ICC_PROFILE\0", 12);
    int iccNext = 1;
    bool iccBroken = false;
    while (file.read(reinterpret_cast<char *>(head), 4) == 4 && head[0] == 0xFF) {
        const int marker = head[1];
        if (marker == 0xDA || marker == 0xD9)
            break;
        const int length = (head[2] << 8 | head[3]) - 2;
        if (length < 0)
            break;
        const QByteArray data = file.read(length);
        if (data.size() != length)
            break; // a segment past the end: what came before is kept
        if (marker == 0xE1 && data.startsWith(kExif) && blocks.exif.isEmpty())
            blocks.exif = data.mid(kExif.size());
        else if (marker == 0xE1 && data.startsWith(kXmp) && blocks.xmp.isEmpty())
            blocks.xmp = data.mid(kXmp.size());
        else if (marker == 0xE2 && data.startsWith(kIcc) && data.size() > kIcc.size() + 2) {
            iccBroken = iccBroken || uchar(data[kIcc.size()]) != iccNext;
            blocks.icc += data.mid(kIcc.size() + 2);
            ++iccNext;
        }
    }
    if (iccBroken)
        blocks.icc.clear();
    return blocks;
}

} // namespace

Metadata Metadata::fromJpegBlocks(const QString &path)
{
    const JpegBlocks blocks = jpegBlocks(path);
    return fromBlocks(blocks.exif, blocks.xmp, blocks.icc);
}

Metadata Metadata::fromBlocks(const QByteArray &exif, const QByteArray &xmp, const QByteArray &icc)
{
    Metadata result;
    setUp();
    auto data = std::make_unique<Data>();
    try {
        if (exif.size() >= 8)
            Exiv2::ExifParser::decode(data->exif, reinterpret_cast<const Exiv2::byte *>(exif.constData()),
                                      uint32_t(exif.size()));
    } catch (const std::exception &) {
        data->exif.clear(); // unreadable EXIF is left out, the rest stays
    }
    try {
        if (!xmp.isEmpty())
            Exiv2::XmpParser::decode(data->xmp, xmp.toStdString());
    } catch (const std::exception &) {
        data->xmp.clear();
    }
    data->icc = checkedProfile(icc);
    if (!data->exif.empty() || !data->xmp.empty() || !data->icc.isEmpty())
        result.d = std::move(data);
    return result;
}

bool Metadata::heldBy(const QByteArray &qtFormat)
{
    const QByteArray f = qtFormat.toLower();
    return f == "jpeg" || f == "jpg" || f == "png" || f == "tiff" || f == "tif" || f == "webp";
}

bool Metadata::isEmpty() const
{
    return !d;
}

int Metadata::orientation() const
{
    if (!d)
        return 1;
    const auto it = d->exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (it == d->exif.end() || it->count() < 1)
        return 1;
    const long value = it->toLong();
    return value >= 1 && value <= 8 ? int(value) : 1;
}

QByteArray Metadata::iccProfile() const
{
    return d ? d->icc : QByteArray();
}

QByteArray Metadata::iccProfileFor(const QSize &pixelSize) const
{
    if (!d || d->icc.isEmpty())
        return {};
    // A profile many times the size of the picture it describes is junk
    // riding along (a 2.4 MB one on a 32 x 24 cut).
    const qint64 pixelBytes = qint64(pixelSize.width()) * pixelSize.height() * 3;
    if (d->icc.size() > qMax<qint64>(pixelBytes, 64 << 10)) {
        qInfo("Colour profile of %lld bytes left out of a %d x %d picture", qint64(d->icc.size()),
              pixelSize.width(), pixelSize.height());
        return {};
    }
    return d->icc;
}

namespace {

// The value of key when it is recorded as a number above 0.
bool positive(const Exiv2::ExifData &exif, const char *key, double *value)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() < 1)
        return false;
    const Exiv2::Rational r = it->toRational(0);
    if (r.first <= 0 || r.second <= 0)
        return false;
    *value = double(r.first) / r.second;
    return true;
}

} // namespace

bool Metadata::exifResolution(double *x, double *y, int *unit) const
{
    if (!d)
        return false;
    try {
        // Exif.Image is the main image's directory; the thumbnail's has its own.
        const bool hasX = positive(d->exif, "Exif.Image.XResolution", x);
        const bool hasY = positive(d->exif, "Exif.Image.YResolution", y);
        if (!hasX && !hasY)
            return false;
        if (!hasX)
            *x = *y;
        if (!hasY)
            *y = *x;
        *unit = 2;
        const auto it = d->exif.findKey(Exiv2::ExifKey("Exif.Image.ResolutionUnit"));
        if (it != d->exif.end() && it->count() > 0)
            *unit = int(it->toLong(0));
        return true;
    } catch (const std::exception &) {
        return false; // a value of the wrong kind records nothing usable
    }
}

QByteArray Metadata::exifThumbnail() const
{
    if (!d || d->exif.empty())
        return {};
    try {
        const Exiv2::ExifThumbC thumb(d->exif);
        if (std::string(thumb.mimeType()) != "image/jpeg")
            return {};
        const Exiv2::DataBuf data = thumb.copy();
        if (!data.pData_ || data.size_ <= 0)
            return {};
        return QByteArray(reinterpret_cast<const char *>(data.pData_), data.size_);
    } catch (const std::exception &) {
        return {};
    }
}

QDateTime Metadata::dateTaken() const
{
    if (!d)
        return {};
    for (const char *key : {"Exif.Photo.DateTimeOriginal", "Exif.Image.DateTimeOriginal"}) {
        const auto it = d->exif.findKey(Exiv2::ExifKey(key));
        if (it == d->exif.end())
            continue;
        // "2024:05:01 14:03:22"; some cameras leave the seconds out.
        const QString text = QString::fromStdString(it->toString()).trimmed();
        for (const char *format : {"yyyy:MM:dd HH:mm:ss", "yyyy:MM:dd HH:mm"}) {
            const QDateTime taken = QDateTime::fromString(text.left(int(qstrlen(format))), QLatin1String(format));
            if (taken.isValid())
                return QDateTime(taken.date(), taken.time(), Qt::UTC);
        }
    }
    return {};
}

void Metadata::removePrivate()
{
    if (d)
        ::removePrivateFrom(d->exif, d->xmp);
}

void Metadata::markSrgb()
{
    if (!d)
        return;
    d->icc.clear();
    if (d->exif.findKey(Exiv2::ExifKey("Exif.Photo.ColorSpace")) != d->exif.end())
        d->exif["Exif.Photo.ColorSpace"] = uint16_t(1);
    if (d->exif.findKey(Exiv2::ExifKey("Exif.Iop.InteroperabilityIndex")) != d->exif.end())
        d->exif["Exif.Iop.InteroperabilityIndex"] = "R98";
}

bool Metadata::removePrivateFrom(QByteArray &file)
{
    if (file.isEmpty())
        return true;
    setUp();
    try {
        const auto *data = reinterpret_cast<const Exiv2::byte *>(file.constData());
        // A format exiv2 does not know (XPM, PBM, ICO) holds no metadata.
        if (Exiv2::ImageFactory::getType(data, long(file.size())) == Exiv2::ImageType::none)
            return true;
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(data, long(file.size()));
        if (!image.get())
            return false;
        image->readMetadata();
        Exiv2::ExifData exif = image->exifData();
        Exiv2::XmpData xmp = image->xmpData();
        if (!::removePrivateFrom(exif, xmp))
            return true;
        image->setExifData(exif);
        image->setXmpData(xmp);
        image->writeMetadata();

        Exiv2::BasicIo &io = image->io();
        if (io.open() != 0)
            return false;
        const long size = long(io.size());
        QByteArray out(size, Qt::Uninitialized);
        io.seek(0, Exiv2::BasicIo::beg);
        const long got = io.read(reinterpret_cast<Exiv2::byte *>(out.data()), size);
        io.close();
        if (got != size || size <= 0)
            return false;
        file = std::move(out);
        return true;
    } catch (const std::exception &) {
        // A format exiv2 reads but cannot write (HEIF), or a broken file.
        return false;
    }
}

bool Metadata::writeInto(QByteArray &file, const QSize &pixelSize) const
{
    if (!d || file.isEmpty())
        return false;
    setUp();
    try {
        Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(file.constData()), long(file.size()));
        if (!image.get())
            return false;
        image->readMetadata();
        image->setExifData(adjusted(d->exif, pixelSize));
        image->setIptcData(d->iptc);
        image->setXmpData(adjusted(d->xmp, pixelSize));
        const QByteArray profile = iccProfileFor(pixelSize);
        if (!profile.isEmpty() && image->imageType() != Exiv2::ImageType::png) {
            Exiv2::DataBuf icc(reinterpret_cast<const Exiv2::byte *>(profile.constData()), long(profile.size()));
            image->setIccProfile(icc, false);
        }
        image->writeMetadata();

        Exiv2::BasicIo &io = image->io();
        if (io.open() != 0)
            return false;
        const long size = long(io.size());
        QByteArray out(size, Qt::Uninitialized);
        io.seek(0, Exiv2::BasicIo::beg);
        const long got = io.read(reinterpret_cast<Exiv2::byte *>(out.data()), size);
        io.close();
        if (got != size || size <= 0)
            return false;
        file = std::move(out);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

#pragma GCC diagnostic pop
