#include "seeds.h"

#include "core/imageio/jpegwriter.h"
#include "samples.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTransform>
#include <QtEndian>

#include <cstdio>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

namespace fuzzseeds {
namespace {

// A w x h picture with gradients, hard edges and a few colours, so that
// every encoder has something to encode.
QImage picture(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgba(x * 255 / qMax(1, w - 1), y * 255 / qMax(1, h - 1), ((x / 4 + y / 4) % 2) * 220,
                            x < w / 4 ? 128 : 255);
    }
    return img;
}

QByteArray encoded(const QImage &image, const char *format, int quality = -1, bool progressive = false,
                   int compression = -1)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    if (compression >= 0)
        writer.setCompression(compression);
    return writer.write(image) ? out : QByteArray();
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : data) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// One PNG-style chunk: length, type, data, checksum of type and data.
QByteArray chunk(const char *type, const QByteArray &data)
{
    QByteArray out(4, '\0');
    qToBigEndian(quint32(data.size()), out.data());
    const QByteArray body = QByteArray(type, 4) + data;
    QByteArray crc(4, '\0');
    qToBigEndian(crc32(body), crc.data());
    return out + body + crc;
}

QByteArray be32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out;
}

// An MNG of one frame: the PNG's chunks between the MNG header and its end.
QByteArray mng(const QByteArray &png)
{
    QByteArray mhdr;
    const quint32 w = qFromBigEndian<quint32>(png.constData() + 16);
    const quint32 h = qFromBigEndian<quint32>(png.constData() + 20);
    for (const quint32 v : {w, h, 1000u, 1u, 1u, 0u, 1u})
        mhdr += be32(v);
    return QByteArray("\x8aMNG\r\n\x1a\n", 8) + chunk("MHDR", mhdr) + png.mid(8, png.size() - 8 - 12)
        + chunk("MEND", {});
}

// An uncompressed 32-bit TGA, bottom-up, as Qt's reader expects it.
QByteArray tga(const QImage &image)
{
    // An image id of four bytes: a header starting 00 00 would read as an
    // icon directory first.
    QByteArray out(18, '\0');
    out[0] = 4;
    out[2] = 2; // true colour
    qToLittleEndian(quint16(image.width()), out.data() + 12);
    qToLittleEndian(quint16(image.height()), out.data() + 14);
    out[16] = 32;
    out[17] = 8; // 8 bits of alpha
    out += "fuzz";
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = argb.height() - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const char px[4] = {char(qBlue(line[x])), char(qGreen(line[x])), char(qRed(line[x])), char(qAlpha(line[x]))};
            out.append(px, 4);
        }
    }
    // The TGA 2.0 footer, without which Qt's reader declines the file.
    return out + QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.", 18);
}

// The text forms of PBM (P1), PGM (P2) and PPM (P3), which Qt reads but
// writes only as bytes.
QByteArray textPnm(const QImage &image, int kind)
{
    QByteArray out = "P" + QByteArray::number(kind) + "\n# made by the fuzzer\n" + QByteArray::number(image.width())
        + " " + QByteArray::number(image.height()) + "\n";
    if (kind != 1)
        out += "255\n";
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = line[x];
            if (kind == 1)
                out += qGray(c) < 128 ? "1 " : "0 ";
            else if (kind == 2)
                out += QByteArray::number(qGray(c)) + ' ';
            else
                out += QByteArray::number(qRed(c)) + ' ' + QByteArray::number(qGreen(c)) + ' '
                    + QByteArray::number(qBlue(c)) + ' ';
        }
        out += '\n';
    }
    return out;
}

// A 2 x 1 GIF (Qt reads GIF but cannot write it).
const QByteArray kGif = QByteArray::fromHex("47494638396102000100f00000ff000000000021f9040000000000"
                                            "2c0000000002000100000202040a003b");

