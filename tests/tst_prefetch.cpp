// Reading photos without making the window wait: the decode (TurboJPEG, as
// Qt's reader would give it), the display copy from a reduced decode, the
// neighbours made ahead for Page Up/Down, keys faster than the decodes, and
// actions that need the full image right after opening. What is shown and
// kept must be what a plain decode of the file on disk gives, also when a
// neighbour changes, vanishes or the window moves elsewhere.

#include "ui/app/framzo.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "core/base/jobs.h"
#include "core/imageio/jpegreader.h"
#include "ui/images/mimesourcefactory.h"
#include "ui/picture/picture.h"
#include "core/cut/capture.h"
#include "core/photo/displaycopy.h"
#include "core/photo/photo.h"
#include "core/photo/photodecode.h"
#include "core/photo/photoloader.h"
#include "core/photo/prefetcher.h"
#include "testutil.h"
#include "testwindow.h"

#include <QBuffer>
#include <QColorSpace>
#include <QAction>
#include <QCheckBox>
#include <QGraphicsView>
#include <QGraphicsScene>
#include <QToolButton>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSemaphore>
#include <QThreadPool>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

#include <turbojpeg.h>

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

// A photo-like picture: gradients and noise in every pixel, as a camera's
// sensor leaves it, and, with disc, a shape with a hard edge.
QImage noisyPhoto(int w, int h, bool withDisc)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const quint32 n = (quint32(x) * 73856093u) ^ (quint32(y) * 19349663u);
            const int d = int((n >> 7) % 17) - 8;
            const bool disc = withDisc && (x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2) < (h / 5) * (h / 5);
            const int r = disc ? 230 : 40 + x * 160 / w;
            const int g = disc ? 200 : 60 + y * 150 / h;
            const int b = disc ? 40 : 170 - x * 80 / w;
            line[x] = qRgb(qBound(0, r + d, 255), qBound(0, g - d, 255), qBound(0, b + d / 2, 255));
        }
    }
    return img;
}

// The largest difference of any channel of any pixel, and the mean of the
// pixels' largest channel differences.
int largestDifference(const QImage &a, const QImage &b, double *mean)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int largest = 0;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int i = 0; i < x.width(); ++i) {
            const int d = std::max({std::abs(qRed(p[i]) - qRed(q[i])), std::abs(qGreen(p[i]) - qGreen(q[i])),
                                    std::abs(qBlue(p[i]) - qBlue(q[i]))});
            largest = std::max(largest, d);
            sum += d;
        }
    }
    *mean = x.isNull() ? 0 : sum / (qint64(x.width()) * x.height());
    return largest;
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
    void displayCopyIsTheFullDecodesCopy_data();
    void displayCopyIsTheFullDecodesCopy();
    void openedPhotoShowsTheFullDecodesCopy();
    void actionsRightAfterOpeningUseTheFullImage_data();
    void actionsRightAfterOpeningUseTheFullImage();
    void burstOfKeysEndsOnTheLastPhoto();
    void burstDecodesOnlyWhatIsShown_data();
    void burstDecodesOnlyWhatIsShown();
    void decodesInBandsOnEveryThreadAtOnce();
    void photoNamedAtStartIsTakenUp_data();
    void photoNamedAtStartIsTakenUp();
    void windowAnswersWhileDecodesWait();

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
    QVERIFY(testutil::waitLoaded(pic));
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
    // Stepping back, the file before is made first, once the photo shown is in.
    QVERIFY(pic->stepInFolder(-1));
    QVERIFY(testutil::waitLoaded(pic));
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
    QVERIFY(testutil::waitLoaded(pic));
    QCOMPARE(pic->prefetcher()->held(), QStringList{b});
    // A file that is not in its folder's list (a name the list leaves out)
    // has no neighbours.
    const QString odd = dir->filePath(QStringLiteral("other/c.dat"));
    QVERIFY(QFile::copy(a, odd));
    pic->loadImage(odd);
    QVERIFY(testutil::waitLoaded(pic));
    QCOMPARE(pic->prefetcher()->held(), QStringList());
}

