// Writes that fail: capture, Save, Save As and the gallery into a read-only
// folder, into a folder that vanished, and onto a full file system. Nothing
// that was on disk may change or be left half written, and the image window
// keeps its image and its edits.

#include "app/framzo.h"
#include "gallery/galleryrunner.h"
#include "imageio/imageio.h"
#include "images/mimesourcefactory.h"
#include "picture/picture.h"
#include "scripteddialogs.h"
#include "testutil.h"

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGraphicsView>
#include <QMdiArea>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <unistd.h>

using testutil::readAll;

namespace {

enum class Fault { ReadOnly, Vanished, Full };
enum class Op { Capture, Save, SaveAs, Gallery };

// A small tmpfs mounted for the test's lifetime (root only).
class Mount
{
public:
    explicit Mount(const QString &at, const QString &size) : mAt(at)
    {
        mOk = QProcess::execute(QStringLiteral("mount"),
                                {"-t", "tmpfs", "-o", "size=" + size, "tmpfs", at}) == 0;
    }
    ~Mount()
    {
        if (mOk && QProcess::execute(QStringLiteral("umount"), {mAt}) != 0)
            QProcess::execute(QStringLiteral("umount"), {"-l", mAt});
    }
    Mount(const Mount &) = delete;
    Mount &operator=(const Mount &) = delete;

    bool ok() const { return mOk; }
    bool makeReadOnly() const
    {
        return QProcess::execute(QStringLiteral("mount"), {"-o", "remount,ro", mAt}) == 0;
    }

private:
    QString mAt;
    bool mOk = false;
};

// Every file and folder below root (hidden ones too) with its content.
QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = path.mid(root.size());
        out.insert(rel, it.fileInfo().isDir() ? QByteArray("<folder>") : readAll(path));
    }
    return out;
}

// Fills the file system of folder until not one more page fits.
bool fill(const QString &folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray page(4096, 'x');
    while (filler.write(page) == page.size()) {
    }
    filler.close();
    QFile probe(folder + QStringLiteral("/probe"));
    const bool full = !(probe.open(QIODevice::WriteOnly) && probe.write("x", 1) == 1 && probe.flush());
    probe.remove();
    return full;
}

bool permissionsStopWrites(const QString &folder)
{
    QFile probe(folder + QStringLiteral("/probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        return false;
    }
    return true;
}

void setWritable(const QString &folder, bool writable)
{
    const QFileDevice::Permissions p = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
        | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QFile::setPermissions(folder, writable ? p | QFileDevice::WriteOwner : p);
    QFile::setPermissions(folder + QStringLiteral("/g"), writable ? p | QFileDevice::WriteOwner : p);
}

QtMessageHandler previousHandler = nullptr;

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Op)

class TstFaults : public QObject
{
    Q_OBJECT

    ScriptedDialogs mDialogs;
    int mCases = 0;
    int mSkipped = 0;

