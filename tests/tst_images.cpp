#include "ui/images/embeddedimages.h"
#include "ui/images/mimesourcefactory.h"

#include <QPainter>
#include <QtEndian>
#include <QtTest>

namespace {

struct Expected
{
    const char *name;
    int width, height, depth, colours;
    bool alpha;
};

// The collection as the forms, the folder tree and the gallery ask for it.
const Expected kExpected[] = {
    {"delete.bmp", 32, 32, 32, 0, false},  {"icon.bmp", 16, 16, 32, 0, false},
    {"icon16.bmp", 31, 16, 32, 0, false},  {"left.bmp", 32, 19, 32, 0, false},
    {"right.bmp", 32, 19, 32, 0, false},   {"black.bmp", 8, 8, 32, 0, false},
    {"blue.bmp", 8, 8, 32, 0, false},      {"close.bmp", 16, 16, 32, 0, false},
    {"color.bmp", 20, 20, 32, 0, false},   {"fileopen", 22, 22, 32, 0, true},
    {"folder.PNG", 64, 64, 8, 256, false}, {"generate.bmp", 32, 32, 32, 0, false},
    {"green.bmp", 8, 8, 32, 0, false},     {"html.bmp", 38, 38, 32, 0, false},
    {"invert.bmp", 20, 20, 32, 0, false},  {"open.bmp", 16, 13, 32, 0, false},
    {"print", 22, 22, 32, 0, true},        {"red.bmp", 8, 8, 32, 0, false},
    {"redo", 22, 22, 32, 0, true},         {"undo", 22, 22, 32, 0, true},
    {"upon.bmp", 15, 13, 32, 0, false},    {"white.bmp", 8, 8, 32, 0, false},
    {"filesave", 22, 22, 32, 0, true},     {"pic.xpm", 16, 16, 8, 256, true},
    {"iconBMP.bmp", 16, 16, 32, 0, false}, {"iconPNG.bmp", 16, 16, 32, 0, false},
    {"iconTIF.bmp", 16, 16, 32, 0, false}, {"iconJPG.bmp", 16, 16, 32, 0, false},
    {"iconXPM.bmp", 16, 16, 32, 0, false}, {"computer.bmp", 16, 17, 32, 0, false},
    {"desktop.bmp", 16, 16, 32, 0, false}, {"drive.bmp", 16, 16, 32, 0, false},
};

// How many pixels are fully transparent, fully opaque, and neither.
struct AlphaCount
{
    int clear = 0, solid = 0, partial = 0;
};

AlphaCount countAlpha(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    AlphaCount n;
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const int a = qAlpha(line[x]);
            (a == 0 ? n.clear : a == 255 ? n.solid : n.partial)++;
        }
    }
    return n;
}

} // namespace

class TstImages : public QObject
{
    Q_OBJECT
private slots:
    void init() { initImages(); }
    void cleanup() { cleanupImages(); }

    void servesEveryName_data();
    void servesEveryName();
    void namesInTableOrder();
    void recordsHoldFullImages();
    void nearMissNamesAreUnknown_data();
    void nearMissNamesAreUnknown();
    void decodesEachNameOnce();
    void transparencyShowsWhenDrawn();
    void registration();
};

void TstImages::servesEveryName_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("colours");
    QTest::addColumn<bool>("alpha");
    for (const Expected &e : kExpected)
        QTest::newRow(e.name) << e.width << e.height << e.depth << e.colours << e.alpha;
}

void TstImages::servesEveryName()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, depth);
    QFETCH(int, colours);
    QFETCH(bool, alpha);
    const QString name = QString::fromLatin1(QTest::currentDataTag());

    const QImage img = findImage(name);
    QVERIFY(!img.isNull());
    QCOMPARE(img.size(), QSize(width, height));
    QCOMPARE(img.depth(), depth);
    QCOMPARE(img.colorCount(), colours);
    if (depth == 8)
        QCOMPARE(img.format(), QImage::Format_Indexed8);
    QCOMPARE(img.hasAlphaChannel(), alpha);

    // Transparency is all or nothing: no half-blended edges on any background.
    const AlphaCount n = countAlpha(img);
    QCOMPARE(n.partial, 0);
    if (alpha) {
        QVERIFY2(n.clear > 0, "an image with transparency has transparent pixels");
        QVERIFY(n.solid > 0);
    } else {
        QCOMPARE(n.clear, 0);
    }
    if (depth == 8) {
        // The tables themselves: the folder's fully opaque, the picture's with
        // transparent background entries.
        const QList<QRgb> table = img.colorTable();
        const bool anyClear = std::any_of(table.begin(), table.end(), [](QRgb c) { return qAlpha(c) == 0; });
        const bool anyPartial =
            std::any_of(table.begin(), table.end(), [](QRgb c) { return qAlpha(c) != 0 && qAlpha(c) != 255; });
        QCOMPARE(anyClear, alpha);
        QVERIFY(!anyPartial);
    }

    // The program's own way in gives the same picture.
    const QPixmap pm = fromMimeSource(name);
    QVERIFY(!pm.isNull());
    QCOMPARE(pm.size(), QSize(width, height));
    QCOMPARE(pm.hasAlphaChannel(), alpha);
}

