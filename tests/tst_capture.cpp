// Capture as the user does it: a real main window and image window, the
// frame dragged on the view, the Cut action, and the file that comes out.
#include "app/framzo.h"
#include "imageio/imageio.h"
#include "images/mimesourcefactory.h"
#include "picture/capture.h"
#include "picture/picture.h"
#include "scripteddialogs.h"
#include "testutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsRectItem>
#include <QGraphicsView>
#include <QImageWriter>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QtTest>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An uncompressed 24-bit TGA (with the footer that marks it as such, and an
// image id so that its header does not look like an icon's): a format Qt
// reads but cannot write.
QByteArray tgaBytes(int w, int h)
{
    QByteArray b(18, '\0');
    b[0] = 1; // id length
    b[2] = 2;
    b[12] = char(w & 0xff);
    b[13] = char(w >> 8);
    b[14] = char(h & 0xff);
    b[15] = char(h >> 8);
    b[16] = 24;
    b[17] = 0x20; // top-left origin
    b.append('F');
    for (int i = 0; i < w * h; ++i)
        b.append("\x40\x80\xc0", 3);
    b.append(QByteArray(8, '\0'));
    b.append("TRUEVISION-XFILE.");
    b.append('\0');
    return b;
}

QtMessageHandler previousHandler = nullptr;

} // namespace

class TstCapture : public QObject
{
    Q_OBJECT

    ScriptedDialogs mDialogs;
    std::unique_ptr<QTemporaryDir> mDir;
    QString mSrcDir;
    QString mCutDir;

    // A main window with one image window on path, shown and active.
    std::unique_ptr<Framzo> openOn(const QString &path)
    {
        auto main = std::make_unique<Framzo>();
        main->capturePath = mCutDir;
        main->mpFrameColor->setCurrentIndex(0);
        main->mpFit->setChecked(false);
        main->mpFree->setChecked(true);
        main->mpWidth->setText("13");
        main->mpHeight->setText("9");
        main->mpShowCut->setChecked(true);
        main->show();
        if (!QTest::qWaitForWindowExposed(main.get()))
            return {};
        main->newChildWin(path);
        if (!QTest::qWaitFor([&] { return main->activePicture() != nullptr; }))
            return {};
        return main;
    }

    static QWidget *viewport(Picture *pic) { return pic->view()->viewport(); }

    static void drag(Picture *pic, QPoint from, QPoint to)
    {
        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport(pic), to);
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, to);
    }

    static QSize canvasSize(Picture *pic)
    {
        const QRectF r = pic->canvas()->sceneRect();
        return {int(r.width()), int(r.height())};
    }

    static QRect expectedRect(Picture *pic)
    {
        const CutFrame &f = pic->frameState();
        return capture::imageRect(pic->image().size(), canvasSize(pic), f.frameX, f.frameY, f.frameWidth,
                                  f.frameHeight);
    }

    int windowCount(Framzo &main) const { return main.mpWorkspace->subWindowList().size(); }

