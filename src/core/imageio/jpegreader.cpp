#include "core/imageio/jpegreader.h"

#include "core/imageio/turbohandle.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <limits>

#include <jpeglib.h>

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

namespace {

// How a decode reports: errors jump back to the decode, warnings are
// counted and not printed, and every row group and every scan read asks
// whether to go on.
struct Reporting
{
    jpeg_error_mgr errors;
    jpeg_progress_mgr progress;
    jmp_buf back;
    DecodeControl *control = nullptr;
};

Reporting &reportingOf(j_common_ptr info)
{
    return *reinterpret_cast<Reporting *>(reinterpret_cast<char *>(info->err) - offsetof(Reporting, errors));
}

[[noreturn]] void jumpBack(j_common_ptr info)
{
    std::longjmp(reportingOf(info).back, 1);
}

void silent(j_common_ptr)
{
}

// A progressive file of absurdly many scans (a way to make a small file take
// minutes) is refused, as TurboJPEG's scan limit does; a decode no longer
// wanted stops here.
void goOn(j_common_ptr info)
{
    const Reporting &r = reportingOf(info);
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > 500)
        jumpBack(info);
    if (r.control && r.control->stopped())
        jumpBack(info);
}

// The decode proper, apart from any object with a destructor: an error
// jumps back into it. False when the data could not be decoded (or the
// decode was stopped).
bool decompress(j_decompress_ptr info, Reporting &r, const uchar *data, qsizetype size, J_COLOR_SPACE space,
                int reduction, uchar *bits, qsizetype stride, int width, int height)
{
    if (setjmp(r.back)) {
        jpeg_destroy_decompress(info);
        return false;
    }
    jpeg_create_decompress(info);
    info->progress = &r.progress;
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    jpeg_read_header(info, TRUE);
    info->out_color_space = space;
    info->scale_num = 1;
    info->scale_denom = unsigned(reduction);
    // The same accurate transform and smooth chroma upsampling that Qt's
    // reader asks the library for.
    info->dct_method = JDCT_ISLOW;
    info->do_fancy_upsampling = TRUE;
    jpeg_start_decompress(info);
    if (int(info->output_width) != width || int(info->output_height) != height) {
        jpeg_destroy_decompress(info);
        return false;
    }
    if (r.control)
        r.control->total += height;
    while (info->output_scanline < info->output_height) {
        JSAMPROW rows[16];
        const int count = std::min<int>(16, int(info->output_height - info->output_scanline));
        for (int i = 0; i < count; ++i)
            rows[i] = bits + (qsizetype(info->output_scanline) + i) * stride;
        const JDIMENSION read = jpeg_read_scanlines(info, rows, JDIMENSION(count));
        if (r.control)
            r.control->rows += read;
    }
    jpeg_finish_decompress(info);
    jpeg_destroy_decompress(info);
    return true;
}

} // namespace

bool decodeInto(const uchar *data, qsizetype size, const Header &header, QImage &image, bool *damaged,
                DecodeControl *control)
{
    if (damaged)
        *damaged = false;
    if (!header.valid || image.isNull() || image.format() != formatOf(header.colours)
        || quint64(size) > std::numeric_limits<unsigned long>::max())
        return false;
    int reduction = 0;
    for (int r : {1, 2, 4, 8}) {
        if (scaledSize(header.size, r) == image.size())
            reduction = r;
    }
    if (reduction == 0)
        return false;
    constexpr bool little = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
    J_COLOR_SPACE space = little ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    if (header.colours == Colours::Grey)
        space = JCS_GRAYSCALE;
    else if (header.colours == Colours::Cmyk)
        space = JCS_CMYK;

    Reporting r;
    jpeg_std_error(&r.errors);
    r.errors.error_exit = jumpBack;
    r.errors.output_message = silent;
    r.progress = jpeg_progress_mgr();
    r.progress.progress_monitor = goOn;
    r.control = control;
    jpeg_decompress_struct info;
    info.err = &r.errors;
    // bits() once, before the library writes: the image is not shared.
    if (!decompress(&info, r, data, size, space, reduction, image.bits(), image.bytesPerLine(), image.width(),
                    image.height()))
        return false;
    if (damaged)
        *damaged = r.errors.num_warnings > 0;
    if (header.colours == Colours::Cmyk)
        cmykToRgb(image);
    return true;
}

} // namespace jpegreader
