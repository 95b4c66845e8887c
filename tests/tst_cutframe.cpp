// The cut frame's arithmetic and the mapping of a frame onto image pixels,
// without any window.
#include "core/imageio/resolution.h"
#include "core/cut/capture.h"
#include "core/cut/cutframe.h"
#include "core/cut/framegeometry.h"

#include <QtTest>

namespace {

// A canvas of cw x ch standing for an image of the same size, unless one is
// given.
CutFrame::Surface surface(int cw, int ch, QSize image = QSize(), int dpm = 0)
{
    CutFrame::Surface s;
    s.canvas = QSize(cw, ch);
    s.image = image.isValid() ? image : s.canvas;
    s.dotsPerMeterX = dpm;
    s.dotsPerMeterY = dpm;
    return s;
}

CutFrame::Settings centimetres(const QString &w, const QString &h)
{
    CutFrame::Settings s;
    s.useDpi = true;
    s.widthText = w;
    s.heightText = h;
    return s;
}

// The canvas a photo gets in a 1240 x 900 workspace (display size less 4).
QSize canvasFor(QSize photo)
{
    if (photo == QSize(5640, 3172))
        return {1196, 670};
    if (photo == QSize(1500, 2400))
        return {483, 776};
    if (photo == QSize(6000, 700))
        return {1196, 136};
    return {};
}

CutFrame::Settings ratio(const QString &w, const QString &h, bool free)
{
    CutFrame::Settings s;
    s.widthText = w;
    s.heightText = h;
    s.free = free;
    s.useDpi = false;
    return s;
}

// One resize drag: press on the handle, move to (px, py), release.
bool resizeTo(CutFrame &f, int px, int py, const CutFrame::Settings &s, const CutFrame::Surface &on)
{
    const QPointF h = f.handleRect().center();
    if (f.press(int(h.x()), int(h.y())) != CutFrame::Press::Resize)
        return false;
    const bool applied = f.move(px, py, s, on);
    f.release();
    return applied;
}

bool resizeTo(CutFrame &f, int px, int py, const CutFrame::Settings &s, int cw, int ch)
{
    return resizeTo(f, px, py, s, surface(cw, ch));
}

QSize sizeOf(const CutFrame &f)
{
    return {f.frameWidth, f.frameHeight};
}

} // namespace

class TstCutFrame : public QObject
{
    Q_OBJECT
private slots:
    void firstSize_data()
    {
        QTest::addColumn<int>("rw");
        QTest::addColumn<int>("rh");
        QTest::addColumn<QSize>("canvas");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("13:9 on 800x600") << 13 << 9 << QSize(800, 600) << QSize(793, 549);
        QTest::newRow("height limits") << 4 << 3 << QSize(800, 300) << QSize(396, 297);
        QTest::newRow("exact multiple stays inside") << 10 << 10 << QSize(100, 100) << QSize(90, 90);
        QTest::newRow("ratio wider than canvas") << 13 << 9 << QSize(13, 600) << QSize(0, 0);
        QTest::newRow("empty canvas") << 13 << 9 << QSize(0, 0) << QSize(0, 0);
    }
    void firstSize()
    {
        QFETCH(int, rw);
        QFETCH(int, rh);
        QFETCH(QSize, canvas);
        QFETCH(QSize, expected);
        QCOMPARE(CutFrame::firstSize(rw, rh, canvas.width(), canvas.height()), expected);

        // The same through a drag of the frame.
        CutFrame f;
        QCOMPARE(f.press(10, 10), CutFrame::Press::Move);
        QVERIFY(f.move(10, 10, ratio(QString::number(rw), QString::number(rh), true),
                       surface(canvas.width(), canvas.height())));
        QCOMPARE(sizeOf(f), expected);
        QCOMPARE(f.frameRect().size(), QSizeF(expected));
    }

    void sizeZeroIsWorkedOutOnEveryMove()
    {
        CutFrame f;
        const CutFrame::Settings s = ratio("13", "9", true);
        QCOMPARE(f.press(5, 5), CutFrame::Press::Move);
        QVERIFY(f.move(6, 6, s, surface(12, 600)));
        QCOMPARE(sizeOf(f), QSize(0, 0));
        QVERIFY(f.move(6, 6, s, surface(12, 600)));
        QCOMPARE(sizeOf(f), QSize(0, 0));
        // A larger canvas (the image was replaced) gives a size at the next move.
        QVERIFY(f.move(6, 6, s, surface(800, 600)));
        QCOMPARE(sizeOf(f), QSize(793, 549));
        // Once sized, the size stays.
        QVERIFY(f.move(7, 7, s, surface(1600, 1200)));
        QCOMPARE(sizeOf(f), QSize(793, 549));
    }

