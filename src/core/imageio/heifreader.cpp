#include "core/imageio/heifreader.h"

#include "core/imageio/jpegheader.h"
#include "core/imageio/resolution.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QPointF>
#include <QtEndian>

#include <libheif/heif.h>

#include <climits>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace heifreader {
namespace {

// ---- the box structure, read before libheif is let at the file -------------

// More than any picture's metadata: the meta box holds item descriptions,
// properties and small item data (the pictures themselves lie in mdat).
constexpr qint64 kMaxMetaBytes = 16 << 20;
// A file of ever so many tiny boxes would keep the walk reading.
constexpr int kMaxTopLevelBoxes = 4096;
constexpr int kMaxBoxes = 100000;
// The largest metadata block (EXIF, XMP, profile) taken from a file.
constexpr qint64 kMaxBlockBytes = 16 << 20;

constexpr quint32 fourcc(const char (&s)[5])
{
    return quint32(uchar(s[0])) << 24 | quint32(uchar(s[1])) << 16 | quint32(uchar(s[2])) << 8 | quint32(uchar(s[3]));
}

QString typeName(quint32 type)
{
    QByteArray name(4, '\0');
    qToBigEndian(type, name.data());
    return QString::fromLatin1(name.toPercentEncoding());
}

// Big-endian numbers from a span of bytes; a read past its end gives 0 and
// clears ok, so that a structure is read to its end and judged once.
struct Cursor
{
    const uchar *data;
    qint64 size;
    qint64 at = 0;
    bool ok = true;

    quint64 number(int bytes)
    {
        if (bytes < 0 || bytes > 8 || at + bytes > size) {
            ok = false;
            at = size;
            return 0;
        }
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | data[at + i];
        at += bytes;
        return v;
    }
    void skip(qint64 bytes)
    {
        if (bytes < 0 || at + bytes > size) {
            ok = false;
            at = size;
        } else {
            at += bytes;
        }
    }
};

struct Box
{
    quint32 type = 0;
    qint64 body = 0; // first byte after the header
    qint64 end = 0;
};

// The boxes that fill [from, to) of data. False when one claims more bytes
// than its container holds, or there are more than any file has.
bool boxesIn(const QByteArray &data, qint64 from, qint64 to, std::vector<Box> &out)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    qint64 at = from;
    while (at < to) {
        if (to - at < 8 || out.size() >= size_t(kMaxBoxes))
            return false;
        Cursor c{bytes + at, to - at};
        quint64 size = c.number(4);
        const quint32 type = quint32(c.number(4));
        if (size == 1)
            size = c.number(8);
        else if (size == 0)
            size = quint64(to - at);
        if (!c.ok || size < quint64(c.at) || size > quint64(to - at))
            return false;
        out.push_back({type, at + c.at, at + qint64(size)});
        at += qint64(size);
    }
    return true;
}

const Box *firstOf(const std::vector<Box> &boxes, quint32 type)
{
    for (const Box &b : boxes) {
        if (b.type == type)
            return &b;
    }
    return nullptr;
}

// Keeps the larger of the two by pixels; sides beyond int are held at its
// largest value (such a picture is far beyond any limit anyway).
void keepLarger(QSize &largest, quint64 w, quint64 h)
{
    const auto side = [](quint64 v) { return int(qMin<quint64>(v, quint64(INT_MAX))); };
    if (!largest.isValid() || double(w) * double(h) > double(largest.width()) * double(largest.height()))
        largest = QSize(side(w), side(h));
}

// The output size of a grid picture from its item data: version, flags,
// rows - 1, columns - 1, then width and height in 16 bits, or 32 when bit
// 0 of the flags is set.
void gridSize(const uchar *data, qint64 size, QSize &largest)
{
    Cursor c{data, size};
    c.number(1);
    const int flags = int(c.number(1));
    c.number(2);
    const int bytes = (flags & 1) ? 4 : 2;
    const quint64 w = c.number(bytes);
    const quint64 h = c.number(bytes);
    if (c.ok)
        keepLarger(largest, w, h);
}