// The image data of a GIF frame of four colours: LZW codes of 3 bits, a
// clear code after every two pixels so that the code size never grows.
QByteArray gifData(const QList<int> &pixels)
{
    QByteArray codes;
    quint32 bits = 0;
    int count = 0;
    auto put = [&](int code) {
        bits |= quint32(code) << count;
        count += 3;
        while (count >= 8) {
            codes.append(char(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    for (int i = 0; i < pixels.size(); ++i) {
        if (i % 2 == 0)
            put(4); // clear
        put(pixels.at(i));
    }
    put(5); // end of information
    if (count > 0)
        codes.append(char(bits & 0xFF));
    QByteArray out(1, char(2)); // minimum code size
    for (int at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        out += char(block.size()) + block;
    }
    return out + char(0);
}

// A 4 x 4 GIF of two frames that loops: a global colour table, a
// transparent colour, and a second frame with a colour table of its own.
QByteArray animatedGif()
{
    QByteArray gif = "GIF89a";
    gif += QByteArray::fromHex("04000400" "a1" "00" "00"); // 4 x 4, global table of 4 colours
    gif += QByteArray::fromHex("000000" "ff0000" "00ff00" "0000ff");
    gif += QByteArray::fromHex("21ff0b") + "NETSCAPE2.0" + QByteArray::fromHex("03010000" "00");
    QList<int> first, second;
    for (int i = 0; i < 16; ++i) {
        first << i % 4;
        second << (i / 4) % 4;
    }
    gif += QByteArray::fromHex("21f904" "05" "0a00" "02" "00"); // transparent colour 2, 10/100 s
    gif += QByteArray::fromHex("2c" "00000000" "04000400" "00") + gifData(first);
    gif += QByteArray::fromHex("21f904" "08" "0a00" "00" "00");
    gif += QByteArray::fromHex("2c" "01000100" "03000300" "81"); // 3 x 3 at (1, 1), local table
    gif += QByteArray::fromHex("ffffff" "808080" "404040" "000000") + gifData(second.mid(0, 9));
    return gif + char(0x3B);
}

// A camera's JPEG as far as metadata goes: EXIF with its sub-directories
// (Exif, GPS, interoperability) and a thumbnail, IPTC, XMP and an ICC
// profile, so that mutations land in every block a cut carries.
QByteArray withMetadata(const QByteArray &jpeg, const QImage &thumbnail)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("meta.jpg"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(jpeg) != jpeg.size())
        return {};
    f.close();
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Fuzz";
        exif["Exif.Image.Orientation"] = uint16_t(6);
        exif["Exif.Photo.DateTimeOriginal"] = "2024:01:02 03:04:05";
        exif["Exif.Photo.BodySerialNumber"] = "123456";
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        exif["Exif.Iop.InteroperabilityIndex"] = "R98";
        const QByteArray thumb = encoded(thumbnail, "jpeg", 70);
        Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte *>(thumb.constData()),
                                                long(thumb.size()));
        image->setExifData(exif);
        Exiv2::IptcData iptc;
        iptc["Iptc.Application2.Keywords"] = "fuzz";
        image->setIptcData(iptc);
        Exiv2::XmpData xmp;
        xmp["Xmp.dc.title"] = "lang=\"x-default\" Fuzz";
        image->setXmpData(xmp);
        const QByteArray icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
        Exiv2::DataBuf profile(reinterpret_cast<const Exiv2::byte *>(icc.constData()), long(icc.size()));
        image->setIccProfile(profile);
        image->writeMetadata();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "fuzz: no metadata seed: %s\n", e.what());
        return {};
    }
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An ICO whose one icon is a whole PNG, as Windows' large icons are.
QByteArray icoOfPng(const QByteArray &png, int side)
{
    QByteArray ico = QByteArray::fromHex("000001000100") + QByteArray(16, '\0');
    ico[6] = char(side);
    ico[7] = char(side);
    qToLittleEndian(quint16(1), ico.data() + 10);
    qToLittleEndian(quint16(32), ico.data() + 12);
    qToLittleEndian(quint32(png.size()), ico.data() + 14);
    qToLittleEndian(quint32(22), ico.data() + 18);
    return ico + png;
}

// The newer formats, made by their own encoders (heif-enc, avifenc, cjxl,
// cwebp) and by tools/samples (DNG; an HEIC whose turn is a rotation box),
// each turned a quarter the way the format records it. An encoder that is
// not installed leaves its seed out, and says so.
QList<Seed> newerFormats(const QImage &picture)
{
    QList<Seed> seeds;
    QTemporaryDir dir;
    const QImage side = picture.transformed(QTransform().rotate(270));
    struct Made
    {
        const char *label;
        const char *ending;
        const char *format;
        int orientation;
    };
    const Made made[] = {{"heic", "heic", "heif", 1}, {"avif", "avif", "avif", 6}, {"jxl", "jxl", "jxl", 6},
                         {"webp-exif", "webp", "webp", 1}};
    for (const Made &m : made) {
        const QString path = dir.filePath(QStringLiteral("seed.") + QLatin1String(m.ending));
        QString why;
        if (!samples::write(path, m.format, m.orientation == 6 ? side : picture, m.orientation, &why)) {
            std::fprintf(stderr, "fuzz: no %s seed: %s\n", m.label, qPrintable(why));
            continue;
        }
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            seeds.append({QLatin1String(m.label), QLatin1String(m.ending), f.readAll()});
    }
    QString why;
    const QByteArray box = samples::heicTurned(side, 6, &why);
    if (!box.isEmpty())
        seeds.append({QStringLiteral("heic-rotation-box"), QStringLiteral("heic"), box});
    seeds.append({QStringLiteral("dng"), QStringLiteral("dng"), samples::dng(side, 6, 24)});
    seeds.append({QStringLiteral("dng-no-preview"), QStringLiteral("dng"), samples::dng(picture, 1)});
    return seeds;
}

} // namespace

