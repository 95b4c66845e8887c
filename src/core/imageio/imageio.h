#pragma once
// The one place where Framzo reads image files. Every window, the folder
// tree, the gallery and capture go through here, so that format detection,
// EXIF orientation and the size limit are the same everywhere. Writing is
// imagewrite.h's.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include "core/imageio/decodecontrol.h"
#include <functional>

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
// could not be decoded. A JPEG's decode counts its rows in control (if
// given) and ends early, giving a null image, once control is stopped: for
// a photo no longer wanted.
QImage decode(const QString &path, QByteArray *format = nullptr, DecodeControl *control = nullptr);

// Whether decode() of the file at path is spread over the cores (a large
// baseline JPEG with restart markers, as cameras write them), as its header
// tells: its full decode is then ready about when a reduced decode on one
// core would be, and a caller that wants both a small copy and the full
// image does better making the copy from the full image than with two
// decodes side by side.
bool decodesInBands(const QString &path);

// Pixel size of the image as shown (EXIF orientation applied), read from the
// header only. Invalid size when unknown.
QSize probeSize(const QString &path, QByteArray *format = nullptr);

// A reduced decode for display copies, previews and icons: the whole
// picture, oriented, at a size that covers the size atLeast(full size)
// gives, where the format can decode at a reduced scale (JPEG at 1/2, 1/4,
// 1/8 through TurboJPEG: the full picture is never built), else at full
// size. The caller scales it to the exact size it shows. *fullSize receives
// the full oriented size (invalid when not decodable). The bound form wants
// scaleMin(full size, bound). control as for decode.
QImage decodeReduced(const QString &path, const QSize &bound, QSize *fullSize = nullptr,
                     QByteArray *format = nullptr);
QImage decodeReduced(const QString &path, const std::function<QSize(const QSize &)> &atLeast,
                     QSize *fullSize = nullptr, QByteArray *format = nullptr, DecodeControl *control = nullptr);

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

// The allocation limit in megabytes that every reader of the program allows
// (Qt's default 128 MB would refuse a 36-megapixel photo). It is set once for
// the process, before the first image is read on any thread.
constexpr int kAllocationLimitMB = 2048;

} // namespace imageio
