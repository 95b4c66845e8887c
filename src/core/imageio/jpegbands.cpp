#include "core/imageio/jpegbands.h"

#include "core/base/jobs.h"

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <numeric>
#include <vector>

namespace jpegbands {
namespace {

// What a band needs of the file: its tables and frame, where each restart
// interval's data lie, and the shape of an MCU.
struct Scan
{
    bool ok = false;
    QByteArray head;        // SOI, the tables, the frame, the restart interval and the scan's header
    int heightAt = 0;       // where in head the frame's height is
    int width = 0, height = 0;
    int mcuWidth = 8, mcuHeight = 8; // in pixels
    int mcusPerRow = 0, mcuRows = 0;
    int interval = 0;                // MCUs per restart interval
    std::vector<qsizetype> starts;   // where each interval's data begin in the file
    std::vector<qsizetype> ends;     // and end (at the marker after it)
};

int u16(const uchar *p)
{
    return p[0] << 8 | p[1];
}

void appendSegment(QByteArray &out, uchar marker, const uchar *body, int length)
{
    out.append(char(0xFF));
    out.append(char(marker));
    out.append(reinterpret_cast<const char *>(body - 2), length); // the length field and the body
}

// The frame's components and their sampling factors.
struct Frame
{
    bool seen = false;
    int components = 0;
    int h[4] = {};
    int v[4] = {};
};

enum class Step { Next, ScanStarts, Refuse };

// One marker segment before the scan's data: kept in the band's head where
// a decode needs it. Anything this decode does not handle the same way as
// the one-piece decode refuses.
Step takeSegment(uchar marker, const uchar *body, int length, Scan &s, Frame &f)
{
    const int bodyLength = length - 2;
    if (marker == 0xC0 || marker == 0xC1) {
        // Baseline or extended sequential, Huffman coded: 8-bit samples only.
        if (f.seen || bodyLength < 6 || body[0] != 8)
            return Step::Refuse;
        f.seen = true;
        s.height = u16(body + 1);
        s.width = u16(body + 3);
        f.components = body[5];
        if (s.width <= 0 || s.height <= 0 || (f.components != 1 && f.components != 3 && f.components != 4)
            || bodyLength < 6 + 3 * f.components)
            return Step::Refuse;
        for (int c = 0; c < f.components; ++c) {
            f.h[c] = body[6 + 3 * c + 1] >> 4;
            f.v[c] = body[6 + 3 * c + 1] & 0x0F;
        }
        s.heightAt = int(s.head.size()) + 5;
    } else if ((marker >= 0xC2 && marker <= 0xCF) && marker != 0xC4 && marker != 0xC8) {
        return Step::Refuse; // progressive, lossless or arithmetic coded
    } else if (marker == 0xDD) {
        if (bodyLength < 2)
            return Step::Refuse;
        s.interval = u16(body);
    } else if (marker == 0xDA) {
        // One scan holding every component, interleaved.
        if (!f.seen || bodyLength < 1 || body[0] != f.components)
            return Step::Refuse;
    } else if (marker != 0xDB && marker != 0xC4 && marker != 0xE0 && marker != 0xEE) {
        // Tables, and the two headers that say how the colours are coded
        // (JFIF, Adobe), are kept; the other application data are not
        // needed to decode.
        return Step::Next;
    }
    appendSegment(s.head, marker, body, length);
    return marker == 0xDA ? Step::ScanStarts : Step::Next;
}

// Reads the markers up to the scan into s and f: where the scan's data
// begin, or -1.
qsizetype readHeaders(const uchar *data, qsizetype size, Scan &s, Frame &f)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return -1;
    s.head.append("\xFF\xD8", 2);
    qsizetype p = 2;
    for (;;) {
        if (p >= size || data[p] != 0xFF)
            return -1;
        while (p < size && data[p] == 0xFF)
            ++p; // fill bytes
        if (p + 3 > size)
            return -1;
        const uchar marker = data[p++];
        if (marker == 0xD8 || marker == 0xD9 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            return -1;
        const int length = u16(data + p);
        if (length < 2 || p + length > size)
            return -1;
        const Step step = takeSegment(marker, data + p + 2, length, s, f);
        p += length;
        if (step == Step::Refuse)
            return -1;
        if (step == Step::ScanStarts)
            return p;
    }
}

// The MCU: 8 x 8 pixels for one component, else as large as the most
// finely sampled component's blocks. Sampling that does not divide evenly
// is left to the one-piece decode.
bool mcuShape(const Frame &f, Scan &s)
{
    if (f.components == 1) {
        if (f.h[0] != 1 || f.v[0] != 1)
            return false;
    } else {
        const int hMax = *std::max_element(f.h, f.h + f.components);
        const int vMax = *std::max_element(f.v, f.v + f.components);
        for (int c = 0; c < f.components; ++c) {
            if (f.h[c] < 1 || f.v[c] < 1 || hMax % f.h[c] != 0 || vMax % f.v[c] != 0)
                return false;
        }
        if (hMax > 2 || vMax > 2)
            return false;
        s.mcuWidth = 8 * hMax;
        s.mcuHeight = 8 * vMax;
    }
    s.mcusPerRow = (s.width + s.mcuWidth - 1) / s.mcuWidth;
    s.mcuRows = (s.height + s.mcuHeight - 1) / s.mcuHeight;
    return true;
}

// The scan's data from p: a 0xFF is followed by 0x00 (a data byte), by more
// 0xFF (fill) or by a marker. The restart markers must count 0 to 7 in turn
// and number one less than the intervals, and the scan must end in the end
// of the image: a file cut short or with a damaged marker is decoded in one
// piece, which deals with it as it always has.
bool findIntervals(const uchar *data, qsizetype size, qsizetype p, Scan &s)
{
    const qint64 mcus = qint64(s.mcusPerRow) * s.mcuRows;
    const qint64 intervals = (mcus + s.interval - 1) / s.interval;
    s.starts.reserve(size_t(intervals));
    s.ends.reserve(size_t(intervals));
    s.starts.push_back(p);
    for (;;) {
        const void *found = std::memchr(data + p, 0xFF, size_t(size - p));
        if (!found)
            return false;
        const qsizetype at = static_cast<const uchar *>(found) - data;
        qsizetype m = at + 1;
        while (m < size && data[m] == 0xFF)
            ++m;
        if (m >= size)
            return false;
        const uchar code = data[m];
        if (code == 0x00) {
            if (m != at + 1)
                return false;
            p = m + 1;
            continue;
        }
        s.ends.push_back(at);
        if (code == 0xD9)
            break;
        if (code != 0xD0 + ((s.starts.size() - 1) & 7) || qint64(s.starts.size()) >= intervals)
            return false;
        p = m + 1;
        s.starts.push_back(p);
    }
    return qint64(s.starts.size()) == intervals && s.ends.size() == s.starts.size();
}

// Reads the markers up to the scan and finds every restart marker in it;
// ok is false for anything the one-piece decode is left to.
Scan readScan(const uchar *data, qsizetype size)
{
    Scan s;
    Frame f;
    const qsizetype p = readHeaders(data, size, s, f);
    if (p < 0 || s.interval <= 0 || !mcuShape(f, s))
        return s;
    s.ok = findIntervals(data, size, p, s);
    return s;
}

// The MCU rows [first, last) as a JPEG of their own: the file's head with
// the band's height, the intervals that code them (restart markers
// numbered from 0 again), the end of the image. Only called for rows at
// interval boundaries.
QByteArray bandFile(const uchar *data, const Scan &s, int first, int last)
{
    const int fromInterval = int(qint64(first) * s.mcusPerRow / s.interval);
    const int toInterval = int((qint64(last) * s.mcusPerRow + s.interval - 1) / s.interval);
    const qsizetype from = s.starts[size_t(fromInterval)];
    const qsizetype to = s.ends[size_t(toInterval - 1)];
    QByteArray out;
    out.reserve(s.head.size() + (to - from) + 2);
    out.append(s.head);
    const int height = std::min(s.height, last * s.mcuHeight) - first * s.mcuHeight;
    out[s.heightAt] = char(height >> 8);
    out[s.heightAt + 1] = char(height & 0xFF);
    const qsizetype base = out.size();
    out.append(reinterpret_cast<const char *>(data + from), to - from);
    char *bytes = out.data();
    for (int i = fromInterval + 1; i < toInterval; ++i)
        bytes[base + (s.starts[size_t(i)] - 1 - from)] = char(0xD0 + ((i - fromInterval - 1) & 7));
    out.append("\xFF\xD9", 2);
    return out;
}

// Where the bands are cut, in MCU rows: only where a restart interval
// begins at the start of a row, evenly, each band at least minBandPixels.
std::vector<int> cuts(const Scan &s, int wanted, qint64 minBandPixels)
{
    if (!s.ok || wanted < 2)
        return {};
    // Rows at which an interval starts a row come every `unit` rows.
    const qint64 unitMcus = std::lcm(qint64(s.interval), qint64(s.mcusPerRow));
    if (unitMcus / s.mcusPerRow > s.mcuRows)
        return {};
    const int unit = int(unitMcus / s.mcusPerRow);
    const qint64 pixels = qint64(s.width) * s.height;
    int bands = wanted;
    if (minBandPixels > 0)
        bands = int(std::min<qint64>(bands, pixels / minBandPixels));
    bands = std::min(bands, (s.mcuRows + unit - 1) / unit);
    std::vector<int> at;
    for (; bands >= 2; --bands) {
        at.clear();
        int previous = 0;
        for (int k = 1; k < bands; ++k) {
            const qint64 ideal = qint64(k) * s.mcuRows / bands;
            const int row = int((ideal + unit / 2) / unit) * unit;
            if (row <= previous || row >= s.mcuRows)
                break;
            at.push_back(row);
            previous = row;
        }
        if (int(at.size()) == bands - 1)
            return at;
    }
    return {};
}

bool decodeFile(const QByteArray &file, const jpegreader::Header &like, const QSize &size, QImage &into,
                bool *damaged, DecodeControl *control)
{
    jpegreader::Header header = like;
    header.size = size;
    return jpegreader::decodeInto(reinterpret_cast<const uchar *>(file.constData()), file.size(), header, into,
                                  damaged, control);
}

} // namespace

int bandCount(const uchar *data, qsizetype size, int wanted, qint64 minBandPixels)
{
    return int(cuts(readScan(data, size), wanted, minBandPixels).size()) + 1;
}

namespace {

// How a picture is cut into bands: band b covers MCU rows [rows[b],
// rows[b + 1]); each cut's seam is decoded again from the MCU rows of a
// unit on either side (a unit at least one row, of whole intervals).
struct Bands
{
    std::vector<int> rows;
    int count = 0;
    int unit = 0;
    int outRowsPerMcuRow = 0; // rows of the (reduced) picture per MCU row
};

Bands bandsOf(const Scan &scan, const std::vector<int> &cuts, int reduction)
{
    Bands b;
    b.rows.push_back(0);
    b.rows.insert(b.rows.end(), cuts.begin(), cuts.end());
    b.rows.push_back(scan.mcuRows);
    b.count = int(b.rows.size()) - 1;
    b.unit = int(std::lcm(qint64(scan.interval), qint64(scan.mcusPerRow)) / scan.mcusPerRow);
    b.outRowsPerMcuRow = scan.mcuHeight / reduction;
    return b;
}

// Decodes the bands into their rows of image, and the seams around each cut
// into seams; false when a piece could not be decoded. *hurt tells of
// damaged data.
bool decodePieces(const uchar *data, const Scan &scan, const jpegreader::Header &header, const Bands &b,
                  QImage &image, std::vector<QImage> &seams, bool *hurt, DecodeControl *control)
{
    const int width = image.width();
    const QImage::Format format = image.format();
    const qsizetype stride = image.bytesPerLine();
    // Rows are written through one base pointer: scanLine() on several
    // threads would touch the image's shared bookkeeping.
    uchar *const bits = image.bits();
    std::atomic<bool> failed{false};
    std::atomic<bool> damaged{false};
    const auto piece = [&](int first, int last, QImage &into) {
        const QByteArray file = bandFile(data, scan, first, last);
        const QSize size(scan.width, std::min(scan.height, last * scan.mcuHeight) - first * scan.mcuHeight);
        bool pieceDamaged = false;
        if (!decodeFile(file, header, size, into, &pieceDamaged, control))
            failed = true;
        if (pieceDamaged)
            damaged = true;
    };
    const auto outRows = [&](int first, int last) {
        return (last == scan.mcuRows ? image.height() : last * b.outRowsPerMcuRow) - first * b.outRowsPerMcuRow;
    };
    // The bands first, in order, then the seams, on as many threads as
    // there are bands.
    seams.assign(size_t(b.count), QImage());
    jobs::forEach(2 * b.count - 1, b.count, [&](int i) {
        if (failed)
            return;
        if (i < b.count) {
            const int first = b.rows[size_t(i)];
            const int last = b.rows[size_t(i) + 1];
            QImage into(bits + first * b.outRowsPerMcuRow * stride, width, outRows(first, last), stride, format);
            piece(first, last, into);
            return;
        }
        const int cut = b.rows[size_t(i - b.count + 1)];
        const int first = std::max(0, cut - b.unit);
        const int last = std::min(scan.mcuRows, cut + b.unit);
        QImage seam(width, outRows(first, last), format);
        if (seam.isNull()) {
            failed = true;
            return;
        }
        piece(first, last, seam);
        seams[size_t(i - b.count + 1)] = std::move(seam);
    });
    *hurt = damaged;
    return !failed;
}

// Each seam's middle, half a unit on either side of the cut, is where a
// band's own rows lacked their neighbours: it takes their place.
void pasteSeams(const Bands &b, const std::vector<QImage> &seams, QImage &image)
{
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int c = 1; c < b.count; ++c) {
        const int cut = b.rows[size_t(c)];
        const int first = std::max(0, cut - b.unit);
        const int half = std::max(1, b.unit * b.outRowsPerMcuRow / 2);
        const int from = cut * b.outRowsPerMcuRow - half;
        const int to = std::min(image.height(), cut * b.outRowsPerMcuRow + half);
        const QImage &seam = seams[size_t(c)];
        for (int y = from; y < to; ++y)
            std::memcpy(bits + y * stride, seam.constScanLine(y - first * b.outRowsPerMcuRow),
                        size_t(seam.bytesPerLine()));
    }
}

} // namespace

