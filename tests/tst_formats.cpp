// Photos in the newer formats everywhere a photo goes: HEIC and AVIF
// (libheif), JPEG XL (libjxl), camera raw (LibRaw; DNG files made here) and
// WebP (Qt's plugin). Each opens upright whatever turn the file records and
// however it records it (a rotation box, the codestream's orientation, a
// raw file's orientation), never with an EXIF orientation applied on top of
// the format's own; it is stepped to by Page Up in a folder of mixed
// formats, listed by the folder tree, the gallery window and the gallery,
// and cut into a file holding the photo's own pixels (a raw file's developed
// photo, never its preview) with the camera's make, model and date. Files
// cut short and files declaring absurd sizes are refused at once.
//
// The samples are made by the formats' own encoders (heif-enc, avifenc,
// cjxl, cwebp: a row is skipped, saying which, where one is missing) and by
// tools/samples (the DNGs; an HEIC whose turn is its rotation box).

#include "ui/app/framzo.h"
#include "ui/browse/browsebar.h"
#include "ui/forms/uiframzo.h"
#include "ui/gallery/html.h"
#include "ui/images/mimesourcefactory.h"
#include "ui/picture/picture.h"
#include "core/cut/capture.h"
#include "core/gallery/gallerypages.h"
#include "core/imageio/formats.h"
#include "core/imageio/guard.h"
#include "core/imageio/imageio.h"
#include "core/imageio/metadata.h"
#include "core/imageio/resolution.h"
#include "core/photo/displaycopy.h"
#include "core/photo/saveformats.h"
#include "samples.h"
#include "testutil.h"
#include "testwindow.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QImageWriter>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtEndian>
#include <QtTest>

#include <ctime>
#include <functional>
#include <memory>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace {

const QSize kUpright(96, 64);

// Four quadrants of their own colour (red at the top left, green at the
// top right, blue at the bottom left, light grey at the bottom right when
// upright), so that any turn or mirror shows, with a dark gradient band
// across the middle for the encoders to work on.
QImage upright(bool inverted = false)
{
    QImage image(kUpright, QImage::Format_RGB32);
    const int w = kUpright.width(), h = kUpright.height();
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            QRgb c = y < h / 2 ? (x < w / 2 ? qRgb(200, 40, 40) : qRgb(40, 170, 60))
                               : (x < w / 2 ? qRgb(40, 70, 200) : qRgb(230, 230, 230));
            if (y >= h * 7 / 16 && y < h * 9 / 16)
                c = qRgb(x * 2, x * 2, 40);
            line[x] = inverted ? qRgb(255 - qRed(c), 255 - qGreen(c), 255 - qBlue(c)) : c;
        }
    }
    return image;
}

// The picture as a camera recording this orientation stores it: turned by
// the orientation, it is upright again.
QImage stored(const QImage &picture, int orientation)
{
    const int angle = orientation == 3 ? 180 : orientation == 6 ? 270 : orientation == 8 ? 90 : 0;
    return angle ? picture.transformed(QTransform().rotate(angle)) : picture;
}

// The colours at the middle of the four quadrants, as they are read off
// an upright picture of kUpright's shape.
QList<QRgb> quadrants(const QImage &picture)
{
    const QImage p = picture.convertToFormat(QImage::Format_RGB32);
    const int w = p.width(), h = p.height();
    return {p.pixel(w / 4, h / 5), p.pixel(w * 3 / 4, h / 5), p.pixel(w / 4, h * 4 / 5),
            p.pixel(w * 3 / 4, h * 4 / 5)};
}

// Empty when picture shows the expected quadrants (within what lossy
// coding and a sensor's demosaicing change), else what it shows.
QString upsideProblem(const QImage &picture, bool inverted = false)
{
    const QList<QRgb> want = quadrants(upright(inverted));
    const QList<QRgb> got = quadrants(picture);
    QString problem;
    for (int i = 0; i < 4; ++i) {
        if (qAbs(qRed(got[i]) - qRed(want[i])) > 40 || qAbs(qGreen(got[i]) - qGreen(want[i])) > 40
            || qAbs(qBlue(got[i]) - qBlue(want[i])) > 40)
            problem += QStringLiteral("quadrant %1 is %2,%3,%4; ").arg(i).arg(qRed(got[i])).arg(qGreen(got[i])).arg(qBlue(got[i]));
    }
    return problem;
}

