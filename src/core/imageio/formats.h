#pragma once
// The one table of the image formats Framzo names: how Qt calls each, how
// the program calls it, the file endings that go with it, its icon, and how
// the save dialog offers it. Every list of image names in the program comes
// from here.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace formats {

struct Format
{
    const char *qtName;      // Qt's reader/writer name: "jpeg"
    const char *name;        // the program's name: "JPEG"
    const char *endings[11]; // file endings, the usual one first; the rest may be null
    const char *icon;        // embedded icon of a file in this format
    const char *saveFilter;  // the save dialog's entry for it; null when not offered
    bool inGalleryListing;   // listed by the gallery window's folder view
};

// The formats read and listed: those the save dialog offers first, in its
// order (JPEG first), then those only read.
const QList<Format> &table();

// Qt's format name -> the program's name: "JPEG", "PNG", "BMP", "TIF", "XPM";
// any other upper-cased ("GIF"); empty stays empty.
QString formatName(const QByteArray &qtFormat);

// The program's name -> Qt's name for writing: "TIF" -> "tiff", "JPEG" ->
// "jpeg", others lower-cased.
QByteArray qtFormat(const QString &formatName);

// The embedded icon for a program format name: "iconJPG.bmp" for "JPEG" and
// so on, "pic.xpm" for anything else.
QString iconName(const QString &formatName);

// Whether the program writes files in this Qt format ("jpeg", "png", ...;
// "jpg" and "tif" too): JPEG through TurboJPEG, the rest through Qt's
// writers. GIF, HEIF, AVIF, JPEG XL and camera raw are read only.
bool writable(const QByteArray &qtFormat);

// The Qt format in which a photo read in qtFormat is written where the user
// names no format (a cut, the gallery's copies and thumbnails): its own
// where the program writes it, else "jpeg".
QByteArray writtenFormat(const QByteArray &qtFormat);

// The name a file written from path in writtenFormat(qtFormat) takes: path
// itself when that is qtFormat; else path with the last ending of its file
// name replaced by ".jpg", or ".jpg" added when it has none: a cut of
// IMG_1.HEIC is IMG_1.jpg, one of scan.tga is scan.jpg.
QString writtenName(const QString &path, const QByteArray &qtFormat);

// Which files of a folder are its images: the one rule, used by Page Up
// and Page Down, the folder tree and the gallery window alike. A file is an
// image of its folder when its name ends in one of the table's endings,
// ignoring letter case. The gallery window leaves out the formats no web
// page shows (XPM).
enum class Listing { ImageWindow, Gallery };
bool isImageName(const QString &name, Listing listing = Listing::ImageWindow);
// The image files of folder (names only; files, not folders named like an
// image; hidden ones left out), sorted by name ignoring case.
QStringList listImages(const QString &folder, Listing listing = Listing::ImageWindow);

} // namespace formats
