// Rotation, inversion and colour adjustment: the pixel functions on their
// own, and the edits as the user reaches them in an image window.

#include "ui/app/framzo.h"
#include "core/imageio/imageio.h"
#include "ui/images/mimesourcefactory.h"
#include "ui/picture/colorpanel.h"
#include "core/photo/imageedits.h"
#include "ui/picture/picture.h"
#include "testutil.h"
#include "testwindow.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace {

// An image of random colours and alpha, so that every channel of every pixel
// is checked against the plain rule.
QImage noise(int w, int h, QImage::Format format, quint32 start)
{
    QImage img(w, h, QImage::Format_ARGB32);
    QRandomGenerator gen(start);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = gen.generate();
    }
    return img.convertToFormat(format);
}

// The rule, pixel by pixel: what each edit must give.
QImage expected(const QImage &source, const std::function<QRgb(QRgb)> &rule)
{
    const QImage src = source.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x)
            line[x] = rule(in[x]);
    }
    return out;
}

QRgb adjustRule(QRgb p, int red, int green, int blue, int all)
{
    auto limit = [](int v) { return std::clamp(v, 0, 255); };
    return qRgb(limit(qRed(p) - red - all), limit(qGreen(p) - green - all), limit(qBlue(p) - blue - all));
}

// Where two images of the same size first differ, for a readable failure.
QString firstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes differ");
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < x.height(); ++row) {
        const auto *l = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *r = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            if (l[col] != r[col])
                return QStringLiteral("(%1, %2): %3 != %4").arg(col).arg(row).arg(l[col], 8, 16).arg(r[col], 8, 16);
    }
    return {};
}

QImage pixels(std::initializer_list<QRgb> colours)
{
    QImage img(int(colours.size()), 1, QImage::Format_ARGB32);
    auto *line = reinterpret_cast<QRgb *>(img.scanLine(0));
    int i = 0;
    for (QRgb c : colours)
        line[i++] = c;
    return img;
}

bool writePng(const QString &path, const QImage &img)
{
    return img.save(path, "PNG");
}

} // namespace

class TstEdits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initImages(); }
    void cleanupTestCase() { cleanupImages(); }

    void adjustFollowsTheRule_data();
    void adjustFollowsTheRule();
    void invertFollowsTheRule_data();
    void invertFollowsTheRule();
    void editsLeaveTheCallersCopyAlone();
    void quarterTurns();

    void adjustInWindowStartsFromTheFile();
    void adjustAfterRotationShowsUnrotated();
    void invertInWindow();
    void panelShowsAndKeepsOffsets();
    void nothingWithoutImageWindow();

    void benchmark();

private:
    struct Window
    {
        std::unique_ptr<Framzo> main;
        Picture *pic = nullptr;
    };
    Window open(const QString &path);
};

TstEdits::Window TstEdits::open(const QString &path)
{
    Window w;
    w.pic = testutil::openInNewWindow(w.main, path);
    return w;
}

// ---- the pixel functions ------------------------------------------------------

void TstEdits::adjustFollowsTheRule_data()
{
    QTest::addColumn<QImage>("source");
    QTest::addColumn<QList<int>>("offsets"); // red, green, blue, all

    // Red is limited at 255; green and blue gain 10 each.
    QTest::newRow("red and all raised") << pixels({qRgb(250, 10, 128)}) << QList<int>{-10, 0, 0, -10};
    QTest::newRow("all lowered to black") << pixels({qRgb(5, 5, 5)}) << QList<int>{0, 0, 0, 64};
    QTest::newRow("mixed signs per channel") << pixels({qRgb(100, 100, 100), qRgb(0, 255, 7)})
                                             << QList<int>{30, -30, 128, -64};
    // Odd widths leave a tail after the wide steps; alpha becomes opaque.
    QTest::newRow("noise, odd width") << noise(37, 11, QImage::Format_ARGB32, 1) << QList<int>{-12, 40, 128, -7};
    QTest::newRow("premultiplied") << noise(21, 5, QImage::Format_ARGB32_Premultiplied, 2)
                                   << QList<int>{5, -5, 0, 3};
    QTest::newRow("colour table") << noise(19, 7, QImage::Format_Indexed8, 3) << QList<int>{-20, 20, -64, 10};
    QTest::newRow("grey") << noise(16, 3, QImage::Format_Grayscale8, 4) << QList<int>{10, 0, -10, 0};
    // Large enough to be split into bands over threads.
    QTest::newRow("large") << noise(1031, 1030, QImage::Format_RGB32, 6) << QList<int>{-128, 64, 1, -33};
}