private slots:
    void initTestCase()
    {
        // The offscreen platform cannot grab the pointer at the window
        // system; the widget grab the frame relies on works all the same.
        previousHandler = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
                if (message == QLatin1String("This plugin does not support grabbing the mouse"))
                    return;
                previousHandler(type, context, message);
            });
        initImages();
    }
    void cleanupTestCase()
    {
        cleanupImages();
    }
    void init()
    {
        mDir = std::make_unique<QTemporaryDir>();
        QVERIFY(mDir->isValid());
        mSrcDir = mDir->filePath("photos");
        mCutDir = mDir->filePath("cuts");
        QVERIFY(QDir().mkpath(mSrcDir));
        QVERIFY(QDir().mkpath(mCutDir));
        mDialogs.reset();
    }

    void dragsMoveAndResizeTheFrame()
    {
        const QString src = mSrcDir + "/a.png";
        QVERIFY(testutil::writeImage(src, 400, 300, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        Picture *pic = main->activePicture();
        main->mpFrameColor->setCurrentIndex(2); // red

        // The handle of the default frame sits at (24, 24); a press there
        // says where, grabs the mouse and shows the diagonal cursor.
        QTest::ignoreMessage(QtDebugMsg, "28 29");
        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, QPoint(28, 29));
        QCOMPARE(QWidget::mouseGrabber(), viewport(pic));
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::SizeFDiagCursor);
        QTest::mouseMove(viewport(pic), QPoint(150, 100));
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, QPoint(150, 100));
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QVERIFY(!QGuiApplication::overrideCursor());

        QCOMPARE(pic->frameState().frameWidth, 150);
        QCOMPARE(pic->frameState().frameHeight, 100);
        QCOMPARE(pic->frameItem()->pos(), QPointF(0, 0));
        QCOMPARE(pic->frameItem()->rect(), QRectF(0, 0, 150, 100));
        QCOMPARE(pic->handleItem()->pos(), QPointF(142, 92));
        QCOMPARE(pic->frameItem()->pen().color(), QColor(255, 0, 0));
        QCOMPARE(pic->frameItem()->pen().widthF(), 0.0);
        QCOMPARE(pic->handleItem()->pen().color(), QColor(255, 0, 0));

        // Moving: the frame follows the pointer exactly, under the cross cursor.
        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
        QTest::mouseMove(viewport(pic), QPoint(47, 33));
        QCOMPARE(pic->frameItem()->pos(), QPointF(37, 23));
        QTest::mouseMove(viewport(pic), QPoint(1000, 33)); // kept on the canvas
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, QPoint(1000, 33));
        QCOMPARE(pic->frameItem()->pos(), QPointF(canvasSize(pic).width() - 150, 23));

        // A press outside frame and handle starts nothing.
        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, QPoint(2, 200));
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QTest::mouseMove(viewport(pic), QPoint(60, 220));
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, QPoint(60, 220));
        QCOMPARE(pic->frameItem()->pos(), QPointF(canvasSize(pic).width() - 150, 23));
    }

    void hiddenFrameIgnoresPressesButReleasesTheGrab()
    {
        const QString src = mSrcDir + "/a.png";
        QVERIFY(testutil::writeImage(src, 400, 300, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        Picture *pic = main->activePicture();

        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(QWidget::mouseGrabber(), viewport(pic));
        main->mpShowCut->setChecked(false); // the Cut bar goes, and the frame with it
        QVERIFY(!pic->frameItem()->isVisible());
        QVERIFY(!pic->handleItem()->isVisible());
        QTest::mouseMove(viewport(pic), QPoint(80, 80));
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, QPoint(80, 80));
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(!pic->frameState().moving);
        QCOMPARE(pic->frameItem()->pos(), QPointF(0, 0));

        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, QPoint(10, 10));
    }

    void captureCutsTheFramedPixels_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("alpha");
        QTest::newRow("png") << "a.png" << QByteArray("png") << false;
        QTest::newRow("png with alpha") << "b.png" << QByteArray("png") << true;
        QTest::newRow("bmp") << "c.bmp" << QByteArray("bmp") << false;
    }
    void captureCutsTheFramedPixels()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QFETCH(bool, alpha);
        const QString src = mSrcDir + "/" + name;
        const QImage source = testutil::makeImage(2400, 1500, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        QVERIFY(QImageWriter(src, format).write(source));
        auto main = openOn(src);
        QVERIFY(main);
        Picture *pic = main->activePicture();

        drag(pic, QPoint(28, 28), QPoint(161, 97));
        drag(pic, QPoint(60, 40), QPoint(97, 71));
        const QRect rect = expectedRect(pic);
        QVERIFY(rect.width() > 100);
        QVERIFY(QRect(QPoint(0, 0), source.size()).contains(rect));

        main->mpGenerate->trigger();
        const QString out = mCutDir + "/" + name;
        QVERIFY(QFileInfo::exists(out));
        QCOMPARE(imageio::detect(out), format);
        const QImage written(out);
        QCOMPARE(written.convertToFormat(source.format()), source.copy(rect));

        // The cut opened in a window of its own, which is now the active one.
        QCOMPARE(windowCount(*main), 2);
        QVERIFY(main->activePicture());
        QCOMPARE(main->activePicture()->path(), out);
        QCOMPARE(main->mLastPath, mCutDir);
        QCOMPARE(mDialogs.foldersAsked, 0);
    }

    void pixelsPastTheEdgeAreZero_data()
    {
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<QRgb>("past");
        QTest::newRow("opaque: black") << false << qRgb(0, 0, 0);
        QTest::newRow("alpha: transparent black") << true << qRgba(0, 0, 0, 0);
    }
    void pixelsPastTheEdgeAreZero()
    {
        QFETCH(bool, alpha);
        QFETCH(QRgb, past);
        // 100 x 80 pixels at 2540 dots per metre (1 dot per 0.01 inch): a
        // 13 x 9 cm frame is 330 x 228 canvas units, far larger than the
        // canvas, so it sits at 0 and sticks out.
        const QString src = mSrcDir + "/small.png";
        QImage source = testutil::makeImage(100, 80, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        source.setDotsPerMeterX(2540);
        source.setDotsPerMeterY(2540);
        QVERIFY(source.save(src, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        Picture *pic = main->activePicture();
        main->mpFit->setChecked(true);
        drag(pic, QPoint(10, 10), QPoint(30, 30));
        QCOMPARE(pic->frameState().frameWidth, 330);
        QCOMPARE(pic->frameState().frameHeight, 228);
        QCOMPARE(pic->frameState().frameX, 0.0);

        main->mpGenerate->trigger();
        const QImage written(mCutDir + "/small.png");
        const QRect rect = expectedRect(pic);
        QCOMPARE(written.size(), rect.size());
        QCOMPARE(written.convertToFormat(QImage::Format_ARGB32).pixel(0, 0),
                 source.convertToFormat(QImage::Format_ARGB32).pixel(0, 0));
        QCOMPARE(written.convertToFormat(QImage::Format_ARGB32).pixel(written.width() - 1, written.height() - 1),
                 past);
        QCOMPARE(written.convertToFormat(QImage::Format_ARGB32).pixel(source.width(), 0), past);
    }

    void outputPath_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder") << "C:/cuts" << "C:/photos/a.jpg" << "C:/cuts/a.jpg";
        QTest::newRow("drive root") << "C:/" << "C:/photos/a.jpg" << "C:/a.jpg";
        QTest::newRow("trailing slash") << "/home/u/cuts/" << "/p/x.y.png" << "/home/u/cuts/x.y.png";
        QTest::newRow("root") << "/" << "/p/a.jpg" << "/a.jpg";
        QTest::newRow("doubled inside") << "/home//u///cuts" << "/p/a.jpg" << "/home/u/cuts/a.jpg";
        QTest::newRow("relative source") << "/cuts" << "a.jpg" << "/cuts/a.jpg";
    }
    void outputPath()
    {
        QFETCH(QString, dir);
        QFETCH(QString, source);
        QFETCH(QString, expected);
        QCOMPARE(capture::outputPath(dir, source), expected);
    }

    void formatFollowsContent()
    {
        // PNG content under a .jpg name: the cut is PNG, under the same name.
        const QString src = mSrcDir + "/photo.jpg";
        QVERIFY(testutil::writeImage(src, 300, 200, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        drag(main->activePicture(), QPoint(28, 28), QPoint(80, 60));
        main->mpGenerate->trigger();
        QCOMPARE(imageio::detect(mCutDir + "/photo.jpg"), QByteArray("png"));
    }

    void hiddenFrameWritesNothingButAsksForTheFolder()
    {
        const QString src = mSrcDir + "/a.png";
        QVERIFY(testutil::writeImage(src, 300, 200, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        drag(main->activePicture(), QPoint(28, 28), QPoint(80, 60));
        main->mpShowCut->setChecked(false);
        main->capturePath.clear();
        mDialogs.folders = {QString(), QString(), mCutDir}; // cancelled twice
        main->mpGenerate->trigger();
        QCOMPARE(mDialogs.foldersAsked, 3);
        QCOMPARE(mDialogs.folderCaption, QStringLiteral("Choose a directory where Framzo should save the captured images."));
        QCOMPARE(main->capturePath, mCutDir);
        QVERIFY(QDir(mCutDir).isEmpty());
        QCOMPARE(windowCount(*main), 1);
    }

    void captureWithoutImageWindowStillAsks()
    {
        Framzo main;
        main.capturePath.clear();
        mDialogs.folders = {QString(), mCutDir};
        main.mpGenerate->trigger();
        QCOMPARE(mDialogs.foldersAsked, 2);
        QCOMPARE(main.capturePath, mCutDir);

        // Choose Target keeps the folder when cancelled.
        main.mpChooseTarget->trigger();
        QCOMPARE(mDialogs.foldersAsked, 3);
        QCOMPARE(main.capturePath, mCutDir);
    }

    void sourceInCaptureFolderSurvives()
    {
        const QString src = mCutDir + "/a.png";
        QVERIFY(testutil::writeImage(src, 300, 200, "png"));
        const QByteArray before = fileBytes(src);
        QVERIFY(testutil::writeBytes(mCutDir + "/a_1.png", "taken"));
        auto main = openOn(src);
        QVERIFY(main);
        Picture *pic = main->activePicture();
        drag(pic, QPoint(28, 28), QPoint(80, 60));
        main->mpGenerate->trigger();
        QCOMPARE(fileBytes(src), before);
        QCOMPARE(fileBytes(mCutDir + "/a_1.png"), QByteArray("taken"));
        const QString out = mCutDir + "/a_2.png";
        QCOMPARE(QImage(out).size(), expectedRect(pic).size());
        QCOMPARE(main->activePicture()->path(), out);
    }

    void secondCaptureReplacesTheFirst()
    {
        const QString src = mSrcDir + "/a.png";
        QVERIFY(testutil::writeImage(src, 300, 200, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        Picture *pic = main->activePicture();
        drag(pic, QPoint(28, 28), QPoint(80, 60));
        pic->captureTo(mCutDir);
        drag(pic, QPoint(76, 56), QPoint(40, 30));
        pic->captureTo(mCutDir);
        QCOMPARE(QDir(mCutDir).entryList(QDir::Files), QStringList{"a.png"});
        QCOMPARE(QImage(mCutDir + "/a.png").size(), expectedRect(pic).size());
    }

    void failedWriteKeepsTheOldFileAndOpensNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("how");
        QTest::newRow("format Qt cannot write") << "scan.tga" << "format";
        QTest::newRow("folder gone") << "a.png" << "gone";
        QTest::newRow("read-only folder") << "a.png" << "read-only";
    }
    void failedWriteKeepsTheOldFileAndOpensNothing()
    {
        QFETCH(QString, name);
        QFETCH(QString, how);
        const QString src = mSrcDir + "/" + name;
        if (name.endsWith(".tga"))
            QVERIFY(testutil::writeBytes(src, tgaBytes(300, 200)));
        else
            QVERIFY(testutil::writeImage(src, 300, 200, "png"));
        QVERIFY(testutil::writeBytes(mCutDir + "/" + name, "earlier capture"));
        auto main = openOn(src);
        QVERIFY(main);
        QCOMPARE(main->activePicture()->image().size(), QSize(300, 200));
        drag(main->activePicture(), QPoint(28, 28), QPoint(80, 60));
        if (how == "gone")
            main->capturePath = mDir->filePath("no/such/folder");
        QFile cutDir(mCutDir);
        const QFileDevice::Permissions permissions = cutDir.permissions();
        if (how == "read-only") {
            QVERIFY(cutDir.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            if (QFileInfo(mCutDir).isWritable()) {
                cutDir.setPermissions(permissions);
                QSKIP("permissions do not stop this user (root) from writing");
            }
        }
        main->mpGenerate->trigger();
        cutDir.setPermissions(permissions);
        QCOMPARE(fileBytes(mCutDir + "/" + name), QByteArray("earlier capture"));
        QCOMPARE(QDir(mCutDir).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QCOMPARE(windowCount(*main), 1);
        QVERIFY(!main->statusBar()->currentMessage().isEmpty());
    }

    void undraggedFrameWritesNothing()
    {
        const QString src = mSrcDir + "/a.png";
        QVERIFY(testutil::writeImage(src, 300, 200, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        main->mpGenerate->trigger();
        QVERIFY(QDir(mCutDir).isEmpty());
        QCOMPARE(windowCount(*main), 1);
        QVERIFY(!main->statusBar()->currentMessage().isEmpty());
    }
};

QTEST_MAIN(TstCapture)
#include "tst_capture.moc"
