#pragma once
// The one place where Framzo reads and writes image files and names formats.
// Every window, the folder tree, the gallery and capture go through here, so
// that format detection, EXIF orientation and the size limit are the same
// everywhere.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

class QSaveFile;

namespace imageio {

// Format of the file at path as decided from its content (Qt's lower-case
// name: "jpeg", "png", "bmp", "tiff", "xpm", "gif", ...), or empty when the
// content is not an image Qt can read. Reads only the header. Like every
// reading helper here, it reads regular files only (never a FIFO or a
// device, which could block), and treats a header declaring more pixels than
// the allocation limit as undecodable (decode, decodeReduced).
QByteArray detect(const QString &path);

// Qt's format name -> the program's name: "JPEG", "PNG", "BMP", "TIF", "XPM";
// any other upper-cased ("GIF"); empty stays empty.
QString formatName(const QByteArray &qtFormat);

// The program's name -> Qt's name for writing: "TIF" -> "tiff", "JPEG" ->
// "jpeg", others lower-cased.
QByteArray qtFormat(const QString &formatName);

// The embedded icon for a program format name: "iconJPG.bmp" for "JPEG" and
// so on, "pic.xpm" for anything else.
QString iconName(const QString &formatName);

// Full decode: format from content, EXIF orientation applied, and large
// photos allowed. Returns a null image when the file cannot be decoded;
// *format (if given) receives the detected Qt format, even when the pixels
// could not be decoded.
QImage decode(const QString &path, QByteArray *format = nullptr);

// Pixel size of the image as shown (EXIF orientation applied), read from the
// header only. Invalid size when unknown.
QSize probeSize(const QString &path, QByteArray *format = nullptr);

// A reduced decode for previews and icons: the image scaled to fit inside
// bound (keeping its aspect ratio; never larger than needed). Where the
// format can decode at a reduced scale (JPEG at 1/2..1/8) the full image is
// never built. *fullSize receives the full oriented size (invalid when not
// decodable).
QImage decodeReduced(const QString &path, const QSize &bound, QSize *fullSize = nullptr,
                     QByteArray *format = nullptr);

// The largest size within bound that keeps size's aspect ratio, computed
// with truncating integer arithmetic: smaller sizes are enlarged, larger
// ones reduced. The height is tried first: bound's height with the width
// that goes with it when that width fits, else bound's width with its
// height. An empty size or bound gives QSize(0, 0).
QSize scaleMin(const QSize &size, const QSize &bound);

// Writes image to path in the given Qt format through QSaveFile, so that a
// failed or interrupted write never leaves a half-written file where a good
// one stood. quality -1 takes the format's default. Returns success.
bool write(const QImage &image, const QString &path, const QByteArray &qtFormat, int quality = -1);

// Commits file (open for writing) only when everything written reached the
// disk; otherwise discards the temporary file, so the old file stays, and
// returns false. Qt 6.4's QSaveFile::commit() misses a write that fails as
// its buffer is flushed (a full disk) and would put the short file in place
// of the good one. Every QSaveFile of the program ends through here.
bool commitSaved(QSaveFile &file);

// Raises Qt's image allocation limit to kAllocationLimitMB. decode() does
// this itself; code that decodes on several threads at once calls it first
// on its own thread, so that the shared limit is never written concurrently.
void allowLargeImages();

// The allocation limit in megabytes that decode() allows (Qt's default 128 MB
// would refuse a 36-megapixel photo).
constexpr int kAllocationLimitMB = 2048;

} // namespace imageio
