// Capture as the user does it: a real main window and image window, the
// frame dragged on the view, the Cut action, and the file that comes out.
#include "ui/app/framzo.h"
#include "core/base/pathutil.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "ui/images/mimesourcefactory.h"
#include "core/cut/capture.h"
#include "core/imageio/resolution.h"
#include "ui/picture/picture.h"
#include "scripteddialogs.h"
#include "testutil.h"
#include "testwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsRectItem>
#include <QBuffer>
#include <QGraphicsView>
#include <QImageReader>
#include <QImageWriter>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScopeGuard>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <exiv2/exiv2.hpp>

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

// img saved as a JPEG whose JFIF header (which Qt always writes) is patched:
// unit -1 removes it, as cameras leave it out; 0 keeps only the pixels'
// aspect; 1 and 2 give density per inch and per centimetre. Then, when
// exifUnit is not -1, EXIF XResolution / YResolution of exifValue (a
// rational) with ResolutionUnit exifUnit (0: none written).
bool writeJpeg(const QString &path, const QImage &img, int jfifUnit, int jfifDensity,
               Exiv2::Rational exifValue = {0, 0}, int exifUnit = -1)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!img.save(&buffer, "JPEG", 90))
        return false;
    QByteArray bytes = buffer.data();
    // SOI, then APP0: FF E0, length, "JFIF\0", version (2), unit, x and y density.
    if (bytes.mid(2, 2) != QByteArray("\xff\xe0", 2) || bytes.mid(6, 5) != QByteArray("JFIF\0", 5))
        return false;
    if (jfifUnit < 0) {
        bytes.remove(2, 2 + ((uchar(bytes[4]) << 8) | uchar(bytes[5])));
    } else {
        bytes[13] = char(jfifUnit);
        for (int at : {14, 16}) {
            bytes[at] = char(jfifDensity >> 8);
            bytes[at + 1] = char(jfifDensity & 0xff);
        }
    }
    if (!testutil::writeBytes(path, bytes))
        return false;
    if (exifUnit < 0)
        return true;
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData &exif = image->exifData();
        exif["Exif.Image.XResolution"] = exifValue;
        exif["Exif.Image.YResolution"] = exifValue;
        if (exifUnit > 0)
            exif["Exif.Image.ResolutionUnit"] = uint16_t(exifUnit);
        exif["Exif.Photo.PixelXDimension"] = uint32_t(img.width()); // as a camera writes it
        image->writeMetadata();
    } catch (const Exiv2::AnyError &) {
        return false;
    }
    return true;
}

} // namespace

class TstCapture : public QObject
{
    Q_OBJECT

    ScriptedDialogs mDialogs;
    std::unique_ptr<QTemporaryDir> mDir;
    QString mSrcDir;
    QString mCutDir;

    // A main window with one image window on path, shown and active.
    std::unique_ptr<Framzo> openOn(const QString &path, QSize windowSize = QSize())
    {
        auto main = std::make_unique<Framzo>();
        if (windowSize.isValid())
            main->resize(windowSize);
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
        if (!QTest::qWaitFor([&] { return main->activePicture() != nullptr; })
            || !testutil::waitLoaded(main->activePicture()))
            return {};
        return main;
    }

    static QWidget *viewport(Picture *pic) { return pic->view()->viewport(); }

