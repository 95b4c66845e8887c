#include "core/imageio/jpegheader.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <cstdlib>
#include <cstring>

namespace jpegheader {
namespace {

using Table = std::array<quint16, 64>;

// The example tables of the JPEG standard, which the IJG encoder (and with
// it most programs and many cameras) scales by the quality; natural order.
constexpr Table kLuma = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                         14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                         18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                         49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr Table kChroma = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                           24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                           99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                           99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Where the k-th value of a table as stored (zigzag order) belongs.
constexpr int kNaturalOrder[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                   12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                   35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                   58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The IJG encoder's scaling: quality 50 is the example table, lower
// qualities multiply it by 50 / q, higher ones by (100 - q) / 50; every
// value rounded and kept to 1..255 (baseline).
quint16 scaled(quint16 base, int quality)
{
    const long scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    const long v = (base * scale + 50) / 100;
    return quint16(v < 1 ? 1 : v > 255 ? 255 : v);
}

long distance(const Table &table, const Table &base, int quality)
{
    long sum = 0;
    for (int i = 0; i < 64; ++i)
        sum += std::labs(long(table[i]) - scaled(base[i], quality));
    return sum;
}

// The quality whose scaled tables differ least from the file's. Tables that
// the IJG scaling made give their quality back exactly; others (some
// cameras' own) the nearest one. On a tie the higher quality wins, so that
// a file is never written worse than it came.
int estimate(const Table &luma, const Table *chroma)
{
    int best = 0;
    long bestDistance = -1;
    for (int q = 100; q >= 1; --q) {
        long d = distance(luma, kLuma, q);
        if (chroma)
            d += distance(*chroma, kChroma, q);
        if (bestDistance < 0 || d < bestDistance) {
            best = q;
            bestDistance = d;
        }
    }
    return best;
}

Subsampling subsamplingOf(int components, const int h[], const int v[])
{
    if (components == 1)
        return Subsampling::Grey;
    if (components != 3 || h[1] != 1 || v[1] != 1 || h[2] != 1 || v[2] != 1)
        return Subsampling::S444; // CMYK and unusual layouts: keep full colour
    if (h[0] == 1 && v[0] == 1)
        return Subsampling::S444;
    if (h[0] == 2 && v[0] == 1)
        return Subsampling::S422;
    if (h[0] == 2 && v[0] == 2)
        return Subsampling::S420;
    if (h[0] == 1 && v[0] == 2)
        return Subsampling::S440;
    if (h[0] == 4 && v[0] == 1)
        return Subsampling::S411;
    return Subsampling::S444;
}

bool readExactly(QIODevice &device, char *to, qint64 n)
{
    return device.read(to, n) == n;
}

} // namespace

Info read(const QString &path)
{
    QFile file(path);
    // Regular files only: a FIFO named like a photo would block the read.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    return read(file);
}

namespace {

// What the segments before the image data tell, gathered as they are read.
struct Segments
{
    Table tables[4];
    bool haveTable[4] = {false, false, false, false};
    int tableOf[4] = {0, 0, 0, 0}; // the quantisation table of each component
    int h[4] = {0, 0, 0, 0};       // sampling factors
    int v[4] = {0, 0, 0, 0};
};

// DQT: one or more tables: precision and id, then 64 values of 8 or 16 bits
// in zigzag order.
void takeTables(const uchar *p, int length, Segments &s)
{
    int at = 0;
    while (at < length) {
        const int precision = p[at] >> 4;
        const int id = p[at] & 0x0F;
        const int bytes = precision ? 128 : 64;
        if (id > 3 || at + 1 + bytes > length)
            break;
        for (int k = 0; k < 64; ++k) {
            const uchar *q = p + at + 1 + (precision ? 2 * k : k);
            s.tables[id][kNaturalOrder[k]] = precision ? quint16(q[0] << 8 | q[1]) : q[0];
        }
        s.haveTable[id] = true;
        at += 1 + bytes;
    }
}

// SOFn: precision, height, width, components, and each component's
// sampling factors and table.
void takeFrame(uchar marker, const uchar *p, int length, Info &info, Segments &s)
{
    if (length < 6)
        return;
    info.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
    info.size = QSize(p[3] << 8 | p[4], p[1] << 8 | p[2]);
    info.components = p[5];
    for (int i = 0; i < info.components && i < 4 && 6 + 3 * i + 2 < length; ++i) {
        s.h[i] = p[6 + 3 * i + 1] >> 4;
        s.v[i] = p[6 + 3 * i + 1] & 0x0F;
        s.tableOf[i] = p[6 + 3 * i + 2] & 0x03;
    }
    info.valid = info.components > 0;
}

// Reads the first bytes of a segment into to and skips the rest of it.
bool readHead(QIODevice &device, uchar *to, int bytes, int length)
{
    return readExactly(device, reinterpret_cast<char *>(to), bytes) && device.seek(device.pos() + length - bytes);
}

// The segment of marker whose body of length bytes comes next: read where
// it tells something, skipped otherwise. False where the file ends or
// breaks off.
bool takeSegment(QIODevice &device, uchar marker, int length, Info &info, Segments &s)
{
    if (marker == 0xE0 && length >= 12 && info.jfifUnit < 0) {
        // APP0: "JFIF\0", version, unit, x and y density (a thumbnail may
        // follow, which is skipped).
        uchar app[12];
        if (!readHead(device, app, 12, length))
            return false;
        if (std::memcmp(app, "JFIF\0", 5) == 0) {
            info.jfifUnit = app[7];
            info.jfifDensity = QSize(app[8] << 8 | app[9], app[10] << 8 | app[11]);
        }
        return true;
    }
    if (marker == 0xDD && length >= 2) {
        uchar interval[2];
        if (!readHead(device, interval, 2, length))
            return false;
        info.restartInterval = interval[0] << 8 | interval[1];
        return true;
    }
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (marker != 0xDB && !frame)
        return device.seek(device.pos() + length);
    QByteArray body(length, Qt::Uninitialized);
    if (!readExactly(device, body.data(), length))
        return false;
    const auto *p = reinterpret_cast<const uchar *>(body.constData());
    if (marker == 0xDB)
        takeTables(p, length, s);
    else
        takeFrame(marker, p, length, info, s);
    return true;
}

} // namespace

Info read(QIODevice &device)
{
    Info info;
    uchar soi[2];
    if (!readExactly(device, reinterpret_cast<char *>(soi), 2) || soi[0] != 0xFF || soi[1] != 0xD8)
        return info;

    // Marker segments up to the start of the image data; the others (EXIF,
    // thumbnails, profiles) are skipped over, not read.
    Segments s;
    for (int segments = 0; segments < 4096; ++segments) {
        char c = 0;
        if (!device.getChar(&c) || uchar(c) != 0xFF)
            break; // the end, or not at a marker: a broken file
        uchar marker = 0xFF;
        while (marker == 0xFF) { // fill bytes
            if (!device.getChar(&c))
                return info;
            marker = uchar(c);
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // markers without a length
        if (marker == 0xD9 || marker == 0xDA)
            break; // end of image, or start of the image data
        uchar len[2];
        if (!readExactly(device, reinterpret_cast<char *>(len), 2))
            break;
        const int length = (len[0] << 8 | len[1]) - 2;
        if (length < 0)
            break;
        if (!device.isSequential() && device.pos() + length > device.size()) {
            info.segmentPastEnd = true;
            break;
        }
        if (!takeSegment(device, marker, length, info, s))
            break;
    }
    if (!info.valid)
        return info;
    info.subsampling = subsamplingOf(info.components, s.h, s.v);
    if (s.haveTable[s.tableOf[0]]) {
        const bool colour = info.components >= 3 && s.haveTable[s.tableOf[1]] && s.tableOf[1] != s.tableOf[0];
        info.quality = estimate(s.tables[s.tableOf[0]], colour ? &s.tables[s.tableOf[1]] : nullptr);
    }
    return info;
}

} // namespace jpegheader
