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
    const char *endings[2];  // file endings, the usual one first; the second may be null
    const char *icon;        // embedded icon of a file in this format
    const char *saveFilter;  // the save dialog's entry for it; null when not offered
    bool inGalleryListing;   // listed by the gallery window's folder view
};

// The formats read and listed: the five named ones first, in the save
// dialog's order (JPEG first), then those only read.
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
