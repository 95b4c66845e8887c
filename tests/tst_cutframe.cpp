// The cut frame's arithmetic and the mapping of a frame onto image pixels,
// without any window.
#include "picture/capture.h"
#include "picture/cutframe.h"

#include <QtTest>

namespace {

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
bool resizeTo(CutFrame &f, int px, int py, const CutFrame::Settings &s, int cw, int ch)
{
    const QPointF h = f.handleRect().center();
    if (f.press(int(h.x()), int(h.y())) != CutFrame::Press::Resize)
        return false;
    const bool applied = f.move(px, py, s, cw, ch, 0, 0);
    f.release();
    return applied;
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
        QVERIFY(f.move(10, 10, ratio(QString::number(rw), QString::number(rh), true), canvas.width(),
                       canvas.height(), 0, 0));
        QCOMPARE(sizeOf(f), expected);
        QCOMPARE(f.frameRect().size(), QSizeF(expected));
    }

    void sizeZeroIsWorkedOutOnEveryMove()
    {
        CutFrame f;
        const CutFrame::Settings s = ratio("13", "9", true);
        QCOMPARE(f.press(5, 5), CutFrame::Press::Move);
        QVERIFY(f.move(6, 6, s, 12, 600, 0, 0));
        QCOMPARE(sizeOf(f), QSize(0, 0));
        QVERIFY(f.move(6, 6, s, 12, 600, 0, 0));
        QCOMPARE(sizeOf(f), QSize(0, 0));
        // A larger canvas (the image was replaced) gives a size at the next move.
        QVERIFY(f.move(6, 6, s, 800, 600, 0, 0));
        QCOMPARE(sizeOf(f), QSize(793, 549));
        // Once sized, the size stays.
        QVERIFY(f.move(7, 7, s, 1600, 1200, 0, 0));
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
        QTest::newRow("not free: 2.5 rw gives 2 rh") << false << QPoint(100, 80) << QPoint(32, 300)
                                                     << QSize(32, 18);
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
        QVERIFY(f.move(to.x(), to.y(), s, 800, 600, 0, 0));
        QCOMPARE(QPointF(f.frameX, f.frameY), expected);
        QCOMPARE(f.frameRect(), QRectF(expected, QSizeF(100, 80)));
        QCOMPARE(sizeOf(f), QSize(100, 80));
    }

    void centimetres_data()
    {
        QTest::addColumn<QSize>("canvas");
        QTest::newRow("large display") << QSize(1200, 900);
        QTest::newRow("small display") << QSize(200, 150);
    }
    void centimetres()
    {
        QFETCH(QSize, canvas);
        CutFrame f;
        CutFrame::Settings s;
        s.useDpi = true;
        s.widthText = "13";
        s.heightText = "9";
        QCOMPARE(f.press(28, 28), CutFrame::Press::Resize);
        QVERIFY(f.move(500, 10, s, canvas.width(), canvas.height(), 2834, 2834));
        // The handle cannot change the size in this mode.
        QCOMPARE(sizeOf(f), QSize(368, 255));
        f.release();
        // A frame larger than the canvas sits at 0 and sticks out.
        QCOMPARE(f.press(10, 10), CutFrame::Press::Move);
        QVERIFY(f.move(300, 300, s, canvas.width(), canvas.height(), 2834, 2834));
        QCOMPARE(sizeOf(f), QSize(368, 255));
        if (canvas.width() < 368)
            QCOMPARE(f.frameX, 0.0);
        else
            QCOMPARE(f.frameX, qMin(290.0, double(canvas.width() - 368)));
    }

    void centimetresRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("dpm");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("units");
        QTest::newRow("decimal") << "2.5" << 3780 << true << 94;
        QTest::newRow("no resolution") << "13" << 0 << true << 0;
        QTest::newRow("text") << "ab" << 2834 << false << 0;
        QTest::newRow("negative") << "-3" << 2834 << false << 0;
        QTest::newRow("infinite") << "inf" << 2834 << false << 0;
        QTest::newRow("not a number") << "nan" << 2834 << false << 0;
        QTest::newRow("absurd resolution") << "9999" << 2000000000 << false << 0;
    }
    void centimetresRefused()
    {
        QFETCH(QString, text);
        QFETCH(int, dpm);
        QFETCH(bool, accepted);
        QFETCH(int, units);
        int got = -1;
        QCOMPARE(CutFrame::parseCentimetres(text, dpm, &got), accepted);
        if (accepted)
            QCOMPARE(got, units);
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
        QVERIFY(!f.move(60, 60, bad, 800, 600, 0, 0));
        QCOMPARE(sizeOf(f), QSize(0, 0));
        QCOMPARE(f.frameRect(), QRectF(0, 0, 32, 32));
        f.release();

        // A frame that has a size can still be moved, but not resized.
        QVERIFY(resizeTo(f, 100, 80, ratio("13", "9", true), 800, 600));
        QCOMPARE(f.press(50, 40), CutFrame::Press::Move);
        QVERIFY(f.move(60, 50, bad, 800, 600, 0, 0));
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
            QVERIFY(!f.move(100, 100, CutFrame::Settings(), 800, 600, 0, 0));
            QCOMPARE(f.frameRect(), QRectF(0, 0, 32, 32));
        }
    }

    void hiddenFrame()
    {
        CutFrame f;
        QCOMPARE(f.press(10, 10), CutFrame::Press::Move);
        f.shown = false;
        QVERIFY(!f.move(50, 50, CutFrame::Settings(), 800, 600, 0, 0));
        QCOMPARE(f.press(10, 10), CutFrame::Press::Nothing);
        QVERIFY(f.moving); // a hidden frame's press leaves the drag state alone
        f.release();
        QVERIFY(!f.moving);
        QVERIFY(!f.resizing);
        QCOMPARE(f.frameRect(), QRectF(0, 0, 32, 32));
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