void TstPrefetch::takeHandsOverOnce()
{
    Prefetcher prefetcher;
    const QSize workspace(800, 600);
    const QString broken = dir->filePath(QStringLiteral("broken.jpg"));
    QVERIFY(testutil::writeBytes(broken, QByteArray("\xff\xd8\xff\xe0 not really", 14)));
    prefetcher.request({file(0), broken, file(1)}, workspace);
    QCOMPARE(prefetcher.held(), (QStringList{file(0), broken})); // two at most
    prefetcher.waitForFinished();

    QFuture<displaycopy::Copy> taken = prefetcher.take(file(0), workspace);
    QVERIFY(taken.isFinished());
    const displaycopy::Copy copy = taken.result();
    QVERIFY(copy.ok);
    QCOMPARE(copy.format, QByteArray("bmp"));
    QCOMPARE(copy.fullSize, QSize(40, 30));
    QVERIFY(copy.full.isNull()); // a copy only, never the full photo
    QCOMPARE(copy.copy, displaycopy::scaled(imageio::decode(file(0)), displaycopy::copySize({40, 30}, workspace)));
    QVERIFY(!prefetcher.take(file(0), workspace).isValid()); // handed over already
    QVERIFY(!prefetcher.take(broken, workspace).result().ok); // nothing decodable
    QVERIFY(!prefetcher.take(file(3), workspace).isValid());  // never asked for
    QCOMPARE(prefetcher.held(), QStringList());

    // Asked for and not started yet, dropped, or made for another size: the
    // caller makes it.
    prefetcher.request({file(3)}, workspace);
    prefetcher.request({file(4)}, workspace);
    QVERIFY(!prefetcher.take(file(3), workspace).isValid());
    prefetcher.waitForFinished();
    QVERIFY(!prefetcher.take(file(4), QSize(1024, 768)).isValid());
    prefetcher.request({file(4)}, workspace);
    prefetcher.waitForFinished();
    QVERIFY(prefetcher.take(file(4), workspace).result().ok);
}

void TstPrefetch::largeDecodeIsThePlainDecode_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QString>("kind");
    // Large enough (over 8 MB of pixels) for the large-page allocation.
    QTest::newRow("colour JPEG") << QByteArray("jpeg") << "colour";
    QTest::newRow("grey JPEG") << QByteArray("jpeg") << "grey";
    QTest::newRow("CMYK JPEG") << QByteArray("jpeg") << "cmyk";
    QTest::newRow("JPEG with a colour profile") << QByteArray("jpeg") << "profile";
    QTest::newRow("JPEG mirrored and turned (EXIF 5)") << QByteArray("jpeg") << "orientation 5";
    QTest::newRow("JPEG turned left (EXIF 8)") << QByteArray("jpeg") << "orientation 8";
    QTest::newRow("JPEG cut short") << QByteArray("jpeg") << "truncated";
    // Decoded in bands on every core, turned upright after.
    QTest::newRow("JPEG with restart markers, turned (EXIF 6)") << QByteArray("jpeg") << "restart, orientation 6";
    QTest::newRow("PNG") << QByteArray("png") << "colour";
}

