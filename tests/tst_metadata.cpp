// What a cut and a saved photo keep of their source: EXIF, IPTC, XMP and the
// colour profile (made upright, without the old thumbnail, with the new
// size), the JPEG quality and chroma subsampling, and lossless quarter turns;
// what a modern gallery publishes of it: no position, serial numbers or maker
// notes unless asked, sRGB pixels.
// The photos are made here: pixels encoded with TurboJPEG at a known quality
// and subsampling, metadata written into them with exiv2.

#include "ui/app/framzo.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "core/imageio/jpegheader.h"
#include "core/imageio/metadata.h"
#include "ui/images/mimesourcefactory.h"
#include "core/cut/capture.h"
#include "core/gallery/galleryrunner.h"
#include "core/photo/imageedits.h"
#include "ui/picture/picture.h"
#include "scripteddialogs.h"
#include "testutil.h"
#include "testwindow.h"

#include <QAction>
#include <QColorSpace>
#include <QColorTransform>
#include <QDirIterator>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <turbojpeg.h>

#include <algorithm>
#include <array>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

using jpegheader::Subsampling;

namespace {

// Noise on a gradient, so that JPEG sizes are those of a photo rather than of
// a flat picture.
QImage photo(int w, int h)
{
    QImage img = testutil::makeImage(w, h);
    quint32 seed = 12345;
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 27) - 16;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) - n, 255), qBound(0, qBlue(p) + n, 255));
        }
    }
    return img;
}

int tjSamp(Subsampling s)
{
    return s == Subsampling::S444 ? TJSAMP_444 : s == Subsampling::S422 ? TJSAMP_422 : TJSAMP_420;
}

// image (RGB32) as a JPEG of the given quality and subsampling.
bool writeJpeg(const QString &path, const QImage &image, int quality, Subsampling subsampling)
{
    tjhandle handle = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(handle, image.constBits(), image.width(), int(image.bytesPerLine()), image.height(),
                               TJPF_BGRX, &out, &size, tjSamp(subsampling), quality, 0);
    const QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(handle);
    return rc == 0 && testutil::writeBytes(path, bytes);
}

QByteArray adobeRgb()
{
    return QColorSpace(QColorSpace::AdobeRgb).iccProfile();
}

// What a camera writes: make, model, date, place, orientation and a
// thumbnail; with a keyword in IPTC, a title in XMP and a colour profile.
bool addCameraMetadata(const QString &path, int orientation)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Canon";
        exif["Exif.Image.Model"] = "Canon EOS 5D Mark IV";
        exif["Exif.Image.Orientation"] = uint16_t(orientation);
        exif["Exif.Photo.DateTimeOriginal"] = "2023:06:01 10:20:30";
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        Exiv2::URationalValue latitude;
        latitude.read("48/1 8/1 1234/100");
        exif.add(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude"), &latitude);
        QBuffer thumb;
        thumb.open(QIODevice::WriteOnly);
        testutil::makeImage(160, 120).save(&thumb, "jpeg");
        Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte *>(thumb.data().constData()),
                                                long(thumb.data().size()));
        image->setExifData(exif);
        Exiv2::IptcData iptc;
        iptc["Iptc.Application2.Keywords"] = "harbour";
        image->setIptcData(iptc);
        Exiv2::XmpData xmp;
        xmp["Xmp.dc.title"] = "lang=\"x-default\" Evening";
        image->setXmpData(xmp);
        const QByteArray icc = adobeRgb();
        Exiv2::DataBuf profile(reinterpret_cast<const Exiv2::byte *>(icc.constData()), long(icc.size()));
        image->setIccProfile(profile);
        image->writeMetadata();
        return true;
    } catch (const std::exception &e) {
        qWarning("exiv2: %s", e.what());
        return false;
    }
}

// What else a camera records that tells where and with which camera (and
// whose) a photo was taken: serial numbers, the owner, maker notes, and the
// position in XMP too.
bool addPrivateMetadata(const QString &path)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData exif = image->exifData();
        exif["Exif.Photo.BodySerialNumber"] = "0123456789";
        exif["Exif.Photo.LensSerialNumber"] = "987654";
        exif["Exif.Photo.CameraOwnerName"] = "Jane Doe";
        Exiv2::DataValue note(Exiv2::undefined);
        const QByteArray bytes("FRAMZO-TEST-NOTE serial 0123456789");
        note.read(reinterpret_cast<const Exiv2::byte *>(bytes.constData()), long(bytes.size()), Exiv2::littleEndian);
        exif.add(Exiv2::ExifKey("Exif.Photo.MakerNote"), &note);
        image->setExifData(exif);
        Exiv2::XmpData xmp = image->xmpData();
        xmp["Xmp.exif.GPSLatitude"] = "48,8.2N";
        xmp["Xmp.aux.SerialNumber"] = "0123456789";
        image->setXmpData(xmp);
        image->writeMetadata();
        return true;
    } catch (const std::exception &e) {
        qWarning("exiv2: %s", e.what());
        return false;
    }
}

