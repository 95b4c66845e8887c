#include "core/imageio/orientation.h"

#include <QTransform>

namespace orientation {

QImage applied(QImage image, int exifOrientation)
{
    if (exifOrientation <= 1 || exifOrientation > 8)
        return image;
    if (exifOrientation == 8)
        return image.transformed(QTransform().rotate(270));
    const bool mirror = exifOrientation == 2 || exifOrientation == 3 || exifOrientation == 7;
    const bool flip = exifOrientation == 3 || exifOrientation == 4 || exifOrientation == 5;
    if (mirror || flip)
        image = std::move(image).mirrored(mirror, flip);
    if (exifOrientation >= 5)
        image = image.transformed(QTransform().rotate(90));
    return image;
}

} // namespace orientation
