#pragma once
// HEIC/HEIF (HEVC pictures, what phones save) and AVIF (AV1 pictures)
// through libheif. The file's own turns and mirrors (its irot and imir boxes)
// are applied by libheif, once; the EXIF orientation such a file may carry as
// well is never applied on top (the format says to ignore it, and phones
// write both). Colour: the file's ICC profile, or its colour description
// (nclx) turned into one, goes with the picture.
//
// What the decode helper (imageio) and the metadata reader use; the guard
// reads the file's box structure (declared()) before libheif is let at it.

#include "core/imageio/metadata.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

class QFile;

namespace heifreader {

// "heif" for an HEIF file of HEVC pictures, "avif" for one of AV1 pictures,
// from the file's first bytes (its ftyp box; 64 bytes are plenty); empty for
// anything else.
QByteArray sniff(const QByteArray &head);

// What the file's boxes declare, read box by box with every size checked
// against its container: no pixels, nothing of libheif.
struct Declared
{
    QString broken; // why the structure cannot be trusted; empty when it can
    QSize largest;  // the largest picture declared (spatial extents and grids); invalid when none
};
Declared declared(QFile &file);

// The primary picture's size as shown (its turn applied), from libheif's
// reading of the boxes; no pixels are decoded. Invalid when unreadable.
QSize size(const QString &path);

// The primary picture, turned and mirrored as the file says, in RGBX8888
// (RGBA8888 with transparency), with its colour space and the resolution its
// EXIF states. Null when it cannot be decoded.
QImage decode(const QString &path);

// The file's own thumbnail, upright, when it covers atLeast(the full shown
// size) and has the picture's shape; null otherwise (the caller decodes the
// picture). *fullSize receives the full shown size when the file is read.
QImage thumbnail(const QString &path, const std::function<QSize(const QSize &)> &atLeast, QSize *fullSize);

// The primary picture's EXIF and XMP and its colour profile (ICC, or the
// nclx description as one when it is not plain sRGB).
Metadata metadata(const QString &path);

} // namespace heifreader
