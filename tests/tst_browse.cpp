#include "ui/app/framzo.h"
#include "ui/browse/browsebar.h"
#include "ui/browse/browseitem.h"
#include "ui/forms/elidedlabel.h"
#include "ui/forms/uiframzo.h"
#include "ui/images/mimesourcefactory.h"
#include "ui/picture/picture.h"
#include "testutil.h"
#include "testwindow.h"

#include <QBuffer>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using testutil::childNamed;
namespace {

// A 1 x 1 GIF: Qt reads GIF but cannot write it.
const QByteArray kGif = QByteArray::fromHex("47494638396101000100800000000000ffffff21f90401000000002c"
                                            "00000000010001000002024401003b");

// A JPEG of w x h pixels whose EXIF orientation says "turn 90 degrees
// clockwise to show": shown, it is h x w.
QByteArray rotatedJpeg(int w, int h)
{
    QByteArray jpg;
    QBuffer buffer(&jpg);
    buffer.open(QIODevice::WriteOnly);
    testutil::makeImage(w, h).save(&buffer, "jpeg");
    const QByteArray app1("\xFF\xE1\x00\x22"
                          "Exif\0\0"
                          "MM\x00\x2A\x00\x00\x00\x08"
                          "\x00\x01"
                          "\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00"
                          "\x00\x00\x00\x00",
                          36);
    jpg.insert(2, app1);
    return jpg;
}

QStringList childNames(const QTreeWidgetItem *parent)
{
    QStringList names;
    for (int i = 0; i < parent->childCount(); ++i)
        names << parent->child(i)->text(0);
    return names;
}

QString iconOf(const QTreeWidgetItem *item)
{
    return item->data(0, BrowseBar::IconNameRole).toString();
}

bool mkpath(const QString &path) { return QDir().mkpath(path); }
bool png(const QString &path, int w = 4, int h = 4) { return testutil::writeImage(path, w, h, "png"); }

// A double-click as the window system delivers it (press, release, press,
// double-click, release), at pos of the tree's viewport.
void doubleClickAt(QTreeWidget *tree, const QPoint &pos)
{
    QWidget *top = tree->window();
    // Far enough from the last click that the first press starts afresh.
    QTest::lastMouseTimestamp += 2 * QTest::mouseDoubleClickInterval;
    QTest::mouseDClick(top->windowHandle(), Qt::LeftButton, {}, tree->viewport()->mapTo(top, pos));
}

// Double-clicks an item of a shown tree that bar drives. The item is made
// current first: selecting an image shows the details below the tree (once
// its preview is made, on a worker), which makes the tree shorter, so the
// item must be in view once that layout has settled.
void doubleClickItem(QTreeWidget *tree, const BrowseBar *bar, QTreeWidgetItem *it)
{
    tree->setCurrentItem(it);
    QVERIFY(QTest::qWaitFor([bar] { return !bar->isPreviewing(); }));
    QVERIFY(testutil::eventsHandled());
    tree->scrollToItem(it);
    // Just right of the icon: a deep item may reach past a narrow dock.
    const QRect r = tree->visualItemRect(it);
    doubleClickAt(tree, QPoint(qMin(r.left() + 24, tree->viewport()->width() - 2), r.center().y()));
}

// The tree the controller drives, on a form of its own.
struct Browser
{
    std::unique_ptr<UiFramzo> form = std::make_unique<UiFramzo>();
    std::unique_ptr<BrowseBar> bar = std::make_unique<BrowseBar>(form.get());

    QTreeWidget *tree() const { return form->mpTree; }
    QTreeWidgetItem *drive() const { return bar->computerItem()->child(0); }

    // The item of an existing folder or file, found name by name from the
    // drive; null when a name on the way is not in the tree.
    QTreeWidgetItem *item(const QString &path) const
    {
        QTreeWidgetItem *it = drive();
        const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString &part : parts) {
            it = childNamed(it, part);
            if (!it)
                return nullptr;
        }
        return it;
    }
    // Reveals a folder and returns its item.
    QTreeWidgetItem *open(const QString &path) const
    {
        bar->openPath(path);
        return item(path);
    }
    // Whether all four details are shown (shown true) or all hidden.
    bool details(bool shown) const
    {
        for (QWidget *w : {static_cast<QWidget *>(form->mpLabelName), static_cast<QWidget *>(form->mpLabelSize),
                           static_cast<QWidget *>(form->mpLabelType), static_cast<QWidget *>(form->mpPreview)}) {
            if (w->isHidden() == shown)
                return false;
        }
        return true;
    }
    void doubleClick(QTreeWidgetItem *it) const { doubleClickItem(tree(), bar.get(), it); }
};

} // namespace

