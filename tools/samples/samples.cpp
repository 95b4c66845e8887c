#include "samples.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtMath>

#include <libheif/heif.h>

// exiv2 0.27 hands its images out in std::auto_ptr, which C++17 marks
// deprecated; the warning is about the library's interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace samples {
namespace {

Exiv2::ExifData cameraExif(int orientation, const Camera &camera)
{
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = camera.make.toStdString();
    exif["Exif.Image.Model"] = camera.model.toStdString();
    exif["Exif.Image.Orientation"] = uint16_t(orientation);
    exif["Exif.Image.XResolution"] = Exiv2::URational(300, 1);
    exif["Exif.Image.YResolution"] = Exiv2::URational(300, 1);
    exif["Exif.Image.ResolutionUnit"] = uint16_t(2);
    exif["Exif.Photo.DateTimeOriginal"] = camera.date.toStdString();
    return exif;
}

// The EXIF as a TIFF structure (what HEIF and JPEG XL files hold).
QByteArray exifTiff(int orientation, const Camera &camera)
{
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, cameraExif(orientation, camera));
    return QByteArray(reinterpret_cast<const char *>(blob.data()), qsizetype(blob.size()));
}

// ---- a TIFF written by hand (the DNG) ------------------------------------------

enum Type : quint16 { Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5, SRational = 10 };

struct Tag
{
    quint16 id;
    quint16 type;
    quint32 count;
    QByteArray value; // little-endian, count values of the type
};

QByteArray le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

Tag shortTag(quint16 id, std::initializer_list<quint16> values)
{
    QByteArray b;
    for (quint16 v : values)
        b += le16(v);
    return {id, Short, quint32(values.size()), b};
}

Tag longTag(quint16 id, std::initializer_list<quint32> values)
{
    QByteArray b;
    for (quint32 v : values)
        b += le32(v);
    return {id, Long, quint32(values.size()), b};
}

Tag byteTag(quint16 id, std::initializer_list<quint8> values)
{
    QByteArray b;
    for (quint8 v : values)
        b += char(v);
    return {id, Byte, quint32(values.size()), b};
}

Tag asciiTag(quint16 id, const QByteArray &text)
{
    const QByteArray b = text + '\0';
    return {id, Ascii, quint32(b.size()), b};
}

// Rationals of value * denominator over denominator.
Tag rationalTag(quint16 id, quint16 type, const std::vector<double> &values, qint32 denominator)
{
    QByteArray b;
    for (double v : values)
        b += le32(quint32(qint32(qRound(v * denominator)))) + le32(quint32(denominator));
    return {id, type, quint32(values.size()), b};
}

// Appends an IFD of tags (sorted here) to out, word-aligned, its larger
// values after it; returns its offset.
quint32 appendIfd(QByteArray &out, std::vector<Tag> tags)
{
    std::sort(tags.begin(), tags.end(), [](const Tag &a, const Tag &b) { return a.id < b.id; });
    if (out.size() % 2)
        out += '\0';
    const quint32 at = quint32(out.size());
    quint32 data = at + 2 + 12 * quint32(tags.size()) + 4;
    QByteArray dir = le16(quint16(tags.size()));
    QByteArray values;
    for (const Tag &t : tags) {
        dir += le16(t.id) + le16(t.type) + le32(t.count);
        if (t.value.size() <= 4) {
            dir += t.value.leftJustified(4, '\0');
        } else {
            dir += le32(data + quint32(values.size()));
            values += t.value;
            if (values.size() % 2)
                values += '\0';
        }
    }
    dir += le32(0); // no next IFD
    out += dir + values;
    return at;
}

double linear(int v)
{
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : qPow((c + 0.055) / 1.055, 2.4);
}

QByteArray jpegOf(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    return writer.write(image) ? bytes : QByteArray();
}

// ---- the encoders as programs ---------------------------------------------------

struct Tool
{
    const char *program;
    const char *package;
};