void TstPrefetch::largeDecodeIsThePlainDecode()
{
    QFETCH(QByteArray, format);
    QFETCH(QString, kind);
    const QString path = dir->filePath(QStringLiteral("large.") + QString::fromLatin1(format));
    QImage source = variantImage(1800, 1300, 3);
    source.setDotsPerMeterX(11811); // 300 dpi
    source.setDotsPerMeterY(11811);
    if (kind == QLatin1String("grey"))
        source = source.convertToFormat(QImage::Format_Grayscale8);
    if (kind == QLatin1String("profile"))
        source.setColorSpace(QColorSpace::AdobeRgb);
    if (kind == QLatin1String("cmyk")) {
        // Qt writes no CMYK: TurboJPEG makes it (YCCK with Adobe's marker,
        // as print workflows leave them).
        std::vector<uchar> cmyk(size_t(source.width()) * source.height() * 4);
        for (int y = 0; y < source.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(source.constScanLine(y));
            for (int x = 0; x < source.width(); ++x) {
                uchar *p = &cmyk[(size_t(y) * source.width() + x) * 4];
                p[0] = uchar(qRed(line[x]));
                p[1] = uchar(qGreen(line[x]));
                p[2] = uchar(qBlue(line[x]));
                p[3] = uchar(255 - (x + y) % 200);
            }
        }
        tjhandle handle = tjInitCompress();
        unsigned char *out = nullptr;
        unsigned long size = 0;
        QCOMPARE(tjCompress2(handle, cmyk.data(), source.width(), 0, source.height(), TJPF_CMYK, &out, &size,
                             TJSAMP_444, 90, 0),
                 0);
        QVERIFY(testutil::writeBytes(path, QByteArray(reinterpret_cast<const char *>(out), qsizetype(size))));
        tjFree(out);
        tjDestroy(handle);
    } else {
        QVERIFY(imageio::write(source, path, format, 90));
    }
    if (kind.startsWith(QLatin1String("restart"))) {
        // A restart marker after every MCU row, added without a new encode.
        QProcess jpegtran;
        jpegtran.start(QStringLiteral("jpegtran"), {QStringLiteral("-restart"), QStringLiteral("1"), path});
        QVERIFY(jpegtran.waitForFinished(60000) && jpegtran.exitCode() == 0);
        QVERIFY(testutil::writeBytes(path, jpegtran.readAllStandardOutput()));
        QVERIFY(imageio::decodesInBands(path));
    }
    if (kind.contains(QLatin1String("orientation"))) {
        // APP1 Exif: big-endian TIFF, one entry, Orientation.
        const char value = char(kind.back().digitValue());
        QByteArray tiff = QByteArray::fromHex("4d4d002a00000008000101120003000000010000000000000000");
        tiff[19] = value;
        const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
        QByteArray jpeg = testutil::readAll(path);
        jpeg.insert(2, QByteArray::fromHex("ffe1") + char((app1.size() + 2) >> 8) + char((app1.size() + 2) & 0xff) + app1);
        QVERIFY(testutil::writeBytes(path, jpeg));
    }
    if (kind == QLatin1String("truncated")) {
        const QByteArray jpeg = testutil::readAll(path);
        QVERIFY(testutil::writeBytes(path, jpeg.left(jpeg.size() * 2 / 3)));
    }

    QImage decoded = imageio::decode(path);
    const QImage plain = plainDecode(path);
    QVERIFY(!plain.isNull());
    QCOMPARE(decoded.format(), plain.format());
    QCOMPARE(decoded.size(), plain.size());
    QCOMPARE(decoded, plain);
    QCOMPARE(decoded.dotsPerMeterX(), plain.dotsPerMeterX());
    QCOMPARE(decoded.dotsPerMeterY(), plain.dotsPerMeterY());
    QCOMPARE(decoded.colorSpace(), plain.colorSpace());
    // A copy is independent of the decode, and the decode can be edited in
    // place.
    const QImage copy = decoded;
    decoded.invertPixels();
    QCOMPARE(copy, plain);
    QVERIFY(decoded != plain);
    decoded = QImage();
    QCOMPARE(copy, plain);
}

namespace {

// Photos large enough that their display copies come from reduced decodes,
// each different in every row.
QStringList writeJpegs(const QString &folder, int count, const QSize &size)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QStringLiteral("/j%1.jpg").arg(i);
        if (!variantImage(size.width(), size.height(), i).save(path, "jpeg", 90))
            return {};
        paths << path;
    }
    return paths;
}

// Holds every thread that decodes (the shared pool and the lane for work
// ahead) until released: a file as slow to decode as anyone likes.
class BlockedDecodes
{
public:
    BlockedDecodes()
    {
        const int shared = jobs::pool(jobs::Lane::Shared)->maxThreadCount();
        for (int i = 0; i < shared; ++i)
            mHeld << jobs::start(jobs::Lane::Shared, [this](const jobs::Progress &) { mGate.acquire(); });
        mHeld << jobs::start(jobs::Lane::Ahead, [this](const jobs::Progress &) { mGate.acquire(); });
    }
    ~BlockedDecodes() { release(); }
    void release()
    {
        mGate.release(int(mHeld.size()) - mReleased);
        mReleased = int(mHeld.size());
        for (QFuture<void> &f : mHeld)
            f.waitForFinished();
    }

private:
    QSemaphore mGate;
    QList<QFuture<void>> mHeld;
    int mReleased = 0;
};

} // namespace