// The items of type 'grid' named by the item information box.
std::set<quint32> gridItems(const QByteArray &meta, const Box &iinf)
{
    std::set<quint32> grids;
    const auto *bytes = reinterpret_cast<const uchar *>(meta.constData());
    Cursor c{bytes + iinf.body, iinf.end - iinf.body};
    const int version = int(c.number(1));
    c.skip(3);
    c.number(version == 0 ? 2 : 4); // entry count: the boxes themselves tell
    std::vector<Box> entries;
    if (!c.ok || !boxesIn(meta, iinf.body + c.at, iinf.end, entries))
        return grids;
    for (const Box &infe : entries) {
        if (infe.type != fourcc("infe"))
            continue;
        Cursor e{bytes + infe.body, infe.end - infe.body};
        const int v = int(e.number(1));
        e.skip(3);
        if (v < 2)
            continue; // no item type before version 2
        const quint32 id = quint32(e.number(v == 2 ? 2 : 4));
        e.number(2); // protection index
        const quint32 type = quint32(e.number(4));
        if (e.ok && type == fourcc("grid"))
            grids.insert(id);
    }
    return grids;
}

// The grid items' declared sizes, from where the item location box says
// their data lies: in the file (method 0) or in the meta box's idat
// (method 1).
void gridSizes(QFile &file, const QByteArray &meta, const std::vector<Box> &children, QSize &largest)
{
    const Box *iinf = firstOf(children, fourcc("iinf"));
    const Box *iloc = firstOf(children, fourcc("iloc"));
    if (!iinf || !iloc)
        return;
    const std::set<quint32> grids = gridItems(meta, *iinf);
    if (grids.empty())
        return;
    const Box *idat = firstOf(children, fourcc("idat"));
    const auto *bytes = reinterpret_cast<const uchar *>(meta.constData());
    Cursor c{bytes + iloc->body, iloc->end - iloc->body};
    const int version = int(c.number(1));
    c.skip(3);
    const int sizes = int(c.number(1));
    const int offsetSize = sizes >> 4;
    const int lengthSize = sizes & 15;
    const int more = int(c.number(1));
    const int baseSize = more >> 4;
    const int indexSize = (version == 1 || version == 2) ? more & 15 : 0;
    const quint64 items = c.number(version < 2 ? 2 : 4);
    for (quint64 i = 0; i < items && c.ok; ++i) {
        const quint32 id = quint32(c.number(version < 2 ? 2 : 4));
        const int method = (version == 1 || version == 2) ? int(c.number(2) & 15) : 0;
        c.number(2); // data reference
        const quint64 base = c.number(baseSize);
        const quint64 extents = c.number(2);
        quint64 firstOffset = 0;
        for (quint64 e = 0; e < extents && c.ok; ++e) {
            c.number(indexSize);
            const quint64 offset = c.number(offsetSize);
            c.number(lengthSize);
            if (e == 0)
                firstOffset = base + offset;
        }
        if (!c.ok || extents == 0 || !grids.count(id))
            continue;
        uchar data[12] = {};
        qint64 got = 0;
        if (method == 0 && firstOffset < quint64(file.size())) {
            if (file.seek(qint64(firstOffset)))
                got = file.read(reinterpret_cast<char *>(data), sizeof data);
        } else if (method == 1 && idat && firstOffset < quint64(idat->end - idat->body)) {
            got = qMin<qint64>(sizeof data, idat->end - idat->body - qint64(firstOffset));
            std::memcpy(data, bytes + idat->body + firstOffset, size_t(got));
        }
        if (got > 0)
            gridSize(data, got, largest);
    }
}

// ---- libheif ------------------------------------------------------------------