// The keys of a file's EXIF and XMP that say where, with which camera or
// whose: any position, serial number, owner, and maker notes.
QStringList privateKeys(const QString &path)
{
    QStringList keys;
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        for (const Exiv2::Exifdatum &d : image->exifData()) {
            const QString key = QString::fromStdString(d.key());
            if (key.contains("GPS") || key.contains("Serial") || key.contains("Owner") || key.contains("MakerNote")
                || Exiv2::ExifTags::isMakerGroup(d.groupName()))
                keys << key;
        }
        for (const Exiv2::Xmpdatum &d : image->xmpData()) {
            const QString key = QString::fromStdString(d.key());
            if (key.contains("GPS") || key.contains("Serial"))
                keys << key;
        }
        // What exiv2 knows of is not all: the note's own bytes, wherever
        // they went.
        if (testutil::readAll(path).contains("FRAMZO-TEST-NOTE"))
            keys << "the maker note's bytes";
    } catch (const std::exception &e) {
        qWarning("exiv2: %s", e.what());
        keys << "unreadable";
    }
    return keys;
}

struct Found
{
    QString make, model, date, latitude, keyword, title;
    long orientation = 0;
    bool thumbnail = false;
    QSize pixels;
    QByteArray icc;
};

QString text(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? QString() : QString::fromStdString(it->toString());
}

Found readBack(const QString &path)
{
    Found f;
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        const Exiv2::ExifData &exif = image->exifData();
        f.make = text(exif, "Exif.Image.Make");
        f.model = text(exif, "Exif.Image.Model");
        f.date = text(exif, "Exif.Photo.DateTimeOriginal");
        f.latitude = text(exif, "Exif.GPSInfo.GPSLatitude");
        f.orientation = text(exif, "Exif.Image.Orientation").toLong();
        f.thumbnail = Exiv2::ExifThumbC(exif).copy().size_ > 0;
        f.pixels = QSize(text(exif, "Exif.Photo.PixelXDimension").toInt(),
                         text(exif, "Exif.Photo.PixelYDimension").toInt());
        const auto keyword = image->iptcData().findKey(Exiv2::IptcKey("Iptc.Application2.Keywords"));
        if (keyword != image->iptcData().end())
            f.keyword = QString::fromStdString(keyword->toString());
        const auto title = image->xmpData().findKey(Exiv2::XmpKey("Xmp.dc.title"));
        if (title != image->xmpData().end())
            f.title = QString::fromStdString(title->toString());
        if (image->iccProfileDefined())
            f.icc = QByteArray(reinterpret_cast<const char *>(image->iccProfile()->pData_), image->iccProfile()->size_);
    } catch (const std::exception &e) {
        qWarning("exiv2: %s", e.what());
    }
    return f;
}

// A little-endian EXIF block (a TIFF structure) of one directory of
// (tag, type, value) entries, each of one value stored in place.
QByteArray exifBlock(const QVector<std::array<quint32, 3>> &entries)
{
    QByteArray t("II*\0", 4);
    t += QByteArray(4, '\0');
    qToLittleEndian(quint32(8), t.data() + 4);
    QByteArray ifd(2 + 12 * entries.size() + 4, '\0');
    qToLittleEndian(quint16(entries.size()), ifd.data());
    for (int i = 0; i < entries.size(); ++i) {
        char *e = ifd.data() + 2 + 12 * i;
        qToLittleEndian(quint16(entries[i][0]), e);
        qToLittleEndian(quint16(entries[i][1]), e + 2);
        qToLittleEndian(quint32(1), e + 4);
        if (entries[i][1] == 3)
            qToLittleEndian(quint16(entries[i][2]), e + 8);
        else
            qToLittleEndian(quint32(entries[i][2]), e + 8);
    }
    return t + ifd;
}

// A JPEG segment: marker, length (which counts itself), data; extraLength
// makes the length lie.
QByteArray segment(quint8 marker, const QByteArray &data, int extraLength = 0)
{
    QByteArray s(4, '\0');
    s[0] = char(0xFF);
    s[1] = char(marker);
    qToBigEndian(quint16(data.size() + 2 + extraLength), s.data() + 2);
    return s + data;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray c(4, '\0');
    qToBigEndian(quint32(data.size()), c.data());
    const QByteArray body = QByteArray(type, 4) + data;
    QByteArray crc(4, '\0');
    qToBigEndian(testutil::crc32(body), crc.data());
    return c + body + crc;
}

// The offsets of the directories an EXIF block's pointers lead to, from
// IFD0 on; empty when one of them is reached twice (a loop).
QList<quint32> directoriesOf(const QByteArray &tiff)
{
    QList<quint32> seen;
    QList<quint32> todo{qFromLittleEndian<quint32>(tiff.constData() + 4)};
    while (!todo.isEmpty()) {
        const quint32 at = todo.takeFirst();
        if (seen.contains(at))
            return {};
        seen << at;
        if (qint64(at) + 2 > tiff.size())
            continue;
        const int n = qFromLittleEndian<quint16>(tiff.constData() + at);
        for (int i = 0; i < n && qint64(at) + 2 + 12 * (i + 1) <= tiff.size(); ++i) {
            const char *e = tiff.constData() + at + 2 + 12 * i;
            const quint16 tag = qFromLittleEndian<quint16>(e);
            if (tag == 0x8769 || tag == 0x8825 || tag == 0xa005)
                todo << qFromLittleEndian<quint32>(e + 8);
        }
    }
    return seen;
}

