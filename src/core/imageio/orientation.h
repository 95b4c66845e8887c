#pragma once
// A picture turned upright from the orientation its file records, in EXIF's
// numbering (1 upright ... 8), the one numbering every decoder here speaks:
// JPEG's EXIF tag, and camera raw's rotation as LibRaw reports it, mapped to
// it.

#include <QImage>

namespace orientation {

// image turned upright from an EXIF orientation (1..8) as Qt's readers do it:
// mirrored and flipped first, then turned a quarter clockwise; 8 is a quarter
// anticlockwise. Any other value leaves it as it is.
QImage applied(QImage image, int exifOrientation);

// Whether that orientation swaps width and height (5 to 8).
inline bool transposes(int exifOrientation)
{
    return exifOrientation >= 5 && exifOrientation <= 8;
}

} // namespace orientation
