#include "imageio.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

namespace imageio {
namespace {

void raiseLimit()
{
    // Static in Qt; setting it on every call is cheap and keeps callers from
    // depending on start-up order.
    if (QImageReader::allocationLimit() != kAllocationLimitMB)
        QImageReader::setAllocationLimit(kAllocationLimitMB);
}

QSize orientedSize(const QImageReader &reader, QSize size)
{
    if (size.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        size.transpose();
    return size;
}

} // namespace

QByteArray detect(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return {};
    return reader.format().toLower();
}

QString formatName(const QByteArray &qtFormat)
{
    const QByteArray f = qtFormat.toLower();
    if (f.isEmpty())
        return {};
    if (f == "jpeg" || f == "jpg")
        return QStringLiteral("JPEG");
    if (f == "tiff" || f == "tif")
        return QStringLiteral("TIF");
    return QString::fromLatin1(f).toUpper();
}

QByteArray qtFormat(const QString &name)
{
    const QString n = name.toUpper();
    if (n == QLatin1String("TIF") || n == QLatin1String("TIFF"))
        return "tiff";
    if (n == QLatin1String("JPEG") || n == QLatin1String("JPG"))
        return "jpeg";
    return n.toLower().toLatin1();
}

QString iconName(const QString &name)
{
    if (name == QLatin1String("JPEG"))
        return QStringLiteral("iconJPG.bmp");
    if (name == QLatin1String("PNG"))
        return QStringLiteral("iconPNG.bmp");
    if (name == QLatin1String("BMP"))
        return QStringLiteral("iconBMP.bmp");
    if (name == QLatin1String("TIF"))
        return QStringLiteral("iconTIF.bmp");
    if (name == QLatin1String("XPM"))
        return QStringLiteral("iconXPM.bmp");
    return QStringLiteral("pic.xpm");
}

QImage decode(const QString &path, QByteArray *format)
{
    raiseLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const bool readable = reader.canRead();
    if (format)
        *format = readable ? reader.format().toLower() : QByteArray();
    if (!readable)
        return {};
    QImage img;
    if (!reader.read(&img))
        return {};
    return img;
}

QSize probeSize(const QString &path, QByteArray *format)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const bool readable = reader.canRead();
    if (format)
        *format = readable ? reader.format().toLower() : QByteArray();
    if (!readable)
        return {};
    return orientedSize(reader, reader.size());
}

QImage decodeReduced(const QString &path, const QSize &bound, QSize *fullSize, QByteArray *format)
{
    raiseLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const bool readable = reader.canRead();
    if (format)
        *format = readable ? reader.format().toLower() : QByteArray();
    if (fullSize)
        *fullSize = QSize();
    if (!readable)
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

QSize scaleMin(const QSize &size, const QSize &bound)
{
    if (size.width() <= 0 || size.height() <= 0 || bound.width() <= 0 || bound.height() <= 0)
        return QSize(0, 0);
    const qint64 w0 = size.width(), h0 = size.height();
    const qint64 rw = bound.height() * w0 / h0;
    if (rw <= bound.width())
        return QSize(static_cast<int>(rw), bound.height());
    return QSize(bound.width(), static_cast<int>(bound.width() * h0 / w0));
}

void allowLargeImages()
{
    raiseLimit();
}

bool write(const QImage &image, const QString &path, const QByteArray &qtFmt, int quality)
{
    if (image.isNull() || path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, qtFmt);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace imageio