// The EXIF block of a written JPEG, PNG or (little-endian) TIFF file.
QByteArray exifOf(const QByteArray &file)
{
    if (file.startsWith("II*"))
        return file;
    for (const QByteArray &mark : {QByteArray("Exif\0\0", 6), QByteArray("eXIf")}) {
        const int at = file.indexOf(mark);
        if (at >= 0)
            return file.mid(at + mark.size());
    }
    return {};
}

// The largest difference of a colour channel between two images of one size.
int maxDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size())
        return 256;
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int i = 0; i < x.width(); ++i) {
            worst = qMax(worst, qAbs(qRed(p[i]) - qRed(q[i])));
            worst = qMax(worst, qAbs(qGreen(p[i]) - qGreen(q[i])));
            worst = qMax(worst, qAbs(qBlue(p[i]) - qBlue(q[i])));
        }
    }
    return worst;
}

// The pixels of a JPEG as stored (no orientation applied), decoded by
// TurboJPEG after the lossless transform op.
QImage decodeStored(const QByteArray &jpeg, int op)
{
    QByteArray data = jpeg;
    if (op != TJXOP_NONE) {
        tjhandle handle = tjInitTransform();
        tjtransform xf{};
        xf.op = op;
        xf.options = TJXOPT_PERFECT;
        unsigned char *out = nullptr;
        unsigned long size = 0;
        const int rc = tjTransform(handle, reinterpret_cast<const unsigned char *>(jpeg.constData()),
                                   static_cast<unsigned long>(jpeg.size()), 1, &out, &size, &xf, 0);
        data = rc == 0 ? QByteArray(reinterpret_cast<const char *>(out), qsizetype(size)) : QByteArray();
        tjFree(out);
        tjDestroy(handle);
    }
    tjhandle handle = tjInitDecompress();
    int w = 0, h = 0, samp = 0, space = 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
    QImage img;
    if (tjDecompressHeader3(handle, bytes, static_cast<unsigned long>(data.size()), &w, &h, &samp, &space) == 0) {
        img = QImage(w, h, QImage::Format_RGB32);
        if (tjDecompress2(handle, bytes, static_cast<unsigned long>(data.size()), img.bits(), w,
                          int(img.bytesPerLine()), h, TJPF_BGRX, 0) != 0)
            img = QImage();
    }
    tjDestroy(handle);
    return img;
}

enum class Action { Cut, SaveAfterTurn, SaveAsPng, SaveAsTiff, SaveAsJpegAfterInvert };

} // namespace

class TstMetadata : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initImages(); }
    void cleanupTestCase() { cleanupImages(); }
    void init()
    {
        testutil::clearSettings();
        answers.reset();
    }
    void cleanup() { main.reset(); }

    void keepsMetadata_data();
    void keepsMetadata();
    void keepsQuality_data();
    void keepsQuality();
    void everyLayout_data();
    void everyLayout();
    void losslessTurn_data();
    void losslessTurn();
    void qualitySetting();
    void previewFromTheExifThumbnail_data();
    void previewFromTheExifThumbnail();
    void galleryGivesNothingAway_data();
    void galleryGivesNothingAway();
    void hostileMetadataIsWrittenClean_data();
    void hostileMetadataIsWrittenClean();

private:
    std::unique_ptr<Framzo> main;
    ScriptedDialogs answers;
};

void TstMetadata::keepsMetadata_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("brokenExif");
    QTest::addColumn<QSize>("size"); // of the photo written

    // The source is stored 640 x 480 with orientation 6: it shows 480 x 640.
    QTest::newRow("cut") << Action::Cut << false << QSize(300, 200);
    QTest::newRow("save after a turn") << Action::SaveAfterTurn << false << QSize(640, 480);
    QTest::newRow("save as PNG") << Action::SaveAsPng << false << QSize(480, 640);
    QTest::newRow("save as TIFF") << Action::SaveAsTiff << false << QSize(480, 640);
    QTest::newRow("save as JPEG after invert") << Action::SaveAsJpegAfterInvert << false << QSize(480, 640);
    QTest::newRow("cut of a photo with broken EXIF") << Action::Cut << true << QSize(300, 200);
}

