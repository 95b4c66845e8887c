#pragma once
// What a JPEG file's header says about how it was encoded: its stored size,
// its chroma subsampling, whether it is progressive, and the quality its
// quantisation tables stand for. Only the marker segments before the image
// data are read.

#include <QByteArray>
#include <QSize>
#include <QString>

class QIODevice;

namespace jpegheader {

// How the colour channels are sampled against the brightness: 4:4:4 full
// resolution, 4:2:2 half across, 4:2:0 half both ways, 4:4:0 half down,
// 4:1:1 a quarter across; Grey has no colour at all.
enum class Subsampling { Grey, S444, S422, S420, S440, S411 };

struct Info
{
    bool valid = false; // a frame header was found
    QSize size;         // as stored, before any EXIF orientation
    int components = 0;
    Subsampling subsampling = Subsampling::S444;
    bool progressive = false;
    // MCUs between restart markers (0: the scan has none).
    int restartInterval = 0;
    // The IJG quality (1..100) whose scaled standard tables come closest to
    // the file's own; 0 when the file has no tables.
    int quality = 0;
    // The JFIF header's density unit (0 the pixels' aspect only, 1 dots per
    // inch, 2 dots per centimetre) and density; unit -1 when the file has no
    // JFIF header.
    int jfifUnit = -1;
    QSize jfifDensity;
    // A marker segment before the image data claims more bytes than the
    // file holds: a broken or hostile file (the reading stopped there).
    bool segmentPastEnd = false;
};

// Reads the header of the JPEG file at path (or on device, from its current
// position). Info::valid is false for anything that is not a readable JPEG.
Info read(const QString &path);
Info read(QIODevice &device);

} // namespace jpegheader