QString missing(const Tool &tool)
{
    if (!QStandardPaths::findExecutable(QString::fromLatin1(tool.program)).isEmpty())
        return {};
    return QStringLiteral("%1 is not installed (%2)").arg(QLatin1String(tool.program), QLatin1String(tool.package));
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return !bytes.isEmpty() && f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

heif_error writeToArray(heif_context *, const void *data, size_t size, void *userdata)
{
    static_cast<QByteArray *>(userdata)->append(static_cast<const char *>(data), qsizetype(size));
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

} // namespace

QByteArray cameraJpeg(const QImage &image, int orientation, const QByteArray &icc, const Camera &camera)
{
    const QByteArray jpeg = jpegOf(image.convertToFormat(QImage::Format_RGB32), 95);
    if (jpeg.isEmpty())
        return {};
    try {
        Exiv2::Image::AutoPtr file =
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(jpeg.constData()), long(jpeg.size()));
        file->readMetadata();
        file->setExifData(cameraExif(orientation, camera));
        if (!icc.isEmpty()) {
            Exiv2::DataBuf profile(reinterpret_cast<const Exiv2::byte *>(icc.constData()), long(icc.size()));
            file->setIccProfile(profile);
        }
        file->writeMetadata();
        Exiv2::BasicIo &io = file->io();
        if (io.open() != 0)
            return {};
        QByteArray out(qsizetype(io.size()), Qt::Uninitialized);
        io.seek(0, Exiv2::BasicIo::beg);
        const long got = io.read(reinterpret_cast<Exiv2::byte *>(out.data()), long(out.size()));
        io.close();
        return got == out.size() ? out : QByteArray();
    } catch (const std::exception &) {
        return {};
    }
}