void TstEdits::adjustFollowsTheRule()
{
    QFETCH(QImage, source);
    QFETCH(QList<int>, offsets);
    const QImage want = expected(source, [&](QRgb p) {
        return adjustRule(p, offsets[0], offsets[1], offsets[2], offsets[3]);
    });
    const QImage got = imageedits::adjusted(source, offsets[0], offsets[1], offsets[2], offsets[3]);
    QCOMPARE(got.format(), QImage::Format_RGB32);
    QCOMPARE(firstDifference(got, want), QString());
}

void TstEdits::invertFollowsTheRule_data()
{
    QTest::addColumn<QImage>("source");
    QTest::newRow("noise, odd width") << noise(37, 11, QImage::Format_ARGB32, 11);
    QTest::newRow("premultiplied") << noise(21, 5, QImage::Format_ARGB32_Premultiplied, 13);
    QTest::newRow("one bit") << noise(33, 4, QImage::Format_Mono, 14);
    QTest::newRow("colour table") << noise(19, 7, QImage::Format_Indexed8, 15);
    QTest::newRow("large") << noise(1031, 1030, QImage::Format_ARGB32, 16);
}

void TstEdits::invertFollowsTheRule()
{
    QFETCH(QImage, source);
    const QImage want = expected(source, [](QRgb p) { return qRgb(255 - qRed(p), 255 - qGreen(p), 255 - qBlue(p)); });
    const QImage got = imageedits::inverted(source);
    QCOMPARE(got.format(), QImage::Format_RGB32);
    QCOMPARE(firstDifference(got, want), QString());
}

void TstEdits::editsLeaveTheCallersCopyAlone()
{
    const QImage source = noise(64, 32, QImage::Format_RGB32, 21);
    const QImage keep = source.copy();
    QImage shared = source;
    QVERIFY(!imageedits::inverted(shared).isNull());
    QVERIFY(!imageedits::adjusted(shared, 10, 10, 10, 10).isNull());
    QVERIFY(!imageedits::rotated(shared, 90).isNull());
    QCOMPARE(firstDifference(shared, keep), QString());
    QCOMPARE(firstDifference(source, keep), QString());
}

void TstEdits::quarterTurns()
{
    const QImage source = testutil::makeImage(40, 24);
    const QImage right = imageedits::rotated(source, 90);
    QCOMPARE(right.size(), QSize(24, 40));
    // Clockwise: the top left corner goes to the top right.
    QCOMPARE(right.pixel(23, 0), source.pixel(0, 0));
    QCOMPARE(right.pixel(0, 0), source.pixel(0, 23));
    const QImage left = imageedits::rotated(source, 270);
    QCOMPARE(left.pixel(0, 39), source.pixel(0, 0));

    QCOMPARE(firstDifference(imageedits::rotated(right, 270), source), QString());
    QImage four = source;
    for (int i = 0; i < 4; ++i)
        four = imageedits::rotated(four, 90);
    QCOMPARE(firstDifference(four, source), QString());

    // A colour table image turns into 32 bits with the same colours.
    const QImage indexed = noise(9, 5, QImage::Format_Indexed8, 41);
    const QImage turned = imageedits::rotated(indexed, 90);
    QVERIFY(turned.depth() == 32);
    QCOMPARE(turned.pixel(4, 0), indexed.pixel(0, 0));
}

// ---- in an image window ----------------------------------------------------------

