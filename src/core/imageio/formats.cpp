#include "core/imageio/formats.h"

#include <QDir>
#include <QImageWriter>

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
        {"webp", "WEBP", {".webp"}, "pic.xpm", "WebP (*.webp)", true},
        // Read, listed and stepped through; not offered by the save dialog.
        // What is cut or copied from them is written as JPEG.
        {"gif", "GIF", {".gif"}, "pic.xpm", nullptr, true},
        {"heif", "HEIF", {".heic", ".heif", ".hif"}, "pic.xpm", nullptr, true},
        {"avif", "AVIF", {".avif"}, "pic.xpm", nullptr, true},
        {"jxl", "JXL", {".jxl"}, "pic.xpm", nullptr, true},
        // Camera raw: Adobe, Canon (two), Nikon (two), Sony, Fuji, Olympus,
        // Panasonic, Pentax, Samsung.
        {"raw", "RAW", {".dng", ".cr2", ".cr3", ".nef", ".nrw", ".arw", ".raf", ".orf", ".rw2", ".pef", ".srw"},
         "pic.xpm", nullptr, true},
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

namespace {

QByteArray normalised(const QByteArray &qtFormat)
{
    const QByteArray f = qtFormat.toLower();
    if (f == "jpg")
        return "jpeg";
    if (f == "tif")
        return "tiff";
    return f;
}

} // namespace

bool writable(const QByteArray &qtFormat)
{
    static const QList<QByteArray> writers = QImageWriter::supportedImageFormats();
    const QByteArray f = normalised(qtFormat);
    return !f.isEmpty() && (f == "jpeg" || writers.contains(f));
}

QByteArray writtenFormat(const QByteArray &qtFormat)
{
    return writable(qtFormat) ? normalised(qtFormat) : QByteArray("jpeg");
}

QString writtenName(const QString &path, const QByteArray &qtFormat)
{
    if (writable(qtFormat))
        return path;
    // The last ending of the file's name, whatever it is (".HEIC", ".tga"),
    // gives way; a name that is nothing but an ending (".heic") keeps it.
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot > slash + 1)
        return path.left(dot) + QStringLiteral(".jpg");
    return path + QStringLiteral(".jpg");
}

namespace {

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

} // namespace

bool isImageName(const QString &name, Listing listing)
{
    return QDir::match(namePatterns(listing), name);
}

QStringList listImages(const QString &folder, Listing listing)
{
    const QDir dir(folder.isEmpty() ? QStringLiteral("/") : folder);
    return dir.entryList(namePatterns(listing), QDir::Files, QDir::Name | QDir::IgnoreCase);
}

} // namespace formats