// One sample photo: how it is made and what the program must make of it.
struct Sample
{
    QString name;         // its file name
    QByteArray format;    // as imageio::detect names it
    QString made;         // how it is made: a format of samples::write, "heic-box" or "dng-no-preview"
    int orientation = 1;  // the turn the file records
    bool ownTurn = true;  // recorded in the format's own way; false: in the EXIF alone, which must be ignored
    QString cutName;      // the name a cut of it gets
    bool savedInPlace = false;
    bool previewOther = false; // a raw file whose preview shows other colours than its photo
    bool profiled = false;     // made with an Adobe RGB profile, which must stay with it
};

QList<Sample> allSamples()
{
    return {
        {"b.webp", "webp", "webp", 1, true, "b.webp", true, false, true},
        // heif-enc 1.15 keeps the EXIF orientation of its input and adds no
        // rotation box: the format says the EXIF is not to be applied.
        {"c.HEIC", "heif", "heif", 6, false, "c.jpg", false, false, true},
        // A phone's photo: a rotation box, and the EXIF saying the same.
        {"d.heic", "heif", "heic-box", 6, true, "d.jpg", false, false},
        // avifenc turns the EXIF orientation into rotation and mirror boxes
        // and keeps the EXIF too.
        {"e.avif", "avif", "avif", 6, true, "e.jpg", false, false, true},
        // cjxl puts the EXIF orientation into the codestream.
        {"f.jxl", "jxl", "jxl", 8, true, "f.jpg", false, false, true},
        {"g.DNG", "raw", "raw", 6, true, "g.jpg", false, true},
        {"h.dng", "raw", "dng-no-preview", 3, true, "h.jpg", false, false},
    };
}

// Writes the sample into folder; false with *why when it cannot be made here.
bool make(const Sample &s, const QString &folder, QString *why)
{
    const QString path = folder + QLatin1Char('/') + s.name;
    const QImage picture = s.ownTurn ? stored(upright(), s.orientation) : upright();
    if (s.made == QLatin1String("heic-box"))
        return testutil::writeBytes(path, samples::heicTurned(picture, s.orientation, why));
    if (s.made == QLatin1String("dng-no-preview"))
        return testutil::writeBytes(path, samples::dng(picture, s.orientation));
    if (s.made == QLatin1String("raw"))
        return testutil::writeBytes(path, samples::dng(picture, s.orientation, 48, {},
                                                       stored(upright(true), s.orientation)));
    return samples::write(path, s.made.toLatin1(), picture, s.orientation, why,
                          s.profiled ? QColorSpace(QColorSpace::AdobeRgb).iccProfile() : QByteArray());
}

void addSampleRows()
{
    QTest::addColumn<int>("row");
    const QList<Sample> all = allSamples();
    for (int i = 0; i < all.size(); ++i)
        QTest::newRow(qPrintable(all.at(i).name + QLatin1Char(' ') + all.at(i).made)) << i;
}

struct Camera
{
    QString make, model, date;
    long orientation = 0;
    QByteArray icc;
};

Camera cameraOf(const QString &path)
{
    Camera c;
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        const Exiv2::ExifData &exif = image->exifData();
        auto text = [&exif](const char *key) {
            const auto it = exif.findKey(Exiv2::ExifKey(key));
            return it == exif.end() ? QString() : QString::fromStdString(it->toString());
        };
        c.make = text("Exif.Image.Make");
        c.model = text("Exif.Image.Model");
        c.date = text("Exif.Photo.DateTimeOriginal");
        c.orientation = text("Exif.Image.Orientation").toLong();
        if (image->iccProfileDefined())
            c.icc = QByteArray(reinterpret_cast<const char *>(image->iccProfile()->pData_), image->iccProfile()->size_);
    } catch (const std::exception &e) {
        qWarning("exiv2: %s", e.what());
    }
    return c;
}

// A bare JPEG XL codestream whose header declares w x h (each at most
// 2^18) and the default metadata.
QByteArray jxlDeclaring(quint32 w, quint32 h)
{
    quint64 bits = 0;
    int n = 0;
    auto put = [&](quint64 value, int count) {
        bits |= value << n;
        n += count;
    };
    put(0, 1);          // sides not in eighths
    put(2, 2);          // the height in 18 bits, less one
    put(h - 1, 18);
    put(0, 3);          // no ratio: the width follows
    put(2, 2);
    put(w - 1, 18);
    put(1, 1);          // every field of the metadata at its default
    QByteArray out("\xFF\x0A", 2);
    for (; n > 0; n -= 8, bits >>= 8)
        out += char(bits & 0xFF);
    return out + QByteArray(64, '\0');
}

