#include "ui/app/framzo.h"
#include "ui/app/helpview.h"
#include "ui/forms/uiabout.h"
#include "ui/images/mimesourcefactory.h"

#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include "testutil.h"

namespace {

template <typename T> QList<T *> topLevels()
{
    QList<T *> found;
    const QWidgetList all = QApplication::topLevelWidgets();
    for (QWidget *w : all)
        if (auto *t = qobject_cast<T *>(w))
            found << t;
    return found;
}

} // namespace

class TstAbout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initImages(); }
    void cleanupTestCase() { cleanupImages(); }

    void aboutForm();
    void aboutCloses_data();
    void aboutCloses();
    void helpPath_data();
    void helpPath();
    void centring_data();
    void centring();
    void helpViewMissingFile();
    void helpViewFollowsRelativeLinks();
    void helpPagesLinkToExistingPages();
    void installsHelpAndDesktopEntry();
    void mainWindowOpensBoth();
};

void TstAbout::aboutForm()
{
    UiAbout dlg;
    QCOMPARE(dlg.objectName(), QStringLiteral("UiAbout"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("About"));
    QVERIFY(!dlg.windowIcon().isNull());
    QCOMPARE(dlg.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(dlg.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(dlg.size(), QSize(230, 103).expandedTo(dlg.minimumSizeHint()));

    auto *label = dlg.findChild<QLabel *>(QStringLiteral("textLabel1"));
    QVERIFY(label);
    QCOMPARE(label->textFormat(), Qt::RichText);
    // One centred paragraph: "Framzo v2.0" first, then two more lines.
    const QString text = label->text();
    static const QRegularExpression shape(
        QStringLiteral("^<p align=\"center\">Framzo v2\\.0[^<]*<br>[^<]+<br>[^<]+</p>$"));
    QVERIFY2(shape.match(text).hasMatch(), qPrintable(text));

    auto *ok = dlg.findChild<QPushButton *>(QStringLiteral("mpAboutOk"));
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("&Ok"));
    QCOMPARE(ok->shortcut(), QKeySequence(QStringLiteral("Alt+O")));

    auto *grid = dlg.findChild<QGridLayout *>(QStringLiteral("UiAboutLayout"));
    QVERIFY(grid);
    QCOMPARE(grid->contentsMargins(), QMargins(11, 11, 11, 11));
    QCOMPARE(grid->spacing(), 6);
    auto *column = dlg.findChild<QVBoxLayout *>(QStringLiteral("layout3"));
    QVERIFY(column);
    QCOMPARE(grid->itemAtPosition(0, 0)->layout(), column);
    QCOMPARE(column->itemAt(0)->widget(), label);
    auto *row = dlg.findChild<QHBoxLayout *>(QStringLiteral("layout2"));
    QVERIFY(row);
    QCOMPARE(column->itemAt(1)->layout(), row);
    QCOMPARE(row->count(), 3);
    QSpacerItem *left = row->itemAt(0)->spacerItem();
    QSpacerItem *right = row->itemAt(2)->spacerItem();
    QVERIFY(left && right);
    QCOMPARE(left->sizeHint(), QSize(57, 21));
    QCOMPARE(right->sizeHint(), QSize(56, 21));
    QCOMPARE(left->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(row->itemAt(1)->widget(), ok);

}

void TstAbout::aboutCloses_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("Alt+O") << 0 << int(QDialog::Accepted);
    QTest::newRow("button") << 1 << int(QDialog::Accepted);
    QTest::newRow("Esc") << 2 << int(QDialog::Rejected);
}

void TstAbout::aboutCloses()
{
    QFETCH(int, how);
    QFETCH(int, result);
    UiAbout dlg;
    dlg.setResult(-1);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    auto *ok = dlg.findChild<QPushButton *>(QStringLiteral("mpAboutOk"));
    if (how == 0)
        QTest::keyClick(&dlg, Qt::Key_O, Qt::AltModifier);
    else if (how == 1)
        QTest::mouseClick(ok, Qt::LeftButton);
    else
        QTest::keyClick(&dlg, Qt::Key_Escape);
    QTRY_VERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), result);
}

