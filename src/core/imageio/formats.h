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
    const char *saveFilter;  // the save dialog's entry for it
    bool inGalleryListing;   // listed by the gallery window's folder view
};

// The five named formats, in the save dialog's order (JPEG first).
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

// Every ending of the table with its dot (".jpg", ".jpeg", ...).
QStringList endings();

// Name patterns of the image files a folder listing shows ("*.jpg", ...),
// matched ignoring letter case. The image window steps through all five
// formats; the gallery window's folder view leaves XPM out.
enum class Listing { ImageWindow, Gallery };
QStringList namePatterns(Listing listing);

} // namespace formats
