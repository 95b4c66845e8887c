#include "core/imageio/jxlreader.h"

#include "core/imageio/jpegheader.h"
#include "core/imageio/orientation.h"
#include "core/imageio/resolution.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <cstring>
#include <vector>

namespace jxlreader {
namespace {

// The largest EXIF or XMP box taken from a file.
constexpr size_t kMaxBoxBytes = 16 << 20;

// The file mapped into memory (read as the decoder asks for it, never
// copied whole); empty when it is no regular file or cannot be mapped.
struct Mapped
{
    QFile file;
    const uint8_t *data = nullptr;
    size_t size = 0;

    explicit Mapped(const QString &path) : file(path)
    {
        if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) && file.size() > 0) {
            data = file.map(0, file.size());
            size = data ? size_t(file.size()) : 0;
        }
    }
};

JxlDecoderPtr decoderFor(const uint8_t *data, size_t size, int events)
{
    JxlDecoderPtr dec = JxlDecoderMake(nullptr);
    if (!dec || JxlDecoderSubscribeEvents(dec.get(), events) != JXL_DEC_SUCCESS
        || JxlDecoderSetInput(dec.get(), data, size) != JXL_DEC_SUCCESS)
        return {};
    JxlDecoderCloseInput(dec.get());
    return dec;
}

// The basic info of data's codestream; false when it cannot be read.
bool basicInfo(const uint8_t *data, size_t size, JxlBasicInfo *info)
{
    const JxlDecoderPtr dec = decoderFor(data, size, JXL_DEC_BASIC_INFO);
    if (!dec)
        return false;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(dec.get());
        if (status == JXL_DEC_BASIC_INFO)
            return JxlDecoderGetBasicInfo(dec.get(), info) == JXL_DEC_SUCCESS;
        if (status != JXL_DEC_BOX && status != JXL_DEC_BOX_NEED_MORE_OUTPUT)
            return false; // an error, or the input ends first
    }
}

QSize shown(const JxlBasicInfo &info)
{
    QSize size(int(qMin<uint32_t>(info.xsize, INT_MAX)), int(qMin<uint32_t>(info.ysize, INT_MAX)));
    if (orientation::transposes(int(info.orientation)))
        size.transpose();
    return size;
}

bool isSrgb(const JxlColorEncoding &c)
{
    return c.white_point == JXL_WHITE_POINT_D65 && c.transfer_function == JXL_TRANSFER_FUNCTION_SRGB
        && (c.color_space == JXL_COLOR_SPACE_GRAY || c.primaries == JXL_PRIMARIES_SRGB);
}

// Chooses the colour the pixels come out in and returns the profile that
// describes them (empty for sRGB, what a picture without a profile is
// anyway). Pixels stored in the format's own colour model with only an ICC
// profile to say what they were would come out linear (banding in 8 bits):
// they are asked for in sRGB instead.
QByteArray pixelProfile(JxlDecoder *dec, const JxlBasicInfo &info)
{
    JxlColorEncoding encoding;
    if (!info.uses_original_profile
        && JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL, &encoding)
            != JXL_DEC_SUCCESS) {
        JxlColorEncoding srgb{};
        srgb.color_space = info.num_color_channels == 1 ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
        srgb.white_point = JXL_WHITE_POINT_D65;
        srgb.primaries = JXL_PRIMARIES_SRGB;
        srgb.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
        srgb.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
        JxlDecoderSetPreferredColorProfile(dec, &srgb);
    }
    if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &encoding) == JXL_DEC_SUCCESS
        && isSrgb(encoding))
        return {};
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) != JXL_DEC_SUCCESS
        || size == 0 || size > kMaxBoxBytes)
        return {};
    QByteArray icc(qsizetype(size), Qt::Uninitialized);
    if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       reinterpret_cast<uint8_t *>(icc.data()), size)
        != JXL_DEC_SUCCESS)
        return {};
    return icc;
}

// The layout the decoder writes and the QImage format that holds it.
struct Layout
{
    JxlPixelFormat pixel;
    QImage::Format format;
};

Layout layoutFor(const JxlBasicInfo &info)
{
    const bool deep = info.bits_per_sample > 8;
    const bool alpha = info.alpha_bits > 0;
    // Rows as QImage keeps them: every one starts on 4 bytes.
    Layout l{{4, deep ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4}, QImage::Format_Invalid};
    if (info.num_color_channels == 1 && !alpha) {
        l.pixel.num_channels = 1;
        l.format = deep ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
    } else if (!alpha) {
        l.format = deep ? QImage::Format_RGBX64 : QImage::Format_RGBX8888;
    } else if (info.alpha_premultiplied) {
        l.format = deep ? QImage::Format_RGBA64_Premultiplied : QImage::Format_RGBA8888_Premultiplied;
    } else {
        l.format = deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888;
    }
    return l;
}

} // namespace

bool sniff(const QByteArray &head)
{
    const JxlSignature s = JxlSignatureCheck(reinterpret_cast<const uint8_t *>(head.constData()), size_t(head.size()));
    return s == JXL_SIG_CODESTREAM || s == JXL_SIG_CONTAINER;
}

QSize declaredSize(QFile &file)
{
    const qint64 n = file.size();
    const uint8_t *data = n > 0 ? file.map(0, n) : nullptr;
    JxlBasicInfo info;
    const bool ok = data && basicInfo(data, size_t(n), &info);
    if (data)
        file.unmap(const_cast<uint8_t *>(data));
    if (!ok)
        return {};
    return QSize(int(qMin<uint32_t>(info.xsize, INT_MAX)), int(qMin<uint32_t>(info.ysize, INT_MAX)));
}

