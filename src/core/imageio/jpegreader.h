#pragma once
// JPEG decoding through libjpeg-turbo (TurboJPEG reads the header; the
// libjpeg interface decodes, so that a decode no longer wanted can stop
// between rows): straight into an image's own memory, and at 1/2, 1/4 or
// 1/8 scale, where the library leaves out most of the work instead of
// making the whole picture and scaling it down.
// The pixels come out as Qt's JPEG reader gives them (same library, same
// settings): colour as RGB32, grey as Grayscale8, CMYK turned into RGB32 the
// way Qt turns it. Orientation, resolution and colour profile are the decode
// helper's (imageio).

#include <QImage>

#include "core/imageio/decodecontrol.h"
#include <QSize>

namespace jpegreader {

enum class Colours { Colour, Grey, Cmyk };

struct Header
{
    bool valid = false; // TurboJPEG can decode it
    QSize size;         // as stored, before any EXIF orientation
    Colours colours = Colours::Colour;
};

// The header of a whole JPEG file in memory.
Header header(const uchar *data, qsizetype size);

// The size a picture of size decodes to at 1/reduction (1, 2, 4 or 8),
// rounded up as libjpeg rounds.
QSize scaledSize(const QSize &size, int reduction);

// The largest of the reductions 8, 4, 2 and 1 at which size still covers
// atLeast both ways; 1 when atLeast is not a valid size.
int reductionFor(const QSize &size, const QSize &atLeast);

// The format the pixels of a file with these colours come out in.
QImage::Format formatOf(Colours colours);

// Decodes the JPEG into image, which must already have one of its scaled
// sizes and formatOf(its colours). A file cut short or slightly damaged
// gives the picture as far as it goes, as Qt's reader does; false when the
// data cannot be decoded at all. *damaged (if given) tells whether the
// library found something wrong on the way (then the picture may be partly
// made up). With a control, the rows made are counted there, and once it is
// stopped the decode ends within a row of MCUs and gives false.
bool decodeInto(const uchar *data, qsizetype size, const Header &header, QImage &image, bool *damaged = nullptr,
                DecodeControl *control = nullptr);

} // namespace jpegreader
