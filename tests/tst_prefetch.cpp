// Decoding ahead for Page Up/Down, and the faster decode: what is shown and
// kept must be exactly what a plain decode of the file on disk gives, also
// when a neighbour changes, vanishes or the window moves elsewhere.

#include "app/framzo.h"
#include "imageio/imageio.h"
#include "images/mimesourcefactory.h"
#include "picture/picture.h"
#include "picture/prefetcher.h"
#include "testutil.h"
#include "testwindow.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QtTest>

#include <memory>

namespace {

// A picture that differs from every other variant in every pixel row.
QImage variantImage(int w, int h, int variant)
{
    QImage img = testutil::makeImage(w, h);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb(qRed(line[x]), (variant * 53 + y) % 256, qBlue(line[x]));
    }
    return img;
}

QImage plainDecode(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(imageio::kAllocationLimitMB);
    return reader.read();
}

} // namespace

class TstPrefetch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { cleanupImages(); }
    void init();
    void cleanup();

    void neighboursAsked_data();
    void neighboursAsked();
    void steppingShowsTheRightImage();
    void changedNeighbourIsReadAgain_data();
    void changedNeighbourIsReadAgain();
    void droppedWhenTheFolderChanges();
    void takeHandsOverOnce();
    void largeDecodeIsThePlainDecode_data();
    void largeDecodeIsThePlainDecode();

private:
    Picture *open(const QString &path);
    QString file(int i) const { return dir->filePath(QStringLiteral("p%1.bmp").arg(i)); }

    QTemporaryDir home;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Framzo> main;
    static constexpr int kFiles = 5;
};

void TstPrefetch::initTestCase()
{
    initImages();
    QVERIFY(home.isValid());
}

void TstPrefetch::init()
{
    dir = std::make_unique<QTemporaryDir>(home.filePath(QStringLiteral("images-XXXXXX")));
    QVERIFY(dir->isValid());
    // BMP: a file's size depends on the picture's size only, so a changed
    // picture can keep its byte count.
    for (int i = 0; i < kFiles; ++i)
        QVERIFY(variantImage(40, 30, i).save(file(i), "bmp"));
}

void TstPrefetch::cleanup()
{
    main.reset();
    dir.reset();
}

Picture *TstPrefetch::open(const QString &path)
{
    return testutil::openInNewWindow(main, path);
}

void TstPrefetch::neighboursAsked_data()
{
    QTest::addColumn<int>("opened");
    QTest::addColumn<QList<int>>("held");
    QTest::newRow("first: the next only") << 0 << QList<int>{1};
    QTest::newRow("middle: next, then previous") << 2 << QList<int>{3, 1};
    QTest::newRow("last: the previous only") << kFiles - 1 << QList<int>{kFiles - 2};
}

void TstPrefetch::neighboursAsked()
{
    QFETCH(int, opened);
    QFETCH(QList<int>, held);
    Picture *pic = open(file(opened));
    QVERIFY(pic);
    QStringList expected;
    for (int i : held)
        expected << file(i);
    QCOMPARE(pic->prefetcher()->held(), expected);

    // Alone in its folder: nothing to decode ahead.
    QDir().mkpath(dir->filePath(QStringLiteral("alone")));
    const QString alone = dir->filePath(QStringLiteral("alone/only.bmp"));
    QVERIFY(variantImage(8, 8, 9).save(alone, "bmp"));
    pic->loadImage(alone);
    QCOMPARE(pic->prefetcher()->held(), QStringList());
}

void TstPrefetch::steppingShowsTheRightImage()
{
    Picture *pic = open(file(0));
    QVERIFY(pic);
    // Forward with time for the neighbours to be decoded, back at once: each
    // step shows the file it names, pixel for pixel.
    for (int i = 1; i < kFiles; ++i) {
        pic->prefetcher()->waitForFinished();
        QVERIFY(pic->stepInFolder(1));
        QCOMPARE(pic->path(), file(i));
        QCOMPARE(pic->image(), plainDecode(file(i)));
    }
    for (int i = kFiles - 2; i >= 0; --i) {
        QVERIFY(pic->stepInFolder(-1));
        QCOMPARE(pic->path(), file(i));
        QCOMPARE(pic->image(), plainDecode(file(i)));
        QVERIFY(pic->information().contains(file(i)));
    }
    // Keys pressed while the neighbours are still being decoded leave the
    // next ones asked for and decoded.
    for (int i = 1; i < kFiles; ++i) {
        QVERIFY(pic->stepInFolder(1));
        QCOMPARE(pic->image(), plainDecode(file(i)));
    }
    pic->prefetcher()->waitForFinished();
    QCOMPARE(pic->prefetcher()->held(), QStringList{file(kFiles - 2)});
    // Stepping back, the file before is decoded first.
    QVERIFY(pic->stepInFolder(-1));
    pic->prefetcher()->waitForFinished();
    QCOMPARE(pic->prefetcher()->held(), (QStringList{file(kFiles - 3), file(kFiles - 1)}));
    QVERIFY(pic->stepInFolder(-1));
    QVERIFY(pic->stepInFolder(-1));
    QVERIFY(pic->stepInFolder(-1));
    QCOMPARE(pic->path(), file(0));

    // Through the keys as well.
    pic->prefetcher()->waitForFinished();
    QTest::keyClick(main.get(), Qt::Key_PageUp);
    QCOMPARE(pic->image(), plainDecode(file(1)));
}

void TstPrefetch::changedNeighbourIsReadAgain_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("rewritten in place, same size in bytes") << "inplace";
    QTest::newRow("replaced through a new file") << "replace";
    QTest::newRow("other dimensions") << "resize";
    QTest::newRow("removed") << "remove";
}

