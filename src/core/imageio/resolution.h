#pragma once
// A photo's resolution as its file states it. Qt's readers take the
// resolution from a JPEG's JFIF header and a PNG's pHYs chunk, but not from
// EXIF, where most cameras put it; a camera JPEG would otherwise show and
// cut at the toolkit's 96 dpi.

#include <QSize>
#include <QString>

class Metadata;
namespace jpegheader {
struct Info;
}

namespace resolution {

// Dots per metre as the file at path states them: the JFIF density of a JPEG
// when it gives a unit (jpegheader), else the EXIF XResolution /
// YResolution with their unit, inch when none is given (Metadata). An
// invalid size when the file states neither: the reader's own value (a
// PNG's pHYs, a TIFF's tags, or the toolkit's default) then stands. A
// damaged file states nothing.
QSize stated(const QString &path);
// The same from a JPEG header and metadata that were read already (header
// invalid for a file that is not a JPEG).
QSize stated(const jpegheader::Info &header, const Metadata &meta);

// Dots per inch as shown to the user: dots per metre / 39.37, rounded
// (2834 and 2835 give 72, 3780 gives 96, 13780 gives 350).
int dotsPerInch(int dotsPerMeter);

// "350" or, when the two axes differ, "300 x 350".
QString dpiText(int dotsPerMeterX, int dotsPerMeterY);

} // namespace resolution
