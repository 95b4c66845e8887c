#include "core/imageio/guard.h"

#include "core/imageio/heifreader.h"
#include "core/imageio/jpegheader.h"
#include "core/imageio/jxlreader.h"
#include "core/imageio/rawreader.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace imageio::guard {
namespace {

QString megabytes(qint64 bytes)
{
    return QStringLiteral("%1 MB").arg(double(bytes) / (1 << 20), 0, 'f', 1);
}

// Sides of up to 2^32 - 1 (PNG): their product may not fit 64 signed bits,
// so it is never formed.
QString tooManyPixels(qint64 width, qint64 height)
{
    return QStringLiteral("it declares %1 x %2 pixels (%3 million), more than the %4 million a picture may have")
        .arg(width)
        .arg(height)
        .arg(double(width) * double(height) / 1e6, 0, 'f', 0)
        .arg(kMaxPixels / 1'000'000);
}

bool tooLarge(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width > kMaxPixels / height;
}

// A canvas built whole from its header (a GIF's screen, an MNG's frame)
// beyond what the file's bytes could fill.
QString unbackedCanvas(const char *what, qint64 width, qint64 height, qint64 fileSize)
{
    const double pixels = double(width) * double(height);
    if (pixels <= double(kFreeCanvasPixels) || pixels <= double(fileSize) * double(kCanvasPixelsPerByte))
        return {};
    return QStringLiteral("its %1 declares %2 x %3 pixels, far more than a file of %4 bytes can fill")
        .arg(QLatin1String(what))
        .arg(width)
        .arg(height)
        .arg(fileSize);
}

// GIF: the signature, then the logical screen's width and height (16 bits,
// little-endian).
QString checkGif(QFile &file)
{
    uchar head[10];
    if (file.read(reinterpret_cast<char *>(head), 10) != 10)
        return {};
    return unbackedCanvas("GIF screen", qFromLittleEndian<quint16>(head + 6), qFromLittleEndian<quint16>(head + 8),
                          file.size());
}

// PNG: the signature, then chunks of a 4-byte length, a 4-byte type, the
// data and a 4-byte checksum, the first being IHDR (width and height first).
// libpng allocates and reads a chunk whole before it looks at it, so a
// length is checked against the bytes the file really has. MNG
// animations are made of the same chunks (up to MEND), pictures among them.
//
// A photo of 24 megapixels has some 9,000 chunks: each header is read with
// one system call and nothing else is done with it, which keeps the walk to
// a few per cent of the decode.
QString checkPng(QFile &file, bool mng)
{
    const qint64 size = file.size();
    const auto readAt = [&file](qint64 at, uchar *to, qint64 n) {
#ifdef Q_OS_UNIX
        return ::pread(file.handle(), to, size_t(n), off_t(at)) == n;
#else
        return file.seek(at) && file.read(reinterpret_cast<char *>(to), n) == n;
#endif
    };
    qint64 at = 8;
    while (at + 8 <= size) {
        uchar head[16];
        const bool dims = at + 16 <= size;
        if (!readAt(at, head, dims ? 16 : 8))
            return {}; // unreadable now: the reader will say so
        const quint32 length = qFromBigEndian<quint32>(head);
        const qint64 end = at + 12 + qint64(length);
        if (length > 0x7FFFFFFFu || end > size)
            return QStringLiteral("its PNG chunk \"%1\" claims %2 bytes, but the file has %3 bytes in all")
                .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(head + 4), 4).toPercentEncoding()))
                .arg(length)
                .arg(size);
        // Every picture header: a PNG's, and in MNG the animation's frame
        // (MHDR) and each PNG or JNG picture it holds.
        const bool header = std::memcmp(head + 4, "IHDR", 4) == 0 || std::memcmp(head + 4, "MHDR", 4) == 0
            || std::memcmp(head + 4, "JHDR", 4) == 0;
        if (dims && header && length >= 8) {
            const qint64 w = qFromBigEndian<quint32>(head + 8);
            const qint64 h = qFromBigEndian<quint32>(head + 12);
            if (tooLarge(w, h))
                return tooManyPixels(w, h);
            if (mng && std::memcmp(head + 4, "MHDR", 4) == 0) {
                const QString unbacked = unbackedCanvas("MNG frame", w, h, size);
                if (!unbacked.isEmpty())
                    return unbacked;
            }
        }
        if (std::memcmp(head + 4, "IEND", 4) == 0 && !mng)
            break;
        if (std::memcmp(head + 4, "MEND", 4) == 0)
            break;
        at = end;
    }
    return {};
}

