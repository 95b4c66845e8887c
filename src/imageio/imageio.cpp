#include "imageio/imageio.h"

#include "imageio/guard.h"
#include "imageio/jpegheader.h"
#include "imageio/jpegwriter.h"
#include "imageio/metadata.h"
#include "imageio/resolution.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <cstdlib>
#include <cstring>
#include <new>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace imageio {
namespace {

// Qt keeps the limit in one plain variable that every reader reads. It is
// written once, by whichever thread reads an image first; the others wait
// for that at the guard of the static, so no reader sees it change.
void raiseLimit()
{
    static const bool raised = [] {
        QImageReader::setAllocationLimit(kAllocationLimitMB);
        return true;
    }();
    Q_UNUSED(raised);
}

// Below this many bytes an image is allocated the ordinary way.
constexpr qsizetype kLargeImageBytes = 8 << 20;

void freeLargeImage(void *memory)
{
    std::free(memory);
}

// An empty w x h RGB32 image whose memory the system may back with large
// pages. A photo of 24 megapixels is 96 MB: in ordinary 4 KB pages its first
// writing costs some 23,000 page faults, as long as the decode itself takes
// for a third of it; in 2 MB pages a few dozen. Null when the memory cannot be
// had, and the caller then lets the reader allocate.
QImage largeImage(const QSize &size)
{
    const qsizetype bytesPerLine = qsizetype(size.width()) * 4;
    const qsizetype bytes = bytesPerLine * size.height();
    if (size.isEmpty() || bytes < kLargeImageBytes || bytes / bytesPerLine != size.height())
        return {};
#ifdef Q_OS_LINUX
    constexpr size_t kPage = 2 << 20;
    void *memory = nullptr;
    if (posix_memalign(&memory, kPage, size_t(bytes)) != 0)
        return {};
    madvise(memory, size_t(bytes), MADV_HUGEPAGE); // a hint; without it the pages are small
    return QImage(static_cast<uchar *>(memory), size.width(), size.height(), bytesPerLine,
                  QImage::Format_RGB32, freeLargeImage, memory);
#else
    return {};
#endif
}

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

QByteArray detectFormat(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return {};
    const QByteArray photo = sniffPhoto(path);
    if (!photo.isEmpty())
        return photo;
    raiseLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!readable(reader, path))
        return {};
    return reader.format().toLower();
}

QImage decodeFile(const QString &path, QByteArray *format)
{
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
    // The JPEG reader decodes into an image of the right size and format
    // that it is given, instead of allocating its own.
    if (reader.format() == "jpeg" && reader.imageFormat() == QImage::Format_RGB32)
        img = largeImage(reader.size());
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

QSize probeFile(const QString &path, QByteArray *format)
{
    raiseLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const bool canRead = readable(reader, path);
    if (format)
        *format = canRead ? reader.format().toLower() : QByteArray();
    if (!canRead || !guard::check(path, reader.format().toLower()).isEmpty())
        return {};
    return orientedSize(reader, reader.size());
}

QImage decodeReducedFile(const QString &path, const QSize &bound, QSize *fullSize, QByteArray *format)
{
    raiseLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const bool canRead = readable(reader, path);
    if (format)
        *format = canRead ? reader.format().toLower() : QByteArray();
    if (fullSize)
        *fullSize = QSize();
    // Refused as the full decode would be, even where the reader could
    // decode at a reduced scale: what cannot be opened shows no preview.
    if (!canRead || !allowed(reader, path))
        return {};

    const QSize raw = reader.size(); // before orientation
    const QSize oriented = orientedSize(reader, raw);
    QImage img;
    if (raw.isValid() && !raw.isEmpty() && bound.isValid() && !bound.isEmpty()
        && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        // The scaled size applies before orientation, so bound is turned
        // with the image. Ask for no more than needed, and never for more
        // than the image itself: the reader then decodes at a reduced scale.
        QSize b = bound;
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            b.transpose();
        QSize target = raw.scaled(b, Qt::KeepAspectRatio);
        if (target.width() > raw.width() || target.height() > raw.height())
            target = raw;
        target = target.expandedTo(QSize(1, 1));
        reader.setScaledSize(target);
    }
    if (!reader.read(&img))
        return {};
    if (fullSize)
        *fullSize = oriented.isValid() ? oriented : img.size();
    return img;
}

} // namespace

// A reader that runs out of memory throws std::bad_alloc from deep inside
// the toolkit (a text image's line, a colour table); the file is then not an
// image, like any other that cannot be read, instead of the end of the
// program.
QByteArray detect(const QString &path)
{
    try {
        return detectFormat(path);
    } catch (const std::bad_alloc &) {
        return {};
    }
}

QImage decode(const QString &path, QByteArray *format)
{
    try {
        return decodeFile(path, format);
    } catch (const std::bad_alloc &) {
        if (format)
            format->clear();
        return {};
    }
}

