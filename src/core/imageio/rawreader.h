#pragma once
// Camera raw files (DNG, CR2, CR3, NEF, ARW, RAF, ORF, RW2, PEF and the
// others LibRaw knows) through LibRaw. Two pictures come from one file: the
// camera's own preview (usually a JPEG as large as the screen or the photo),
// which shows at once, and the photo itself, demosaiced with the camera's
// white balance into sRGB at 16 bits a channel, which takes seconds and is
// what a cut or a save uses. Both are turned upright by the rotation LibRaw
// reads from the file.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace rawreader {

// The bits a pixel of decode()'s pictures has (RGBX64: 16 bits a channel).
constexpr int kDepth = 64;

// Whether head (the file's first bytes; 16 are enough) may begin a camera
// raw file: TIFF-structured ones (DNG, CR2, NEF, ARW, PEF, and ORF and RW2
// with marks of their own), Fuji's RAF, Canon's CR3 (an ISO box file of
// brand crx). Only such files are put to LibRaw; a plain TIFF passes this
// test and is then turned down by isRaw().
bool mayBeRaw(const QByteArray &head);

// Whether LibRaw takes the file for a camera raw file (its header only).
bool isRaw(const QString &path);

// The largest picture the header declares (the sensor's data and the
// photo made from it, the larger by pixels); invalid when the file is not a
// raw LibRaw reads.
QSize declaredSize(const QString &path);

// The photo's size upright, as decode() gives it; invalid when unreadable.
QSize size(const QString &path);

// The photo: demosaiced, the camera's white balance, sRGB, 16 bits a
// channel (RGBX64), upright, with the resolution the file states. Null when
// it cannot be decoded.
QImage decode(const QString &path);

// The camera's preview, upright, at the smallest of 1/8, 1/4, 1/2 and 1 of
// its size that covers atLeast(the photo's size) where it is a JPEG. A file
// without a preview that can be decoded gives the photo decoded at half
// size (a quarter of the work of decode()); null when neither can be had.
// *fullSize receives the photo's upright size (as decode() gives it).
QImage preview(const QString &path, const std::function<QSize(const QSize &)> &atLeast, QSize *fullSize);

} // namespace rawreader