// The scans of a progressive JPEG: every start of scan (FF DA) in the
// file. Inside coded data a byte FF is followed by 00 or a restart marker,
// so FF DA only ever starts a scan. The count stops one past the limit.
int countScans(QFile &file)
{
    file.seek(0);
    int scans = 0;
    bool lastWasFF = false;
    QByteArray chunk;
    while (!(chunk = file.read(1 << 20)).isEmpty()) {
        const char *p = chunk.constData();
        const char *end = p + chunk.size();
        if (lastWasFF && uchar(*p) == 0xDA)
            ++scans;
        while ((p = static_cast<const char *>(std::memchr(p, 0xFF, size_t(end - p))))) {
            ++p;
            if (p < end && uchar(*p) == 0xDA && ++scans > kMaxScans)
                return scans;
        }
        lastWasFF = uchar(chunk.back()) == 0xFF;
    }
    return scans;
}

qint64 physicalMemory()
{
#ifdef Q_OS_UNIX
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return qint64(pages) * pageSize;
#endif
    return qint64(8) << 30;
}

QString checkJpeg(QFile &file)
{
    const jpegheader::Info info = jpegheader::read(file);
    if (info.segmentPastEnd)
        return QStringLiteral("a JPEG marker segment claims more bytes than the file's %1").arg(file.size());
    if (info.valid && tooLarge(info.size.width(), info.size.height()))
        return tooManyPixels(info.size.width(), info.size.height());
    if (!info.valid || !info.progressive)
        return {};
    // Whichever reader runs (TurboJPEG limits its scans, Qt's reader does
    // not, and takes a file TurboJPEG refuses for its sampling), each scan
    // is a pass over every coefficient of the picture.
    const int scans = countScans(file);
    if (scans > kMaxScans)
        return QStringLiteral("it is a progressive JPEG of more than %1 scans").arg(kMaxScans);
    // A progressive decode keeps every coefficient (two bytes each) of every
    // component until the last scan, besides the picture itself.
    const qint64 pixels = qint64(info.size.width()) * info.size.height();
    const qint64 needed = pixels * qMax(1, info.components) * 2 + pixels * 4;
    const qint64 budget = physicalMemory() / 4;
    if (needed > budget)
        return QStringLiteral("decoding this progressive JPEG would take %1, more than the %2 allowed for one picture")
            .arg(megabytes(needed), megabytes(budget));
    return {};
}

// The PNG or BMP inside an icon container, at offset: its declared size
// must stay within the limit (the container's own directory says 16 x 16
// or 0 for "256 or more", whatever the picture is).
QString checkEmbedded(QFile &file, qint64 offset, qint64 length)
{
    if (offset < 0 || length < 0 || offset > file.size() || length > file.size() - offset)
        return QStringLiteral("an icon in it claims %1 bytes at %2, past the file's %3")
            .arg(length)
            .arg(offset)
            .arg(file.size());
    uchar h[24];
    if (length < 24 || !file.seek(offset) || file.read(reinterpret_cast<char *>(h), 24) != 24)
        return {};
    if (std::memcmp(h, "\x89PNG\r\n\x1a\n", 8) == 0 && std::memcmp(h + 12, "IHDR", 4) == 0) {
        const qint64 w = qFromBigEndian<quint32>(h + 16);
        const qint64 hgt = qFromBigEndian<quint32>(h + 20);
        return tooLarge(w, hgt) ? tooManyPixels(w, hgt) : QString();
    }
    // A BMP info header without its file header; the height counts the
    // mask's rows too.
    if (qFromLittleEndian<quint32>(h) >= 40) {
        const qint64 w = qAbs(qint64(qFromLittleEndian<qint32>(h + 4)));
        const qint64 hgt = qAbs(qint64(qFromLittleEndian<qint32>(h + 8))) / 2;
        return tooLarge(w, hgt) ? tooManyPixels(w, hgt) : QString();
    }
    return {};
}

// ICO and CUR: a 6-byte header (0, the type, the count of icons), then 16
// bytes an icon, the last 8 its length and its offset.
QString checkIco(QFile &file)
{
    uchar h[6];
    if (file.read(reinterpret_cast<char *>(h), 6) != 6)
        return {};
    const int count = qFromLittleEndian<quint16>(h + 4);
    for (int i = 0; i < count; ++i) {
        uchar e[16];
        if (!file.seek(6 + qint64(i) * 16) || file.read(reinterpret_cast<char *>(e), 16) != 16)
            return QStringLiteral("its icon directory lists %1 icons, but the file ends after %2").arg(count).arg(i);
        const QString reason = checkEmbedded(file, qFromLittleEndian<quint32>(e + 12), qFromLittleEndian<quint32>(e + 8));
        if (!reason.isEmpty())
            return reason;
    }
    return {};
}

