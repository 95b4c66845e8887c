// Writes that fail: capture, Save, Save As and the gallery into a read-only
// folder, into a folder that vanished, and onto a full file system. Nothing
// that was on disk may change or be left half written, and the image window
// keeps its image and its edits. Writes that must not happen: through a
// symbolic link planted at the name, over one of a gallery's own sources,
// over a file that changed on disk since it was read (not without asking),
// and a delete of what is no longer a file.

#include "ui/app/framzo.h"
#include "core/gallery/galleryrunner.h"
#include "core/gallery/gallerycli.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "ui/images/mimesourcefactory.h"
#include "ui/picture/picture.h"
#include "scripteddialogs.h"
#include "testutil.h"
#include "testwindow.h"

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGraphicsView>
#include <QImageWriter>
#include <QMdiArea>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <cstdio>

#include <sys/stat.h>
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

    // An image window on path with a cut frame drawn, as the user leaves it
    // before a capture.
    static Picture *openWithFrame(Framzo &main, const QString &path)
    {
        main.mpShowCut->setChecked(true);
        main.mpFree->setChecked(true);
        main.mpFit->setChecked(false);
        main.newChildWin(path);
        Picture *pic = main.activePicture();
        if (!pic || !testutil::waitLoaded(pic))
            return nullptr;
        testutil::dragOnCanvas(pic, QPoint(4, 4), QPoint(6, 6));
        return pic;
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
            testutil::dragOnCanvas(pic, QPoint(4, 4), QPoint(6, 6));
            pic->rotateBy(90.0);
            pic->invertColors();
            const QImage edited = pic->image().copy();
            vanish();

            switch (op) {
            case Op::Capture:
                QVERIFY(pic->frameState().frameWidth > 0);
                pic->captureTo(main.capturePath);
                QVERIFY(testutil::waitLoaded(pic));
                break;
            case Op::Save:
                pic->saveInPlace();
                QVERIFY(testutil::waitLoaded(pic));
                break;
            case Op::SaveAs:
                mDialogs.saveName = target + "/existing";
                mDialogs.saveFilter = QStringLiteral("PNG (*.png)");
                pic->saveAs();
                QVERIFY(testutil::waitLoaded(pic));
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

    // A symbolic link at the name a writer writes is never written through:
    // that file is refused with a message, the link stays as it was, and
    // what it points to outside the folder is neither changed nor created.
    void linksAreNotWrittenThrough_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<bool>("dangling"); // the link points to nothing
        const QList<QPair<const char *, Op>> ops = {
            {"capture", Op::Capture}, {"save", Op::Save}, {"save as", Op::SaveAs}, {"gallery", Op::Gallery}};
        for (const auto &op : ops) {
            QTest::addRow("%s through a link to a file", op.first) << op.second << false;
            QTest::addRow("%s through a link to nothing", op.first) << op.second << true;
        }
    }

    void linksAreNotWrittenThrough()
    {
        QFETCH(Op, op);
        QFETCH(bool, dangling);
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QString src = base.filePath("src");
        const QString out = base.filePath("out");
        const QString outside = base.filePath("outside");
        QVERIFY(QDir().mkpath(src) && QDir().mkpath(out + "/g") && QDir().mkpath(outside));
        QVERIFY(testutil::writeImage(src + "/photo.png", 300, 200, "png"));

        // The names the write goes to, each a link to a file of its own
        // outside (there, or not).
        QStringList links;
        switch (op) {
        case Op::Capture:
            links = {out + "/photo.png"};
            break;
        case Op::Save:
            links = {src + "/shown.png"};
            break;
        case Op::SaveAs:
            links = {out + "/existing.png"};
            break;
        case Op::Gallery:
            links = {out + "/g.html", out + "/g/photo.png", out + "/g/photo.png.html", out + "/g/preview_photo.png"};
            break;
        }
        QMap<QString, QString> targets;
        for (int i = 0; i < links.size(); ++i) {
            const QString target = outside + QStringLiteral("/victim%1.png").arg(i);
            if (!dangling || op == Op::Save) // Save shows the file the link leads to
                QVERIFY(testutil::writeImage(target, 50, 40, "png"));
            QVERIFY(QFile::link(target, links.at(i)));
            targets.insert(links.at(i), target);
        }
        const QMap<QString, QByteArray> outsideBefore = snapshot(outside);

        QString message;
        if (op == Op::Gallery) {
            const GalleryRunner::Result result =
                GalleryRunner(GallerySettings(out, "g", "200", "150", "2", true, true), {{"photo.png", src + "/photo.png"}})
                    .run();
            QCOMPARE(result.failedFiles, links);
            message = result.problem();
        } else {
            Framzo main;
            main.capturePath = out;
            main.show();
            QVERIFY(QTest::qWaitForWindowExposed(&main));
            Picture *pic = openWithFrame(main, op == Op::Save ? links.first() : src + "/photo.png");
            QVERIFY(pic);
            pic->rotateBy(90.0);
            if (op == Op::Save && dangling)
                QVERIFY(QFile::remove(targets.first())); // the link now points to nothing
            mDialogs.reset();
            mDialogs.replaceChangedAnswer = true; // what is tested here is the link
            mDialogs.saveName = out + "/existing";
            mDialogs.saveFilter = QStringLiteral("PNG (*.png)");
            if (op == Op::Capture)
                pic->captureTo(main.capturePath);
            else if (op == Op::Save)
                pic->saveInPlace();
            else
                pic->saveAs();
            QVERIFY(testutil::waitLoaded(pic));
            message = main.statusBar()->currentMessage();
            QCOMPARE(main.mpWorkspace->subWindowList().size(), 1);
        }
        QVERIFY2(message.contains(QLatin1String("symbolic link")) || op == Op::Gallery, qPrintable(message));
        QVERIFY(!message.isEmpty());
        for (const QString &link : std::as_const(links)) {
            QVERIFY(QFileInfo(link).isSymLink());
            QCOMPARE(QFileInfo(link).symLinkTarget(), targets.value(link));
        }
        if (op == Op::Save && dangling)
            QVERIFY(snapshot(outside).isEmpty());
        else
            QCOMPARE(snapshot(outside), outsideBefore);
    }

    // A gallery folder B that is a link to another folder: nothing goes
    // into it, and the run says so.
    void galleryFolderLinkIsNotFollowed()
    {
        QTemporaryDir base;
        const QString out = base.filePath("out");
        const QString elsewhere = base.filePath("elsewhere");
        QVERIFY(QDir().mkpath(out) && QDir().mkpath(elsewhere));
        QVERIFY(testutil::writeImage(base.filePath("photo.png"), 30, 20, "png"));
        QVERIFY(QFile::link(elsewhere, out + "/g"));
        const GalleryRunner::Result result =
            GalleryRunner(GallerySettings(out, "g", "200", "150", "2", true, true),
                          {{"photo.png", base.filePath("photo.png")}})
                .run();
        QCOMPARE(result.failedFiles, QStringList{out + "/g"});
        QVERIFY(QDir(elsewhere).isEmpty());
        QVERIFY(QFileInfo(out + "/g").isSymLink());
    }

    // A cut of a photo that lies in the capture folder goes to the first
    // free "_n" name; a link to nothing does not count as free (writing
    // there would create the file it names).
    void freeNameSkipsDanglingLinks()
    {
        QTemporaryDir base;
        const QString cuts = base.filePath("cuts");
        QVERIFY(QDir().mkpath(cuts));
        QVERIFY(testutil::writeImage(cuts + "/photo.png", 300, 200, "png"));
        QVERIFY(QFile::link(base.filePath("nowhere.png"), cuts + "/photo_1.png"));
        Framzo main;
        main.capturePath = cuts;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        Picture *pic = openWithFrame(main, cuts + "/photo.png");
        QVERIFY(pic);
        pic->captureTo(main.capturePath);
        QVERIFY(testutil::waitLoaded(pic));
        QVERIFY(QFileInfo(cuts + "/photo_2.png").isFile());
        QVERIFY(!QFileInfo::exists(base.filePath("nowhere.png")));
        QVERIFY(QFileInfo(cuts + "/photo_1.png").isSymLink());
    }

    // No file a gallery writes replaces one of the images it is made of,
    // the entry's own or another entry's: those files are not written, the
    // run says so (exit status 1 with a message), and every source stays.
    void gallerySourcesAreNeverReplaced()
    {
        QTemporaryDir base;
        const QString x = base.filePath("x");
        const QString y = base.filePath("y");
        QVERIFY(QDir().mkpath(x + "/photos") && QDir().mkpath(y));
        QVERIFY(testutil::writeImage(x + "/photos/a.jpg", 60, 40, "jpeg"));
        QVERIFY(testutil::writeImage(y + "/a.jpg", 40, 60, "jpeg"));
        QVERIFY(testutil::writeImage(y + "/b.png", 30, 30, "png"));
        QVERIFY(testutil::writeImage(x + "/photos/preview_b.png", 20, 20, "png"));
        QVERIFY(testutil::writeImage(x + "/photos.html", 10, 10, "png")); // an image named like the index
        const QStringList sources = {x + "/photos/a.jpg", y + "/a.jpg", y + "/b.png", x + "/photos/preview_b.png",
                                     x + "/photos.html"};
        const QMap<QString, QByteArray> before = snapshot(base.path());

        QCOMPARE(testutil::galleryCli(QStringList{"--gallery", x, "--name", "photos"} + sources), 1);
        for (const QString &s : sources)
            QCOMPARE(readAll(s), before.value(s.mid(base.path().size())));
        // The files of the run that do not replace a source are written.
        QVERIFY(QFileInfo(x + "/photos/b.png").isFile());
        QVERIFY(QFileInfo(x + "/photos/a.jpg.html").isFile());

        QList<GalleryEntry> entries;
        for (const QString &s : sources)
            entries << GalleryEntry{QFileInfo(s).fileName(), s};
        const GalleryRunner::Result result =
            GalleryRunner(GallerySettings(x + "/", "photos", "200", "150", "1", true, true), entries).run();
        // The index; both copies named a.jpg; b.png's thumbnail and the copy
        // of preview_b.png, both the source preview_b.png.
        QCOMPARE(result.sourceClashes, (QStringList{x + "/photos.html", x + "/photos/a.jpg", x + "/photos/a.jpg",
                                                    x + "/photos/preview_b.png", x + "/photos/preview_b.png"}));
        QVERIFY(result.failedFiles.isEmpty());
        QVERIFY(result.problem().contains(QLatin1String("would have replaced")));
        QCOMPARE(snapshot(base.path()).value("/x/photos/a.jpg"), before.value("/x/photos/a.jpg"));
    }

    // Delete removes a file only: when the shown file was replaced by a
    // folder (or a pipe, or a link to a folder), the window stays, the
    // status bar says why, and nothing goes to the trash.
    void deleteOnlyRemovesFiles_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("folder") << "folder";
        QTest::newRow("named pipe") << "pipe";
        QTest::newRow("link to a folder") << "link";
    }

    void deleteOnlyRemovesFiles()
    {
        QFETCH(QString, what);
        QTemporaryDir base;
        const QString f = base.filePath("f");
        QVERIFY(QDir().mkpath(f) && QDir().mkpath(base.filePath("other")));
        for (const char *n : {"a.png", "b.png", "c.png"})
            QVERIFY(testutil::writeImage(f + "/" + n, 40, 30, "png"));
        Framzo main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.newChildWin(f + "/b.png");
        Picture *pic = main.activePicture();
        QVERIFY(pic);
        QVERIFY(QFile::remove(f + "/b.png"));
        if (what == "folder") {
            QVERIFY(QDir().mkpath(f + "/b.png"));
            QVERIFY(testutil::writeImage(f + "/b.png/inside.png", 10, 10, "png"));
        } else if (what == "pipe") {
            QVERIFY(::mkfifo(QFile::encodeName(f + "/b.png").constData(), 0644) == 0);
        } else {
            QVERIFY(QFile::link(base.filePath("other"), f + "/b.png"));
        }
        const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/files";
        const QStringList trashed = QDir(trash).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        mDialogs.reset();
        mDialogs.deleteAnswer = true;
        main.mpDelete->trigger();
        QCOMPARE(mDialogs.deletesAsked, 1);
        QCOMPARE(main.activePicture(), pic);
        QCOMPARE(pic->path(), f + "/b.png");
        QVERIFY2(main.statusBar()->currentMessage().contains(QLatin1String("not deleted")),
                 qPrintable(main.statusBar()->currentMessage()));
        QVERIFY(QFileInfo::exists(f + "/b.png"));
        if (what == "folder")
            QVERIFY(QFileInfo(f + "/b.png/inside.png").isFile());
        QCOMPARE(QDir(trash).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), trashed);
    }

    // Save asks before it replaces a file that changed on disk since the
    // image shown was read from it (its size, time or identity), and
    // without a yes leaves the file as it now is.
    void saveAsksWhenTheFileChanged_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("written");
        QTest::newRow("unchanged") << "none" << false << false << true;
        QTest::newRow("another photo written into it, no") << "rewritten" << false << true << false;
        QTest::newRow("another photo written into it, yes") << "rewritten" << true << true << true;
        // The same bytes and time under a new file: only the identity tells.
        QTest::newRow("replaced by a copy of itself, no") << "replaced" << false << true << false;
        QTest::newRow("removed, no") << "removed" << false << true << false;
    }

    void saveAsksWhenTheFileChanged()
    {
        QFETCH(QString, change);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        QFETCH(bool, written);
        QTemporaryDir base;
        const QString photo = base.filePath("photo.png");
        QVERIFY(testutil::writeImage(photo, 120, 80, "png"));
        Framzo main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.newChildWin(photo);
        Picture *pic = main.activePicture();
        QVERIFY(testutil::waitLoaded(pic));
        pic->rotateBy(90.0);
        if (change == "rewritten") {
            QFile file(photo);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(QImageWriter(&file, "png").write(testutil::makeImage(60, 40)));
        } else if (change == "replaced") {
            const QString copy = base.filePath("copy.png");
            QVERIFY(QFile::copy(photo, copy));
            QFile c(copy);
            QVERIFY(c.open(QIODevice::ReadWrite));
            QVERIFY(c.setFileTime(QFileInfo(photo).lastModified(), QFileDevice::FileModificationTime));
            c.close();
            QVERIFY(::rename(QFile::encodeName(copy).constData(), QFile::encodeName(photo).constData()) == 0);
        } else if (change == "removed") {
            QVERIFY(QFile::remove(photo));
        }
        const QByteArray onDisk = readAll(photo);
        mDialogs.reset();
        mDialogs.replaceChangedAnswer = answer;
        pic->saveInPlace();
        QVERIFY(testutil::waitLoaded(pic));
        QCOMPARE(mDialogs.replaceChangedAsked, asked ? 1 : 0);
        if (asked)
            QCOMPARE(mDialogs.replaceChangedPath, photo);
        if (written) {
            QCOMPARE(imageio::decode(photo).size(), QSize(80, 120));
        } else {
            QCOMPARE(readAll(photo), onDisk);
            QCOMPARE(QFileInfo::exists(photo), change != "removed");
            QVERIFY(!main.statusBar()->currentMessage().isEmpty());
            QCOMPARE(pic->image().size(), QSize(80, 120)); // the edit is kept
        }
    }
};

QTEST_MAIN(TstFaults)
#include "tst_faults.moc"
