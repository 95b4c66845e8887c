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

// Reads the markers up to the scan and finds every restart marker in it.
// Anything this decode does not handle the same way as the one-piece decode
// leaves ok false.
Scan readScan(const uchar *data, qsizetype size)
{
    Scan s;
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return s;
    s.head.append("\xFF\xD8", 2);
    int components = 0;
    int h[4] = {}, v[4] = {};
    bool frame = false;
    qsizetype p = 2;
    for (;;) {
        if (p >= size || data[p] != 0xFF)
            return s;
        while (p < size && data[p] == 0xFF)
            ++p; // fill bytes
        if (p + 3 > size)
            return s;
        const uchar marker = data[p++];
        if (marker == 0xD8 || marker == 0xD9 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            return s;
        const int length = u16(data + p);
        if (length < 2 || p + length > size)
            return s;
        const uchar *body = data + p + 2;
        const int bodyLength = length - 2;
        if (marker == 0xC0 || marker == 0xC1) {
            // Baseline or extended sequential, Huffman coded: 8-bit samples only.
            if (frame || bodyLength < 6 || body[0] != 8)
                return s;
            frame = true;
            s.height = u16(body + 1);
            s.width = u16(body + 3);
            components = body[5];
            if (s.width <= 0 || s.height <= 0 || (components != 1 && components != 3 && components != 4)
                || bodyLength < 6 + 3 * components)
                return s;
            for (int c = 0; c < components; ++c) {
                h[c] = body[6 + 3 * c + 1] >> 4;
                v[c] = body[6 + 3 * c + 1] & 0x0F;
            }
            s.heightAt = int(s.head.size()) + 5;
            appendSegment(s.head, marker, body, length);
        } else if ((marker >= 0xC2 && marker <= 0xCF) && marker != 0xC4 && marker != 0xC8) {
            return s; // progressive, lossless or arithmetic coded
        } else if (marker == 0xDD) {
            if (bodyLength < 2)
                return s;
            s.interval = u16(body);
            appendSegment(s.head, marker, body, length);
        } else if (marker == 0xDB || marker == 0xC4 || marker == 0xE0 || marker == 0xEE) {
            // Tables, and the two headers that say how the colours are
            // coded (JFIF, Adobe); the other application data are not
            // needed to decode.
            appendSegment(s.head, marker, body, length);
        } else if (marker == 0xDA) {
            // One scan holding every component, interleaved.
            if (!frame || bodyLength < 1 || body[0] != components)
                return s;
            appendSegment(s.head, marker, body, length);
            p += length;
            break;
        }
        p += length;
    }
    if (s.interval <= 0)
        return s;

    // The MCU: 8 x 8 pixels for one component, else as large as the most
    // finely sampled component's blocks. Sampling that does not divide
    // evenly is left to the one-piece decode.
    if (components == 1) {
        if (h[0] != 1 || v[0] != 1)
            return s;
    } else {
        const int hMax = *std::max_element(h, h + components);
        const int vMax = *std::max_element(v, v + components);
        for (int c = 0; c < components; ++c) {
            if (h[c] < 1 || v[c] < 1 || hMax % h[c] != 0 || vMax % v[c] != 0)
                return s;
        }
        if (hMax > 2 || vMax > 2)
            return s;
        s.mcuWidth = 8 * hMax;
        s.mcuHeight = 8 * vMax;
    }
    s.mcusPerRow = (s.width + s.mcuWidth - 1) / s.mcuWidth;
    s.mcuRows = (s.height + s.mcuHeight - 1) / s.mcuHeight;
    const qint64 mcus = qint64(s.mcusPerRow) * s.mcuRows;
    const qint64 intervals = (mcus + s.interval - 1) / s.interval;

    // The scan's data: a 0xFF is followed by 0x00 (a data byte), by more
    // 0xFF (fill) or by a marker. The restart markers must count 0 to 7 in
    // turn and number one less than the intervals, and the scan must end in
    // the end of the image: a file cut short or with a damaged marker is
    // decoded in one piece, which deals with it as it always has.
    s.starts.reserve(size_t(intervals));
    s.ends.reserve(size_t(intervals));
    s.starts.push_back(p);
    for (;;) {
        const void *found = std::memchr(data + p, 0xFF, size_t(size - p));
        if (!found)
            return s;
        const qsizetype at = static_cast<const uchar *>(found) - data;
        qsizetype m = at + 1;
        while (m < size && data[m] == 0xFF)
            ++m;
        if (m >= size)
            return s;
        const uchar code = data[m];
        if (code == 0x00) {
            if (m != at + 1)
                return s;
            p = m + 1;
            continue;
        }
        s.ends.push_back(at);
        if (code == 0xD9)
            break;
        if (code != 0xD0 + ((s.starts.size() - 1) & 7) || qint64(s.starts.size()) >= intervals)
            return s;
        p = m + 1;
        s.starts.push_back(p);
    }
    s.ok = qint64(s.starts.size()) == intervals && s.ends.size() == s.starts.size();
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
                bool *damaged)
{
    jpegreader::Header header = like;
    header.size = size;
    return jpegreader::decodeInto(reinterpret_cast<const uchar *>(file.constData()), file.size(), header, into,
                                  damaged);
}

} // namespace