struct ContextFree
{
    void operator()(heif_context *c) const { heif_context_free(c); }
};
struct HandleRelease
{
    void operator()(heif_image_handle *h) const { heif_image_handle_release(h); }
};
struct ImageRelease
{
    void operator()(heif_image *i) const { heif_image_release(i); }
};
struct OptionsFree
{
    void operator()(heif_decoding_options *o) const { heif_decoding_options_free(o); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleRelease>;
using Image = std::unique_ptr<heif_image, ImageRelease>;

struct Opened
{
    Context context;
    Handle primary;
};

// The file read by libheif (its boxes, not its pictures) and its primary
// picture; an empty primary when it cannot be read. Regular files only.
Opened open(const QString &path)
{
    // Loads the decoder plugins once, before any thread reads a file.
    static const bool ready = [] {
        heif_init(nullptr);
        return true;
    }();
    Q_UNUSED(ready);
    Opened o;
    if (!QFileInfo(path).isFile())
        return o;
    o.context.reset(heif_context_alloc());
    if (!o.context)
        return o;
    if (heif_context_read_from_file(o.context.get(), QFile::encodeName(path).constData(), nullptr).code
        != heif_error_Ok)
        return o;
    heif_image_handle *handle = nullptr;
    if (heif_context_get_primary_image_handle(o.context.get(), &handle).code == heif_error_Ok)
        o.primary.reset(handle);
    return o;
}

QSize shownSize(heif_image_handle *h)
{
    const QSize s(heif_image_handle_get_width(h), heif_image_handle_get_height(h));
    return s.width() > 0 && s.height() > 0 ? s : QSize();
}

// The colour primaries and transfer of an nclx description, as far as
// Qt's colour spaces name them; what they cannot (PQ, HLG) is taken as
// sRGB's curve, so that the picture still shows.
QColorSpace fromNclx(const heif_color_profile_nclx &nclx)
{
    QColorSpace::TransferFunction transfer = QColorSpace::TransferFunction::SRgb;
    float gamma = 0;
    switch (nclx.transfer_characteristics) {
    case heif_transfer_characteristic_linear:
        transfer = QColorSpace::TransferFunction::Linear;
        break;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
        transfer = QColorSpace::TransferFunction::Gamma;
        gamma = 2.2f;
        break;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
        transfer = QColorSpace::TransferFunction::Gamma;
        gamma = 2.8f;
        break;
    default:
        break;
    }
    switch (nclx.color_primaries) {
    case heif_color_primaries_SMPTE_EG_432_1:
        return QColorSpace(QColorSpace::Primaries::DciP3D65, transfer, gamma);
    case heif_color_primaries_ITU_R_BT_2020_2_and_2100_0:
        return QColorSpace(QPointF(0.3127, 0.3290), QPointF(0.708, 0.292), QPointF(0.170, 0.797),
                           QPointF(0.131, 0.046), transfer, gamma);
    default:
        return QColorSpace(QColorSpace::Primaries::SRgb, transfer, gamma);
    }
}

// The colour space of the picture, and the profile that describes it: the
// file's own ICC profile as it is, or the nclx description as a profile when
// it is not plain sRGB (what a picture without a profile is anyway).
QColorSpace colourSpace(heif_image_handle *h, QByteArray *icc)
{
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(h);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        const size_t size = heif_image_handle_get_raw_color_profile_size(h);
        if (size == 0 || size > size_t(kMaxBlockBytes))
            return {};
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        if (heif_image_handle_get_raw_color_profile(h, bytes.data()).code != heif_error_Ok)
            return {};
        *icc = bytes;
        return QColorSpace::fromIccProfile(bytes);
    }
    if (type == heif_color_profile_type_nclx) {
        heif_color_profile_nclx *nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(h, &nclx).code != heif_error_Ok || !nclx)
            return {};
        const QColorSpace space = fromNclx(*nclx);
        heif_nclx_color_profile_free(nclx);
        if (space.isValid() && space != QColorSpace(QColorSpace::SRgb))
            *icc = space.iccProfile();
        return space;
    }
    return {};
}

QByteArray block(heif_image_handle *h, heif_item_id id)
{
    const size_t size = heif_image_handle_get_metadata_size(h, id);
    if (size == 0 || size > size_t(kMaxBlockBytes))
        return {};
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    if (heif_image_handle_get_metadata(h, id, bytes.data()).code != heif_error_Ok)
        return {};
    return bytes;
}

