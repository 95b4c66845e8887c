// The photo model without a window: how far reading has come, the edits
// and their undo, the modified flag, and the writes it reports back. This
// program links the core library alone.

#include "core/cut/capture.h"
#include "core/imageio/imageio.h"
#include "core/photo/imageedits.h"
#include "core/photo/photo.h"
#include "core/photo/zoomstate.h"
#include "testutil.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

namespace {

const QSize kWorkspace(800, 600);

// Opens path and waits until the photo has read it in full.
bool openAndLoad(Photo &photo, const QString &path)
{
    if (!photo.open(path))
        return false;
    photo.load(kWorkspace);
    return QTest::qWaitFor([&photo] { return photo.isIdle(); });
}

} // namespace

class TstPhoto : public QObject
{
    Q_OBJECT

private slots:
    // Zoom steps land on the same scales every time, fitting is never
    // stepped below, and a small photo fitted above 100 % still zooms.
    void zoomSteps_data()
    {
        QTest::addColumn<double>("fit");
        QTest::addColumn<QString>("keys"); // i: in, o: out, 1: 100 %, f: fit
        QTest::addColumn<double>("scale");
        QTest::addColumn<bool>("fitted");
        QTest::newRow("in from fit") << 0.13 << "i" << 1.0 / 6 << false;
        QTest::newRow("in past fit on a step") << 0.5 << "i" << 2.0 / 3 << false;
        QTest::newRow("out below fit fits") << 0.13 << "ii" "o" "o" << 0.13 << true;
        QTest::newRow("out from fit stays") << 0.13 << "o" << 0.13 << true;
        QTest::newRow("100 % then in") << 0.2 << "1i" << 1.5 << false;
        QTest::newRow("to the largest") << 0.2 << "1iiiiiiiii" << 8.0 << false;
        QTest::newRow("small photo fitted large") << 3.0 << "1o" << 2.0 / 3 << false;
        QTest::newRow("back to fit") << 0.3 << "1if" << 0.3 << true;
    }
    void zoomSteps()
    {
        QFETCH(double, fit);
        QFETCH(QString, keys);
        ZoomState zoom;
        zoom.setFitScale(fit);
        for (QChar key : keys) {
            switch (key.toLatin1()) {
            case 'i': zoom.zoomIn(); break;
            case 'o': zoom.zoomOut(); break;
            case '1': zoom.setScale(1); break;
            default: zoom.fit(); break;
            }
        }
        QTEST(zoom.scale(), "scale");
        QTEST(zoom.isFit(), "fitted");
    }

    void loadStates_data()
    {
        QTest::addColumn<QByteArray>("format"); // empty: not an image
        QTest::addColumn<int>("state");
        QTest::newRow("jpeg") << QByteArray("jpeg") << int(Photo::State::Full);
        QTest::newRow("png") << QByteArray("png") << int(Photo::State::Full);
        QTest::newRow("words named .jpg") << QByteArray() << int(Photo::State::Failed);
    }
    // The header first, then the display copy, then the full image; a file
    // that is no image fails, and the image shown before it stays.
    void loadStates()
    {
        QFETCH(QByteArray, format);
        QFETCH(int, state);
        QTemporaryDir dir;
        const QString before = dir.filePath("before.png");
        const QString path = dir.filePath("photo.jpg");
        QVERIFY(testutil::writeImage(before, 30, 20, "png"));
        QVERIFY(format.isEmpty() ? testutil::writeBytes(path, "no pixels here\n")
                                 : testutil::writeImage(path, 64, 48, format));

        Photo photo;
        QVERIFY(!photo.open(dir.filePath("missing.jpg")));
        QCOMPARE(photo.state(), Photo::State::Empty);
        QVERIFY(openAndLoad(photo, before));

        QSignalSpy displayed(&photo, &Photo::displayed);
        QSignalSpy loaded(&photo, &Photo::loaded);
        QVERIFY(photo.open(path));
        QCOMPARE(photo.state(), Photo::State::Header);
        QCOMPARE(photo.headerSize(), format.isEmpty() ? QSize() : QSize(64, 48));
        photo.load(kWorkspace);
        QTRY_COMPARE(loaded.size(), 1);
        QCOMPARE(int(photo.state()), state);
        QCOMPARE(displayed.size(), 1);
        const bool ok = !format.isEmpty();
        QCOMPARE(photo.image().size(), ok ? QSize(64, 48) : QSize(30, 20));
        QCOMPARE(photo.isFromFile(), ok);
        QCOMPARE(photo.isModified(), false);
        QCOMPARE(photo.folderEntries(), QStringList({"before.png", "photo.jpg"}));
    }

