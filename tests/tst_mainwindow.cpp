// The main window: opening windows one at a time and in batches, cascade,
// the last folder, drops and the command line; what Esc and closing do with
// unsaved edits and open popups; the Browse dock and the active window.
#include "ui/app/framzo.h"
#include "ui/browse/browsebar.h"
#include "ui/gallery/html.h"
#include "ui/images/mimesourcefactory.h"
#include "ui/picture/colorpanel.h"
#include "ui/picture/picture.h"
#include "scripteddialogs.h"
#include "testwindow.h"
#include "testutil.h"
#include "testwindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QGraphicsRectItem>
#include <QGraphicsView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

namespace {

QList<QMdiSubWindow *> windows(const Framzo &main)
{
    return main.mpWorkspace->subWindowList();
}

// The size of an image window at its base size: the photo's size with the
// frame around it, but never below the window's minimum.
QSize frameFor(QMdiSubWindow *sub)
{
    const QMargins m = sub->contentsMargins();
    return (sub->widget()->baseSize() + QSize(m.left() + m.right(), m.top() + m.bottom()))
        .expandedTo(sub->minimumSize());
}

// Shows main and waits until it is the active window.
bool showActive(Framzo &main)
{
    main.show();
    main.activateWindow();
    QApplication::setActiveWindow(&main);
    return QTest::qWaitForWindowActive(&main);
}

// A key as the window system delivers it: to a window, whose shortcuts see
// it before any widget does.
void pressOn(QWindow *window, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(window, key, modifiers);
}

} // namespace

Q_DECLARE_METATYPE(Dialogs::Unsaved)

class TstMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;
    QString mA, mB, mC;
    ScriptedDialogs mDialogs;