    static void drag(Picture *pic, QPoint from, QPoint to)
    {
        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, from));
        QTest::mouseMove(viewport(pic), testutil::onView(pic, to));
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, to));
    }

    static QSize canvasSize(Picture *pic)
    {
        const QRectF r = pic->canvas()->sceneRect();
        return {int(r.width()), int(r.height())};
    }

    static QRect expectedRect(Picture *pic)
    {
        return pic->frameState().imageRect(pic->surface());
    }

    // Pushes the frame into the canvas's lower right corner.
    static void toCorner(Picture *pic)
    {
        const CutFrame &f = pic->frameState();
        drag(pic, QPoint(int(f.frameX) + 2, int(f.frameY) + 2), QPoint(5000, 5000));
    }

    static QSize writtenSize(const QString &path) { return QImageReader(path).size(); }

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
        testutil::clearSettings(); // "auto" and "keep earlier cuts" off
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
        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, QPoint(28, 29)));
        QCOMPARE(QWidget::mouseGrabber(), viewport(pic));
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::SizeFDiagCursor);
        QTest::mouseMove(viewport(pic), testutil::onView(pic, QPoint(150, 100)));
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, QPoint(150, 100)));
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
        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, QPoint(10, 10)));
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
        QTest::mouseMove(viewport(pic), testutil::onView(pic, QPoint(47, 33)));
        QCOMPARE(pic->frameItem()->pos(), QPointF(37, 23));
        QTest::mouseMove(viewport(pic), testutil::onView(pic, QPoint(1000, 33))); // kept on the canvas
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, QPoint(1000, 33)));
        QCOMPARE(pic->frameItem()->pos(), QPointF(canvasSize(pic).width() - 150, 23));

        // A press outside frame and handle starts nothing.
        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, QPoint(2, 200)));
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QTest::mouseMove(viewport(pic), testutil::onView(pic, QPoint(60, 220)));
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, QPoint(60, 220)));
        QCOMPARE(pic->frameItem()->pos(), QPointF(canvasSize(pic).width() - 150, 23));
    }

    void hiddenFrameIgnoresPressesButReleasesTheGrab()
    {
        const QString src = mSrcDir + "/a.png";
        QVERIFY(testutil::writeImage(src, 400, 300, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        Picture *pic = main->activePicture();

        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, QPoint(10, 10)));
        QCOMPARE(QWidget::mouseGrabber(), viewport(pic));
        main->mpShowCut->setChecked(false); // the Cut bar goes, and the frame with it
        QVERIFY(!pic->frameItem()->isVisible());
        QVERIFY(!pic->handleItem()->isVisible());
        QTest::mouseMove(viewport(pic), testutil::onView(pic, QPoint(80, 80)));
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, QPoint(80, 80)));
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(!pic->frameState().moving);
        QCOMPARE(pic->frameItem()->pos(), QPointF(0, 0));

        QTest::mousePress(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, QPoint(10, 10)));
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QTest::mouseRelease(viewport(pic), Qt::LeftButton, {}, testutil::onView(pic, QPoint(10, 10)));
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
        QVERIFY(testutil::settle(*main));
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

    void cutHoldsOnlyThePhotosPixels_data()
    {
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("past the lower right") << false << QRect(60, 50, 330, 228);
        QTest::newRow("past every edge, with alpha") << true << QRect(-20, -10, 330, 228);
        QTest::newRow("inside") << false << QRect(10, 10, 30, 20);
    }
    void cutHoldsOnlyThePhotosPixels()
    {
        QFETCH(bool, alpha);
        QFETCH(QRect, rect);
        const QImage source = testutil::makeImage(100, 80, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        const QRect inside = rect.intersected(source.rect());
        QCOMPARE(capture::cut(source, rect), source.copy(inside));
    }

    void centimetresGiveTheSameCutInAnyWindow_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QSize>("expected"); // (0, 0): nothing is written
        QTest::addColumn<QString>("readout");
        const QString cut = QStringLiteral("Cut: 1240 x 1791 pixels = 9.0 x 13.0 cm at 350 dpi");
        QTest::newRow("small window") << QSize(640, 480) << QSize(2400, 1800) << QSize(1791, 1240) << cut;
        QTest::newRow("large window") << QSize(1280, 1000) << QSize(2400, 1800) << QSize(1791, 1240) << cut;
        QTest::newRow("photo too small")
            << QSize(800, 600) << QSize(1200, 800) << QSize(0, 0)
            << QStringLiteral("13 x 9 cm needs 1791 x 1240 pixels at 350 dpi; this photo has 1200 x 800");
    }
    void centimetresGiveTheSameCutInAnyWindow()
    {
        QFETCH(QSize, window);
        QFETCH(QSize, photo);
        QFETCH(QSize, expected);
        QFETCH(QString, readout);
        // A 350 dpi photo whose resolution only its EXIF data states.
        const QString src = mSrcDir + "/photo.jpg";
        QVERIFY(writeJpeg(src, testutil::makeImage(photo.width(), photo.height()), -1, 0, {350, 1}, 2));
        auto main = openOn(src, window);
        QVERIFY(main);
        main->mpFit->setChecked(true);
        Picture *pic = main->activePicture();
        QVERIFY(pic->information().endsWith("Resolution: 350x350 dpi"));
        QCOMPARE(main->cutReadout(), QStringLiteral("Cut: drag the frame to size it"));
        drag(pic, QPoint(28, 28), QPoint(300, 200));
        toCorner(pic);
        QCOMPARE(main->cutReadout(), readout);
        // No frame fits: no line, no handle, nothing dimmed.
        QCOMPARE(pic->handleItem()->isVisible(), !expected.isEmpty());
        QCOMPARE(pic->frameItem()->isVisible(), !expected.isEmpty());

        QSignalSpy writing(pic, &Picture::writing);
        main->mpGenerate->trigger();
        QVERIFY(testutil::settle(*main));
        const QString out = mCutDir + "/photo.jpg";
        if (expected.isEmpty()) {
            QVERIFY(!QFileInfo::exists(out));
            QVERIFY(!main->statusBar()->currentMessage().isEmpty());
            QCOMPARE(main->cutReadout(), readout); // the failure does not take its place
            return;
        }
        QCOMPARE(writtenSize(out), expected);
        // 2.2 megapixels: a status line while it was written, gone after.
        QCOMPARE(writing.size(), 2);
        QVERIFY(writing.first().first().toString().contains("1791 x 1240"));
        QVERIFY(writing.last().first().toString().isEmpty());
    }

    void ratioCutsKeepTheRatio_data()
    {
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<bool>("free");
        QTest::newRow("panorama") << QSize(6000, 700) << false;
        QTest::newRow("panorama, first size while free") << QSize(6000, 700) << true;
        QTest::newRow("portrait") << QSize(1500, 2400) << false;
        QTest::newRow("landscape") << QSize(2400, 1500) << false;
    }
    void ratioCutsKeepTheRatio()
    {
        QFETCH(QSize, photo);
        QFETCH(bool, free);
        const QString src = mSrcDir + "/photo.jpg";
        QImage img = testutil::makeImage(photo.width(), photo.height());
        img.setDotsPerMeterX(2835); // 72 dpi
        img.setDotsPerMeterY(2835);
        QVERIFY(img.save(src, "jpeg", 80));
        auto main = openOn(src, QSize(1280, 1000));
        QVERIFY(main);
        main->mpFree->setChecked(free);
        Picture *pic = main->activePicture();
        drag(pic, QPoint(10, 10), QPoint(10, 10)); // the first size
        if (!free)
            drag(pic, pic->frameState().handleRect().center().toPoint(), QPoint(150, 103));
        toCorner(pic);
        const QString readout = main->cutReadout();
        main->mpGenerate->trigger();
        QVERIFY(testutil::settle(*main));
        const QSize cut = writtenSize(mCutDir + "/photo.jpg");
        QVERIFY(cut.width() > 100);
        QVERIFY(cut.width() <= photo.width() && cut.height() <= photo.height());
        QCOMPARE(cut.height(), qRound(cut.width() * 9.0 / 13));
        // The readout said what was written.
        QCOMPARE(readout, QStringLiteral("Cut: %1 x %2 pixels = %3 x %4 cm at 72 dpi")
                              .arg(cut.height())
                              .arg(cut.width())
                              .arg(cut.height() / 28.35, 0, 'f', 1)
                              .arg(cut.width() / 28.35, 0, 'f', 1));
    }

    void anotherImagePutsTheFrameBackOnIt_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("turn"); // a quarter turn instead of Page Up
        QTest::newRow("free shape") << "free" << false;
        QTest::newRow("13:9") << "ratio" << false;
        QTest::newRow("centimetres") << "cm" << false;
        QTest::newRow("13:9, quarter turn") << "ratio" << true;
    }
    void anotherImagePutsTheFrameBackOnIt()
    {
        QFETCH(QString, mode);
        QFETCH(bool, turn);
        // A landscape photo, then a smaller portrait one; 72 dpi each.
        const QString first = mSrcDir + "/a.png";
        const QString second = mSrcDir + "/b.png";
        QImage landscape = testutil::makeImage(2400, 1600);
        QImage portrait = testutil::makeImage(750, 1200);
        for (QImage *img : {&landscape, &portrait}) {
            img->setDotsPerMeterX(2835);
            img->setDotsPerMeterY(2835);
        }
        QVERIFY(landscape.save(first, "png"));
        QVERIFY(portrait.save(second, "png"));
        auto main = openOn(first, QSize(1280, 1000));
        QVERIFY(main);
        main->mpFree->setChecked(mode == "free");
        main->mpFit->setChecked(mode == "cm");
        main->mpWidth->setText(mode == "cm" ? "20" : "13");
        main->mpHeight->setText(mode == "cm" ? "15" : "9");
        Picture *pic = main->activePicture();
        drag(pic, QPoint(28, 28), QPoint(1100, 700)); // as large as the canvas lets it be
        toCorner(pic);
        // Reaching past where the next photo's canvas ends.
        QVERIFY(pic->frameState().frameX + pic->frameState().frameWidth > 600);

        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        if (turn) {
            main->mpRot90->trigger();
            portrait = landscape.transformed(QTransform().rotate(90));
        } else {
            QTest::keyClick(main.get(), Qt::Key_PageUp);
            QCOMPARE(pic->path(), second);
        }
        const QRectF canvas = pic->canvas()->sceneRect();
        const QRectF after = pic->frameItem()->mapRectToScene(pic->frameItem()->rect());
        QVERIFY(!after.isEmpty());
        QVERIFY2(canvas.contains(after), qPrintable(QStringLiteral("frame %1,%2 %3x%4 on %5x%6")
                                                        .arg(after.x()).arg(after.y()).arg(after.width())
                                                        .arg(after.height()).arg(canvas.width()).arg(canvas.height())));

        main->mpGenerate->trigger();
        QVERIFY(testutil::settle(*main));
        const QRect rect = expectedRect(pic);
        QVERIFY(portrait.rect().contains(rect));
        const QImage written(mCutDir + (turn ? "/a.png" : "/b.png"));
        QCOMPARE(written.size(), rect.size());
        QCOMPARE(written.convertToFormat(QImage::Format_RGB32), portrait.copy(rect));
        if (mode == "ratio")
            QCOMPARE(rect.height(), qRound(rect.width() * 9.0 / 13));
        if (mode == "cm") // 20 x 15 cm at 72 dpi, the same on both photos
            QCOMPARE(rect.size(), QSize(567, 425));
    }

    void resolutionFromTheFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("jfifUnit");
        QTest::addColumn<int>("jfifDensity");
        QTest::addColumn<int>("exifNumerator");
        QTest::addColumn<int>("exifDenominator");
        QTest::addColumn<int>("exifUnit");
        QTest::addColumn<int>("expected"); // dots per metre; 0: the toolkit's default
        QTest::newRow("JFIF, per inch") << "jpeg" << 1 << 300 << 0 << 0 << -1 << 11811;
        QTest::newRow("JFIF, per cm") << "jpeg" << 2 << 138 << 0 << 0 << -1 << 13800;
        QTest::newRow("EXIF only") << "jpeg" << -1 << 0 << 350 << 1 << 2 << 13780;
        QTest::newRow("EXIF only, no unit: inch") << "jpeg" << -1 << 0 << 180 << 1 << 0 << 7087;
        QTest::newRow("EXIF only, per cm") << "jpeg" << -1 << 0 << 1378 << 10 << 3 << 13780;
        QTest::newRow("JFIF aspect only, then EXIF") << "jpeg" << 0 << 1 << 300 << 1 << 2 << 11811;
        QTest::newRow("JFIF before EXIF") << "jpeg" << 1 << 72 << 300 << 1 << 2 << 2835;
        QTest::newRow("EXIF of no use") << "jpeg" << -1 << 0 << 0 << 0 << 2 << 0;
        QTest::newRow("nothing stated") << "jpeg" << -1 << 0 << 0 << 0 << -1 << 0;
        QTest::newRow("PNG pHYs") << "png" << 0 << 0 << 0 << 0 << -1 << 13780;
    }
    void resolutionFromTheFile()
    {
        QFETCH(QString, kind);
        QFETCH(int, jfifUnit);
        QFETCH(int, jfifDensity);
        QFETCH(int, exifNumerator);
        QFETCH(int, exifDenominator);
        QFETCH(int, exifUnit);
        QFETCH(int, expected);
        QImage img = testutil::makeImage(64, 48);
        const QString path = mSrcDir + "/r." + kind;
        if (kind == "png") {
            img.setDotsPerMeterX(expected);
            img.setDotsPerMeterY(expected);
            QVERIFY(img.save(path, "png"));
        } else {
            QVERIFY(writeJpeg(path, img, jfifUnit, jfifDensity, {exifNumerator, exifDenominator}, exifUnit));
        }
        if (expected == 0)
            expected = QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX();
        const QImage decoded = imageio::decode(path);
        QCOMPARE(decoded.dotsPerMeterX(), expected);
        QCOMPARE(decoded.dotsPerMeterY(), expected);
        const QString dpi = QString::number(resolution::dotsPerInch(expected));
        auto main = openOn(path);
        QVERIFY(main);
        QVERIFY(main->activePicture()->information().endsWith("Resolution: " + dpi + "x" + dpi + " dpi"));
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
        QVERIFY(testutil::settle(*main));
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
        // Cancelled: nothing is cut, and the status bar says why; the next
        // Return asks again.
        mDialogs.folders = {QString(), mCutDir};
        main->mpGenerate->trigger();
        QCOMPARE(mDialogs.foldersAsked, 1);
        QVERIFY(main->capturePath.isEmpty());
        QCOMPARE(main->statusBar()->currentMessage(), QStringLiteral("Nothing cut: no capture folder was chosen"));
        main->mpGenerate->trigger();
        QVERIFY(testutil::settle(*main));
        QCOMPARE(mDialogs.foldersAsked, 2);
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
        QVERIFY(testutil::settle(*main));
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
        QVERIFY(testutil::waitLoaded(pic));
        drag(pic, QPoint(76, 56), QPoint(40, 30));
        pic->captureTo(mCutDir);
        QVERIFY(testutil::waitLoaded(pic));
        QCOMPARE(QDir(mCutDir).entryList(QDir::Files), QStringList{"a.png"});
        QCOMPARE(QImage(mCutDir + "/a.png").size(), expectedRect(pic).size());
    }

    void failedWriteKeepsTheOldFileAndOpensNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("how");
        // Not a failure: the cut of a format the program does not write is a
        // JPEG beside the earlier cut, which stays.
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
        QVERIFY(testutil::settle(*main));
        cutDir.setPermissions(permissions);
        QCOMPARE(fileBytes(mCutDir + "/" + name), QByteArray("earlier capture"));
        if (how == "format") {
            QCOMPARE(QDir(mCutDir).entryList(QDir::Files | QDir::Hidden), QStringList({"scan.jpg", "scan.tga"}));
            QCOMPARE(imageio::detect(mCutDir + "/scan.jpg"), QByteArray("jpeg"));
            QCOMPARE(windowCount(*main), 2);
            return;
        }
        QCOMPARE(QDir(mCutDir).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QCOMPARE(windowCount(*main), 1);
        QVERIFY(!main->statusBar()->currentMessage().isEmpty());
    }

    // ---- cutting one photo after another -------------------------------------

    void cutAndNext_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("next"); // the photo shown after
        QTest::addColumn<bool>("askFolder"); // no capture folder chosen yet
        QTest::newRow("first of three") << "a.png" << "b.png" << false;
        QTest::newRow("middle, first use asks for the folder") << "b.png" << "c.png" << true;
        QTest::newRow("last: stays") << "c.png" << "c.png" << false;
    }
    void cutAndNext()
    {
        QFETCH(QString, from);
        QFETCH(QString, next);
        QFETCH(bool, askFolder);
        // Messages write the home folder as "~".
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(mDir->path()));
        auto restoreHome = qScopeGuard([&] { qputenv("HOME", home); });
        QVERIFY(testutil::writeImage(mSrcDir + "/a.png", 600, 400, "png"));
        QVERIFY(testutil::writeImage(mSrcDir + "/b.png", 400, 600, "png"));
        QVERIFY(testutil::writeImage(mSrcDir + "/c.png", 500, 500, "png"));
        auto main = openOn(mSrcDir + "/" + from);
        QVERIFY(main);
        if (askFolder) {
            main->capturePath.clear();
            mDialogs.folders = {mCutDir};
        }
        Picture *pic = main->activePicture();
        drag(pic, QPoint(28, 28), QPoint(161, 97));
        const QRect rect = expectedRect(pic);
        const QImage framed = pic->image().copy(rect);
        QVERIFY(rect.width() > 100);

        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        QTest::keyClick(main.get(), Qt::Key_Return, Qt::ShiftModifier);
        QVERIFY(testutil::settle(*main));
        const QString out = mCutDir + "/" + from;
        QCOMPARE(QImage(out).convertToFormat(QImage::Format_RGB32), framed);
        QCOMPARE(mDialogs.foldersAsked, askFolder ? 1 : 0);
        // No window opened; this one went on.
        QCOMPARE(windowCount(*main), 1);
        QCOMPARE(main->activePicture(), pic);
        QCOMPARE(pic->path(), mSrcDir + "/" + next);
        QString message = QStringLiteral("Cut %1 x %2 written to ~/cuts/%3").arg(rect.width()).arg(rect.height()).arg(from);
        if (next == from)
            message += "; this is the last photo of the folder";
        QCOMPARE(main->statusBar()->currentMessage(), message);
        // The Edit menu's entry does the same.
        main->mpCutNext->trigger();
        QVERIFY(testutil::settle(*main));
        QCOMPARE(QDir(mCutDir).entryList(QDir::Files).size(), next == from ? 1 : 2);
        QCOMPARE(windowCount(*main), 1);
    }

    // A photo filled with a gradient, at dpi, saved as a PNG (whose pHYs
    // chunk holds the resolution).
    static bool writePhoto(const QString &path, QSize size, int dpi)
    {
        QImage img(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < size.width(); ++x)
                line[x] = qRgb(x & 0xff, y & 0xff, (x / 256 + y / 256 * 8) & 0xff);
        }
        img.setDotsPerMeterX(qRound(dpi / 0.0254));
        img.setDotsPerMeterY(qRound(dpi / 0.0254));
        return img.save(path, "PNG");
    }

    void presetOrNumbersLayTheFrame_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QSize>("cut"); // of a 1800 x 1200 photo at 300 dpi
        QTest::newRow("preset 9 x 13 cm") << "9 x 13 cm" << QSize(1535, 1063);
        QTest::newRow("preset 3 : 2") << "3 : 2" << QSize();
        QTest::newRow("typed 10 x 15 cm") << "typed" << QSize(1772, 1181);
    }
    void presetOrNumbersLayTheFrame()
    {
        QFETCH(QString, how);
        QFETCH(QSize, cut);
        QVERIFY(writePhoto(mSrcDir + "/a.png", QSize(1800, 1200), 300));
        auto main = openOn(mSrcDir + "/a.png");
        QVERIFY(main);
        Picture *pic = main->activePicture();
        QVERIFY(!pic->frameState().laid());
        if (how == "typed") {
            main->mpFree->setChecked(false);
            main->mpFit->setChecked(true);
            // Typed one key at a time: the frame follows until it is moved.
            for (const char *text : {"1", "10"})
                main->mpHeight->setText(QString::fromLatin1(text));
            for (const char *text : {"1", "15"})
                main->mpWidth->setText(QString::fromLatin1(text));
        } else {
            const int index = main->mpPresets->findText(how);
            QVERIFY(index > 0);
            main->mpPresets->setCurrentIndex(index);
            emit main->mpPresets->activated(index);
        }
        QVERIFY(pic->frameState().laid());
        const QRect rect = expectedRect(pic);
        QVERIFY(!rect.isEmpty());
        if (cut.isValid())
            QCOMPARE(rect.size(), cut);
        else // the largest 3 : 2 inside the canvas
            QVERIFY(rect.width() > 1700 && qAbs(rect.width() * 2 - rect.height() * 3) <= 3);
        // Centred: centimetres to the image pixel, a ratio to the canvas unit.
        const int near = cut.isValid() ? 1 : 1 + 1800 / canvasSize(pic).width();
        QVERIFY(qAbs(rect.center().x() - 900) <= near && qAbs(rect.center().y() - 600) <= near);

        // Named after the print size when asked to.
        const bool named = how == "9 x 13 cm";
        main->mpSizeInNames->setChecked(named);
        main->mpCutNext->trigger();
        QVERIFY(testutil::settle(*main));
        QCOMPARE(writtenSize(mCutDir + (named ? "/a_13x9.png" : "/a.png")), rect.size());
    }

    void cutAndNextSkipsPhotosTooSmall()
    {
        QVERIFY(writePhoto(mSrcDir + "/IMG_0403.png", QSize(1800, 1200), 300));
        QVERIFY(writePhoto(mSrcDir + "/IMG_0404.png", QSize(1680, 1050), 300));
        QVERIFY(writePhoto(mSrcDir + "/IMG_0405.png", QSize(1600, 1100), 300));
        auto main = openOn(mSrcDir + "/IMG_0403.png");
        QVERIFY(main);
        Picture *pic = main->activePicture();
        const int index = main->mpPresets->findText("9 x 13 cm");
        emit main->mpPresets->activated(index);
        QVERIFY(pic->frameState().laid());

        const QString cuts = pathutil::homeAsTilde(mCutDir);
        const QStringList messages = {
            "Cut 1535 x 1063 written to " + cuts + "/IMG_0403.png",
            "IMG_0404.png: 1680 x 1050 is smaller than 13 x 9 cm at 300 dpi (1535 x 1063); skipped",
            "Cut 1535 x 1063 written to " + cuts + "/IMG_0405.png; this is the last photo of the folder; "
            "1 photo skipped as too small",
        };
        const QStringList shownAfter = {"IMG_0404.png", "IMG_0405.png", "IMG_0405.png"};
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        pic->view()->setFocus();
        for (int i = 0; i < messages.size(); ++i) {
            QTest::keyClick(main.get(), Qt::Key_Return, Qt::ShiftModifier);
            QVERIFY(testutil::settle(*main));
            QVERIFY(testutil::waitLoaded(pic));
            QCOMPARE(main->statusBar()->currentMessage(), messages.at(i));
            QCOMPARE(pic->path(), mSrcDir + "/" + shownAfter.at(i));
        }
        QCOMPARE(QDir(mCutDir).entryList(QDir::Files), QStringList({"IMG_0403.png", "IMG_0405.png"}));
        // Stepping away takes the notice of the last photo with it.
        main->mpPrev->click();
        QVERIFY(main->statusBar()->currentMessage().isEmpty());
    }

    void cutAndNextWithoutAFrameGoesNowhere()
    {
        QVERIFY(testutil::writeImage(mSrcDir + "/a.png", 300, 200, "png"));
        QVERIFY(testutil::writeImage(mSrcDir + "/b.png", 300, 200, "png"));
        auto main = openOn(mSrcDir + "/a.png");
        QVERIFY(main);
        Picture *pic = main->activePicture();
        main->mpCutNext->trigger(); // never dragged: nothing to cut, and nothing skipped
        QVERIFY(testutil::settle(*main));
        QCOMPARE(pic->path(), mSrcDir + "/a.png");
        QVERIFY(!main->statusBar()->currentMessage().isEmpty());
        drag(pic, QPoint(28, 28), QPoint(80, 60));
        main->mpShowCut->setChecked(false);
        main->mpCutNext->trigger();
        QVERIFY(testutil::settle(*main));
        QCOMPARE(pic->path(), mSrcDir + "/a.png");
        QVERIFY(QDir(mCutDir).isEmpty());
    }

    void keepEarlierCuts_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QStringList>("before"); // files in the capture folder
        QTest::addColumn<QStringList>("after");
        QTest::newRow("off: replaced") << false << QStringList{"a.png"} << QStringList{"a.png"};
        QTest::newRow("on: numbered") << true << QStringList{} << QStringList{"a.png", "a_1.png", "a_2.png"};
        QTest::newRow("on, _1 taken") << true << QStringList{"a.png", "a_1.png"}
                                      << QStringList{"a.png", "a_1.png", "a_2.png", "a_3.png", "a_4.png"};
    }
    void keepEarlierCuts()
    {
        QFETCH(bool, keep);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        for (const QString &name : before)
            QVERIFY(testutil::writeBytes(mCutDir + "/" + name, "earlier " + name.toLatin1()));
        const QString src = mSrcDir + "/a.png"; // alone: Cut and Next stays on it
        QVERIFY(testutil::writeImage(src, 300, 200, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        main->mpKeepCuts->setChecked(keep);
        drag(main->activePicture(), QPoint(28, 28), QPoint(80, 60));
        for (int i = 0; i < 3; ++i)
            main->mpCutNext->trigger();
        QVERIFY(testutil::settle(*main));
        QCOMPARE(QDir(mCutDir).entryList(QDir::Files, QDir::Name), after);
        for (const QString &name : before) {
            if (keep)
                QCOMPARE(fileBytes(mCutDir + "/" + name), "earlier " + name.toLatin1());
        }
        QCOMPARE(QImage(mCutDir + "/" + after.last()).size(), expectedRect(main->activePicture()).size());
        // Return numbers the same way, and opens the cut.
        main->mpGenerate->trigger();
        QVERIFY(testutil::settle(*main));
        QCOMPARE(QDir(mCutDir).entryList(QDir::Files).size(), after.size() + (keep ? 1 : 0));
        QCOMPARE(windowCount(*main), 2);
    }

    void autoTurnsTheFrameToEachPhoto_data()
    {
        QTest::addColumn<bool>("autoTurn");
        QTest::addColumn<QString>("mode"); // ratio, free or cm
        // The frame's orientation on each photo: L(andscape), P(ortrait).
        QTest::addColumn<QString>("expected");
        QTest::newRow("auto, 13:9") << true << "ratio" << "LPPL";
        QTest::newRow("auto, free") << true << "free" << "LPPL";
        QTest::newRow("auto, centimetres") << true << "cm" << "LPPL";
        QTest::newRow("off") << false << "ratio" << "LLLL";
    }
    void autoTurnsTheFrameToEachPhoto()
    {
        QFETCH(bool, autoTurn);
        QFETCH(QString, mode);
        QFETCH(QString, expected);
        // Landscape, portrait, square (takes either: the frame stays), landscape.
        const QList<QSize> sizes = {{1200, 800}, {800, 1200}, {900, 900}, {1500, 700}};
        for (int i = 0; i < sizes.size(); ++i) {
            QImage img = testutil::makeImage(sizes[i].width(), sizes[i].height());
            img.setDotsPerMeterX(2835);
            img.setDotsPerMeterY(2835);
            QVERIFY(img.save(mSrcDir + QStringLiteral("/%1.png").arg(i), "png"));
        }
        auto main = openOn(mSrcDir + "/0.png", QSize(1000, 800));
        QVERIFY(main);
        main->mpFree->setChecked(mode == "free");
        main->mpFit->setChecked(mode == "cm");
        main->mpAutoTurn->setChecked(autoTurn);
        Picture *pic = main->activePicture();
        drag(pic, QPoint(28, 28), QPoint(200, 150));
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        for (int i = 0; i < sizes.size(); ++i) {
            if (i > 0)
                QTest::keyClick(main.get(), Qt::Key_PageUp);
            QCOMPARE(pic->path(), mSrcDir + QStringLiteral("/%1.png").arg(i));
            const bool portrait = expected.at(i) == 'P';
            const QRect cut = expectedRect(pic);
            QVERIFY2(!cut.isEmpty() && (cut.height() > cut.width()) == portrait,
                     qPrintable(QStringLiteral("photo %1: cut %2 x %3").arg(i).arg(cut.width()).arg(cut.height())));
            // The fields turned with it: 9 above 13 for a portrait frame.
            QCOMPARE(main->mpWidth->text(), portrait ? QStringLiteral("9") : QStringLiteral("13"));
            QCOMPARE(main->mpHeight->text(), portrait ? QStringLiteral("13") : QStringLiteral("9"));
            if (mode == "ratio")
                QCOMPARE(cut.height(), qRound(cut.width() * (portrait ? 13.0 / 9 : 9.0 / 13)));
            if (mode == "cm") // 13 x 9 cm at 72 dpi
                QCOMPARE(cut.size(), portrait ? QSize(255, 369) : QSize(369, 255));
        }
    }

    void presetsAndTurnsReshapeTheFrame()
    {
        const QString src = mSrcDir + "/a.png";
        QVERIFY(testutil::writeImage(src, 1200, 800, "png"));
        auto main = openOn(src, QSize(1000, 800));
        QVERIFY(main);
        Picture *pic = main->activePicture();
        drag(pic, QPoint(28, 28), QPoint(200, 150)); // "free": a shape of the user's own
        QVERIFY(!pic->frameState().ratio().isValid());
        // A preset takes effect at once, not at the next resize.
        const int index = main->mpPresets->findText("3 : 2");
        main->mpPresets->setCurrentIndex(index);
        emit main->mpPresets->activated(index);
        QCOMPARE(pic->frameState().ratio(), QSize(3, 2));
        QRect cut = expectedRect(pic);
        QCOMPARE(cut.height(), qRound(cut.width() * 2.0 / 3));
        // The turn button: 2 : 3, about as high as before.
        const int height = cut.height();
        main->mpTurn->click();
        QCOMPARE(pic->frameState().ratio(), QSize(2, 3));
        cut = expectedRect(pic);
        QCOMPARE(cut.height(), qRound(cut.width() * 3.0 / 2));
        QVERIFY(qAbs(cut.height() - height) < height / 5);
        const QRectF canvas = pic->canvas()->sceneRect();
        QVERIFY(canvas.contains(pic->frameState().frameRect()));
    }

    void keysMoveAndSizeTheFrame_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<int>("times");
        QTest::addColumn<QRect>("expected"); // from 130 x 90 at (50, 40) on a 396 x 296 canvas
        QTest::newRow("right") << int(Qt::Key_Right) << false << 1 << QRect(51, 40, 130, 90);
        QTest::newRow("shift+left") << int(Qt::Key_Left) << true << 1 << QRect(40, 40, 130, 90);
        QTest::newRow("up") << int(Qt::Key_Up) << false << 1 << QRect(50, 39, 130, 90);
        QTest::newRow("shift+down") << int(Qt::Key_Down) << true << 1 << QRect(50, 50, 130, 90);
        QTest::newRow("shift+right past the edge") << int(Qt::Key_Right) << true << 30 << QRect(266, 40, 130, 90);
        QTest::newRow("up past the edge") << int(Qt::Key_Up) << false << 45 << QRect(50, 0, 130, 90);
        // One multiple of 13 : 9 more or less, about the centre.
        QTest::newRow("plus") << int(Qt::Key_Plus) << true << 1 << QRect(44, 36, 143, 99);
        QTest::newRow("minus") << int(Qt::Key_Minus) << false << 1 << QRect(56, 44, 117, 81);
        QTest::newRow("plus up to the canvas") << int(Qt::Key_Plus) << true << 40 << QRect(0, 0, 390, 270);
        QTest::newRow("minus down to one step") << int(Qt::Key_Minus) << false << 40 << QRect(104, 76, 13, 9);
        // Ten steps with Shift; C puts it in the middle.
        QTest::newRow("shift+minus") << int(Qt::Key_Minus) << true << 1 << QRect(108, 80, 13, 9);
        QTest::newRow("underscore") << int(Qt::Key_Underscore) << true << 1 << QRect(108, 80, 13, 9);
        QTest::newRow("C") << int(Qt::Key_C) << false << 1 << QRect(133, 103, 130, 90);
        // O turns it: 9 : 13 at the same share of the largest frame.
        QTest::newRow("O") << int(Qt::Key_O) << false << 1 << QRect(63, 40, 63, 91);
    }
    void keysMoveAndSizeTheFrame()
    {
        QFETCH(int, key);
        QFETCH(bool, shift);
        QFETCH(int, times);
        QFETCH(QRect, expected);
        const QString src = mSrcDir + "/a.png";
        QVERIFY(testutil::writeImage(src, 400, 300, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        main->mpFree->setChecked(false);
        Picture *pic = main->activePicture();
        QCOMPARE(canvasSize(pic), QSize(396, 296));
        drag(pic, QPoint(28, 28), QPoint(130, 90)); // 10 x 13 : 9
        drag(pic, QPoint(10, 10), QPoint(60, 50));
        QCOMPARE(pic->frameState().frameRect(), QRectF(50, 40, 130, 90));

        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        pic->view()->setFocus();
        QCOMPARE(QApplication::focusWidget(), pic->view());
        for (int i = 0; i < times; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), shift ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(pic->frameState().frameRect(), QRectF(expected));
        QCOMPARE(pic->frameItem()->rect().size(), QSizeF(expected.size()));
        QCOMPARE(pic->frameItem()->pos(), QPointF(expected.topLeft()));
        if (key == Qt::Key_O)
            QCOMPARE(main->mpWidth->text(), QStringLiteral("9"));
    }

    void keysStayWithTheFocusedWidget_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::newRow("size field") << "mpHeight";
        QTest::newRow("folder tree") << "mpTree";
    }
    void keysStayWithTheFocusedWidget()
    {
        QFETCH(QString, widget);
        const QString src = mSrcDir + "/a.png";
        QVERIFY(testutil::writeImage(src, 400, 300, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        // The Cut bar alone, so that its fields are in view on a small screen.
        main->mpShowFile->setChecked(false);
        main->mpShowEdit->setChecked(false);
        main->mpFree->setChecked(false);
        Picture *pic = main->activePicture();
        drag(pic, QPoint(28, 28), QPoint(130, 90));
        drag(pic, QPoint(10, 10), QPoint(60, 50));
        const QRectF before = pic->frameState().frameRect();
        if (widget == "mpTree")
            main->mpGetPath->trigger(); // the Browse dock and its tree
        auto *target = main->findChild<QWidget *>(widget);
        QVERIFY(target);
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        QTRY_VERIFY(target->isVisible()); // once the bars are laid out again
        target->setFocus();
        QCOMPARE(QApplication::focusWidget(), target);
        for (int key : {int(Qt::Key_Right), int(Qt::Key_Down), int(Qt::Key_Plus), int(Qt::Key_O)})
            QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(pic->frameState().frameRect(), before);
        QCOMPARE(main->mpWidth->text(), QStringLiteral("13")); // not turned
        if (widget == "mpHeight")
            QCOMPARE(main->mpHeight->text(), QStringLiteral("9+o")); // typed into the field
    }

    void undraggedFrameWritesNothing()
    {
        const QString src = mSrcDir + "/a.png";
        QVERIFY(testutil::writeImage(src, 300, 200, "png"));
        auto main = openOn(src);
        QVERIFY(main);
        main->mpGenerate->trigger();
        QVERIFY(testutil::settle(*main));
        QVERIFY(QDir(mCutDir).isEmpty());
        QCOMPARE(windowCount(*main), 1);
        QVERIFY(!main->statusBar()->currentMessage().isEmpty());
    }
};

QTEST_MAIN(TstCapture)
#include "tst_capture.moc"