void TstMetadata::keepsMetadata()
{
    QFETCH(Action, action);
    QFETCH(bool, brokenExif);
    QFETCH(QSize, size);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("IMG_0001.jpg"));
    QVERIFY(writeJpeg(source, photo(640, 480), 90, Subsampling::S420));
    if (brokenExif) {
        // An EXIF block whose byte order mark is neither of the two.
        QByteArray bytes = testutil::readAll(source);
        const QByteArray app1 = QByteArray::fromHex("ffe1001a") + QByteArray("Exif\0\0XX*\0", 10) + QByteArray(14, 'z');
        bytes.insert(2, app1);
        QVERIFY(testutil::writeBytes(source, bytes));
    } else {
        QVERIFY(addCameraMetadata(source, 6));
        QCOMPARE(imageio::decode(source).size(), QSize(480, 640));
    }

    QString written;
    if (action == Action::Cut) {
        const QString cuts = dir.filePath(QStringLiteral("cuts"));
        QVERIFY(QDir().mkpath(cuts));
        const QImage image = imageio::decode(source);
        const capture::Result r = capture::writeCut(image, QRect(QPoint(10, 20), size), source, cuts);
        QVERIFY2(!r.path.isEmpty(), qPrintable(r.error));
        written = r.path;
    } else {
        Picture *pic = testutil::openInNewWindow(main, source);
        QVERIFY(pic);
        if (action == Action::SaveAfterTurn) {
            pic->rotateBy(90);
            pic->saveInPlace();
            QVERIFY(testutil::waitLoaded(pic));
            written = source;
        } else {
            if (action == Action::SaveAsJpegAfterInvert)
                pic->invertColors();
            answers.saveName = dir.filePath(QStringLiteral("copy"));
            answers.saveFilter = action == Action::SaveAsPng    ? QStringLiteral("PNG (*.png)")
                                 : action == Action::SaveAsTiff ? QStringLiteral("TIFF (*.tif *.tiff)")
                                                                : QStringLiteral("Jpeg (*.jpg *jpeg)");
            pic->saveAs();
            QVERIFY(testutil::waitLoaded(pic));
            written = pic->path();
            QVERIFY(written != source);
        }
    }
    QCOMPARE(imageio::decode(written).size(), size);

    const Found f = readBack(written);
    if (brokenExif) {
        QCOMPARE(f.make, QString());
        return;
    }
    QCOMPARE(f.make, QStringLiteral("Canon"));
    QCOMPARE(f.model, QStringLiteral("Canon EOS 5D Mark IV"));
    QCOMPARE(f.date, QStringLiteral("2023:06:01 10:20:30"));
    QCOMPARE(f.latitude, QStringLiteral("48/1 8/1 1234/100"));
    QCOMPARE(f.keyword, QStringLiteral("harbour"));
    QCOMPARE(f.title, QStringLiteral("lang=\"x-default\" Evening"));
    QCOMPARE(f.orientation, 1L);
    QVERIFY(!f.thumbnail);
    QCOMPARE(f.pixels, size);
    QCOMPARE(f.icc, adobeRgb());
}

void TstMetadata::keepsQuality_data()
{
    QTest::addColumn<QByteArray>("sourceFormat");
    QTest::addColumn<int>("quality"); // of a JPEG source
    QTest::addColumn<Subsampling>("subsampling");
    QTest::addColumn<int>("setting"); // the quality setting; 0: as the source
    QTest::addColumn<int>("expectedQuality");
    QTest::addColumn<Subsampling>("expectedSubsampling");

    QTest::newRow("75, 4:2:0") << QByteArray("jpeg") << 75 << Subsampling::S420 << 0 << 75 << Subsampling::S420;
    QTest::newRow("90, 4:4:4") << QByteArray("jpeg") << 90 << Subsampling::S444 << 0 << 90 << Subsampling::S444;
    QTest::newRow("95, 4:2:0") << QByteArray("jpeg") << 95 << Subsampling::S420 << 0 << 95 << Subsampling::S420;
    QTest::newRow("98, 4:4:4") << QByteArray("jpeg") << 98 << Subsampling::S444 << 0 << 98 << Subsampling::S444;
    QTest::newRow("90, 4:2:2") << QByteArray("jpeg") << 90 << Subsampling::S422 << 0 << 90 << Subsampling::S422;
    QTest::newRow("setting 60 over a 95") << QByteArray("jpeg") << 95 << Subsampling::S420 << 60 << 60
                                          << Subsampling::S420;
    QTest::newRow("from PNG") << QByteArray("png") << 0 << Subsampling::S420 << 0 << 95 << Subsampling::S444;
}

void TstMetadata::keepsQuality()
{
    QFETCH(QByteArray, sourceFormat);
    QFETCH(int, quality);
    QFETCH(Subsampling, subsampling);
    QFETCH(int, setting);
    QFETCH(int, expectedQuality);
    QFETCH(Subsampling, expectedSubsampling);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("photo.") + sourceFormat);
    const QImage pixels = photo(800, 600);
    if (sourceFormat == "jpeg") {
        QVERIFY(writeJpeg(source, pixels, quality, subsampling));
        // The estimate gives the IJG encoder's own tables their quality back.
        const jpegheader::Info in = jpegheader::read(source);
        QCOMPARE(in.quality, quality);
        QCOMPARE(in.subsampling, subsampling);
    } else {
        QVERIFY(pixels.save(source, sourceFormat));
    }

    // A cut of a JPEG; a PNG is saved as a JPEG.
    QString written = dir.filePath(QStringLiteral("out.jpg"));
    imageio::PhotoOptions options;
    options.jpegQuality = setting;
    if (sourceFormat == "jpeg") {
        const QString cuts = dir.filePath(QStringLiteral("cuts"));
        QVERIFY(QDir().mkpath(cuts));
        const capture::Result r =
            capture::writeCut(imageio::decode(source), QRect(100, 50, 500, 400), source, cuts, options);
        QVERIFY2(!r.path.isEmpty(), qPrintable(r.error));
        written = r.path;
    } else {
        QVERIFY(imageio::writePhoto(imageio::decode(source), written, "jpeg", {source, -1}, options));
    }
    const jpegheader::Info out = jpegheader::read(written);
    QVERIFY(out.valid);
    QVERIFY2(qAbs(out.quality - expectedQuality) <= 2, qPrintable(QString::number(out.quality)));
    QCOMPARE(out.subsampling, expectedSubsampling);
}

