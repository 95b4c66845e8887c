// Save and Save As: the naming and format rules, what lands on disk, what the
// window shows afterwards, and failed writes that must not lose anything.

#include "ui/app/framzo.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "ui/images/mimesourcefactory.h"
#include "ui/picture/picture.h"
#include "core/photo/saveformats.h"
#include "scripteddialogs.h"
#include "testutil.h"
#include "testwindow.h"

#include <QAction>
#include <QFile>
#include <QMdiArea>
#include <QStatusBar>
#include <QtTest>

using testutil::readAll;

namespace {

// A 2 by 1 GIF: Qt reads GIF but cannot write it.
QByteArray tinyGif()
{
    return QByteArray::fromHex("47494638396102000100f00000ff000000000021f90400000000002c0000000002000100000202"
                               "040a003b");
}

const QString kJpeg = QStringLiteral("Jpeg (*.jpg *jpeg)");
const QString kBitmaps = QStringLiteral("Bitmaps (*.bmp)");
const QString kPng = QStringLiteral("PNG (*.png)");
const QString kTiff = QStringLiteral("TIFF (*.tif *.tiff)");
const QString kXpm = QStringLiteral("XPM (*.xpm)");

} // namespace

class TstSave : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initImages(); }
    void cleanupTestCase() { cleanupImages(); }
    void init()
    {
        answers.reset();
    }
    void cleanup()
    {
        main.reset();
    }

    void filterString();
    void proposedName_data();
    void proposedName();
    void target_data();
    void target();

    void saveAsWritesAndFollows_data();
    void saveAsWritesAndFollows();
    void saveAsCancelled();
    void saveFollowsTheContent();
    void saveAfterAdjustment();
    void failedSaveKeepsEverything_data();
    void failedSaveKeepsEverything();
    void nothingWithoutImageWindow();
    void noSaveOverAnUnreadableFile();

private:
    ScriptedDialogs answers;
    std::unique_ptr<Framzo> main;
    Picture *open(const QString &path);
    QString status() const { return main->statusBar()->currentMessage(); }
};

Picture *TstSave::open(const QString &path)
{
    return testutil::openInNewWindow(main, path);
}

// ---- naming rules -------------------------------------------------------------------

void TstSave::filterString()
{
    QCOMPARE(saveformats::filterString(),
             QStringLiteral("Jpeg (*.jpg *jpeg);;Bitmaps (*.bmp);;PNG (*.png);;TIFF (*.tif *.tiff);;XPM (*.xpm);;"
                            "WebP (*.webp)"));
}

void TstSave::proposedName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("upper-case JPG") << "C:/p/a.JPG" << "C:/p/a";
    QTest::newRow("tiff") << "/p/x.TiFf" << "/p/x";
    QTest::newRow("only the last ending") << "/p/a.png.bmp" << "/p/a.png";
    // Formats only read lose their ending too: the dialog's JPEG adds its own.
    QTest::newRow("read-only format") << "/p/IMG_1.HEIC" << "/p/IMG_1";
    QTest::newRow("camera raw") << "/p/DSC_0001.nef" << "/p/DSC_0001";
    QTest::newRow("other ending kept") << "/p/scan.2024" << "/p/scan.2024";
    QTest::newRow("no ending") << "/p.d/a" << "/p.d/a";
}

void TstSave::proposedName()
{
    QFETCH(QString, path);
    QFETCH(QString, proposed);
    QCOMPARE(saveformats::proposedName(path), proposed);
}

void TstSave::target_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("format");
    QTest::newRow("bitmap added") << "/p/b" << kBitmaps << "/p/b.bmp" << "BMP";
    QTest::newRow("JPEG kept, any case") << "/p/b.JPEG" << kJpeg << "/p/b.JPEG" << "JPEG";
    QTest::newRow("other ending gets one") << "/p/b.png" << kJpeg << "/p/b.png.jpg" << "JPEG";
    QTest::newRow("tif added") << "/p/b" << kTiff << "/p/b.tif" << "TIF";
    QTest::newRow("tiff kept") << "/p/b.Tiff" << kTiff << "/p/b.Tiff" << "TIF";
    QTest::newRow("png") << "/p/b" << kPng << "/p/b.png" << "PNG";
    QTest::newRow("xpm kept") << "/p/b.XPM" << kXpm << "/p/b.XPM" << "XPM";
    QTest::newRow("no filter: the first") << "/p/b" << QString() << "/p/b.jpg" << "JPEG";
    QTest::newRow("unknown filter") << "/p/b" << "GIF (*.gif)" << "/p/b" << "GIF (*.gif)";
}

