// A JPEG decoded in bands cut at its restart markers must be bit for bit
// the JPEG decoded in one piece, at every scale, for every subsampling, at
// every cut; a file that does not divide cleanly (no restart markers,
// progressive, damaged) is decoded in one piece, as before.

#include "core/imageio/jpegbands.h"
#include "core/imageio/jpegreader.h"
#include "testutil.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Gradients, a hard-edged disc and noise in every pixel: the chroma changes
// from row to row, as it does in a photo, so that a wrongly upsampled row
// at a cut shows.
QImage photoLike(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const quint32 n = (quint32(x) * 73856093u) ^ (quint32(y) * 19349663u);
            const int d = int((n >> 7) % 41) - 20;
            const bool disc = (x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2) < (h / 4) * (h / 4);
            const int r = disc ? 230 : 40 + x * 160 / w;
            const int g = disc ? 30 : 60 + y * 150 / h;
            const int b = disc ? 40 : 170 - (x + y) * 80 / (w + h);
            line[x] = qRgb(qBound(0, r + d, 255), qBound(0, g - d, 255), qBound(0, b + d / 2, 255));
        }
    }
    return img;
}

// The picture encoded by cjpeg (libjpeg-turbo) with these options.
QByteArray encode(const QImage &image, const QStringList &options, const QString &folder)
{
    const bool grey = image.format() == QImage::Format_Grayscale8;
    const QString source = folder + (grey ? QStringLiteral("/in.pgm") : QStringLiteral("/in.ppm"));
    if (!image.save(source, grey ? "pgm" : "ppm"))
        return {};
    QProcess cjpeg;
    cjpeg.start(QStringLiteral("cjpeg"), QStringList{QStringLiteral("-quality"), QStringLiteral("90")} + options
                                             + QStringList{source});
    if (!cjpeg.waitForFinished(60000) || cjpeg.exitCode() != 0)
        return {};
    return cjpeg.readAllStandardOutput();
}

const uchar *bytes(const QByteArray &a)
{
    return reinterpret_cast<const uchar *>(a.constData());
}

// The file decoded at 1/reduction into an image filled with fill first
// (so that rows left unwritten show): in one piece, or in up to `bands`
// bands. *used: the bands it came from, 0 when it was not decoded.
QImage decoded(const QByteArray &jpeg, int reduction, int bands, uint fill, int *used)
{
    const jpegreader::Header header = jpegreader::header(bytes(jpeg), jpeg.size());
    QImage image(jpegreader::scaledSize(header.size, reduction), jpegreader::formatOf(header.colours));
    image.fill(fill);
    if (bands == 1)
        *used = jpegreader::decodeInto(bytes(jpeg), jpeg.size(), header, image) ? 1 : 0;
    else
        *used = jpegbands::decodeInto(bytes(jpeg), jpeg.size(), header, image, bands, 0);
    return image;
}

} // namespace

class TstJpegBands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bandsAreTheOnePieceDecode_data();
    void bandsAreTheOnePieceDecode();
    void filesThatDoNotDivide_data();
    void filesThatDoNotDivide();
    void stoppedDecodeGivesNothing_data();
    void stoppedDecodeGivesNothing();

private:
    QTemporaryDir dir;
};

void TstJpegBands::initTestCase()
{
    QVERIFY(dir.isValid());
    if (QStandardPaths::findExecutable(QStringLiteral("cjpeg")).isEmpty())
        QSKIP("cjpeg (libjpeg-turbo-progs) is needed to write JPEGs with restart markers");
}

void TstJpegBands::bandsAreTheOnePieceDecode_data()
{
    QTest::addColumn<QString>("sampling"); // cjpeg's -sample, or "grey"
    QTest::addColumn<QString>("restart");  // cjpeg's -restart: MCU rows, or MCUs with B
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bands");
    QTest::addColumn<int>("expected"); // the bands it is cut into
    // Odd sizes: the last MCU row and column are partial.
    QTest::newRow("4:2:0, every MCU row") << "2x2" << "1" << QSize(517, 771) << 3 << 3;
    QTest::newRow("4:2:0, every 4 rows") << "2x2" << "4" << QSize(517, 771) << 2 << 2;
    QTest::newRow("4:2:0, every 16 rows") << "2x2" << "16" << QSize(333, 803) << 3 << 3;
    QTest::newRow("4:2:0, every 55 MCUs (not whole rows)") << "2x2" << "55B" << QSize(517, 771) << 4 << 4;
    QTest::newRow("4:2:2, every MCU row") << "2x1" << "1" << QSize(401, 333) << 4 << 4;
    QTest::newRow("4:2:2, every 16 rows") << "2x1" << "16" << QSize(401, 777) << 3 << 3;
    QTest::newRow("4:4:4, every 4 rows") << "1x1" << "4" << QSize(299, 501) << 3 << 3;
    QTest::newRow("4:4:0, every MCU row") << "1x2" << "1" << QSize(299, 501) << 2 << 2;
    QTest::newRow("grey, every 16 rows") << "grey" << "16" << QSize(301, 799) << 3 << 3;
    QTest::newRow("grey, every MCU row, many bands") << "grey" << "1" << QSize(9, 203) << 8 << 8;
    // Fewer intervals than bands wanted: as many bands as there are.
    QTest::newRow("4:2:0, two intervals") << "2x2" << "32" << QSize(64, 1000) << 4 << 2;
}

