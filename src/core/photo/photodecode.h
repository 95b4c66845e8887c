#pragma once
// A photo decoded for an image window, and the decode begun for the photo
// named on the command line before the window exists.
//
// At start the window takes some 40 ms to build, and the first large image
// of a process comes slowly: its memory is fresh, and the system hands it
// out page by page (on a virtual machine 96 MB took 55-70 ms of a core).
// So the first photo is read at once, beside the building, in a reduced
// decode that covers the screen; the window makes its copy from that, and
// its full decode follows as for any photo.

#include "core/imageio/filestamp.h"

#include <QByteArray>
#include <QFuture>
#include <QImage>
#include <QSize>
#include <QString>

#include "core/imageio/decodecontrol.h"

namespace photodecode {

struct Decoded
{
    QImage image;      // null when the file could not be decoded
    QSize fullSize;    // the photo's full size, upright
    FileStamp stamp;   // the file as it was when the decode began
    QByteArray format; // Qt's name, as imageio::decode gives it
};

// Decodes path in full on this thread; a decode stopped (imageio::decode)
// gives a null image.
Decoded full(const QString &path, DecodeControl *control = nullptr);

// Begins a reduced decode of path on the shared lane when it is a JPEG,
// large enough for the copy in a workspace of screen size (no workspace is
// larger). Anything begun before and not taken is dropped, and so is a
// decode not taken within a few seconds, so that a photo the window did not
// open does not hold its memory.
void beginFirst(const QString &path, const QSize &screen);

// The reduced decode begun for path (the same file, through a link or a
// relative name too), once; an invalid future when none was begun for it.
QFuture<Decoded> takeReduced(const QString &path);

} // namespace photodecode