QByteArray dng(const QImage &source, int orientation, int previewLongSide, const Camera &camera,
               const QImage &previewPicture)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width();
    const int h = image.height();
    if (w < 2 || h < 2)
        return {};
    // The sensor: one colour a pixel, R G / G B, linear light.
    static const std::vector<quint16> curve = [] {
        std::vector<quint16> c(256);
        for (int v = 0; v < 256; ++v)
            c[size_t(v)] = quint16(qRound(linear(v) * 65535));
        return c;
    }();
    QByteArray raw(qsizetype(w) * h * 2, Qt::Uninitialized);
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        char *out = raw.data() + qsizetype(y) * w * 2;
        for (int x = 0; x < w; ++x) {
            const int colour = (y % 2) + (x % 2); // 0 red, 1 green, 2 blue
            const QRgb p = line[x];
            const int v = colour == 0 ? qRed(p) : colour == 1 ? qGreen(p) : qBlue(p);
            qToLittleEndian(curve[size_t(v)], out + 2 * x);
        }
    }
    QByteArray preview;
    QSize previewSize;
    if (previewLongSide > 0) {
        // Never larger than the picture, as a camera's is.
        const int side = qMin(previewLongSide, qMax(w, h));
        const QImage &shown = previewPicture.isNull() ? image : previewPicture;
        const QImage small = shown.scaled(QSize(side, side), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        preview = jpegOf(small, 90);
        previewSize = small.size();
    }

    // As cameras lay it out: the directories first (the EXIF's, the
    // sensor's data's, then the first one: the preview's, or the sensor's
    // when there is none), the data after them. The directories are laid
    // out twice: their size, and so where the data starts, is known after
    // the first time.
    QByteArray out;
    quint32 dataAt = 0;
    for (int pass = 0; pass < 2; ++pass) {
        out = QByteArray("II*\0\0\0\0\0", 8); // the first IFD's offset follows below
        const quint32 rawAt = dataAt;
        const quint32 previewAt = dataAt + quint32(raw.size());
        const quint32 exifAt = appendIfd(out, {asciiTag(36867, camera.date)});
        const std::vector<Tag> rawTags = {
            longTag(254, {0}), // the main picture
            longTag(256, {quint32(w)}), longTag(257, {quint32(h)}), shortTag(258, {16}),
            shortTag(259, {1}),     // uncompressed
            shortTag(262, {32803}), // a colour filter array
            longTag(273, {rawAt}), shortTag(274, {quint16(orientation)}), shortTag(277, {1}),
            longTag(278, {quint32(h)}), longTag(279, {quint32(raw.size())}), shortTag(284, {1}),
            shortTag(33421, {2, 2}), byteTag(33422, {0, 1, 1, 2}), // R G / G B
            longTag(50714, {0}), longTag(50717, {65535}),           // black and white levels
        };
        // The camera's own colours are sRGB's: the matrix from XYZ (D65) to
        // linear sRGB.
        const std::vector<Tag> dngTags = {
            asciiTag(271, camera.make),
            asciiTag(272, camera.model),
            shortTag(274, {quint16(orientation)}),
            rationalTag(282, Rational, {300}, 1),
            rationalTag(283, Rational, {300}, 1),
            shortTag(296, {2}), // inches
            asciiTag(306, camera.date),
            longTag(34665, {exifAt}),
            byteTag(50706, {1, 4, 0, 0}),
            byteTag(50707, {1, 1, 0, 0}),
            asciiTag(50708, camera.make + ' ' + camera.model),
            rationalTag(50721, SRational,
                        {3.2406, -1.5372, -0.4986, -0.9689, 1.8758, 0.0415, 0.0557, -0.2040, 1.0570}, 10000),
            rationalTag(50728, Rational, {1, 1, 1}, 1),
            shortTag(50778, {21}), // D65
        };
        quint32 first = 0;
        if (preview.isEmpty()) {
            std::vector<Tag> tags = rawTags;
            tags.insert(tags.end(), dngTags.begin(), dngTags.end());
            first = appendIfd(out, tags);
        } else {
            const quint32 rawIfd = appendIfd(out, rawTags);
            std::vector<Tag> tags = {
                longTag(254, {1}), // a reduced picture
                longTag(256, {quint32(previewSize.width())}),
                longTag(257, {quint32(previewSize.height())}),
                shortTag(258, {8, 8, 8}),
                shortTag(259, {7}), // JPEG
                shortTag(262, {6}), // YCbCr
                longTag(273, {previewAt}),
                shortTag(277, {3}),
                longTag(278, {quint32(previewSize.height())}),
                longTag(279, {quint32(preview.size())}),
                shortTag(284, {1}),
                longTag(330, {rawIfd}),
            };
            tags.insert(tags.end(), dngTags.begin(), dngTags.end());
            first = appendIfd(out, tags);
        }
        qToLittleEndian(first, out.data() + 4);
        if (out.size() % 2)
            out += '\0';
        dataAt = quint32(out.size());
    }
    return out + raw + preview;
}

