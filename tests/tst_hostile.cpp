// Broken files through every way the program decodes: truncated and
// bit-flipped images of every format it reads, headers that declare no
// pixels or far too many, a text file and an empty file named like images, a
// folder named like an image. None may crash the program, hang it, or cost a
// file; each way shows what it shows for a file it cannot read. Bombs (a
// header declaring far more than its file holds) are refused before any
// reader runs; names that would read as a link's scheme stay relative in the
// gallery; a settings store with any geometry in it gives a window on the
// screen.

#include "ui/app/framzo.h"
#include "ui/app/windowplacement.h"
#include "ui/browse/browsebar.h"
#include "ui/forms/dialogs.h"
#include "ui/forms/uiframzo.h"
#include "core/gallery/gallerypages.h"
#include "core/gallery/modernpages.h"
#include "core/gallery/galleryrunner.h"
#include "ui/gallery/html.h"
#include "core/imageio/guard.h"
#include "core/imageio/formats.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "ui/images/mimesourcefactory.h"
#include "ui/picture/picture.h"
#include "core/photo/prefetcher.h"
#include "scripteddialogs.h"
#include "testutil.h"
#include "testwindow.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGraphicsView>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRandomGenerator>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtEndian>
#include <QtTest>

#include <climits>
#include <functional>
#include <memory>
#include <new>

#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

using testutil::readAll;
using testutil::tiffSized;

using testutil::childNamed;
namespace {

// The limits below are of processor time, used by all the program's threads:
// what the work costs, however loaded the machine and however slow the build
// (a sanitizer build takes a few times as long; building the picture a bomb
// pretends to have takes many times the limits).
//
// A whole run of one file through one way must end well within this; a
// decode that tries to build a picture the header only pretends to have
// would not.
constexpr qint64 kRunLimitMs = 30000;
// Headers declaring far more pixels than the program allows are turned away
// before anything is built.
constexpr qint64 kRefuseLimitMs = 3000;

// The processor time the process has used, in all its threads, since the
// timer was made; in milliseconds, as QElapsedTimer::elapsed().
class CpuTimer
{
public:
    CpuTimer() : mStart(now()) {}
    qint64 elapsed() const { return now() - mStart; } // milliseconds

private:
    static qint64 now()
    {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    }
    qint64 mStart;
};

struct Hostile
{
    QString label;  // what was done, for messages
    QString name;   // the file (or folder) name
    QByteArray bytes;
    bool folder = false;
    bool fifo = false; // a named pipe: opening it to read waits for a writer
    bool huge = false; // declares more pixels than the allocation limit
    qint64 sparseSize = 0; // when set, the file is bytes followed by zeros to this size
};

using testutil::crc32;

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.write(image);
    return out;
}

// A 2 x 1 GIF (Qt reads GIF but cannot write it).
const QByteArray kGif = QByteArray::fromHex("47494638396102000100f00000ff000000000021f9040000000000"
                                            "2c0000000002000100000202040a003b");

// The PNG with its header declaring w x h, the header's CRC made right.
QByteArray pngSized(QByteArray png, quint32 w, quint32 h)
{
    // 8 bytes of signature, then length, "IHDR", width, height.
    qToBigEndian(w, png.data() + 16);
    qToBigEndian(h, png.data() + 20);
    qToBigEndian(crc32(png.mid(12, 17)), png.data() + 29);
    return png;
}

// A progressive JPEG with extra scan headers before its end: the guard
// counts scans and must not let a reader loop over thousands of them.
QByteArray progressiveWithScans(int extraScans)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(testutil::makeImage(24, 16));
    const QByteArray scan = QByteArray::fromHex("ffda000803010000003f00") + QByteArray(4, '\0');
    out.insert(out.size() - 2, scan.repeated(extraScans));
    return out;
}

// An icon file holding one picture (PNG or BMP bytes): ICO's directory
// of one entry, or ICNS's one element.
QByteArray iconHolding(const QByteArray &picture, bool icns, qint64 offsetShift = 0)
{
    QByteArray out;
    if (icns) {
        out = "icns" + QByteArray(4, '\0') + "ic10" + QByteArray(4, '\0') + picture;
        qToBigEndian(quint32(out.size()), out.data() + 4);
        qToBigEndian(quint32(picture.size() + 8), out.data() + 12);
        return out;
    }
    out = QByteArray::fromHex("000001000100") + QByteArray(16, '\0');
    out[6] = 16; // the directory's sides: what Qt reports
    out[7] = 16;
    qToLittleEndian(quint16(1), out.data() + 10);
    qToLittleEndian(quint16(32), out.data() + 12);
    qToLittleEndian(quint32(picture.size()), out.data() + 14);
    qToLittleEndian(quint32(22 + offsetShift), out.data() + 18);
    return out + picture;
}

QByteArray jpegSized(QByteArray jpg, quint16 w, quint16 h)
{
    for (int i = 2; i + 9 < jpg.size(); ++i) {
        const quint8 m = quint8(jpg.at(i + 1));
        if (quint8(jpg.at(i)) == 0xFF && (m == 0xC0 || m == 0xC1 || m == 0xC2)) {
            qToBigEndian(h, jpg.data() + i + 5);
            qToBigEndian(w, jpg.data() + i + 7);
            return jpg;
        }
    }
    return {};
}

QByteArray bmpSized(QByteArray bmp, qint32 w, qint32 h)
{
    qToLittleEndian(w, bmp.data() + 18);
    qToLittleEndian(h, bmp.data() + 22);
    return bmp;
}

QByteArray gifSized(QByteArray gif, quint16 w, quint16 h)
{
    qToLittleEndian(w, gif.data() + 6);
    qToLittleEndian(h, gif.data() + 8);
    const int desc = gif.indexOf(char(0x2C), 13);
    if (desc > 0) {
        qToLittleEndian(w, gif.data() + desc + 5);
        qToLittleEndian(h, gif.data() + desc + 7);
    }
    return gif;
}

QByteArray xpmSized(QByteArray xpm, const QByteArray &w, const QByteArray &h)
{
    // The values line: "<w> <h> <colours> <chars per pixel>".
    const int open = xpm.indexOf('"');
    const int firstSpace = xpm.indexOf(' ', open);
    const int secondSpace = xpm.indexOf(' ', firstSpace + 1);
    return xpm.left(open + 1) + w + ' ' + h + xpm.mid(secondSpace);
}

// An 84-byte PNG whose text chunk claims 0x7FFFFFFF bytes: a reader that
// trusts it allocates and reads 2 GB.
QByteArray pngTextBomb()
{
    QByteArray png = encoded(testutil::makeImage(2, 2), "png").left(33); // signature and header
    QByteArray chunk(8, '\0');
    qToBigEndian(quint32(0x7FFFFFFF), chunk.data());
    chunk.replace(4, 4, "tEXt");
    png += chunk;
    png += QByteArray("Comment\0").leftJustified(84 - png.size(), 'x');
    return png;
}

