#include "core/imageio/rawreader.h"

#include "core/imageio/guard.h"
#include "core/imageio/jpegreader.h"
#include "core/imageio/orientation.h"
#include "core/imageio/resolution.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>

#include <libraw.h>

#include <cstring>
#include <memory>

namespace rawreader {
namespace {

// The file opened by LibRaw (its header read, nothing unpacked); null when
// LibRaw does not take it for a raw file. Regular files only.
std::unique_ptr<LibRaw> opened(const QString &path, bool half = false)
{
    if (!QFileInfo(path).isFile())
        return {};
    auto raw = std::make_unique<LibRaw>();
    // Set before the file is opened: the sizes LibRaw works out follow it.
    raw->imgdata.params.half_size = half ? 1 : 0;
    // Damaged data is LibRaw's to get past (or fail on); it would only
    // write to the terminal.
    raw->set_dataerror_handler([](void *, const char *, const int) {}, nullptr);
    raw->set_memerror_handler([](void *, const char *, const char *) {}, nullptr);
    if (raw->open_file(QFile::encodeName(path).constData()) != LIBRAW_SUCCESS)
        return {};
    return raw;
}

// LibRaw's rotation (dcraw's flip: 4 swaps rows and columns, 2 turns rows
// upside down, 1 columns) in EXIF's numbering.
int exifOrientation(int flip)
{
    static const int orientations[8] = {1, 2, 4, 3, 5, 8, 6, 7};
    return flip >= 0 && flip < 8 ? orientations[flip] : 1;
}

// The photo's upright size, as the full decode gives it (pixel aspect,
// Fuji's turned sensors and the rotation worked out).
QSize shownSize(LibRaw &raw)
{
    if (raw.adjust_sizes_info_only() != LIBRAW_SUCCESS)
        return {};
    const QSize size(raw.imgdata.sizes.iwidth, raw.imgdata.sizes.iheight);
    return size.isEmpty() ? QSize() : size;
}

void setResolution(QImage &image, const QString &path, int flip)
{
    QSize dpm = resolution::stated(path);
    if (!dpm.isValid())
        return;
    if (orientation::transposes(exifOrientation(flip)))
        dpm.transpose();
    image.setDotsPerMeterX(dpm.width());
    image.setDotsPerMeterY(dpm.height());
}

// The camera's JPEG preview at the reduction that still covers wanted (the
// preview as stored, before the rotation).
QImage jpegPreview(const uchar *data, qsizetype size, const QSize &wanted)
{
    const jpegreader::Header header = jpegreader::header(data, size);
    if (!header.valid || !imageio::guard::check(header.size).isEmpty())
        return {};
    const int reduction = jpegreader::reductionFor(header.size, wanted);
    QImage image(jpegreader::scaledSize(header.size, reduction), jpegreader::formatOf(header.colours));
    if (image.isNull() || !jpegreader::decodeInto(data, size, header, image))
        return {};
    return image;
}

// A preview stored as plain 8-bit RGB.
QImage bitmapPreview(const libraw_thumbnail_t &thumb)
{
    const int w = thumb.twidth;
    const int h = thumb.theight;
    if (w <= 0 || h <= 0 || qint64(thumb.tlength) < qint64(w) * h * 3)
        return {};
    QImage image(w, h, QImage::Format_RGB888);
    if (image.isNull())
        return {};
    for (int y = 0; y < h; ++y)
        std::memcpy(image.scanLine(y), thumb.thumb + qint64(y) * w * 3, size_t(w) * 3);
    return image;
}

} // namespace

bool mayBeRaw(const QByteArray &head)
{
    if (head.size() < 16)
        return false;
    const char *h = head.constData();
    const auto starts = [h](const char *magic, int n) { return std::memcmp(h, magic, size_t(n)) == 0; };
    return starts("II*\0", 4) || starts("MM\0*", 4) || starts("IIRO", 4) || starts("IIRS", 4) || starts("MMOR", 4)
        || starts("IIU\0", 4) || starts("FUJIFILMCCD-RAW", 15)
        || (std::memcmp(h + 4, "ftypcrx ", 8) == 0);
}

bool isRaw(const QString &path)
{
    return bool(opened(path));
}

QSize declaredSize(const QString &path)
{
    const std::unique_ptr<LibRaw> raw = opened(path);
    if (!raw)
        return {};
    const libraw_image_sizes_t &s = raw->imgdata.sizes;
    const QSize sensor(s.raw_width, s.raw_height);
    const QSize photo(s.width, s.height);
    return qint64(sensor.width()) * sensor.height() >= qint64(photo.width()) * photo.height() ? sensor : photo;
}

QSize size(const QString &path)
{
    const std::unique_ptr<LibRaw> raw = opened(path);
    return raw ? shownSize(*raw) : QSize();
}

namespace {

// The photo demosaiced (or, at half size, each 2 x 2 block of the sensor
// taken as one pixel: a quarter of the work, for a file without a preview).
QImage develop(const QString &path, bool half)
{
    const std::unique_ptr<LibRaw> raw = opened(path, half);
    if (!raw)
        return {};
    libraw_output_params_t &p = raw->imgdata.params;
    p.use_camera_wb = 1;
    p.output_color = 1; // sRGB
    p.output_bps = 16;
    // sRGB's own curve, not the BT.709 one LibRaw uses unless told.
    p.gamm[0] = 1 / 2.4;
    p.gamm[1] = 12.92;
    const int flip = raw->imgdata.sizes.flip;
    if (raw->unpack() != LIBRAW_SUCCESS || raw->dcraw_process() != LIBRAW_SUCCESS)
        return {};
    int w = 0, h = 0, colours = 0, bits = 0;
    raw->get_mem_image_format(&w, &h, &colours, &bits);
    if (w <= 0 || h <= 0 || bits != 16 || (colours != 3 && colours != 1))
        return {};
    QImage image(w, h, QImage::Format_RGBX64);
    if (image.isNull())
        return {};
    // LibRaw writes its rows (turned upright) of 3 (or 1) channels into the
    // image's own memory; each row is then spread to four channels in place,
    // from its end, so that no second picture of this size is ever held.
    if (raw->copy_mem_image(image.bits(), int(image.bytesPerLine()), 0) != LIBRAW_SUCCESS)
        return {};
    raw->recycle();
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<quint16 *>(image.scanLine(y));
        for (int x = w - 1; x >= 0; --x) {
            const quint16 r = colours == 3 ? row[3 * x] : row[x];
            const quint16 g = colours == 3 ? row[3 * x + 1] : r;
            const quint16 b = colours == 3 ? row[3 * x + 2] : r;
            row[4 * x] = r;
            row[4 * x + 1] = g;
            row[4 * x + 2] = b;
            row[4 * x + 3] = 0xFFFF;
        }
    }
    image.setColorSpace(QColorSpace(QColorSpace::SRgb));
    setResolution(image, path, flip);
    return image;
}

} // namespace