// ICNS: "icns" and the file's length, then entries of a 4-byte type, a
// 4-byte length (its header included) and the data, often a whole PNG.
QString checkIcns(QFile &file)
{
    uchar h[8];
    if (file.read(reinterpret_cast<char *>(h), 8) != 8)
        return {};
    const qint64 total = qMin<qint64>(qFromBigEndian<quint32>(h + 4), file.size());
    qint64 at = 8;
    while (at + 8 <= total) {
        if (!file.seek(at) || file.read(reinterpret_cast<char *>(h), 8) != 8)
            return {};
        const qint64 length = qFromBigEndian<quint32>(h + 4);
        if (length < 8 || length > total - at)
            return QStringLiteral("an icon in it claims %1 bytes at %2, past the file's %3")
                .arg(length)
                .arg(at)
                .arg(file.size());
        // The table of contents lists the elements as type and length; Qt's
        // reader walks by those lengths, and one under 8 never moves on.
        if (std::memcmp(h, "TOC ", 4) == 0) {
            for (qint64 e = at + 8; e + 8 <= at + length; e += 8) {
                uchar entry[8];
                if (!file.seek(e) || file.read(reinterpret_cast<char *>(entry), 8) != 8)
                    return {};
                if (qFromBigEndian<quint32>(entry + 4) < 8)
                    return QStringLiteral("its table of contents lists an icon of %1 bytes")
                        .arg(qFromBigEndian<quint32>(entry + 4));
            }
        }
        const QString reason = checkEmbedded(file, at + 8, length - 8);
        if (!reason.isEmpty())
            return reason;
        at += length;
    }
    return {};
}

// TGA: an 18-byte header (id length, colour map type, image type, colour
// map origin, length and depth, x and y origin, width, height, pixel depth,
// descriptor), the id, the colour map, then the pixels, stored or run-length
// coded (types 9 to 11: at most 128 pixels a packet of one count byte and
// one pixel). The reader goes on reading pixel after pixel past the end of
// the file, a system call each: a 641-byte file declaring 4112 x 4112 took
// 25 s. The pixels the header declares must fit the bytes there are.
QString checkTga(QFile &file)
{
    uchar h[18];
    if (file.read(reinterpret_cast<char *>(h), 18) != 18)
        return {};
    const int type = h[2];
    const qint64 mapBytes = h[1] ? qint64(qFromLittleEndian<quint16>(h + 5)) * ((h[7] + 7) / 8) : 0;
    const qint64 width = qFromLittleEndian<quint16>(h + 12);
    const qint64 height = qFromLittleEndian<quint16>(h + 14);
    const qint64 pixelBytes = qMax(1, (h[16] + 7) / 8);
    const qint64 pixels = width * height;
    qint64 needed = 0;
    if (type >= 1 && type <= 3)
        needed = pixels * pixelBytes;
    else if (type >= 9 && type <= 11)
        needed = (pixels + 127) / 128 * (1 + pixelBytes);
    else
        return {};
    const qint64 available = file.size() - 18 - h[0] - mapBytes;
    if (needed > available)
        return QStringLiteral("its TGA header declares %1 x %2 pixels, which take at least %3 bytes, but the file "
                              "holds %4")
            .arg(width)
            .arg(height)
            .arg(needed)
            .arg(qMax<qint64>(0, available));
    return {};
}