void TstMetadata::everyLayout_data()
{
    QTest::addColumn<QImage::Format>("format");

    QTest::newRow("RGB32") << QImage::Format_RGB32;
    QTest::newRow("ARGB32") << QImage::Format_ARGB32;
    QTest::newRow("ARGB32 premultiplied") << QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("RGB888") << QImage::Format_RGB888;
    QTest::newRow("BGR888") << QImage::Format_BGR888;
    QTest::newRow("RGBA8888") << QImage::Format_RGBA8888;
    QTest::newRow("RGBA64 (16 bits a channel)") << QImage::Format_RGBA64;
    QTest::newRow("RGB16") << QImage::Format_RGB16;
    QTest::newRow("indexed") << QImage::Format_Indexed8;
    QTest::newRow("grey") << QImage::Format_Grayscale8;
    QTest::newRow("grey, 16 bits") << QImage::Format_Grayscale16;
    QTest::newRow("1 bit") << QImage::Format_Mono;
}

// Every pixel layout an edit or a decode can leave is written as the same
// picture: no channels swapped, no lines shifted, grey stays grey.
void TstMetadata::everyLayout()
{
    QFETCH(QImage::Format, format);

    const QImage image = testutil::makeImage(96, 64, format);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.jpg"));
    QVERIFY(imageio::writePhoto(image, out, "jpeg", {}));
    const QImage written = imageio::decode(out).convertToFormat(QImage::Format_RGB32);
    const QImage expected = image.convertToFormat(QImage::Format_RGB32);
    QCOMPARE(written.size(), expected.size());
    qint64 sum = 0;
    for (int y = 0; y < expected.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(written.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(expected.constScanLine(y));
        for (int x = 0; x < expected.width(); ++x)
            sum += qAbs(qRed(p[x]) - qRed(q[x])) + qAbs(qGreen(p[x]) - qGreen(q[x])) + qAbs(qBlue(p[x]) - qBlue(q[x]));
    }
    const double mean = double(sum) / (3.0 * expected.width() * expected.height());
    QVERIFY2(mean < 4, qPrintable(QString::number(mean)));
    const bool grey = image.isGrayscale();
    QCOMPARE(jpegheader::read(out).subsampling, grey ? Subsampling::Grey : Subsampling::S444);
}

void TstMetadata::losslessTurn_data()
{
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("turns"); // quarter turns clockwise
    QTest::addColumn<Subsampling>("subsampling");
    QTest::addColumn<bool>("lossless");
    QTest::addColumn<int>("back"); // the transform that turns the saved file back to the stored source

    QTest::newRow("right, 4:2:0") << QSize(1024, 768) << 1 << 1 << Subsampling::S420 << true << int(TJXOP_ROT270);
    QTest::newRow("left of an orientation 6, 4:2:0")
        << QSize(1024, 768) << 6 << 3 << Subsampling::S420 << true << int(TJXOP_NONE);
    QTest::newRow("half, 4:4:4") << QSize(1000, 752) << 1 << 2 << Subsampling::S444 << true << int(TJXOP_ROT180);
    QTest::newRow("orientation 3, right and left again")
        << QSize(1024, 768) << 3 << 0 << Subsampling::S420 << true << int(TJXOP_ROT180);
    // Partial blocks at the right edge would move to the top: encoded anew.
    QTest::newRow("odd size: encoded") << QSize(1001, 757) << 1 << 1 << Subsampling::S420 << false << 0;
}

void TstMetadata::losslessTurn()
{
    QFETCH(QSize, stored);
    QFETCH(int, orientation);
    QFETCH(int, turns);
    QFETCH(Subsampling, subsampling);
    QFETCH(bool, lossless);
    QFETCH(int, back);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("turn.jpg"));
    QVERIFY(writeJpeg(source, photo(stored.width(), stored.height()), 92, subsampling));
    if (orientation != 1)
        QVERIFY(addCameraMetadata(source, orientation));
    const qint64 before = QFileInfo(source).size();
    const QByteArray original = testutil::readAll(source);
    const QImage shown = imageio::decode(source);

    Picture *pic = testutil::openInNewWindow(main, source);
    QVERIFY(pic);
    if (turns == 0) { // a turn and its way back
        pic->rotateBy(90);
        pic->rotateBy(270);
    } else {
        pic->rotateBy(90.0 * turns);
    }
    pic->saveInPlace();
    QVERIFY(testutil::waitLoaded(pic));
    const QImage expected = imageedits::rotated(shown, 90.0 * turns);
    QCOMPARE(pic->image().size(), expected.size()); // reloaded from the saved file

    const QImage saved = imageio::decode(source);
    const int difference = maxDifference(saved, expected);
    const double ratio = double(QFileInfo(source).size()) / before;
    if (lossless) {
        // Decoding rounds a turned block a little differently (the inverse
        // DCT's two passes swap, chroma is smoothed the other way round),
        // so the pixels may differ by a few levels from turned decoded
        // pixels; the coded data is exactly the source's: turned back, it
        // decodes to the very same pixels.
        QVERIFY2(difference <= 4, qPrintable(QString::number(difference)));
        const QImage storedBefore = decodeStored(original, TJXOP_NONE);
        QVERIFY(!storedBefore.isNull());
        QCOMPARE(decodeStored(testutil::readAll(source), back), storedBefore);
        QVERIFY2(qAbs(ratio - 1) <= 0.02, qPrintable(QString::number(ratio)));
        QCOMPARE(readBack(source).orientation, orientation == 1 ? 0L : 1L);
    } else {
        QVERIFY2(difference < 64, qPrintable(QString::number(difference))); // a new encode, not exact
        QVERIFY(qAbs(jpegheader::read(source).quality - 92) <= 2);
    }
}