QImage decode(const QString &path)
{
    return develop(path, false);
}

QImage preview(const QString &path, const std::function<QSize(const QSize &)> &atLeast, QSize *fullSize)
{
    const std::unique_ptr<LibRaw> raw = opened(path);
    if (!raw)
        return {};
    const int flip = raw->imgdata.sizes.flip;
    const int orientation = exifOrientation(flip);
    const bool hasPreview = raw->unpack_thumb() == LIBRAW_SUCCESS && raw->imgdata.thumbnail.thumb;
    const QSize full = shownSize(*raw);
    if (!full.isValid())
        return {};
    if (fullSize)
        *fullSize = full;
    const libraw_thumbnail_t &thumb = raw->imgdata.thumbnail;
    QImage image;
    if (!hasPreview) {
        image = develop(path, true);
        if (image.isNull() && fullSize)
            *fullSize = QSize();
        return image;
    }
    if (thumb.tformat == LIBRAW_THUMBNAIL_JPEG) {
        // The reduction applies to the preview as stored: the wanted size is
        // turned with it.
        QSize wanted = atLeast(full);
        if (orientation::transposes(orientation))
            wanted.transpose();
        image = jpegPreview(reinterpret_cast<const uchar *>(thumb.thumb), qsizetype(thumb.tlength), wanted);
    } else if (thumb.tformat == LIBRAW_THUMBNAIL_BITMAP) {
        image = bitmapPreview(thumb);
    }
    if (image.isNull()) {
        // A preview in a form not read here, or broken: the half-size photo.
        image = develop(path, true);
        if (image.isNull() && fullSize)
            *fullSize = QSize();
        return image;
    }
    image = orientation::applied(std::move(image), orientation);
    setResolution(image, path, flip);
    return image;
}

} // namespace rawreader
