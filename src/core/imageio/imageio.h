#pragma once
// The one place where Framzo reads and writes image files and names formats.
// Every window, the folder tree, the gallery and capture go through here, so
// that format detection, EXIF orientation and the size limit are the same
// everywhere.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

class QSaveFile;

namespace imageio {

// Format of the file at path as decided from its content (Qt's lower-case
// name: "jpeg", "png", "bmp", "tiff", "xpm", "gif", ...), or empty when the
// content is not an image Qt can read. Reads only the header. Like every
// reading helper here, it reads regular files only (never a FIFO or a
// device, which could block). What the guard refuses (imageio/guard.h: too
// many pixels, a broken structure, an oversized text image) is still
// detected, but decode, decodeReduced and probeSize treat it as undecodable,
// as they treat a reader running out of memory.
QByteArray detect(const QString &path);

// Full decode: format from content, EXIF orientation applied, the
// resolution the file states (resolution::stated) set on the image, and
// large photos allowed. Returns a null image when the file cannot be decoded;
// *format (if given) receives the detected Qt format, even when the pixels
// could not be decoded.
QImage decode(const QString &path, QByteArray *format = nullptr);

// Pixel size of the image as shown (EXIF orientation applied), read from the
// header only. Invalid size when unknown.
QSize probeSize(const QString &path, QByteArray *format = nullptr);

// A reduced decode for display copies, previews and icons: the whole
// picture, oriented, at a size that covers the size atLeast(full size)
// gives, where the format can decode at a reduced scale (JPEG at 1/2, 1/4,
// 1/8 through TurboJPEG: the full picture is never built), else at full
// size. The caller scales it to the exact size it shows. *fullSize receives
// the full oriented size (invalid when not decodable). The bound form wants
// scaleMin(full size, bound).
QImage decodeReduced(const QString &path, const QSize &bound, QSize *fullSize = nullptr,
                     QByteArray *format = nullptr);
QImage decodeReduced(const QString &path, const std::function<QSize(const QSize &)> &atLeast,
                     QSize *fullSize = nullptr, QByteArray *format = nullptr);

// For icons and small previews: the JPEG's EXIF thumbnail (upright) when it
// covers scaleMin(full size, bound) and has the photo's shape, else
// decodeReduced. Arguments as there.
QImage decodePreview(const QString &path, const QSize &bound, QSize *fullSize = nullptr,
                     QByteArray *format = nullptr);

// The largest size within bound that keeps size's aspect ratio, computed
// with truncating integer arithmetic: smaller sizes are enlarged, larger
// ones reduced. The height is tried first: bound's height with the width
// that goes with it when that width fits, else bound's width with its
// height; neither is less than 1 (1000 x 2 in 200 x 150 gives 200 x 1). An
// empty size or bound gives QSize(0, 0).
QSize scaleMin(const QSize &size, const QSize &bound);

// Why nothing may be written at path, for the user; empty when it may be.
// A symbolic link stands there: a writer would write through it, replacing
// whatever file it points to (anywhere) or creating the one a dangling link
// names. Every writer here refuses such a path and leaves the link and its
// target as they are.
QString refusedTarget(const QString &path);

// Writes image to path in the given Qt format through QSaveFile, so that a
// failed or interrupted write never leaves a half-written file where a good
// one stood. quality -1 takes the format's default. Returns success; false
// also for a refused target (refusedTarget).
bool write(const QImage &image, const QString &path, const QByteArray &qtFormat, int quality = -1);

// Writes bytes (not empty) to path as write() writes an image.
bool writeFile(const QString &path, const QByteArray &bytes);

// How the photos the program makes (cuts, saved photos) are written.
struct PhotoOptions
{
    // The quality of the JPEGs it encodes, 1..100; 0 takes the source's own,
    // estimated from a JPEG source's quantisation tables, and 95 for a source
    // in another format.
    int jpegQuality = 0;
};

// Where the pixels of a photo to be written came from.
struct PhotoSource
{
    QString path; // the file they were decoded from; empty when none
    // The quarter turns clockwise when they are the only change made to the
    // decoded pixels (0: none at all); -1 when the pixels were changed
    // otherwise (cut, inverted, colours adjusted).
    int quarterTurns = -1;
};

// Writes image, derived from the photo source, to path in the given Qt
// format, as write() does, keeping what the photo was: its EXIF, IPTC, XMP
// and colour profile go along where the format holds them (JPEG, PNG, TIFF),
// with the orientation set to 1 (the pixels are upright), the embedded
// thumbnail dropped and the new pixel size recorded; its resolution stays.
// A JPEG is encoded with the source's quality and chroma subsampling (a
// JPEG source) or quality 95 and full colour (any other), unless options
// fix the quality. A JPEG whose only change is quarter turns is turned
// without decoding when its size allows a perfect transform. A source whose
// metadata cannot be read still gives the photo, without metadata.
bool writePhoto(const QImage &image, const QString &path, const QByteArray &qtFormat, const PhotoSource &source,
                const PhotoOptions &options = {});

// Commits file (open for writing) only when everything written reached the
// disk and no symbolic link has appeared at its name meanwhile; otherwise
// discards the temporary file, so the old file stays, and returns false.
// Qt 6.4's QSaveFile::commit() misses a write that fails as its buffer is
// flushed (a full disk) and would put the short file in place of the good
// one. Every QSaveFile of the program ends through here.
bool commitSaved(QSaveFile &file);

// The allocation limit in megabytes that every reader of the program allows
// (Qt's default 128 MB would refuse a 36-megapixel photo). It is set once for
// the process, before the first image is read on any thread.
constexpr int kAllocationLimitMB = 2048;

} // namespace imageio
