#pragma once
// Memory for the decodes of large photos: the readers' allocation limit,
// raised once for the process, and image buffers of their own, the last one
// kept for the next decode of about its size.

#include <QImage>
#include <QSize>

namespace imageio {

// Sets Qt's allocation limit to kAllocationLimitMB, once for the process,
// before the first reader on any thread reads an image.
void raiseLimit();

// An empty w x h RGB32 image whose memory the system may back with large
// pages, or null when the image is small or the memory cannot be had (the
// caller then lets the reader allocate).
QImage largeImage(const QSize &size);

} // namespace imageio