    void editsAndUndo_data()
    {
        // R right, L left, I invert, A adjust, Z zero adjust, u undo, r redo;
        // what the image must be then: O the original, T turned right,
        // P the original inverted, C the original adjusted.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QChar>("image");
        QTest::addColumn<bool>("modified");
        QTest::newRow("turn") << "R" << QChar('T') << true;
        QTest::newRow("turn and back") << "RL" << QChar('O') << false;
        QTest::newRow("four turns") << "RRRR" << QChar('O') << false;
        QTest::newRow("turn undone") << "Ru" << QChar('O') << false;
        QTest::newRow("turn undone, redone") << "Rur" << QChar('T') << true;
        QTest::newRow("invert") << "I" << QChar('P') << true;
        QTest::newRow("colours by nothing") << "Z" << QChar('O') << false;
        QTest::newRow("colours drop a turn") << "RA" << QChar('C') << true;
        QTest::newRow("colours undone give the turn back") << "RAu" << QChar('T') << true;
        QTest::newRow("colours in a row undone at once") << "RAAu" << QChar('T') << true;
        QTest::newRow("all undone") << "RIAuuu" << QChar('O') << false;
        QTest::newRow("all undone, then redone") << "RIuurr" << QChar('U') << true;
        QTest::newRow("undo past the start") << "Iuu" << QChar('O') << false;
    }
    // Every edit is a command of the undo stack; undoing gives back exactly
    // the pixels before it, and the modified flag follows the pixels, not
    // the count of edits.
    void editsAndUndo()
    {
        QFETCH(QString, steps);
        QFETCH(QChar, image);
        QFETCH(bool, modified);
        QTemporaryDir dir;
        const QString path = dir.filePath("p.png");
        // Alpha, so that an inversion cannot be undone by inverting again.
        const QImage original = testutil::makeImage(40, 30, QImage::Format_ARGB32);
        QVERIFY(original.save(path, "png"));
        Photo photo;
        QVERIFY(openAndLoad(photo, path));
        const QImage read = photo.image();
        for (const QChar step : steps) {
            switch (step.toLatin1()) {
            case 'R': photo.rotate(90); break;
            case 'L': photo.rotate(270); break;
            case 'I': photo.invert(); break;
            case 'A': photo.adjustColours({10, -5, 0, 3}); break;
            case 'Z': photo.adjustColours({}); break;
            case 'u': photo.undo(); break;
            case 'r': photo.redo(); break;
            }
        }
        QImage expected = read;
        switch (image.toLatin1()) {
        case 'T': expected = imageedits::rotated(read, 90); break;
        case 'P': expected = imageedits::inverted(read); break;
        case 'C': expected = imageedits::adjusted(read, 10, -5, 0, 3); break;
        case 'U': expected = imageedits::inverted(imageedits::rotated(read, 90)); break;
        }
        QCOMPARE(photo.image(), expected);
        QCOMPARE(photo.isModified(), modified);
    }

    // A save marks the edits saved without reading the file again: they
    // stay undoable, and undoing a turn after a lossless save is a turn
    // relative to the file just written.
    void saveKeepsTheEditsUndoable()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.jpg");
        QVERIFY(testutil::writeImage(path, 64, 32, "jpeg"));
        Photo photo;
        QVERIFY(openAndLoad(photo, path));
        QSignalSpy modified(&photo, &Photo::modifiedChanged);
        photo.rotate(90);
        QCOMPARE(photo.quarterTurnsFromFile(), 1);
        QSignalSpy saved(&photo, &Photo::saved);
        photo.save({});
        QVERIFY(!photo.isIdle()); // written on a worker
        QVERIFY(saved.wait());
        QCOMPARE(saved.first().first().value<capture::Result>().path, path);
        QCOMPARE(imageio::probeSize(path), QSize(32, 64));
        QVERIFY(!photo.isModified());
        QCOMPARE(modified.size(), 2); // on with the turn, off with the save
        QVERIFY(photo.undoStack()->canUndo());
        photo.undo();
        QCOMPARE(photo.image().size(), QSize(64, 32));
        QVERIFY(photo.isModified());
        QCOMPARE(photo.quarterTurnsFromFile(), 3);
    }

    // Writes run one after another, in the order asked; a cut asked for
    // while the photo is still read waits for its full image; a failed
    // write reports why and leaves the photo as it was.
    void writesReportBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.png");
        QVERIFY(testutil::writeImage(path, 300, 200, "png"));
        const QString cuts = dir.filePath("cuts");
        QVERIFY(QDir().mkpath(cuts));
        Photo photo;
        QSignalSpy cut(&photo, &Photo::cutDone);
        QVERIFY(photo.open(path));
        photo.load(kWorkspace);
        photo.whenIdle([&] { photo.cut(QRect(10, 20, 100, 50), cuts, {}, capture::Naming::KeepEarlier); });
        photo.whenIdle([&] { photo.cut(QRect(0, 0, 30, 30), cuts, {}, capture::Naming::KeepEarlier); });
        QTRY_COMPARE(cut.size(), 2);
        QCOMPARE(cut.at(0).first().value<capture::Result>().size, QSize(100, 50));
        QCOMPARE(cut.at(1).first().value<capture::Result>().path, cuts + "/p_1.png");
        QCOMPARE(QImage(cuts + "/p.png"), photo.image().copy(10, 20, 100, 50));

        photo.rotate(90);
        QSignalSpy saved(&photo, &Photo::saved);
        photo.whenIdle([&] { photo.saveAs(dir.filePath("gone/q.png"), "png", {}); });
        QVERIFY(saved.wait());
        const auto failed = saved.first().first().value<capture::Result>();
        QVERIFY(failed.path.isEmpty() && failed.error.contains("gone/q.png"));
        QCOMPARE(photo.path(), path);
        QVERIFY(photo.isModified());

        // Page Up while a Save As is written: the window stays on the photo
        // stepped to, and the file written is not taken for it.
        const QString next = dir.filePath("r.png");
        QVERIFY(testutil::writeImage(next, 20, 10, "png"));
        photo.saveAs(dir.filePath("s.png"), "png", {});
        QVERIFY(photo.open(next));
        photo.load(kWorkspace);
        QVERIFY(saved.wait());
        QCOMPARE(saved.last().first().value<capture::Result>().path, dir.filePath("s.png"));
        QTRY_VERIFY(photo.isIdle());
        QCOMPARE(photo.path(), next);
        QCOMPARE(photo.image().size(), QSize(20, 10));
    }
};

QTEST_GUILESS_MAIN(TstPhoto)
#include "tst_photo.moc"