// Every spatial extent (ispe) of an ISO box file set to w x h.
QByteArray ispeSized(QByteArray bytes, quint32 w, quint32 h)
{
    for (int at = bytes.indexOf("ispe"); at >= 0; at = bytes.indexOf("ispe", at + 4)) {
        if (at + 16 > bytes.size())
            break;
        qToBigEndian(w, bytes.data() + at + 8);
        qToBigEndian(h, bytes.data() + at + 12);
    }
    return bytes;
}

QByteArray be(quint32 v, int bytes)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out.right(bytes);
}

QByteArray box(const char *type, const QByteArray &body)
{
    return be(quint32(8 + body.size()), 4) + QByteArray(type, 4) + body;
}

QByteArray fullBox(const char *type, int version, const QByteArray &body)
{
    return box(type, char(version) + QByteArray(3, '\0') + body);
}

// The boxes of an HEIC whose primary picture is a grid of one tile: the
// tile's spatial extent is 64 x 64, the grid's own data (in the meta box's
// idat, where the item location box says) declares w x h. libheif builds
// the grid's size whatever the extents say.
QByteArray heifGridDeclaring(quint32 w, quint32 h)
{
    const QByteArray ftyp = box("ftyp", QByteArray("heic") + be(0, 4) + "mif1heic");
    const QByteArray hdlr = fullBox("hdlr", 0, be(0, 4) + "pict" + QByteArray(13, '\0'));
    const QByteArray pitm = fullBox("pitm", 0, be(1, 2));
    const QByteArray iinf = fullBox("iinf", 0, be(2, 2) + fullBox("infe", 2, be(1, 2) + be(0, 2) + "grid" + '\0')
                                                   + fullBox("infe", 2, be(2, 2) + be(0, 2) + "hvc1" + '\0'));
    // Version 1: offsets and lengths of 4 bytes, no base offset; item 1's
    // data is built into idat (method 1), its 12 bytes from offset 0.
    const QByteArray iloc = fullBox("iloc", 1, QByteArray("\x44\x00", 2) + be(1, 2) + be(1, 2) + be(1, 2) + be(0, 2)
                                                   + be(1, 2) + be(0, 4) + be(12, 4));
    const QByteArray iprp = box("iprp", box("ipco", fullBox("ispe", 0, be(64, 4) + be(64, 4))));
    // Version 0, flags 1 (sides in 32 bits), one row, one column.
    const QByteArray idat = box("idat", QByteArray("\x00\x01\x00\x00", 4) + be(w, 4) + be(h, 4));
    return ftyp + fullBox("meta", 0, hdlr + pitm + iloc + iinf + iprp + idat);
}

// A lossy WebP of one frame declaring w x h in its frame header.
QByteArray webpDeclaring(quint16 w, quint16 h)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "webp").write(upright());
    if (bytes.mid(12, 4) != "VP8 ")
        return {};
    qToLittleEndian(quint16(w & 0x3FFF), bytes.data() + 26);
    qToLittleEndian(quint16(h & 0x3FFF), bytes.data() + 28);
    return bytes;
}

double cpuMs()
{
    return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

QTreeWidgetItem *childNamed(QTreeWidgetItem *parent, const QString &name)
{
    return testutil::childNamed(parent, name);
}

} // namespace

class TstFormats : public QObject
{
    Q_OBJECT

    std::unique_ptr<Framzo> main;

private slots:
    void initTestCase() { initImages(); }
    void cleanupTestCase() { cleanupImages(); }
    void cleanup() { main.reset(); }

