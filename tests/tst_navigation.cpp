// Stepping through the folder of an image window, and deleting its file after
// the question.

#include "ui/app/framzo.h"
#include "core/imageio/imageio.h"
#include "ui/images/mimesourcefactory.h"
#include "ui/picture/picture.h"
#include "scripteddialogs.h"
#include "testutil.h"
#include "testwindow.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolButton>
#include <QtTest>

#include <functional>

namespace {

} // namespace

class TstNavigation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { cleanupImages(); }
    void init();
    void cleanup();

    void stepping_data();
    void stepping();
    void keysStep();
    void stepAtTheEndDropsEdits();
    void fileNotInTheList();
    void deleting_data();
    void deleting();
    void deleteOnlyImageClosesWindow();
    void questionLooksRight_data();
    void questionLooksRight();
    void answers_data();
    void answers();
    void nothingWithoutImageWindow();
    void failedDeleteKeepsWindow();

private:
    Picture *open(const QString &path);
    QString trashFiles() const;

    // Home and data folders of this run: files removed go to a trash of
    // its own, on the same file system as the images.
    QTemporaryDir home;
    std::unique_ptr<QTemporaryDir> dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<Framzo> main;
    QString a, b, c;
};

void TstNavigation::initTestCase()
{
    initImages();
    QVERIFY(home.isValid());
    qputenv("HOME", QFile::encodeName(home.path()));
    const QString data = home.filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(data)); // the trash is made inside it, not the folder itself
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
}

void TstNavigation::init()
{
    dialogs.reset();
    dir = std::make_unique<QTemporaryDir>(home.filePath(QStringLiteral("images-XXXXXX")));
    QVERIFY(dir->isValid());
    a = dir->filePath(QStringLiteral("a.jpg"));
    b = dir->filePath(QStringLiteral("b.png"));
    c = dir->filePath(QStringLiteral("c.bmp"));
    QVERIFY(testutil::writeImage(a, 30, 20, "jpeg"));
    QVERIFY(testutil::writeImage(b, 20, 30, "png"));
    QVERIFY(testutil::writeImage(c, 10, 10, "bmp"));
    // Not an image by name: never in the list.
    QVERIFY(testutil::writeBytes(dir->filePath(QStringLiteral("notes.txt")), "x"));
}

void TstNavigation::cleanup()
{
    main.reset();
    dir.reset();
}

Picture *TstNavigation::open(const QString &path)
{
    return testutil::openInNewWindow(main, path);
}

QString TstNavigation::trashFiles() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash/files");
}

// ---- stepping ---------------------------------------------------------------------

void TstNavigation::stepping_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("moved");
    QTest::newRow("forward from the middle") << "b.png" << 1 << "c.bmp" << true;
    QTest::newRow("back from the middle") << "b.png" << -1 << "a.jpg" << true;
    QTest::newRow("forward from the first") << "a.jpg" << 1 << "b.png" << true;
    QTest::newRow("forward from the last") << "c.bmp" << 1 << "c.bmp" << false;
    QTest::newRow("back from the first") << "a.jpg" << -1 << "a.jpg" << false;
    QTest::newRow("back from the last") << "c.bmp" << -1 << "b.png" << true;
}

void TstNavigation::stepping()
{
    QFETCH(QString, from);
    QFETCH(int, step);
    QFETCH(QString, to);
    QFETCH(bool, moved);
    Picture *pic = open(dir->filePath(from));
    QVERIFY(pic);
    QCOMPARE(pic->folderList(), QStringList({"a.jpg", "b.png", "c.bmp"}));
    QCOMPARE(pic->stepInFolder(step), moved);
    const QString target = dir->filePath(to);
    QCOMPARE(pic->path(), target);
    QCOMPARE(pic->image().size(), QImage(target).size());
    QVERIFY(pic->information().startsWith(QStringLiteral("Path: ") + target + QLatin1Char(' ')));
}

void TstNavigation::keysStep()
{
    Picture *pic = open(b);
    QVERIFY(pic);
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    // Page Up moves forward, Page Down back.
    QTest::keyClick(main.get(), Qt::Key_PageUp);
    QCOMPARE(pic->path(), c);
    QTest::keyClick(main.get(), Qt::Key_PageUp);
    QCOMPARE(pic->path(), c);
    QTest::keyClick(main.get(), Qt::Key_PageDown);
    QTest::keyClick(main.get(), Qt::Key_PageDown);
    QCOMPARE(pic->path(), a);
    main->mpNext->click();
    QCOMPARE(pic->path(), b);
    main->mpPrev->click();
    QCOMPARE(pic->path(), a);
}

