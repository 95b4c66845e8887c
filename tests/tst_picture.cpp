// The image window: display arithmetic, the information line, the folder
// list and the icon, with real files.
#include "ui/app/framzo.h"
#include "core/imageio/imageio.h"
#include "ui/images/mimesourcefactory.h"
#include "ui/picture/picture.h"
#include "testutil.h"
#include "testwindow.h"

#include <QBuffer>
#include <QCheckBox>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImageReader>
#include <QImageWriter>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QtTest>

#include <cmath>

class TstPicture : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initImages(); }
    void cleanupTestCase() { cleanupImages(); }

    void displaySize_data()
    {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QSize>("workspace");
        QTest::addColumn<QSize>("expected");
        // Fits: h = H and w follows in doubles, which can lose one pixel.
        QTest::newRow("fits, 110x600 loses a pixel") << QSize(110, 600) << QSize(2000, 2000) << QSize(109, 600);
        QTest::newRow("fits exactly") << QSize(300, 200) << QSize(2000, 2000) << QSize(300, 200);
        // Tall: limited by WH - 120.
        QTest::newRow("tall") << QSize(1000, 2000) << QSize(1000, 800) << QSize(340, 680);
        // Wide: limited by WW - 40, height follows truncated.
        QTest::newRow("wide") << QSize(4000, 1000) << QSize(1000, 800) << QSize(960, 240);
        QTest::newRow("wide 3") << QSize(3000, 1000) << QSize(1000, 800) << QSize(960, 320);
        QTest::newRow("empty image") << QSize(0, 0) << QSize(1000, 800) << QSize(0, 0);
    }
    void displaySize()
    {
        QFETCH(QSize, image);
        QFETCH(QSize, workspace);
        QFETCH(QSize, expected);
        QCOMPARE(Picture::displaySize(image.width(), image.height(), workspace.width(), workspace.height()),
                 expected);
    }

    void informationLine_data()
    {
        QTest::addColumn<int>("dpm");
        QTest::addColumn<QString>("dpi");
        // Dots per metre / 39.37, rounded.
        QTest::newRow("72") << 2834 << "72x72";
        QTest::newRow("96") << 3780 << "96x96";
        QTest::newRow("350") << 13780 << "350x350";
    }
    void informationLine()
    {
        QFETCH(int, dpm);
        QFETCH(QString, dpi);
        QTemporaryDir dir;
        QImage img = testutil::makeImage(40, 30);
        img.setDotsPerMeterX(dpm);
        img.setDotsPerMeterY(dpm);
        const QString path = dir.filePath("r.png");
        QVERIFY(img.save(path, "PNG"));
        Framzo main;
        main.show();
        main.newChildWin(path);
        Picture *pic = main.activePicture();
        QVERIFY(testutil::waitLoaded(pic));
        QCOMPARE(pic->information(),
                 QStringLiteral("Path: %1 Size: 40x30 pixel    Colordepth: 32bit    Resolution: %2 dpi").arg(path, dpi));
    }

    void folderListIgnoresCaseAndOtherNames()
    {
        QTemporaryDir dir;
        for (const char *name : {"c.Png", "b.jpg", "a.JPG"})
            QVERIFY(testutil::writeImage(dir.filePath(name), 8, 8, "png"));
        QVERIFY(testutil::writeBytes(dir.filePath("d.txt"), "text"));
        QVERIFY(testutil::writeImage(dir.filePath("e.gif.bak"), 8, 8, "png"));
        QVERIFY(QDir(dir.path()).mkdir("f.jpg")); // a folder named like an image
        QCOMPARE(Picture::listFolder(dir.path()), QStringList({"a.JPG", "b.jpg", "c.Png"}));
    }

    void iconFollowsContent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QString>("icon");
        QTest::newRow("png named jpg") << "x.jpg" << QByteArray("png") << "iconPNG.bmp";
        QTest::newRow("jpeg") << "x.jpeg" << QByteArray("jpeg") << "iconJPG.bmp";
        QTest::newRow("bmp named png") << "x.png" << QByteArray("bmp") << "iconBMP.bmp";
        QTest::newRow("tiff") << "x.tif" << QByteArray("tiff") << "iconTIF.bmp";
        QTest::newRow("xpm") << "x.xpm" << QByteArray("xpm") << "iconXPM.bmp";
    }
    void iconFollowsContent()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QFETCH(QString, icon);
        if (!QImageWriter::supportedImageFormats().contains(format))
            QSKIP("format plugin not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(testutil::writeImage(path, 16, 12, format));
        Framzo main;
        main.newChildWin(path);
        Picture *pic = main.findChild<Picture *>();
        QVERIFY(pic);
        QCOMPARE(pic->windowIconName(), icon);
    }

    void detectionAgreesWithTheReaders_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray jpeg, png, bmp;
        {
            QBuffer b(&jpeg);
            b.open(QIODevice::WriteOnly);
            testutil::makeImage(9, 7).save(&b, "JPEG");
        }
        {
            QBuffer b(&png);
            b.open(QIODevice::WriteOnly);
            testutil::makeImage(9, 7).save(&b, "PNG");
        }
        {
            QBuffer b(&bmp);
            b.open(QIODevice::WriteOnly);
            testutil::makeImage(9, 7).save(&b, "BMP");
        }
        QTest::newRow("jpeg") << jpeg;
        QTest::newRow("jpeg, two bytes") << jpeg.left(2);
        QTest::newRow("jpeg, one byte") << jpeg.left(1);
        QTest::newRow("png") << png;
        QTest::newRow("png, signature only") << png.left(8);
        QTest::newRow("png, seven bytes") << png.left(7);
        QTest::newRow("bmp") << bmp;
        QTest::newRow("text") << QByteArray("hello, world");
    }
    void detectionAgreesWithTheReaders()
    {
        // The quick look at the first bytes must name what Qt's readers name.
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString p = dir.filePath("x.img");
        QVERIFY(testutil::writeBytes(p, bytes));
        QImageReader reader(p);
        reader.setDecideFormatFromContent(true);
        const QByteArray expected = reader.canRead() ? reader.format().toLower() : QByteArray();
        QCOMPARE(imageio::detect(p), expected);
    }

    void undecodableFiles()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath("good.png");
        const QString bad = dir.filePath("bad.jpg");
        QVERIFY(testutil::writeImage(good, 50, 40, "png"));
        QVERIFY(testutil::writeBytes(bad, QByteArray("\xff\xd8\xff\xe0 truncated", 14)));
        Framzo main;
        main.show();
        auto pic = std::make_unique<Picture>(main.mpWorkspace);
        // A new window on a broken file: zeros, no resize, no crash.
        pic->loadImage(bad);
        QVERIFY(pic->image().isNull());
        QVERIFY(pic->windowTitle().startsWith("Path: " + bad + " Size: 0x0 pixel"));
        QCOMPARE(pic->canvas()->sceneRect(), QRectF(0, 0, 124, 124));
        // A window that showed an image keeps it under the new path.
        pic->loadImage(good);
        QVERIFY(testutil::waitLoaded(pic.get()));
        pic->loadImage(bad);
        QCOMPARE(pic->image().size(), QSize(50, 40));
        QVERIFY(pic->windowTitle().startsWith("Path: " + bad + " Size: 50x40 pixel"));
        // A missing file changes nothing at all.
        const QString before = pic->windowTitle();
        pic->loadImage(dir.filePath("missing.png"));
        pic->loadImage(QString());
        QCOMPARE(pic->windowTitle(), before);
    }

    void backslashPathsAreStoredWithSlashes()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QVERIFY(testutil::writeImage(dir.filePath("sub/a.png"), 10, 10, "png"));
        Framzo main;
        auto pic = std::make_unique<Picture>(main.mpWorkspace);
        QString windowsStyle = dir.path() + "\\sub\\a.png";
        pic->loadImage(windowsStyle);
        QCOMPARE(pic->path(), dir.filePath("sub/a.png"));
        QCOMPARE(pic->image().size(), QSize(10, 10));
    }

    void canvasAndWindowFollowTheDisplaySize()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath("a.png");
        const QString b = dir.filePath("b.png");
        QVERIFY(testutil::writeImage(a, 300, 200, "png"));
        QVERIFY(testutil::writeImage(b, 200, 100, "png"));
        Framzo main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.newChildWin(a);
        main.newChildWin(b); // second: shown at its base size
        const QList<QMdiSubWindow *> subs = main.mpWorkspace->subWindowList();
        QCOMPARE(subs.size(), 2);
        auto *pic = qobject_cast<Picture *>(subs.at(1)->widget());
        QVERIFY(pic);
        QCOMPARE(pic->canvas()->sceneRect(), QRectF(0, 0, 196, 96));
        QCOMPARE(pic->baseSize(), QSize(202, 104));
        QTRY_COMPARE(pic->size(), QSize(202, 104));
        // The window made around its canvas draws it one to one.
        QCOMPARE(pic->view()->viewport()->size(), QSize(200, 102));
        QVERIFY(pic->view()->transform().isIdentity());
    }

    void tinyDisplayKeepsACanvas()
    {
        QTemporaryDir dir;
        const QString p = dir.filePath("line.png");
        QVERIFY(testutil::writeImage(p, 3000, 2, "png"));
        Framzo main;
        main.show();
        main.newChildWin(p);
        Picture *pic = main.findChild<Picture *>();
        QVERIFY(pic);
        const QRectF r = pic->canvas()->sceneRect();
        QVERIFY(r.width() >= 1);
        QVERIFY(r.height() >= 1);
    }

    void exifOrientationIsApplied()
    {
        // A 40x20 JPEG whose EXIF says "rotate 90 clockwise" shows 20x40.
        QTemporaryDir dir;
        QByteArray jpeg;
        {
            QBuffer buf(&jpeg);
            buf.open(QIODevice::WriteOnly);
            QVERIFY(testutil::makeImage(40, 20).save(&buf, "JPEG"));
        }
        // APP1 Exif segment: big-endian TIFF with one IFD entry, Orientation = 6.
        QByteArray tiff = QByteArray::fromHex("4d4d002a00000008"
                                              "0001" "0112" "0003" "00000001" "00060000"
                                              "00000000");
        QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
        QByteArray seg = QByteArray::fromHex("ffe1");
        const int len = app1.size() + 2;
        seg.append(char(len >> 8)).append(char(len & 0xff)).append(app1);
        jpeg.insert(2, seg);
        const QString p = dir.filePath("phone.jpg");
        QVERIFY(testutil::writeBytes(p, jpeg));
        QCOMPARE(imageio::decode(p).size(), QSize(20, 40));
        QCOMPARE(imageio::probeSize(p), QSize(20, 40));
        QSize full;
        const QImage small = imageio::decodeReduced(p, QSize(10, 10), &full);
        QCOMPARE(full, QSize(20, 40));
        QVERIFY(small.height() > small.width());
    }

    void largePhotoOpens()
    {
        // 36 megapixels: beyond Qt's default 128 MB allocation limit.
        QTemporaryDir dir;
        const QString p = dir.filePath("big.jpg");
        QImage big(7360, 4912, QImage::Format_RGB32);
        big.fill(qRgb(30, 90, 150));
        QVERIFY(big.save(p, "JPEG", 50));
        big = QImage();
        const QImage img = imageio::decode(p);
        QCOMPARE(img.size(), QSize(7360, 4912));
    }
    // Zooming and panning change what is drawn, never what is cut: the
    // frame keeps its image pixels, a cut is exactly the photo's pixels
    // under it, and zoomed in the view shows the photo's own pixels.
    void zoomKeepsTheCutAndShowsThePixels_data()
    {
        QTest::addColumn<double>("scale"); // 0: fitted
        QTest::newRow("fit") << 0.0;
        QTest::newRow("100 %") << 1.0;
        QTest::newRow("400 %") << 4.0;
    }
    void zoomKeepsTheCutAndShowsThePixels()
    {
        QFETCH(double, scale);
        QTemporaryDir dir;
        const QString src = dir.filePath("noise.png");
        // Every pixel differs from its neighbours: a view or a cut one pixel
        // off shows.
        QImage noise(2400, 1600, QImage::Format_RGB32);
        quint32 seed = 12345;
        for (int y = 0; y < noise.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(noise.scanLine(y));
            for (int x = 0; x < noise.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                line[x] = 0xff000000u | (seed >> 8);
            }
        }
        QVERIFY(noise.save(src));
        std::unique_ptr<Framzo> main;
        Picture *pic = testutil::openInNewWindow(main, src);
        QVERIFY(pic);
        main->mpFree->setChecked(true);
        testutil::dragOnCanvas(pic, QPoint(28, 28), QPoint(301, 207));
        const QRect before = pic->frameState().imageRect(pic->surface());
        QVERIFY(before.width() > 400);

        PictureView *view = pic->view();
        if (scale > 0) {
            pic->actualPixels();
            while (view->zoom().scale() < scale)
                pic->zoomIn();
            QCOMPARE(view->zoom().scale(), scale);
            QVERIFY(view->horizontalScrollBar()->maximum() > 0);
            view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum() / 3);
            view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 5);
        }
        QVERIFY(testutil::eventsHandled());
        QCOMPARE(pic->frameState().imageRect(pic->surface()), before);

        if (scale > 0) {
            // Sampled in the middle of image pixels across the viewport.
            const QImage shown = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const double toCanvas = pic->canvas()->sceneRect().width() / noise.width();
            int sampled = 0;
            for (int fy = 1; fy < 4; ++fy) {
                for (int fx = 1; fx < 4; ++fx) {
                    const QPointF at = view->mapToScene(QPoint(shown.width() * fx / 4, shown.height() * fy / 4));
                    const QPoint px(int(at.x() / toCanvas), int(at.y() / toCanvas));
                    const QPointF middle
                        = view->viewportTransform().map(QPointF(px.x() + 0.5, px.y() + 0.5) * toCanvas);
                    const QPoint on(int(std::floor(middle.x())), int(std::floor(middle.y())));
                    // The frame's line, its underlay and the dimming over
                    // the photo: sampled inside the frame only.
                    if (!before.adjusted(2, 2, -2, -2).contains(px))
                        continue;
                    QCOMPARE(QColor(shown.pixel(on)), QColor(noise.pixel(px)));
                    ++sampled;
                }
            }
            QVERIFY(sampled >= 2);
        }

        main->capturePath = dir.filePath("cuts");
        QVERIFY(QDir().mkpath(main->capturePath));
        pic->captureTo(main->capturePath);
        QVERIFY(testutil::waitLoaded(pic));
        const QImage cut = imageio::decode(main->capturePath + "/noise.png");
        QCOMPARE(cut.convertToFormat(QImage::Format_RGB32), noise.copy(before));
    }
};

QTEST_MAIN(TstPicture)
#include "tst_picture.moc"
