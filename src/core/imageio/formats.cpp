#include "core/imageio/formats.h"

namespace formats {

const QList<Format> &table()
{
    // The save dialog's "Jpeg (*.jpg *jpeg)" has always been spelt so; users
    // know the entry by it.
    static const QList<Format> rows = {
        {"jpeg", "JPEG", {".jpg", ".jpeg"}, "iconJPG.bmp", "Jpeg (*.jpg *jpeg)", true},
        {"bmp", "BMP", {".bmp", nullptr}, "iconBMP.bmp", "Bitmaps (*.bmp)", true},
        {"png", "PNG", {".png", nullptr}, "iconPNG.bmp", "PNG (*.png)", true},
        {"tiff", "TIF", {".tif", ".tiff"}, "iconTIF.bmp", "TIFF (*.tif *.tiff)", true},
        {"xpm", "XPM", {".xpm", nullptr}, "iconXPM.bmp", "XPM (*.xpm)", false},
    };
    return rows;
}

QString formatName(const QByteArray &qtFormat)
{
    const QByteArray f = qtFormat.toLower();
    if (f.isEmpty())
        return {};
    if (f == "jpg")
        return QStringLiteral("JPEG");
    if (f == "tif")
        return QStringLiteral("TIF");
    for (const Format &row : table()) {
        if (f == row.qtName)
            return QString::fromLatin1(row.name);
    }
    return QString::fromLatin1(f).toUpper();
}

QByteArray qtFormat(const QString &name)
{
    const QString n = name.toUpper();
    if (n == QLatin1String("TIFF"))
        return "tiff";
    if (n == QLatin1String("JPG"))
        return "jpeg";
    for (const Format &row : table()) {
        if (n == QLatin1String(row.name))
            return row.qtName;
    }
    return n.toLower().toLatin1();
}

QString iconName(const QString &name)
{
    for (const Format &row : table()) {
        if (name == QLatin1String(row.name))
            return QString::fromLatin1(row.icon);
    }
    return QStringLiteral("pic.xpm");
}

QStringList endings()
{
    QStringList out;
    for (const Format &row : table()) {
        for (const char *ending : row.endings) {
            if (ending)
                out << QString::fromLatin1(ending);
        }
    }
    return out;
}

QStringList namePatterns(Listing listing)
{
    QStringList out;
    for (const Format &row : table()) {
        if (listing == Listing::Gallery && !row.inGalleryListing)
            continue;
        for (const char *ending : row.endings) {
            if (ending)
                out << QLatin1Char('*') + QString::fromLatin1(ending);
        }
    }
    return out;
}

} // namespace formats
