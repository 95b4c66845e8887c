#pragma once
// The photo formats read through the field's own libraries rather than Qt's
// readers, behind one face for the decode helper (imageio): HEIC/HEIF and
// AVIF (libheif, heifreader), JPEG XL (libjxl, jxlreader) and camera raw
// (LibRaw, rawreader). Their files never reach Qt's readers. The guard is
// the caller's to ask first (imageio does).

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace imageio::codecs {

// "heif", "avif", "jxl" or "raw" when one of the libraries reads the file
// at path, told from its first bytes (and for files built like a TIFF,
// which a camera's raw file may be, from LibRaw's reading of the header);
// empty for any other file, and for anything but a regular file.
QByteArray detect(const QString &path);

// The picture's size as shown (upright), from the header; invalid when it
// cannot be read.
QSize size(const QString &path, const QByteArray &format);

// The full decode, upright, with its colour space and the resolution the
// file states; null when it cannot be decoded.
QImage decode(const QString &path, const QByteArray &format);

// A quick picture of the whole photo for display copies, previews and icons,
// upright, covering atLeast(the full size) where it can: a raw file's own
// preview (or, when it has none, a decode at half size), an HEIF's own
// thumbnail when it is large enough; otherwise the full decode. *fullSize
// receives the full upright size (invalid when not decodable).
QImage reduced(const QString &path, const QByteArray &format, const std::function<QSize(const QSize &)> &atLeast,
               QSize *fullSize);

} // namespace imageio::codecs
