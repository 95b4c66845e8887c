#include "photos.h"

#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "core/base/jobs.h"

#include <QBuffer>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

// exiv2 0.27 hands its images out in std::auto_ptr, which C++17 marks
// deprecated; the warning is about the library's interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

namespace photos {
namespace {

// A well-mixed 32-bit hash of three integers.
quint32 mix(quint32 x, quint32 y, quint32 k)
{
    quint32 h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ (k + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// 0..1 from the hash.
float unit(quint32 x, quint32 y, quint32 k)
{
    return float(mix(x, y, k) >> 8) * (1.0f / 16777216.0f);
}

float smooth(float t)
{
    return t * t * (3.0f - 2.0f * t);
}

// Lattice ("value") noise in 0..1 with cells of `cell` pixels.
float lattice(int x, int y, int cell, quint32 k)
{
    const int cx = x / cell, cy = y / cell;
    const float fx = smooth(float(x - cx * cell) / cell);
    const float fy = smooth(float(y - cy * cell) / cell);
    const float a = unit(cx, cy, k), b = unit(cx + 1, cy, k);
    const float c = unit(cx, cy + 1, k), d = unit(cx + 1, cy + 1, k);
    const float top = a + (b - a) * fx, bottom = c + (d - c) * fx;
    return top + (bottom - top) * fy;
}

struct Blob
{
    float x, y, r, red, green, blue;
};

int clampByte(float v)
{
    return std::clamp(int(v + 0.5f), 0, 255);
}

} // namespace

QImage make(int w, int h, int variant)
{
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const quint32 k = quint32(variant) * 7919u + 17u;

    // The palette and the shapes of this variant.
    const float skyR = 60 + 80 * unit(1, 0, k), skyG = 110 + 70 * unit(2, 0, k), skyB = 170 + 70 * unit(3, 0, k);
    const float groundR = 70 + 90 * unit(4, 0, k), groundG = 60 + 70 * unit(5, 0, k), groundB = 30 + 50 * unit(6, 0, k);
    const float horizon = 0.35f + 0.3f * unit(7, 0, k);
    std::vector<Blob> blobs;
    for (int i = 0; i < 9; ++i) {
        blobs.push_back({unit(i, 1, k) * w, unit(i, 2, k) * h, (0.04f + 0.14f * unit(i, 3, k)) * std::min(w, h),
                         255 * unit(i, 4, k), 255 * unit(i, 5, k), 255 * unit(i, 6, k)});
    }
    const int coarse = std::max(8, w / 60);
    const int fine = std::max(2, w / 1500);

    // Rows are written through one base pointer: scanLine() on several
    // threads would touch the image's shared bookkeeping.
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    jobs::forEach(h, jobs::cores(), [&](int y) {
        auto *line = reinterpret_cast<QRgb *>(bits + y * stride);
        const float fy = float(y) / h;
        const float ground = fy < horizon ? 0.0f : std::min(1.0f, (fy - horizon) * 12.0f);
        for (int x = 0; x < w; ++x) {
            const float fx = float(x) / w;
            // Gradient: sky brightening towards the horizon, ground darkening
            // towards the bottom, a slight vignette.
            const float vignette = 1.0f - 0.25f * ((fx - 0.5f) * (fx - 0.5f) + (fy - 0.5f) * (fy - 0.5f));
            float r = (skyR + 50 * fy) * (1 - ground) + groundR * (1.2f - 0.5f * fy) * ground;
            float g = (skyG + 40 * fy) * (1 - ground) + groundG * (1.2f - 0.5f * fy) * ground;
            float b = (skyB + 20 * fy) * (1 - ground) + groundB * (1.2f - 0.5f * fy) * ground;
            // Soft shapes.
            for (const Blob &o : blobs) {
                const float dx = x - o.x, dy = y - o.y;
                const float d2 = (dx * dx + dy * dy) / (o.r * o.r);
                if (d2 < 1.0f) {
                    const float a = 0.8f * smooth(1.0f - d2);
                    r += (o.red - r) * a;
                    g += (o.green - g) * a;
                    b += (o.blue - b) * a;
                }
            }
            // Texture: clouds above, a rough surface below.
            const float t = lattice(x, y, coarse, k + 1) - 0.5f;
            const float tf = lattice(x, y, fine, k + 2) - 0.5f;
            const float texture = ground > 0 ? 40 * t + 60 * tf : 50 * t + 12 * tf;
            // Sensor noise, stronger in the dark.
            const quint32 n = mix(x, y, k + 3);
            const float noise = (float(n & 0xff) + float((n >> 8) & 0xff) - 255.0f) * 0.03f;
            line[x] = qRgb(clampByte((r + texture) * vignette + noise), clampByte((g + texture) * vignette + noise),
                           clampByte((b + 0.6f * texture) * vignette + noise));
        }
    });
    return image;
}

bool writeJpeg(const QString &path, int w, int h, int variant)
{
    const QImage image = make(w, h, variant);
    return !image.isNull() && imageio::write(image, path, "jpeg", 92) && isSubsampled420(path);
}

bool addExifThumbnail(const QString &path)
{
    const QImage photo = imageio::decode(path);
    if (photo.isNull())
        return false;
    const QImage small = photo.scaled(160, 160 * photo.height() / photo.width(), Qt::IgnoreAspectRatio,
                                      Qt::SmoothTransformation);
    QBuffer thumb;
    thumb.open(QIODevice::WriteOnly);
    if (!small.save(&thumb, "jpeg", 80))
        return false;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Framzo bench";
        exif["Exif.Image.Orientation"] = uint16_t(1);
        Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte *>(thumb.data().constData()),
                                                long(thumb.data().size()));
        image->setExifData(exif);
        image->writeMetadata();
        return true;
    } catch (const std::exception &) {
        return false;
    }
#pragma GCC diagnostic pop
}

bool isSubsampled420(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(1 << 16);
    // Walk the markers up to the frame header.
    int i = 2;
    while (i + 4 <= head.size() && uchar(head[i]) == 0xFF) {
        const uchar marker = uchar(head[i + 1]);
        const int length = (uchar(head[i + 2]) << 8) | uchar(head[i + 3]);
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            if (i + 4 + length > head.size() || uchar(head[i + 9]) != 3)
                return false;
            const auto sampling = [&](int c) { return uchar(head[i + 11 + 3 * c]); };
            return sampling(0) == 0x22 && sampling(1) == 0x11 && sampling(2) == 0x11;
        }
        i += 2 + length;
    }
    return false;
}

} // namespace photos