void TstPrefetch::displayCopyIsTheFullDecodesCopy_data()
{
    QTest::addColumn<QSize>("workspace");
    QTest::addColumn<int>("reduction"); // the JPEG decoded at 1/reduction
    QTest::addColumn<bool>("edge");     // a shape with a hard edge
    QTest::addColumn<bool>("grey");
    QTest::addColumn<bool>("turned"); // EXIF orientation 6
    QTest::addColumn<bool>("restart"); // restart markers: decoded in bands, once for the copy and the full image
    // A 3000 x 2000 photo; the smaller the window, the more the decode saves.
    QTest::newRow("1/2") << QSize(1000, 800) << 2 << false << false << false << false;
    QTest::newRow("1/4") << QSize(640, 480) << 4 << false << false << false << false;
    QTest::newRow("1/8") << QSize(400, 300) << 8 << false << false << false << false;
    QTest::newRow("1/2, hard edge") << QSize(1000, 800) << 2 << true << false << false << false;
    QTest::newRow("grey, 1/2, hard edge") << QSize(1000, 800) << 2 << true << true << false << false;
    QTest::newRow("turned upright, 1/4, hard edge") << QSize(500, 700) << 4 << true << false << true << false;
    QTest::newRow("full size: the same decode") << QSize(3200, 2400) << 1 << true << false << false << false;
    QTest::newRow("restart markers, 1/4, hard edge") << QSize(640, 480) << 4 << true << false << false << true;
    QTest::newRow("restart markers, grey, turned, 1/2") << QSize(700, 1000) << 2 << true << true << true << true;
}

void TstPrefetch::displayCopyIsTheFullDecodesCopy()
{
    QFETCH(QSize, workspace);
    QFETCH(int, reduction);
    QFETCH(bool, edge);
    QFETCH(bool, grey);
    QFETCH(bool, turned);
    QFETCH(bool, restart);
    QImage photo = noisyPhoto(3000, 2000, edge);
    if (grey)
        photo = photo.convertToFormat(QImage::Format_Grayscale8);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(photo.save(&buffer, "jpeg", 92));
    if (turned) {
        // APP1 Exif: big-endian TIFF, one entry, Orientation = 6.
        const QByteArray tiff = QByteArray::fromHex("4d4d002a000000080001011200030000000100060000" "00000000");
        const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
        jpeg.insert(2, QByteArray::fromHex("ffe1") + char((app1.size() + 2) >> 8) + char((app1.size() + 2) & 0xff) + app1);
    }
    const QString path = dir->filePath(QStringLiteral("photo.jpg"));
    QVERIFY(testutil::writeBytes(path, jpeg));
    if (restart) {
        QProcess jpegtran;
        jpegtran.start(QStringLiteral("jpegtran"), {QStringLiteral("-restart"), QStringLiteral("1"), QStringLiteral("-copy"),
                                                    QStringLiteral("all"), path});
        QVERIFY(jpegtran.waitForFinished(60000) && jpegtran.exitCode() == 0);
        QVERIFY(testutil::writeBytes(path, jpegtran.readAllStandardOutput()));
    }
    QCOMPARE(imageio::decodesInBands(path), restart);

    const displaycopy::Copy copy = displaycopy::make(path, workspace, true);
    QVERIFY(copy.ok);
    const QImage full = imageio::decode(path);
    QCOMPARE(copy.fullSize, full.size());
    QCOMPARE(copy.depth, full.depth());
    QCOMPARE(copy.dotsPerMeter, QSize(full.dotsPerMeterX(), full.dotsPerMeterY()));
    // A JPEG's full decode is made on its own, unless one decode on every
    // core gives both.
    if (restart)
        QCOMPARE(copy.full, full);
    else
        QVERIFY(copy.full.isNull());
    const QImage fromFull = displaycopy::scaled(full, displaycopy::copySize(full.size(), workspace));
    QCOMPARE(copy.copy.size(), fromFull.size());
    QCOMPARE(copy.copy.format(), fromFull.format());
    // The reduced decode is the smallest that covers the copy.
    const QSize stored = turned ? full.size().transposed() : full.size();
    QCOMPARE(jpegreader::reductionFor(stored, turned ? fromFull.size().transposed() : fromFull.size()), reduction);
    // The copy first shown is the one the full decode gives, within rounding
    // (3 levels of 255) on gradients and sensor noise; where a hard edge
    // crosses a pixel the reduced decode's own averaging shows by up to 24
    // (19 to 21 measured). On average the two differ by less than a level.
    // The window then shows the full decode's own copy (openedPhotoShowsTheFullDecodesCopy).
    double mean = 0;
    const int largest = largestDifference(copy.copy, fromFull, &mean);
    const int bound = reduction == 1 || restart ? 0 : edge ? 24 : 3;
    QVERIFY2(largest <= bound && mean < 1, qPrintable(QStringLiteral("largest %1, mean %2").arg(largest).arg(mean)));
}