void TstAbout::helpPath_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("help");
    QTest::newRow("backslashes") << QStringLiteral("C:\\Tools\\app.exe") << QStringLiteral("C:/Tools/help/open.html");
    QTest::newRow("no separator") << QStringLiteral("framzo") << QStringLiteral("framzo/help/open.html");
    QTest::newRow("unix") << QStringLiteral("/usr/bin/framzo") << QStringLiteral("/usr/bin/help/open.html");
    QTest::newRow("mixed") << QStringLiteral("C:/Tools\\sub/app.exe") << QStringLiteral("C:/Tools/sub/help/open.html");
    QTest::newRow("root") << QStringLiteral("/framzo") << QStringLiteral("/help/open.html");
    QTest::newRow("empty") << QString() << QStringLiteral("/help/open.html");
}

void TstAbout::helpPath()
{
    QFETCH(QString, program);
    QFETCH(QString, help);
    QCOMPARE(HelpView::pathFor(program), help);
}

void TstAbout::centring_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("dialog");
    QTest::addColumn<int>("expected");
    QTest::newRow("odd window") << 100 << 801 << 230 << 385;
    QTest::newRow("odd both") << 0 << 801 << 231 << 285;
    QTest::newRow("dialog wider") << 10 << 100 << 231 << -55;
    // Halves truncate toward zero, also left of the screen's origin.
    QTest::newRow("negative x") << -7 << 3 << 1 << -6;
}

void TstAbout::centring()
{
    QFETCH(int, x);
    QFETCH(int, window);
    QFETCH(int, dialog);
    QFETCH(int, expected);
    QCOMPARE(Framzo::centredX(x, window, dialog), expected);
}

void TstAbout::helpViewMissingFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QPointer<QTextBrowser> browser;
    {
        HelpView view(HelpView::pathFor(dir.path() + QStringLiteral("/nowhere/framzo")));
        browser = view.browser();
    }
    // The viewer outlives the HelpView that opened it.
    QVERIFY(browser);
    QVERIFY(browser->isVisible());
    QVERIFY(browser->isWindow());
    QCOMPARE(browser->geometry(), QRect(20, 40, 600, 300));
    QVERIFY(browser->toPlainText().isEmpty());
    browser->close();
    QTRY_VERIFY(browser.isNull()); // a closed viewer is freed
}

void TstAbout::helpViewFollowsRelativeLinks()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("help")));
    QVERIFY(testutil::writeBytes(dir.filePath(QStringLiteral("help/open.html")),
                                 "<html><body><p>First page</p><a href=\"next.html\">on</a></body></html>"));
    QVERIFY(testutil::writeBytes(dir.filePath(QStringLiteral("help/next.html")),
                                 "<html><body><p>Second page</p></body></html>"));
    HelpView view(dir.filePath(QStringLiteral("help/open.html")));
    QPointer<QTextBrowser> browser = view.browser();
    QVERIFY(browser->toPlainText().contains(QStringLiteral("First page")));
    browser->setSource(QUrl(QStringLiteral("next.html")));
    QVERIFY(browser->toPlainText().contains(QStringLiteral("Second page")));
    browser->close();
    QTRY_VERIFY(browser.isNull());
}

void TstAbout::helpPagesLinkToExistingPages()
{
    // The pages that ship with the program: every link between them must
    // lead somewhere, and every page must be reachable from open.html.
    const QString open = QFINDTESTDATA("../help/open.html");
    QVERIFY2(!open.isEmpty(), "help/open.html not found");
    const QDir helpDir = QFileInfo(open).dir();
    static const QRegularExpression href(QStringLiteral("href=\"([^\"#]*)(#[^\"]*)?\""));

    QStringList todo{QStringLiteral("open.html")};
    QSet<QString> seen;
    while (!todo.isEmpty()) {
        const QString page = todo.takeFirst();
        if (seen.contains(page))
            continue;
        seen.insert(page);
        QFile f(helpDir.filePath(page));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(page));
        const QString html = QString::fromUtf8(f.readAll());
        QVERIFY2(html.contains(QStringLiteral("<title>")), qPrintable(page));
        for (auto it = href.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            if (target.isEmpty())
                continue;
            QVERIFY2(!target.contains(QLatin1Char(':')), qPrintable(page + ": " + target));
            QVERIFY2(helpDir.exists(target), qPrintable(page + " links to missing " + target));
            todo << target;
        }
    }
    const QStringList pages = helpDir.entryList({QStringLiteral("*.html")}, QDir::Files);
    for (const QString &p : pages)
        QVERIFY2(seen.contains(p), qPrintable(p + " is not reachable from open.html"));
}

