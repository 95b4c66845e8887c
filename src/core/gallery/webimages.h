#pragma once
// The pictures a modern gallery publishes of one photo: their sizes, worked
// out from the photo's size alone, and their pixels, made from one decode.
// Nothing here reads or writes files.

#include <QImage>
#include <QSize>

namespace webimages {

// The long edges of the copies: the large one for desktops and
// high-density phones, the small one for the rest.
constexpr int kLargeEdge = 2048;
constexpr int kSmallEdge = 1024;
// JPEG qualities: copies are looked at closely, thumbnails are small.
constexpr int kCopyQuality = 85;
constexpr int kThumbnailQuality = 80;

// The sizes of the pictures of one photo. No picture is larger than the
// photo; an empty size means that picture is not made.
struct Sizes
{
    QSize copy;        // long edge at most kLargeEdge
    QSize smallCopy;   // long edge at most kSmallEdge; none when it would be the copy's size
    QSize thumbnail;   // within the thumbnail box; none for an empty box
    QSize thumbnail2x; // within twice the box; none when it would be the thumbnail's size
};

// size when it fits within bound, else the largest size of its shape that
// does (imageio::scaleMin); empty for an empty size or bound.
QSize fitWithin(const QSize &size, const QSize &bound);

// The sizes for a photo of full size (upright) and the thumbnail box;
// copies only when wanted.
Sizes sizesFor(const QSize &full, const QSize &box, bool copies);

// The smallest size a decode must cover to make every picture of sizes.
QSize largest(const Sizes &sizes);

struct Pictures
{
    QImage copy, smallCopy, thumbnail, thumbnail2x;
    bool converted = false; // the pixels were converted to sRGB from another profile
};

// The pictures of sizes, each scaled smoothly from the next larger one,
// the first from decoded (which covers largest(sizes)). What a browser
// shows as it is: opaque (transparent parts on white) and sRGB (pixels of
// another colour profile converted).
Pictures make(const QImage &decoded, const Sizes &sizes);

} // namespace webimages
