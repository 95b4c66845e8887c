// The main window form: menus, accelerators, tool tips and the Cut bar's
// visibility rules, where a typo or a wrong connection would go unnoticed.
#include "ui/app/cutbar.h"
#include "ui/app/framzo.h"
#include "ui/images/mimesourcefactory.h"
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
        QCOMPARE(titles, QStringList({"&File", "&Edit", "&View", "&Tools", "&Window", "&Help"}));
        QCOMPARE(itemTexts(form.menuById(2)), QStringList({"&Open...", "Save", "Save As", "Delete", "|", "E&xit"}));
        QCOMPARE(itemTexts(form.menuById(3)), QStringList({"&Undo", "&Redo", "|", "Rotate Left", "Rotate Right", "|", "Cu&t",
                                                           "Cut and &Next", "Choose Target", "Keep Earlier Cuts"}));
        QVERIFY(form.mpKeepCuts->isCheckable());
        QVERIFY(!form.mpKeepCuts->isChecked());
        QCOMPARE(itemTexts(form.menuById(4)), QStringList({"Create Html File", "|", "File", "Edit", "Cut"}));
        QCOMPARE(itemTexts(form.menuById(5)), QStringList({"&Cascade", "&Tile"}));
        QCOMPARE(itemTexts(form.menuById(6)), QStringList({"Help", "About"}));
        QCOMPARE(itemTexts(form.menuById(7)), QStringList({"Zoom In", "Zoom Out", "Actual Pixels", "Fit in Window", "|",
                                                           "Full Screen", "|", "Rule of Thirds", "Colour management"}));
        QVERIFY(form.mpColourManage->isCheckable());
        QVERIFY(form.mpColourManage->isChecked());
        QCOMPARE(form.menuById(8), nullptr);
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
        QTest::newRow("cut and next") << "mpCutNext" << "cuts the content of the frame, opens nothing and shows the next picture"
                                      << QKeySequence(Qt::SHIFT | Qt::Key_Return);
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
        new CutBar(&form, [] { return QList<Picture *>(); }, [] { return nullptr; }); // fills the lists
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
        // Start: "Format:", the presets on 13 : 9, "free" checked, colour
        // list on "black".
        QCOMPARE(shownCutWidgets(main), QStringList({"mpLabelFormat", "mpPresets", "mpFree", "mpFrameColor"}));
        QCOMPARE(main.mpPresets->currentText(), QStringLiteral("13 : 9"));
        QVERIFY(!main.mpAutoTurn->isChecked());
        QVERIFY(main.mpFree->isVisible());
        QVERIFY(!main.mpWidth->isVisible());
        QCOMPARE(main.mpFrameColor->currentText(), QStringLiteral("black"));

        main.mpFree->setChecked(false);
        QCOMPARE(shownCutWidgets(main),
                 QStringList({"mpLabelFormat", "mpPresets", "mpHeight", "mpLabelX", "mpWidth", "mpLabelCm", "mpTurn",
                              "mpAutoTurn", "mpFit", "mpFree", "mpFrameColor"}));
        QCOMPARE(main.mpHeight->text(), QStringLiteral("9"));
        QCOMPARE(main.mpWidth->text(), QStringLiteral("13"));

        main.mpFit->setChecked(true);
        QVERIFY(!shownCutWidgets(main).contains("mpFree"));
        QVERIFY(shownCutWidgets(main).contains("mpFit"));
        main.mpFit->setChecked(false);
        QVERIFY(shownCutWidgets(main).contains("mpFree"));
    }

    void presetsFillTheFields_data()
    {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<bool>("portrait"); // the fields lay portrait before
        QTest::addColumn<QString>("height"); // the first field
        QTest::addColumn<QString>("width");
        QTest::addColumn<bool>("dpi");
        QTest::newRow("9 x 13 cm") << "9 x 13 cm" << false << "9" << "13" << true;
        QTest::newRow("20 x 30 cm, portrait") << "20 x 30 cm" << true << "30" << "20" << true;
        QTest::newRow("3 : 2") << "3 : 2" << false << "2" << "3" << false;
        QTest::newRow("16 : 9, portrait") << "16 : 9" << true << "16" << "9" << false;
        QTest::newRow("1 : 1") << "1 : 1" << false << "1" << "1" << false;
    }
    void presetsFillTheFields()
    {
        QFETCH(QString, preset);
        QFETCH(bool, portrait);
        QFETCH(QString, height);
        QFETCH(QString, width);
        QFETCH(bool, dpi);
        Framzo main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.mpFit->setChecked(!dpi); // the other mode, so that the preset must switch it
        if (portrait) {
            main.mpWidth->setText("9");
            main.mpHeight->setText("13");
        }
        const int index = main.mpPresets->findText(preset);
        QVERIFY(index > 0);
        // As the user picks it: the list's activated signal.
        main.mpPresets->setCurrentIndex(index);
        emit main.mpPresets->activated(index);
        QCOMPARE(main.mpHeight->text(), height);
        QCOMPARE(main.mpWidth->text(), width);
        QCOMPARE(main.mpFit->isChecked(), dpi);
        QVERIFY(!main.mpFree->isChecked()); // the shape is kept
        QVERIFY(shownCutWidgets(main).contains("mpWidth"));
        QCOMPARE(shownCutWidgets(main).contains("mpFree"), !dpi);
        QCOMPARE(main.mpPresets->currentText(), preset);
        QCOMPARE(main.cutSettings().useDpi, dpi);
        QCOMPARE(main.cutSettings().widthText, width);

        // The fields stay editable; typing shows "custom", and typing the
        // preset's numbers back shows it again.
        main.mpWidth->clear();
        QTest::keyClicks(main.mpWidth, "7");
        QCOMPARE(main.mpPresets->currentText(), QStringLiteral("custom"));
        main.mpWidth->clear();
        QTest::keyClicks(main.mpWidth, width);
        QCOMPARE(main.mpPresets->currentText(), preset);
        // The same numbers in the other mode are another thing.
        if (!dpi) {
            main.mpFit->setChecked(true);
            QCOMPARE(main.mpPresets->currentText(), QStringLiteral("custom"));
        }
    }

    void turnSwapsTheFields()
    {
        Framzo main;
        main.mpFree->setChecked(false); // the button shows with the numbers
        main.mpTurn->click();
        QCOMPARE(main.mpWidth->text(), QStringLiteral("9"));
        QCOMPARE(main.mpHeight->text(), QStringLiteral("13"));
        QCOMPARE(main.mpPresets->currentText(), QStringLiteral("13 : 9"));
        main.mpTurn->click();
        QCOMPARE(main.mpWidth->text(), QStringLiteral("13"));
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
