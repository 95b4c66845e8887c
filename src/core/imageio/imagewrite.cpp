#include "core/imageio/imagewrite.h"

#include "core/imageio/jpegheader.h"
#include "core/imageio/jpegwriter.h"
#include "core/imageio/metadata.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace imageio {

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
        const QByteArray icc = meta.iccProfileFor(image.size());
        const QColorSpace space = icc.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(icc);
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

bool writeWebJpeg(const QImage &image, const QString &path, int quality, const Metadata *metadata)
{
    if (image.isNull() || path.isEmpty())
        return false;
    QByteArray bytes = jpegwriter::encode(image, quality, jpegheader::Subsampling::S420);
    if (bytes.isEmpty())
        return false;
    if (metadata && !metadata->isEmpty())
        metadata->writeInto(bytes, image.size());
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
