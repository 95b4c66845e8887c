#include "core/imageio/imageio.h"

#include "core/base/outofmemory.h"
#include "core/base/jobs.h"
#include "core/imageio/codecs.h"
#include "core/imageio/guard.h"
#include "core/imageio/jpegbands.h"
#include "core/imageio/largeimage.h"
#include "core/imageio/jpegheader.h"
#include "core/imageio/jpegreader.h"
#include "core/imageio/metadata.h"
#include "core/imageio/orientation.h"
#include "core/imageio/resolution.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>

#include <cstring>

namespace imageio {
namespace {

// Not every reader keeps to the allocation limit (Qt 6.4's JPEG reader
// allocates whatever its header declares), and some read what a header
// claims before anything else (a PNG chunk of 2 GB): the guard looks at the
// file first, before the reader reads its header, and then at the size the
// header declares.
bool allowed(QImageReader &reader, const QString &path)
{
    return guard::check(path, reader.format().toLower()).isEmpty() && guard::check(reader.size()).isEmpty();
}

// Only regular files are read: opening a FIFO (or a device) named like an
// image would wait for a writer that may never come, and the window with it.
bool readable(QImageReader &reader, const QString &path)
{
    return QFileInfo(path).isFile() && reader.canRead();
}

QSize orientedSize(const QImageReader &reader, QSize size)
{
    if (size.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        size.transpose();
    return size;
}

} // namespace

namespace {

// The two formats photos come in are told by their first bytes alone, which
// is all Qt's own JPEG and PNG readers look at to claim a file. Reading those
// bytes directly spares a reader that asks every installed plugin in turn: a
// folder of two thousand photos lists in a fraction of the time.
QByteArray sniffPhoto(const QString &path)
{
    static const bool jpeg = QImageReader::supportedImageFormats().contains("jpeg");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    char head[8];
    const qint64 n = file.read(head, sizeof head);
    if (jpeg && n >= 2 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8)
        return "jpeg";
    if (n == 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0)
        return "png";
    return {};
}

QImage oriented(QImage image, int exifOrientation)
{
    return orientation::applied(std::move(image), exifOrientation);
}

// A JPEG file read for TurboJPEG, with what the decode needs to know
// besides the pixels.
struct JpegFile
{
    QByteArray bytes;
    jpegreader::Header header;
    Metadata meta;
    int orientation = 1;
    QSize shownSize; // the full picture, orientation applied
};

// False when the file cannot be read or TurboJPEG cannot read its header
// (Qt's reader then has its say); true with an invalid shownSize when the
// header declares more than the limit.
bool readJpeg(const QString &path, JpegFile &file)
{
    raiseLimit();
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return false;
    // Segments that claim more than the file holds are refused before
    // TurboJPEG reads them, as they are before any other reader.
    if (!guard::check(path, "jpeg").isEmpty())
        return true;
    file.bytes = f.readAll();
    const auto *data = reinterpret_cast<const uchar *>(file.bytes.constData());
    file.header = jpegreader::header(data, file.bytes.size());
    if (!file.header.valid)
        return false;
    if (!guard::check(file.header.size).isEmpty())
        return true;
    file.meta = Metadata::read(path);
    file.orientation = file.meta.orientation();
    file.shownSize = file.header.size;
    if (file.orientation >= 5)
        file.shownSize.transpose();
    return true;
}

// The colour space of the file's ICC profile on its picture (or on the
// camera's thumbnail, recorded in the same colours), so that what is drawn
// of it is converted from there.
void tagProfile(QImage &image, const Metadata &meta)
{
    const QByteArray icc = meta.iccProfile();
    if (icc.isEmpty())
        return;
    const QColorSpace space = QColorSpace::fromIccProfile(icc);
    if (space.isValid())
        image.setColorSpace(space);
}

// The picture of a JPEG file at 1/reduction, upright, with the resolution
// the file states and its colour profile; the full size goes into a large
// image's memory, kept for the next one. Null when it cannot be decoded.
QImage decodeJpeg(const JpegFile &file, int reduction, DecodeControl *control)
{
    const QSize size = jpegreader::scaledSize(file.header.size, reduction);
    const QImage::Format format = jpegreader::formatOf(file.header.colours);
    QImage image;
    if (reduction == 1 && format == QImage::Format_RGB32)
        image = largeImage(size);
    if (image.isNull())
        image = QImage(size, format);
    const auto *data = reinterpret_cast<const uchar *>(file.bytes.constData());
    // On every core where the file's restart markers allow it.
    if (image.isNull() || jpegbands::decodeInto(data, file.bytes.size(), file.header, image, 0, jpegbands::kMinBandPixels, nullptr, control) == 0)
        return {};
    image = oriented(std::move(image), file.orientation);

    QBuffer buffer;
    buffer.setData(file.bytes);
    buffer.open(QIODevice::ReadOnly);
    QSize dpm = resolution::stated(jpegheader::read(buffer), file.meta);
    if (dpm.isValid()) {
        if (file.orientation >= 5)
            dpm.transpose();
        image.setDotsPerMeterX(dpm.width());
        image.setDotsPerMeterY(dpm.height());
    }
    tagProfile(image, file.meta);
    return image;
}

// The camera's own small picture (EXIF thumbnail) upright, when it covers
// atLeast and has the photo's shape: some cameras put bars above and below
// to fill a thumbnail of another shape, and those would show.
QImage exifThumbnail(const JpegFile &file, const QSize &atLeast)
{
    const QByteArray bytes = file.meta.exifThumbnail();
    if (bytes.isEmpty())
        return {};
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const jpegreader::Header header = jpegreader::header(data, bytes.size());
    if (!header.valid)
        return {};
    QSize size = header.size;
    if (file.orientation >= 5)
        size.transpose();
    const QSize full = file.shownSize;
    // A thumbnail larger than its photo is no thumbnail (and a broken one
    // could declare any size).
    if (size.width() > full.width() || size.height() > full.height())
        return {};
    // The same shape within the rounding of the thumbnail's own size.
    const qint64 cross = qint64(size.width()) * full.height() - qint64(size.height()) * full.width();
    const qint64 tolerance = qint64(qMax(full.width(), full.height()));
    if (size.width() < atLeast.width() || size.height() < atLeast.height() || qAbs(cross) > tolerance)
        return {};
    // Read whole, a thumbnail far larger than the icon wants costs more than
    // the scaled decode of the photo (a hostile one claims any size in a
    // few bytes).
    if (size.width() > 4 * atLeast.width() && size.height() > 4 * atLeast.height())
        return {};
    QImage image(header.size, jpegreader::formatOf(header.colours));
    if (image.isNull() || !jpegreader::decodeInto(data, bytes.size(), header, image))
        return {};
    tagProfile(image, file.meta);
    return oriented(std::move(image), file.orientation);
}

// Regular files only (never a FIFO, whose opening could block).
bool isJpegFile(const QString &path)
{
    return QFileInfo(path).isFile() && sniffPhoto(path) == "jpeg";
}

QByteArray detectFormat(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return {};
    const QByteArray photo = sniffPhoto(path);
    if (!photo.isEmpty())
        return photo;
    // HEIF, AVIF, JPEG XL and camera raw, before Qt's readers: its TIFF
    // reader would take a raw file for the small picture in front.
    const QByteArray library = codecs::detect(path);
    if (!library.isEmpty())
        return library;
    raiseLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!readable(reader, path))
        return {};
    return reader.format().toLower();
}

QImage decodeFile(const QString &path, QByteArray *format, DecodeControl *control)
{
    if (isJpegFile(path)) {
        JpegFile file;
        if (readJpeg(path, file)) {
            if (format)
                *format = "jpeg";
            return file.shownSize.isValid() ? decodeJpeg(file, 1, control) : QImage();
        }
    }
    const QByteArray library = codecs::detect(path);
    if (!library.isEmpty()) {
        if (format)
            *format = library;
        return guard::check(path, library).isEmpty() ? codecs::decode(path, library) : QImage();
    }
    raiseLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const bool canRead = readable(reader, path);
    if (format)
        *format = canRead ? reader.format().toLower() : QByteArray();
    if (!canRead || !allowed(reader, path))
        return {};
    QImage img;
    if (!reader.read(&img))
        return {};
    // The resolution the file states, where Qt's reader does not look (EXIF).
    QSize dpm = resolution::stated(path);
    if (dpm.isValid()) {
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            dpm.transpose();
        img.setDotsPerMeterX(dpm.width());
        img.setDotsPerMeterY(dpm.height());
    }
    return img;
}

bool bandedFile(const QString &path)
{
    if (jobs::cores() < 2 || !isJpegFile(path))
        return false;
    const jpegheader::Info info = jpegheader::read(path);
    return info.valid && !info.progressive && info.restartInterval > 0 && !info.segmentPastEnd
        && qint64(info.size.width()) * info.size.height() >= 2 * jpegbands::kMinBandPixels;
}

QSize probeFile(const QString &path, QByteArray *format)
{
    const QByteArray library = codecs::detect(path);
    if (!library.isEmpty()) {
        if (format)
            *format = library;
        return guard::check(path, library).isEmpty() ? codecs::size(path, library) : QSize();
    }
    raiseLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const bool canRead = readable(reader, path);
    if (format)
        *format = canRead ? reader.format().toLower() : QByteArray();
    // A size the decode would refuse is no size: the window lays out no
    // canvas for a picture that never comes.
    if (!canRead || !allowed(reader, path))
        return {};
    return orientedSize(reader, reader.size());
}

QImage decodeReducedFile(const QString &path, const std::function<QSize(const QSize &)> &atLeast, QSize *fullSize,
                         QByteArray *format, DecodeControl *control)
{
    if (fullSize)
        *fullSize = QSize();
    if (isJpegFile(path)) {
        JpegFile file;
        if (readJpeg(path, file)) {
            if (format)
                *format = "jpeg";
            if (!file.shownSize.isValid())
                return {};
            // The reduction applies to the picture as stored: the wanted
            // size is turned with it.
            QSize wanted = atLeast(file.shownSize);
            if (file.orientation >= 5)
                wanted.transpose();
            const QImage img = decodeJpeg(file, jpegreader::reductionFor(file.header.size, wanted), control);
            if (!img.isNull() && fullSize)
                *fullSize = file.shownSize;
            return img;
        }
    }
    const QByteArray library = codecs::detect(path);
    if (!library.isEmpty()) {
        if (format)
            *format = library;
        return guard::check(path, library).isEmpty() ? codecs::reduced(path, library, atLeast, fullSize) : QImage();
    }

    raiseLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const bool canRead = readable(reader, path);
    if (format)
        *format = canRead ? reader.format().toLower() : QByteArray();
    // Refused as the full decode would be, even where the reader could
    // decode at a reduced scale: what cannot be opened shows no preview.
    if (!canRead || !allowed(reader, path))
        return {};

    const QSize raw = reader.size(); // before orientation
    const QSize oriented = orientedSize(reader, raw);
    QImage img;
    if (raw.isValid() && !raw.isEmpty() && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        // The scaled size applies before orientation, so the wanted size is
        // turned with the image. Never more than the image itself.
        QSize target = atLeast(oriented);
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            target.transpose();
        if (target.isValid() && !target.isEmpty()) {
            if (target.width() > raw.width() || target.height() > raw.height())
                target = raw;
            reader.setScaledSize(target.expandedTo(QSize(1, 1)));
        }
    }
    if (!reader.read(&img))
        return {};
    if (fullSize)
        *fullSize = oriented.isValid() ? oriented : img.size();
    return img;
}

QImage decodePreviewFile(const QString &path, const QSize &bound, QSize *fullSize, QByteArray *format)
{
    if (fullSize)
        *fullSize = QSize();
    if (isJpegFile(path)) {
        JpegFile file;
        if (readJpeg(path, file) && file.shownSize.isValid()) {
            const QImage thumb = exifThumbnail(file, scaleMin(file.shownSize, bound));
            if (!thumb.isNull()) {
                if (format)
                    *format = "jpeg";
                if (fullSize)
                    *fullSize = file.shownSize;
                return thumb;
            }
        }
    }
    return decodeReducedFile(
        path, [&bound](const QSize &full) { return scaleMin(full, bound); }, fullSize, format, nullptr);
}

} // namespace

namespace {

// Every entry point runs behind the one out-of-memory guard: a reader that
// runs out of memory leaves "not an image", with no format and no size.
template <typename Work> auto guarded(Work work, QByteArray *format, QSize *fullSize = nullptr)
{
    return outofmemory::orElse(work, [&] {
        if (format)
            format->clear();
        if (fullSize)
            *fullSize = QSize();
        return decltype(work())();
    });
}

} // namespace

QByteArray detect(const QString &path)
{
    return outofmemory::orEmpty([&] { return detectFormat(path); });
}

QImage decode(const QString &path, QByteArray *format, DecodeControl *control)
{
    return guarded([&] { return decodeFile(path, format, control); }, format);
}

bool decodesInBands(const QString &path)
{
    return outofmemory::orElse([&] { return bandedFile(path); }, [] { return false; });
}

QSize probeSize(const QString &path, QByteArray *format)
{
    return guarded([&] { return probeFile(path, format); }, format);
}

QImage decodeReduced(const QString &path, const QSize &bound, QSize *fullSize, QByteArray *format)
{
    return decodeReduced(path, [&bound](const QSize &full) { return scaleMin(full, bound); }, fullSize, format);
}

QImage decodeReduced(const QString &path, const std::function<QSize(const QSize &)> &atLeast, QSize *fullSize,
                     QByteArray *format, DecodeControl *control)
{
    return guarded([&] { return decodeReducedFile(path, atLeast, fullSize, format, control); }, format, fullSize);
}

QImage decodePreview(const QString &path, const QSize &bound, QSize *fullSize, QByteArray *format)
{
    return guarded([&] { return decodePreviewFile(path, bound, fullSize, format); }, format, fullSize);
}

QSize scaleMin(const QSize &size, const QSize &bound)
{
    if (size.width() <= 0 || size.height() <= 0 || bound.width() <= 0 || bound.height() <= 0)
        return QSize(0, 0);
    const qint64 w0 = size.width(), h0 = size.height();
    const qint64 rw = bound.height() * w0 / h0;
    // A very long, thin picture would truncate to nothing across: it keeps
    // one pixel, so that there is a thumbnail to write and to link.
    if (rw <= bound.width())
        return QSize(static_cast<int>(qMax<qint64>(1, rw)), bound.height());
    return QSize(bound.width(), static_cast<int>(qMax<qint64>(1, bound.width() * h0 / w0)));
}

} // namespace imageio
