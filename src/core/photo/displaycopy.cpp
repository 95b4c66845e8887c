#include "core/photo/displaycopy.h"

#include "core/imageio/colourmanage.h"
#include "core/imageio/imageio.h"
#include "core/imageio/rawreader.h"

namespace displaycopy {

QSize displaySize(int W, int H, int WW, int WH)
{
    if (W == 0 || H == 0)
        return {0, 0};
    int h = H;
    if (H > WH - 120)
        h = WH - 120;
    int w = static_cast<int>(static_cast<double>(W) / H * h);
    if (w > WW - 40) {
        w = WW - 40;
        h = static_cast<int>(static_cast<double>(H) / W * w);
    }
    return {w, h};
}

QSize copySize(const QSize &imageSize, const QSize &workspace)
{
    if (imageSize.isEmpty())
        return {0, 0};
    const QSize d = displaySize(imageSize.width(), imageSize.height(), workspace.width(), workspace.height());
    const int w = d.width();
    const int h = d.height();
    const qint64 rw = qint64(h) * imageSize.width() / imageSize.height();
    if (rw <= w)
        return {int(rw), h};
    return {w, int(qint64(w) * imageSize.height() / imageSize.width())};
}

QImage scaled(const QImage &image, const QSize &size)
{
    if (image.isNull() || size.width() <= 0 || size.height() <= 0)
        return {};
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage shown(const QImage &image, const QSize &size)
{
    QImage copy = scaled(image, size);
    colourmanage::toDisplay(copy);
    return copy;
}

QImage region(const QImage &image, const QRect &source, const QSize &target)
{
    const QRect part = source & image.rect();
    if (part.isEmpty() || target.isEmpty() || part != source)
        return {};
    // The smaller side is converted: before scaling up, after scaling down.
    const bool larger = target.width() >= part.width();
    QImage out = image.copy(part);
    if (larger) {
        colourmanage::toDisplay(out);
        if (target != part.size())
            out = out.scaled(target, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        return out;
    }
    out = out.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    colourmanage::toDisplay(out);
    return out;
}

bool fromReduced(const QByteArray &format)
{
    return format == "jpeg" || format == "raw";
}

namespace {

// c with its copy made from decoded (the full image, or a reduced decode
// when c.fullSize is already known), unless the file changed meanwhile.
Copy completed(Copy c, const QImage &decoded, const QSize &workspace)
{
    // A file that changed while it was read may be half old, half new.
    if (decoded.isNull() || c.fullSize.isEmpty() || FileStamp::of(c.path) != c.stamp)
        return c;
    c.depth = c.format == "raw" ? rawreader::kDepth : decoded.depth();
    c.dotsPerMeter = QSize(decoded.dotsPerMeterX(), decoded.dotsPerMeterY());
    // Only the copy is converted for the screen; the full image keeps the
    // file's numbers.
    c.copy = scaled(decoded, copySize(c.fullSize, workspace));
    c.colours = colourmanage::toDisplay(c.copy);
    c.ok = true;
    return c;
}

} // namespace

Copy fromDecoded(const QString &path, const photodecode::Decoded &decoded, const QSize &workspace)
{
    Copy c;
    c.path = path;
    c.stamp = decoded.stamp;
    c.format = decoded.format;
    c.fullSize = decoded.fullSize;
    c = completed(std::move(c), decoded.image, workspace);
    if (c.ok && decoded.image.size() == decoded.fullSize)
        c.full = decoded.image;
    return c;
}

bool covers(const photodecode::Decoded &decoded, const QSize &workspace)
{
    const QSize wanted = copySize(decoded.fullSize, workspace);
    return !decoded.image.isNull() && decoded.image.width() >= wanted.width()
        && decoded.image.height() >= wanted.height();
}

Copy make(const QString &path, const QSize &workspace, bool keepFull, DecodeControl *control)
{
    const QByteArray format = imageio::detect(path);
    if (keepFull && format == "jpeg" && imageio::decodesInBands(path)) {
        // Decoded once, on every core: the copy is made from the full image
        // right after it, sooner than a reduced decode beside the full one
        // would bring it, and it is the exact copy at once.
        return fromDecoded(path, photodecode::full(path, control), workspace);
    }
    Copy c;
    c.path = path;
    c.stamp = FileStamp::of(path);
    if (!c.stamp.exists)
        return c;
    QImage decoded;
    const auto atLeast = [&workspace](const QSize &size) { return copySize(size, workspace); };
    if (fromReduced(format)) {
        decoded = imageio::decodeReduced(path, atLeast, &c.fullSize, &c.format, control);
    } else {
        decoded = imageio::decode(path, &c.format, control);
        c.fullSize = decoded.size();
    }
    c = completed(std::move(c), decoded, workspace);
    if (c.ok && keepFull && !fromReduced(c.format))
        c.full = std::move(decoded);
    return c;
}

} // namespace displaycopy