void TstPrefetch::openedPhotoShowsTheFullDecodesCopy()
{
    // Once the full decode is in, the window shows exactly the copy made
    // from it (made on a worker): what stays on screen is as it always was.
    const QStringList photos = writeJpegs(dir->path(), 2, QSize(2400, 1600));
    QCOMPARE(photos.size(), 2);
    for (const QString &photo : photos) {
        Picture *pic = photo == photos.first() ? open(photo) : main->activePicture();
        if (photo != photos.first()) {
            QVERIFY(pic->stepInFolder(1)); // shown at once from the copy made ahead
            QVERIFY(testutil::waitLoaded(pic));
        }
        QVERIFY(pic);
        const QImage full = imageio::decode(photo);
        const QImage expected = displaycopy::scaled(full, displaycopy::copySize(full.size(), pic->copyWorkspace()));
        // It takes the place of the copy from the reduced decode just after
        // the full decode has come.
        QTRY_COMPARE(pic->view()->copy().convertToFormat(expected.format()), expected);
    }
}

void TstPrefetch::actionsRightAfterOpeningUseTheFullImage_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("capture") << "capture";
    QTest::newRow("invert") << "invert";
    QTest::newRow("turn and save") << "save";
}

void TstPrefetch::actionsRightAfterOpeningUseTheFullImage()
{
    // Return, an edit or Ctrl+S pressed before the full decode has come
    // wait for it (with the busy cursor): never the display copy's pixels.
    QFETCH(QString, action);
    const QStringList photos = writeJpegs(dir->path(), 1, QSize(2400, 1600));
    QVERIFY(!photos.isEmpty());
    const QString photo = photos.first();
    const QImage full = imageio::decode(photo);
    const QString cuts = dir->filePath(QStringLiteral("cuts"));
    QVERIFY(QDir().mkpath(cuts));

    main = std::make_unique<Framzo>();
    main->capturePath = cuts;
    main->mpShowCut->setChecked(true);
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    main->newChildWin(photo);
    Picture *pic = main->activePicture();
    QVERIFY(pic);
    QVERIFY(pic->isLoading()); // the decodes start from the event loop
    QCOMPARE(pic->surface().image, QSize(2400, 1600)); // the frame knows the photo from its header

    if (action == QLatin1String("capture")) {
        // The frame is dragged to size on the canvas laid out from the header.
        main->mpFree->setChecked(true);
        testutil::dragOnCanvas(pic, QPoint(28, 28), QPoint(300, 200));
        QVERIFY(pic->isLoading());
        main->mpGenerate->trigger();
        QVERIFY(testutil::settle(*main));
        const QRect rect = pic->frameState().imageRect(pic->surface());
        QVERIFY(rect.width() > 400 && rect.height() > 200);
        // The very file a cut of the full image gives.
        const QString expected = dir->filePath(QStringLiteral("expected"));
        QVERIFY(QDir().mkpath(expected));
        QVERIFY(!capture::writeCut(full, rect, photo, expected).path.isEmpty());
        QCOMPARE(QImage(cuts + QStringLiteral("/j0.jpg")).size(), rect.size());
        QCOMPARE(testutil::readAll(cuts + QStringLiteral("/j0.jpg")), testutil::readAll(expected + QStringLiteral("/j0.jpg")));
    } else if (action == QLatin1String("invert")) {
        main->mpNegative->click();
        QImage expected = full;
        expected.invertPixels();
        QCOMPARE(pic->image(), expected);
    } else {
        main->mpRot90->trigger();
        main->mpSave->trigger();
        QVERIFY(testutil::settle(*main));
        QVERIFY(testutil::waitLoaded(pic));
        // Turned without a new encode: the file holds the turned photo.
        QCOMPARE(imageio::decode(photo).size(), QSize(1600, 2400));
        QCOMPARE(pic->image().size(), QSize(1600, 2400));
    }
}

