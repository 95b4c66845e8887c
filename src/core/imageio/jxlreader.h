#pragma once
// JPEG XL through libjxl. The picture's orientation is the codestream's own,
// applied by the decoder; the EXIF orientation the file may carry as well is
// never applied on top (the format says to ignore it). EXIF and XMP come
// from the container's boxes (compressed ones too), the colour profile from
// the codestream.

#include "core/imageio/metadata.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

class QFile;

namespace jxlreader {

// Whether head (the file's first bytes; 12 are enough) begins a JPEG XL
// file: a bare codestream or the container.
bool sniff(const QByteArray &head);

// The size the header declares, before orientation, read from file's start
// (as much of it as the header needs, never the pixels); invalid when it
// cannot be read.
QSize declaredSize(QFile &file);

// The size as shown (orientation applied), from the header. Invalid when
// unreadable.
QSize size(const QString &path);

// The first frame, upright, in RGBX8888 / RGBA8888 (RGBX64 / RGBA64 for more
// than 8 bits a channel; Grayscale8 / Grayscale16 for grey), with its colour
// space and the resolution its EXIF states. Null when it cannot be decoded.
QImage decode(const QString &path);

// The file's EXIF and XMP boxes and its colour profile.
Metadata metadata(const QString &path);

} // namespace jxlreader