void TstSave::target()
{
    QFETCH(QString, name);
    QFETCH(QString, filter);
    QFETCH(QString, path);
    QFETCH(QString, format);
    const saveformats::Target t = saveformats::target(name, filter);
    QCOMPARE(t.path, path);
    QCOMPARE(t.format, format);
}

// ---- through an image window ----------------------------------------------------------

void TstSave::saveAsWritesAndFollows_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("bitmap") << "b" << kBitmaps << "b.bmp" << QByteArray("bmp");
    QTest::newRow("JPEG ending kept") << "b.JPEG" << kJpeg << "b.JPEG" << QByteArray("jpeg");
    QTest::newRow("png under Jpeg") << "b.png" << kJpeg << "b.png.jpg" << QByteArray("jpeg");
    QTest::newRow("tiff") << "b" << kTiff << "b.tif" << QByteArray("tiff");
    QTest::newRow("xpm") << "b" << kXpm << "b.xpm" << QByteArray("xpm");
}

void TstSave::saveAsWritesAndFollows()
{
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(QString, written);
    QFETCH(QByteArray, content);

    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("other"));
    const QString a = dir.filePath(QStringLiteral("a.JPG"));
    QVERIFY(testutil::writeImage(a, 30, 20, "jpeg"));
    const QByteArray before = readAll(a);
    Picture *pic = open(a);
    QVERIFY(pic);
    pic->rotateBy(90.0);

    answers.saveName = dir.filePath(QStringLiteral("other/") + typed);
    answers.saveFilter = filter;
    main->mpSaveAs->trigger();
    QVERIFY(testutil::settle(*main));

    QCOMPARE(answers.savesAsked, 1);
    QCOMPARE(answers.saveStart, dir.filePath(QStringLiteral("a")));
    QCOMPARE(answers.saveFilters, saveformats::filterString());
    QCOMPARE(answers.saveSelected, QString()); // none preselected
    QCOMPARE(answers.saveCaption, QStringLiteral("Choose a filename"));

    const QString target = dir.filePath(QStringLiteral("other/") + written);
    QCOMPARE(imageio::detect(target), content);
    QCOMPARE(QImage(target).size(), QSize(20, 30)); // the rotation went with it
    QCOMPARE(QDir(dir.filePath(QStringLiteral("other"))).entryList(QDir::Files), QStringList{written});
    QCOMPARE(readAll(a), before);

    // The window now stands for the new file and its folder.
    QCOMPARE(pic->path(), target);
    QVERIFY(testutil::waitLoaded(pic));
    QVERIFY(pic->information().startsWith(QStringLiteral("Path: ") + target + QLatin1Char(' ')));
    QCOMPARE(pic->folderList(), QStringList{written});
    QCOMPARE(pic->image().size(), QSize(20, 30));
}

void TstSave::saveAsCancelled()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.png"));
    QVERIFY(testutil::writeImage(a, 30, 20, "png"));
    Picture *pic = open(a);
    QVERIFY(pic);
    pic->rotateBy(90.0);
    answers.saveName.clear();
    answers.saveFilter = kPng;
    main->mpSaveAs->trigger();
    QVERIFY(testutil::settle(*main));
    QCOMPARE(answers.savesAsked, 1);
    QCOMPARE(pic->path(), a);
    QCOMPARE(pic->image().size(), QSize(20, 30));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.png")});
}

void TstSave::saveFollowsTheContent()
{
    QTemporaryDir dir;
    const QString x = dir.filePath(QStringLiteral("x.jpg"));
    QVERIFY(testutil::writeImage(x, 30, 20, "png")); // PNG under a JPEG name
    Picture *pic = open(x);
    QVERIFY(pic);
    pic->rotateBy(270.0);
    main->mpSave->trigger();
    QVERIFY(testutil::settle(*main));
    QCOMPARE(imageio::detect(x), QByteArray("png"));
    const QImage onDisk(x);
    QCOMPARE(onDisk.size(), QSize(20, 30));
    QCOMPARE(onDisk.pixel(0, 29), testutil::makeImage(30, 20).pixel(0, 0));
    // Reloaded: the window shows the file as written.
    QCOMPARE(pic->image().size(), QSize(20, 30));
    QVERIFY(pic->information().contains(QStringLiteral("Size: 20x30 pixel")));
    QCOMPARE(answers.savesAsked, 0);
}