void TstPrefetch::changedNeighbourIsReadAgain()
{
    QFETCH(QString, change);
    Picture *pic = open(file(1));
    QVERIFY(pic);
    const QImage before = pic->image();
    pic->prefetcher()->waitForFinished();
    QVERIFY(pic->prefetcher()->held().contains(file(2)));

    const QString target = file(2);
    const QImage changed = variantImage(40, 30, 7);
    const qint64 oldSize = QFileInfo(target).size();
    if (change == QLatin1String("inplace")) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadWrite)); // same file, no truncation
        QVERIFY(changed.save(&f, "bmp"));
        f.close();
        QCOMPARE(QFileInfo(target).size(), oldSize);
        // File systems stamp times with a coarse clock: make sure this write
        // does not carry the time of the one before, as any later write would.
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QFileInfo(target).lastModified().addSecs(2), QFileDevice::FileModificationTime));
        f.close();
    } else if (change == QLatin1String("replace")) {
        QVERIFY(imageio::write(changed, target, "bmp"));
    } else if (change == QLatin1String("resize")) {
        QVERIFY(variantImage(30, 40, 7).save(target, "bmp"));
    } else {
        QVERIFY(QFile::remove(target));
    }

    pic->stepInFolder(1);
    if (change == QLatin1String("remove")) {
        // Nothing to read: the window keeps the picture it had.
        QCOMPARE(pic->image(), before);
    } else {
        QCOMPARE(pic->image(), plainDecode(target));
        QVERIFY(pic->information().contains(QStringLiteral("%1x%2").arg(pic->image().width()).arg(pic->image().height())));
    }
}

void TstPrefetch::droppedWhenTheFolderChanges()
{
    Picture *pic = open(file(2));
    QVERIFY(pic);
    QCOMPARE(pic->prefetcher()->held().size(), 2);
    QDir().mkpath(dir->filePath(QStringLiteral("other")));
    const QString a = dir->filePath(QStringLiteral("other/a.bmp"));
    const QString b = dir->filePath(QStringLiteral("other/b.bmp"));
    QVERIFY(variantImage(10, 10, 1).save(a, "bmp"));
    QVERIFY(variantImage(10, 10, 2).save(b, "bmp"));
    pic->loadImage(a);
    QCOMPARE(pic->prefetcher()->held(), QStringList{b});
    // A file that is not in its folder's list (a name the list leaves out)
    // has no neighbours.
    const QString odd = dir->filePath(QStringLiteral("other/c.dat"));
    QVERIFY(QFile::copy(a, odd));
    pic->loadImage(odd);
    QCOMPARE(pic->prefetcher()->held(), QStringList());
}

void TstPrefetch::takeHandsOverOnce()
{
    Prefetcher prefetcher;
    const QString broken = dir->filePath(QStringLiteral("broken.jpg"));
    QVERIFY(testutil::writeBytes(broken, QByteArray("\xff\xd8\xff\xe0 not really", 14)));
    prefetcher.request({file(0), broken, file(1)});
    QCOMPARE(prefetcher.held(), (QStringList{file(0), broken})); // two at most
    prefetcher.waitForFinished();

    QImage img;
    QByteArray format;
    QVERIFY(prefetcher.take(file(0), &img, &format));
    QCOMPARE(img, imageio::decode(file(0)));
    QCOMPARE(format, QByteArray("bmp"));
    QVERIFY(!prefetcher.take(file(0), &img, &format)); // handed over already
    QVERIFY(!prefetcher.take(broken, &img, &format));  // nothing decodable
    QVERIFY(!prefetcher.take(file(3), &img, &format)); // never asked for
    QCOMPARE(prefetcher.held(), QStringList());

    // Asked for and not started yet, or dropped: the caller reads it.
    prefetcher.request({file(3)});
    prefetcher.request({file(4)});
    QVERIFY(!prefetcher.take(file(3), &img, &format));
    prefetcher.waitForFinished();
    QVERIFY(prefetcher.take(file(4), &img, &format));
    QCOMPARE(img, imageio::decode(file(4)));
}

void TstPrefetch::largeDecodeIsThePlainDecode_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("gray");
    // Large enough (over 8 MB of pixels) for the large-page allocation.
    QTest::newRow("colour JPEG") << QByteArray("jpeg") << false;
    QTest::newRow("grey JPEG") << QByteArray("jpeg") << true;
    QTest::newRow("PNG") << QByteArray("png") << false;
}

void TstPrefetch::largeDecodeIsThePlainDecode()
{
    QFETCH(QByteArray, format);
    QFETCH(bool, gray);
    const QString path = dir->filePath(QStringLiteral("large.") + QString::fromLatin1(format));
    QImage source = variantImage(1800, 1300, 3);
    source.setDotsPerMeterX(11811); // 300 dpi
    source.setDotsPerMeterY(11811);
    if (gray)
        source = source.convertToFormat(QImage::Format_Grayscale8);
    QVERIFY(imageio::write(source, path, format, 90));

    QImage decoded = imageio::decode(path);
    const QImage plain = plainDecode(path);
    QCOMPARE(decoded.format(), plain.format());
    QCOMPARE(decoded, plain);
    QCOMPARE(decoded.dotsPerMeterX(), plain.dotsPerMeterX());
    // A copy is independent of the decode, and the decode can be edited in
    // place.
    const QImage copy = decoded;
    decoded.invertPixels();
    QCOMPARE(copy, plain);
    QVERIFY(decoded != plain);
    decoded = QImage();
    QCOMPARE(copy, plain);
}

QTEST_MAIN(TstPrefetch)
#include "tst_prefetch.moc"
