#pragma once
// Sizes between the canvas and the photo, free of widgets: centimetres at
// the photo's resolution in whole pixels, the scale between image pixels and
// canvas units, a size kept inside the photo or to a ratio, and the texts
// that tell the user what a cut will be.

#include <QRect>
#include <QSize>
#include <QString>

namespace framegeometry {

// What a frame lies on: the canvas (units of the scaled display copy), the
// full-resolution image behind it, and the image's resolution.
struct Surface
{
    QSize canvas;
    QSize image;
    int dotsPerMeterX = 0;
    int dotsPerMeterY = 0;
};

// A centimetre text times dots per centimetre, rounded to a whole pixel:
// refused when the text is not a finite number >= 0 or the result would
// not fit any image.
bool centimetrePixels(const QString &text, int dotsPerMeter, int *pixels);

// Image pixels in canvas units at the canvas's own scale (CW / W across,
// CH / H down), rounded; a size above 0 stays at least 1 unit.
QSize toCanvas(QSize pixels, const Surface &surface);

// A rectangle of size at topLeft, moved left and up as far as needed to lie
// inside an image of imageSize (never above or left of it). Null when size
// is empty or larger than the image.
QRect placeInside(QPoint topLeft, QSize size, QSize imageSize);

// width by width x ratio height / ratio width (rounded): a size that keeps
// the ratio to within one pixel. Made smaller, keeping the ratio, when the
// height would pass maxHeight. Empty when nothing of the ratio fits.
QSize keepRatio(int width, QSize ratio, int maxHeight);

// Which way a frame, a ratio or a photo lies: landscape when it is wider
// than high, portrait when it is higher than wide, neither when square or
// unknown.
enum class Orientation { None, Landscape, Portrait };
Orientation orientationOf(double width, double height);
// The orientation of the Cut bar's two numbers (None when either is not a
// number above 0).
Orientation orientationOf(const QString &widthText, const QString &heightText);
// Landscape for Portrait and the other way round; None stays None.
Orientation opposite(Orientation o);

// What Return would write, height first as the Cut bar's fields: "Cut:
// 1240 x 1791 pixels = 9.0 x 13.0 cm at 350 dpi" (just the pixels when the
// resolution is unknown).
QString readout(QSize pixels, int dotsPerMeterX, int dotsPerMeterY);

// Why a centimetre frame cannot be laid: "13 x 9 cm needs 1791 x 1240
// pixels at 350 dpi; this photo has 1200 x 800".
QString tooSmall(const QString &widthText, const QString &heightText, QSize needed, int dotsPerMeterX,
                 int dotsPerMeterY, QSize photo);

// Why Cut and Next passes a photo over: "IMG_0404.jpg: 1680 x 1050 is
// smaller than 13 x 9 cm at 300 dpi (1535 x 1063); skipped".
QString skipped(const QString &fileName, QSize photo, const QString &widthText, const QString &heightText,
                QSize needed, int dotsPerMeterX, int dotsPerMeterY);

} // namespace framegeometry