// BMP: a 14-byte file header (the offset of the pixels at 10), then the
// info header: 12 bytes with 16-bit sides (OS/2), or 40 or more with 32-bit
// sides, a negative height meaning rows stored top-down, the bits a pixel
// and the compression. Stored pixels (no compression, or bit fields) take
// whole rows padded to 4 bytes. The reader allocates the declared picture and
// fills it row by row from whatever the file holds: the fuzzer found 4.5 KB
// declaring 1 x 167 million pixels, read for 3 s and then scaled for 20.
// Run-length coded pixels can skip whole rows in a few bytes, so only stored
// ones are held to the file's size.
QString checkBmp(QFile &file)
{
    uchar h[30];
    if (file.read(reinterpret_cast<char *>(h), 30) != 30)
        return {};
    const qint64 offset = qFromLittleEndian<quint32>(h + 10);
    const quint32 infoSize = qFromLittleEndian<quint32>(h + 14);
    qint64 width = 0;
    qint64 height = 0;
    int bits = 0;
    quint32 compression = 0;
    if (infoSize == 12) {
        width = qFromLittleEndian<quint16>(h + 18);
        height = qFromLittleEndian<quint16>(h + 20);
        bits = qFromLittleEndian<quint16>(h + 24);
    } else if (infoSize >= 40) {
        width = qFromLittleEndian<qint32>(h + 18);
        height = qAbs(qint64(qFromLittleEndian<qint32>(h + 22)));
        bits = qFromLittleEndian<quint16>(h + 28);
        uchar c[4];
        if (file.read(reinterpret_cast<char *>(c), 4) != 4)
            return {};
        compression = qFromLittleEndian<quint32>(c);
    } else {
        return {};
    }
    const bool stored = compression == 0 || compression == 3 || compression == 6;
    if (!stored || width <= 0 || height <= 0 || bits <= 0 || bits > 32)
        return {}; // the reader's own checks apply
    // The last row may come without its padding. Rows times sides of up to
    // 2^31 would not fit 64 bits: the product is never formed.
    const qint64 rowBytes = (width * bits + 31) / 32 * 4;
    const qint64 lastRow = (width * bits + 7) / 8;
    const qint64 available = file.size() - offset;
    if (available >= lastRow && (height == 1 || rowBytes <= (available - lastRow) / (height - 1)))
        return {};
    return QStringLiteral("its BMP header declares %1 x %2 pixels, which take at least %3 bytes, but the file "
                          "holds %4")
        .arg(width)
        .arg(height)
        .arg(double(rowBytes) * double(height - 1) + double(lastRow), 0, 'f', 0)
        .arg(qMax<qint64>(0, available));
}

// HEIF and AVIF: ISO boxes, each a size and a type before its content.
// libheif reads the description boxes whole and builds the pictures their
// spatial extents (ispe) and grids declare: every box must fit its
// container and the file, and no picture may be larger than the limit.
QString checkHeif(QFile &file)
{
    const heifreader::Declared d = heifreader::declared(file);
    if (!d.broken.isEmpty())
        return d.broken;
    if (d.largest.isValid() && tooLarge(d.largest.width(), d.largest.height()))
        return tooManyPixels(d.largest.width(), d.largest.height());
    return {};
}

// JPEG XL and camera raw: the size their own libraries read from the
// header (libjxl's basic information; LibRaw's opening, which unpacks
// nothing).
QString checkSize(const QSize &size)
{
    if (size.isValid() && tooLarge(size.width(), size.height()))
        return tooManyPixels(size.width(), size.height());
    return {};
}

bool isText(QFile &file, const QByteArray &format)
{
    if (format == "xpm" || format == "xbm")
        return true;
    if (format != "pbm" && format != "pgm" && format != "ppm")
        return false;
    // P1, P2 and P3 are the text variants; P4, P5 and P6 hold bytes.
    char magic[2];
    return file.read(magic, 2) == 2 && magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '3';
}

} // namespace

QString check(const QString &path, const QByteArray &format)
{
    QFile file(path);
    // Regular files only (a FIFO would block); what cannot be opened is the
    // reader's to report.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    if (isText(file, format) && file.size() > kMaxTextBytes)
        return QStringLiteral("it is a text image (%1) of %2; text images over %3 are refused")
            .arg(QString::fromLatin1(format.toUpper()), megabytes(file.size()), megabytes(kMaxTextBytes));
    file.seek(0);
    if (format == "png" || format == "mng")
        return checkPng(file, format == "mng");
    if (format == "jpeg")
        return checkJpeg(file);
    if (format == "tga")
        return checkTga(file);
    if (format == "gif")
        return checkGif(file);
    if (format == "bmp")
        return checkBmp(file);
    if (format == "ico" || format == "cur")
        return checkIco(file);
    if (format == "icns")
        return checkIcns(file);
    if (format == "heif" || format == "avif")
        return checkHeif(file);
    if (format == "jxl")
        return checkSize(jxlreader::declaredSize(file));
    if (format == "raw")
        return checkSize(rawreader::declaredSize(path));
    return {};
}

QString check(const QSize &declaredSize)
{
    if (declaredSize.isValid() && tooLarge(declaredSize.width(), declaredSize.height()))
        return tooManyPixels(declaredSize.width(), declaredSize.height());
    return {};
}

QString check(const QString &path, const QByteArray &format, const QSize &declaredSize)
{
    const QString reason = check(path, format);
    return reason.isEmpty() ? check(declaredSize) : reason;
}

} // namespace imageio::guard