    // Upright as the file says, once: in full, in the reduced decode the
    // display copy and the icons come from, in the header's size; at the
    // resolution its EXIF states.
    void opensUpright_data() { addSampleRows(); }
    void opensUpright()
    {
        QFETCH(int, row);
        const Sample s = allSamples().at(row);
        QTemporaryDir dir;
        QString why;
        if (!make(s, dir.path(), &why))
            QSKIP(qPrintable(QStringLiteral("no sample %1: %2").arg(s.name, why)));
        const QString path = dir.filePath(s.name);

        QCOMPARE(imageio::detect(path), s.format);
        QCOMPARE(imageio::probeSize(path), kUpright);
        QByteArray format;
        const QImage full = imageio::decode(path, &format);
        QCOMPARE(format, s.format);
        QCOMPARE(full.size(), kUpright);
        QVERIFY2(upsideProblem(full).isEmpty(), qPrintable(upsideProblem(full)));
        QCOMPARE(resolution::dotsPerInch(full.dotsPerMeterX()), 300);
        QCOMPARE(resolution::dotsPerInch(full.dotsPerMeterY()), 300);
        if (s.profiled)
            QCOMPARE(full.colorSpace(), QColorSpace(QColorSpace::AdobeRgb));

        // What the window shows first and the icons: a raw file's own
        // preview (here of other colours), else the photo.
        QSize fullSize;
        const QImage reduced = imageio::decodeReduced(path, QSize(48, 32), &fullSize);
        QCOMPARE(fullSize, kUpright);
        QVERIFY(!reduced.isNull());
        // The photo's shape, within the rounding of a preview's own size.
        QVERIFY(qAbs(reduced.width() * kUpright.height() - reduced.height() * kUpright.width()) <= kUpright.width());
        QVERIFY2(upsideProblem(reduced, s.previewOther).isEmpty(), qPrintable(upsideProblem(reduced, s.previewOther)));
        const displaycopy::Copy copy = displaycopy::make(path, QSize(400, 300), true);
        QVERIFY(copy.ok);
        QCOMPARE(copy.fullSize, kUpright);
        QCOMPARE(copy.depth, full.depth());
        QCOMPARE(copy.format, s.format);
    }

    // The window's photo is the full decode (a raw file's developed photo,
    // not its preview), and a cut of it holds those pixels, written where
    // the program writes the format, else as JPEG under a .jpg name, with the
    // camera's make, model and date, upright. Save in place only where the
    // program writes the format.
    void cutsThePhotosPixels_data() { addSampleRows(); }
    void cutsThePhotosPixels()
    {
        QFETCH(int, row);
        const Sample s = allSamples().at(row);
        QTemporaryDir dir;
        QString why;
        if (!make(s, dir.path(), &why))
            QSKIP(qPrintable(QStringLiteral("no sample %1: %2").arg(s.name, why)));
        const QString path = dir.filePath(s.name);
        const QString cuts = dir.filePath(QStringLiteral("cuts"));
        QVERIFY(QDir().mkpath(cuts));

        const QImage decoded = imageio::decode(path);
        Picture *pic = testutil::openInNewWindow(main, path);
        QVERIFY(pic);
        QCOMPARE(testutil::difference(pic->image(), decoded), 0);

        const QRect rect(10, 6, 60, 40);
        const capture::Result cut = capture::writeCut(pic->image(), rect, path, cuts);
        QVERIFY2(!cut.path.isEmpty(), qPrintable(cut.error));
        QCOMPARE(cut.path, cuts + QLatin1Char('/') + s.cutName);
        QByteArray written;
        const QImage back = imageio::decode(cut.path, &written);
        QCOMPARE(written, formats::writtenFormat(s.format));
        double mean = 0;
        testutil::difference(back, decoded.copy(rect), &mean);
        QVERIFY2(mean < 3, qPrintable(QStringLiteral("mean difference %1").arg(mean)));

        const Camera camera = cameraOf(cut.path);
        const samples::Camera sampled;
        QCOMPARE(camera.make, QString::fromLatin1(sampled.make));
        QCOMPARE(camera.model, QString::fromLatin1(sampled.model));
        QCOMPARE(camera.date, QString::fromLatin1(sampled.date));
        QVERIFY(camera.orientation <= 1);
        if (s.profiled)
            QCOMPARE(QColorSpace::fromIccProfile(camera.icc), QColorSpace(QColorSpace::AdobeRgb));
        QCOMPARE(saveformats::savesInPlace(imageio::detect(path)), s.savedInPlace);
    }

