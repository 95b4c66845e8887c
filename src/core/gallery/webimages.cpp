#include "core/gallery/webimages.h"

#include "core/imageio/imageio.h"

#include <QColorSpace>
#include <QPainter>

namespace webimages {
namespace {

QImage scaledTo(const QImage &image, const QSize &size)
{
    if (image.size() == size)
        return image;
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// A JPEG has no transparency: what a page would show through is white, as
// a viewer shows it on a white page. Pixels of another profile are
// converted to sRGB, which browsers assume for a picture without one.
QImage forTheWeb(QImage image, bool *converted)
{
    if (image.hasAlphaChannel()) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.setColorSpace(image.colorSpace());
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        painter.end();
        image = std::move(flat);
    }
    const QColorSpace space = image.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb)) {
        if (image.depth() != 32)
            image = image.convertToFormat(QImage::Format_RGB32);
        image.convertToColorSpace(QColorSpace::SRgb);
        *converted = true;
    }
    return image;
}

} // namespace

QSize fitWithin(const QSize &size, const QSize &bound)
{
    if (size.isEmpty() || bound.isEmpty())
        return {};
    if (size.width() <= bound.width() && size.height() <= bound.height())
        return size;
    return imageio::scaleMin(size, bound);
}

Sizes sizesFor(const QSize &full, const QSize &box, bool copies)
{
    Sizes s;
    if (copies) {
        s.copy = fitWithin(full, QSize(kLargeEdge, kLargeEdge));
        s.smallCopy = fitWithin(full, QSize(kSmallEdge, kSmallEdge));
        if (s.smallCopy == s.copy)
            s.smallCopy = QSize();
    }
    if (!box.isEmpty()) {
        s.thumbnail = fitWithin(full, box);
        // Twice the box, without overflowing int for a box typed as 9999.
        s.thumbnail2x = fitWithin(full, QSize(qMin(box.width(), 1 << 20) * 2, qMin(box.height(), 1 << 20) * 2));
        if (s.thumbnail2x == s.thumbnail)
            s.thumbnail2x = QSize();
    }
    return s;
}

QSize largest(const Sizes &sizes)
{
    QSize out;
    for (const QSize &s : {sizes.copy, sizes.smallCopy, sizes.thumbnail, sizes.thumbnail2x})
        out = out.expandedTo(s);
    return out;
}

Pictures make(const QImage &decoded, const Sizes &sizes)
{
    Pictures out;
    // Largest first: each picture is made from the one before it, so that
    // only the first scaling reads the whole decode, and the conversions
    // are done once, on the first.
    QImage source = decoded;
    bool prepared = false;
    for (auto [size, picture] : {std::pair{sizes.copy, &out.copy}, std::pair{sizes.smallCopy, &out.smallCopy},
                                 std::pair{sizes.thumbnail2x, &out.thumbnail2x},
                                 std::pair{sizes.thumbnail, &out.thumbnail}}) {
        if (size.isEmpty())
            continue;
        QImage scaled = scaledTo(source, size);
        if (!prepared) {
            scaled = forTheWeb(std::move(scaled), &out.converted);
            prepared = true;
        }
        *picture = scaled;
        source = std::move(scaled);
    }
    return out;
}

} // namespace webimages