int decodeInto(const uchar *data, qsizetype size, const jpegreader::Header &header, QImage &image, int wanted,
               qint64 minBandPixels, bool *damaged, DecodeControl *control)
{
    if (wanted <= 0)
        wanted = jobs::cores();
    const Scan scan = wanted >= 2 ? readScan(data, size) : Scan();
    const std::vector<int> at = cuts(scan, wanted, minBandPixels);
    // The scale the image was made for.
    int reduction = 0;
    for (int r : {1, 2, 4, 8}) {
        if (jpegreader::scaledSize(header.size, r) == image.size())
            reduction = r;
    }
    if (at.empty() || reduction == 0 || !header.valid || header.size != QSize(scan.width, scan.height)
        || image.format() != jpegreader::formatOf(header.colours))
        return jpegreader::decodeInto(data, size, header, image, damaged, control) ? 1 : 0;

    const Bands bands = bandsOf(scan, at, reduction);
    std::vector<QImage> seams;
    bool hurt = false;
    if (!decodePieces(data, scan, header, bands, image, seams, &hurt, control) || hurt) {
        if (control && control->stopped())
            return 0;
        // Something wrong in the data: the one-piece decode deals with it
        // as it always has, and its picture is the one given.
        return jpegreader::decodeInto(data, size, header, image, damaged, control) ? 1 : 0;
    }
    pasteSeams(bands, seams, image);
    if (damaged)
        *damaged = false;
    return bands.count;
}

} // namespace jpegbands