void TstMetadata::qualitySetting()
{
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Ketra", "Framzo");
        s.setValue("/AppSettings/JpegQuality", 70);
    }
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("a.jpg"));
    QVERIFY(writeJpeg(source, photo(64, 48), 90, Subsampling::S420));
    Picture *pic = testutil::openInNewWindow(main, source);
    QVERIFY(pic);
    QCOMPARE(pic->photoOptions().jpegQuality, 70);

    // The Edit menu asks, 0..100 from the value in force; cancel keeps it.
    answers.numberCancels = true;
    main->mpJpegQuality->trigger();
    QCOMPARE(answers.numbersAsked, 1);
    QCOMPARE(answers.numberStart, 70);
    QCOMPARE(answers.numberMin, 0);
    QCOMPARE(answers.numberMax, 100);
    QCOMPARE(pic->photoOptions().jpegQuality, 70);
    answers.numberCancels = false;
    answers.number = 0;
    main->mpJpegQuality->trigger();
    QCOMPARE(pic->photoOptions().jpegQuality, 0);
    main.reset();
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Ketra", "Framzo");
    QCOMPARE(s.value("/AppSettings/JpegQuality").toInt(), 0);

    // Out of range in the store: as the source.
    s.setValue("/AppSettings/JpegQuality", 150);
    s.sync();
    main = std::make_unique<Framzo>();
    QCOMPARE(main->photoOptions().jpegQuality, 0);
}

void TstMetadata::previewFromTheExifThumbnail_data()
{
    QTest::addColumn<QSize>("thumbnail"); // as stored; none when empty
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("bound");
    QTest::addColumn<bool>("fromThumbnail");
    QTest::addColumn<QSize>("shown"); // the preview's own size
    // The photo is stored 640 x 480: blue; its thumbnail is red.
    QTest::newRow("an icon from the thumbnail") << QSize(160, 120) << 1 << QSize(64, 64) << true << QSize(160, 120);
    QTest::newRow("turned with the photo") << QSize(160, 120) << 6 << QSize(64, 64) << true << QSize(120, 160);
    QTest::newRow("too small for the preview") << QSize(160, 120) << 1 << QSize(200, 150) << false << QSize(320, 240);
    QTest::newRow("another shape (bars)") << QSize(160, 160) << 1 << QSize(64, 64) << false << QSize(80, 60);
    QTest::newRow("no thumbnail") << QSize() << 1 << QSize(64, 64) << false << QSize(80, 60);
}

void TstMetadata::previewFromTheExifThumbnail()
{
    QFETCH(QSize, thumbnail);
    QFETCH(int, orientation);
    QFETCH(QSize, bound);
    QFETCH(bool, fromThumbnail);
    QFETCH(QSize, shown);
    QTemporaryDir dir;
    const QString path = dir.filePath("photo.jpg");
    QImage photo(640, 480, QImage::Format_RGB32);
    photo.fill(qRgb(20, 40, 220));
    QVERIFY(photo.save(path, "jpeg", 90));
    if (thumbnail.isValid()) {
        QImage small(thumbnail, QImage::Format_RGB32);
        small.fill(qRgb(230, 20, 20));
        QBuffer bytes;
        bytes.open(QIODevice::WriteOnly);
        QVERIFY(small.save(&bytes, "jpeg"));
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData exif;
        exif["Exif.Image.Orientation"] = uint16_t(orientation);
        Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte *>(bytes.data().constData()),
                                                long(bytes.data().size()));
        image->setExifData(exif);
        image->writeMetadata();
    }
    QSize full;
    QByteArray format;
    const QImage preview = imageio::decodePreview(path, bound, &full, &format);
    QCOMPARE(format, QByteArray("jpeg"));
    QCOMPARE(full, orientation == 6 ? QSize(480, 640) : QSize(640, 480));
    QCOMPARE(preview.size(), shown);
    const QRgb centre = preview.pixel(preview.width() / 2, preview.height() / 2);
    QCOMPARE(qRed(centre) > qBlue(centre), fromThumbnail);
}