void TstEdits::adjustInWindowStartsFromTheFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.png"));
    QVERIFY(writePng(path, pixels({qRgb(250, 10, 128), qRgb(5, 5, 5)})));
    Window w = open(path);
    QVERIFY(w.pic);

    QCOMPARE(w.pic->adjustColors(-10, 0, 0, -10), 0);
    QCOMPARE(w.pic->image().pixel(0, 0), qRgb(255, 20, 138));
    QCOMPARE(w.pic->image().pixel(1, 0), qRgb(25, 15, 15));

    // The second adjustment starts again from the file, not from the first.
    w.pic->adjustColors(0, 0, 0, 64);
    QCOMPARE(w.pic->image().pixel(0, 0), qRgb(186, 0, 64));
    QCOMPARE(w.pic->image().pixel(1, 0), qRgb(0, 0, 0));
    int r, g, b, a;
    w.pic->colorSettings(r, g, b, a);
    QCOMPARE(QList<int>({r, g, b, a}), QList<int>({0, 0, 0, 64}));
}

void TstEdits::adjustAfterRotationShowsUnrotated()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.png"));
    QVERIFY(testutil::writeImage(path, 40, 20, "png"));
    const QImage file(path);
    Window w = open(path);
    QVERIFY(w.pic);

    w.pic->rotateBy(90.0);
    QCOMPARE(w.pic->image().size(), QSize(20, 40));
    w.pic->rotateBy(270.0);
    QCOMPARE(firstDifference(w.pic->image(), file), QString());
    w.pic->rotateBy(90.0);
    w.pic->rotateBy(90.0); // rotations add up
    QCOMPARE(w.pic->image().pixel(39, 19), file.pixel(0, 0));
    w.pic->invertColors();

    w.pic->adjustColors(0, 0, 0, 0);
    QCOMPARE(firstDifference(w.pic->image(), file), QString());
}

void TstEdits::invertInWindow()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("i.png"));
    const QImage source = noise(30, 20, QImage::Format_ARGB32, 51);
    QVERIFY(writePng(path, source));
    Window w = open(path);
    QVERIFY(w.pic);

    QToolButton *negative = w.main->mpNegative;
    negative->click();
    QCOMPARE(w.pic->image().pixel(0, 0),
             qRgb(255 - qRed(source.pixel(0, 0)), 255 - qGreen(source.pixel(0, 0)), 255 - qBlue(source.pixel(0, 0))));
    negative->click();
    const QImage want = expected(source, [](QRgb p) { return qRgb(qRed(p), qGreen(p), qBlue(p)); });
    QCOMPARE(firstDifference(w.pic->image(), want), QString());
    QVERIFY(!w.pic->image().hasAlphaChannel());
}

void TstEdits::panelShowsAndKeepsOffsets()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.png"));
    const QString b = dir.filePath(QStringLiteral("b.png"));
    QVERIFY(writePng(a, pixels({qRgb(100, 100, 100), qRgb(250, 0, 0)})));
    QVERIFY(writePng(b, pixels({qRgb(1, 2, 3)})));
    Window w = open(a);
    QVERIFY(w.pic);

    w.main->mpColor->click();
    ColorPanel *panel = w.main->currentColorPanel();
    QVERIFY(panel);
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->size(), QSize(126, 210));
    QCOMPARE(panel->findChild<QScrollBar *>(QStringLiteral("redBar"))->minimum(), -128);
    QCOMPARE(panel->findChild<QScrollBar *>(QStringLiteral("allBar"))->maximum(), 64);
    QCOMPARE(panel->findChild<QPushButton *>(QStringLiteral("pShow"))->text(), QStringLiteral("&Show"));
    for (QLabel *label : {panel->findChild<QLabel *>(QStringLiteral("redValue")), panel->findChild<QLabel *>(QStringLiteral("greenValue")), panel->findChild<QLabel *>(QStringLiteral("blueValue")), panel->findChild<QLabel *>(QStringLiteral("allValue"))})
        QCOMPARE(label->text(), QStringLiteral("0"));

    // The labels show how much is added: the negated bar values.
    panel->findChild<QScrollBar *>(QStringLiteral("redBar"))->setValue(-40);
    panel->findChild<QScrollBar *>(QStringLiteral("allBar"))->setValue(5);
    QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("redValue"))->text(), QStringLiteral("40"));
    QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("allValue"))->text(), QStringLiteral("-5"));
    QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("pShow")), Qt::LeftButton);
    QCOMPARE(w.pic->image().pixel(0, 0), qRgb(135, 95, 95));
    QCOMPARE(w.pic->image().pixel(1, 0), qRgb(255, 0, 0));
    QVERIFY(panel->isVisible()); // Show leaves the panel open

    // Escape closes the popup; reopened, it shows the last offsets.
    QTest::keyClick(panel, Qt::Key_Escape);
    QTRY_VERIFY(!w.main->currentColorPanel());
    w.main->mpColor->click();
    panel = w.main->currentColorPanel();
    QVERIFY(panel);
    QCOMPARE(panel->findChild<QScrollBar *>(QStringLiteral("redBar"))->value(), -40);
    QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("redValue"))->text(), QStringLiteral("40"));
    QCOMPARE(panel->findChild<QScrollBar *>(QStringLiteral("allBar"))->value(), 5);
    QTest::keyClick(panel, Qt::Key_Escape);
    QTRY_VERIFY(!w.main->currentColorPanel());

    // Another image: the panel opens at 0.
    w.main->mpNext->click();
    QCOMPARE(w.pic->path(), b);
    w.main->mpColor->click();
    panel = w.main->currentColorPanel();
    QVERIFY(panel);
    for (QScrollBar *bar : {panel->findChild<QScrollBar *>(QStringLiteral("redBar")), panel->findChild<QScrollBar *>(QStringLiteral("greenBar")), panel->findChild<QScrollBar *>(QStringLiteral("blueBar")), panel->findChild<QScrollBar *>(QStringLiteral("allBar"))})
        QCOMPARE(bar->value(), 0);
}

