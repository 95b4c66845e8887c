#pragma once
// The pixel work behind the image window's edits, free of widgets so that it
// can be tested and timed on its own.
//
// Each function takes its image by value: a caller that moves in an image it
// owns alone gets the work done in place, without a second full-size buffer.
// Images with a colour table (1 and 8 bits) and other packed formats are
// first converted to 32 bits, because the edits write colours, not indices.

#include <QImage>

namespace imageedits {

// The image turned by angle degrees, clockwise on screen (y points down).
// 90 is a quarter turn clockwise, 270 a quarter turn counter-clockwise;
// quarter turns swap width and height.
QImage rotated(QImage image, double angle);

// Every pixel (r, g, b) becomes the opaque (255 - r, 255 - g, 255 - b).
// The result is Format_RGB32.
QImage inverted(QImage image);

// Every pixel (r, g, b) becomes the opaque (r - red - all, g - green - all,
// b - blue - all), each channel limited to 0..255. The result is
// Format_RGB32.
QImage adjusted(QImage image, int red, int green, int blue, int all);

} // namespace imageedits
