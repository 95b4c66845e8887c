#pragma once
// Deterministic, photo-like test pictures for the benchmark: a sky-to-ground
// gradient, soft shapes, two octaves of lattice texture and per-pixel sensor
// noise, all from a fixed integer hash, so every run and every machine gets
// the same files.

#include <QImage>
#include <QString>

namespace photos {

// The picture number `variant` of w x h (RGB32). Different variants differ
// in colours, shapes and noise.
QImage make(int w, int h, int variant);

// Writes make(w, h, variant) as a baseline JPEG of quality 92 with 4:2:0
// chroma subsampling. Returns success.
bool writeJpeg(const QString &path, int w, int h, int variant);

// Adds what a camera puts into a photo for quick previews: an EXIF block
// with a JPEG thumbnail 160 pixels wide, of the photo's own shape. Returns
// success.
bool addExifThumbnail(const QString &path);

// True when the JPEG file at path is 4:2:0 (luma sampled 2x2, chroma 1x1).
bool isSubsampled420(const QString &path);

} // namespace photos
