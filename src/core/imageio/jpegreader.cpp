#include "core/imageio/jpegreader.h"

#include "core/imageio/turbohandle.h"

#include <limits>

namespace jpegreader {

Header header(const uchar *data, qsizetype size)
{
    Header h;
    if (!data || size <= 0 || quint64(size) > std::numeric_limits<unsigned long>::max())
        return h;
    const turbo::Handle handle(tjInitDecompress());
    if (!handle)
        return h;
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(handle.get(), data, static_cast<unsigned long>(size), &width, &height, &subsampling,
                            &colourspace)
            != 0
        || width <= 0 || height <= 0)
        return h;
    h.valid = true;
    h.size = QSize(width, height);
    if (colourspace == TJCS_GRAY)
        h.colours = Colours::Grey;
    else if (colourspace == TJCS_CMYK || colourspace == TJCS_YCCK)
        h.colours = Colours::Cmyk;
    return h;
}

QSize scaledSize(const QSize &size, int reduction)
{
    const tjscalingfactor factor{1, reduction};
    return {TJSCALED(size.width(), factor), TJSCALED(size.height(), factor)};
}

int reductionFor(const QSize &size, const QSize &atLeast)
{
    if (!atLeast.isValid())
        return 1;
    for (int reduction : {8, 4, 2}) {
        const QSize scaled = scaledSize(size, reduction);
        if (scaled.width() >= atLeast.width() && scaled.height() >= atLeast.height())
            return reduction;
    }
    return 1;
}

QImage::Format formatOf(Colours colours)
{
    return colours == Colours::Grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32;
}

namespace {

// Qt's reader takes a CMYK JPEG's values as Adobe stores them (inverted)
// and multiplies each colour by the black: the same here, in place.
void cmykToRgb(QImage &image)
{
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        uchar *line = image.scanLine(y);
        auto *out = reinterpret_cast<QRgb *>(line);
        for (int x = 0; x < w; ++x) {
            const uchar *in = line + 4 * x;
            const int k = in[3];
            out[x] = qRgb(k * in[0] / 255, k * in[1] / 255, k * in[2] / 255);
        }
    }
}

} // namespace

bool decodeInto(const uchar *data, qsizetype size, const Header &header, QImage &image, bool *damaged)
{
    if (damaged)
        *damaged = false;
    if (!header.valid || image.isNull() || image.format() != formatOf(header.colours)
        || quint64(size) > std::numeric_limits<unsigned long>::max())
        return false;
    const turbo::Handle handle(tjInitDecompress());
    if (!handle)
        return false;
    constexpr bool little = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
    int pixelFormat = little ? TJPF_BGRX : TJPF_XRGB;
    if (header.colours == Colours::Grey)
        pixelFormat = TJPF_GRAY;
    else if (header.colours == Colours::Cmyk)
        pixelFormat = TJPF_CMYK;
    // The same accurate transform and smooth chroma upsampling that Qt's
    // reader asks libjpeg for; a progressive file of absurdly many scans
    // (a way to make a small file take minutes) is refused.
    const int flags = TJFLAG_ACCURATEDCT | TJFLAG_LIMITSCANS;
    // bits() once, before the library writes: the image is not shared.
    uchar *bits = image.bits();
    const int rc = tjDecompress2(handle.get(), data, static_cast<unsigned long>(size), bits, image.width(),
                                 int(image.bytesPerLine()), image.height(), pixelFormat, flags);
    if (rc != 0 && tjGetErrorCode(handle.get()) != TJERR_WARNING)
        return false;
    if (damaged)
        *damaged = rc != 0;
    if (header.colours == Colours::Cmyk)
        cmykToRgb(image);
    return true;
}

} // namespace jpegreader
