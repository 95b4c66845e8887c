// Files and folders whose names hold spaces, quotes, markup, URL specials,
// non-Latin letters and a leading '-': through the folder tree, stepping
// through the folder, capture, Save As, the gallery and its command line.

#include "ui/app/framzo.h"
#include "ui/browse/browsebar.h"
#include "ui/forms/uiframzo.h"
#include "core/gallery/gallerypages.h"
#include "core/gallery/galleryrunner.h"
#include "core/imageio/formats.h"
#include "core/imageio/imageio.h"
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
#include <QLabel>
#include <QMdiArea>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

#include <memory>
#include <vector>

using testutil::readAll;

Q_DECLARE_METATYPE(GallerySettings::Theme)

using testutil::childNamed;
using testutil::galleryCli;
namespace {

// In the order a case-blind sort by name lists them.
const QStringList kNames = {
    QStringLiteral("#1 & 2.png"),
    QStringLiteral("-leading.png"),
    QStringLiteral("50% off.jpg"),
    QStringLiteral("<b>bold.bmp"),
    QStringLiteral("He said \"it's\".png"),
    QStringLiteral("with  two spaces.tif"),
    QStringLiteral("Ünïcødé ж 写真.jpg"),
};

const QString kFolder = QStringLiteral("-Fotos \"q\" 'a' <&> #1 %20 Ünïcødé ж 写真");

// Character references of a page resolved: the four named ones the writer
// uses and numeric ones.
QString resolveReferences(QString value)
{
    static const QRegularExpression numeric(QStringLiteral("&#([0-9]+);"));
    QString out;
    qsizetype last = 0;
    for (auto it = numeric.globalMatch(value); it.hasNext();) {
        const auto m = it.next();
        out += value.mid(last, m.capturedStart() - last);
        const char32_t c = m.captured(1).toUInt();
        out += QString::fromUcs4(&c, 1);
        last = m.capturedEnd();
    }
    out += value.mid(last);
    return out.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
}

// The files the href, src and srcset values of a page lead to, read with the
// given text decoding (the part from '#' or '?' dropped, escapes decoded as
// UTF-8, relative to the page's folder), whether they exist or not.
QStringList linkTargets(const QString &page, bool latin1)
{
    const QByteArray bytes = readAll(page);
    const QString content = latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
    QStringList targets;
    const QStringList links = testutil::pageLinks(content);
    for (const QString &link : links) {
        const QString value = resolveReferences(link).section('#', 0, 0).section('?', 0, 0);
        targets << QDir::cleanPath(QFileInfo(page).absolutePath() + '/' + QUrl::fromPercentEncoding(value.toUtf8()));
    }
    return targets;
}

// Those of the targets that are no file.
QStringList brokenLinks(const QString &page, bool latin1)
{
    QStringList broken;
    const QStringList targets = linkTargets(page, latin1);
    for (const QString &target : targets) {
        if (!QFileInfo(target).isFile())
            broken << target;
    }
    return broken;
}

// The visible text of a page's cells and titles, references resolved.
QString pageText(const QString &page)
{
    return resolveReferences(QString::fromLatin1(readAll(page)));
}

QtMessageHandler previousHandler = nullptr;

} // namespace

class TstNames : public QObject
{
    Q_OBJECT

    QTemporaryDir mTmp;
    ScriptedDialogs mDialogs;
    QString mFolder; // holds an image under every name

    QString path(const QString &name) const { return mFolder + QLatin1Char('/') + name; }
    static QSize sizeOf(int i) { return QSize(200 + i, 100 + i); }