// A TGA of 8 x 4 stored pixels whose header declares w x h. (An id of four
// bytes: a header starting 00 00 would read as an icon.)
QByteArray tgaSized(quint16 w, quint16 h)
{
    QByteArray tga(18, '\0');
    tga[0] = 4;
    tga[2] = 2; // true colour, stored as it is
    qToLittleEndian(w, tga.data() + 12);
    qToLittleEndian(h, tga.data() + 14);
    tga[16] = 32;
    return tga + "tga!" + QByteArray(8 * 4 * 4, '\x7f') + QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.", 18);
}

// A file of size bytes that starts with head and holds nothing but zeros
// after it, most of it not on disk (a sparse file).
bool writeSparse(const QString &path, const QByteArray &head, qint64 size)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(head) == head.size() && f.resize(size);
}

qint64 bytesOnDisk(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? qint64(st.st_blocks) * 512 : -1;
}

// The text of an XPM up to the first character of its values line: the
// reader takes everything up to the closing quote as that line.
const QByteArray kXpmHead = "/* XPM */\nstatic char *bomb[] = {\n\"";

// Every hostile file, made from one good image of each format.
QList<Hostile> hostileFiles()
{
    const QImage photo = testutil::makeImage(160, 120);
    const QImage small = testutil::makeImage(24, 16);
    struct Good
    {
        const char *label;
        const char *ext;
        QByteArray bytes;
        std::function<QByteArray(const QByteArray &)> zero;
        std::function<QByteArray(const QByteArray &)> huge;
    };
    const QList<Good> goods = {
        // 3.6 GB: more than the limit, and little enough that a reader
        // that allocates it anyway fails the check below rather than the
        // machine.
        {"jpeg", "jpg", encoded(photo, "jpeg"), [](const QByteArray &b) { return jpegSized(b, 0, 0); },
         [](const QByteArray &b) { return jpegSized(b, 30000, 30000); }},
        {"png", "png", encoded(photo, "png"), [](const QByteArray &b) { return pngSized(b, 0, 0); },
         [](const QByteArray &b) { return pngSized(b, 100000, 100000); }},
        {"bmp", "bmp", encoded(small, "bmp"), [](const QByteArray &b) { return bmpSized(b, 0, 0); },
         [](const QByteArray &b) { return bmpSized(b, 100000, 100000); }},
        {"tiff", "tif", encoded(small, "tiff"), [](const QByteArray &b) { return tiffSized(b, 0, 0); },
         [](const QByteArray &b) { return tiffSized(b, 100000, 100000); }},
        {"xpm", "xpm", encoded(small.convertToFormat(QImage::Format_Indexed8), "xpm"),
         [](const QByteArray &b) { return xpmSized(b, "0", "0"); },
         [](const QByteArray &b) { return xpmSized(b, "100000", "100000"); }},
        // Named .jpg: a misnamed download, which also puts it among the
        // files the window steps through.
        {"gif", "jpg", kGif, [](const QByteArray &b) { return gifSized(b, 0, 0); },
         [](const QByteArray &b) { return gifSized(b, 65535, 65535); }},
    };

    QList<Hostile> out;
    auto add = [&](const QString &label, const QString &ext, const QByteArray &bytes, bool huge = false) {
        Hostile h;
        h.label = label;
        h.name = QStringLiteral("b-%1.%2").arg(label, ext);
        h.bytes = bytes;
        h.huge = huge;
        out << h;
    };

    QRandomGenerator flips(20261207u); // fixed: the same files on every run
    for (const Good &g : goods) {
        const QString l = QString::fromLatin1(g.label);
        const QString e = QString::fromLatin1(g.ext);
        Q_ASSERT(!g.bytes.isEmpty());
        const int n = int(g.bytes.size());
        // Cut after the signature, in the header's middle, half way, and
        // short of the very end.
        for (const int cut : {8, qMin(20, n - 1), n / 2, n - 2})
            add(QStringLiteral("%1-cut%2").arg(l).arg(cut), e, g.bytes.left(cut));
        for (int variant = 0; variant < 3; ++variant) {
            QByteArray b = g.bytes;
            const int span = qMin(n, 64);
            for (int k = 0; k < 4; ++k) {
                const int at = int(flips.bounded(span));
                b[at] = char(quint8(b.at(at)) ^ quint8(1u << flips.bounded(8)));
            }
            add(QStringLiteral("%1-flip%2").arg(l).arg(variant), e, b);
        }
        const QByteArray zero = g.zero(g.bytes);
        const QByteArray huge = g.huge(g.bytes);
        Q_ASSERT(!zero.isEmpty() && !huge.isEmpty());
        add(l + QStringLiteral("-zero"), e, zero);
        add(l + QStringLiteral("-huge"), e, huge, true);
    }
    // Good files in the pixel formats per-pixel code forgets: one bit,
    // 16 bits a channel, grey.
    add(QStringLiteral("bmp-1bit"), QStringLiteral("bmp"), encoded(photo.convertToFormat(QImage::Format_Mono), "bmp"));
    add(QStringLiteral("png-16bit"), QStringLiteral("png"), encoded(photo.convertToFormat(QImage::Format_RGBA64), "png"));
    add(QStringLiteral("jpeg-grey"), QStringLiteral("jpg"), encoded(photo.convertToFormat(QImage::Format_Grayscale8), "jpeg"));
    // Declares 20000 x 20000 (under the limit) but holds a few hundred bytes.
    add(QStringLiteral("png-big-empty"), QStringLiteral("png"), pngSized(encoded(small, "png"), 20000, 20000));
    // A PNG signature before noise.
    QByteArray noise("\x89PNG\r\n\x1a\n", 8);
    for (int i = 0; i < 4096; ++i)
        noise.append(char(flips.bounded(256)));
    add(QStringLiteral("png-noise"), QStringLiteral("png"), noise);
    // The bombs: a valid JPEG header declaring 23000 x 23000 over a few
    // hundred bytes, an 84-byte PNG with a text chunk of 2 GB, and an XPM of
    // 3 GB that holds 16 KB on disk.
    add(QStringLiteral("jpeg-bomb"), QStringLiteral("jpg"), jpegSized(encoded(small, "jpeg"), 23000, 23000), true);
    add(QStringLiteral("png-bomb"), QStringLiteral("png"), pngTextBomb(), true);
    add(QStringLiteral("xpm-bomb"), QStringLiteral("xpm"), kXpmHead, true);
    out.last().sparseSize = qint64(3) << 30;
    // Found by the fuzzer: the reader goes on pixel after pixel past the end
    // of the file, a system call each (one of 641 bytes took 25 s).
    add(QStringLiteral("tga-bomb"), QStringLiteral("tga"), tgaSized(4112, 4112), true);
    add(QStringLiteral("text"), QStringLiteral("jpg"), "These are words, not pixels.\n");
    add(QStringLiteral("empty"), QStringLiteral("jpg"), QByteArray());
    Hostile folder;
    folder.label = QStringLiteral("folder");
    folder.name = QStringLiteral("b-folder.jpg");
    folder.folder = true;
    out << folder;
    Hostile fifo;
    fifo.label = QStringLiteral("fifo");
    fifo.name = QStringLiteral("b-fifo.jpg");
    fifo.fifo = true;
    out << fifo;
    return out;
}

// The shape each way promises for a file it cannot read.
QString zeroInfo(const QString &path)
{
    return Picture::infoLine(path, QImage());
}