void TstNavigation::stepAtTheEndDropsEdits()
{
    Picture *pic = open(c);
    QVERIFY(pic);
    const QImage file = pic->image().copy();
    pic->rotateBy(90.0);
    pic->adjustColors(10, 0, 0, 0);
    QVERIFY(!pic->stepInFolder(1));
    QCOMPARE(pic->image(), file);
    int r = 1, g = 1, bl = 1, all = 1;
    pic->colorSettings(r, g, bl, all);
    QCOMPARE(r, 0);
}

void TstNavigation::fileNotInTheList()
{
    // A GIF under a name without an image ending is not listed: the window
    // cannot step, and stays.
    const QString gif = dir->filePath(QStringLiteral("d.image"));
    QVERIFY(testutil::writeBytes(gif, QByteArray::fromHex("47494638396102000100f00000ff000000000021f9040000000000"
                                                          "2c0000000002000100000202040a003b")));
    Picture *pic = open(gif);
    QVERIFY(pic);
    QVERIFY(!pic->folderList().contains(QStringLiteral("d.image")));
    QVERIFY(!pic->stepInFolder(1));
    QVERIFY(!pic->stepInFolder(-1));
    QCOMPARE(pic->path(), gif);

    // Deleting it has no neighbour to go to: the window closes.
    QPointer<Picture> watch(pic);
    main->mpDelete->trigger();
    QVERIFY(!QFileInfo::exists(gif));
    QTRY_VERIFY(watch.isNull());
    QVERIFY(QFileInfo::exists(a));
}

// ---- delete -----------------------------------------------------------------------

void TstNavigation::deleting_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("the middle: the previous") << "b.png" << "a.jpg" << QStringList({"a.jpg", "c.bmp"});
    QTest::newRow("the first: the next") << "a.jpg" << "b.png" << QStringList({"b.png", "c.bmp"});
    QTest::newRow("the last: the previous") << "c.bmp" << "b.png" << QStringList({"a.jpg", "b.png"});
}

void TstNavigation::deleting()
{
    QFETCH(QString, shown);
    QFETCH(QString, after);
    QFETCH(QStringList, left);
    Picture *pic = open(dir->filePath(shown));
    QVERIFY(pic);
    const QStringList trashedBefore = QDir(trashFiles()).entryList(QDir::Files);

    main->mpDelete->trigger();
    QCOMPARE(dialogs.deletesAsked, 1);
    QVERIFY(!QFileInfo::exists(dir->filePath(shown)));
    QCOMPARE(pic->path(), dir->filePath(after));
    QCOMPARE(pic->folderList(), left);
    QCOMPARE(main->activePicture(), pic);
    // Into the trash, not gone for good.
    QCOMPARE(QDir(trashFiles()).entryList(QDir::Files).size(), trashedBefore.size() + 1);
}

void TstNavigation::deleteOnlyImageClosesWindow()
{
    QVERIFY(QFile::remove(a));
    QVERIFY(QFile::remove(b));
    Picture *pic = open(c);
    QVERIFY(pic);
    QPointer<Picture> watch(pic);
    main->mpDelete->trigger();
    QVERIFY(!QFileInfo::exists(c));
    QTRY_VERIFY(watch.isNull());
    QTRY_VERIFY(main->mpWorkspace->subWindowList().isEmpty());
}

void TstNavigation::questionLooksRight_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("short name") << QStringLiteral("b.png");
    QTest::newRow("164 characters") << QString(160, QLatin1Char('n')) + QStringLiteral(".jpg");
}