void TstImages::namesInTableOrder()
{
    QStringList expected;
    for (const Expected &e : kExpected)
        expected << QString::fromLatin1(e.name);
    QCOMPARE(embeddedImageNames(), expected);
}

void TstImages::recordsHoldFullImages()
{
    int records = 0;
    for (const EmbeddedImage *rec = kEmbeddedImages; rec->data; ++rec, ++records) {
        const QByteArray tag(rec->name);
        const qsizetype full = qsizetype(rec->width) * rec->height * rec->depth / 8;
        QVERIFY2(rec->compressed > 4, tag);
        // qCompress layout: the big-endian length of the uncompressed rows first.
        QCOMPARE(qFromBigEndian<quint32>(rec->data), quint32(full));
        QCOMPARE(qUncompress(rec->data, qsizetype(rec->compressed)).size(), full);
        QCOMPARE(rec->depth == 8, rec->colorTable != nullptr);
        QCOMPARE(rec->numColors, rec->depth == 8 ? 256 : 0);
    }
    QCOMPARE(records, 32);
}

void TstImages::nearMissNamesAreUnknown_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("lower-case extension") << QStringLiteral("folder.png");
    QTest::newRow("capital first letter") << QStringLiteral("Drive.bmp");
    QTest::newRow("upper-case extension") << QStringLiteral("drive.BMP");
    QTest::newRow("leading blank") << QStringLiteral(" drive.bmp");
    QTest::newRow("trailing blank") << QStringLiteral("drive.bmp ");
    QTest::newRow("no extension") << QStringLiteral("drive");
    QTest::newRow("extension added") << QStringLiteral("fileopen.png");
    QTest::newRow("upper case") << QStringLiteral("FILEOPEN");
    QTest::newRow("empty") << QStringLiteral("");
    QTest::newRow("null") << QString();
}

void TstImages::nearMissNamesAreUnknown()
{
    QFETCH(QString, name);
    QVERIFY(findImage(name).isNull());
    QVERIFY(fromMimeSource(name).isNull());
    QCOMPARE(imageFactory()->decodeCount(), 0);
}

void TstImages::decodesEachNameOnce()
{
    MimeSourceFactory_framzo *factory = imageFactory();
    QCOMPARE(factory->decodeCount(), 0);
    const QPixmap first = fromMimeSource(QStringLiteral("drive.bmp"));
    const QPixmap second = fromMimeSource(QStringLiteral("drive.bmp"));
    QCOMPARE(factory->decodeCount(), 1);
    QCOMPARE(second.cacheKey(), first.cacheKey());
    fromMimeSource(QStringLiteral("no such icon"));
    QCOMPARE(factory->decodeCount(), 1);
    fromMimeSource(QStringLiteral("fileopen"));
    fromMimeSource(QStringLiteral("fileopen"));
    QCOMPARE(factory->decodeCount(), 2);
}

void TstImages::transparencyShowsWhenDrawn()
{
    // Drawn over red, a transparent corner lets the red through; an opaque
    // icon covers it with its own corner colour.
    for (const char *name : {"fileopen", "filesave", "print", "redo", "undo", "pic.xpm", "drive.bmp"}) {
        const QString n = QString::fromLatin1(name);
        const QImage own = findImage(n).convertToFormat(QImage::Format_ARGB32);
        QImage canvas(own.size(), QImage::Format_RGB32);
        canvas.fill(Qt::red);
        {
            QPainter p(&canvas);
            p.drawPixmap(0, 0, fromMimeSource(n));
        }
        const QRgb corner = own.pixel(0, 0);
        const QRgb expected = qAlpha(corner) == 0 ? qRgb(255, 0, 0) : (corner | 0xff000000u);
        QCOMPARE(canvas.pixel(0, 0), expected);
    }
    QCOMPARE(qAlpha(findImage(QStringLiteral("fileopen")).pixel(0, 0)), 0);
}

void TstImages::registration()
{
    MimeSourceFactory_framzo *factory = imageFactory();
    QVERIFY(factory);
    initImages(); // a second registration keeps the one factory and its store
    QCOMPARE(imageFactory(), factory);
    cleanupImages();
    QCOMPARE(imageFactory(), nullptr);
    QVERIFY(fromMimeSource(QStringLiteral("drive.bmp")).isNull());
    cleanupImages(); // harmless when nothing is registered
    initImages();
    QVERIFY(imageFactory());
    QVERIFY(!fromMimeSource(QStringLiteral("drive.bmp")).isNull());
}

QTEST_MAIN(TstImages)
#include "tst_images.moc"