void TstJpegBands::bandsAreTheOnePieceDecode()
{
    QFETCH(QString, sampling);
    QFETCH(QString, restart);
    QFETCH(QSize, size);
    QFETCH(int, bands);
    QFETCH(int, expected);
    QImage source = photoLike(size.width(), size.height());
    QStringList options{QStringLiteral("-restart"), restart};
    if (sampling == QLatin1String("grey"))
        source = source.convertToFormat(QImage::Format_Grayscale8);
    else
        options << QStringLiteral("-sample") << sampling + QStringLiteral(",1x1,1x1");
    const QByteArray jpeg = encode(source, options, dir.path());
    QVERIFY(!jpeg.isEmpty());
    QCOMPARE(jpegbands::bandCount(bytes(jpeg), jpeg.size(), bands, 0), expected);

    for (int reduction : {1, 2, 4, 8}) {
        int plainOk = 0, used = 0;
        const QImage plain = decoded(jpeg, reduction, 1, 0x00000000, &plainOk);
        const QImage banded = decoded(jpeg, reduction, bands, 0xFFFFFFFF, &used);
        QCOMPARE(plainOk, 1);
        QCOMPARE(used, expected); // not the one-piece decode after a band went wrong
        if (banded != plain) {
            int row = 0;
            while (row < plain.height()
                   && std::memcmp(plain.constScanLine(row), banded.constScanLine(row), size_t(plain.bytesPerLine())) == 0)
                ++row;
            QFAIL(qPrintable(QStringLiteral("1/%1: row %2 of %3 differs").arg(reduction).arg(row).arg(plain.height())));
        }
    }
}

void TstJpegBands::filesThatDoNotDivide_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("damage");
    QTest::newRow("no restart markers") << QStringList{} << "";
    QTest::newRow("progressive") << QStringList{"-progressive", "-restart", "1"} << "";
    QTest::newRow("a restart marker out of turn") << QStringList{"-restart", "1"} << "marker";
    QTest::newRow("a restart marker lost") << QStringList{"-restart", "1"} << "lost marker";
    QTest::newRow("cut short in the second band") << QStringList{"-restart", "1"} << "truncated";
    // The markers are right but one band's data are not: the band finds
    // out while decoding, and the whole picture is decoded in one piece.
    QTest::newRow("damaged data in the second band") << QStringList{"-restart", "1"} << "data";
}

void TstJpegBands::filesThatDoNotDivide()
{
    QFETCH(QStringList, options);
    QFETCH(QString, damage);
    QByteArray jpeg = encode(photoLike(517, 771), options, dir.path());
    QVERIFY(!jpeg.isEmpty());
    // The restart markers, in order.
    QList<qsizetype> markers;
    for (qsizetype i = 0; i + 1 < jpeg.size(); ++i) {
        if (uchar(jpeg[i]) == 0xFF && (uchar(jpeg[i + 1]) & 0xF8) == 0xD0)
            markers << i;
    }
    const qsizetype late = markers.isEmpty() ? 0 : markers.at(markers.size() * 3 / 4);
    if (damage == QLatin1String("marker")) {
        jpeg[late + 1] = char(0xD0 + ((uchar(jpeg[late + 1]) - 0xD0 + 3) & 7));
    } else if (damage == QLatin1String("lost marker")) {
        jpeg.remove(late, 2);
    } else if (damage == QLatin1String("truncated")) {
        jpeg.truncate(late + 40);
    } else if (damage == QLatin1String("data")) {
        // Bytes that are no marker (no 0xFF) inside an interval.
        for (qsizetype i = late + 8; i < late + 40; ++i)
            jpeg[i] = char((i * 7) & 0x7F);
    }
    QCOMPARE(jpegbands::bandCount(bytes(jpeg), jpeg.size(), 3, 0), damage == QLatin1String("data") ? 3 : 1);
    for (int reduction : {1, 4}) {
        int plainOk = 0, used = 0;
        const QImage plain = decoded(jpeg, reduction, 1, 0x00000000, &plainOk);
        const QImage banded = decoded(jpeg, reduction, 3, 0x00000000, &used);
        QCOMPARE(used, plainOk); // in one piece, or not at all when that fails
        QVERIFY(banded == plain);
    }
}

void TstJpegBands::stoppedDecodeGivesNothing_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("bands");
    QTest::newRow("one piece") << QStringList{} << 1;
    QTest::newRow("in bands") << QStringList{"-restart", "1"} << 3;
    QTest::newRow("progressive") << QStringList{"-progressive"} << 3;
}

void TstJpegBands::stoppedDecodeGivesNothing()
{
    // A decode no longer wanted ends at its first check and gives nothing
    // (never the one-piece decode a band's failure falls back to); one whose
    // flag stays down is the plain decode.
    QFETCH(QStringList, options);
    QFETCH(int, bands);
    const QByteArray jpeg = encode(photoLike(517, 771), options, dir.path());
    QVERIFY(!jpeg.isEmpty());
    const jpegreader::Header header = jpegreader::header(bytes(jpeg), jpeg.size());
    int plainOk = 0;
    const QImage plain = decoded(jpeg, 1, 1, 0, &plainOk);
    QCOMPARE(plainOk, 1);
    for (const bool stopped : {true, false}) {
        DecodeControl control;
        control.stop = stopped;
        QImage image(header.size, jpegreader::formatOf(header.colours));
        image.fill(0u);
        const int used = bands == 1
            ? (jpegreader::decodeInto(bytes(jpeg), jpeg.size(), header, image, nullptr, &control) ? 1 : 0)
            : jpegbands::decodeInto(bytes(jpeg), jpeg.size(), header, image, bands, 0, nullptr, &control);
        QCOMPARE(used == 0, stopped);
        if (!stopped) {
            QVERIFY(image == plain);
            // Every row made was counted, bands and seams alike.
            QVERIFY(control.total >= plain.height());
            QCOMPARE(control.done(), 1.0);
        }
    }
}

QTEST_MAIN(TstJpegBands)
#include "tst_jpegbands.moc"