void TstNavigation::questionLooksRight()
{
    QFETCH(QString, name);
    const QString path = QStringLiteral("/photos/") + name;
    Framzo window;
    window.setGeometry(100, 80, 801, 601);
    const std::unique_ptr<QDialog> dlg(Dialogs::deleteQuestion(&window, path));
    QCOMPARE(dlg->windowTitle(), QStringLiteral("Delete"));
    QVERIFY(dlg->isModal());
    // As large as ever at least, grown for a long name within bounds, and
    // centred over the main window.
    QVERIFY(dlg->width() >= 200 && dlg->height() >= 110);
    QVERIFY(dlg->width() <= 500);
    QCOMPARE(dlg->pos(), QPoint(window.x() + 801 / 2 - dlg->width() / 2, window.y() + 601 / 2 - dlg->height() / 2));
    auto *text = dlg->findChild<QLabel *>(QStringLiteral("text"));
    QVERIFY(text);
    QCOMPARE(text->text(), QStringLiteral("Delete this Image?"));

    // The name below the question, whole or elided in the middle so that it
    // fits, and the whole path as its tool tip.
    auto *shown = dlg->findChild<QLabel *>(QStringLiteral("name"));
    QVERIFY(shown);
    QVERIFY(shown->y() >= text->y() + text->height());
    QVERIFY(dlg->rect().contains(shown->geometry()));
    QVERIFY(shown->fontMetrics().horizontalAdvance(shown->text()) <= shown->width());
    QCOMPARE(shown->toolTip(), path);
    if (name.size() < 20) {
        QCOMPARE(shown->text(), name);
    } else {
        QVERIFY(shown->text().contains(QChar(0x2026)));
        QVERIFY(shown->text().startsWith(QStringLiteral("nnnn")));
        QVERIFY(shown->text().endsWith(QStringLiteral(".jpg")));
    }

    auto *ok = dlg->findChild<QPushButton *>(QStringLiteral("mpOk"));
    auto *cancel = dlg->findChild<QPushButton *>(QStringLiteral("mpCancel"));
    QVERIFY(ok && cancel);
    QCOMPARE(ok->text(), QStringLiteral("&Ok"));
    QCOMPARE(cancel->text(), QStringLiteral("&Cancel"));
    QVERIFY(dlg->rect().contains(ok->geometry()) && dlg->rect().contains(cancel->geometry()));
}

void TstNavigation::answers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("Ok") << "ok" << true;
    QTest::newRow("Return") << "return" << true;
    QTest::newRow("Cancel") << "cancel" << false;
    QTest::newRow("Escape") << "escape" << false;
    QTest::newRow("closed") << "close" << false;
}

void TstNavigation::answers()
{
    QFETCH(QString, answer);
    QFETCH(bool, deleted);
    dialogs.onDeleteQuestion = [answer](QDialog *dlg) {
        if (answer == QLatin1String("ok"))
            QTest::mouseClick(dlg->findChild<QPushButton *>(QStringLiteral("mpOk")), Qt::LeftButton);
        else if (answer == QLatin1String("cancel"))
            QTest::mouseClick(dlg->findChild<QPushButton *>(QStringLiteral("mpCancel")), Qt::LeftButton);
        else if (answer == QLatin1String("return"))
            QTest::keyClick(dlg, Qt::Key_Return);
        else if (answer == QLatin1String("escape"))
            QTest::keyClick(dlg, Qt::Key_Escape);
        else
            dlg->close();
    };
    Picture *pic = open(b);
    QVERIFY(pic);
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    QTest::keyClick(main.get(), Qt::Key_Delete);
    QCOMPARE(dialogs.deletesAsked, 1);
    QCOMPARE(dialogs.deletePath, b); // the question names the file that goes
    QCOMPARE(QFileInfo::exists(b), !deleted);
    QCOMPARE(pic->path(), deleted ? a : b);
}

void TstNavigation::nothingWithoutImageWindow()
{
    main = std::make_unique<Framzo>();
    main->show();
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    for (int key : {int(Qt::Key_PageUp), int(Qt::Key_PageDown), int(Qt::Key_Delete)})
        QTest::keyClick(main.get(), Qt::Key(key));
    QTest::keyClick(main.get(), Qt::Key_D, Qt::ControlModifier);
    main->mpDelete->trigger();
    main->mpNext->click();
    QCOMPARE(dialogs.deletesAsked, 0);
    QVERIFY(QFileInfo::exists(a) && QFileInfo::exists(b) && QFileInfo::exists(c));
    QVERIFY(main->mpWorkspace->subWindowList().isEmpty());
}

void TstNavigation::failedDeleteKeepsWindow()
{
    // A file nobody may remove, not even root: one of the kernel's own.
    const QString locked = QStringLiteral("/proc/version");
    if (!QFileInfo::exists(locked))
        QSKIP("needs /proc");
    Picture *pic = open(b);
    QVERIFY(pic);
    pic->invertColors();
    const QImage edited = pic->image().copy();
    // The window now names that file; its image stays, as it cannot be decoded.
    pic->loadImage(locked);
    QCOMPARE(pic->path(), locked);

    main->mpDelete->trigger();
    QCOMPARE(dialogs.deletesAsked, 1);
    QVERIFY(QFileInfo::exists(locked));
    QCOMPARE(main->activePicture(), pic);
    QCOMPARE(pic->path(), locked);
    QCOMPARE(pic->image(), edited);
    const QString status = main->statusBar()->currentMessage();
    QVERIFY2(status.contains(QStringLiteral("could not be deleted")), qPrintable(status));
}

QTEST_MAIN(TstNavigation)
#include "tst_navigation.moc"
