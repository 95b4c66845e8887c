#pragma once
// The copy of a photo that an image window shows: fitted into the workspace
// by the window's rule and scaled smoothly. It is made on a worker from a
// reduced decode (a JPEG at 1/2, 1/4 or 1/8, the smallest that still covers
// the copy), so that the photo is on screen before its full decode could
// have finished. Such a copy averages the pixels a little differently from
// one made from the full image (on a noisy 24 MP photo by up to 12 levels of
// 255 in single pixels, 1.6 on average); the window puts the full decode's
// own copy in its place as soon as that comes.

#include "core/imageio/filestamp.h"
#include "core/photo/photodecode.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace displaycopy {

// The display size for an image of W x H in a workspace of WW x WH: the
// height limited to WH - 120, the width following the aspect ratio, then
// limited to WW - 40 with the height following it; truncating arithmetic.
// 0 x 0 for an empty image.
QSize displaySize(int W, int H, int WW, int WH);

// The size of the copy of an image of imageSize in that workspace: the
// image fitted inside the display size, truncating.
QSize copySize(const QSize &imageSize, const QSize &workspace);

// image (full size or a reduced decode) smoothly scaled to size.
QImage scaled(const QImage &image, const QSize &size);

// What is drawn of image at size: scaled, then put into the screen's colours
// (colourmanage::toDisplay). image itself is never converted: cuts and saves
// are made from it.
QImage shown(const QImage &image, const QSize &size);

// The part source (image pixels) of image as drawn at target size on
// screen: copied, scaled (smoothly when smaller, by repeating pixels when
// larger, so that a zoomed photo shows its own pixels), put into the
// screen's colours. Only that part is touched: a zoomed view of a 50 MP
// photo draws what is visible, not the photo. A null image when source
// does not lie on image or target is empty.
QImage region(const QImage &image, const QRect &source, const QSize &target);

struct Copy
{
    QString path;
    bool ok = false;     // false: the file could not be read as an image
    QImage copy;         // the display copy
    QSize fullSize;      // the photo at full resolution, upright
    QByteArray format;   // Qt's name, as imageio::decode gives it
    int depth = 0;       // bits per pixel of the full decode
    QSize dotsPerMeter;  // the resolution of the full decode
    QImage full;         // with keepFull, the full image of a format decoded whole anyway
    FileStamp stamp;     // the file as it was while it was read
    quint64 colours = 0; // colourmanage::displayGeneration() the copy was converted under
};

// Whether the copy of a photo in this format (Qt's name, as imageio::detect
// gives it) comes from a quick reduced decode, its full decode following on
// its own: a JPEG (TurboJPEG at 1/2, 1/4, 1/8) and a camera raw file (the
// camera's own preview; the photo is developed behind it). Photos in other
// formats are decoded whole for their copy, and the full image comes along.
bool fromReduced(const QByteArray &format);

// Reads the file at path and makes its copy for a workspace of that size:
// from a reduced decode where fromReduced(), else from the whole picture,
// which with keepFull comes along (it need not be decoded again). A raw
// file's copy states the depth of the photo developed (16 bits a channel),
// not that of its 8-bit preview. With keepFull, a JPEG that decodes on every
// core at once (imageio::decodesInBands) is decoded in full, and its copy
// made from that image: the full image comes along with it. A JPEG's decode
// ends early once control (if given) is stopped, and the copy is not ok.
Copy make(const QString &path, const QSize &workspace, bool keepFull, DecodeControl *control = nullptr);

// The copy of path made from a decode of it (reduced or full; the full image
// comes along in it).
Copy fromDecoded(const QString &path, const photodecode::Decoded &decoded, const QSize &workspace);
// Whether a decode is large enough for the copy in that workspace.
bool covers(const photodecode::Decoded &decoded, const QSize &workspace);

} // namespace displaycopy
