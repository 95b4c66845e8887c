#include "core/imageio/colourmanage.h"

#include <QColorSpace>
#include <QMutex>
#include <QMutexLocker>

#include <lcms2.h>

#include <memory>
#include <vector>

namespace colourmanage {

namespace {

// 32-bit pixels as QImage keeps them in memory (0xAARRGGBB in a word).
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr cmsUInt32Number kPixel32 = TYPE_BGRA_8;
#else
constexpr cmsUInt32Number kPixel32 = TYPE_ARGB_8;
#endif

using Transform = std::shared_ptr<void>;

struct Entry
{
    QByteArray source; // empty: sRGB
    QByteArray target; // empty: sRGB
    cmsUInt32Number pixels = 0;
    Transform transform; // null: a profile that cannot be used (asked again, it is not tried again)
};

// A few pairs are all a session meets (its cameras' and phones' profiles to
// one screen); the oldest goes first beyond that. A transform still in use on
// another thread lives until that thread lets it go.
constexpr std::size_t kCached = 8;
QMutex cacheMutex;
std::vector<Entry> cache;

cmsHPROFILE openProfile(const QByteArray &icc)
{
    if (icc.isEmpty())
        return cmsCreate_sRGBProfile();
    return cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
}

Transform makeTransform(const QByteArray &source, const QByteArray &target, cmsUInt32Number pixels)
{
    cmsHPROFILE in = openProfile(source);
    cmsHPROFILE out = openProfile(target);
    cmsHTRANSFORM t = nullptr;
    // Pixels are RGB on both sides: a grey or CMYK profile, or a target that
    // is no screen's, is not applied to them.
    if (in && out && cmsGetColorSpace(in) == cmsSigRgbData && cmsGetColorSpace(out) == cmsSigRgbData) {
        const cmsUInt32Number flags = pixels == kPixel32 ? cmsFLAGS_COPY_ALPHA : 0;
        t = cmsCreateTransform(in, pixels, out, pixels, INTENT_PERCEPTUAL, flags);
    }
    if (in)
        cmsCloseProfile(in);
    if (out)
        cmsCloseProfile(out);
    if (!t)
        return {};
    return Transform(t, [](void *p) { cmsDeleteTransform(p); });
}

Transform transformFor(const QByteArray &source, const QByteArray &target, cmsUInt32Number pixels)
{
    QMutexLocker lock(&cacheMutex);
    for (const Entry &e : cache) {
        if (e.pixels == pixels && e.source == source && e.target == target)
            return e.transform;
    }
    Entry e{source, target, pixels, makeTransform(source, target, pixels)};
    if (cache.size() >= kCached)
        cache.erase(cache.begin());
    cache.push_back(e);
    return e.transform;
}

struct Display
{
    bool enabled = true;
    QByteArray profile;
    quint64 generation = 0;
};

QMutex displayMutex;
Display display;

Display currentDisplay()
{
    QMutexLocker lock(&displayMutex);
    return display;
}

} // namespace

bool opens(const QByteArray &icc)
{
    if (icc.isEmpty())
        return false;
    cmsHPROFILE profile = openProfile(icc);
    if (!profile)
        return false;
    cmsCloseProfile(profile);
    return true;
}

bool convert(QImage &image, const QByteArray &target)
{
    if (image.isNull())
        return false;
    const QColorSpace sourceSpace = image.colorSpace();
    const QColorSpace targetSpace = target.isEmpty() ? QColorSpace(QColorSpace::SRgb) : QColorSpace::fromIccProfile(target);
    // Untagged pixels are sRGB; sRGB on an sRGB screen is left as it is.
    if ((sourceSpace.isValid() ? sourceSpace : QColorSpace(QColorSpace::SRgb)) == targetSpace)
        return false;
    const QByteArray source = sourceSpace.isValid() && sourceSpace != QColorSpace(QColorSpace::SRgb)
                                  ? sourceSpace.iccProfile()
                                  : QByteArray();

    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_RGB888:
        break;
    default:
        // Grey, premultiplied, indexed, 16 bits a channel: drawn from 8-bit
        // RGB anyway. Premultiplied values would be converted wrongly.
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        break;
    }
    const cmsUInt32Number pixels = image.format() == QImage::Format_RGB888 ? TYPE_RGB_8 : kPixel32;
    const Transform transform = transformFor(source, target, pixels);
    if (!transform)
        return false;
    // The whole image in one call, line by line within lcms (scan lines may
    // be padded); in place, as both sides have the same layout.
    uchar *bits = image.bits();
    cmsDoTransformLineStride(transform.get(), bits, bits, cmsUInt32Number(image.width()),
                             cmsUInt32Number(image.height()), cmsUInt32Number(image.bytesPerLine()),
                             cmsUInt32Number(image.bytesPerLine()), 0, 0);
    image.setColorSpace(targetSpace.isValid() ? targetSpace : QColorSpace());
    return true;
}

QImage converted(const QImage &image, const QByteArray &target)
{
    QImage copy = image;
    convert(copy, target);
    return copy;
}

void setDisplay(bool enabled, const QByteArray &screenProfile)
{
    QMutexLocker lock(&displayMutex);
    if (display.enabled == enabled && display.profile == screenProfile)
        return;
    display.enabled = enabled;
    display.profile = screenProfile;
    ++display.generation;
}

bool displayEnabled()
{
    return currentDisplay().enabled;
}

QByteArray screenProfile()
{
    return currentDisplay().profile;
}

quint64 displayGeneration()
{
    return currentDisplay().generation;
}

bool changedForDisplay(const QImage &image)
{
    const Display d = currentDisplay();
    if (!d.enabled || image.isNull())
        return false;
    const QColorSpace source = image.colorSpace().isValid() ? image.colorSpace() : QColorSpace(QColorSpace::SRgb);
    const QColorSpace target = d.profile.isEmpty() ? QColorSpace(QColorSpace::SRgb) : QColorSpace::fromIccProfile(d.profile);
    return source != target;
}

quint64 toDisplay(QImage &image)
{
    const Display d = currentDisplay();
    if (d.enabled)
        convert(image, d.profile);
    return d.generation;
}

} // namespace colourmanage