void TstEdits::nothingWithoutImageWindow()
{
    Framzo main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    main.mpColor->click();
    QVERIFY(!main.currentColorPanel());
    QVERIFY(!main.findChild<ColorPanel *>());
    main.mpNegative->click(); // no crash, nothing to act on
    QVERIFY(main.mpWorkspace->subWindowList().isEmpty());
}

// ---- timing (run with FRAMZO_BENCH=1) ----------------------------------------------

void TstEdits::benchmark()
{
    if (qEnvironmentVariableIntValue("FRAMZO_BENCH") != 1)
        QSKIP("timing only: run with FRAMZO_BENCH=1");
    const QImage photo = noise(6000, 4000, QImage::Format_RGB32, 61); // 24 megapixels
    auto best = [&](const std::function<void(QImage &)> &work) {
        qint64 fastest = std::numeric_limits<qint64>::max();
        for (int run = 0; run < 7; ++run) {
            QImage img = photo.copy(); // owned alone, as the window's image is
            QElapsedTimer timer;
            timer.start();
            work(img);
            fastest = std::min(fastest, timer.nsecsElapsed());
        }
        return fastest / 1e6;
    };
    const double reference = best([](QImage &img) { img.invertPixels(); });
    const double invert = best([](QImage &img) { img = imageedits::inverted(std::move(img)); });
    const double adjust = best([](QImage &img) { img = imageedits::adjusted(std::move(img), -40, 10, 0, -5); });
    const double rotate = best([](QImage &img) { img = imageedits::rotated(std::move(img), 90); });
    qInfo("24 MP: invertPixels %.1f ms; invert %.1f ms (ratio %.2f); adjust %.1f ms (ratio %.2f); "
          "quarter turn %.1f ms (ratio %.2f); %d threads",
          reference, invert, invert / reference, adjust, adjust / reference, rotate, rotate / reference,
          QThread::idealThreadCount());

    // The same edits as the user meets them: with the redisplay, and the
    // adjustment with its reload from the file.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    QVERIFY(testutil::makeImage(6000, 4000).save(path, "JPEG", 90));
    Window w = open(path);
    QVERIFY(w.pic);
    QElapsedTimer timer;
    timer.start();
    const QImage decoded = imageio::decode(path);
    const double decode = timer.nsecsElapsed() / 1e6;
    QVERIFY(!decoded.isNull());
    timer.restart();
    w.pic->invertColors();
    const double invertWindow = timer.nsecsElapsed() / 1e6;
    timer.restart();
    w.pic->adjustColors(-40, 10, 0, -5);
    const double adjustWindow = timer.nsecsElapsed() / 1e6;
    qInfo("in the window: decode alone %.0f ms; invert with redisplay %.0f ms; adjust with reload and "
          "redisplay %.0f ms",
          decode, invertWindow, adjustWindow);
}

QTEST_MAIN(TstEdits)
#include "tst_edits.moc"