void TstSave::saveAfterAdjustment()
{
    QTemporaryDir dir;
    const QString p = dir.filePath(QStringLiteral("p.png"));
    QImage img(2, 1, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(250, 10, 128));
    img.setPixel(1, 0, qRgb(5, 5, 5));
    QVERIFY(img.save(p, "PNG"));
    Picture *pic = open(p);
    QVERIFY(pic);
    pic->adjustColors(-10, 0, 0, -10);
    main->mpSave->trigger();
    QVERIFY(testutil::settle(*main));
    QCOMPARE(QImage(p).pixel(0, 0), qRgb(255, 20, 138));
    QCOMPARE(pic->image().pixel(0, 0), qRgb(255, 20, 138));
    int r = 1, g = 1, b = 1, a = 1;
    pic->colorSettings(r, g, b, a);
    QCOMPARE(QList<int>({r, g, b, a}), QList<int>({0, 0, 0, 0}));
}

void TstSave::failedSaveKeepsEverything_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("format without a writer") << "gif";
    QTest::newRow("save as into a vanished folder") << "vanished";
    QTest::newRow("read-only folder") << "readonly";
}

void TstSave::failedSaveKeepsEverything()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("f"));
    QVERIFY(QDir().mkpath(folder));
    QString file = folder + QStringLiteral("/a.png");
    if (how == QLatin1String("gif")) {
        file = folder + QStringLiteral("/a.gif");
        QVERIFY(testutil::writeBytes(file, tinyGif()));
        QVERIFY(!QImage(file).isNull());
    } else {
        QVERIFY(testutil::writeImage(file, 30, 20, "png"));
    }
    const QByteArray before = readAll(file);

    Picture *pic = open(file);
    QVERIFY(pic);
    pic->invertColors();
    pic->rotateBy(90.0);
    const QImage edited = pic->image().copy();
    const QString caption = pic->information();

    if (how == QLatin1String("readonly")) {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QFile probe(folder + QStringLiteral("/probe"));
        const bool stillWritable = probe.open(QIODevice::WriteOnly);
        if (stillWritable) {
            probe.remove();
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QSKIP("permissions do not stop writes for this user (root): covered by the other rows");
        }
    }

    if (how == QLatin1String("vanished")) {
        answers.saveName = dir.filePath(QStringLiteral("gone/b"));
        answers.saveFilter = kPng;
        main->mpSaveAs->trigger();
        QVERIFY(testutil::settle(*main));
        QCOMPARE(answers.savesAsked, 1);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("gone"))));
    } else {
        main->mpSave->trigger();
        QVERIFY(testutil::settle(*main));
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // A format without a writer is never saved over: Save asks for a Save
    // As instead, and cancelled, that writes nothing.
    if (how == QLatin1String("gif"))
        QCOMPARE(answers.savesAsked, 1);
    else
        QVERIFY2(status().contains(QStringLiteral("could not be saved")), qPrintable(status()));
    QCOMPARE(readAll(file), before);
    QCOMPARE(main->activePicture(), pic);
    QCOMPARE(pic->path(), file);
    QCOMPARE(pic->information(), caption);
    QCOMPARE(pic->image(), edited);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
}

void TstSave::nothingWithoutImageWindow()
{
    main = std::make_unique<Framzo>();
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    answers.saveName = QStringLiteral("/nonexistent/b");
    main->mpSaveAs->trigger();
    QVERIFY(testutil::settle(*main));
    main->mpSave->trigger();
    QVERIFY(testutil::settle(*main));
    QCOMPARE(answers.savesAsked, 0);
    QVERIFY(status().isEmpty());
}

QTEST_MAIN(TstSave)
#include "tst_save.moc"

void TstSave::noSaveOverAnUnreadableFile()
{
    // Stepping onto a broken file keeps the previous photo on screen under
    // the broken file's name; Save must not write that photo over it.
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("a.png"));
    const QString broken = dir.filePath(QStringLiteral("b.png"));
    QVERIFY(testutil::writeImage(good, 40, 30, "png"));
    const QByteArray brokenBytes = readAll(good).left(60);
    QVERIFY(testutil::writeBytes(broken, brokenBytes));
    Picture *pic = open(good);
    QVERIFY(pic);
    QVERIFY(pic->stepInFolder(+1));
    QCOMPARE(pic->path(), broken);
    QCOMPARE(pic->image().size(), QSize(40, 30));
    main->mpSave->trigger();
    QVERIFY(testutil::settle(*main));
    QCOMPARE(readAll(broken), brokenBytes);
    QVERIFY(status().contains(broken));
}
