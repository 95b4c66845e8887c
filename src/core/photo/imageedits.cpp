#include "core/photo/imageedits.h"

#include "core/base/jobs.h"

#include <QTransform>

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace imageedits {
namespace {

bool hasColourTable(QImage::Format f)
{
    return f == QImage::Format_Mono || f == QImage::Format_MonoLSB || f == QImage::Format_Indexed8;
}

// Brings the image into a format whose pixels are 32-bit 0xAARRGGBB words
// with straight (not premultiplied) colours: RGB32 or ARGB32.
void makeEditable(QImage &image)
{
    const QImage::Format f = image.format();
    if (f == QImage::Format_RGB32 || f == QImage::Format_ARGB32)
        return;
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

// Below this many pixels the rows are done on the calling thread: handing
// them out costs more than it saves.
constexpr qint64 kParallelPixels = 1 << 20;

// Runs lineFn(line, width) on every scan line of image (detached first).
// Large images are split into bands of rows done on all cores; every row is
// written by exactly one band, so the result is the same as a run on one
// thread.
template <typename LineFn>
void forEachLine(QImage &image, LineFn lineFn)
{
    const int width = image.width();
    const int height = image.height();
    if (width <= 0 || height <= 0)
        return;
    uchar *const first = image.scanLine(0); // detaches a shared image once
    const qsizetype bytesPerLine = image.bytesPerLine();
    auto rows = [=](int y0, int y1) {
        uchar *line = first + y0 * bytesPerLine;
        for (int y = y0; y < y1; ++y, line += bytesPerLine)
            lineFn(reinterpret_cast<quint32 *>(line), width);
    };

    const int threads = jobs::cores();
    if (threads < 2 || qint64(width) * height < kParallelPixels) {
        rows(0, height);
        return;
    }
    // A few bands per thread keep every thread busy when one is slowed down.
    const int bands = std::min(height, threads * 4);
    jobs::forEach(bands, threads, [&rows, height, bands](int i) {
        rows(int(qint64(height) * i / bands), int(qint64(height) * (i + 1) / bands));
    });
}

void invertLine(quint32 *p, int n)
{
    int i = 0;
#ifdef __SSE2__
    const __m128i flip = _mm_set1_epi32(0x00ffffff);
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    for (; i + 8 <= n; i += 8) {
        auto *q = reinterpret_cast<__m128i *>(p + i);
        const __m128i a = _mm_loadu_si128(q);
        const __m128i b = _mm_loadu_si128(q + 1);
        _mm_storeu_si128(q, _mm_or_si128(_mm_xor_si128(a, flip), opaque));
        _mm_storeu_si128(q + 1, _mm_or_si128(_mm_xor_si128(b, flip), opaque));
    }
#endif
    for (; i < n; ++i)
        p[i] = (p[i] ^ 0x00ffffffu) | 0xff000000u;
}

// Subtracting d from a channel and limiting it to 0..255 is one saturating
// byte subtraction (d > 0) or addition (d < 0). Each channel gets either a
// subtraction or an addition, the other being 0; alpha gets an addition of
// 255, which makes it opaque.
struct Offsets
{
    quint32 sub; // bytes to subtract, laid out as a pixel
    quint32 add; // bytes to add, laid out as a pixel
    // Per-channel tables for the plain loop: the result channel already in
    // its place in the pixel word.
    quint32 red[256];
    quint32 green[256];
    quint32 blue[256];
};

int limitByte(qint64 v)
{
    return int(std::clamp<qint64>(v, 0, 255));
}

void adjustLine(quint32 *p, int n, const Offsets &o)
{
    int i = 0;
#ifdef __SSE2__
    const __m128i sub = _mm_set1_epi32(int(o.sub));
    const __m128i add = _mm_set1_epi32(int(o.add));
    for (; i + 8 <= n; i += 8) {
        auto *q = reinterpret_cast<__m128i *>(p + i);
        const __m128i a = _mm_loadu_si128(q);
        const __m128i b = _mm_loadu_si128(q + 1);
        _mm_storeu_si128(q, _mm_adds_epu8(_mm_subs_epu8(a, sub), add));
        _mm_storeu_si128(q + 1, _mm_adds_epu8(_mm_subs_epu8(b, sub), add));
    }
#endif
    for (; i < n; ++i) {
        const quint32 v = p[i];
        p[i] = 0xff000000u | o.red[(v >> 16) & 0xff] | o.green[(v >> 8) & 0xff] | o.blue[v & 0xff];
    }
}

} // namespace

QImage rotated(QImage image, double angle)
{
    if (image.isNull())
        return image;
    if (hasColourTable(image.format()))
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    // Qt turns quarter turns with a block-wise copy of whole rows, and moves
    // the result to start at (0, 0).
    return image.transformed(QTransform().rotate(angle));
}

QImage inverted(QImage image)
{
    if (image.isNull())
        return image;
    makeEditable(image);
    forEachLine(image, invertLine);
    // Every alpha is 255 now: the same words are valid RGB32.
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

QImage adjusted(QImage image, int red, int green, int blue, int all)
{
    if (image.isNull())
        return image;
    makeEditable(image);

    Offsets o;
    const qint64 d[3] = {qint64(red) + all, qint64(green) + all, qint64(blue) + all};
    o.sub = qRgba(limitByte(d[0]), limitByte(d[1]), limitByte(d[2]), 0);
    o.add = qRgba(limitByte(-d[0]), limitByte(-d[1]), limitByte(-d[2]), 255);
    for (int v = 0; v < 256; ++v) {
        o.red[v] = quint32(limitByte(v - d[0])) << 16;
        o.green[v] = quint32(limitByte(v - d[1])) << 8;
        o.blue[v] = quint32(limitByte(v - d[2]));
    }
    forEachLine(image, [&o](quint32 *line, int n) { adjustLine(line, n, o); });
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

} // namespace imageedits