    void resize_data()
    {
        QTest::addColumn<bool>("free");
        QTest::addColumn<QPoint>("first");  // a first resize to this point
        QTest::addColumn<QPoint>("second"); // then another one to this
        QTest::addColumn<QSize>("expected");
        // The first resize drag works out 793 x 549, then follows the pointer.
        QTest::newRow("free follows pointer") << true << QPoint(100, 80) << QPoint(200, 150) << QSize(200, 150);
        QTest::newRow("stops at rw by rh") << true << QPoint(100, 80) << QPoint(3, -20) << QSize(13, 9);
        QTest::newRow("not free: 2.5 rw gives 2 x the ratio") << false << QPoint(100, 80) << QPoint(32, 300)
                                                              << QSize(26, 18);
        QTest::newRow("not free: steps of rh") << false << QPoint(100, 80) << QPoint(52, 0) << QSize(52, 36);
        QTest::newRow("past right edge keeps width") << true << QPoint(100, 80) << QPoint(900, 120)
                                                     << QSize(100, 120);
        QTest::newRow("past lower edge keeps whole size") << true << QPoint(100, 80) << QPoint(300, 700)
                                                          << QSize(100, 80);
    }
    void resize()
    {
        QFETCH(bool, free);
        QFETCH(QPoint, first);
        QFETCH(QPoint, second);
        QFETCH(QSize, expected);
        CutFrame f;
        const CutFrame::Settings s = ratio("13", "9", free);
        QVERIFY(resizeTo(f, first.x(), first.y(), s, 800, 600));
        QVERIFY(resizeTo(f, second.x(), second.y(), s, 800, 600));
        QCOMPARE(sizeOf(f), expected);
        QCOMPARE(f.frameX, 0.0);
        QCOMPARE(f.frameY, 0.0);
        QCOMPARE(f.handleRect(), QRectF(expected.width() - 8, expected.height() - 8, 8, 8));
    }

    void moveKeepsFrameOnCanvas_data()
    {
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QPointF>("expected");
        // Frame 100 x 80 at (0, 0) on 800 x 600, grabbed at (50, 40).
        QTest::newRow("inside") << QPoint(150, 240) << QPointF(100, 200);
        QTest::newRow("past right") << QPoint(790, 40) << QPointF(700, 0);
        QTest::newRow("past bottom") << QPoint(50, 600) << QPointF(0, 520);
        QTest::newRow("past top left") << QPoint(-30, -70) << QPointF(0, 0);
    }
    void moveKeepsFrameOnCanvas()
    {
        QFETCH(QPoint, to);
        QFETCH(QPointF, expected);
        CutFrame f;
        const CutFrame::Settings s = ratio("13", "9", true);
        QVERIFY(resizeTo(f, 100, 80, s, 800, 600));
        QCOMPARE(f.press(50, 40), CutFrame::Press::Move);
        QCOMPARE(f.pressX, 50);
        QVERIFY(f.move(to.x(), to.y(), s, surface(800, 600)));
        QCOMPARE(QPointF(f.frameX, f.frameY), expected);
        QCOMPARE(f.frameRect(), QRectF(expected, QSizeF(100, 80)));
        QCOMPARE(sizeOf(f), QSize(100, 80));
    }