    // One photo of each format beside a JPEG: Page Up steps to each and shows
    // it upright; the folder tree, the gallery window and the gallery list
    // them; the gallery's copies and thumbnails of the formats no browser
    // shows are JPEGs the pages link to.
    void everywhereInAMixedFolder()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("photos"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(testutil::writeBytes(folder + QStringLiteral("/a.jpg"), samples::cameraJpeg(upright())));
        QStringList names = {QStringLiteral("a.jpg")};
        for (const Sample &s : allSamples()) {
            QString why;
            if (!make(s, folder, &why))
                QSKIP(qPrintable(QStringLiteral("no sample %1: %2").arg(s.name, why)));
            names << s.name;
        }
        // Beside them a text file, and a TIFF of Qt's writer: built like a
        // raw file, but none.
        QVERIFY(testutil::writeBytes(folder + QStringLiteral("/notes.txt"), "not a photo\n"));
        QVERIFY(testutil::writeImage(folder + QStringLiteral("/z.tif"), 40, 30, "tiff"));
        QCOMPARE(formats::listImages(folder), names + QStringList{QStringLiteral("z.tif")});
        QCOMPARE(formats::listImages(folder, formats::Listing::Gallery), names + QStringList{QStringLiteral("z.tif")});
        QCOMPARE(imageio::detect(folder + QStringLiteral("/z.tif")), QByteArray("tiff"));

        // Page Up through the folder.
        Picture *pic = testutil::openInNewWindow(main, folder + QStringLiteral("/a.jpg"));
        QVERIFY(pic);
        for (int i = 1; i < names.size(); ++i) {
            QVERIFY(pic->stepInFolder(1));
            QVERIFY(testutil::waitLoaded(pic));
            QCOMPARE(pic->path(), folder + QLatin1Char('/') + names.at(i));
            QCOMPARE(pic->image().size(), kUpright);
            QVERIFY2(upsideProblem(pic->image()).isEmpty(), qPrintable(names.at(i) + ": " + upsideProblem(pic->image())));
            QCOMPARE(pic->information(), Picture::infoLine(pic->path(), pic->image()));
        }
        main.reset();

        // The folder tree.
        {
            UiFramzo form;
            BrowseBar bar(&form);
            bar.openPath(folder);
            QTreeWidgetItem *item = bar.computerItem()->child(0);
            for (const QString &part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts))
                item = childNamed(item, part);
            QVERIFY(item);
            QStringList listed;
            for (int i = 0; i < item->childCount(); ++i)
                listed << item->child(i)->text(0);
            for (const QString &name : names)
                QVERIFY2(listed.contains(name), qPrintable(name + " is not in the tree: " + listed.join(' ')));
            QVERIFY(!listed.contains(QStringLiteral("notes.txt")));
        }

        // The gallery window.
        {
            Html html(folder + QLatin1Char('/'));
            QTRY_VERIFY(!html.isListing());
            for (const QString &name : names) {
                QListWidgetItem *entry = nullptr;
                for (int i = 0; i < html.mpDir->count(); ++i) {
                    if (html.mpDir->item(i)->text() == name)
                        entry = html.mpDir->item(i);
                }
                QVERIFY2(entry, qPrintable(name + " is not in the gallery window"));
                QCOMPARE(entry->data(Html::KindRole).toInt(), int(Html::Image));
            }
        }