    std::unique_ptr<Framzo> mainWindow()
    {
        auto main = std::make_unique<Framzo>();
        main->mpShowCut->setChecked(true);
        main->mpFree->setChecked(true);
        main->mpFit->setChecked(false);
        main->show();
        if (!QTest::qWaitForWindowExposed(main.get()))
            return {};
        return main;
    }

private slots:
    void initTestCase()
    {
        previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &c, const QString &m) {
            if (m == QLatin1String("This plugin does not support grabbing the mouse"))
                return;
            previousHandler(type, c, m);
        });
        initImages();
        QVERIFY(mTmp.isValid());
        qputenv("HOME", QFile::encodeName(mTmp.filePath(QStringLiteral("home"))));
        QVERIFY(QDir().mkpath(mTmp.filePath(QStringLiteral("home/Desktop"))));
        mFolder = mTmp.filePath(kFolder);
        QVERIFY(QDir().mkpath(mFolder));
        for (int i = 0; i < kNames.size(); ++i) {
            const QString ext = QFileInfo(kNames.at(i)).suffix();
            const QByteArray format = formats::qtFormat(ext == "jpg" ? "JPEG" : ext == "tif" ? "TIF" : ext);
            QVERIFY2(testutil::writeImage(path(kNames.at(i)), sizeOf(i).width(), sizeOf(i).height(), format),
                     qPrintable(kNames.at(i)));
        }
    }
    void cleanupTestCase()
    {
        cleanupImages();
    }

    void folderTree()
    {
        UiFramzo form;
        BrowseBar bar(&form);
        QSignalSpy opened(&bar, &BrowseBar::OpenImg);
        bar.openPath(mFolder);
        QTreeWidgetItem *folder = bar.computerItem()->child(0);
        for (const QString &part : mFolder.split(QLatin1Char('/'), Qt::SkipEmptyParts))
            folder = childNamed(folder, part);
        QVERIFY(folder);
        QVERIFY(folder->isExpanded());
        QCOMPARE(bar.itemPath(folder), mFolder + QLatin1Char('/'));
        QCOMPARE(folder->childCount(), kNames.size());
        for (int i = 0; i < kNames.size(); ++i) {
            QTreeWidgetItem *item = childNamed(folder, kNames.at(i));
            QVERIFY2(item, qPrintable(kNames.at(i)));
            form.mpTree->setCurrentItem(item);
            QCOMPARE(form.mpLabelName->text(), QStringLiteral("Name: ") + kNames.at(i));
            QTRY_VERIFY(!bar.isPreviewing());
            QCOMPARE(form.mpLabelSize->text(),
                     QStringLiteral("Size: %1x%2").arg(sizeOf(i).width()).arg(sizeOf(i).height()));
            QVERIFY(!form.mpPreview->pixmap().isNull());
            emit form.mpTree->itemDoubleClicked(item, 0);
            QCOMPARE(opened.size(), 1);
            QCOMPARE(opened.takeFirst().at(0).toString(), path(kNames.at(i)));
        }

        // The tree's request opens the window on that very file.
        auto main = mainWindow();
        QVERIFY(main);
        connect(&bar, &BrowseBar::OpenImg, main.get(), &Framzo::newChildWin);
        emit form.mpTree->itemDoubleClicked(childNamed(folder, kNames.last()), 0);
        QVERIFY(main->activePicture());
        QCOMPARE(main->activePicture()->path(), path(kNames.last()));
        QCOMPARE(main->mLastPath, mFolder);
    }

    // The capture folder and the last folder come back as they were.
    void settingsKeepTheFolders()
    {
        testutil::clearSettings();
        const QString capture = mTmp.filePath(QStringLiteral("cuts; \"#1\" = %20 & <ж> [a] \\x"));
        {
            Framzo main;
            main.capturePath = capture;
            main.mLastPath = mFolder;
        }
        Framzo again;
        QCOMPARE(again.capturePath, capture);
        QCOMPARE(again.mLastPath, mFolder);
    }

    void stepsThroughTheFolder()
    {
        auto main = mainWindow();
        QVERIFY(main);
        main->newChildWin(path(kNames.first()));
        Picture *pic = main->activePicture();
        QVERIFY(pic);
        QCOMPARE(pic->folderList(), kNames);
        for (int i = 1; i < kNames.size(); ++i) {
            QVERIFY(pic->stepInFolder(+1));
            QCOMPARE(pic->path(), path(kNames.at(i)));
            QCOMPARE(pic->image().size(), sizeOf(i));
            QVERIFY(pic->information().startsWith(QStringLiteral("Path: ") + path(kNames.at(i)) + QLatin1Char(' ')));
        }
        for (int i = kNames.size() - 2; i >= 0; --i) {
            QVERIFY(pic->stepInFolder(-1));
            QCOMPARE(pic->path(), path(kNames.at(i)));
        }
    }

    void captureKeepsTheName()
    {
        auto main = mainWindow();
        QVERIFY(main);
        main->capturePath = mTmp.filePath(QStringLiteral("cuts ж #%& <'\">"));
        QVERIFY(QDir().mkpath(main->capturePath));
        for (const QString &name : kNames) {
            main->newChildWin(path(name));
            Picture *pic = main->activePicture();
            QVERIFY(pic);
            testutil::dragOnCanvas(pic, QPoint(4, 4), QPoint(6, 6));
            pic->captureTo(main->capturePath);
            QVERIFY(testutil::waitLoaded(pic));
            const QString cut = main->capturePath + QLatin1Char('/') + name;
            QVERIFY2(!imageio::decode(cut).isNull(), qPrintable(name));
            // The cut opens in a window of its own.
            QVERIFY(main->activePicture() != pic);
            QCOMPARE(main->activePicture()->path(), cut);
        }
        QCOMPARE(QDir(main->capturePath).entryList(QDir::Files).size(), kNames.size());
    }

    void saveAsUnderAnyName()
    {
        auto main = mainWindow();
        QVERIFY(main);
        const QString target = mTmp.filePath(QStringLiteral("saved -ж 写真 \"x\" <&> #1 50%"));
        QVERIFY(QDir().mkpath(target));
        const QByteArray before = readAll(path(kNames.last()));
        main->newChildWin(path(kNames.last()));
        Picture *pic = main->activePicture();
        QVERIFY(pic);
        pic->rotateBy(90.0);
        const QImage edited = pic->image().copy();
        mDialogs.saveName = target + QStringLiteral("/-Ünïcødé #2 & <x>");
        mDialogs.saveFilter = QStringLiteral("PNG (*.png)");
        pic->saveAs();
        QVERIFY(testutil::waitLoaded(pic));
        const QString written = mDialogs.saveName + QStringLiteral(".png");
        QCOMPARE(pic->path(), written);
        QCOMPARE(imageio::decode(written).convertToFormat(QImage::Format_RGB32),
                 edited.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(readAll(path(kNames.last())), before);
    }

    void galleryLinksResolve_data()
    {
        QTest::addColumn<GallerySettings::Theme>("theme");
        QTest::newRow("classic") << GallerySettings::Theme::Classic;
        QTest::newRow("modern") << GallerySettings::Theme::Modern;
    }
    void galleryLinksResolve()
    {
        QFETCH(GallerySettings::Theme, theme);
        const bool modern = theme == GallerySettings::Theme::Modern;
        const QString out = mTmp.filePath(QStringLiteral("web ж #1 & <'\"> %20 ") + QTest::currentDataTag());
        QVERIFY(QDir().mkpath(out));
        const QString base = QStringLiteral("-Ünïcødé 写真 & <\"g\"> #1 %20");
        QList<GalleryEntry> entries;
        for (const QString &name : kNames)
            entries << GalleryEntry{name, path(name)};
        GallerySettings settings(out, base, "200", "150", "3", true, true);
        settings.setTheme(theme);
        settings.setOriginals(modern);
        const auto result = GalleryRunner(settings, entries).run();
        QCOMPARE(result.outcome, GalleryRunner::Result::Outcome::Written);
        QCOMPARE(result.failedFiles, QStringList());
        QCOMPARE(result.unreadableSources, QStringList());

        QStringList pages{out + '/' + base + ".html"};
        for (const QString &name : kNames)
            pages << out + '/' + base + '/' + name + ".html";
        for (const QString &page : pages) {
            QVERIFY2(QFileInfo(page).isFile(), qPrintable(page));
            // Plain ASCII: the page reads the same whatever encoding the
            // browser assumes, and every link finds its file either way.
            const QByteArray bytes = readAll(page);
            for (const char c : bytes)
                QVERIFY2(uchar(c) < 0x80, qPrintable(page));
            QCOMPARE(brokenLinks(page, false), QStringList());
            QCOMPARE(brokenLinks(page, true), QStringList());
        }
        // The names read as they are, in the titles and under the thumbnails.
        const QString index = pageText(pages.first());
        QVERIFY(index.contains("<title>" + base + "</title>"));
        for (const QString &name : kNames)
            QVERIFY2(index.contains(modern ? "<figcaption>" + name + "</figcaption>" : "<br>" + name + "</td>"),
                     qPrintable(name));
        QVERIFY(pageText(pages.last()).contains("<title>" + kNames.last() + "</title>"));
        if (modern) {
            // Every file of the gallery is linked from its pages (the srcsets'
            // pictures too), and what they link is the gallery's files.
            QStringList linked, files;
            for (const QString &page : std::as_const(pages))
                linked << linkTargets(page, false);
            QDirIterator it(out, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << QDir::cleanPath(it.next());
            linked.removeDuplicates();
            linked.sort();
            files.sort();
            QCOMPARE(linked, files);
            QVERIFY(files.size() >= 5 * kNames.size());
        }
    }

    void escapedForms_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("url");
        QTest::newRow("ascii stays as it is") << "My photo (2)_a-b.png" << "My photo (2)_a-b.png"
                                               << "My photo (2)_a-b.png";
        QTest::newRow("latin") << QStringLiteral("Ü.png") << "&#220;.png" << "%C3%9C.png";
        QTest::newRow("cyrillic and han") << QStringLiteral("ж写.png") << "&#1078;&#20889;.png"
                                          << "%D0%B6%E5%86%99.png";
        QTest::newRow("beyond the basic plane") << QString::fromUcs4(U"\U0001F600.png") << "&#128512;.png"
                                                << "%F0%9F%98%80.png";
        QTest::newRow("backslash and tab") << "a\\b\tc.png" << "a\\b\tc.png" << "a%5Cb%09c.png";
        QTest::newRow("quote and markup") << "\"<&>\".png" << "&quot;&lt;&amp;&gt;&quot;.png"
                                          << "&quot;&lt;&amp;&gt;&quot;.png";
    }
    void escapedForms()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, url);
        QCOMPARE(gallerypages::htmlText(name), text);
        QCOMPARE(gallerypages::htmlUrl(name), url);
    }

    // A file name that starts with '-' is an option to the command line
    // unless "--" ends the options before it.
    void galleryCommandLine()
    {
        const QString out = mTmp.filePath(QStringLiteral("cli"));
        QVERIFY(QDir().mkpath(out));
        const QString dash = path(QStringLiteral("-leading.png"));
        QCOMPARE(galleryCli({"--gallery", out, "--name", "g", "--", dash, path(kNames.last())}), 0);
        QVERIFY(QFileInfo(out + "/g/-leading.png.html").isFile());
        QVERIFY(QFileInfo(out + "/g/preview_" + kNames.last()).isFile());
        QCOMPARE(brokenLinks(out + "/g.html", true), QStringList());

        // Given as a relative name after "--" from its own folder.
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(mFolder));
        const int relative = galleryCli({"--gallery", out, "--name", "h", "--", "-leading.png"});
        QDir::setCurrent(cwd);
        QCOMPARE(relative, 0);
        QVERIFY(QFileInfo(out + "/h/-leading.png").isFile());

        // Without "--" it is refused as an unknown option, and nothing is written.
        QVERIFY(QDir::setCurrent(mFolder));
        const int refused = galleryCli({"--gallery", out, "--name", "k", "-leading.png"});
        QDir::setCurrent(cwd);
        QCOMPARE(refused, 2);
        QVERIFY(!QFileInfo::exists(out + "/k.html"));
    }
};

QTEST_MAIN(TstNames)
#include "tst_names.moc"
