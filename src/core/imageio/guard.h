#pragma once
// Checks made before any image reader is let at a file. The readers trust
// what a file says about itself: a header may declare a picture of half a
// billion pixels over a few bytes of data, a PNG chunk may claim two
// gigabytes in an 84-byte file, and a text image may run to gigabytes of
// nothing. Each of those costs seconds to minutes and gigabytes of memory
// before the reader finds out. What is checked here costs a few small
// reads.
//
// Every decoding helper of imageio asks here first; so should any other
// decode path.

#include <QByteArray>
#include <QSize>
#include <QString>

namespace imageio::guard {

// The most pixels a picture may have. The largest camera photos have about
// 150 million; a picture of 250 million pixels takes a gigabyte decoded.
constexpr qint64 kMaxPixels = 250'000'000;

// The most scans a progressive JPEG may have: TurboJPEG's own limit,
// held whichever reader decodes the file. Each scan is a pass over the
// whole picture; cameras write about ten.
constexpr int kMaxScans = 500;

// The largest file in a text format (XPM, XBM, and PBM, PGM, PPM written as
// text). These spell every pixel out in characters and their readers take
// them a character at a time, holding whole lines in memory: a 4000 x 4000
// XPM with four characters a pixel is 64 MB, far more than any icon, which
// is what these formats are used for.
constexpr qint64 kMaxTextBytes = 64 << 20;

// A GIF's screen and an MNG's frame are built whole by their readers, from
// the header alone, whatever the pictures drawn on them cover. Beyond
// kFreeCanvasPixels such a canvas must be backed by the file: at most
// kCanvasPixelsPerByte pixels for each byte, far more than LZW or zlib
// ever pack into one (a 178-byte MNG declaring a frame of 130 million
// pixels took 1.6 GB).
constexpr qint64 kFreeCanvasPixels = 16 << 20;
constexpr qint64 kCanvasPixelsPerByte = 4096;

// Why the file at path, whose content was found to be of the given Qt
// format ("jpeg", "png", "xpm", ...), must not be given to a reader; empty
// when it may be. It reads the file's size and, for JPEG and PNG, the
// header's structure (every marker segment up to the image data, every
// chunk): a segment or chunk that claims more bytes than the file holds is
// refused, and so is a size those headers declare beyond kMaxPixels. A TGA
// whose declared pixels cannot fit the bytes after its header is refused
// too, and so is a GIF screen or MNG frame the file does not back. A
// progressive JPEG of more than kMaxScans scans is refused, and
// so is one whose decode (every coefficient kept until the last scan) would
// take more than a quarter of the machine's memory. The pictures inside
// ICO, CUR and ICNS files are held to the limit one by one. HEIF and AVIF ("heif", "avif") are held to the same rules box by box
// (a box past its container or the file, a picture or grid beyond the
// limit), JPEG XL ("jxl") and camera raw ("raw") to the limit for the size
// their libraries read from the header. Never reads pixel data.
QString check(const QString &path, const QByteArray &format);

// The same for a size a reader found in the header (invalid: not known):
// refused beyond kMaxPixels.
QString check(const QSize &declaredSize);

// Both: the file, then the size a reader declared for it.
QString check(const QString &path, const QByteArray &format, const QSize &declaredSize);

} // namespace imageio::guard