void TstMetadata::galleryGivesNothingAway_data()
{
    QTest::addColumn<bool>("keep");
    QTest::newRow("private data dropped") << false;
    QTest::newRow("kept on request") << true;
}

void TstMetadata::galleryGivesNothingAway()
{
    // A camera's photo, stored lying on its side in Adobe RGB, with its
    // position, serial numbers, owner and maker notes. A modern gallery's
    // copies are upright and sRGB; none of its files tells where the photo
    // was taken or the camera's serial number unless that is to be kept, and
    // only the copies and the originals keep it then.
    QFETCH(bool, keep);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("IMG_0001.jpg"));
    QImage flat(3000, 2000, QImage::Format_RGB32);
    flat.fill(qRgb(40, 200, 60));
    QVERIFY(writeJpeg(source, flat, 95, Subsampling::S444));
    QVERIFY(addCameraMetadata(source, 6));
    QVERIFY(addPrivateMetadata(source));
    // exiv2 would say, reading back, that the made-up maker note is no
    // maker's directory.
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    QVERIFY(privateKeys(source).size() >= 6);

    GallerySettings settings(dir.path(), QStringLiteral("web"), QStringLiteral("200"), QStringLiteral("150"),
                             QStringLiteral("1"), true, true);
    settings.setTheme(GallerySettings::Theme::Modern);
    settings.setOriginals(true);
    settings.setKeepMetadata(keep);
    const GalleryRunner::Result result = GalleryRunner(settings, {{QStringLiteral("IMG_0001.jpg"), source}}).run();
    QVERIFY2(result.problem().isEmpty(), qPrintable(result.problem()));

    // The colour the copies must show: the photo's own, from Adobe RGB in
    // sRGB, far enough from the unconverted one to tell.
    const QColor stored = QImage(source).pixelColor(1500, 1000);
    const QColor expected = QColorSpace(QColorSpace::AdobeRgb).transformationToColorSpace(QColorSpace::SRgb).map(stored);
    QVERIFY(qAbs(expected.red() - stored.red()) + qAbs(expected.blue() - stored.blue()) > 20);

    QStringList published;
    QDirIterator it(dir.filePath(QStringLiteral("web")), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String(".html")) || path.endsWith(QLatin1String(".css")))
            continue;
        const QString kind = QFileInfo(path).dir().dirName();
        published << kind;
        const QStringList leaked = privateKeys(path);
        const Found f = readBack(path);
        if (kind == QLatin1String("originals")) {
            // Byte for byte when kept; else the same coded pixels, the
            // private data out and the rest of the metadata in.
            if (keep) {
                QCOMPARE(testutil::readAll(path), testutil::readAll(source));
                continue;
            }
            QCOMPARE(leaked, QStringList());
            QCOMPARE(maxDifference(decodeStored(testutil::readAll(path), TJXOP_NONE),
                                   decodeStored(testutil::readAll(source), TJXOP_NONE)),
                     0);
            QCOMPARE(f.orientation, 6L);
            QCOMPARE(f.make, QStringLiteral("Canon"));
            continue;
        }
        const QImage image(path);
        QVERIFY2(image.height() > image.width(), qPrintable(path)); // upright
        const QColor shown = image.pixelColor(image.width() / 2, image.height() / 2);
        QVERIFY2(qAbs(shown.red() - expected.red()) <= 4 && qAbs(shown.green() - expected.green()) <= 4
                     && qAbs(shown.blue() - expected.blue()) <= 4,
                 qPrintable(QStringLiteral("%1: %2 for %3").arg(path, shown.name(), expected.name())));
        QVERIFY2(f.icc.isEmpty(), qPrintable(path));
        if (kind.startsWith(QLatin1String("thumbs"))) {
            QCOMPARE(leaked, QStringList());
            QCOMPARE(f.make, QString());
            continue;
        }
        // A copy: the camera, the date, keywords and title stay, true of
        // the copy.
        QCOMPARE(f.make, QStringLiteral("Canon"));
        QCOMPARE(f.date, QStringLiteral("2023:06:01 10:20:30"));
        QCOMPARE(f.keyword, QStringLiteral("harbour"));
        QCOMPARE(f.title, QStringLiteral("lang=\"x-default\" Evening"));
        QVERIFY(f.orientation == 0 || f.orientation == 1);
        QCOMPARE(f.pixels, image.size());
        if (keep) {
            QCOMPARE(f.latitude, QStringLiteral("48/1 8/1 1234/100"));
            for (const char *key : {"Exif.Photo.BodySerialNumber", "Exif.Photo.LensSerialNumber",
                                    "Exif.Photo.CameraOwnerName", "Xmp.exif.GPSLatitude", "Xmp.aux.SerialNumber"})
                QVERIFY2(leaked.contains(QLatin1String(key)), key);
        } else {
            QCOMPARE(leaked, QStringList());
        }
    }
    published.sort();
    QCOMPARE(published, (QStringList{"1024", "2048", "originals", "thumbs", "thumbs-2x"}));
}

