#include "ui/images/mimesourcefactory.h"

#include "ui/images/embeddedimages.h"

#include <QByteArray>
#include <QList>
#include <QtEndian>

#include <cstring>
#include <memory>

namespace {

std::unique_ptr<MimeSourceFactory_framzo> gFactory;

// Rows in the table are padded to whole 32-bit words, like QImage's own.
qsizetype tableBytesPerLine(const EmbeddedImage &rec)
{
    return ((qsizetype(rec.width) * rec.depth + 31) / 32) * 4;
}

QImage decodeRecord(const EmbeddedImage &rec)
{
    if (rec.width <= 0 || rec.height <= 0)
        return {};
    const QByteArray raw = qUncompress(rec.data, qsizetype(rec.compressed));
    const qsizetype stride = tableBytesPerLine(rec);
    if (raw.size() != stride * rec.height)
        return {}; // a damaged record gives no image rather than garbage

    if (rec.depth == 8) {
        QImage img(rec.width, rec.height, QImage::Format_Indexed8);
        if (img.isNull())
            return {};
        QList<QRgb> colours(rec.numColors);
        for (int i = 0; i < rec.numColors; ++i)
            colours[i] = rec.colorTable[i];
        img.setColorTable(colours);
        for (int y = 0; y < rec.height; ++y)
            std::memcpy(img.scanLine(y), raw.constData() + y * stride, size_t(rec.width));
        return img;
    }
    if (rec.depth == 32) {
        // Opaque records carry alpha 255 in every pixel, as RGB32 requires.
        QImage img(rec.width, rec.height, rec.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (img.isNull())
            return {};
        // The table stores each pixel as a little-endian ARGB word.
        for (int y = 0; y < rec.height; ++y)
            qFromLittleEndian<quint32>(raw.constData() + y * stride, rec.width, img.scanLine(y));
        return img;
    }
    return {};
}

} // namespace

QPixmap MimeSourceFactory_framzo::data(const QString &name)
{
    auto it = mStore.constFind(name);
    if (it != mStore.constEnd())
        return *it;
    if (name.isNull())
        return {};
    const QImage img = findImage(name);
    if (img.isNull())
        return {};
    ++mDecodes;
    QPixmap pm = QPixmap::fromImage(img);
    mStore.insert(name, pm);
    return pm;
}

QImage findImage(const QString &name)
{
    for (const EmbeddedImage *rec = kEmbeddedImages; rec->data; ++rec) {
        if (QString::fromUtf8(rec->name) == name)
            return decodeRecord(*rec);
    }
    return {};
}

QStringList embeddedImageNames()
{
    QStringList names;
    for (const EmbeddedImage *rec = kEmbeddedImages; rec->data; ++rec)
        names << QString::fromUtf8(rec->name);
    return names;
}

void initImages()
{
    if (!gFactory)
        gFactory = std::make_unique<MimeSourceFactory_framzo>();
}

void cleanupImages()
{
    gFactory.reset();
}

MimeSourceFactory_framzo *imageFactory()
{
    return gFactory.get();
}

QPixmap fromMimeSource(const QString &name)
{
    return gFactory ? gFactory->data(name) : QPixmap();
}