QListWidgetItem *entryNamed(QListWidget *list, const QString &name)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == name)
            return list->item(i);
    }
    return nullptr;
}

QtMessageHandler previousHandler = nullptr;

} // namespace

class TstHostile : public QObject
{
    Q_OBJECT

    QTemporaryDir mTmp;
    QList<Hostile> mFiles;
    QString mRoot;

    QString caseFolder(int i) const { return mRoot + QStringLiteral("/c%1").arg(i, 2, 10, QLatin1Char('0')); }
    QString hostilePath(int i) const { return caseFolder(i) + QLatin1Char('/') + mFiles.at(i).name; }
    QString goodPath(int i) const { return caseFolder(i) + QStringLiteral("/a.png"); }
    QString afterPath(int i) const { return caseFolder(i) + QStringLiteral("/c.png"); }

    static void closeAll(Framzo &main)
    {
        main.mpWorkspace->closeAllSubWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private slots:
    void initTestCase()
    {
        // Broken files make the image plugins talk; that is their business.
        previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &c, const QString &m) {
            if (type == QtDebugMsg || type == QtWarningMsg || qstrcmp(c.category, "default") != 0)
                return;
            previousHandler(type, c, m);
        });
#if !defined(__SANITIZE_ADDRESS__)
        // Should a reader build what a broken header declares, this test
        // fails instead of taking the machine's memory. (The sanitizer
        // reserves far more address space than this, so it goes without.)
        constexpr rlim_t cap = rlim_t(8) << 30;
        struct rlimit limit;
        if (getrlimit(RLIMIT_AS, &limit) == 0 && (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > cap)) {
            limit.rlim_cur = cap;
            setrlimit(RLIMIT_AS, &limit);
        }
#endif
        initImages();
        QVERIFY(mTmp.isValid());
        mRoot = mTmp.path();
        qputenv("HOME", QFile::encodeName(mRoot + QStringLiteral("/home")));
        QVERIFY(QDir().mkpath(mRoot + QStringLiteral("/home/Desktop")));
        mFiles = hostileFiles();
        // Each file in a folder of its own, between two good images.
        for (int i = 0; i < mFiles.size(); ++i) {
            QVERIFY(QDir().mkpath(caseFolder(i)));
            QVERIFY(testutil::writeImage(goodPath(i), 40, 30, "png"));
            QVERIFY(testutil::writeImage(afterPath(i), 40, 30, "png"));
            if (mFiles.at(i).folder)
                QVERIFY(QDir().mkpath(hostilePath(i)));
            else if (mFiles.at(i).fifo)
                QVERIFY(::mkfifo(QFile::encodeName(hostilePath(i)).constData(), 0644) == 0);
            else if (mFiles.at(i).sparseSize > 0)
                QVERIFY(writeSparse(hostilePath(i), mFiles.at(i).bytes, mFiles.at(i).sparseSize));
            else
                QVERIFY(testutil::writeBytes(hostilePath(i), mFiles.at(i).bytes));
        }
    }
    void cleanupTestCase()
    {
        cleanupImages();
        qInstallMessageHandler(previousHandler);
    }

    // Headers that declare more pixels than the program builds are turned
    // away at once, by every decoding helper, without building them.
    void hugeHeadersAreRefusedQuickly()
    {
        int huge = 0;
        for (int i = 0; i < mFiles.size(); ++i) {
            if (!mFiles.at(i).huge)
                continue;
            ++huge;
            const QString path = hostilePath(i);
            const CpuTimer t;
            QVERIFY2(imageio::decode(path).isNull(), qPrintable(mFiles.at(i).label));
            QSize full;
            imageio::decodeReduced(path, QSize(200, 150), &full);
            imageio::decodeReduced(path, QSize(64, 64));
            QVERIFY2(t.elapsed() < kRefuseLimitMs,
                     qPrintable(QStringLiteral("%1 took %2 ms of processor time").arg(mFiles.at(i).label).arg(t.elapsed())));
        }
        QCOMPARE(huge, 10);
    }

    // What the guard refuses from a file's first bytes, one row per rule,
    // with the files on either side of each limit.
    void guardRefusesFromTheHeader_data()
    {
        QTest::addColumn<QByteArray>("head"); // the file's bytes
        QTest::addColumn<qint64>("size");     // zeros after head up to this size; 0: head alone
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QString>("reason"); // part of the reason given; empty: allowed
        using imageio::guard::kMaxTextBytes;
        const QByteArray png = encoded(testutil::makeImage(24, 16), "png");
        const QByteArray jpg = encoded(testutil::makeImage(24, 16), "jpeg");
        QByteArray longSegment = jpg; // an EXIF segment claiming 65533 bytes
        longSegment.insert(2, QByteArray::fromHex("ffe1ffff") + "Exif");
        const QByteArray xpm = encoded(testutil::makeImage(8, 8).convertToFormat(QImage::Format_Indexed8), "xpm");
        QTest::newRow("png") << png << qint64(0) << QByteArray("png") << QString();
        QTest::newRow("png of 250 megapixels") << pngSized(png, 25000, 10000) << qint64(0) << QByteArray("png")
                                               << QString();
        QTest::newRow("png of one row more") << pngSized(png, 25000, 10001) << qint64(0) << QByteArray("png")
                                             << QStringLiteral("25000 x 10001");
        QTest::newRow("png of the largest sides") << pngSized(png, 0xFFFFFFFFu, 0xFFFFFFFFu) << qint64(0)
                                                  << QByteArray("png") << QStringLiteral("4294967295 x 4294967295");
        QTest::newRow("png text chunk of 2 GB") << pngTextBomb() << qint64(0) << QByteArray("png")
                                                << QStringLiteral("\"tEXt\" claims 2147483647 bytes");
        QTest::newRow("png cut short") << png.left(png.size() - 20) << qint64(0) << QByteArray("png")
                                       << QStringLiteral("\"IDAT\" claims");
        QTest::newRow("jpeg") << jpg << qint64(0) << QByteArray("jpeg") << QString();
        QTest::newRow("jpeg of 240 megapixels") << jpegSized(jpg, 16000, 15000) << qint64(0) << QByteArray("jpeg")
                                                << QString();
        QTest::newRow("jpeg of 529 megapixels") << jpegSized(jpg, 23000, 23000) << qint64(0) << QByteArray("jpeg")
                                                << QStringLiteral("23000 x 23000 pixels (529 million)");
        QTest::newRow("jpeg segment past the end") << longSegment << qint64(0) << QByteArray("jpeg")
                                                   << QStringLiteral("marker segment");
        QTest::newRow("progressive jpeg") << progressiveWithScans(0) << qint64(0) << QByteArray("jpeg")
                                          << QString();
        QTest::newRow("progressive jpeg of 600 scans")
            << progressiveWithScans(600) << qint64(0) << QByteArray("jpeg") << QStringLiteral("more than 500 scans");
        const QByteArray bigPng = pngSized(png, 20000, 15000);
        QTest::newRow("ico") << iconHolding(png, false) << qint64(0) << QByteArray("ico") << QString();
        QTest::newRow("ico holding a png of 300 megapixels")
            << iconHolding(bigPng, false) << qint64(0) << QByteArray("ico") << QStringLiteral("20000 x 15000");
        QTest::newRow("ico pointing past its end")
            << iconHolding(png, false, 4096) << qint64(0) << QByteArray("ico") << QStringLiteral("past the file");
        // The fuzzer's hang: a table of contents listing an icon of 0 bytes.
        QByteArray toc = QByteArray("TOC ") + QByteArray::fromHex("00000010") + "icp4" + QByteArray(4, '\0');
        QByteArray zeroToc = iconHolding(png, true);
        zeroToc.insert(8, toc);
        qToBigEndian(quint32(zeroToc.size()), zeroToc.data() + 4);
        QTest::newRow("icns listing an icon of 0 bytes")
            << zeroToc << qint64(0) << QByteArray("icns") << QStringLiteral("an icon of 0 bytes");
        QTest::newRow("icns holding a png of 300 megapixels")
            << iconHolding(bigPng, true) << qint64(0) << QByteArray("icns") << QStringLiteral("20000 x 15000");
        // 25 pixels of 3 bytes: rows of 75 bytes padded to 76.
        const QByteArray bmp = encoded(testutil::makeImage(25, 16), "bmp");
        QTest::newRow("bmp") << bmp << qint64(0) << QByteArray("bmp") << QString();
        QTest::newRow("bmp top-down") << bmpSized(bmp, 25, -16) << qint64(0) << QByteArray("bmp") << QString();
        QTest::newRow("bmp without its last row's padding")
            << bmp.left(bmp.size() - 1) << qint64(0) << QByteArray("bmp") << QString();
        QTest::newRow("bmp a row short") << bmp.left(bmp.size() - 76) << qint64(0) << QByteArray("bmp")
                                         << QStringLiteral("25 x 16 pixels, which take at least 1215 bytes");
        QTest::newRow("bmp declaring 167 million rows top-down")
            << bmpSized(bmp, 1, -167772128) << qint64(0) << QByteArray("bmp")
            << QStringLiteral("1 x 167772128 pixels");
        QTest::newRow("tga") << tgaSized(8, 4) << qint64(0) << QByteArray("tga") << QString();
        QTest::newRow("tga declaring more than it holds")
            << tgaSized(4112, 4112) << qint64(0) << QByteArray("tga")
            << QStringLiteral("4112 x 4112 pixels, which take at least");
        // Canvases built from the header: backed by the file beyond 16 MP.
        const auto gif = [](quint16 w, quint16 h) {
            QByteArray b("GIF89a");
            b += char(w & 0xff);
            b += char(w >> 8);
            b += char(h & 0xff);
            b += char(h >> 8);
            return b + QByteArray("\0\0\0;", 4);
        };
        const auto mng = [](quint32 w, quint32 h) {
            QByteArray b = QByteArray::fromHex("8a4d4e470d0a1a0a0000001c") + "MHDR";
            for (quint32 v : {w, h})
                b += QByteArray::fromHex(QByteArray::number(v, 16).rightJustified(8, '0'));
            return b + QByteArray(24, '\0') + QByteArray::fromHex("00000000") + "MEND" + QByteArray(4, '\0');
        };
        QTest::newRow("gif screen of 16 MP") << gif(4096, 4096) << qint64(0) << QByteArray("gif") << QString();
        QTest::newRow("gif screen of 225 MP in 14 bytes")
            << gif(15000, 15000) << qint64(0) << QByteArray("gif") << QStringLiteral("far more than a file of 14 bytes");
        QTest::newRow("gif screen of 225 MP in 64 KB") << gif(15000, 15000) << qint64(65536) << QByteArray("gif")
                                                       << QString();
        QTest::newRow("mng frame of 130 MP in 60 bytes")
            << mng(16187408, 8) << qint64(0) << QByteArray("mng") << QStringLiteral("its MNG frame declares");
        QTest::newRow("mng frame of 16 MP") << mng(4096, 4096) << qint64(0) << QByteArray("mng") << QString();
        QTest::newRow("xpm") << xpm << qint64(0) << QByteArray("xpm") << QString();
        QTest::newRow("xpm of 64 MB") << kXpmHead << kMaxTextBytes << QByteArray("xpm") << QString();
        QTest::newRow("xpm over 64 MB") << kXpmHead << kMaxTextBytes + 1 << QByteArray("xpm")
                                        << QStringLiteral("text image (XPM) of 64.0 MB");
        QTest::newRow("ppm as text over 64 MB") << QByteArray("P3\n1 1\n255\n") << kMaxTextBytes + 1
                                                << QByteArray("ppm") << QStringLiteral("text image (PPM)");
        QTest::newRow("ppm as bytes over 64 MB") << QByteArray("P6\n1 1\n255\n") << kMaxTextBytes + 1
                                                 << QByteArray("ppm") << QString();
    }

    void guardRefusesFromTheHeader()
    {
        QFETCH(QByteArray, head);
        QFETCH(qint64, size);
        QFETCH(QByteArray, format);
        QFETCH(QString, reason);
        const QString path = mRoot + QStringLiteral("/guard.") + QString::fromLatin1(format);
        QVERIFY(size > 0 ? writeSparse(path, head, size) : testutil::writeBytes(path, head));
        QCOMPARE(imageio::detect(path), format);
        const QString why = imageio::guard::check(path, format);
        if (reason.isEmpty())
            QVERIFY2(why.isEmpty(), qPrintable(why));
        else
            QVERIFY2(why.contains(reason), qPrintable(why));
        // What is refused never reaches a reader (what is allowed is not
        // decoded here: 250 megapixels take a gigabyte).
        if (!reason.isEmpty()) {
            QVERIFY(imageio::decode(path).isNull());
            QVERIFY(imageio::decodeReduced(path, QSize(64, 64)).isNull());
            QVERIFY(!imageio::probeSize(path).isValid());
        }
        QFile::remove(path);
    }

    // The bombs that froze the window for up to a minute (three of the kind
    // reported, one the fuzzer found): each is turned away at once, by the
    // decode helpers, the gallery and the image window.
    void bombsAreRefusedFast()
    {
        Framzo main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        int bombs = 0;
        for (int i = 0; i < mFiles.size(); ++i) {
            if (!mFiles.at(i).label.endsWith(QLatin1String("-bomb")))
                continue;
            ++bombs;
            const QString path = hostilePath(i);
            if (mFiles.at(i).sparseSize > 0)
                QVERIFY2(bytesOnDisk(path) <= (64 << 10), "the sparse file is on disk whole");
            const QString out = caseFolder(i) + QStringLiteral("/bomb-out");
            QVERIFY(QDir().mkpath(out));
            const CpuTimer t;
            const QString why = imageio::guard::check(path, imageio::detect(path));
            const qint64 guardMs = t.elapsed();
            QVERIFY2(!why.isEmpty(), qPrintable(mFiles.at(i).label));
            QVERIFY(imageio::decode(path).isNull());
            QVERIFY(imageio::decodeReduced(path, QSize(200, 150)).isNull());
            const qint64 decodeMs = t.elapsed() - guardMs;
            const GalleryRunner::Result result =
                GalleryRunner(GallerySettings(out, QStringLiteral("g"), QStringLiteral("200"), QStringLiteral("150"),
                                              QStringLiteral("1"), true, true),
                              {{mFiles.at(i).name, path}})
                    .run();
            QCOMPARE(result.unreadableSources, QStringList{path});
            const qint64 galleryMs = t.elapsed() - guardMs - decodeMs;
            main.newChildWin(path);
            QVERIFY(main.activePicture() && main.activePicture()->image().isNull());
            closeAll(main);
            const qint64 totalMs = t.elapsed();
            qInfo().noquote() << QStringLiteral("%1: refused in %2 ms of processor time (guard %3 ms, decode and "
                                                "reduced decode %4 ms, gallery %5 ms, window %6 ms): %7")
                                     .arg(mFiles.at(i).label)
                                     .arg(totalMs)
                                     .arg(guardMs)
                                     .arg(decodeMs)
                                     .arg(galleryMs)
                                     .arg(totalMs - guardMs - decodeMs - galleryMs)
                                     .arg(why);
            QVERIFY2(totalMs < kRefuseLimitMs, qPrintable(QStringLiteral("%1 ms of processor time").arg(totalMs)));
        }
        QCOMPARE(bombs, 4);
    }

    // A reader that runs out of memory (the XPM reader holding a line of
    // 48 MB under a tight memory limit) gives "not an image", not the end of
    // the program.
    void outOfMemoryIsNotAnImage()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("The sanitizer's own reservations do not work under an address-space limit");