QList<Seed> make()
{
    const QImage rgb = picture(48, 32).convertToFormat(QImage::Format_RGB32);
    const QImage argb = picture(48, 32);
    const QImage grey = rgb.convertToFormat(QImage::Format_Grayscale8);
    const QImage mono = rgb.convertToFormat(QImage::Format_Mono);
    const QImage indexed = rgb.convertToFormat(QImage::Format_Indexed8);
    const QImage deep = argb.convertToFormat(QImage::Format_RGBA64);
    QImage texted = rgb;
    texted.setText(QStringLiteral("Comment"), QStringLiteral("a text chunk for the fuzzer"));
    const QByteArray png = encoded(rgb, "png");
    // A profile chunk (name, compression method, zlib stream) after IHDR.
    const QByteArray iccp =
        chunk("iCCP", QByteArray("p\0\0", 3) + qCompress(QColorSpace(QColorSpace::AdobeRgb).iccProfile()).mid(4));

    QList<Seed> seeds = {
        {"jpeg", "jpg", encoded(rgb, "jpeg", 90)},
        {"jpeg-progressive", "jpg", encoded(rgb, "jpeg", 80, true)},
        {"jpeg-grey", "jpg", encoded(grey, "jpeg", 75)},
        {"jpeg-420", "jpg", jpegwriter::encode(rgb, 85, jpegheader::Subsampling::S420)},
        {"jpeg-422", "jpeg", jpegwriter::encode(rgb, 60, jpegheader::Subsampling::S422)},
        {"png", "png", png},
        {"png-alpha", "png", encoded(argb, "png")},
        {"png-palette", "png", encoded(indexed, "png")},
        {"png-grey", "png", encoded(grey, "png")},
        {"png-16bit", "png", encoded(deep, "png")},
        {"png-text", "png", encoded(texted, "png")},
        {"png-1bit", "png", encoded(mono, "png")},
        {"bmp", "bmp", encoded(rgb, "bmp")},
        {"bmp-1bit", "bmp", encoded(mono, "bmp")},
        {"bmp-8bit", "bmp", encoded(indexed, "bmp")},
        {"bmp-alpha", "bmp", encoded(argb, "bmp")},
        {"tiff", "tif", encoded(rgb, "tiff")},
        {"tiff-lzw", "tiff", encoded(argb, "tiff", -1, false, 1)},
        {"tiff-1bit", "tif", encoded(mono, "tiff")},
        {"tiff-grey", "tif", encoded(grey, "tiff")},
        {"xpm", "xpm", encoded(indexed.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither), "xpm")},
        {"xbm", "xbm", encoded(mono, "xbm")},
        {"pbm", "pbm", encoded(mono, "pbm")},
        {"pgm", "pgm", encoded(grey, "pgm")},
        {"ppm", "ppm", encoded(rgb, "ppm")},
        {"pbm-text", "pbm", textPnm(rgb.copy(0, 0, 16, 8), 1)},
        {"pgm-text", "pgm", textPnm(rgb.copy(0, 0, 16, 8), 2)},
        {"ppm-text", "ppm", textPnm(rgb.copy(0, 0, 16, 8), 3)},
        {"gif", "gif", kGif},
        {"gif-animated", "gif", animatedGif()},
        {"webp", "webp", encoded(rgb, "webp", 70)},
        {"webp-lossless", "webp", encoded(argb, "webp", 100)},
        {"jpeg-metadata", "jpg", withMetadata(encoded(rgb, "jpeg", 85), rgb.scaled(16, 12))},
        {"png-metadata", "png", png.left(33) + iccp + png.mid(33)},
        {"ico", "ico", encoded(argb.scaled(32, 32), "ico")},
        {"ico-png", "ico", icoOfPng(encoded(argb.scaled(32, 32), "png"), 32)},
        {"cur", "cur", encoded(argb.scaled(16, 16), "cur")},
        {"icns", "icns", encoded(argb.scaled(16, 16), "icns")},
        {"wbmp", "wbmp", encoded(mono, "wbmp")},
        {"tga", "tga", tga(argb.copy(0, 0, 16, 8))},
        {"mng", "mng", mng(encoded(rgb.copy(0, 0, 16, 8), "png"))},
    };
    seeds += newerFormats(rgb);
    QList<Seed> made;
    for (const Seed &s : seeds) {
        if (!s.bytes.isEmpty())
            made << s;
    }
    return made;
}

} // namespace fuzzseeds
