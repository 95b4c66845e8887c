#include "core/imageio/codecs.h"

#include "core/imageio/heifreader.h"
#include "core/imageio/jxlreader.h"
#include "core/imageio/rawreader.h"

#include <QFile>
#include <QFileInfo>

namespace imageio::codecs {

QByteArray detect(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(64);
    file.close();
    const QByteArray heif = heifreader::sniff(head);
    if (!heif.isEmpty())
        return heif;
    if (jxlreader::sniff(head))
        return "jxl";
    if (rawreader::mayBeRaw(head) && rawreader::isRaw(path))
        return "raw";
    return {};
}

QSize size(const QString &path, const QByteArray &format)
{
    if (format == "heif" || format == "avif")
        return heifreader::size(path);
    if (format == "jxl")
        return jxlreader::size(path);
    if (format == "raw")
        return rawreader::size(path);
    return {};
}

QImage decode(const QString &path, const QByteArray &format)
{
    if (format == "heif" || format == "avif")
        return heifreader::decode(path);
    if (format == "jxl")
        return jxlreader::decode(path);
    if (format == "raw")
        return rawreader::decode(path);
    return {};
}

QImage reduced(const QString &path, const QByteArray &format, const std::function<QSize(const QSize &)> &atLeast,
               QSize *fullSize)
{
    if (fullSize)
        *fullSize = QSize();
    QImage image;
    if (format == "raw")
        return rawreader::preview(path, atLeast, fullSize);
    if (format == "heif" || format == "avif") {
        image = heifreader::thumbnail(path, atLeast, fullSize);
        if (!image.isNull())
            return image;
    }
    image = decode(path, format);
    if (fullSize)
        *fullSize = image.isNull() ? QSize() : image.size();
    return image;
}

} // namespace imageio::codecs