private slots:
    void initTestCase()
    {
        initImages();
        mA = mDir.filePath("a.png");
        mB = mDir.filePath("b.jpg");
        mC = mDir.filePath("c.bmp");
        QVERIFY(testutil::writeImage(mA, 120, 90, "png"));
        QVERIFY(testutil::writeImage(mB, 90, 120, "jpeg"));
        QVERIFY(testutil::writeImage(mC, 60, 60, "bmp"));
        QVERIFY(testutil::writeBytes(mDir.filePath("notes.jpg"), "not an image"));
    }
    void cleanupTestCase() { cleanupImages(); }
    void init()
    {
        testutil::clearSettings();
        mDialogs.reset();
    }

    void oneAtATime()
    {
        Framzo main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.newChildWin(mA);
        QCOMPARE(windows(main).size(), 1);
        QVERIFY(windows(main).at(0)->isMaximized());

        main.newChildWin(mB);
        QCOMPARE(windows(main).size(), 2);
        for (QMdiSubWindow *sub : windows(main)) {
            QVERIFY(!sub->isMaximized());
            QCOMPARE(sub->size(), frameFor(sub));
        }
        main.newChildWin(mC);
        QCOMPARE(windows(main).size(), 3);
        // Cascaded, and still so once their pixels have come: no window
        // lies on top of another.
        QVERIFY(testutil::settle(main));
        QSet<QPoint> corners;
        for (QMdiSubWindow *sub : windows(main)) {
            QCOMPARE(sub->size(), frameFor(sub));
            corners.insert(sub->pos());
        }
        QCOMPARE(corners.size(), 3);
    }

    void batchIntoEmptyWorkspaceIsAllMaximised()
    {
        Framzo main;
        main.show();
        main.openArguments({"/usr/bin/framzo", mA, mDir.path(), mDir.filePath("notes.jpg"), mB,
                            mDir.filePath("missing.png")});
        QCOMPARE(main.mProgPath, QStringLiteral("/usr/bin/framzo"));
        const auto subs = windows(main);
        QCOMPARE(subs.size(), 2);
        QCOMPARE(qobject_cast<Picture *>(subs.at(0)->widget())->path(), mA);
        QCOMPARE(qobject_cast<Picture *>(subs.at(1)->widget())->path(), mB);
        // The workspace shows one maximised window at a time: whichever the
        // user brings forward is maximised, and none has been cascaded.
        for (QMdiSubWindow *sub : subs) {
            main.mpWorkspace->setActiveSubWindow(sub);
            QVERIFY(sub->isMaximized());
        }
        main.mpWorkspace->setActiveSubWindow(subs.at(0));
        subs.at(0)->showNormal();
        QCOMPARE(subs.at(0)->size(), frameFor(subs.at(0)));
    }

    void foldersAndNonImagesOpenNothing()
    {
        Framzo main;
        main.openArguments({"framzo", mDir.path(), mDir.filePath("notes.jpg")});
        QCOMPARE(windows(main).size(), 0);
        main.openArguments({});
        QCOMPARE(windows(main).size(), 0);
    }

    void dropOpensImagesInOrder()
    {
        Framzo main;
        main.show();
        main.newChildWin(mC); // a window is open already: every drop is shown and cascaded
        auto *mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(mA), QUrl::fromLocalFile(mDir.filePath("notes.jpg")),
                       QUrl::fromLocalFile(mB)});
        // A drop reaches the window that accepted the drag's entry.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&main, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&main, &drop);
        const auto subs = windows(main);
        QCOMPARE(subs.size(), 3);
        QCOMPARE(qobject_cast<Picture *>(subs.at(1)->widget())->path(), mA);
        QCOMPARE(qobject_cast<Picture *>(subs.at(2)->widget())->path(), mB);
        for (QMdiSubWindow *sub : subs)
            QCOMPARE(sub->size(), frameFor(sub));
        delete mime;
    }

    void lastPath()
    {
        Framzo main;
        main.newChildWin(mA);
        QCOMPARE(main.mLastPath, mDir.path());
        main.newChildWin(QStringLiteral("nofolder.png"));
        QCOMPARE(main.mLastPath, QStringLiteral("nofolder.png"));
        const int before = windows(main).size();
        main.newChildWin(QString());
        QCOMPARE(windows(main).size(), before);
    }

    void cascadeLeavesFewWindowsAlone()
    {
        Framzo main;
        main.show();
        main.newChildWin(mA);
        QMdiSubWindow *only = windows(main).at(0);
        QVERIFY(only->isMaximized());
        QMetaObject::invokeMethod(&main, "cascade");
        QVERIFY(only->isMaximized());
    }

    void cascadeResizesOnlyImageWindows()
    {
        Framzo main;
        main.show();
        main.newChildWin(mA);
        main.newChildWin(mB);
        main.mpHtml->trigger();
        const auto subs = windows(main);
        QCOMPARE(subs.size(), 3);
        QMetaObject::invokeMethod(&main, "cascade");
        QMdiSubWindow *gallery = nullptr;
        for (QMdiSubWindow *sub : subs) {
            if (sub->widget()->objectName() == QLatin1String("Picture"))
                QCOMPARE(sub->size(), frameFor(sub));
            else
                gallery = sub;
        }
        QVERIFY(gallery);
        QCOMPARE(gallery->widget()->objectName(), QStringLiteral("Html"));
        QVERIFY(gallery->size() != frameFor(gallery) || gallery->widget()->baseSize().isEmpty());
    }

    // A window at "fit" shows its whole photo as large as it fits, however
    // its size changes; nothing of the photo is repeated beside it.
    void fitFollowsTheWindow_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("tile") << "tile";
        QTest::newRow("resize") << "resize";
        QTest::newRow("maximise") << "maximise";
        QTest::newRow("full screen") << "full screen";
    }
    void fitFollowsTheWindow()
    {
        QFETCH(QString, change);
        Framzo main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.newChildWin(mA);
        main.newChildWin(mB);
        const auto subs = windows(main);
        QCOMPARE(subs.size(), 2);
        for (QMdiSubWindow *sub : subs)
            QVERIFY(testutil::waitLoaded(qobject_cast<Picture *>(sub->widget())));
        QMdiSubWindow *sub = subs.at(1);
        auto *pic = qobject_cast<Picture *>(sub->widget());
        if (change == "tile") {
            QMetaObject::invokeMethod(&main, "tile");
        } else if (change == "resize") {
            sub->resize(sub->width() + 230, sub->height() + 170);
        } else if (change == "maximise") {
            sub->showMaximized();
        } else {
            main.mpWorkspace->setActiveSubWindow(sub);
            main.mpFullScreen->trigger();
            QVERIFY(main.menuBar()->isHidden());
        }
        QVERIFY(testutil::eventsHandled());
        for (QMdiSubWindow *each : change == "tile" ? subs : QList<QMdiSubWindow *>{sub}) {
            auto *p = qobject_cast<Picture *>(each->widget());
            PictureView *view = p->view();
            QVERIFY(view->zoom().isFit());
            const QRect vp = view->viewport()->rect();
            const QRectF shown = view->viewportTransform().mapRect(p->canvas()->sceneRect());
            // Inside the viewport, touching two of its sides (or drawn one
            // to one in a window made around it).
            QVERIFY2(QRectF(vp).adjusted(-1, -1, 1, 1).contains(shown), qPrintable(change));
            const bool fills = qAbs(shown.width() - vp.width()) <= 1 || qAbs(shown.height() - vp.height()) <= 1;
            QVERIFY2(fills || view->transform().isIdentity(), qPrintable(change));
            // Beside the photo the canvas colour, not its rows again.
            const QImage grabbed = view->viewport()->grab().toImage();
            if (shown.bottom() + 3 < vp.height())
                QCOMPARE(QColor(grabbed.pixel(int(shown.center().x()), vp.height() - 2)), QColor(192, 192, 192));
        }
        if (change == "full screen") {
            QTest::keyClick(pic->view(), Qt::Key_Escape);
            QVERIFY(!main.menuBar()->isHidden());
            QVERIFY(main.isVisible()); // Esc left full screen, and only that
            QVERIFY(!main.mpFullScreen->isChecked());
        }
    }

    void commandsWithoutImageWindowDoNothing()
    {
        Framzo main;
        main.show();
        main.mpHtml->trigger();
        QCOMPARE(main.activePicture(), nullptr); // the gallery window is active
        for (const char *slot : {"nextImg", "prevImg", "rotate90", "rotate270", "saveImage", "invertColor"})
            QVERIFY(QMetaObject::invokeMethod(&main, slot));
    }

    void cutBarDrivesEveryFrame()
    {
        Framzo main;
        main.show();
        main.newChildWin(mA);
        main.mpShowCut->setChecked(false);
        main.newChildWin(mB); // opened while the Cut bar is hidden
        const QList<Picture *> pics = main.findChildren<Picture *>();
        QCOMPARE(pics.size(), 2);
        for (Picture *p : pics)
            QVERIFY(!p->frameItem()->isVisible());
        main.mpShowCut->setChecked(true);
        for (Picture *p : pics)
            QVERIFY(p->frameItem()->isVisible());
    }

    void browseTogglesTheDock()
    {
        Framzo main;
        main.show();
        QVERIFY(!main.mpBrowseDock->isVisible());
        QVERIFY(!main.mpBrowseBar);
        main.mpGetPath->trigger();
        QVERIFY(main.mpBrowseBar);
        QVERIFY(main.mpBrowseDock->isVisible());
        main.mpGetPath->trigger();
        QVERIFY(!main.mpBrowseDock->isVisible());
        main.mpGetPath->trigger();
        QVERIFY(main.mpBrowseDock->isVisible());
    }

    // Esc, closing the main window and closing one image window with
    // unsaved edits ask first (through the dialog seam); the answer saves,
    // lets the edits go, or keeps everything open.
    void unsavedEditsAreAsked_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("closeBy");  // "esc", "main" (its close button, Exit) or "window"
        QTest::addColumn<Dialogs::Unsaved>("answer");
        QTest::addColumn<bool>("saveFails");   // the photo's folder is gone when it is saved
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("savedEdited"); // the file on disk holds the edits

        using U = Dialogs::Unsaved;
        QTest::newRow("no edits: Esc quits at once") << "none" << "esc" << U::Cancel << false << false << true << false;
        QTest::newRow("turned and back: nothing to save") << "turn back" << "esc" << U::Cancel << false << false << true << false;
        QTest::newRow("colours all at zero: nothing to save") << "zero colours" << "esc" << U::Cancel << false << false << true << false;
        QTest::newRow("turn, Esc, Cancel") << "turn" << "esc" << U::Cancel << false << true << false << false;
        QTest::newRow("invert, Esc, Discard") << "invert" << "esc" << U::Discard << false << true << true << false;
        QTest::newRow("turn, Esc, Save") << "turn" << "esc" << U::Save << false << true << true << true;
        QTest::newRow("colours, closing the main window, Save") << "colours" << "main" << U::Save << false << true << true << true;
        QTest::newRow("colours, Save that fails: stays open") << "colours" << "main" << U::Save << true << true << false << false;
        QTest::newRow("image window: turn, Cancel") << "turn" << "window" << U::Cancel << false << true << false << false;
        QTest::newRow("image window: invert, Discard") << "invert" << "window" << U::Discard << false << true << true << false;
        QTest::newRow("image window: colours, Save") << "colours" << "window" << U::Save << false << true << true << true;
        QTest::newRow("image window: Save that fails: stays open") << "turn" << "window" << U::Save << true << true << false << false;
    }

    void unsavedEditsAreAsked()
    {
        QFETCH(QString, edit);
        QFETCH(QString, closeBy);
        QFETCH(Dialogs::Unsaved, answer);
        QFETCH(bool, saveFails);
        QFETCH(bool, asked);
        QFETCH(bool, closed);
        QFETCH(bool, savedEdited);

        QTemporaryDir dir;
        const QString folder = dir.filePath("photos");
        const QString photo = folder + "/photo.png";
        QVERIFY(QDir().mkpath(folder) && testutil::writeImage(photo, 120, 80, "png"));
        const QByteArray original = testutil::readAll(photo);

        Framzo main;
        QVERIFY(showActive(main));
        main.newChildWin(mA); // a second window, without edits
        main.newChildWin(photo);
        Picture *pic = main.activePicture();
        QVERIFY(pic && pic->path() == photo);
        QVERIFY(testutil::waitLoaded(pic));
        if (edit == "turn")
            pic->rotateBy(90.0);
        else if (edit == "turn back") {
            pic->rotateBy(90.0);
            pic->rotateBy(270.0);
        } else if (edit == "invert")
            pic->invertColors();
        else if (edit == "colours")
            pic->adjustColors(20, 0, -10, 5);
        else if (edit == "zero colours")
            pic->adjustColors(0, 0, 0, 0);
        QCOMPARE(pic->hasUnsavedEdits(), asked);
        const QImage edited = pic->image().copy();
        if (saveFails)
            QVERIFY(QDir(folder).removeRecursively());
        mDialogs.unsavedAnswer = answer;

        QPointer<Picture> watch(pic);
        const int windowsBefore = main.mpWorkspace->subWindowList().size();
        if (closeBy == "esc")
            pressOn(main.windowHandle(), Qt::Key_Escape);
        else if (closeBy == "main")
            main.close();
        else
            qobject_cast<QMdiSubWindow *>(pic->parentWidget())->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QCOMPARE(mDialogs.unsavedAsked, asked ? 1 : 0);
        if (asked)
            QCOMPARE(mDialogs.unsavedPaths, QStringList{photo}); // that photo, not the other one
        if (closeBy == "window") {
            QCOMPARE(watch.isNull(), closed);
            QCOMPARE(main.mpWorkspace->subWindowList().size(), windowsBefore - (closed ? 1 : 0));
            QVERIFY(main.isVisible());
        } else {
            QCOMPARE(!main.isVisible(), closed);
            QVERIFY(watch);
        }
        if (!closed) {
            // Nothing lost: the edits are still there, and a failed save
            // said why.
            QVERIFY(watch && watch->hasUnsavedEdits());
            QCOMPARE(watch->image(), edited);
            if (saveFails)
                QVERIFY(!main.statusBar()->currentMessage().isEmpty());
        }
        if (!saveFails) {
            const QImage onDisk(photo);
            QCOMPARE(onDisk.size(), savedEdited ? edited.size() : QSize(120, 80));
            if (savedEdited)
                QCOMPARE(onDisk.convertToFormat(QImage::Format_RGB32), edited.convertToFormat(QImage::Format_RGB32));
            else
                QCOMPARE(testutil::readAll(photo), original);
        }
    }

    void unsavedQuestionNamesEveryEditedPhoto()
    {
        Framzo main;
        QVERIFY(showActive(main));
        for (const QString &p : {mA, mB, mC})
            main.newChildWin(p);
        const QList<Picture *> pics = main.findChildren<Picture *>();
        QCOMPARE(pics.size(), 3);
        for (Picture *p : pics) {
            if (p->path() != mB)
                p->invertColors();
        }
        mDialogs.unsavedAnswer = Dialogs::Unsaved::Cancel;
        pressOn(main.windowHandle(), Qt::Key_Escape);
        QCOMPARE(mDialogs.unsavedAsked, 1);
        QStringList named = mDialogs.unsavedPaths;
        named.sort();
        QCOMPARE(named, (QStringList{mA, mC}));
        QVERIFY(main.isVisible());
    }

    // While a popup is open its keys are its own: Esc closes only the popup,
    // and Return picks an entry of a list instead of cutting.
    void popupKeepsItsKeys_data()
    {
        QTest::addColumn<QString>("popup");
        QTest::addColumn<bool>("toPopupWindow"); // the key reaches the popup's window (a keyboard grab) or the main one
        for (const char *popup : {"frame colour list", "menu", "colour panel", "gallery folder list", "gallery columns list"}) {
            QTest::addRow("%s, key at the popup", popup) << QString::fromLatin1(popup) << true;
            QTest::addRow("%s, key at the main window", popup) << QString::fromLatin1(popup) << false;
        }
    }

    void popupKeepsItsKeys()
    {
        QFETCH(QString, popup);
        QFETCH(bool, toPopupWindow);
        Framzo main;
        QVERIFY(showActive(main));
        main.newChildWin(mA);
        std::function<void()> open;
        if (popup == "frame colour list") {
            open = [&] { main.mpFrameColor->showPopup(); };
        } else if (popup == "menu") {
            open = [&] { main.menuById(2)->popup(main.mapToGlobal(QPoint(20, 20))); };
        } else if (popup == "colour panel") {
            open = [&] { QVERIFY(QMetaObject::invokeMethod(&main, "openColor")); };
        } else {
            main.mpHtml->trigger();
            auto *html = main.findChild<Html *>();
            QVERIFY(html);
            auto *combo = html->findChild<QComboBox *>(popup == "gallery folder list" ? "mpPath" : "mpRow");
            QVERIFY(combo);
            open = [combo] { combo->showPopup(); };
        }
        auto key = [&](Qt::Key k) {
            QWidget *shown = QApplication::activePopupWidget();
            pressOn(toPopupWindow && shown && shown->windowHandle() ? shown->windowHandle() : main.windowHandle(), k);
        };

        open();
        QTRY_VERIFY(QApplication::activePopupWidget());
        key(Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(main.isVisible());
        QCOMPARE(mDialogs.unsavedAsked, 0);

        if (popup == "frame colour list") {
            // Down and Return choose "white"; nothing is cut (a cut would
            // first ask for the capture folder).
            open();
            QTRY_VERIFY(QApplication::activePopupWidget());
            key(Qt::Key_Down);
            key(Qt::Key_Return);
            QTRY_VERIFY(!QApplication::activePopupWidget());
            QCOMPARE(main.mpFrameColor->currentIndex(), 1);
            QCOMPARE(mDialogs.foldersAsked, 0);
        }
        // With the popup gone, Esc closes the main window again.
        // (The offscreen platform does not give the activation back by
        // itself.)
        QVERIFY(showActive(main));
        pressOn(main.windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(!main.isVisible());
    }

    // Hiding the Browse dock (Ctrl+O, its close button, its entry in the
    // window's context menu) while a file is selected in the tree leaves the
    // active image window as it was.
    void hidingTheDockKeepsTheActiveWindow_data()
    {
        QTest::addColumn<bool>("batch");
        QTest::addColumn<QString>("how");
        for (const char *how : {"Ctrl+O", "close button", "context menu"}) {
            QTest::addRow("maximised windows, %s", how) << true << QString::fromLatin1(how);
            QTest::addRow("cascaded windows, %s", how) << false << QString::fromLatin1(how);
        }
    }

    void hidingTheDockKeepsTheActiveWindow()
    {
        QFETCH(bool, batch);
        QFETCH(QString, how);
        Framzo main;
        QVERIFY(showActive(main));
        if (batch) {
            main.openArguments({"framzo", mA, mB, mC});
        } else {
            for (const QString &p : {mA, mB, mC})
                main.newChildWin(p);
        }
        for (Picture *pic : main.findChildren<Picture *>())
            QVERIFY(testutil::waitLoaded(pic));
        main.mpWorkspace->setActiveSubWindow(main.mpWorkspace->subWindowList().at(1));
        QMdiSubWindow *active = main.mpWorkspace->activeSubWindow();
        QCOMPARE(qobject_cast<Picture *>(active->widget())->path(), mB);

        pressOn(main.windowHandle(), Qt::Key_O, Qt::ControlModifier);
        QTRY_VERIFY(main.mpBrowseDock->isVisible());
        // A file selected in the tree, the keyboard focus with it.
        main.mpTree->setFocus();
        QTreeWidgetItem *file = nullptr;
        for (QTreeWidgetItemIterator it(main.mpTree); *it; ++it) {
            if ((*it)->text(0) == QLatin1String("c.bmp"))
                file = *it;
        }
        QVERIFY(file);
        main.mpTree->setCurrentItem(file);
        QTRY_VERIFY(!main.mpBrowseBar->isPreviewing());
        QTRY_COMPARE(QApplication::focusWidget(), main.mpTree);
        QCOMPARE(main.mpWorkspace->activeSubWindow(), active);

        if (how == "close button") {
            auto *button = main.mpBrowseDock->findChild<QAbstractButton *>("qt_dockwidget_closebutton");
            QVERIFY(button);
            button->click();
        } else if (how == "context menu") {
            main.mpBrowseDock->toggleViewAction()->trigger();
        } else {
            pressOn(main.windowHandle(), Qt::Key_O, Qt::ControlModifier);
        }
        QTRY_VERIFY(!main.mpBrowseDock->isVisible());
        QVERIFY(testutil::eventsHandled());
        QCOMPARE(main.mpWorkspace->activeSubWindow(), active);
        QCOMPARE(main.activePicture()->path(), mB);
        QVERIFY(active->isAncestorOf(QApplication::focusWidget()));
    }

    // Files dropped anywhere on the main window open, not only on the grey
    // workspace: on a shown photo, the folder tree, the Cut bar.
    void dropsAnywhereOpenFiles_data()
    {
        QTest::addColumn<QString>("where");
        for (const char *where : {"photo", "workspace", "folder tree", "size field", "status bar"})
            QTest::newRow(where) << QString::fromLatin1(where);
    }

    void dropsAnywhereOpenFiles()
    {
        QFETCH(QString, where);
        Framzo main;
        main.resize(1000, 800);
        QVERIFY(showActive(main));
        main.newChildWin(mC);
        main.newChildWin(mA); // cascaded: the workspace shows beside them
        main.mpGetPath->trigger();
        main.mpFree->setChecked(false); // the size fields shown
        // The windows take their places as their photos come in.
        for (Picture *pic : main.findChildren<Picture *>())
            QVERIFY(testutil::waitLoaded(pic));
        QVERIFY(testutil::eventsHandled());

        QWidget *target = nullptr;
        QPoint at;
        if (where == "photo") {
            target = main.activePicture()->view()->viewport();
            at = target->rect().center();
        } else if (where == "workspace") {
            target = main.mpWorkspace->viewport();
            at = QPoint(target->width() - 10, target->height() - 10);
        } else if (where == "folder tree") {
            target = main.mpTree->viewport();
            at = target->rect().center();
        } else if (where == "size field") {
            target = main.mpWidth;
            at = target->rect().center();
        } else {
            target = main.statusBar();
            at = target->rect().center();
        }
        QVERIFY(target->isVisible());
        const QPoint inWindow = target->mapTo(&main, at);
        QCOMPARE(main.childAt(inWindow), target);

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(mB)});
        mime.setText(QUrl::fromLocalFile(mB).toString()); // file managers offer text too
        QWindow *window = main.windowHandle();
        // What the toolkit does with a drag from another program: the window
        // finds the widget under the pointer that takes drops; an accepted
        // entry makes the moves accepted until the widget says otherwise.
        QDragEnterEvent enter(inWindow, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &enter);
        QDragMoveEvent move(inWindow, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        if (enter.isAccepted() && enter.dropAction() != Qt::IgnoreAction) {
            move.setDropAction(enter.dropAction());
            move.accept();
        } else {
            move.ignore();
        }
        QCoreApplication::sendEvent(window, &move);
        QVERIFY2(move.isAccepted(), "the drop is refused");
        QDropEvent drop(inWindow, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &drop);

        const auto subs = windows(main);
        QCOMPARE(subs.size(), 3);
        QCOMPARE(main.activePicture()->path(), mB);
        QCOMPARE(main.mpWidth->text(), QStringLiteral("13")); // no address typed into a field
    }

    // A new frame colour shows at once on every frame, and is kept.
    void frameColourAppliesAtOnceAndIsKept()
    {
        const QColor red(255, 0, 0);
        {
            Framzo main;
            QVERIFY(showActive(main));
            main.newChildWin(mA);
            main.newChildWin(mB);
            main.mpFrameColor->setCurrentIndex(2);
            main.newChildWin(mC); // opened after the change
            const QList<Picture *> pics = main.findChildren<Picture *>();
            QCOMPARE(pics.size(), 3);
            for (Picture *p : pics) {
                QCOMPARE(p->frameItem()->pen().color(), red);
                QCOMPARE(p->handleItem()->pen().color(), red);
                QCOMPARE(p->frameState().frameWidth, 0); // no drag made it so
            }
        }
        Framzo again;
        QCOMPARE(again.mpFrameColor->currentIndex(), 2);
        again.newChildWin(mA);
        QCOMPARE(again.activePicture()->frameItem()->pen().color(), red);
    }

    // The workspace window carries the format icon of the photo it shows,
    // and a one-pixel photo still makes a window that can be seen and
    // grabbed, with the canvas at its own size.
    void imageWindowFrame()
    {
        QTemporaryDir dir;
        const QString dot = dir.filePath("dot.png");
        const QString next = dir.filePath("e.jpg");
        QVERIFY(testutil::writeImage(dot, 1, 1, "png") && testutil::writeImage(next, 40, 30, "jpeg"));
        Framzo main;
        QVERIFY(showActive(main));
        main.newChildWin(mA);
        main.newChildWin(dot);
        Picture *pic = main.activePicture();
        auto *sub = qobject_cast<QMdiSubWindow *>(pic->parentWidget());
        QVERIFY(sub && !sub->isMaximized());
        auto iconIs = [&](const char *name) {
            return sub->windowIcon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32)
                == fromMimeSource(QString::fromLatin1(name)).toImage().scaled(16, 16).convertToFormat(QImage::Format_ARGB32);
        };
        QVERIFY(iconIs("iconPNG.bmp"));
        QVERIFY(!iconIs("icon16.bmp"));
        QVERIFY(sub->width() >= 160 && sub->height() >= 120);
        QCOMPARE(pic->canvas()->sceneRect(), QRectF(0, 0, 1, 1));
        QMetaObject::invokeMethod(&main, "cascade");
        QVERIFY(sub->width() >= 160 && sub->height() >= 120);
        pic->stepInFolder(+1); // dot.png -> e.jpg
        QCOMPARE(pic->path(), next);
        QVERIFY(iconIs("iconJPG.bmp"));
    }

    void escapeClosesTheMainWindow()
    {
        Framzo main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QApplication::setActiveWindow(&main);
        QTest::keyClick(&main, Qt::Key_Escape);
        QTRY_VERIFY(!main.isVisible());
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
