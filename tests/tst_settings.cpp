// Settings kept between runs: read once at construction, written once at
// destruction, in a per-user store that the test environment points at a
// folder of its own.
#include "core/imageio/colourmanage.h"
#include "ui/app/framzo.h"
#include "ui/images/mimesourcefactory.h"
#include "testutil.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QAction>
#include <QSettings>
#include <QToolBar>
#include <QtTest>

namespace {
QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Ketra", "Framzo");
}
} // namespace

class TstSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initImages(); }
    void cleanupTestCase() { cleanupImages(); }
    void init() { testutil::clearSettings(); }

    void firstStartDefaults()
    {
        Framzo main;
        QVERIFY(!main.isMaximized());
        QVERIFY(main.mpFree->isChecked());
        QVERIFY(!main.mpFit->isChecked());
        QCOMPARE(main.mpWidth->text(), QStringLiteral("13"));
        QCOMPARE(main.mpHeight->text(), QStringLiteral("9"));
        QVERIFY(main.mpShowFile->isChecked() && main.mpShowEdit->isChecked() && main.mpShowCut->isChecked());
        QVERIFY(!main.mpKeepCuts->isChecked()); // a cut replaces an earlier one of its name
        QVERIFY(!main.mpAutoTurn->isChecked());
        QVERIFY(main.mpColourManage->isChecked() && colourmanage::displayEnabled());
        QVERIFY(main.mLastPath.isNull());
        QVERIFY(main.capturePath.isNull());
        QCOMPARE(main.geometry().size(), QSize(800, 600));
    }

    void roundTrip()
    {
        {
            Framzo main;
            main.show();
            main.setGeometry(70, 80, 640, 480);
            main.mLastPath = "/photos/2026";
            main.capturePath = "/photos/cuts";
            main.mpFree->setChecked(false);
            main.mpFit->setChecked(true);
            main.mpWidth->setText("abc");
            main.mpHeight->setText("2.5");
            main.mpShowFile->setChecked(false);
            main.mpAutoTurn->setChecked(true);
            main.mpKeepCuts->setChecked(true);
            main.mpColourManage->setChecked(false);
        }
        Framzo main;
        QCOMPARE(main.geometry(), QRect(70, 80, 640, 480));
        QCOMPARE(main.mLastPath, QStringLiteral("/photos/2026"));
        QCOMPARE(main.capturePath, QStringLiteral("/photos/cuts"));
        QVERIFY(main.mpFit->isChecked());
        QVERIFY(!main.mpFree->isChecked());
        QCOMPARE(main.mpWidth->text(), QStringLiteral("abc")); // taken unchanged
        QCOMPARE(main.mpHeight->text(), QStringLiteral("2.5"));
        QVERIFY(!main.mpShowFile->isChecked());
        QVERIFY(main.mpAutoTurn->isChecked());
        QVERIFY(main.mpKeepCuts->isChecked());
        // Off, for the display copies made on the workers too.
        QVERIFY(!main.mpColourManage->isChecked() && !colourmanage::displayEnabled());
        main.show();
        QVERIFY(!main.mpFileBar->isVisible());
        QVERIFY(main.mpEditBar->isVisible());
        // Fit checked and Free unchecked: the size fields show, "free" hides.
        // (A narrow window may move them into the bar's overflow menu, so
        // ask the bar's actions rather than the widgets.)
        auto shown = [&main](QWidget *w) {
            for (QAction *a : main.mpCutBar->actions())
                if (main.mpCutBar->widgetForAction(a) == w)
                    return a->isVisible();
            return false;
        };
        QVERIFY(shown(main.mpWidth));
        QVERIFY(shown(main.mpFit));
        QVERIFY(!shown(main.mpFree));
    }

    void maximisedExitKeepsTheOlderGeometry()
    {
        {
            Framzo main;
            main.show();
            main.setGeometry(30, 40, 500, 400);
        }
        {
            Framzo main;
            main.showMaximized();
            QTRY_VERIFY(main.isMaximized());
        }
        QSettings s = store();
        QCOMPARE(s.value("AppSettings/Maximized").toBool(), true);
        QCOMPARE(s.value("AppSettings/PosX").toInt(), 30);
        QCOMPARE(s.value("AppSettings/SizeX").toInt(), 500);
        Framzo main;
        QVERIFY(main.windowState().testFlag(Qt::WindowMaximized));
        QCOMPARE(main.normalGeometry().size(), QSize(500, 400));
    }

    void storedKeysAreRead()
    {
        {
            QSettings s = store();
            s.setValue("/CutSettings/Fit", true);
            s.setValue("/CutSettings/Free", false);
            s.setValue("/ToolSettings/FileBar", false);
        }
        Framzo main;
        QVERIFY(main.mpFit->isChecked());
        QVERIFY(!main.mpFree->isChecked());
        QVERIFY(!main.mpShowFile->isChecked());
        QVERIFY(main.mpShowCut->isChecked());
    }
};

QTEST_MAIN(TstSettings)
#include "tst_settings.moc"