    void centimetresInImagePixels_data()
    {
        QTest::addColumn<int>("dpm");
        QTest::addColumn<QSize>("canvas");
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<QString>("readout");
        // A 5640 x 3172 photo shown at three scales; 13 x 9 cm is
        // round(13 x dots per cm) by round(9 x dots per cm) pixels whatever
        // the scale.
        const struct { int dpm; QSize size; const char *text; } sizes[] = {
            {2835, {369, 255}, "Cut: 255 x 369 pixels = 9.0 x 13.0 cm at 72 dpi"},
            {11811, {1535, 1063}, "Cut: 1063 x 1535 pixels = 9.0 x 13.0 cm at 300 dpi"},
            {13780, {1791, 1240}, "Cut: 1240 x 1791 pixels = 9.0 x 13.0 cm at 350 dpi"},
        };
        const struct { const char *name; QSize canvas; } scales[] = {
            {"large window", {1196, 670}}, {"small window", {796, 444}}, {"tiny window", {396, 219}}};
        for (const auto &size : sizes) {
            for (const auto &scale : scales)
                QTest::addRow("%d dpi, %s", resolution::dotsPerInch(size.dpm), scale.name)
                    << size.dpm << scale.canvas << size.size << QString::fromLatin1(size.text);
        }
    }
    void centimetresInImagePixels()
    {
        QFETCH(int, dpm);
        QFETCH(QSize, canvas);
        QFETCH(QSize, expected);
        QFETCH(QString, readout);
        const QSize photo(5640, 3172);
        const CutFrame::Surface on = surface(canvas.width(), canvas.height(), photo, dpm);
        const CutFrame::Settings s = centimetres("13", "9");
        CutFrame f;
        // The handle cannot change the size in this mode.
        QVERIFY(resizeTo(f, 500, 10, s, on));
        QCOMPARE(f.pixelSize(), expected);
        QCOMPARE(f.imageRect(on), QRect(QPoint(0, 0), expected));
        QCOMPARE(f.readout(s, on), readout);
        // Drawn at the canvas's scale.
        QCOMPARE(QSize(f.frameWidth, f.frameHeight),
                 QSize(qRound(expected.width() * double(canvas.width()) / photo.width()),
                       qRound(expected.height() * double(canvas.height()) / photo.height())));

        // Moved into the far corner: the same size, inside the photo.
        QCOMPARE(f.press(2, 2), CutFrame::Press::Move);
        QVERIFY(f.move(100000, 100000, s, on));
        f.release();
        const QRect r = f.imageRect(on);
        QCOMPARE(r.size(), expected);
        QVERIFY(QRect(QPoint(0, 0), photo).contains(r));
        QVERIFY(r.right() >= photo.width() - 1 - photo.width() / canvas.width());
    }

    void centimetresTooLargeForThePhoto_data()
    {
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QString>("message");
        QTest::newRow("both sides") << QSize(1200, 800)
                                    << "13 x 9 cm needs 1791 x 1240 pixels at 350 dpi; this photo has 1200 x 800";
        QTest::newRow("height only") << QSize(2000, 1200)
                                     << "13 x 9 cm needs 1791 x 1240 pixels at 350 dpi; this photo has 2000 x 1200";
    }
    void centimetresTooLargeForThePhoto()
    {
        QFETCH(QSize, photo);
        QFETCH(QString, message);
        const CutFrame::Surface on = surface(photo.width() / 2, photo.height() / 2, photo, 13780);
        CutFrame f;
        QVERIFY(resizeTo(f, 100, 100, centimetres("13", "9"), on));
        QCOMPARE(QSize(f.frameWidth, f.frameHeight), QSize(0, 0));
        QCOMPARE(f.tooSmallFor(), QSize(1791, 1240));
        QVERIFY(f.imageRect(on).isEmpty());
        QCOMPARE(f.readout(centimetres("13", "9"), on), message);

        // Smaller centimetres lay a frame again at once.
        CutFrame again = f;
        QVERIFY(again.fit(centimetres("5", "3"), on));
        QCOMPARE(again.imageRect(on).size(), QSize(689, 413));
        QVERIFY(!again.tooSmallFor().isValid());

        // Ratio mode gives back a frame to grab, which the next drag sizes.
        QVERIFY(f.fit(ratio("13", "9", true), on));
        QCOMPARE(f.frameRect(), QRectF(0, 0, 32, 32));
        QCOMPARE(f.readout(ratio("13", "9", true), on), QStringLiteral("Cut: drag the frame to size it"));
        QCOMPARE(f.press(10, 10), CutFrame::Press::Move);
        QVERIFY(f.move(10, 10, ratio("13", "9", true), on));
        QVERIFY(!f.imageRect(on).isEmpty());
    }