QSize size(const QString &path)
{
    const Mapped m(path);
    JxlBasicInfo info;
    if (!m.data || !basicInfo(m.data, m.size, &info))
        return {};
    return shown(info);
}

QImage decode(const QString &path)
{
    const Mapped m(path);
    if (!m.data)
        return {};
    const JxlDecoderPtr dec = decoderFor(m.data, m.size, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE);
    const auto runner = JxlThreadParallelRunnerMake(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads());
    if (!dec || !runner
        || JxlDecoderSetParallelRunner(dec.get(), JxlThreadParallelRunner, runner.get()) != JXL_DEC_SUCCESS)
        return {};
    JxlBasicInfo info{};
    Layout layout{};
    QImage image;
    QByteArray icc;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(dec.get());
        if (status == JXL_DEC_BASIC_INFO) {
            if (JxlDecoderGetBasicInfo(dec.get(), &info) != JXL_DEC_SUCCESS)
                return {};
            layout = layoutFor(info);
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            icc = pixelProfile(dec.get(), info);
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            image = QImage(shown(info), layout.format);
            size_t needed = 0;
            if (image.isNull()
                || JxlDecoderImageOutBufferSize(dec.get(), &layout.pixel, &needed) != JXL_DEC_SUCCESS
                || needed > size_t(image.sizeInBytes())
                || JxlDecoderSetImageOutBuffer(dec.get(), &layout.pixel, image.bits(), size_t(image.sizeInBytes()))
                    != JXL_DEC_SUCCESS)
                return {};
        } else if (status == JXL_DEC_FULL_IMAGE) {
            break; // the first frame is the picture
        } else {
            return {}; // an error, the input ending first, or no frame at all
        }
    }
    if (!icc.isEmpty()) {
        const QColorSpace space = QColorSpace::fromIccProfile(icc);
        if (space.isValid())
            image.setColorSpace(space);
    }
    QSize dpm = resolution::stated(jpegheader::Info(), metadata(path));
    if (dpm.isValid()) {
        if (orientation::transposes(int(info.orientation)))
            dpm.transpose();
        image.setDotsPerMeterX(dpm.width());
        image.setDotsPerMeterY(dpm.height());
    }
    return image;
}

Metadata metadata(const QString &path)
{
    const Mapped m(path);
    if (!m.data)
        return {};
    const JxlDecoderPtr dec = decoderFor(m.data, m.size, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_BOX);
    if (!dec)
        return {};
    // Compressed boxes (brob) are handed out as what they hold.
    JxlDecoderSetDecompressBoxes(dec.get(), JXL_TRUE);
    JxlBasicInfo info{};
    QByteArray exif, xmp, icc;
    std::vector<uint8_t> box;
    QByteArray *target = nullptr; // where the box being read goes; null: dropped
    std::vector<uint8_t> scratch(1 << 16);
    auto release = [&] {
        const size_t left = JxlDecoderReleaseBoxBuffer(dec.get());
        return box.size() - left;
    };
    auto finishBox = [&] {
        if (!target)
            return;
        const size_t got = release();
        *target = QByteArray(reinterpret_cast<const char *>(box.data()), qsizetype(got));
        target = nullptr;
    };
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(dec.get());
        if (status == JXL_DEC_BASIC_INFO) {
            JxlDecoderGetBasicInfo(dec.get(), &info);
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            icc = pixelProfile(dec.get(), info);
        } else if (status == JXL_DEC_BOX) {
            finishBox();
            JxlDecoderReleaseBoxBuffer(dec.get());
            JxlBoxType type;
            if (JxlDecoderGetBoxType(dec.get(), type, JXL_TRUE) != JXL_DEC_SUCCESS)
                break;
            if (std::memcmp(type, "Exif", 4) == 0 && exif.isEmpty())
                target = &exif;
            else if (std::memcmp(type, "xml ", 4) == 0 && xmp.isEmpty())
                target = &xmp;
            if (target) {
                box.assign(1 << 16, 0);
                JxlDecoderSetBoxBuffer(dec.get(), box.data(), box.size());
            }
        } else if (status == JXL_DEC_BOX_NEED_MORE_OUTPUT) {
            if (target && box.size() < kMaxBoxBytes) {
                const size_t got = release();
                box.resize(box.size() * 2);
                JxlDecoderSetBoxBuffer(dec.get(), box.data() + got, box.size() - got);
            } else {
                // Too large to be metadata worth keeping: read past it.
                target = nullptr;
                JxlDecoderReleaseBoxBuffer(dec.get());
                JxlDecoderSetBoxBuffer(dec.get(), scratch.data(), scratch.size());
            }
        } else {
            if (status == JXL_DEC_SUCCESS)
                finishBox();
            break;
        }
    }
    // The EXIF box starts with a 4-byte offset to the TIFF header.
    if (exif.size() > 4) {
        const quint32 offset = quint32(uchar(exif[0])) << 24 | quint32(uchar(exif[1])) << 16
            | quint32(uchar(exif[2])) << 8 | quint32(uchar(exif[3]));
        exif = offset < quint32(exif.size() - 4) ? exif.mid(4 + qsizetype(offset)) : QByteArray();
    } else {
        exif.clear();
    }
    return Metadata::fromBlocks(exif, xmp, icc);
}

} // namespace jxlreader