#else
        const QString path = mRoot + QStringLiteral("/oom.xpm");
        QVERIFY(writeSparse(path, kXpmHead, qint64(48) << 20));
        struct rlimit before;
        QVERIFY(getrlimit(RLIMIT_AS, &before) == 0);
        // Room for what the process has, and 16 MB more: not for the line.
        QFile status(QStringLiteral("/proc/self/status"));
        QVERIFY(status.open(QIODevice::ReadOnly));
        qint64 vmKb = 0;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmSize:"))
                vmKb = line.mid(7).trimmed().split(' ').first().toLongLong();
        }
        QVERIFY(vmKb > 0);
        struct rlimit tight = before;
        tight.rlim_cur = rlim_t(vmKb * 1024 + (qint64(16) << 20));
        QImage image;
        QByteArray format = "unset";
        bool readerThrows = false;
        bool escaped = false;
        QVERIFY(setrlimit(RLIMIT_AS, &tight) == 0);
        try {
            QImageReader(path, "xpm").read();
        } catch (const std::bad_alloc &) {
            readerThrows = true;
        }
        try {
            image = imageio::decode(path, &format);
        } catch (const std::bad_alloc &) {
            escaped = true;
        }
        setrlimit(RLIMIT_AS, &before);
        QVERIFY2(readerThrows, "the toolkit's reader no more runs out of memory here: this tests nothing");
        QVERIFY(!escaped);
        QVERIFY(image.isNull());
        QVERIFY(format.isEmpty());
        QFile::remove(path);
