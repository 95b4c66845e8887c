// Colour management of what is drawn: a photo recorded in a wide-gamut
// profile is shown converted to the screen's colours, an untagged one as it
// is, and cuts keep the file's own numbers and profile whatever is shown.
// This program links the core library alone (and Little CMS, for the
// profile and the conversion the copy is checked against).

#include "core/cut/capture.h"
#include "core/imageio/colourmanage.h"
#include "core/imageio/imageio.h"
#include "core/imageio/metadata.h"
#include "core/photo/displaycopy.h"
#include "core/photo/photo.h"
#include "testutil.h"

#include <QColorSpace>
#include <QImageWriter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <lcms2.h>

namespace {

const QSize kWorkspace(800, 600);
const QRgb kSample = qRgb(60, 170, 90);

// Adobe RGB (1998) made here, from its primaries, white point and gamma.
QByteArray adobeRgbProfile()
{
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve *gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve *curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(int(size), Qt::Uninitialized);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// The pixels of image (RGB32) converted by Little CMS from profile to sRGB.
QImage toSrgb(const QImage &image, const QByteArray &profile)
{
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    cmsHPROFILE in = cmsOpenProfileFromMem(profile.constData(), cmsUInt32Number(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t = cmsCreateTransform(in, TYPE_BGRA_8, srgb, TYPE_BGRA_8, INTENT_PERCEPTUAL, 0);
    for (int y = 0; y < out.height(); ++y)
        cmsDoTransform(t, out.constScanLine(y), out.scanLine(y), cmsUInt32Number(out.width()));
    cmsDeleteTransform(t);
    cmsCloseProfile(in);
    cmsCloseProfile(srgb);
    return out;
}

// Patches of the sample colour, a red and a blue, 16 pixels a side (two JPEG
// blocks, so that their middles keep their colour), tagged with profile
// when it is given.
bool writePhoto(const QString &path, const QByteArray &format, const QByteArray &profile)
{
    QImage image(96, 64, QImage::Format_RGB32);
    const QRgb patches[] = {kSample, qRgb(200, 40, 30), qRgb(30, 60, 220)};
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = patches[(x / 16 + y / 16) % 3];
    }
    if (!profile.isEmpty())
        image.setColorSpace(QColorSpace::fromIccProfile(profile));
    QImageWriter writer(path, format);
    writer.setQuality(100);
    return writer.write(image);
}

} // namespace

class TstColour : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { colourmanage::setDisplay(true, {}); }

    void displayCopy_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("tagged");
        QTest::addColumn<bool>("managed");
        QTest::newRow("Adobe RGB JPEG") << QByteArray("jpeg") << true << true;
        QTest::newRow("Adobe RGB PNG") << QByteArray("png") << true << true;
        QTest::newRow("untagged JPEG") << QByteArray("jpeg") << false << true;
        QTest::newRow("Adobe RGB JPEG, management off") << QByteArray("jpeg") << true << false;
    }
    // The copy on screen is the conversion of the photo to sRGB (the screen
    // without a profile of its own); an untagged photo, or any photo with
    // colour management off, is shown with its file's numbers. The full
    // image, which cuts are made from, always keeps them.
    void displayCopy()
    {
        QFETCH(QByteArray, format);
        QFETCH(bool, tagged);
        QFETCH(bool, managed);
        QTemporaryDir dir;
        const QString path = dir.filePath("p." + format);
        const QByteArray adobe = adobeRgbProfile();
        QVERIFY(writePhoto(path, format, tagged ? adobe : QByteArray()));
        colourmanage::setDisplay(managed, {});

        const QImage full = imageio::decode(path);
        QCOMPARE(full.colorSpace().isValid(), tagged);
        const displaycopy::Copy copy = displaycopy::make(path, kWorkspace, false);
        QVERIFY(copy.ok);
        QCOMPARE(copy.colours, colourmanage::displayGeneration());

        const QImage plain = displaycopy::scaled(full, displaycopy::copySize(full.size(), kWorkspace));
        const bool converted = tagged && managed;
        const QImage expected = converted ? toSrgb(plain, adobe) : plain;
        QVERIFY2(testutil::difference(copy.copy, expected) <= (converted ? 2 : 0), qPrintable(path));
        // The same when the copy is made again from the full image.
        QCOMPARE(testutil::difference(displaycopy::shown(full, plain.size()), expected), 0);

        // Zoomed in, what is drawn from the full image is in the same colours.
        QCOMPARE(colourmanage::changedForDisplay(full), converted);
        const QRect part(16, 8, 32, 24);
        const QImage plainPart = full.copy(part).convertToFormat(QImage::Format_RGB32).scaled(part.size() * 3);
        const QImage zoomed = displaycopy::region(full, part, part.size() * 3).convertToFormat(QImage::Format_RGB32);
        QVERIFY(testutil::difference(zoomed, converted ? toSrgb(plainPart, adobe) : plainPart) <= (converted ? 2 : 0));

        // The sample colour, in the middle of its patch.
        const QRgb seen = copy.copy.pixel(8 * copy.copy.width() / 96, 8 * copy.copy.height() / 64);
        const QRgb want = converted ? qRgb(0, 172, 84) : kSample;
        for (const int d : {qRed(seen) - qRed(want), qGreen(seen) - qGreen(want), qBlue(seen) - qBlue(want)})
            QVERIFY2(qAbs(d) <= 2, qPrintable(QStringLiteral("%1,%2,%3").arg(qRed(seen)).arg(qGreen(seen)).arg(qBlue(seen))));
    }

    void cutKeepsTheFile_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("jpeg") << QByteArray("jpeg");
        QTest::newRow("png") << QByteArray("png");
    }
    // A cut is the same file with colour management on and off: the
    // photo's own numbers under its own profile.
    void cutKeepsTheFile()
    {
        QFETCH(QByteArray, format);
        QTemporaryDir dir;
        const QString path = dir.filePath("p." + format);
        const QByteArray adobe = adobeRgbProfile();
        QVERIFY(writePhoto(path, format, adobe));
        QByteArray cuts[2];
        for (const bool managed : {true, false}) {
            colourmanage::setDisplay(managed, {});
            const QString folder = dir.filePath(managed ? "on" : "off");
            QVERIFY(QDir().mkpath(folder));
            Photo photo;
            QSignalSpy done(&photo, &Photo::cutDone);
            QVERIFY(photo.open(path));
            photo.load(kWorkspace);
            photo.whenIdle([&] { photo.cut(QRect(8, 8, 48, 32), folder, {}, capture::Naming::Replace); });
            QVERIFY(done.wait());
            const QString written = done.first().first().value<capture::Result>().path;
            QVERIFY(!written.isEmpty());
            cuts[managed] = testutil::readAll(written);
            QVERIFY(Metadata::read(written).iccProfile() == adobe);
            if (format == "png")
                QCOMPARE(testutil::difference(imageio::decode(written), photo.image().copy(8, 8, 48, 32)), 0);
        }
        QVERIFY(!cuts[0].isEmpty());
        QVERIFY(cuts[0] == cuts[1]);
    }
};

QTEST_GUILESS_MAIN(TstColour)
#include "tst_colour.moc"