class TstBrowse : public QObject
{
    Q_OBJECT

    QTemporaryDir mHome;
    std::unique_ptr<QTemporaryDir> mWork; // fresh for each test, outside the home folder
    QString desktop() const { return mHome.path() + QStringLiteral("/home/Desktop"); }
    QString work() const { return mWork->path(); }

private slots:
    void initTestCase()
    {
        QVERIFY(mHome.isValid());
        qputenv("HOME", QFile::encodeName(mHome.path() + QStringLiteral("/home")));
        QCOMPARE(QDir::homePath(), mHome.path() + QStringLiteral("/home"));
        initImages();
    }
    void cleanupTestCase() { cleanupImages(); }
    void init()
    {
        mWork = std::make_unique<QTemporaryDir>();
        QVERIFY(mWork->isValid());
        QVERIFY(QDir(desktop()).removeRecursively() && mkpath(desktop()));
    }

    void startsWithDesktopAndDrives()
    {
        for (const char *dir : {"/Trips", "/.cache"})
            QVERIFY(mkpath(desktop() + dir));
        QVERIFY(png(desktop() + "/a.png") && png(desktop() + "/.hidden.png"));
        QVERIFY(testutil::writeBytes(desktop() + "/notes.txt", "just words\n"));

        Browser b;
        QTreeWidgetItem *desk = b.bar->desktopItem();
        QTreeWidgetItem *comp = b.bar->computerItem();
        QCOMPARE(b.tree()->topLevelItemCount(), 1);
        QCOMPARE(b.tree()->topLevelItem(0), desk);
        QCOMPARE(comp->parent(), desk);
        QCOMPARE(iconOf(desk), QStringLiteral("desktop.bmp"));
        QCOMPARE(iconOf(comp), QStringLiteral("computer.bmp"));
        QVERIFY(desk->isExpanded() && comp->isExpanded());
        // My Computer first; hidden entries and the text file are left out.
        QCOMPARE(childNames(desk), (QStringList{"My Computer", "Trips", "a.png"}));
        QCOMPARE(b.bar->itemPath(childNamed(desk, "a.png")), desktop() + "/a.png/");

        // The single root of Linux, closed, expandable before it has children.
        QCOMPARE(childNames(comp), QStringList{"/"});
        QCOMPARE(iconOf(b.drive()), QStringLiteral("drive.bmp"));
        QCOMPARE(b.drive()->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        QVERIFY(!b.drive()->isExpanded());
        QVERIFY(b.tree()->isColumnHidden(2) && !b.tree()->isColumnHidden(1));
        QVERIFY(b.details(false));
    }

    void listsImageFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("writeAs"); // a Qt format, or empty for raw bytes
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("type"); // empty: not listed
        QTest::addColumn<QString>("icon");

        const QByteArray none;
        QTest::newRow("png named .jpg") << "shot.jpg" << QByteArray("png") << none << "PNG" << "iconPNG.bmp";
        QTest::newRow("jpeg") << "photo.JPG" << QByteArray("jpeg") << none << "JPEG" << "iconJPG.bmp";
        // The images of a folder are named so, as for Page Up: a picture
        // without an image ending is not one of them.
        QTest::newRow("bmp, no extension") << "picture" << QByteArray("bmp") << none << "" << "";
        QTest::newRow("tiff") << "scan.tif" << QByteArray("tiff") << none << "TIF" << "iconTIF.bmp";
        QTest::newRow("xpm") << "icon.xpm" << QByteArray("xpm") << none << "XPM" << "iconXPM.bmp";
        QTest::newRow("gif") << "anim.gif" << none << kGif << "GIF" << "pic.xpm";
        QTest::newRow("text named .jpg") << "fake.jpg" << none << QByteArray("no image\n") << "" << "";
        QTest::newRow("empty .png") << "empty.png" << none << none << "" << "";
    }
    void listsImageFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, writeAs);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, type);
        QFETCH(QString, icon);
        const QString file = work() + "/" + name;
        QVERIFY(writeAs.isEmpty() ? testutil::writeBytes(file, bytes) : testutil::writeImage(file, 12, 9, writeAs));

        Browser b;
        QTreeWidgetItem *folder = b.open(work());
        QVERIFY(folder && folder->isExpanded());
        if (type.isEmpty()) {
            QCOMPARE(folder->childCount(), 0);
            return;
        }
        QTreeWidgetItem *item = childNamed(folder, name);
        QVERIFY(item);
        QCOMPARE(item->text(1), type);
        QCOMPARE(iconOf(item), icon);
        QCOMPARE(item->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }

    void ordersFoldersBeforeImages()
    {
        for (const char *dir : {"/m1", "/m2", "/.git"})
            QVERIFY(mkpath(work() + dir));
        for (const char *img : {"/a.png", "/z.png", "/n.png"})
            QVERIFY(png(work() + img));

        Browser b;
        QTreeWidgetItem *folder = b.open(work());
        QCOMPARE(childNames(folder), (QStringList{"m1", "m2", "a.png", "n.png", "z.png"}));
        QTreeWidgetItem *m1 = childNamed(folder, "m1");
        QCOMPARE(iconOf(m1), BrowseBar::kDirClosedName);
        QCOMPARE(m1->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        QCOMPARE(b.bar->itemPath(m1), work() + "/m1/");
        // "." and ".." show up nowhere on the way down.
        for (QTreeWidgetItem *it = folder; it; it = it->parent())
            QVERIFY(!childNamed(it, ".") && !childNamed(it, ".."));
    }

    void reexpandShowsChanges()
    {
        const QString dir = work() + "/album";
        QVERIFY(mkpath(dir) && png(dir + "/old.png"));
        Browser b;
        QTreeWidgetItem *album = b.open(dir);
        QCOMPARE(iconOf(album), BrowseBar::kDirOpenName);
        QCOMPARE(childNames(album), QStringList{"old.png"});

        album->setExpanded(false);
        QCOMPARE(iconOf(album), BrowseBar::kDirClosedName);
        QCOMPARE(childNames(album), QStringList{"old.png"}); // collapsing keeps them
        QVERIFY(QFile::remove(dir + "/old.png") && png(dir + "/new.png") && mkpath(dir + "/sub"));
        album->setExpanded(true);
        QCOMPARE(childNames(album), (QStringList{"sub", "new.png"}));

        // A folder removed meanwhile lists nothing and stays expandable.
        album->setExpanded(false);
        QVERIFY(QDir(dir).removeRecursively());
        album->setExpanded(true);
        QCOMPARE(album->childCount(), 0);
        QCOMPARE(album->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    }

    void reexpandDesktopKeepsComputer()
    {
        QVERIFY(png(desktop() + "/first.png"));
        Browser b;
        QTreeWidgetItem *desk = b.bar->desktopItem();
        QTreeWidgetItem *comp = b.bar->computerItem();
        QTreeWidgetItem *drive = b.drive();
        drive->setExpanded(true);
        const int driveChildren = drive->childCount();
        QVERIFY(driveChildren > 0);

        desk->setExpanded(false);
        QVERIFY(QFile::remove(desktop() + "/first.png") && png(desktop() + "/second.png"));
        desk->setExpanded(true);
        QCOMPARE(childNames(desk), (QStringList{"My Computer", "second.png"}));
        QCOMPARE(desk->child(0), comp);
        QCOMPARE(comp->child(0), drive);
        QVERIFY(comp->isExpanded() && drive->isExpanded());
        QCOMPARE(drive->childCount(), driveChildren);

        // Closing and opening My Computer changes nothing below it.
        comp->setExpanded(false);
        comp->setExpanded(true);
        QCOMPARE(comp->child(0), drive);
        QCOMPARE(iconOf(comp), QStringLiteral("computer.bmp"));
        drive->setExpanded(false);
        QCOMPARE(iconOf(drive), QStringLiteral("drive.bmp"));
    }

    void unreadableFolderListsNothing()
    {
        const QString dir = work() + "/locked";
        QVERIFY(mkpath(dir) && png(dir + "/a.png"));
        QVERIFY(QFile::setPermissions(dir, QFileDevice::WriteOwner));
        const bool readable = !QDir(dir).entryList(QDir::Files).isEmpty();
        Browser b;
        QTreeWidgetItem *folder = b.open(dir);
        QVERIFY(QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        if (readable)
            QSKIP("running with rights that read any folder");
        QVERIFY(folder && folder->isExpanded());
        QCOMPARE(folder->childCount(), 0);
        folder->setExpanded(false); // and the tree goes on working
        folder->setExpanded(true);
        QCOMPARE(childNames(folder), QStringList{"a.png"});
    }

    void doubleClickOpensOnlyImages()
    {
        QVERIFY(mkpath(work() + "/inner") && png(work() + "/pic.png") && png(desktop() + "/desk.png"));
        Browser b;
        b.form->resize(900, 700);
        b.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.form.get()));
        QSignalSpy spy(b.bar.get(), &BrowseBar::OpenImg);
        QTreeWidgetItem *folder = b.open(work());

        // A folder not listed yet has no children, and still opens and closes.
        QTreeWidgetItem *inner = childNamed(folder, "inner");
        b.doubleClick(inner);
        QVERIFY(inner->isExpanded());
        b.doubleClick(inner);
        QVERIFY(!inner->isExpanded());
        QTreeWidgetItem *comp = b.bar->computerItem();
        b.doubleClick(comp);
        QVERIFY(!comp->isExpanded());
        b.doubleClick(comp);
        QVERIFY(comp->isExpanded());
        QCOMPARE(spy.count(), 0);

        b.doubleClick(childNamed(folder, "pic.png"));
        b.doubleClick(childNamed(b.bar->desktopItem(), "desk.png"));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toString(), work() + "/pic.png");
        QCOMPARE(spy.at(1).at(0).toString(), desktop() + "/desk.png");
    }

    void selectShowsDetails_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QSize>("preview");

        auto encoded = [](int w, int h, const char *format) {
            QByteArray data;
            QBuffer buffer(&data);
            buffer.open(QIODevice::WriteOnly);
            testutil::makeImage(w, h).save(&buffer, format);
            return data;
        };
        QTest::newRow("wide") << "wide.png" << encoded(400, 100, "png") << "Size: 400x100" << "Type: PNG" << QSize(200, 50);
        QTest::newRow("small, enlarged") << "small.bmp" << encoded(40, 30, "bmp") << "Size: 40x30" << "Type: BMP" << QSize(200, 150);
        QTest::newRow("tall, width truncated") << "tall.png" << encoded(100, 400, "png") << "Size: 100x400" << "Type: PNG" << QSize(37, 150);
        QTest::newRow("photo") << "photo.jpg" << encoded(3000, 2000, "jpeg") << "Size: 3000x2000" << "Type: JPEG" << QSize(200, 133);
        QTest::newRow("exif turned") << "turned.jpg" << rotatedJpeg(400, 100) << "Size: 100x400" << "Type: JPEG" << QSize(37, 150);
        QTest::newRow("undecodable") << "broken.png" << QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(200, 'x')
                                     << "Size: 0x0" << "Type: PNG" << QSize(0, 0);
    }
    void selectShowsDetails()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, size);
        QFETCH(QString, type);
        QFETCH(QSize, preview);
        QVERIFY(testutil::writeBytes(work() + "/" + name, bytes));
        QVERIFY(png(work() + "/before.png", 30, 20));

        Browser b;
        QTreeWidgetItem *folder = b.open(work());
        b.tree()->setCurrentItem(childNamed(folder, "before.png")); // its preview must not stay
        QTreeWidgetItem *item = childNamed(folder, name);
        QVERIFY(item);
        b.tree()->setCurrentItem(item);
        QCOMPARE(b.form->mpLabelName->text(), "Name: " + name);
        QTRY_VERIFY(!b.bar->isPreviewing()); // the preview is made on a worker
        QCOMPARE(b.form->mpLabelSize->text(), size);
        QCOMPARE(b.form->mpLabelType->text(), type);
        QCOMPARE(b.form->mpPreview->pixmap().size(), preview);
        QCOMPARE(b.form->mpPreview->maximumSize(), preview);
        QVERIFY(b.form->mpPreview->alignment() & Qt::AlignHCenter);
        QVERIFY(b.details(true));
    }

    // An open folder that lists nothing (empty, or gone meanwhile) keeps its
    // expand marker when the tree is laid out again, as when a sibling opens:
    // its branch cell looks like that of an open folder with children.
    void openEmptyFolderKeepsItsMarker_data()
    {
        QTest::addColumn<bool>("vanished");
        QTest::newRow("empty") << false;
        QTest::newRow("vanished") << true;
    }
    void openEmptyFolderKeepsItsMarker()
    {
        QFETCH(bool, vanished);
        QVERIFY(mkpath(work() + "/a") && mkpath(work() + "/b/inner"));
        Browser b;
        b.form->resize(700, 900);
        b.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.form.get()));
        QTreeWidgetItem *folder = b.open(work());
        QTreeWidgetItem *a = childNamed(folder, "a");
        QTreeWidgetItem *full = childNamed(folder, "b");
        QVERIFY(a && full);
        if (vanished)
            QVERIFY(QDir(work() + "/a").removeRecursively());
        b.tree()->setCurrentItem(folder);
        a->setExpanded(true);
        full->setExpanded(true);
        QVERIFY(a->isExpanded() && a->childCount() == 0 && full->childCount() == 1);
        b.tree()->scrollToItem(folder, QAbstractItemView::PositionAtTop);
        QVERIFY(testutil::eventsHandled());

        const QImage shot = b.tree()->viewport()->grab().toImage();
        auto branchCell = [&](QTreeWidgetItem *it) {
            const QRect r = b.tree()->visualItemRect(it);
            const int indent = b.tree()->indentation();
            return shot.copy(QRect(r.left() - indent, r.top(), indent, r.height()));
        };
        QCOMPARE(branchCell(a), branchCell(full));
        // Not a blank cell that happens to match: a blank cell is the tree's
        // background, as in the empty Type column of the folder's row.
        const QImage cell = branchCell(a);
        QImage blank(cell.size(), cell.format());
        blank.fill(b.tree()->viewport()->palette().color(b.tree()->viewport()->backgroundRole()));
        const QHeaderView *header = b.tree()->header();
        const QRect typeRect(header->sectionViewportPosition(BrowseItem::TypeColumn), b.tree()->visualItemRect(a).top(),
                             header->sectionSize(BrowseItem::TypeColumn), cell.height());
        QVERIFY(a->text(BrowseItem::TypeColumn).isEmpty() && typeRect.width() > cell.width());
        QCOMPARE(shot.copy(QRect(typeRect.topLeft(), cell.size())), blank);
        QVERIFY(cell != blank);
        QVERIFY(cell.pixel(0, 0) != cell.pixel(cell.width() / 2, cell.height() / 2)
                || cell.pixel(cell.width() / 2, cell.height() / 2) != cell.pixel(cell.width() - 1, cell.height() - 1));
    }

    // A long name is elided in the details and whole in the tool tip; the
    // dock keeps the width it was given, also at the next start.
    void longNameKeepsTheDockWidth()
    {
        const QString name = QString(160, QLatin1Char('n')) + QStringLiteral(".png");
        QVERIFY(png(work() + "/" + name, 40, 30));
        testutil::clearSettings();
        const int width = 230;
        {
            Framzo main;
            main.resize(1000, 700);
            main.show();
            QVERIFY(QTest::qWaitForWindowExposed(&main));
            main.mLastPath = work();
            main.mpGetPath->trigger();
            main.resizeDocks({main.mpBrowseDock}, {width}, Qt::Horizontal);
            QVERIFY(testutil::eventsHandled());
            QCOMPARE(main.mpBrowseDock->width(), width);

            QTreeWidgetItem *file = nullptr;
            for (QTreeWidgetItemIterator it(main.mpTree); *it; ++it) {
                if ((*it)->text(0) == name)
                    file = *it;
            }
            QVERIFY(file);
            main.mpTree->setCurrentItem(file);
            // The details show once the preview is made (on a worker), and
            // are laid out then.
            QTRY_VERIFY(!main.mpBrowseBar->isPreviewing());
            QVERIFY(!main.mpLabelName->isHidden());
            QVERIFY(testutil::eventsHandled());
            QCOMPARE(main.mpBrowseDock->width(), width);
            QCOMPARE(main.mpLabelName->text(), "Name: " + name);
            QCOMPARE(main.mpLabelName->toolTip(), name);
            auto *label = qobject_cast<ElidedLabel *>(main.mpLabelName);
            QVERIFY(label && label->isElided());
            QVERIFY(label->width() < width);

            main.mpGetPath->trigger(); // hidden and shown again
            main.mpGetPath->trigger();
            QVERIFY(testutil::eventsHandled());
            QCOMPARE(main.mpBrowseDock->width(), width);
        }
        Framzo again;
        again.resize(1000, 700);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        again.mpGetPath->trigger();
        QVERIFY(testutil::eventsHandled());
        QCOMPARE(again.mpBrowseDock->width(), width);
    }

    void selectOtherItemsHidesDetails()
    {
        QVERIFY(mkpath(work() + "/folder") && png(work() + "/a.png", 400, 100));
        Browser b;
        QTreeWidgetItem *folder = b.open(work());
        QTreeWidgetItem *image = childNamed(folder, "a.png");
        for (QTreeWidgetItem *other : {childNamed(folder, "folder"), folder, b.drive(), b.bar->computerItem(),
                                       b.bar->desktopItem()}) {
            b.tree()->setCurrentItem(image);
            QTRY_VERIFY(b.details(true));
            b.tree()->setCurrentItem(other);
            QVERIFY2(b.details(false), qPrintable(other->text(0)));
        }
        // When the shown image goes with a re-listed folder, the details go too.
        b.tree()->setCurrentItem(image);
        folder->setExpanded(false);
        folder->setExpanded(true);
        QVERIFY(b.details(false));
    }

    void openPathIsExact_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("expanded");
        QTest::newRow("Pics") << "Pics" << QStringList{"Pics"};
        QTest::newRow("pics") << "pics" << QStringList{"pics"};
        QTest::newRow("PICS does not exist") << "PICS" << QStringList{};
    }
    void openPathIsExact()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, expanded);
        QVERIFY(mkpath(work() + "/Pics/x") && mkpath(work() + "/pics/y"));
        Browser b;
        b.bar->openPath(work() + "/" + path);
        QTreeWidgetItem *folder = b.item(work());
        if (expanded.isEmpty()) { // nothing at all opens for a missing folder
            QVERIFY(!b.drive()->isExpanded() && !folder);
            return;
        }
        QStringList open;
        for (int i = 0; i < folder->childCount(); ++i) {
            if (folder->child(i)->isExpanded())
                open << folder->child(i)->text(0);
        }
        QCOMPARE(open, expanded);
    }

    void openPathRepeatedName()
    {
        QVERIFY(mkpath(work() + "/A/A/A"));
        Browser b;
        QTreeWidgetItem *a = b.open(work() + "/A");
        QVERIFY(a && a->isExpanded());
        QTreeWidgetItem *aa = childNamed(a, "A");
        QVERIFY(aa && !aa->isExpanded());
        QCOMPARE(aa->childCount(), 0);
        b.bar->openPath(work() + "/A/A");
        QVERIFY(aa->isExpanded() && !childNamed(aa, "A")->isExpanded());
    }

    void openPathRevealsDeepFolder()
    {
        const QString deep = work() + "/y2024/trip/day1/raw";
        QVERIFY(mkpath(deep) && png(deep + "/dsc.png"));
        QVERIFY(mkpath(work() + "/y2024/.hidden/below"));
        Browser b;
        b.bar->openPath(deep);
        QVERIFY(b.drive()->isExpanded());
        QTreeWidgetItem *it = b.drive();
        for (const QString &part : deep.split('/', Qt::SkipEmptyParts)) {
            it = childNamed(it, part);
            QVERIFY2(it && it->isExpanded(), qPrintable(part));
            QCOMPARE(iconOf(it), BrowseBar::kDirOpenName);
        }
        QCOMPARE(childNames(it), QStringList{"dsc.png"});
        QCOMPARE(b.bar->itemPath(it), deep + "/");

        // A hidden folder is not listed: the walk stops at its parent, and
        // what is open stays open.
        b.bar->openPath(work() + "/y2024/.hidden/below");
        QCOMPARE(childNames(b.item(work() + "/y2024")), QStringList{"trip"});
        QVERIFY(it->isExpanded());

        // Paths that name no folder open nothing.
        Browser c;
        for (const QString &path : {QString(), QStringLiteral("relative/path"), work() + "/missing"})
            c.bar->openPath(path);
        QVERIFY(!c.drive()->isExpanded());
    }

    void noItemDoesNothing()
    {
        QVERIFY(png(desktop() + "/a.png"));
        Browser b;
        QSignalSpy spy(b.bar.get(), &BrowseBar::OpenImg);
        const QStringList before = childNames(b.bar->desktopItem());
        emit b.tree()->itemExpanded(nullptr);
        emit b.tree()->itemCollapsed(nullptr);
        emit b.tree()->itemDoubleClicked(nullptr, 0);
        emit b.tree()->currentItemChanged(nullptr, nullptr);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(childNames(b.bar->desktopItem()), before);
        QVERIFY(b.details(false));

        // Without a main window the controller only has its icons.
        BrowseBar lone(nullptr);
        lone.openPath(work());
        QVERIFY(!lone.desktopItem());
        for (const QPixmap &pm : {lone.dirOpenPixmap(), lone.dirClosedPixmap()}) {
            QCOMPARE(pm.size(), QSize(16, 16));
            QCOMPARE(pm.toImage().pixelColor(0, 0).alpha(), 0);
        }
        QVERIFY(lone.dirOpenPixmap().toImage() != lone.dirClosedPixmap().toImage());
    }

    void returnInTheTreeOpensAndNeverCuts_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("Shift+Return") << int(Qt::Key_Return) << int(Qt::ShiftModifier);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    }
    void returnInTheTreeOpensAndNeverCuts()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        const QString folder = work() + "/photos";
        const QString cuts = work() + "/cuts";
        QVERIFY(mkpath(folder + "/inner") && mkpath(cuts));
        QVERIFY(testutil::writeImage(folder + "/a.jpg", 64, 48, "jpeg"));
        QVERIFY(testutil::writeImage(folder + "/b.jpg", 64, 48, "jpeg"));
        Framzo w;
        w.resize(1000, 800);
        w.capturePath = cuts;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.newChildWin(folder + "/a.jpg");
        QVERIFY(w.activePicture() && testutil::waitLoaded(w.activePicture()));
        w.activePicture()->centreFrame(); // a frame that Return would cut
        w.mLastPath = folder;
        w.mpGetPath->trigger();
        QVERIFY(w.mpBrowseBar && w.mpBrowseDock->isVisible());
        QTreeWidgetItem *dir = w.mpBrowseBar->computerItem()->child(0);
        for (const QString &part : folder.split('/', Qt::SkipEmptyParts))
            dir = childNamed(dir, part);
        QVERIFY(dir);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.mpTree->setFocus();
        auto press = [&](QTreeWidgetItem *item) {
            w.mpTree->setCurrentItem(item);
            QTest::keyClick(w.mpTree, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        };

        // A folder opens and closes.
        QTreeWidgetItem *inner = childNamed(dir, "inner");
        press(inner);
        QVERIFY(inner->isExpanded());
        press(inner);
        QVERIFY(!inner->isExpanded());
        // A photo opens in a window of its own; nothing is cut.
        press(childNamed(dir, "b.jpg"));
        const QList<QMdiSubWindow *> windows = w.mpWorkspace->subWindowList();
        QCOMPARE(windows.size(), 2);
        QCOMPARE(qobject_cast<Picture *>(w.mpWorkspace->activeSubWindow()->widget())->path(), folder + "/b.jpg");
        QVERIFY(testutil::settle(w));
        QCOMPARE(QDir(cuts).entryList(QDir::Files), QStringList());
    }

    void mainWindowOpensDoubleClickedImage()
    {
        const QString deep = work() + "/photos/2024";
        QVERIFY(mkpath(deep));
        QVERIFY(testutil::writeImage(deep + "/beach.jpg", 64, 48, "jpeg"));
        Framzo w;
        w.resize(1000, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.mLastPath = deep;
        w.mpGetPath->trigger();
        QVERIFY(w.mpBrowseBar && w.mpBrowseDock->isVisible());

        QTreeWidgetItem *it = w.mpBrowseBar->computerItem()->child(0);
        for (const QString &part : deep.split('/', Qt::SkipEmptyParts)) {
            it = childNamed(it, part);
            QVERIFY2(it && it->isExpanded(), qPrintable(part));
        }
        QTreeWidgetItem *beach = childNamed(it, "beach.jpg");
        QVERIFY(beach);
        doubleClickItem(w.mpTree, w.mpBrowseBar, beach);
        const QList<QMdiSubWindow *> windows = w.mpWorkspace->subWindowList();
        QCOMPARE(windows.size(), 1);
        QCOMPARE(windows.first()->widget()->objectName(), QStringLiteral("Picture"));
        QCOMPARE(w.mLastPath, deep);
    }
};

QTEST_MAIN(TstBrowse)
#include "tst_browse.moc"