void TstPrefetch::burstOfKeysEndsOnTheLastPhoto()
{
    // Page Up pressed six times faster than photos decode: the window ends on
    // the sixth photo, decoded in full, and only that one is decoded in full.
    const QStringList photos = writeJpegs(dir->path(), 8, QSize(1200, 800));
    QCOMPARE(photos.size(), 8);
    Picture *pic = open(photos.first());
    QVERIFY(pic);
    QSignalSpy loaded(pic, &Picture::loaded);
    QSignalSpy displayed(pic, &Picture::displayed);
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(main.get(), Qt::Key_PageUp);
    QCOMPARE(pic->path(), photos.at(6));
    QVERIFY(testutil::waitLoaded(pic));
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.first().first().toString(), photos.at(6));
    QVERIFY(!displayed.isEmpty());
    QCOMPARE(displayed.last().first().toString(), photos.at(6));
    QCOMPARE(pic->image(), plainDecode(photos.at(6)));
    QVERIFY(pic->information().startsWith(QStringLiteral("Path: %1 Size: 1200x800").arg(photos.at(6))));
    // The neighbours of where it stopped are made ahead.
    pic->prefetcher()->waitForFinished();
    QCOMPARE(pic->prefetcher()->held(), (QStringList{photos.at(7), photos.at(5)}));
}

void TstPrefetch::burstDecodesOnlyWhatIsShown_data()
{
    QTest::addColumn<int>("keys");
    QTest::addColumn<bool>("bands"); // restart markers: every decode takes all the cores
    QTest::newRow("4 keys") << 4 << false;
    QTest::newRow("10 keys") << 10 << false;
    QTest::newRow("10 keys, restart markers") << 10 << true;
}

void TstPrefetch::burstDecodesOnlyWhatIsShown()
{
    // Page Up pressed again and again while no decode can finish, each key
    // taken by the event loop before the next: the copies of the photos
    // passed are not made one by one, no more decodes are under way than
    // there are cores, and the burst ends on the last photo, decoded once.
    QFETCH(int, keys);
    QFETCH(bool, bands);
    const QStringList photos = writeJpegs(dir->path(), keys + 1, bands ? QSize(2000, 1100) : QSize(1200, 800));
    QCOMPARE(photos.size(), keys + 1);
    for (const QString &photo : photos) {
        if (!bands)
            break;
        QProcess jpegtran;
        jpegtran.start(QStringLiteral("jpegtran"), {QStringLiteral("-restart"), QStringLiteral("1"), photo});
        QVERIFY(jpegtran.waitForFinished(60000) && jpegtran.exitCode() == 0);
        QVERIFY(testutil::writeBytes(photo, jpegtran.readAllStandardOutput()));
        QVERIFY(imageio::decodesInBands(photo));
    }
    Picture *pic = open(photos.first());
    QVERIFY(pic);
    pic->prefetcher()->waitForFinished();
    const QString last = dir->filePath(pic->photo()->folderEntries().value(keys)); // as the folder sorts them
    const PhotoLoader *loader = pic->photo()->loader();
    const int copies = loader->copiesStarted();
    const int fulls = loader->fullDecodesStarted();
    QSignalSpy loaded(pic->photo(), &Photo::loaded);
    {
        BlockedDecodes blocked;
        for (int i = 0; i < keys; ++i) {
            QTest::keyClick(main.get(), Qt::Key_PageUp);
            QVERIFY(testutil::eventsHandled());
            QVERIFY2(loader->inFlight() <= jobs::cores(), qPrintable(QString::number(loader->inFlight())));
        }
        QCOMPARE(pic->path(), last);
    }
    QTRY_COMPARE(loaded.size(), 1);
    QCOMPARE(loaded.first().first().toString(), last);
    QCOMPARE(pic->image(), plainDecode(last));
    // At most the copy under way, one beside it and the last photo's; full
    // decodes of the first photo (its copy was made ahead, so it began at
    // once) and of the last (in bands, its copy is made from that decode).
    QVERIFY2(loader->copiesStarted() - copies <= 3, qPrintable(QString::number(loader->copiesStarted() - copies)));
    QCOMPARE(loader->fullDecodesStarted() - fulls, bands ? 1 : 2);
}