    void centimetrePixels_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("dpm");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("pixels");
        QTest::newRow("13 cm at 350 dpi") << "13" << 13780 << true << 1791;
        // 72 dpi is stored as 2835 dots per metre: 10 cm is 283.46 pixels at
        // 72 dpi, not 283.5 that rounds up.
        QTest::newRow("15 cm at 72 dpi") << "15" << 2835 << true << 425;
        QTest::newRow("10 cm at 72 dpi") << "10" << 2835 << true << 283;
        QTest::newRow("10 cm at 72 dpi truncated") << "10" << 2834 << true << 283;
        QTest::newRow("dots per metre of no whole dpi") << "2.5" << 4000 << true << 100;
        QTest::newRow("no resolution") << "13" << 0 << true << 0;
        QTest::newRow("text") << "ab" << 2834 << false << 0;
        QTest::newRow("negative") << "-3" << 2834 << false << 0;
        QTest::newRow("infinite") << "inf" << 2834 << false << 0;
        QTest::newRow("not a number") << "nan" << 2834 << false << 0;
        QTest::newRow("absurd resolution") << "9999" << 2000000000 << false << 0;
    }
    void centimetrePixels()
    {
        QFETCH(QString, text);
        QFETCH(int, dpm);
        QFETCH(bool, accepted);
        QFETCH(int, pixels);
        int got = -1;
        QCOMPARE(framegeometry::centimetrePixels(text, dpm, &got), accepted);
        if (accepted)
            QCOMPARE(got, pixels);
    }

    void ratioCutKeepsTheRatio_data()
    {
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<bool>("free");
        QTest::addColumn<QPoint>("resize"); // (0, 0): the first size only
        for (const QSize photo : {QSize(5640, 3172), QSize(1500, 2400), QSize(6000, 700)}) {
            const QByteArray name = QByteArray::number(photo.width()) + "x" + QByteArray::number(photo.height());
            QTest::newRow(name + ", first size, free") << photo << true << QPoint();
            QTest::newRow(name + ", first size") << photo << false << QPoint();
            QTest::newRow(name + ", resized") << photo << false << QPoint(140, 100);
        }
    }
    void ratioCutKeepsTheRatio()
    {
        QFETCH(QSize, photo);
        QFETCH(bool, free);
        QFETCH(QPoint, resize);
        const QSize canvas = canvasFor(photo);
        const CutFrame::Surface on = surface(canvas.width(), canvas.height(), photo, 13780);
        const CutFrame::Settings s = ratio("13", "9", free);
        CutFrame f;
        QCOMPARE(f.press(10, 10), CutFrame::Press::Move);
        QVERIFY(f.move(10, 10, s, on));
        f.release();
        if (!resize.isNull())
            QVERIFY(resizeTo(f, resize.x(), resize.y(), s, on));
        // On the canvas: a whole multiple of the ratio.
        QVERIFY(f.frameWidth > 0);
        QCOMPARE(f.frameWidth % 13, 0);
        QCOMPARE(f.frameHeight * 13, f.frameWidth * 9);

        // In every corner the cut's height is its width x 9 / 13, rounded,
        // inside the photo.
        for (const QPoint to : {QPoint(-9999, -9999), QPoint(9999, 9999), QPoint(9999, -9999), QPoint(-9999, 9999)}) {
            QCOMPARE(f.press(int(f.frameX) + 1, int(f.frameY) + 1), CutFrame::Press::Move);
            QVERIFY(f.move(to.x(), to.y(), s, on));
            f.release();
            const QRect r = f.imageRect(on);
            QVERIFY2(QRect(QPoint(0, 0), photo).contains(r), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                         .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
            QVERIFY(r.width() > 0);
            QCOMPARE(r.height(), qRound(r.width() * 9.0 / 13));
        }

        // After a free handle drag the shape is the user's: each side scaled
        // on its own.
        if (free) {
            QVERIFY(resizeTo(f, int(f.frameX) + 101, int(f.frameY) + 37, s, on));
            QCOMPARE(f.ratio(), QSize());
            QCOMPARE(f.imageRect(on),
                     capture::imageRect(photo, canvas, f.frameX, f.frameY, f.frameWidth, f.frameHeight));
        }
    }

    void fitOntoAnotherPhoto_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QSize>("photo"); // the next photo, shown on its own canvas
        QTest::addColumn<int>("dpm");
        QTest::addColumn<QRectF>("frame"); // where the frame is put
        QTest::addColumn<QSize>("cut");    // checked when valid
        // Laid on a 5640 x 3172 photo at 350 dpi (canvas 1196 x 670) and
        // pushed into its lower right corner first.
        QTest::newRow("free shape, to a portrait") << "free" << QSize(1500, 2400) << 13780
                                                   << QRectF(0, 20, 483, 650) << QSize();
        QTest::newRow("13:9, to a portrait") << "ratio" << QSize(1500, 2400) << 13780
                                             << QRectF(2, 4, 481, 333) << QSize();
        QTest::newRow("13:9, to a panorama") << "ratio" << QSize(6000, 700) << 13780
                                             << QRectF(234, 1, 195, 135) << QSize();
        // A centimetre frame keeps its place as a ratio frame does: in the corner.
        QTest::newRow("centimetres, to 72 dpi") << "cm" << QSize(1500, 2400) << 2835
                                                << QRectF(364, 694, 119, 82) << QSize(369, 255);
        QTest::newRow("centimetres, too small") << "cm" << QSize(1500, 2400) << 13780
                                                << QRectF(483, 776, 0, 0) << QSize(0, 0);
    }
    void fitOntoAnotherPhoto()
    {
        QFETCH(QString, mode);
        QFETCH(QSize, photo);
        QFETCH(int, dpm);
        QFETCH(QRectF, frame);
        QFETCH(QSize, cut);
        const CutFrame::Settings s = mode == "cm" ? centimetres("13", "9") : ratio("13", "9", mode == "free");
        const CutFrame::Surface first = surface(1196, 670, QSize(5640, 3172), 13780);
        CutFrame f;
        if (mode == "ratio") { // the first size: 962 x 666
            QCOMPARE(f.press(10, 10), CutFrame::Press::Move);
            QVERIFY(f.move(10, 10, s, first));
            f.release();
        } else {
            QVERIFY(resizeTo(f, 1150, 650, s, first));
        }
        QCOMPARE(f.press(int(f.frameX) + 1, int(f.frameY) + 1), CutFrame::Press::Move);
        QVERIFY(f.move(9999, 9999, s, first));
        f.release();

        const QSize canvas = canvasFor(photo);
        const CutFrame::Surface next = surface(canvas.width(), canvas.height(), photo, dpm);
        QVERIFY(f.fit(s, next));
        QCOMPARE(f.frameRect(), frame);
        const QRect r = f.imageRect(next);
        QVERIFY(QRect(QPoint(0, 0), photo).contains(r) || r.isEmpty());
        if (cut.isValid())
            QCOMPARE(r.size(), cut);
        if (mode == "ratio")
            QCOMPARE(r.height(), qRound(r.width() * 9.0 / 13));
    }

    void followKeepsTheRelativePlace_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QRect>("laid"); // on a 1196 x 670 canvas of a 5640 x 3172 photo at 350 dpi
        QTest::addColumn<QSize>("photo"); // the next photo
        QTest::addColumn<QSize>("canvas"); // its canvas
        QTest::addColumn<int>("dpm");
        QTest::addColumn<QRectF>("expected");
        // 40 x 13 : 9 is 40 / 74 of the largest 13 : 9 frame there.
        QTest::newRow("13:9 in the middle, to a portrait")
            << "ratio" << QRect(338, 155, 520, 360) << QSize(1500, 2400) << QSize(483, 776) << 13780
            << QRectF(112, 298, 260, 180);
        QTest::newRow("13:9 in the lower right corner, to a panorama")
            << "ratio" << QRect(676, 310, 520, 360) << QSize(6000, 700) << QSize(1196, 136) << 13780
            << QRectF(1092, 64, 104, 72);
        QTest::newRow("the largest 13:9 stays the largest")
            << "ratio" << QRect(117, 2, 962, 666) << QSize(5640, 2358) << QSize(1196, 500) << 13780
            << QRectF(241, 3, 715, 495);
        QTest::newRow("free shape, half the photo at the lower left, to a portrait")
            << "free" << QRect(0, 335, 598, 335) << QSize(1500, 2400) << QSize(483, 776) << 13780
            << QRectF(0, 388, 242, 388);
        QTest::newRow("13 x 9 cm in the lower right corner, to 72 dpi")
            << "cm" << QRect(816, 408, 380, 262) << QSize(1500, 2400) << QSize(483, 776) << 2835
            << QRectF(364, 694, 119, 82);
        QTest::newRow("never laid: stays") << "none" << QRect(0, 0, 32, 32) << QSize(1500, 2400) << QSize(483, 776)
                                           << 13780 << QRectF(0, 0, 32, 32);
    }
    void followKeepsTheRelativePlace()
    {
        QFETCH(QString, mode);
        QFETCH(QRect, laid);
        QFETCH(QSize, photo);
        QFETCH(QSize, canvas);
        QFETCH(int, dpm);
        QFETCH(QRectF, expected);
        const CutFrame::Settings s = mode == "cm" ? centimetres("13", "9") : ratio("13", "9", mode == "free");
        const CutFrame::Surface first = surface(1196, 670, QSize(5640, 3172), 13780);
        CutFrame f;
        if (mode == "free") {
            QVERIFY(resizeTo(f, laid.width(), laid.height(), s, first));
        } else if (mode != "none") {
            QCOMPARE(f.press(10, 10), CutFrame::Press::Move); // the first size
            QVERIFY(f.move(10, 10, s, first));
            f.release();
            if (mode == "ratio" && laid.width() < f.frameWidth)
                QVERIFY(resizeTo(f, laid.width() + 5, 0, s, first));
        }
        if (mode != "none") {
            const QPoint grip(int(f.frameX) + 1, int(f.frameY) + 1);
            QCOMPARE(f.press(grip.x(), grip.y()), CutFrame::Press::Move);
            QVERIFY(f.move(grip.x() + laid.x() - int(f.frameX), grip.y() + laid.y() - int(f.frameY), s, first));
            f.release();
        }
        QCOMPARE(f.frameRect(), QRectF(laid));

        const CutFrame::Placement place = f.placement(first.canvas);
        const CutFrame::Surface next = surface(canvas.width(), canvas.height(), photo, dpm);
        QCOMPARE(f.follow(place, s, next), mode != "none");
        QCOMPARE(f.frameRect(), expected);
        if (mode == "ratio") {
            const QRect r = f.imageRect(next);
            QVERIFY(QRect(QPoint(0, 0), photo).contains(r));
            QCOMPARE(r.height(), qRound(r.width() * 9.0 / 13));
        }
    }

    void centimetreFrameStaysCentred_data()
    {
        // Photos the frame steps through one after another, each "w x h @ dpi";
        // "auto" turns the numbers to each photo.
        QTest::addColumn<QString>("start"); // where C centres the frame
        QTest::addColumn<QStringList>("photos");
        const QString first = QStringLiteral("5640x3172@350");
        QTest::newRow("to 300 dpi, same shape") << first << QStringList{"5616x3744@300"};
        QTest::newRow("to a portrait at 240 dpi") << first << QStringList{"3000x4500@240"};
        QTest::newRow("through 72 dpi and a square")
            << first << QStringList{"1500x1000@72", "4000x4000@300", "6000x4000@350"};
        QTest::newRow("past a photo too small, back to a large one")
            << first << QStringList{"1680x1050@300", "1200x800@350", "4500x3000@240"};
        QTest::newRow("a panorama and a tall one at 350") << first << QStringList{"9000x2000@350", "2000x9000@350"};
        QTest::newRow("centred on a photo too small") << "1200x800@350" << QStringList{"4000x3000@350"};
    }
    void centimetreFrameStaysCentred()
    {
        QFETCH(QString, start);
        QFETCH(QStringList, photos);
        auto parse = [](const QString &text) {
            const QStringList parts = text.split(QRegularExpression(QStringLiteral("[x@]")));
            CutFrame::Surface on;
            on.image = QSize(parts.at(0).toInt(), parts.at(1).toInt());
            on.dotsPerMeterX = on.dotsPerMeterY = qRound(parts.at(2).toInt() / 0.0254);
            // The canvas a 1200 x 900 workspace gives it.
            const double scale = qMin(1196.0 / on.image.width(), 896.0 / on.image.height());
            on.canvas = QSize(qRound(on.image.width() * scale), qRound(on.image.height() * scale));
            return on;
        };
        CutFrame::Settings s = centimetres("13", "9");
        CutFrame::Surface on = parse(start);
        CutFrame f;
        QVERIFY(f.centre(s, on));
        for (const QString &photo : std::as_const(photos)) {
            const CutFrame::Surface next = parse(photo);
            // As an image window steps: the header gives the size before the
            // resolution is known, "auto" turns the frame to the photo, then
            // the resolution comes with the pixels on the same canvas.
            const CutFrame::Placement place = f.placement(on.canvas);
            CutFrame::Surface header = next;
            header.dotsPerMeterX = on.dotsPerMeterX;
            header.dotsPerMeterY = on.dotsPerMeterY;
            f.follow(place, s, header);
            const auto wanted = framegeometry::orientationOf(next.image.width(), next.image.height());
            if (framegeometry::orientationOf(s.widthText, s.heightText) == framegeometry::opposite(wanted)) {
                std::swap(s.widthText, s.heightText);
                f.turn(s, header);
            }
            f.fit(s, next);
            on = next;

            int pw = 0;
            int ph = 0;
            QVERIFY(framegeometry::centimetrePixels(s.widthText, next.dotsPerMeterX, &pw));
            QVERIFY(framegeometry::centimetrePixels(s.heightText, next.dotsPerMeterY, &ph));
            const QRect r = f.imageRect(next);
            if (pw > next.image.width() || ph > next.image.height()) {
                QVERIFY2(r.isEmpty(), qPrintable(photo));
                continue;
            }
            QCOMPARE(r.size(), QSize(pw, ph));
            QVERIFY2(qAbs(r.x() - (next.image.width() - pw) / 2.0) <= 1.0, qPrintable(photo));
            QVERIFY2(qAbs(r.y() - (next.image.height() - ph) / 2.0) <= 1.0, qPrintable(photo));
            // The drawn frame is centred too, to the canvas unit.
            const QRectF drawn = f.frameRect();
            QVERIFY2(qAbs(drawn.center().x() - next.canvas.width() / 2.0) <= 1.0, qPrintable(photo));
            QVERIFY2(qAbs(drawn.center().y() - next.canvas.height() / 2.0) <= 1.0, qPrintable(photo));
        }
    }

    void unusableRatioChangesNothing_data()
    {
        QTest::addColumn<QString>("w");
        QTest::addColumn<QString>("h");
        QTest::newRow("zero width") << "0" << "9";
        QTest::newRow("zero height") << "13" << "0";
        QTest::newRow("negative") << "-13" << "9";
        QTest::newRow("decimal") << "13.5" << "9";
        QTest::newRow("text") << "abc" << "9";
        QTest::newRow("empty") << "13" << "";
    }
    void unusableRatioChangesNothing()
    {
        QFETCH(QString, w);
        QFETCH(QString, h);
        const CutFrame::Settings bad = ratio(w, h, false);
        CutFrame f;
        QCOMPARE(f.press(10, 10), CutFrame::Press::Move);
        QVERIFY(!f.move(60, 60, bad, surface(800, 600)));
        QCOMPARE(sizeOf(f), QSize(0, 0));
        QCOMPARE(f.frameRect(), QRectF(0, 0, 32, 32));
        f.release();

        // A frame that has a size can still be moved, but not resized.
        QVERIFY(resizeTo(f, 100, 80, ratio("13", "9", true), 800, 600));
        QCOMPARE(f.press(50, 40), CutFrame::Press::Move);
        QVERIFY(f.move(60, 50, bad, surface(800, 600)));
        QCOMPARE(QPointF(f.frameX, f.frameY), QPointF(10, 10));
        f.release();
        QVERIFY(!resizeTo(f, 300, 300, bad, 800, 600));
        QCOMPARE(sizeOf(f), QSize(100, 80));
    }

    void pressTargets_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("expected");
        // The default frame: (0, 0) 32 x 32, handle (24, 24) 8 x 8.
        QTest::newRow("handle") << QPoint(26, 27) << int(CutFrame::Press::Resize);
        QTest::newRow("handle corner") << QPoint(24, 24) << int(CutFrame::Press::Resize);
        QTest::newRow("handle outer edge") << QPoint(32, 32) << int(CutFrame::Press::Resize);
        QTest::newRow("frame") << QPoint(23, 5) << int(CutFrame::Press::Move);
        QTest::newRow("frame edge") << QPoint(0, 32) << int(CutFrame::Press::Move);
        QTest::newRow("outside right") << QPoint(33, 5) << int(CutFrame::Press::Nothing);
        QTest::newRow("outside above") << QPoint(5, -1) << int(CutFrame::Press::Nothing);
    }
    void pressTargets()
    {
        QFETCH(QPoint, at);
        QFETCH(int, expected);
        CutFrame f;
        QCOMPARE(int(f.press(at.x(), at.y())), expected);
        QCOMPARE(f.resizing, expected == int(CutFrame::Press::Resize));
        QCOMPARE(f.moving, expected == int(CutFrame::Press::Move));
        // Without a drag, moves change nothing.
        if (expected == int(CutFrame::Press::Nothing)) {
            QVERIFY(!f.move(100, 100, CutFrame::Settings(), surface(800, 600)));
            QCOMPARE(f.frameRect(), QRectF(0, 0, 32, 32));
        }
    }

    void hiddenFrame()
    {
        CutFrame f;
        QCOMPARE(f.press(10, 10), CutFrame::Press::Move);
        f.shown = false;
        QVERIFY(!f.move(50, 50, CutFrame::Settings(), surface(800, 600)));
        QCOMPARE(f.press(10, 10), CutFrame::Press::Nothing);
        QVERIFY(f.moving); // a hidden frame's press leaves the drag state alone
        f.release();
        QVERIFY(!f.moving);
        QVERIFY(!f.resizing);
        QCOMPARE(f.frameRect(), QRectF(0, 0, 32, 32));
    }

    void suffixNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("expected");
        QTest::newRow("print size") << "IMG_0412.jpg" << "13" << "9" << "IMG_0412_13x9.jpg";
        QTest::newRow("portrait, in a folder") << "/cuts/IMG_0412.JPG" << "9" << "13" << "/cuts/IMG_0412_9x13.JPG";
        QTest::newRow("decimal centimetres") << "a.b.png" << "10.5" << "15" << "a.b_10.5x15.png";
        QTest::newRow("no ending") << "scan" << "3" << "2" << "scan_3x2";
        QTest::newRow("hidden name") << ".photo" << "3" << "2" << ".photo_3x2";
        QTest::newRow("dot in the folder only") << "/x.y/scan" << "3" << "2" << "/x.y/scan_3x2";
        QTest::newRow("a number that is no size") << "a.jpg" << "-3" << "2" << "a.jpg";
        QTest::newRow("a path in the field") << "a.jpg" << "../3" << "2" << "a.jpg";
        QTest::newRow("zero") << "a.jpg" << "0" << "2" << "a.jpg";
    }
    void suffixNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, expected);
        QCOMPARE(capture::withSuffix(name, capture::sizeSuffix(width, height)), expected);
    }

    void imageRect_data()
    {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QSize>("canvas");
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<QRect>("expected");
        // 4000 / 796 * 700 = 3517.6; 3000 / 596 * 100 = 503.4; 4000 / 796 * 79 = 396.98
        QTest::newRow("canvas, not display, width") << QSize(4000, 3000) << QSize(796, 596)
                                                    << QRectF(700, 100, 79, 59) << QRect(3517, 503, 396, 296);
        QTest::newRow("same size") << QSize(800, 600) << QSize(800, 600) << QRectF(13, 9, 26, 18)
                                   << QRect(13, 9, 26, 18);
        QTest::newRow("negative position") << QSize(800, 600) << QSize(400, 300) << QRectF(-5, -1, 10, 10)
                                           << QRect(0, 0, 20, 20);
        QTest::newRow("empty canvas") << QSize(800, 600) << QSize(0, 300) << QRectF(0, 0, 10, 10) << QRect();
        QTest::newRow("never sized") << QSize(800, 600) << QSize(796, 596) << QRectF(0, 0, 0, 0)
                                     << QRect(0, 0, 0, 0);
        QTest::newRow("overflowing") << QSize(2000000000, 10) << QSize(1, 1) << QRectF(0, 0, 16, 1) << QRect();
        QTest::newRow("past the image: clipped") << QSize(800, 600) << QSize(400, 300) << QRectF(350, 250, 100, 100)
                                                 << QRect(700, 500, 100, 100);
    }
    void imageRect()
    {
        QFETCH(QSize, image);
        QFETCH(QSize, canvas);
        QFETCH(QRectF, frame);
        QFETCH(QRect, expected);
        const QRect r = capture::imageRect(image, canvas, frame.x(), frame.y(), int(frame.width()),
                                           int(frame.height()));
        QCOMPARE(r, expected);
        QCOMPARE(r.isNull(), expected.isNull());
    }
};

QTEST_GUILESS_MAIN(TstCutFrame)
#include "tst_cutframe.moc"