// The primary picture's EXIF (the TIFF structure behind the block's
// offset), XMP and profile.
Metadata metadataOf(heif_image_handle *h)
{
    QByteArray exif, xmp, icc;
    heif_item_id ids[8];
    const int exifBlocks = heif_image_handle_get_list_of_metadata_block_IDs(h, "Exif", ids, 8);
    if (exifBlocks > 0) {
        // A 4-byte offset to the TIFF header comes first; some writers put
        // JPEG's "Exif\0\0" before it as well.
        const QByteArray b = block(h, ids[0]);
        if (b.size() > 4) {
            const quint32 offset = qFromBigEndian<quint32>(b.constData());
            if (offset < quint32(b.size() - 4)) {
                exif = b.mid(4 + qsizetype(offset));
                if (exif.startsWith(QByteArray("Exif\0\0", 6)))
                    exif.remove(0, 6);
            }
        }
    }
    const int mimeBlocks = heif_image_handle_get_list_of_metadata_block_IDs(h, "mime", ids, 8);
    for (int i = 0; i < qMin(mimeBlocks, 8) && xmp.isEmpty(); ++i) {
        const char *type = heif_image_handle_get_metadata_content_type(h, ids[i]);
        if (type && qstrcmp(type, "application/rdf+xml") == 0)
            xmp = block(h, ids[i]);
    }
    colourSpace(h, &icc);
    return Metadata::fromBlocks(exif, xmp, icc);
}

// A decoded picture as a QImage over libheif's own pixels (no copy): the
// image frees them when its last copy goes.
QImage wrapped(Image decoded, bool alpha, bool premultiplied)
{
    int stride = 0;
    const uint8_t *pixels = heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    if (!pixels || w <= 0 || h <= 0 || stride < w * 4)
        return {};
    const QImage::Format format = !alpha ? QImage::Format_RGBX8888
        : premultiplied                  ? QImage::Format_RGBA8888_Premultiplied
                                         : QImage::Format_RGBA8888;
    heif_image *owner = decoded.get();
    QImage image(const_cast<uchar *>(pixels), w, h, stride, format,
                 [](void *img) { heif_image_release(static_cast<heif_image *>(img)); }, owner);
    if (!image.isNull())
        decoded.release(); // the image owns it now
    return image;
}

QImage decodeHandle(heif_image_handle *h)
{
    const bool alpha = heif_image_handle_has_alpha_channel(h);
    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    if (!options)
        return {};
    // Pictures of more than 8 bits a channel are shown and cut in 8.
    options->convert_hdr_to_8bit = 1;
    heif_image *out = nullptr;
    const heif_error error = heif_decode_image(h, &out, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                                               options.get());
    Image decoded(out);
    if (error.code != heif_error_Ok || !decoded)
        return {};
    return wrapped(std::move(decoded), alpha, heif_image_handle_is_premultiplied_alpha(h));
}

} // namespace

QByteArray sniff(const QByteArray &head)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(head.constData());
    const int n = int(head.size());
    if (n < 12 || heif_check_filetype(bytes, n) != heif_filetype_yes_supported)
        return {};
    const char *mime = heif_get_file_mime_type(bytes, n);
    if (!mime)
        return {};
    if (qstrcmp(mime, "image/avif") == 0 || qstrcmp(mime, "image/avif-sequence") == 0)
        return "avif";
    if (qstrncmp(mime, "image/hei", 9) == 0)
        return "heif";
    return {};
}