QSize probeSize(const QString &path, QByteArray *format)
{
    try {
        return probeFile(path, format);
    } catch (const std::bad_alloc &) {
        if (format)
            format->clear();
        return {};
    }
}

QImage decodeReduced(const QString &path, const QSize &bound, QSize *fullSize, QByteArray *format)
{
    try {
        return decodeReducedFile(path, bound, fullSize, format);
    } catch (const std::bad_alloc &) {
        if (fullSize)
            *fullSize = QSize();
        if (format)
            format->clear();
        return {};
    }
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

QString refusedTarget(const QString &path)
{
    if (QFileInfo(path).isSymLink())
        return QStringLiteral("%1 is a symbolic link; it is left as it is, and what it points to too").arg(path);
    return {};
}

namespace {

// QSaveFile follows a symbolic link at its name and replaces the link's
// target: such a name is not opened at all.
bool openSaved(QSaveFile &file)
{
    return refusedTarget(file.fileName()).isEmpty() && file.open(QIODevice::WriteOnly);
}

} // namespace

bool write(const QImage &image, const QString &path, const QByteArray &qtFmt, int quality)
{
    if (image.isNull() || path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!openSaved(file))
        return false;
    QImageWriter writer(&file, qtFmt);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image)) {
        file.cancelWriting();
        return false;
    }
    return commitSaved(file);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    if (bytes.isEmpty() || path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!openSaved(file))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        file.commit(); // refused: removes the temporary file
        return false;
    }
    return commitSaved(file);
}

namespace {

// The source JPEG turned without decoding, when that gives exactly image:
// the photo on disk must still be the one whose pixels were turned (same
// size once turned), and its size must allow a perfect transform.
QByteArray turnedLosslessly(const QImage &image, const PhotoSource &source, const jpegheader::Info &info,
                            const Metadata &meta)
{
    if (source.quarterTurns < 0 || !info.valid)
        return {};
    const int orientation = meta.orientation();
    QSize turned = info.size;
    if ((orientation >= 5) != (source.quarterTurns % 2 == 1))
        turned.transpose();
    if (turned != image.size())
        return {};
    QFile file(source.path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return jpegwriter::transform(file.readAll(), orientation, source.quarterTurns, info.progressive);
}

QByteArray encodedJpeg(const QImage &image, const PhotoSource &source, const PhotoOptions &options,
                       const Metadata &meta)
{
    const jpegheader::Info info = source.path.isEmpty() ? jpegheader::Info() : jpegheader::read(source.path);
    const QByteArray turned = turnedLosslessly(image, source, info, meta);
    if (!turned.isEmpty())
        return turned;
    int quality = 95;
    jpegheader::Subsampling subsampling = jpegheader::Subsampling::S444;
    if (info.valid) {
        subsampling = info.subsampling;
        if (info.quality > 0)
            quality = info.quality;
    }
    if (options.jpegQuality >= 1 && options.jpegQuality <= 100)
        quality = options.jpegQuality;
    return jpegwriter::encode(image, quality, subsampling);
}

} // namespace

bool writePhoto(const QImage &image, const QString &path, const QByteArray &qtFormat, const PhotoSource &source,
                const PhotoOptions &options)
{
    if (image.isNull() || path.isEmpty())
        return false;
    QByteArray format = qtFormat.toLower();
    if (format == "jpg")
        format = "jpeg";
    else if (format == "tif")
        format = "tiff";
    const Metadata meta = Metadata::heldBy(format) ? Metadata::read(source.path) : Metadata();

    QByteArray bytes;
    if (format == "jpeg") {
        bytes = encodedJpeg(image, source, options, meta);
    } else if (meta.isEmpty()) {
        return write(image, path, format); // nothing to add: straight to the file
    } else {
        // Qt's writers put the profile of the image's colour space into the
        // file under its proper name; a decode that applied an EXIF
        // orientation has lost it.
        QImage profiled = image;
        const QColorSpace space = QColorSpace::fromIccProfile(meta.iccProfile());
        if (space.isValid() && image.colorSpace() != space)
            profiled.setColorSpace(space);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (!writer.write(profiled))
            return false;
    }
    if (bytes.isEmpty())
        return false;
    // Metadata that cannot be written there leaves the photo without it.
    meta.writeInto(bytes, image.size());
    return writeFile(path, bytes);
}

bool commitSaved(QSaveFile &file)
{
    // A link put at the name while the file was written: QSaveFile may have
    // taken its target for the file to replace.
    if (!file.flush() || file.error() != QFileDevice::NoError || !refusedTarget(file.fileName()).isEmpty()) {
        file.cancelWriting();
        file.commit(); // refused: removes the temporary file
        return false;
    }
    return file.commit();
}

} // namespace imageio