// Broken and hostile blocks: one broken block loses only itself, and what
// is written reads back with exiv2, has no pointer loop, one orientation
// and no junk profile, in every format that holds metadata.
void TstMetadata::hostileMetadataIsWrittenClean_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("orientation"); // as read from the source
    QTest::addColumn<bool>("profile");    // a profile may be carried (a sound one)
    const QImage image = testutil::makeImage(32, 24);
    QByteArray jpeg;
    {
        QBuffer b(&jpeg);
        b.open(QIODevice::WriteOnly);
        image.save(&b, "jpeg");
    }
    QByteArray png;
    {
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        image.save(&b, "png");
    }
    const QByteArray exif6 = QByteArray("Exif\0\0", 6) + exifBlock({{0x0112, 3, 6}});
    const QByteArray loop = QByteArray("Exif\0\0", 6) + exifBlock({{0x0112, 3, 6}, {0x8769, 4, 8}});
    const QByteArray iccHead = QByteArray("ICC_PROFILE\0\1\1", 14);
    const auto withSegments = [&jpeg](const QByteArray &segments) { return jpeg.left(2) + segments + jpeg.mid(2); };
    QTest::newRow("exif pointing back at itself") << withSegments(segment(0xE1, loop)) << "jpg" << 6 << false;
    QTest::newRow("icc segment a byte too long")
        << withSegments(segment(0xE1, exif6) + segment(0xE2, iccHead + QByteArray(300, 'x'), 1)) << "jpg" << 6
        << false;
    QTest::newRow("icc profile of junk")
        << withSegments(segment(0xE1, exif6) + segment(0xE2, iccHead + QByteArray(4000, '\x5a'))) << "jpg" << 6
        << false;
    // A real profile with bytes after the end its header gives: Little CMS
    // opens it, other readers (exiv2 among them) refuse the file.
    QTest::newRow("icc profile longer than it says")
        << withSegments(segment(0xE1, exif6) + segment(0xE2, iccHead + adobeRgb() + QByteArray(16, 'x'))) << "jpg"
        << 6 << true;
    // Two EXIF chunks after IHDR, the first one's orientation winning.
    const QByteArray twice = png.left(33) + pngChunk("eXIf", exifBlock({{0x0112, 3, 6}}))
        + pngChunk("eXIf", exifBlock({{0x0112, 3, 3}})) + png.mid(33);
    QTest::newRow("png with two exif blocks") << twice << "png" << 6 << false;
}

void TstMetadata::hostileMetadataIsWrittenClean()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, suffix);
    QFETCH(int, orientation);
    QFETCH(bool, profile);
    QTemporaryDir dir;
    const QString source = dir.filePath("source." + suffix);
    QVERIFY(testutil::writeBytes(source, file));
    const Metadata meta = Metadata::read(source);
    QCOMPARE(meta.orientation(), orientation);
    // A profile comes through whole, as its header gives it, or not at all.
    const QByteArray icc = meta.iccProfile();
    QVERIFY(profile || icc.isEmpty());
    QVERIFY(icc.isEmpty() || qFromBigEndian<quint32>(icc.constData()) == quint32(icc.size()));
    // A photo without a profile is written without a word about profiles.
    QTest::failOnWarning(QRegularExpression("icc|profile", QRegularExpression::CaseInsensitiveOption));
    const QImage cut = testutil::makeImage(16, 12);
    for (const char *format : {"jpeg", "png", "tiff"}) {
        const QString path = dir.filePath(QStringLiteral("cut.") + format);
        QVERIFY(imageio::writePhoto(cut, path, format, {source, -1}));
        const QByteArray written = testutil::readAll(path);
        // Where the block lies as bytes (exiv2 hex-codes it in PNG text).
        const QByteArray block = exifOf(written);
        QVERIFY2(block.size() < 8 || !directoriesOf(block).isEmpty(), format);
        try {
            Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
            image->readMetadata();
            const Exiv2::ExifData &exif = image->exifData();
            const auto orientations = std::count_if(exif.begin(), exif.end(), [](const Exiv2::Exifdatum &d) {
                return d.key() == "Exif.Image.Orientation";
            });
            QCOMPARE(int(orientations), 1);
            QCOMPARE(text(exif, "Exif.Image.Orientation"), QStringLiteral("1"));
            QVERIFY2(profile || !image->iccProfileDefined(), format);
        } catch (const std::exception &e) {
            QFAIL(e.what());
        }
        QVERIFY(!imageio::decode(path).isNull());
    }
}

QTEST_MAIN(TstMetadata)
#include "tst_metadata.moc"

#pragma GCC diagnostic pop
