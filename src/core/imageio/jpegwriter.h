#pragma once
// JPEG encoding and lossless transforms through libjpeg-turbo's TurboJPEG:
// unlike Qt's writer it sets the chroma subsampling, and it turns a JPEG by
// moving its coded blocks, as jpegtran does, without decoding it.

#include "core/imageio/jpegheader.h"

#include <QByteArray>
#include <QImage>

namespace jpegwriter {

// The whole JPEG file for image at quality (1..100) with the given chroma
// subsampling (a grey image is always written grey). The resolution is
// taken from the image's dots per metre. Empty on failure.
QByteArray encode(const QImage &image, int quality, jpegheader::Subsampling subsampling);

// The JPEG file jpeg turned upright from its EXIF orientation (1..8) and
// then by quarterTurns quarter turns clockwise, without decoding: the coded
// blocks are moved, so nothing is lost. Markers (EXIF, profiles) are not
// copied. Empty when the photo's size does not allow a perfect transform
// (partial blocks at an edge that would have to move) or on failure.
QByteArray transform(const QByteArray &jpeg, int orientation, int quarterTurns, bool progressive);

} // namespace jpegwriter