void TstPrefetch::photoNamedAtStartIsTakenUp_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("workspace");
    QTest::addColumn<bool>("restart");
    QTest::addColumn<QString>("opened"); // how the window names the photo it opens
    QTest::newRow("named relative, opened absolute") << QSize(1280, 1024) << QSize(1000, 700) << false << "absolute";
    QTest::newRow("opened through a link") << QSize(1280, 1024) << QSize(1000, 700) << false << "link";
    QTest::newRow("restart markers") << QSize(1280, 1024) << QSize(1000, 700) << true << "absolute";
    QTest::newRow("workspace larger than the screen given") << QSize(400, 300) << QSize(1000, 700) << true << "absolute";
    QTest::newRow("another photo opened") << QSize(1280, 1024) << QSize(1000, 700) << false << "other";
}

void TstPrefetch::photoNamedAtStartIsTakenUp()
{
    QFETCH(QSize, screen);
    QFETCH(QSize, workspace);
    QFETCH(bool, restart);
    QFETCH(QString, opened);
    const bool sameFile = opened != QLatin1String("other");
    // Sensor noise and a hard edge: a copy from a reduced decode is within
    // the rounding of one from the full image, but for the edge.
    const QStringList photos = {dir->filePath(QStringLiteral("a.jpg")), dir->filePath(QStringLiteral("b.jpg"))};
    for (const QString &photo : photos)
        QVERIFY(noisyPhoto(2400, 1600, true).save(photo, "jpeg", 92));
    if (restart) {
        QProcess jpegtran;
        jpegtran.start(QStringLiteral("jpegtran"), {QStringLiteral("-restart"), QStringLiteral("1"), photos.first()});
        QVERIFY(jpegtran.waitForFinished(60000) && jpegtran.exitCode() == 0);
        QVERIFY(testutil::writeBytes(photos.first(), jpegtran.readAllStandardOutput()));
    }
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir->path());
    photodecode::beginFirst(QFileInfo(photos.first()).fileName(), screen);
    QDir::setCurrent(before);

    QString path = sameFile ? photos.first() : photos.last();
    if (opened == QLatin1String("link")) {
        path = dir->filePath(QStringLiteral("link.jpg"));
        QVERIFY(QFile::link(photos.first(), path));
    }
    PhotoLoader loader;
    QSignalSpy displayed(&loader, &PhotoLoader::displayed);
    QSignalSpy decoded(&loader, &PhotoLoader::decoded);
    loader.load(path, "jpeg", workspace);
    QTRY_VERIFY_WITH_TIMEOUT(!loader.busy(), 30000);
    // Taken once by the window that opened it, by no other.
    QCOMPARE(photodecode::takeReduced(photos.first()).isValid(), !sameFile);

    const QImage full = plainDecode(path);
    QCOMPARE(decoded.size(), 1);
    QCOMPARE(decoded.first().at(1).value<QImage>(), full);
    QCOMPARE(loader.fullDecodesStarted(), 1);
    QCOMPARE(displayed.size(), 1);
    const auto copy = displayed.first().first().value<displaycopy::Copy>();
    QVERIFY(copy.ok);
    QCOMPARE(copy.path, path);
    QCOMPARE(copy.fullSize, full.size());
    const QImage fromFull = displaycopy::scaled(full, displaycopy::copySize(full.size(), workspace));
    QCOMPARE(copy.copy.size(), fromFull.size());
    double mean = 0;
    const int largest = largestDifference(copy.copy, fromFull, &mean);
    QVERIFY2(largest <= 24 && mean < 1, qPrintable(QStringLiteral("largest %1, mean %2").arg(largest).arg(mean)));
}