int bandCount(const uchar *data, qsizetype size, int wanted, qint64 minBandPixels)
{
    return int(cuts(readScan(data, size), wanted, minBandPixels).size()) + 1;
}

int decodeInto(const uchar *data, qsizetype size, const jpegreader::Header &header, QImage &image, int wanted,
               qint64 minBandPixels, bool *damaged)
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
        return jpegreader::decodeInto(data, size, header, image, damaged) ? 1 : 0;

    // Band b covers MCU rows [rows[b], rows[b + 1]); a cut's seam the MCU
    // rows of a unit on either side (a unit at least one row).
    std::vector<int> rows{0};
    rows.insert(rows.end(), at.begin(), at.end());
    rows.push_back(scan.mcuRows);
    const int bands = int(rows.size()) - 1;
    const int unit = int(std::lcm(qint64(scan.interval), qint64(scan.mcusPerRow)) / scan.mcusPerRow);
    const int outRowsPerMcuRow = scan.mcuHeight / reduction;
    const int width = image.width();
    const QImage::Format format = image.format();
    const qsizetype stride = image.bytesPerLine();
    // Rows are written through one base pointer: scanLine() on several
    // threads would touch the image's shared bookkeeping.
    uchar *const bits = image.bits();

    std::vector<QImage> seams(static_cast<size_t>(bands));
    std::atomic<bool> failed{false};
    std::atomic<bool> hurt{false};
    const auto band = [&](int first, int last, QImage &into) {
        const QByteArray file = bandFile(data, scan, first, last);
        const QSize size(scan.width, std::min(scan.height, last * scan.mcuHeight) - first * scan.mcuHeight);
        bool bandDamaged = false;
        if (!decodeFile(file, header, size, into, &bandDamaged))
            failed = true;
        if (bandDamaged)
            hurt = true;
    };
    // The bands first, in order, then the seams, on as many threads as
    // there are bands.
    jobs::forEach(2 * bands - 1, bands, [&](int i) {
        if (failed)
            return;
        if (i < bands) {
            const int first = rows[size_t(i)];
            const int last = rows[size_t(i) + 1];
            const int outFirst = first * outRowsPerMcuRow;
            const int outRows = (i + 1 == bands ? image.height() : last * outRowsPerMcuRow) - outFirst;
            QImage into(bits + outFirst * stride, width, outRows, stride, format);
            band(first, last, into);
            return;
        }
        const int cut = rows[size_t(i - bands + 1)];
        const int first = std::max(0, cut - unit);
        const int last = std::min(scan.mcuRows, cut + unit);
        const int outRows = (last == scan.mcuRows ? image.height() : last * outRowsPerMcuRow) - first * outRowsPerMcuRow;
        QImage seam(width, outRows, format);
        if (seam.isNull()) {
            failed = true;
            return;
        }
        band(first, last, seam);
        seams[size_t(i - bands + 1)] = std::move(seam);
    });
    if (failed || hurt) {
        // Something wrong in the data: the one-piece decode deals with it
        // as it always has, and its picture is the one given.
        return jpegreader::decodeInto(data, size, header, image, damaged) ? 1 : 0;
    }
    // Each seam's middle, half a unit on either side of the cut, is where a
    // band's own rows lacked their neighbours.
    for (int c = 1; c < bands; ++c) {
        const int cut = rows[size_t(c)];
        const int first = std::max(0, cut - unit);
        const int half = std::max(1, unit * outRowsPerMcuRow / 2);
        const int from = cut * outRowsPerMcuRow - half;
        const int to = std::min(image.height(), cut * outRowsPerMcuRow + half);
        const QImage &seam = seams[size_t(c)];
        for (int y = from; y < to; ++y)
            std::memcpy(bits + y * stride, seam.constScanLine(y - first * outRowsPerMcuRow),
                        size_t(seam.bytesPerLine()));
    }
    if (damaged)
        *damaged = false;
    return bands;
}

} // namespace jpegbands
