// The main window: opening windows one at a time and in batches, cascade,
// the last folder, drops and the command line.
#include "app/framzo.h"
#include "gallery/html.h"
#include "images/mimesourcefactory.h"
#include "picture/picture.h"
#include "testutil.h"

#include <QDockWidget>
#include <QGraphicsRectItem>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QtTest>

namespace {

QList<QMdiSubWindow *> windows(const Framzo &main)
{
    return main.mpWorkspace->subWindowList();
}

QSize frameFor(QMdiSubWindow *sub)
{
    const QMargins m = sub->contentsMargins();
    return sub->widget()->baseSize() + QSize(m.left() + m.right(), m.top() + m.bottom());
}

} // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;
    QString mA, mB, mC;

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
    void init() { testutil::clearSettings(); }

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
        for (QMdiSubWindow *sub : windows(main))
            QCOMPARE(sub->size(), frameFor(sub));
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