    // What the faulty folder holds before the write: the photo that is
    // saved in place, a file that Save As would replace, an earlier capture
    // of the same name and an earlier gallery.
    static bool populate(const QString &folder)
    {
        return testutil::writeImage(folder + "/photo.png", 120, 80, "png")
            && testutil::writeImage(folder + "/existing.png", 60, 40, "png") && QDir(folder).mkpath("g")
            && testutil::writeBytes(folder + "/g.html", "<html>the gallery before</html>\n")
            && testutil::writeBytes(folder + "/g/photo.png.html", "<html>its page before</html>\n")
            && testutil::writeImage(folder + "/g/photo.png", 12, 8, "png")
            && testutil::writeImage(folder + "/g/preview_photo.png", 6, 4, "png");
    }

private slots:
    void initTestCase()
    {
        previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &c, const QString &m) {
            if (m == QLatin1String("This plugin does not support grabbing the mouse")
                || qstrcmp(c.category, "default") != 0)
                return;
            previousHandler(type, c, m);
        });
        initImages();
    }
    void cleanupTestCase()
    {
        cleanupImages();
        qInfo().noquote() << QStringLiteral("faults: %1 cases, %2 skipped, 0 files lost").arg(mCases).arg(mSkipped);
    }

    void nothingIsLost_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<Fault>("fault");
        const QList<QPair<const char *, Op>> ops = {
            {"capture", Op::Capture}, {"save", Op::Save}, {"save as", Op::SaveAs}, {"gallery", Op::Gallery}};
        const QList<QPair<const char *, Fault>> faults = {
            {"read-only folder", Fault::ReadOnly}, {"vanished folder", Fault::Vanished}, {"full disk", Fault::Full}};
        for (const auto &op : ops)
            for (const auto &fault : faults)
                QTest::addRow("%s into a %s", op.first, fault.first) << op.second << fault.second;
    }

    void nothingIsLost()
    {
        QFETCH(Op, op);
        QFETCH(Fault, fault);
        ++mCases;

        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QString src = base.filePath("src");
        QVERIFY(QDir().mkpath(src));
        QVERIFY(testutil::writeImage(src + "/photo.png", 300, 200, "png"));
        QVERIFY(testutil::writeImage(src + "/second.jpg", 200, 300, "jpeg"));
        const QMap<QString, QByteArray> sources = snapshot(src);

        // The folder the write goes to, made faulty.
        std::unique_ptr<Mount> mount;
        QString target;
        const bool root = geteuid() == 0;
        switch (fault) {
        case Fault::ReadOnly:
            target = base.filePath("ro");
            QVERIFY(QDir().mkpath(target) && populate(target));
            setWritable(target, false);
            if (!permissionsStopWrites(target)) {
                // Root writes through permissions: a file system mounted
                // read-only stops root too.
                setWritable(target, true);
                QVERIFY(QDir(target).removeRecursively() && QDir().mkpath(target));
                mount = std::make_unique<Mount>(target, "1m");
                if (!mount->ok() || !populate(target) || !mount->makeReadOnly()) {
                    ++mSkipped;
                    QSKIP("Permissions do not stop this user's writes and a read-only tmpfs cannot be mounted here");
                }
            }
            break;
        case Fault::Vanished:
            target = base.filePath("gone/deeper");
            QVERIFY(QDir().mkpath(target) && populate(target));
            break;
        case Fault::Full:
            if (!root) {
                ++mSkipped;
                QSKIP("Mounting a small tmpfs to fill needs root");
            }
            target = base.filePath("full");
            QVERIFY(QDir().mkpath(target));
            mount = std::make_unique<Mount>(target, "256k");
            if (!mount->ok()) {
                ++mSkipped;
                QSKIP("A tmpfs cannot be mounted here");
            }
            QVERIFY(populate(target));
            QVERIFY(fill(target));
            break;
        }
        const QMap<QString, QByteArray> before = snapshot(target);
        auto vanish = [&] {
            if (fault == Fault::Vanished)
                QVERIFY(QDir(base.filePath("gone")).removeRecursively());
        };

        if (op == Op::Gallery) {
            vanish();
            const GalleryRunner runner(GallerySettings(target, "g", "200", "150", "2", true, true),
                                       {{"photo.png", src + "/photo.png"}, {"second.jpg", src + "/second.jpg"}});
            QVERIFY(!runner.run().failedFiles.isEmpty());
        } else {
            Framzo main;
            main.mpShowCut->setChecked(true);
            main.mpFree->setChecked(true);
            main.mpFit->setChecked(false);
            main.capturePath = target;
            main.show();
            QVERIFY(QTest::qWaitForWindowExposed(&main));
            const QString shown = op == Op::Save ? target + "/photo.png" : src + "/photo.png";
            main.newChildWin(shown);
            Picture *pic = main.activePicture();
            QVERIFY(pic);
            QWidget *vp = pic->view()->viewport();
            QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(4, 4));
            QTest::mouseMove(vp, QPoint(6, 6));
            QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(6, 6));
            pic->rotateBy(90.0);
            pic->invertColors();
            const QImage edited = pic->image().copy();
            vanish();

            switch (op) {
            case Op::Capture:
                QVERIFY(pic->frameState().frameWidth > 0);
                pic->captureTo(main.capturePath);
                break;
            case Op::Save:
                pic->saveInPlace();
                break;
            case Op::SaveAs:
                mDialogs.saveName = target + "/existing";
                mDialogs.saveFilter = QStringLiteral("PNG (*.png)");
                pic->saveAs();
                break;
            case Op::Gallery:
                break;
            }
            // Told, and the window as it was: same file, same edited image,
            // no window for a capture that was not written.
            QVERIFY(!main.statusBar()->currentMessage().isEmpty());
            QCOMPARE(main.mpWorkspace->subWindowList().size(), 1);
            QCOMPARE(main.activePicture(), pic);
            QCOMPARE(pic->path(), shown);
            QCOMPARE(pic->image(), edited);
        }

        // Byte for byte what was there, and nothing more (no temporary or
        // half-written file); a vanished folder does not come back.
        if (fault == Fault::Vanished)
            QVERIFY(!QFileInfo::exists(base.filePath("gone")));
        else
            QCOMPARE(snapshot(target), before);
        QCOMPARE(snapshot(src), sources);
        if (fault == Fault::ReadOnly && !mount)
            setWritable(target, true); // so that the temporary folder can go
    }
};

QTEST_MAIN(TstFaults)
#include "tst_faults.moc"