void TstAbout::installsHelpAndDesktopEntry()
{
    // What `cmake --install` puts in place: the program, the help pages where
    // the installed program looks for them, and a valid desktop entry whose
    // icon exists, so Framzo shows in menus and "Open with" for its formats.
    const QString cmake = QStandardPaths::findExecutable(QStringLiteral("cmake"));
    const QString buildDir = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    if (cmake.isEmpty() || !QFileInfo::exists(buildDir + QStringLiteral("/framzo")))
        QSKIP("needs cmake and a built framzo");
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    QProcess install;
    install.start(cmake, {QStringLiteral("--install"), buildDir, QStringLiteral("--prefix"), prefix.path()});
    QVERIFY(install.waitForFinished(60000));
    QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

    const QDir root(prefix.path());
    QVERIFY(QFileInfo(root.filePath(QStringLiteral("bin/framzo"))).isExecutable());
    // The installed program finds its help one folder up from bin/.
    QVERIFY(root.exists(QStringLiteral("share/framzo/help/open.html")));
    QVERIFY(root.exists(QStringLiteral("share/framzo/help/cutting.html")));
    const QImage icon(root.filePath(QStringLiteral("share/icons/hicolor/64x64/apps/framzo.png")));
    QCOMPARE(icon.size(), QSize(64, 64));

    const QString entry = root.filePath(QStringLiteral("share/applications/framzo.desktop"));
    QFile f(entry);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    QVERIFY(text.contains(QStringLiteral("\nExec=framzo %F\n")));
    QVERIFY(text.contains(QStringLiteral("\nIcon=framzo\n")));
    for (const char *type : {"image/jpeg", "image/png", "image/bmp", "image/tiff", "image/x-xpixmap"})
        QVERIFY2(text.contains(QLatin1String(type)), type);

    const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validate.isEmpty())
        QSKIP("desktop-file-validate is not installed");
    QProcess check;
    check.start(validate, {entry});
    QVERIFY(check.waitForFinished(30000));
    QVERIFY2(check.exitCode() == 0, check.readAllStandardOutput().constData());
}

void TstAbout::mainWindowOpensBoth()
{
    Framzo w;
    w.setGeometry(100, 50, 801, 601);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    auto *about = w.findChild<QAction *>(QStringLiteral("mpAbout"));
    auto *help = w.findChild<QAction *>(QStringLiteral("mpHelp"));
    QVERIFY(about && help);
    about->trigger();
    about->trigger(); // every request opens a window of its own
    const QList<UiAbout *> dialogs = topLevels<UiAbout>();
    QCOMPARE(dialogs.size(), 2);
    UiAbout *dlg = dialogs.first();
    QVERIFY(dlg->isVisible());
    QVERIFY(dlg->isModal());
    QCOMPARE(dlg->x(), Framzo::centredX(w.x(), w.width(), dlg->width()));
    QCOMPARE(dlg->y(), Framzo::centredX(w.y(), w.height(), dlg->height()));
    for (UiAbout *d : dialogs) {
        QPointer<UiAbout> p(d);
        d->close();
        QTRY_VERIFY(p.isNull());
    }

    const int before = topLevels<QTextBrowser>().size();
    help->trigger();
    const QList<QTextBrowser *> browsers = topLevels<QTextBrowser>();
    QCOMPARE(browsers.size(), before + 1);
    for (QTextBrowser *b : browsers) {
        QPointer<QTextBrowser> p(b);
        b->close();
        QTRY_VERIFY(p.isNull());
    }
}

QTEST_MAIN(TstAbout)
#include "tst_about.moc"