Declared declared(QFile &file)
{
    Declared d;
    const qint64 fileSize = file.size();
    QByteArray meta;
    qint64 at = 0;
    for (int count = 0; at + 8 <= fileSize && count < kMaxTopLevelBoxes; ++count) {
        uchar head[16];
        if (!file.seek(at) || file.read(reinterpret_cast<char *>(head), 16) < 8)
            return d; // unreadable now: the reader will say so
        Cursor c{head, qMin<qint64>(16, fileSize - at)};
        quint64 size = c.number(4);
        const quint32 type = quint32(c.number(4));
        if (size == 1)
            size = c.number(8);
        else if (size == 0)
            size = quint64(fileSize - at);
        if (!c.ok || size < quint64(c.at) || size > quint64(fileSize - at)) {
            d.broken = QStringLiteral("its HEIF box \"%1\" claims %2 bytes, but the file has %3 bytes after its start")
                           .arg(typeName(type))
                           .arg(size)
                           .arg(fileSize - at);
            return d;
        }
        if (type == fourcc("meta") && meta.isEmpty()) {
            if (qint64(size) > kMaxMetaBytes) {
                d.broken = QStringLiteral("its HEIF meta box claims %1 bytes; more than %2 MB of descriptions is refused")
                               .arg(size)
                               .arg(kMaxMetaBytes >> 20);
                return d;
            }
            if (!file.seek(at))
                return d;
            meta = file.read(qint64(size));
            if (meta.size() != qint64(size))
                return d;
            meta.remove(0, c.at);
        }
        at += qint64(size);
    }
    // The meta box is a full box: version and flags before its boxes.
    std::vector<Box> children;
    if (meta.size() < 4)
        return d;
    if (!boxesIn(meta, 4, meta.size(), children)) {
        d.broken = QStringLiteral("a box inside its HEIF meta box claims more bytes than the meta box holds");
        return d;
    }
    // Every picture's spatial extent (ispe: version and flags, width,
    // height), whichever item it belongs to.
    if (const Box *iprp = firstOf(children, fourcc("iprp"))) {
        std::vector<Box> properties;
        if (boxesIn(meta, iprp->body, iprp->end, properties)) {
            if (const Box *ipco = firstOf(properties, fourcc("ipco"))) {
                std::vector<Box> boxes;
                if (!boxesIn(meta, ipco->body, ipco->end, boxes)) {
                    d.broken = QStringLiteral("a property box of its HEIF file claims more bytes than it holds");
                    return d;
                }
                const auto *bytes = reinterpret_cast<const uchar *>(meta.constData());
                for (const Box &b : boxes) {
                    if (b.type != fourcc("ispe"))
                        continue;
                    Cursor e{bytes + b.body, b.end - b.body};
                    e.skip(4);
                    const quint64 w = e.number(4);
                    const quint64 h = e.number(4);
                    if (e.ok)
                        keepLarger(d.largest, w, h);
                }
            }
        }
    }
    // A grid declares its own output size, which libheif builds whatever
    // the extents say.
    gridSizes(file, meta, children, d.largest);
    return d;
}

QSize size(const QString &path)
{
    const Opened o = open(path);
    return o.primary ? shownSize(o.primary.get()) : QSize();
}

QImage decode(const QString &path)
{
    const Opened o = open(path);
    if (!o.primary)
        return {};
    heif_image_handle *h = o.primary.get();
    QImage image = decodeHandle(h);
    if (image.isNull())
        return {};
    QByteArray icc;
    const QColorSpace space = colourSpace(h, &icc);
    if (space.isValid())
        image.setColorSpace(space);
    // The resolution the EXIF states, turned with the picture.
    QSize dpm = resolution::stated(jpegheader::Info(), metadataOf(h));
    if (dpm.isValid()) {
        const int ispeW = heif_image_handle_get_ispe_width(h);
        const int ispeH = heif_image_handle_get_ispe_height(h);
        if (image.width() == ispeH && image.height() == ispeW && ispeW != ispeH)
            dpm.transpose();
        image.setDotsPerMeterX(dpm.width());
        image.setDotsPerMeterY(dpm.height());
    }
    return image;
}

QImage thumbnail(const QString &path, const std::function<QSize(const QSize &)> &atLeast, QSize *fullSize)
{
    const Opened o = open(path);
    if (!o.primary)
        return {};
    const QSize full = shownSize(o.primary.get());
    if (!full.isValid())
        return {};
    if (fullSize)
        *fullSize = full;
    const QSize wanted = atLeast(full);
    heif_item_id ids[8];
    const int count = heif_image_handle_get_list_of_thumbnail_IDs(o.primary.get(), ids, 8);
    for (int i = 0; i < qMin(count, 8); ++i) {
        heif_image_handle *t = nullptr;
        if (heif_image_handle_get_thumbnail(o.primary.get(), ids[i], &t).code != heif_error_Ok || !t)
            continue;
        Handle thumb(t);
        const QSize size = shownSize(thumb.get());
        // Of the picture's shape, within the rounding of its own size, and
        // no larger than the picture (a broken file could say anything).
        const qint64 cross = qint64(size.width()) * full.height() - qint64(size.height()) * full.width();
        if (!size.isValid() || size.width() > full.width() || size.height() > full.height()
            || size.width() < wanted.width() || size.height() < wanted.height()
            || qAbs(cross) > qint64(qMax(full.width(), full.height())))
            continue;
        QImage image = decodeHandle(thumb.get());
        if (!image.isNull())
            return image;
    }
    return {};
}

Metadata metadata(const QString &path)
{
    const Opened o = open(path);
    return o.primary ? metadataOf(o.primary.get()) : Metadata();
}

} // namespace heifreader