        // The gallery, from the command line.
        const QString out = dir.filePath(QStringLiteral("gallery"));
        QVERIFY(QDir().mkpath(out));
        QStringList args = {QStringLiteral("--gallery"), out, QStringLiteral("--")};
        for (const QString &name : names)
            args << folder + QLatin1Char('/') + name;
        QCOMPARE(testutil::galleryCli(args), 0);
        QCOMPARE(testutil::linksLeavingFolder(out), QStringList());
        for (const QString &name : names) {
            const QString copy = out + QStringLiteral("/framzo/") + gallerypages::copyName(name);
            QByteArray format;
            const QImage image = imageio::decode(copy, &format);
            QCOMPARE(image.size(), kUpright);
            QVERIFY2(upsideProblem(image).isEmpty(), qPrintable(name + ": " + upsideProblem(image)));
            const QByteArray own = imageio::detect(folder + QLatin1Char('/') + name);
            QCOMPARE(format, formats::writtenFormat(own));
            QVERIFY(QFileInfo::exists(out + QStringLiteral("/framzo/preview_") + gallerypages::copyName(name)));
        }
    }

    // Cut short anywhere, or declaring more pixels than a picture may have:
    // not an image, found out before any decoder has worked on it for long.
    void brokenFilesAreRefusedQuickly_data()
    {
        QTest::addColumn<QString>("made");   // how the good file is made (a Sample's)
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("damage"); // "half", "head": cut there; "absurd": declares too many pixels
        QTest::addColumn<QString>("reason"); // part of the guard's reason; empty: not checked
        const QStringList damages = {QStringLiteral("half"), QStringLiteral("head")};
        const QList<QPair<QString, QString>> made = {{"heif", "heic"}, {"avif", "avif"}, {"jxl", "jxl"},
                                                     {"webp", "webp"}, {"raw", "dng"}};
        for (const auto &m : made) {
            for (const QString &d : damages)
                QTest::newRow(qPrintable(m.first + ' ' + d)) << m.first << m.second << d << QString();
        }
        QTest::newRow("heif absurd") << "heif" << "heic" << "absurd" << "100000 x 100000 pixels";
        QTest::newRow("heif grid absurd") << "heif-grid" << "heic" << "absurd" << "60000 x 60000 pixels";
        QTest::newRow("avif absurd") << "avif" << "avif" << "absurd" << "100000 x 100000 pixels";
        QTest::newRow("jxl absurd") << "jxl" << "jxl" << "absurd" << "16000 x 16000 pixels";
        QTest::newRow("webp absurd") << "webp" << "webp" << "absurd" << QString();
        QTest::newRow("raw absurd") << "raw" << "dng" << "absurd" << "16000 x 16000 pixels";
    }

    void brokenFilesAreRefusedQuickly()
    {
        QFETCH(QString, made);
        QFETCH(QString, ending);
        QFETCH(QString, damage);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("good.") + ending);
        QByteArray bytes;
        if (made == QLatin1String("heif-grid")) {
            bytes = heifGridDeclaring(60000, 60000);
        } else if (damage == QLatin1String("absurd") && made == QLatin1String("jxl")) {
            bytes = jxlDeclaring(16000, 16000);
        } else if (damage == QLatin1String("absurd") && made == QLatin1String("webp")) {
            bytes = webpDeclaring(16383, 16383);
        } else if (damage == QLatin1String("absurd") && made == QLatin1String("raw")) {
            bytes = testutil::tiffSized(samples::dng(upright(), 1), 16000, 16000);
        } else {
            QString why;
            if (made == QLatin1String("raw"))
                QVERIFY(testutil::writeBytes(good, samples::dng(upright(), 6, 64)));
            else if (!samples::write(good, made.toLatin1(), upright(), 1, &why))
                QSKIP(qPrintable(why));
            bytes = testutil::readAll(good);
            QVERIFY(!imageio::decode(good).isNull());
            if (damage == QLatin1String("half"))
                bytes = bytes.left(bytes.size() / 2);
            else if (damage == QLatin1String("head"))
                bytes = bytes.left(40);
            else
                bytes = ispeSized(bytes, 100000, 100000);
        }
        QVERIFY(!bytes.isEmpty());
        const QString path = dir.filePath(QStringLiteral("broken.") + ending);
        QVERIFY(testutil::writeBytes(path, bytes));

        const double start = cpuMs();
        const QByteArray format = imageio::detect(path);
        const QSize probed = imageio::probeSize(path);
        QVERIFY(imageio::decode(path).isNull());
        QVERIFY(imageio::decodeReduced(path, QSize(64, 48)).isNull());
        QVERIFY(imageio::decodePreview(path, QSize(64, 48)).isNull());
        QVERIFY(!displaycopy::make(path, QSize(400, 300), true).ok);
        Metadata::read(path);
        const double spent = cpuMs() - start;
        qInfo().noquote() << QStringLiteral("%1 %2: not an image after %3 ms of processor time")
                                 .arg(made, damage)
                                 .arg(spent, 0, 'f', 1);
        // Refused from the header: a few milliseconds of work, with room for
        // a sanitizer build on a loaded machine.
        QVERIFY2(spent < 3000, qPrintable(QStringLiteral("%1 ms of processor time").arg(spent)));
        if (damage == QLatin1String("absurd")) {
            QVERIFY(!probed.isValid());
            const QString why = imageio::guard::check(path, format, imageio::probeSize(path));
            if (!reason.isEmpty())
                QVERIFY2(imageio::guard::check(path, format).contains(reason),
                         qPrintable(QStringLiteral("%1: %2").arg(QString::fromLatin1(format), why)));
        }
    }
};

QTEST_MAIN(TstFormats)
#include "tst_formats.moc"
