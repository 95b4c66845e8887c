#pragma once
// What a modern gallery holds of one image once its files are written: the
// pixel sizes of the files that were written (an empty size: that file was
// not written) and when the photo was taken. The pages refer to these files
// only, with these sizes.

#include <QDateTime>
#include <QSize>

struct GalleryPicture
{
    QSize copy;        // the copy for large screens, long edge at most 2048
    QSize smallCopy;   // the copy for small screens, long edge at most 1024
    QSize thumbnail;   // within the thumbnail box
    QSize thumbnail2x; // within twice the box, for high-density screens
    QSize original;    // the original file, published with its own name
    QDateTime taken;   // as the camera recorded it (Metadata::dateTaken); invalid when not recorded

    bool hasCopy() const { return !copy.isEmpty() || !smallCopy.isEmpty(); }
};