void TstPrefetch::decodesInBandsOnEveryThreadAtOnce()
{
    // A decode in bands started on each thread of the shared pool (a copy,
    // a full decode, a gallery's photos): each goes on with the threads it
    // finds free, none waits for the others' to come free.
    const QStringList photos = writeJpegs(dir->path(), 1, QSize(2000, 1100));
    QCOMPARE(photos.size(), 1);
    QProcess jpegtran;
    jpegtran.start(QStringLiteral("jpegtran"), {QStringLiteral("-restart"), QStringLiteral("1"), photos.first()});
    QVERIFY(jpegtran.waitForFinished(60000) && jpegtran.exitCode() == 0);
    QVERIFY(testutil::writeBytes(photos.first(), jpegtran.readAllStandardOutput()));
    QVERIFY(imageio::decodesInBands(photos.first()));
    const QImage plain = plainDecode(photos.first());
    for (int round = 0; round < 5; ++round) {
        QList<QFuture<QImage>> decodes;
        for (int i = 0; i < jobs::pool(jobs::Lane::Shared)->maxThreadCount(); ++i)
            decodes << jobs::start(jobs::Lane::Shared, [path = photos.first()](const jobs::Progress &) { return imageio::decode(path); });
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(decodes.cbegin(), decodes.cend(), [](const QFuture<QImage> &f) { return f.isFinished(); }), 30000);
        for (const QFuture<QImage> &f : std::as_const(decodes))
            QCOMPARE(f.result(), plain);
    }
}

void TstPrefetch::windowAnswersWhileDecodesWait()
{
    // However long a file takes to decode, opening returns at once, Page Up
    // and Page Down move on, closing the image window and Esc answer, and
    // what finishes after its window is gone is dropped.
    const QStringList photos = writeJpegs(dir->path(), 3, QSize(1200, 800));
    QCOMPARE(photos.size(), 3);
    main = std::make_unique<Framzo>();
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    BlockedDecodes blocked;

    main->newChildWin(photos.at(0));
    Picture *pic = main->activePicture();
    QVERIFY(pic);
    QVERIFY(pic->isLoading());
    QCOMPARE(pic->canvas()->sceneRect().size().toSize(), Picture::displaySize(1200, 800, pic->workspaceSize().width(), pic->workspaceSize().height()) - QSize(4, 4));
    QVERIFY(testutil::eventsHandled()); // events go round; nothing can decode meanwhile
    QVERIFY(pic->isLoading());
    QTest::keyClick(main.get(), Qt::Key_PageUp);
    QCOMPARE(pic->path(), photos.at(1));
    QTest::keyClick(main.get(), Qt::Key_PageDown);
    QCOMPARE(pic->path(), photos.at(0));
    QTest::keyClick(main.get(), Qt::Key_PageUp);

    // A second window on the last photo; closing the first one while its
    // decodes wait destroys it.
    main->newChildWin(photos.at(2));
    QPointer<Picture> first = pic;
    QCOMPARE(main->mpWorkspace->subWindowList().size(), 2);
    qobject_cast<QMdiSubWindow *>(first->parentWidget())->close();
    QTRY_VERIFY(first.isNull());
    QCOMPARE(main->mpWorkspace->subWindowList().size(), 1);

    QTest::keyClick(main.get(), Qt::Key_Escape);
    QVERIFY(!main->isVisible());
    blocked.release();
    QTRY_VERIFY(!main->activePicture() || !main->activePicture()->isLoading());
}

QTEST_MAIN(TstPrefetch)
#include "tst_prefetch.moc"
