#pragma once
// A JPEG decoded on every core. Cameras write baseline JPEGs whose scan is
// cut by restart markers into intervals that can be decoded on their own:
// the file is divided there into bands of whole MCU rows, each band made
// into a small JPEG of its own (the file's tables, a frame of the band's
// height, the band's intervals) and decoded by TurboJPEG on the job helper,
// straight into its rows of the image.
//
// The chroma of a subsampled file is upsampled from the rows on either
// side, which a band cut off from its neighbours does not have: the rows at
// each cut are decoded once more from the intervals around it and put in
// their place, so that the image is bit for bit the one-piece decode's.
// Files without restart markers, progressive ones, files with more than one
// scan or with damaged markers, and photos too small to be worth the threads
// are decoded in one piece.

#include "core/imageio/jpegreader.h"

#include <QImage>

namespace jpegbands {

// The fewest pixels of the photo (at full size) a band is given: below that,
// starting a thread costs about what it saves.
constexpr qint64 kMinBandPixels = 1 << 20;

// Into how many bands the JPEG in memory would be cut for a decode on up to
// `wanted` threads with bands of at least minBandPixels each; 1 when it is
// decoded in one piece.
int bandCount(const uchar *data, qsizetype size, int wanted, qint64 minBandPixels = kMinBandPixels);

// jpegreader::decodeInto (same image sizes, formats and results), in up to
// `wanted` bands (0: one per core) where the file divides; damaged and
// control as there. A band that finds something wrong in its data has the
// whole picture decoded again in one piece, so that a damaged file comes out
// as the one-piece decode gives it. Returns the number of bands the picture
// came from (1: in one piece), 0 when it could not be decoded or was
// stopped.
int decodeInto(const uchar *data, qsizetype size, const jpegreader::Header &header, QImage &image,
                int wanted = 0, qint64 minBandPixels = kMinBandPixels, bool *damaged = nullptr,
                DecodeControl *control = nullptr);

} // namespace jpegbands