QByteArray heicTurned(const QImage &source, int orientation, QString *why)
{
    static const bool ready = [] {
        heif_init(nullptr);
        return true;
    }();
    Q_UNUSED(ready);
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    struct Free
    {
        void operator()(heif_context *c) const { heif_context_free(c); }
        void operator()(heif_encoder *e) const { heif_encoder_release(e); }
        void operator()(heif_image *i) const { heif_image_release(i); }
        void operator()(heif_image_handle *h) const { heif_image_handle_release(h); }
        void operator()(heif_encoding_options *o) const { heif_encoding_options_free(o); }
    };
    std::unique_ptr<heif_context, Free> context(heif_context_alloc());
    heif_encoder *e = nullptr;
    if (heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &e).code != heif_error_Ok) {
        if (why)
            *why = QStringLiteral("libheif has no HEVC encoder here (libheif-plugin-x265)");
        return {};
    }
    std::unique_ptr<heif_encoder, Free> encoder(e);
    heif_encoder_set_lossy_quality(encoder.get(), 90);
    heif_encoder_set_parameter_string(encoder.get(), "preset", "fast");
    heif_image *i = nullptr;
    heif_image_create(image.width(), image.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &i);
    std::unique_ptr<heif_image, Free> picture(i);
    heif_image_add_plane(picture.get(), heif_channel_interleaved, image.width(), image.height(), 8);
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(picture.get(), heif_channel_interleaved, &stride);
    if (!plane)
        return {};
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(plane + qint64(y) * stride, image.constScanLine(y), size_t(image.width()) * 3);
    std::unique_ptr<heif_encoding_options, Free> options(heif_encoding_options_alloc());
    options->image_orientation = heif_orientation(orientation);
    heif_image_handle *handle = nullptr;
    if (heif_context_encode_image(context.get(), picture.get(), encoder.get(), options.get(), &handle).code
        != heif_error_Ok) {
        if (why)
            *why = QStringLiteral("libheif could not encode the sample");
        return {};
    }
    std::unique_ptr<heif_image_handle, Free> encoded(handle);
    const QByteArray exif = exifTiff(orientation, Camera());
    heif_context_add_exif_metadata(context.get(), encoded.get(), exif.constData(), int(exif.size()));
    QByteArray out;
    heif_writer writer{1, writeToArray};
    if (heif_context_write(context.get(), &writer, &out).code != heif_error_Ok)
        return {};
    return out;
}

QStringList formats()
{
    return {QStringLiteral("heif"), QStringLiteral("avif"), QStringLiteral("jxl"), QStringLiteral("webp"),
            QStringLiteral("raw")};
}

QString run(const QString &program, const QStringList &args, int seconds)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(30000))
        return QStringLiteral("%1 did not start").arg(program);
    if (!p.waitForFinished(seconds * 1000)) {
        p.kill();
        p.waitForFinished();
        return QStringLiteral("%1 took more than %2 s").arg(program).arg(seconds);
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(p.readAll().right(400)));
    return {};
}

bool write(const QString &path, const QByteArray &format, const QImage &image, int orientation, QString *why,
           const QByteArray &icc)
{
    QString reason;
    auto fail = [&](const QString &r) {
        if (why)
            *why = r;
        return false;
    };
    if (format == "raw")
        return writeBytes(path, dng(image, orientation, 1024)) || fail(QStringLiteral("could not write %1").arg(path));
    const Tool tool = format == "heif" ? Tool{"heif-enc", "libheif-examples"}
        : format == "avif"             ? Tool{"avifenc", "libavif-bin"}
        : format == "jxl"              ? Tool{"cjxl", "libjxl-tools"}
        : format == "webp"             ? Tool{"cwebp", "webp"}
                                       : Tool{nullptr, nullptr};
    if (!tool.program)
        return fail(QStringLiteral("no sample is made in %1").arg(QString::fromLatin1(format)));
    reason = missing(tool);
    if (!reason.isEmpty())
        return fail(reason);
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("in.jpg"));
    if (!dir.isValid() || !writeBytes(input, cameraJpeg(image, orientation, icc)))
        return fail(QStringLiteral("could not write the encoder's input"));
    const QString program = QString::fromLatin1(tool.program);
    if (format == "heif")
        reason = run(program, {QStringLiteral("-q"), QStringLiteral("90"), QStringLiteral("-p"),
                               QStringLiteral("preset=fast"), input, QStringLiteral("-o"), path});
    else if (format == "avif")
        reason = run(program, {QStringLiteral("-s"), QStringLiteral("8"), input, path});
    else if (format == "jxl")
        reason = run(program, {input, path});
    else
        reason = run(program, {QStringLiteral("-q"), QStringLiteral("90"), QStringLiteral("-metadata"),
                               QStringLiteral("exif,icc"), input, QStringLiteral("-o"), path});
    return reason.isEmpty() || fail(reason);
}

} // namespace samples

#pragma GCC diagnostic pop
