#include "core/imageio/imageio.h"

#include "core/imageio/guard.h"
#include "core/imageio/jpegheader.h"
#include "core/imageio/jpegreader.h"
#include "core/imageio/jpegwriter.h"
#include "core/imageio/metadata.h"
#include "core/imageio/resolution.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QMutex>
#include <QSaveFile>
#include <QTimer>
#include <QTransform>

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

// The memory of one large image.
struct LargeBlock
{
    void *memory = nullptr;
    size_t bytes = 0;
};

// The memory of the large image let go last, kept for the next one: fresh
// memory costs the system a quarter of a photo's decode to hand out (it is
// cleared page by page as the decode first writes it), and stepping through
// a camera's photos or writing a gallery asks for the same size again and
// again. At most one block is kept, and only for a few seconds: a window
// left on one photo holds that photo's memory alone.
QMutex spareLock;
LargeBlock spare;
quint64 spareCount = 0; // counts the blocks kept, so that a late trim leaves a newer one
constexpr int kSpareKeptMs = 3000;

void trimSpare(quint64 which)
{
    LargeBlock gone;
    {
        QMutexLocker lock(&spareLock);
        if (spareCount != which)
            return;
        gone = spare;
        spare = LargeBlock();
    }
    std::free(gone.memory);
}

void freeLargeImage(void *info)
{
    auto *block = static_cast<LargeBlock *>(info);
    LargeBlock previous;
    quint64 which = 0;
    {
        QMutexLocker lock(&spareLock);
        previous = spare;
        spare = *block;
        which = ++spareCount;
    }
    std::free(previous.memory);
    delete block;
    // The trim runs on the application's thread, whichever thread let the
    // image go; without an application the block goes at once.
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        trimSpare(which);
        return;
    }
    QMetaObject::invokeMethod(
        app, [which] { QTimer::singleShot(kSpareKeptMs, QCoreApplication::instance(), [which] { trimSpare(which); }); },
        Qt::QueuedConnection);
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
    LargeBlock block;
    {
        // The block let go last, when it is not much larger than needed.
        QMutexLocker lock(&spareLock);
        if (spare.memory && spare.bytes >= size_t(bytes) && spare.bytes - size_t(bytes) <= size_t(bytes) / 4) {
            block = spare;
            spare = LargeBlock();
        }
    }
    if (!block.memory) {
        constexpr size_t kPage = 2 << 20;
        if (posix_memalign(&block.memory, kPage, size_t(bytes)) != 0)
            return {};
        block.bytes = size_t(bytes);
        madvise(block.memory, block.bytes, MADV_HUGEPAGE); // a hint; without it the pages are small
    }
    return QImage(static_cast<uchar *>(block.memory), size.width(), size.height(), bytesPerLine,
                  QImage::Format_RGB32, freeLargeImage, new LargeBlock(block));
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

// An EXIF orientation (1..8) applied as Qt's readers apply it: mirrored
// and flipped first, then turned a quarter clockwise; 8 is a quarter
// anticlockwise.
QImage oriented(QImage image, int orientation)
{
    if (orientation <= 1 || orientation > 8)
        return image;
    if (orientation == 8)
        return image.transformed(QTransform().rotate(270));
    const bool mirror = orientation == 2 || orientation == 3 || orientation == 7;
    const bool flip = orientation == 3 || orientation == 4 || orientation == 5;
    if (mirror || flip)
        image = std::move(image).mirrored(mirror, flip);
    if (orientation >= 5)
        image = image.transformed(QTransform().rotate(90));
    return image;
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

// The picture of a JPEG file at 1/reduction, upright, with the resolution
// the file states and its colour profile; the full size goes into memory
// the system may back with large pages. Null when it cannot be decoded.
QImage decodeJpeg(const JpegFile &file, int reduction)
{
    const QSize size = jpegreader::scaledSize(file.header.size, reduction);
    const QImage::Format format = jpegreader::formatOf(file.header.colours);
    QImage image;
    if (reduction == 1 && format == QImage::Format_RGB32)
        image = largeImage(size);
    if (image.isNull())
        image = QImage(size, format);
    const auto *data = reinterpret_cast<const uchar *>(file.bytes.constData());
    if (image.isNull() || !jpegreader::decodeInto(data, file.bytes.size(), file.header, image))
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
    const QByteArray icc = file.meta.iccProfile();
    if (!icc.isEmpty()) {
        const QColorSpace space = QColorSpace::fromIccProfile(icc);
        if (space.isValid())
            image.setColorSpace(space);
    }
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
    QImage image(header.size, jpegreader::formatOf(header.colours));
    if (image.isNull() || !jpegreader::decodeInto(data, bytes.size(), header, image))
        return {};
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
    raiseLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!readable(reader, path))
        return {};
    return reader.format().toLower();
}

QImage decodeFile(const QString &path, QByteArray *format)
{
    if (isJpegFile(path)) {
        try {
            JpegFile file;
            if (readJpeg(path, file)) {
                if (format)
                    *format = "jpeg";
                return file.shownSize.isValid() ? decodeJpeg(file, 1) : QImage();
            }
        } catch (const std::bad_alloc &) {
            return {}; // a file too large to hold
        }
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

QImage decodeReducedFile(const QString &path, const std::function<QSize(const QSize &)> &atLeast, QSize *fullSize,
                         QByteArray *format)
{
    if (fullSize)
        *fullSize = QSize();
    if (isJpegFile(path)) {
        try {
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
                const QImage img = decodeJpeg(file, jpegreader::reductionFor(file.header.size, wanted));
                if (!img.isNull() && fullSize)
                    *fullSize = file.shownSize;
                return img;
            }
        } catch (const std::bad_alloc &) {
            return {};
        }
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
        try {
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
        } catch (const std::bad_alloc &) {
            return {};
        }
    }
    return decodeReducedFile(
        path, [&bound](const QSize &full) { return scaleMin(full, bound); }, fullSize, format);
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
    return decodeReduced(path, [&bound](const QSize &full) { return scaleMin(full, bound); }, fullSize, format);
}

QImage decodeReduced(const QString &path, const std::function<QSize(const QSize &)> &atLeast, QSize *fullSize,
                     QByteArray *format)
{
    try {
        return decodeReducedFile(path, atLeast, fullSize, format);
    } catch (const std::bad_alloc &) {
        if (fullSize)
            *fullSize = QSize();
        if (format)
            format->clear();
        return {};
    }
}

QImage decodePreview(const QString &path, const QSize &bound, QSize *fullSize, QByteArray *format)
{
    try {
        return decodePreviewFile(path, bound, fullSize, format);
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
