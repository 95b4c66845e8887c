#include "core/imageio/jpegwriter.h"

#include "core/imageio/turbohandle.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace jpegwriter {
namespace {

using turbo::Buffer;
using turbo::Handle;

int tjSubsampling(jpegheader::Subsampling s)
{
    switch (s) {
    case jpegheader::Subsampling::Grey:
        return TJSAMP_GRAY;
    case jpegheader::Subsampling::S444:
        return TJSAMP_444;
    case jpegheader::Subsampling::S422:
        return TJSAMP_422;
    case jpegheader::Subsampling::S420:
        return TJSAMP_420;
    case jpegheader::Subsampling::S440:
        return TJSAMP_440;
    case jpegheader::Subsampling::S411:
        return TJSAMP_411;
    }
    return TJSAMP_444;
}

// The image in a layout TurboJPEG reads as it is, converted (once, by Qt,
// line by line) only when it is in none: grey stays grey, 32-bit stays as it
// is, the rest becomes 32-bit. *pixelFormat receives TurboJPEG's name of it.
QImage readableLayout(const QImage &image, int *pixelFormat)
{
    // Qt's 32-bit formats are words 0xAARRGGBB, so their byte order in
    // memory depends on the machine's.
    constexpr bool little = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        *pixelFormat = little ? TJPF_BGRX : TJPF_XRGB;
        return image;
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        *pixelFormat = TJPF_RGBX;
        return image;
    case QImage::Format_RGB888:
        *pixelFormat = TJPF_RGB;
        return image;
    case QImage::Format_BGR888:
        *pixelFormat = TJPF_BGR;
        return image;
    case QImage::Format_Grayscale8:
        *pixelFormat = TJPF_GRAY;
        return image;
    case QImage::Format_Grayscale16:
        *pixelFormat = TJPF_GRAY;
        return image.convertToFormat(QImage::Format_Grayscale8);
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        if (image.isGrayscale()) {
            *pixelFormat = TJPF_GRAY;
            return image.convertToFormat(QImage::Format_Grayscale8);
        }
        break;
    default:
        break;
    }
    *pixelFormat = little ? TJPF_BGRX : TJPF_XRGB;
    return image.convertToFormat(QImage::Format_RGB32);
}

// TurboJPEG writes a JFIF header without units (density 1:1); the image's
// resolution goes into it here, in dots per inch as Qt's own writer puts it.
void setDensity(QByteArray &jpeg, const QImage &image)
{
    auto *p = reinterpret_cast<uchar *>(jpeg.data());
    if (jpeg.size() < 20 || p[2] != 0xFF || p[3] != 0xE0 || std::memcmp(p + 6, "JFIF", 5) != 0)
        return;
    const int x = int(std::lround(image.dotsPerMeterX() * 0.0254));
    const int y = int(std::lround(image.dotsPerMeterY() * 0.0254));
    if (x <= 0 || y <= 0 || x > 65535 || y > 65535)
        return;
    p[13] = 1; // dots per inch
    p[14] = uchar(x >> 8);
    p[15] = uchar(x);
    p[16] = uchar(y >> 8);
    p[17] = uchar(y);
}

// The eight ways of turning and mirroring a picture, as 2 x 2 matrices on
// coordinates (x to the right, y down), in TurboJPEG's order of TJXOP_*.
struct Turn
{
    int a, b, c, d; // (x, y) -> (a x + b y, c x + d y)
};
constexpr Turn kOps[] = {
    {1, 0, 0, 1},   // NONE
    {-1, 0, 0, 1},  // HFLIP
    {1, 0, 0, -1},  // VFLIP
    {0, 1, 1, 0},   // TRANSPOSE
    {0, -1, -1, 0}, // TRANSVERSE
    {0, -1, 1, 0},  // ROT90 (clockwise)
    {-1, 0, 0, -1}, // ROT180
    {0, 1, -1, 0},  // ROT270
};

// The operation that shows a photo of EXIF orientation 1..8 upright, as
// every viewer (Qt's reader too) applies it.
constexpr int kUpright[9] = {TJXOP_NONE, TJXOP_NONE,  TJXOP_HFLIP,      TJXOP_ROT180, TJXOP_VFLIP,
                             TJXOP_TRANSPOSE, TJXOP_ROT90, TJXOP_TRANSVERSE, TJXOP_ROT270};

Turn after(const Turn &second, const Turn &first)
{
    return {second.a * first.a + second.b * first.c, second.a * first.b + second.b * first.d,
            second.c * first.a + second.d * first.c, second.c * first.b + second.d * first.d};
}

int operation(int orientation, int quarterTurns)
{
    Turn t = kOps[kUpright[orientation >= 1 && orientation <= 8 ? orientation : 1]];
    for (int i = 0; i < ((quarterTurns % 4) + 4) % 4; ++i)
        t = after(kOps[TJXOP_ROT90], t);
    for (int op = 0; op < 8; ++op) {
        const Turn &o = kOps[op];
        if (o.a == t.a && o.b == t.b && o.c == t.c && o.d == t.d)
            return op;
    }
    return TJXOP_NONE; // not reached: the eight form a group
}

} // namespace

QByteArray encode(const QImage &image, int quality, jpegheader::Subsampling subsampling)
{
    if (image.isNull())
        return {};
    int pixelFormat = TJPF_BGRX;
    const QImage source = readableLayout(image, &pixelFormat);
    if (source.isNull())
        return {};
    int samp = tjSubsampling(subsampling);
    if (pixelFormat == TJPF_GRAY)
        samp = TJSAMP_GRAY;
    else if (samp == TJSAMP_GRAY) // a grey photo that has colour now
        samp = TJSAMP_444;

    Handle handle(tjInitCompress());
    if (!handle)
        return {};
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    const int rc = tjCompress2(handle.get(), source.constBits(), source.width(), int(source.bytesPerLine()),
                               source.height(), pixelFormat, &out, &outSize, samp, qBound(1, quality, 100), 0);
    const Buffer owned(out);
    if (rc != 0 || !out || outSize == 0)
        return {};
    QByteArray jpeg(reinterpret_cast<const char *>(out), qsizetype(outSize));
    setDensity(jpeg, image);
    return jpeg;
}

QByteArray transform(const QByteArray &jpeg, int orientation, int quarterTurns, bool progressive)
{
    if (jpeg.isEmpty())
        return {};
    Handle handle(tjInitTransform());
    if (!handle)
        return {};
    tjtransform xf;
    std::memset(&xf, 0, sizeof xf);
    xf.op = operation(orientation, quarterTurns);
    // Perfect or not at all: a transform that would have to drop or garble
    // the partial blocks at an edge is left to an encode of the pixels.
    xf.options = TJXOPT_PERFECT | TJXOPT_COPYNONE | (progressive ? TJXOPT_PROGRESSIVE : 0);
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    const int rc = tjTransform(handle.get(), reinterpret_cast<const unsigned char *>(jpeg.constData()),
                               static_cast<unsigned long>(jpeg.size()), 1, &out, &outSize, &xf, 0);
    const Buffer owned(out);
    if (rc != 0 || !out || outSize == 0)
        return {};
    return QByteArray(reinterpret_cast<const char *>(out), qsizetype(outSize));
}

} // namespace jpegwriter