#endif
    }

    // Names that would read as a scheme before their first '/'
    // ("javascript:", "img:", a drive letter) stay relative links in every
    // page, the index's too (--name): each href and src leads to a file of
    // the gallery. Names of letters, digits, spaces and . - _ ( ) keep their
    // bytes.
    void galleryLinksStayInside_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::newRow("classic") << "classic";
        QTest::newRow("modern") << "modern";
    }
    void galleryLinksStayInside()
    {
        QFETCH(QString, theme);
        const QString src = mRoot + QStringLiteral("/scheme-src");
        const QString out = mRoot + QStringLiteral("/scheme-out-") + theme;
        QVERIFY(QDir().mkpath(src) && QDir().mkpath(out));
        const QStringList names = {QStringLiteral("javascript:alert(4).png"), QStringLiteral("img:2024.jpg"),
                                   QStringLiteral("C:x.png"), QStringLiteral("a+b-c.d:e.png"),
                                   QStringLiteral("Plain name_2 (1).png"), QStringLiteral("mailto:me@x.png")};
        QStringList args = {QStringLiteral("--gallery"), out, QStringLiteral("--name"), QStringLiteral("javascript:x"),
                            QStringLiteral("--columns"), QStringLiteral("2"), QStringLiteral("--theme"), theme};
        if (theme == QLatin1String("modern"))
            args << QStringLiteral("--originals");
        args << QStringLiteral("--");
        for (const QString &n : names) {
            QVERIFY(testutil::writeImage(src + QLatin1Char('/') + n, 30, 20,
                                         n.endsWith(QLatin1String(".jpg")) ? "jpeg" : "png"));
            args << src + QLatin1Char('/') + n;
        }
        QCOMPARE(testutil::galleryCli(args), 0);
        QCOMPARE(testutil::linksLeavingFolder(out), QStringList());
        const QByteArray index = readAll(out + QStringLiteral("/javascript:x.html"));
        const QByteArray page = readAll(out + QStringLiteral("/javascript:x/img:2024.jpg.html"));
        if (theme == QLatin1String("modern")) {
            QVERIFY(index.contains("<a class=\"thumb\" href=\"javascript%3Ax/Plain%20name_2%20(1).png.html\">"));
            QVERIFY(index.contains("<img src=\"javascript%3Ax/thumbs/img%3A2024.jpg\""));
            QVERIFY(index.contains("<link rel=\"stylesheet\" href=\"javascript%3Ax/style.css\">"));
            QVERIFY(page.contains("<a rel=\"prev\" href=\"javascript%3Aalert(4).png.html\">"));
            QVERIFY(page.contains("<a href=\"../javascript%3Ax.html\">Index</a>"));
            QVERIFY(page.contains("<img src=\"2048/img%3A2024.jpg\""));
            QVERIFY(page.contains("<a href=\"originals/img%3A2024.jpg\">Original</a>"));
            return;
        }
        QVERIFY(index.contains("<a href=\"javascript%3Ax/Plain name_2 (1).png.html\">"));
        QVERIFY(index.contains("<img src=\"javascript%3Ax/preview_img%3A2024.jpg\""));
        QVERIFY(page.contains("<a href=\"javascript%3Aalert(4).png.html\">last</a>"));
        QVERIFY(page.contains("<a href=\"../javascript%3Ax.html\">gallery</a>"));
        QVERIFY(page.contains("<img src=\"img%3A2024.jpg\""));
    }

    // A picture far longer than wide (or the other way round) still gets a
    // thumbnail of at least one pixel across, written and linked.
    void thinImagesGetAThumbnail_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("thumbnail");
        QTest::newRow("1000 x 2") << QSize(1000, 2) << QSize(200, 1);
        QTest::newRow("2 x 1000") << QSize(2, 1000) << QSize(1, 150);
        QTest::newRow("60000 x 1") << QSize(60000, 1) << QSize(200, 1);
        QTest::newRow("1 x 1") << QSize(1, 1) << QSize(150, 150);
    }

    void thinImagesGetAThumbnail()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, thumbnail);
        const QString folder = mRoot + QStringLiteral("/thin");
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/out")));
        const QString name = QStringLiteral("t.png");
        QVERIFY(testutil::writeImage(folder + QLatin1Char('/') + name, size.width(), size.height(), "png"));
        const GalleryRunner::Result result =
            GalleryRunner(GallerySettings(folder + QStringLiteral("/out"), QStringLiteral("g"), QStringLiteral("200"),
                                          QStringLiteral("150"), QStringLiteral("1"), true, true),
                          {{name, folder + QLatin1Char('/') + name}})
                .run();
        QVERIFY2(result.problem().isEmpty(), qPrintable(result.problem()));
        QCOMPARE(QImage(folder + QStringLiteral("/out/g/preview_t.png")).size(), thumbnail);
        QCOMPARE(testutil::linksLeavingFolder(folder + QStringLiteral("/out")), QStringList());
    }

    // Where a stored geometry puts the window, for two screens side by side
    // (the primary first).
    void placement_data()
    {
        QTest::addColumn<qint64>("x");
        QTest::addColumn<qint64>("y");
        QTest::addColumn<qint64>("w");
        QTest::addColumn<qint64>("h");
        QTest::addColumn<QRect>("placed");
        const qint64 big = INT_MAX;
        QTest::newRow("fits") << qint64(100) << qint64(100) << qint64(800) << qint64(600) << QRect(100, 100, 800, 600);
        QTest::newRow("on the second screen")
            << qint64(3000) << qint64(100) << qint64(800) << qint64(600) << QRect(3000, 100, 800, 600);
        QTest::newRow("larger than its screen")
            << qint64(2000) << qint64(0) << qint64(5000) << qint64(4000) << QRect(2000, 0, 1280, 1024);
        QTest::newRow("a corner on the screen")
            << qint64(-700) << qint64(100) << qint64(800) << qint64(600) << QRect(-700, 100, 800, 600);
        QTest::newRow("less than a corner")
            << qint64(-750) << qint64(100) << qint64(800) << qint64(600) << QRect(-700, 100, 800, 600);
        QTest::newRow("above the top") << qint64(100) << qint64(-50) << qint64(800) << qint64(600)
                                       << QRect(100, 0, 800, 600);
        QTest::newRow("beyond every screen")
            << qint64(100000) << qint64(100) << qint64(800) << qint64(600) << QRect(1120, 100, 800, 600);
        QTest::newRow("off the top left")
            << qint64(-100000) << qint64(-100000) << qint64(640) << qint64(480) << QRect(0, 0, 640, 480);
        QTest::newRow("largest int everywhere") << big << big << big << big << QRect(0, 0, 1920, 1050);
        QTest::newRow("beyond int") << qint64(99999999999) << qint64(5) << qint64(99999999999) << qint64(-99999999999)
                                    << QRect(0, 5, 1920, 600);
        QTest::newRow("no size") << qint64(10) << qint64(10) << qint64(0) << qint64(-3) << QRect(10, 10, 800, 600);
    }

    void placement()
    {
        QFETCH(qint64, x);
        QFETCH(qint64, y);
        QFETCH(qint64, w);
        QFETCH(qint64, h);
        QFETCH(QRect, placed);
        const QList<QRect> screens = {QRect(0, 0, 1920, 1050), QRect(1920, 0, 1280, 1024)};
        QCOMPARE(windowplacement::placed(x, y, w, h, screens, QSize(800, 600)), placed);
    }

    // Whatever the store holds, the window comes up on the screen, no
    // larger than it, and what goes back into the store is sane too (also
    // when the window ends maximised, which writes no geometry of its own).
    void storedGeometryIsPutOnScreen_data()
    {
        QTest::addColumn<QStringList>("stored"); // PosX, PosY, SizeX, SizeY as the store holds them
        QTest::addColumn<bool>("maximised");
        const QString big = QString::number(INT_MAX);
        QTest::newRow("largest x") << QStringList{big, "0", "640", "480"} << false;
        QTest::newRow("largest size") << QStringList{"10", "10", big, big} << false;
        QTest::newRow("far off the top left") << QStringList{"-100000", "-100000", "640", "480"} << false;
        QTest::newRow("beyond int") << QStringList{"99999999999", "-99999999999", "99999999999", "5"} << false;
        QTest::newRow("not numbers") << QStringList{"abc", "", "x", "-"} << false;
        QTest::newRow("largest, maximised") << QStringList{big, big, big, big} << true;
    }

    void storedGeometryIsPutOnScreen()
    {
        QFETCH(QStringList, stored);
        QFETCH(bool, maximised);
        const QStringList keys = {"/PosX", "/PosY", "/SizeX", "/SizeY"};
        testutil::clearSettings();
        {
            QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Ketra", "Framzo");
            s.beginGroup("/AppSettings");
            for (int k = 0; k < keys.size(); ++k)
                s.setValue(keys.at(k), stored.at(k));
            s.setValue("/Maximized", maximised);
            s.endGroup();
        }
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        // On the screen: never larger, and a corner of it at least inside.
        auto onScreen = [&](const QRect &g) {
            const QRect seen = g.intersected(screen);
            return g.width() <= screen.width() && g.height() <= screen.height()
                && seen.width() >= qMin(100, g.width()) && seen.height() >= qMin(100, g.height());
        };
        {
            Framzo main;
            const QRect g = main.geometry();
            if (!maximised) {
                QVERIFY2(onScreen(g),
                         qPrintable(QStringLiteral("%1,%2 %3x%4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())));
            }
            main.show();
            QVERIFY(QTest::qWaitForWindowExposed(&main));
        }
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Ketra", "Framzo");
        s.beginGroup("/AppSettings");
        QList<qint64> back;
        for (const QString &k : keys) {
            bool ok = false;
            back << s.value(k).toString().toLongLong(&ok);
            QVERIFY2(ok && qAbs(back.last()) < (1 << 24), qPrintable(k + "=" + s.value(k).toString()));
        }
        QVERIFY(onScreen(QRect(int(back[0]), int(back[1]), int(back[2]), int(back[3]))));
        testutil::clearSettings();
    }

    // Every file through every way that decodes.
    void everyFileEveryWay()
    {
        // Windows closed after their edits let the edits go.
        ScriptedDialogs dialogs;
        dialogs.unsavedAnswer = Dialogs::Unsaved::Discard;
        Framzo main;
        main.capturePath = mRoot + QStringLiteral("/cuts");
        QVERIFY(QDir().mkpath(main.capturePath));
        main.mpShowCut->setChecked(true);
        main.mpFree->setChecked(true);
        main.mpFit->setChecked(false);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));

        UiFramzo form;
        BrowseBar bar(&form);
        QSignalSpy opened(&bar, &BrowseBar::OpenImg);

        QStringList faults;
        int runs = 0;
        int hangs = 0;
        auto fault = [&](int i, const char *way, const QString &what) {
            faults << QStringLiteral("%1 (%2): %3").arg(mFiles.at(i).label, QLatin1String(way), what);
        };

        using Way = std::function<void(int)>;
        const QList<QPair<const char *, Way>> ways = {
            {"open", [&](int i) {
                 // The command line opens what is recognised as an image; a
                 // file whose pixels cannot be read shows zeros.
                 const QString path = hostilePath(i);
                 main.openArguments({QStringLiteral("framzo"), path});
                 const bool recognised = QFileInfo(path).isFile() && !imageio::detect(path).isEmpty();
                 const int windows = main.mpWorkspace->subWindowList().size();
                 if (windows != (recognised ? 1 : 0))
                     return fault(i, "open", QStringLiteral("%1 windows").arg(windows));
                 Picture *pic = main.activePicture();
                 if (!pic)
                     return;
                 if (pic->path() != path)
                     return fault(i, "open", QStringLiteral("shows %1").arg(pic->path()));
                 if (pic->image().isNull() && pic->information() != zeroInfo(path))
                     fault(i, "open", QStringLiteral("caption %1").arg(pic->information()));
                 if (!pic->image().isNull() && pic->information() != Picture::infoLine(path, pic->image()))
                     fault(i, "open", QStringLiteral("caption %1").arg(pic->information()));
             }},
            {"page up/down", [&](int i) {
                 // Page Up from the good image before it, Page Down from the
                 // good image after it: what cannot be read leaves the old
                 // image under the new path, and the next step goes on.
                 const QString path = hostilePath(i);
                 for (const bool fromBefore : {true, false}) {
                     const QString start = fromBefore ? goodPath(i) : afterPath(i);
                     const int step = fromBefore ? +1 : -1;
                     main.newChildWin(start);
                     Picture *pic = main.activePicture();
                     if (!pic)
                         return fault(i, "page up/down", QStringLiteral("no window"));
                     const QImage before = pic->image().copy();
                     // Let the neighbours be decoded ahead, as they would be
                     // while the user looks at the good image.
                     pic->prefetcher()->waitForFinished();
                     const bool listed = pic->folderList().contains(mFiles.at(i).name);
                     pic->stepInFolder(step);
                     if (listed != (pic->path() == path))
                         return fault(i, "page up/down", QStringLiteral("at %1").arg(pic->path()));
                     if (listed) {
                         const QImage shown = pic->image();
                         const QImage decoded = imageio::decode(path);
                         if (decoded.isNull() ? shown != before : shown.size() != decoded.size())
                             fault(i, "page up/down",
                                   QStringLiteral("image %1x%2").arg(shown.width()).arg(shown.height()));
                         if (pic->information() != Picture::infoLine(path, shown))
                             fault(i, "page up/down", QStringLiteral("caption %1").arg(pic->information()));
                         pic->prefetcher()->waitForFinished();
                         pic->stepInFolder(step); // on to the other good image
                     }
                     // Past it (an entry not listed is stepped over).
                     const QString other = fromBefore ? afterPath(i) : goodPath(i);
                     if (pic->path() != other || pic->image().size() != QSize(40, 30))
                         fault(i, "page up/down", QStringLiteral("then at %1").arg(pic->path()));
                     closeAll(main);
                 }
             }},
            {"folder tree", [&](int i) {
                 // Listed by name and content; selecting an unreadable one shows
                 // "Size: 0x0" and no preview; a double-click asks to open.
                 const QString path = hostilePath(i);
                 bar.openPath(caseFolder(i));
                 QTreeWidgetItem *folder = bar.computerItem()->child(0);
                 for (const QString &part : caseFolder(i).split(QLatin1Char('/'), Qt::SkipEmptyParts))
                     folder = childNamed(folder, part);
                 if (!folder || !childNamed(folder, QStringLiteral("a.png")))
                     return fault(i, "folder tree", QStringLiteral("folder not revealed"));
                 QTreeWidgetItem *item = childNamed(folder, mFiles.at(i).name);
                 const bool isImage = !mFiles.at(i).folder && !mFiles.at(i).fifo && !mFiles.at(i).bytes.isEmpty()
                     && formats::isImageName(mFiles.at(i).name) && !imageio::detect(path).isEmpty();
                 if (!mFiles.at(i).folder && bool(item) != isImage)
                     return fault(i, "folder tree", item ? QStringLiteral("listed") : QStringLiteral("not listed"));
                 if (!item)
                     return;
                 form.mpTree->setCurrentItem(item);
                 if (!QTest::qWaitFor([&] { return !bar.isPreviewing(); }))
                     return fault(i, "folder tree", QStringLiteral("no preview in time"));
                 if (mFiles.at(i).folder) {
                     if (!form.mpLabelSize->isHidden())
                         fault(i, "folder tree", QStringLiteral("details shown for a folder"));
                     return;
                 }
                 const QString size = form.mpLabelSize->text();
                 const bool zero = size == QStringLiteral("Size: 0x0");
                 if (zero != form.mpPreview->pixmap().isNull())
                     fault(i, "folder tree", QStringLiteral("%1 with preview %2").arg(size).arg(!form.mpPreview->pixmap().isNull()));
                 opened.clear();
                 emit form.mpTree->itemDoubleClicked(item, 0);
                 if (opened.size() != 1 || opened.at(0).at(0).toString() != path)
                     fault(i, "folder tree", QStringLiteral("double-click did not ask for the file"));
             }},
            {"gallery listing", [&](int i) {
                 Html html(caseFolder(i) + QLatin1Char('/'));
                 QListWidgetItem *good = entryNamed(html.mpDir, QStringLiteral("a.png"));
                 if (!good || good->data(Html::KindRole).toInt() != Html::Image)
                     return fault(i, "gallery listing", QStringLiteral("good image not listed"));
                 QListWidgetItem *item = entryNamed(html.mpDir, mFiles.at(i).name);
                 if (!item)
                     return; // not a listed ending (.xpm)
                 const int kind = item->data(Html::KindRole).toInt();
                 if (mFiles.at(i).fifo)
                     return fault(i, "gallery listing", QStringLiteral("a pipe listed"));
                 if (mFiles.at(i).folder ? kind != Html::Folder : kind == Html::Folder)
                     fault(i, "gallery listing", QStringLiteral("kind %1").arg(kind));
                 if (kind == Html::Unreadable) {
                     // Never becomes an entry.
                     item->setSelected(true);
                     html.addItem();
                     if (html.mpPreview->count() != 0)
                         fault(i, "gallery listing", QStringLiteral("unreadable file added"));
                 }
             }},
            {"gallery", [&](int i) {
                 // No copy and no thumbnail for what cannot be read; its
                 // page and cell are written all the same.
                 const QString out = caseFolder(i) + QStringLiteral("/out");
                 QDir().mkpath(out);
                 const QString name = mFiles.at(i).name;
                 const GalleryRunner runner(GallerySettings(out, QStringLiteral("g"), QStringLiteral("200"),
                                                            QStringLiteral("150"), QStringLiteral("3"), true, true),
                                            {{QStringLiteral("a.png"), goodPath(i)}, {name, hostilePath(i)}});
                 QByteArray format;
                 const bool decodable = !imageio::decode(hostilePath(i), &format).isNull();
                 // Copies and thumbnails keep the source's format where the
                 // program writes it, and are JPEGs where not (GIF).
                 const bool writable = decodable;
                 const QString g = out + QStringLiteral("/g/");
                 const QStringList expectFailed;
                 const GalleryRunner::Result result = runner.run();
                 if (result.refused() || result.failedFiles != expectFailed)
                     return fault(i, "gallery", QStringLiteral("failed: %1").arg(result.failedFiles.join(' ')));
                 const bool unreadable = result.unreadableSources.contains(hostilePath(i));
                 if (unreadable == decodable)
                     fault(i, "gallery", QStringLiteral("unreadable %1, decodable %2").arg(unreadable).arg(decodable));
                 if (QFileInfo::exists(g + name) != writable || QFileInfo::exists(g + "preview_" + name) != writable)
                     fault(i, "gallery", QStringLiteral("copy or thumbnail of an unreadable file"));
                 if (!QFileInfo(g + name + ".html").isFile() || !QFileInfo(g + "a.png").isFile())
                     fault(i, "gallery", QStringLiteral("page missing"));
                 if (!readAll(out + "/g.html").contains(gallerypages::htmlUrl(name).toUtf8()))
                     fault(i, "gallery", QStringLiteral("no cell"));
                 QDir(out).removeRecursively();
             }},
            {"modern gallery", [&](int i) {
                 // The modern pictures of what can be read (decoded at the
                 // scale they need, made opaque and sRGB, with the metadata
                 // read, thinned and written), none of what cannot; the
                 // original copied without its private metadata, or not at
                 // all when that cannot be taken out. Every link leads to a
                 // file of the gallery.
                 const QString out = caseFolder(i) + QStringLiteral("/out");
                 QDir().mkpath(out);
                 const QString name = mFiles.at(i).name;
                 GallerySettings settings(out, QStringLiteral("g"), QStringLiteral("200"), QStringLiteral("150"),
                                          QStringLiteral("3"), true, true);
                 settings.setTheme(GallerySettings::Theme::Modern);
                 settings.setOriginals(true);
                 const GalleryRunner runner(settings, {{QStringLiteral("a.png"), goodPath(i)}, {name, hostilePath(i)}});
                 const bool decodable = !imageio::decode(hostilePath(i)).isNull();
                 const QString g = out + QStringLiteral("/g/");
                 const GalleryRunner::Result result = runner.run();
                 if (result.refused()
                     || (!result.failedFiles.isEmpty() && result.failedFiles != QStringList{g + "originals/" + name}))
                     return fault(i, "modern gallery", QStringLiteral("failed: %1").arg(result.failedFiles.join(' ')));
                 if (result.unreadableSources.contains(hostilePath(i)) == decodable)
                     fault(i, "modern gallery", QStringLiteral("decodable %1, unreadable %2").arg(decodable).arg(!decodable));
                 const QImage copy(g + modernpages::copyFile(name));
                 if (copy.isNull() == decodable || copy.width() > 2048 || copy.height() > 2048)
                     fault(i, "modern gallery", QStringLiteral("copy %1x%2").arg(copy.width()).arg(copy.height()));
                 if (!QFileInfo(g + name + ".html").isFile() || !QFileInfo(g + "2048/a.png.jpg").isFile())
                     fault(i, "modern gallery", QStringLiteral("page or good copy missing"));
                 if (const QStringList leaving = testutil::linksLeavingFolder(out); !leaving.isEmpty())
                     fault(i, "modern gallery", QStringLiteral("links to nothing: %1").arg(leaving.join(' ')));
                 QDir(out).removeRecursively();
             }},
            {"capture", [&](int i) {
                 // A window showing the file cuts what it shows; one that
                 // shows nothing writes nothing.
                 const QString path = hostilePath(i);
                 main.newChildWin(path);
                 Picture *pic = main.activePicture();
                 if (!pic)
                     return fault(i, "capture", QStringLiteral("no window"));
                 testutil::dragOnCanvas(pic, QPoint(4, 4), QPoint(8, 8));
                 // A cut keeps the source's format where the program writes
                 // it, and is a JPEG of the name ending .jpg where not (GIF).
                 // The drag spans canvas units 4 to 8: a picture smaller than
                 // that (the 2 x 1 GIF) gets no frame, and nothing is cut.
                 const QImage &shown = pic->image();
                 const bool shows = !shown.isNull() && shown.width() > 8 && shown.height() > 8;
                 pic->captureTo(main.capturePath);
                 QVERIFY(testutil::waitLoaded(pic));
                 const QString cut = main.capturePath + QLatin1Char('/')
                     + formats::writtenName(mFiles.at(i).name, imageio::detect(path));
                 if (QFileInfo::exists(cut) != shows)
                     fault(i, "capture", QStringLiteral("cut written: %1").arg(QFileInfo::exists(cut)));
                 if (shows && imageio::decode(cut).isNull())
                     fault(i, "capture", QStringLiteral("cut unreadable"));
                 QDir cuts(main.capturePath);
                 cuts.removeRecursively();
                 QDir().mkpath(main.capturePath);
             }},
            {"edits", [&](int i) {
                 // Turning, inverting and adjusting a window that shows
                 // nothing leaves it showing nothing; the colour adjustment
                 // reads the file again.
                 main.newChildWin(hostilePath(i));
                 Picture *pic = main.activePicture();
                 if (!pic)
                     return fault(i, "edits", QStringLiteral("no window"));
                 const QSize size = pic->image().size();
                 pic->rotateBy(90.0);
                 pic->invertColors();
                 pic->rotateBy(270.0);
                 pic->adjustColors(10, -10, 5, 3);
                 if (pic->image().size() != size)
                     fault(i, "edits", QStringLiteral("size %1x%2").arg(pic->image().width()).arg(pic->image().height()));
             }},
        };

        QElapsedTimer total;
        total.start();
        for (int i = 0; i < mFiles.size(); ++i) {
            for (const auto &way : ways) {
                const CpuTimer t;
                way.second(i);
                closeAll(main);
                ++runs;
                if (t.elapsed() > kRunLimitMs) {
                    ++hangs;
                    fault(i, way.first, QStringLiteral("took %1 ms of processor time").arg(t.elapsed()));
                }
            }
        }

        // Nothing that was read is changed or gone.
        int lost = 0;
        for (int i = 0; i < mFiles.size(); ++i) {
            const Hostile &h = mFiles.at(i);
            const QFileInfo info(hostilePath(i));
            bool intact = false;
            if (h.folder)
                intact = info.isDir();
            else if (h.fifo)
                intact = info.exists() && !info.isFile() && !info.isDir();
            else if (h.sparseSize > 0)
                intact = info.isFile() && info.size() == h.sparseSize && bytesOnDisk(hostilePath(i)) < (1 << 20);
            else
                intact = info.isFile() && readAll(hostilePath(i)) == h.bytes;
            if (!intact || imageio::decode(goodPath(i)).size() != QSize(40, 30)
                || imageio::decode(afterPath(i)).size() != QSize(40, 30))
                ++lost;
        }
        qInfo().noquote() << QStringLiteral("hostile: %1 files x %2 paths = %3 runs, 0 crashes, %4 hangs, %5 files lost (%6 s)")
                                 .arg(mFiles.size())
                                 .arg(ways.size())
                                 .arg(runs)
                                 .arg(hangs)
                                 .arg(lost)
                                 .arg(total.elapsed() / 1000);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        QCOMPARE(hangs, 0);
        QCOMPARE(lost, 0);
    }
};

QTEST_MAIN(TstHostile)
#include "tst_hostile.moc"
