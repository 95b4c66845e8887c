// The main window form: menus, accelerators, tool tips and the Cut bar's
// visibility rules, where a typo or a wrong connection would go unnoticed.
#include "app/framzo.h"
#include "images/mimesourcefactory.h"
#include "testutil.h"

#include <QAction>
#include <QWidgetAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

QStringList itemTexts(const QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("|") : a->text());
    return out;
}

// The widgets of the Cut bar that are shown, in bar order.
QStringList shownCutWidgets(UiFramzo &form)
{
    QStringList out;
    for (QAction *a : form.mpCutBar->actions()) {
        QWidget *w = form.mpCutBar->widgetForAction(a);
        if (w && a->isVisible() && qobject_cast<QWidgetAction *>(a))
            out << w->objectName();
    }
    return out;
}

} // namespace

class TstForms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initImages(); }
    void cleanupTestCase() { cleanupImages(); }
    void init() { testutil::clearSettings(); }

    void menus()
    {
        UiFramzo form;
        QCOMPARE(form.menuBar()->objectName(), QStringLiteral("MenuBar"));
        QStringList titles;
        for (QAction *a : form.menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, QStringList({"&File", "&Edit", "&Tools", "&Window", "&Help"}));
        QCOMPARE(itemTexts(form.menuById(2)), QStringList({"&Open...", "Save", "Save As", "Delete", "|", "E&xit"}));
        QCOMPARE(itemTexts(form.menuById(3)), QStringList({"Rotate Left", "Rotate Right", "|", "Cu&t", "Choose Target"}));
        QCOMPARE(itemTexts(form.menuById(4)), QStringList({"Create Html File", "|", "File", "Edit", "Cut"}));
        QCOMPARE(itemTexts(form.menuById(5)), QStringList({"&Cascade", "&Tile"}));
        QCOMPARE(itemTexts(form.menuById(6)), QStringList({"Help", "About"}));
        QCOMPARE(form.menuById(7), nullptr);
    }

    void actions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QKeySequence>("key");
        QTest::newRow("open") << "mpGetPath" << "Open" << QKeySequence("Ctrl+O");
        QTest::newRow("save") << "mpSave" << "Save [Ctrl+S]" << QKeySequence("Ctrl+S");
        QTest::newRow("save as") << "mpSaveAs" << "Save As" << QKeySequence();
        QTest::newRow("delete") << "mpDelete" << "Delete (Ctrl + D, Del)" << QKeySequence(QKeyCombination(Qt::CTRL | Qt::Key_D), QKeyCombination(Qt::Key_Delete));
        QTest::newRow("exit") << "mpQuit" << "Exit" << QKeySequence();
        QTest::newRow("left") << "mpRot270" << "Rotate Left (Ctrl+Left)" << QKeySequence("Ctrl+Left");
        QTest::newRow("right") << "mpRot90" << "Rotate Right (Ctrl+Right)" << QKeySequence("Ctrl+Right");
        QTest::newRow("cut") << "mpGenerate" << "cuts the content of the frame and saves it to file" << QKeySequence(Qt::Key_Return);
        QTest::newRow("target") << "mpChooseTarget" << "Choose Target" << QKeySequence();
        QTest::newRow("html") << "mpHtml" << "Create Html Gallery" << QKeySequence();
        QTest::newRow("help") << "mpHelp" << "Help" << QKeySequence(Qt::Key_F1);
    }
    void actions()
    {
        QFETCH(QString, name);
        QFETCH(QString, toolTip);
        QFETCH(QKeySequence, key);
        UiFramzo form;
        auto *a = form.findChild<QAction *>(name);
        QVERIFY(a);
        QCOMPARE(a->toolTip(), toolTip);
        QCOMPARE(a->shortcut(), key);
    }

    void toolButtonTips()
    {
        UiFramzo form;
        QCOMPARE(form.mpPrev->toolTip(), QStringLiteral("last picture  [Page Down]"));
        QCOMPARE(form.mpNext->toolTip(), QStringLiteral("next picture [Page Up]"));
        QCOMPARE(form.mpColor->toolTip(), QStringLiteral("colors"));
        QCOMPARE(form.mpNegative->toolTip(), QStringLiteral("Invert Colors"));
        QCOMPARE(form.mpFrameColor->count(), 5);
        QCOMPARE(form.mpFrameColor->itemText(2), QStringLiteral("red"));
        QCOMPARE(form.mpFrameColor->currentIndex(), 0);
        QCOMPARE(form.mpBrowseDock->windowTitle(), QStringLiteral("Browse"));
        QCOMPARE(form.mpTree->columnCount(), 3);
        QCOMPARE(form.mpTree->headerItem()->text(2), QStringLiteral("Order"));
        QCOMPARE(form.mpCutBar->windowTitle(), QStringLiteral("Cut"));
    }

    void cutBarVisibility()
    {
        Framzo main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        // Start: "Format:", "free" checked, colour list on "black".
        QCOMPARE(shownCutWidgets(main), QStringList({"mpLabelFormat", "mpFree", "mpFrameColor"}));
        QVERIFY(main.mpFree->isVisible());
        QVERIFY(!main.mpWidth->isVisible());
        QCOMPARE(main.mpFrameColor->currentText(), QStringLiteral("black"));

        main.mpFree->setChecked(false);
        QCOMPARE(shownCutWidgets(main), QStringList({"mpLabelFormat", "mpHeight", "mpLabelX", "mpWidth",
                                                     "mpLabelCm", "mpFit", "mpFree", "mpFrameColor"}));
        QCOMPARE(main.mpHeight->text(), QStringLiteral("9"));
        QCOMPARE(main.mpWidth->text(), QStringLiteral("13"));

        main.mpFit->setChecked(true);
        QVERIFY(!shownCutWidgets(main).contains("mpFree"));
        QVERIFY(shownCutWidgets(main).contains("mpFit"));
        main.mpFit->setChecked(false);
        QVERIFY(shownCutWidgets(main).contains("mpFree"));
    }

    void sizeFieldsTakeFourCharacters()
    {
        UiFramzo form;
        form.mpHeight->clear();
        QTest::keyClicks(form.mpHeight, "12345");
        QCOMPARE(form.mpHeight->text(), QStringLiteral("1234"));
        form.mpWidth->clear();
        QTest::keyClicks(form.mpWidth, "abcde");
        QCOMPARE(form.mpWidth->text(), QStringLiteral("abcd"));
    }

    void showActionsAndBarsStayInStep()
    {
        Framzo main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.mpShowFile->setChecked(false);
        QVERIFY(!main.mpFileBar->isVisible());
        main.mpShowFile->setChecked(true);
        QVERIFY(main.mpFileBar->isVisible());
        main.mpEditBar->hide(); // closed by other means
        QVERIFY(!main.mpShowEdit->isChecked());
    }

    void exitCloses()
    {
        Framzo main;
        main.show();
        main.mpQuit->trigger();
        QVERIFY(!main.isVisible());
    }
};

QTEST_MAIN(TstForms)
#include "tst_forms.moc"
