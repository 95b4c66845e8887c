// The gallery window: what a folder lists, navigation, choosing and removing
// images, and that it writes the same gallery as the command line.

#include "core/base/settingsstore.h"
#include "core/gallery/gallerycli.h"
#include "core/gallery/gallerysettings.h"
#include "ui/gallery/html.h"
#include "ui/images/mimesourcefactory.h"
#include "scripteddialogs.h"
#include "testutil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

QStringList texts(const QListWidget *view)
{
    QStringList out;
    for (int i = 0; i < view->count(); ++i)
        out << view->item(i)->text();
    return out;
}

QListWidgetItem *find(const QListWidget *view, const QString &text)
{
    const auto found = view->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

QMap<QString, QByteArray> tree(const QString &root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        QFile f(p);
        f.open(QIODevice::ReadOnly);
        out.insert(QDir(root).relativeFilePath(p), f.readAll());
    }
    return out;
}

// Runs the command line with the given arguments.
int cli(const QStringList &args)
{
    QList<QByteArray> storage;
    storage << "framzo";
    for (const QString &a : args)
        storage << a.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    return gallerycli::run(int(storage.size()), argv.data());
}

} // namespace

class TstHtmlDialog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mTmp;
    QString mRoot;  // the folder with everything below, ending in "/"
    ScriptedDialogs mDialogs;

private slots:
    void initTestCase()
    {
        initImages();
        QVERIFY(mTmp.isValid());
        mRoot = mTmp.path() + "/";
        QDir root(mRoot);
        for (const char *d : {"b", "A", ".hidden", "A/inner", "out1", "out2"})
            QVERIFY(root.mkpath(d));
        QVERIFY(testutil::writeImage(mRoot + "a.png", 40, 30, "png"));
        QVERIFY(testutil::writeImage(mRoot + "Photo.JPG", 300, 200, "jpeg"));
        QVERIFY(testutil::writeImage(mRoot + "zz.tif", 50, 100, "tiff"));
        QVERIFY(testutil::writeImage(mRoot + ".secret.png", 10, 10, "png"));
        QVERIFY(testutil::writeImage(mRoot + "A/inner.bmp", 20, 20, "bmp"));
        QVERIFY(testutil::writeBytes(mRoot + "fake.jpg", "not a picture"));
        QVERIFY(testutil::writeBytes(mRoot + "notes.txt", "text"));
    }
    void cleanupTestCase()
    {
        cleanupImages();
    }
    // Every window starts from an empty settings store: a theme chosen in
    // one test would be the next window's.
    void init()
    {
        testutil::clearSettings();
    }

    void startFolder_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("folder");
        QTest::newRow("folder with slash") << "/tmp/x/" << "/tmp/x/";
        QTest::newRow("last part dropped") << "/tmp/x" << "/tmp/";
        QTest::newRow("none") << QString() << QString();
        QTest::newRow("no slash") << "caps" << QString();
    }
    void startFolder()
    {
        QFETCH(QString, start);
        QFETCH(QString, folder);
        Html html(start);
        QCOMPARE(html.currentFolder(), folder);
        QCOMPARE(html.currentFolder().isNull(), folder.isNull());
        QCOMPARE(html.objectName(), QString("Html"));
        QCOMPARE(html.windowTitle(), QString("Create Html Gallery"));
        QCOMPARE(html.mpPath->itemText(0), folder);
        QCOMPARE(html.mpPath->itemText(html.mpPath->count() - 1), QString("/"));
        if (folder.isNull()) {
            QCOMPARE(html.mpDir->count(), 0);
            // Nothing to write into: generating does nothing.
            html.mpPreview->addItem("x");
            QCOMPARE(html.generateHtml(), 0);
        }
    }

    void listing()
    {
        Html html(mRoot);
        QCOMPARE(html.currentFolder(), mRoot);
        // Folders first, then images, each by name regardless of case;
        // hidden entries and other files never show.
        QCOMPARE(texts(html.mpDir), (QStringList{"A", "b", "out1", "out2", "a.png", "fake.jpg", "Photo.JPG", "zz.tif"}));
        QCOMPARE(find(html.mpDir, "A")->data(Html::KeyRole).toString(), QString("A"));
        QCOMPARE(find(html.mpDir, "Photo.JPG")->data(Html::KeyRole).toString(), mRoot + "Photo.JPG");

        // Every entry is there at once, its icon made in the background.
        QTRY_VERIFY(!html.isListing());
        // Icons fit 64 by 64 by the thumbnail rule.
        auto iconSize = [&](const QString &name) {
            const QList<QSize> sizes = find(html.mpDir, name)->icon().availableSizes();
            return sizes.isEmpty() ? QSize() : sizes.first();
        };
        QCOMPARE(iconSize("a.png"), QSize(64, 48));
        QCOMPARE(iconSize("Photo.JPG"), QSize(64, 42));
        QCOMPARE(iconSize("zz.tif"), QSize(32, 64));
        // A file that is no image gets the plain picture icon.
        QCOMPARE(find(html.mpDir, "fake.jpg")->data(Html::KindRole).toInt(), int(Html::Unreadable));
        QCOMPARE(iconSize("fake.jpg"), fromMimeSource("pic.xpm").size());
    }

    void cameraFolderListsInTheBackground()
    {
        // A camera's folder: names that differ only in their number, and
        // more photos than can be decoded in an instant.
        const QString folder = mTmp.filePath("camera/");
        QVERIFY(QDir().mkpath(folder));
        QStringList names;
        for (int i = 1; i <= 40; ++i) {
            names << QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
            QVERIFY(testutil::writeImage(folder + names.last(), 300, 200, "jpeg"));
        }
        names << "20240611_142233_0042.jpg" << "20240611_142233_0043.jpg";
        for (int i = 40; i < names.size(); ++i)
            QVERIFY(testutil::writeImage(folder + names.at(i), 300, 200, "jpeg"));

        Html html(folder);
        // Every entry is there before any icon: they come through the event
        // loop, one by one, as they are made.
        QCOMPARE(texts(html.mpDir), names.mid(40) + names.mid(0, 40));
        const qint64 placeholder = html.mpDir->item(0)->icon().cacheKey();
        for (int i = 0; i < html.mpDir->count(); ++i)
            QCOMPARE(html.mpDir->item(i)->icon().cacheKey(), placeholder);
        // Chosen before its icon came: the icon follows.
        html.clickedOnItem(find(html.mpDir, "IMG_0040.jpg"));
        QCOMPARE(html.mpPreview->count(), 1);
        QTRY_VERIFY(!html.isListing());
        for (const QListWidget *view : {html.mpDir, html.mpPreview}) {
            for (int i = 0; i < view->count(); ++i)
                QCOMPARE(view->item(i)->icon().availableSizes().value(0), QSize(64, 42));
        }

        // Names are told apart on screen: a camera's name fits whole, a
        // longer one is shortened in the middle so its number shows; the
        // whole name is the tool tip.
        const QFontMetrics metrics(html.mpDir->font());
        const int room = html.mpDir->gridSize().width() - 8;
        QCOMPARE(metrics.elidedText("IMG_0001.jpg", html.mpDir->textElideMode(), room), QString("IMG_0001.jpg"));
        QVERIFY(!html.mpDir->wordWrap());
        QVERIFY(metrics.elidedText(names.at(40), html.mpDir->textElideMode(), room) != names.at(40));
        QVERIFY(metrics.elidedText(names.at(40), html.mpDir->textElideMode(), room)
                != metrics.elidedText(names.at(41), html.mpDir->textElideMode(), room));
        for (const QListWidget *view : {html.mpDir, html.mpPreview}) {
            for (int i = 0; i < view->count(); ++i)
                QCOMPARE(view->item(i)->toolTip(), view->item(i)->text());
        }

        // Leaving the folder while its icons are made: the icons of the
        // folder left never reach the new listing.
        html.listDir();
        html.uponDir();
        QTRY_VERIFY(!html.isListing());
        QCOMPARE(find(html.mpDir, "a.png")->icon().availableSizes().value(0), QSize(64, 48));
    }

    void focusOrder()
    {
        Html html(mRoot);
        html.show();
        html.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&html));
        html.mpPath->setFocus();
        // Keep metadata and Originals are off the chain while the theme is
        // classic: they are disabled.
        const QList<QWidget *> expected{html.mpPath, html.mpWidth, html.mpHeight, html.mpRow,   html.mpLink,
                                        html.mpText, html.mpName,  html.mpTheme,  html.mpDir,   html.mpPreview,
                                        html.mpPath};
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            // The editable combo box's own line edit stands for the box.
            while (focus && !expected.contains(focus))
                focus = focus->parentWidget();
            QCOMPARE(focus, expected.at(i));
        }
        QCOMPARE(html.size(), html.minimumSizeHint().expandedTo(QSize(600, 320)));
        QCOMPARE(html.minimumSize(), QSize(600, 320));
    }

    void missingFolderListsEmpty()
    {
        Html html(mRoot + "gone/");
        QCOMPARE(html.mpDir->count(), 0);
        QCOMPARE(html.mpPath->itemText(0), mRoot + "gone/");
    }

    void upOneLevel()
    {
        Html html(mRoot + "A/inner/");
        html.uponDir();
        QCOMPARE(html.currentFolder(), mRoot + "A/");
        QCOMPARE(html.mpPath->itemText(0), mRoot + "A/");
        QCOMPARE(html.mpPath->currentIndex(), 0);
        QCOMPARE(texts(html.mpDir), (QStringList{"inner", "inner.bmp"}));

        Html atRoot(QStringLiteral("/"));
        const int listed = atRoot.mpDir->count();
        atRoot.uponDir();
        QCOMPARE(atRoot.currentFolder(), QString("/"));
        QCOMPARE(atRoot.mpDir->count(), listed);
        QVERIFY(listed > 0);

        Html none{QString()};
        none.uponDir();
        QVERIFY(none.currentFolder().isNull());
    }

    void changeDrive()
    {
        Html html(mRoot);
        const int last = html.mpPath->count() - 1;
        html.changeDrive(last);
        QCOMPARE(html.currentFolder(), QString("/"));
        QCOMPARE(html.mpPath->itemText(0), QString("/"));
        QCOMPARE(html.mpPath->count(), last + 1);
    }

    void openDir()
    {
        Html html(mRoot + "b/");
        mDialogs.folder = QString();
        QCOMPARE(html.openDir(), 1);
        QCOMPARE(mDialogs.folderStart, mRoot + "b/");
        QCOMPARE(html.currentFolder(), mRoot + "b/");

        mDialogs.folder = mRoot + "A";
        QCOMPARE(html.openDir(), 0);
        QCOMPARE(html.currentFolder(), mRoot + "A/");
        QCOMPARE(texts(html.mpDir), (QStringList{"inner", "inner.bmp"}));

        // The open button asks too.
        const int before = mDialogs.foldersAsked;
        mDialogs.folder = QString();
        QTest::mouseClick(html.mpOpen, Qt::LeftButton);
        QCOMPARE(mDialogs.foldersAsked, before + 1);
    }

    void doubleClicks()
    {
        Html html(mRoot);
        html.show();
        QVERIFY(QTest::qWaitForWindowExposed(&html));
        auto doubleClick = [&](QListWidget *view, const QString &text) {
            QListWidgetItem *item = find(view, text);
            QVERIFY2(item, qPrintable(text));
            view->scrollToItem(item);
            const QPoint at = view->visualItemRect(item).center();
            // As the window system sends it: a click, then the double-click.
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        };

        doubleClick(html.mpDir, "a.png");
        doubleClick(html.mpDir, "Photo.JPG");
        doubleClick(html.mpDir, "a.png");
        QCOMPARE(texts(html.mpPreview), (QStringList{"a.png", "Photo.JPG", "a.png"}));
        QCOMPARE(html.mpPreview->item(1)->data(Html::KeyRole).toString(), mRoot + "Photo.JPG");

        // Not an image: neither added nor entered.
        doubleClick(html.mpDir, "fake.jpg");
        QCOMPARE(html.mpPreview->count(), 3);
        QCOMPARE(html.currentFolder(), mRoot);

        doubleClick(html.mpPreview, "Photo.JPG");
        QCOMPARE(texts(html.mpPreview), (QStringList{"a.png", "a.png"}));

        doubleClick(html.mpDir, "A");
        QCOMPARE(html.currentFolder(), mRoot + "A/");
        QCOMPARE(texts(html.mpDir), (QStringList{"inner", "inner.bmp"}));
        // Entries from several folders.
        doubleClick(html.mpDir, "inner.bmp");
        QCOMPARE(texts(html.mpPreview), (QStringList{"a.png", "a.png", "inner.bmp"}));

        html.clickedOnItem(nullptr);
        QCOMPARE(html.mpPreview->count(), 3);
    }

    void addChosen()
    {
        Html html(mRoot);
        for (const char *name : {"b", "zz.tif", "fake.jpg", "a.png"})
            find(html.mpDir, name)->setSelected(true);
        QTest::mouseClick(html.mpAdd, Qt::LeftButton);
        // In folder order; no folder and no unreadable file.
        QCOMPARE(texts(html.mpPreview), (QStringList{"a.png", "zz.tif"}));
        QCOMPARE(html.mpDir->selectedItems().size(), 4);
        QCOMPARE(html.mpPreview->item(1)->data(Html::KeyRole).toString(), mRoot + "zz.tif");
    }

    void removeChosen()
    {
        Html html(mRoot);
        for (int i = 0; i < 5; ++i)
            html.clickedOnItem(find(html.mpDir, i % 2 ? "a.png" : "zz.tif"));
        QCOMPARE(html.mpPreview->count(), 5);
        for (int i = 0; i < 5; ++i)
            html.mpPreview->item(i)->setText(QStringLiteral("p%1").arg(i));
        html.mpPreview->item(1)->setSelected(true);
        html.mpPreview->item(3)->setSelected(true);
        html.mpPreview->item(4)->setSelected(true);
        QTest::mouseClick(html.mpRemove, Qt::LeftButton);
        QCOMPARE(texts(html.mpPreview), (QStringList{"p0", "p2"}));
    }

    void cancelHidesTheWindow()
    {
        QMdiArea area;
        auto *html = new Html(mRoot);
        QMdiSubWindow *frame = area.addSubWindow(html);
        area.show();
        frame->show();
        QVERIFY(frame->isVisible());
        QPointer<Html> alive(html);
        QTest::mouseClick(html->mpCancel, Qt::LeftButton);
        QVERIFY(!frame->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(alive);
        QCOMPARE(area.subWindowList().size(), 1);
    }

    void sameGalleryAsCommandLine_data()
    {
        QTest::addColumn<bool>("link");
        QTest::addColumn<bool>("text");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<int>("result");
        // "classic", "modern", "modern keep originals": a theme and the
        // modern options.
        QTest::addColumn<QString>("theme");
        QTest::newRow("defaults") << true << true << "200x150" << "1" << 0 << "classic";
        QTest::newRow("small, 2 per row, no text") << true << false << "120x90" << "2" << 0 << "classic";
        QTest::newRow("no link") << false << true << "64x64" << "3" << 0 << "classic";
        QTest::newRow("bad columns") << true << true << "200x150" << "x" << 1 << "classic";
        QTest::newRow("bad size") << true << true << "abcx150" << "1" << 1 << "classic";
        QTest::newRow("modern") << true << true << "200x150" << "1" << 0 << "modern";
        QTest::newRow("modern, originals, metadata, no text") << true << false << "120x90" << "3" << 0
                                                              << "modern keep originals";
        QTest::newRow("modern, no link") << false << true << "64x64" << "1" << 0 << "modern keep";
    }
    void sameGalleryAsCommandLine()
    {
        QFETCH(bool, link);
        QFETCH(bool, text);
        QFETCH(QString, size);
        QFETCH(QString, columns);
        QFETCH(int, result);
        QFETCH(QString, theme);
        const bool modern = theme.startsWith("modern");
        const bool keep = theme.contains("keep");
        const bool originals = theme.contains("originals");
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_').remove(',');
        const QString out1 = mRoot + "out1/" + tag + "/", out2 = mRoot + "out2/" + tag + "/";
        QVERIFY(QDir().mkpath(out1) && QDir().mkpath(out2));

        Html html(mRoot);
        html.show();
        for (const char *name : {"Photo.JPG", "a.png", "zz.tif", "a.png"})
            html.clickedOnItem(find(html.mpDir, name));
        mDialogs.folder = out1;
        QCOMPARE(html.openDir(), 0);
        html.mpName->setText("my gallery");
        html.mpWidth->setText(size.section('x', 0, 0));
        html.mpHeight->setText(size.section('x', 1, 1));
        html.mpRow->setEditText(columns);
        html.mpLink->setChecked(link);
        html.mpText->setChecked(text);
        html.mpTheme->setCurrentIndex(modern ? 1 : 0);
        html.mpKeepMetadata->setChecked(keep);
        html.mpOriginals->setChecked(originals);
        QSignalSpy generated(&html, &Html::generated);
        QCOMPARE(html.generateHtml(), result);
        QVERIFY(generated.wait());
        QCOMPARE(generated.first().first().toInt(), result);
        if (result == 0)
            QCOMPARE(html.mpProgress->text(), QString("4 of 4"));

        QStringList args{"--gallery", out2, "--name", "my gallery", "--size", size, "--columns", columns};
        if (!link)
            args << "--no-link";
        if (!text)
            args << "--no-text";
        args << "--theme" << theme.section(' ', 0, 0);
        if (keep)
            args << "--keep-metadata";
        if (originals)
            args << "--originals";
        args << mRoot + "Photo.JPG" << mRoot + "a.png" << mRoot + "zz.tif" << mRoot + "a.png";
        QCOMPARE(cli(args), result);

        const auto dialogTree = tree(out1), cliTree = tree(out2);
        QVERIFY(dialogTree.contains("my gallery.html"));
        QCOMPARE(dialogTree.keys(), cliTree.keys());
        for (auto it = dialogTree.cbegin(); it != dialogTree.cend(); ++it)
            QVERIFY2(cliTree.value(it.key()) == it.value(), qPrintable(it.key()));
    }

    // A run the settings refuse says why, at once, in full, on as many lines
    // as the window's width needs, and counts no images.
    void refusedRunSaysWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("columns");
        QTest::newRow("width of letters") << "framzo" << "ab" << "1";
        QTest::newRow("no columns") << "framzo" << "200" << "0";
        QTest::newRow("name with a slash") << "photos/of/the/summer/holidays/by/the/sea" << "200" << "1";
    }
    void refusedRunSaysWhy()
    {
        QFETCH(QString, name);
        QFETCH(QString, width);
        QFETCH(QString, columns);
        const QString out = mRoot + "out1/refused-" + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_') + "/";
        QVERIFY(QDir().mkpath(out));
        Html html(mRoot);
        html.resize(html.minimumSize());
        html.show();
        QVERIFY(QTest::qWaitForWindowExposed(&html));
        html.clickedOnItem(find(html.mpDir, "a.png"));
        mDialogs.folder = out;
        QCOMPARE(html.openDir(), 0);
        html.mpName->setText(name);
        html.mpWidth->setText(width);
        html.mpRow->setEditText(columns);
        const QString reason = GallerySettings(out, name, width, "150", columns, true, true).reason();
        QVERIFY(!reason.isEmpty());

        QSignalSpy generated(&html, &Html::generated);
        QCOMPARE(html.generateHtml(), 1);
        const auto shown = [&] { return html.mpProgress->text().remove(QChar(0x200B)); };
        QCOMPARE(shown(), reason);
        QVERIFY(generated.wait());
        QCOMPARE(shown(), reason);
        // All of it inside the window, on lines of the label's own width.
        QLabel *label = html.mpProgress;
        QTRY_VERIFY(label->height() >= label->heightForWidth(label->width()));
        QVERIFY(label->heightForWidth(label->width()) > label->fontMetrics().height());
        QVERIFY(label->mapTo(&html, QPoint(label->width(), 0)).x() <= html.width());
    }

    // The theme and the modern options are kept in the settings store; a
    // theme the store names wrongly leaves the classic one.
    void themeIsStored()
    {
        settingsstore::open()->setValue("/GallerySettings/Theme", "fancy");
        {
            Html html(mRoot);
            QCOMPARE(html.mpTheme->currentIndex(), 0);
            QVERIFY(!html.mpKeepMetadata->isEnabled());
            html.mpTheme->setCurrentIndex(1);
            QVERIFY(html.mpKeepMetadata->isEnabled() && html.mpOriginals->isEnabled());
            html.mpKeepMetadata->setChecked(true);
        }
        QCOMPARE(settingsstore::open()->value("/GallerySettings/Theme").toString(), QString("modern"));
        Html html(mRoot);
        QCOMPARE(html.mpTheme->currentIndex(), 1);
        QVERIFY(html.mpKeepMetadata->isChecked() && html.mpKeepMetadata->isEnabled());
        QVERIFY(!html.mpOriginals->isChecked());
    }

    void generateWhileWriting_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("pressed again, then closed") << false;
        QTest::newRow("window destroyed meanwhile") << true;
    }
    void generateWhileWriting()
    {
        // The gallery is written in the background: Generate is refused
        // while a run writes, and a run whose window is closed or destroyed
        // meanwhile still writes every file.
        QFETCH(bool, destroy);
        const QString out = mRoot + "out1/busy" + QString::number(destroy) + "/";
        QVERIFY(QDir().mkpath(out));
        auto html = std::make_unique<Html>(mRoot);
        for (const char *name : {"Photo.JPG", "a.png", "zz.tif", "a.png"})
            html->clickedOnItem(find(html->mpDir, name));
        mDialogs.folder = out;
        QCOMPARE(html->openDir(), 0);
        QSignalSpy generated(html.get(), &Html::generated);
        QCOMPARE(html->generateHtml(), 0);
        QVERIFY(html->isGenerating());
        QVERIFY(!html->mpGenerate->isEnabled());
        QCOMPARE(html->generateHtml(), 1);
        if (destroy) {
            html.reset();
            QTRY_VERIFY(QFileInfo::exists(out + "framzo.html"));
        } else {
            html->close();
            QVERIFY(generated.wait());
            QCOMPARE(generated.size(), 1);
            QVERIFY(!html->isGenerating());
            QVERIFY(html->mpGenerate->isEnabled());
            QCOMPARE(html->mpProgress->text(), QString("4 of 4"));
        }
        QStringList files;
        for (const char *name : {"Photo.JPG", "a.png", "zz.tif"})
            files << QString("framzo/%1").arg(name) << QString("framzo/%1.html").arg(name)
                  << QString("framzo/preview_%1").arg(name);
        files << "framzo.html";
        files.sort();
        QCOMPARE(tree(out).keys(), files);
    }

    void commandLineWanted_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("wanted");
        QTest::newRow("images") << QStringList{"a.jpg", "b.png"} << false;
        QTest::newRow("nothing") << QStringList{} << false;
        QTest::newRow("gallery") << QStringList{"--gallery", "x", "a.jpg"} << true;
        QTest::newRow("gallery=") << QStringList{"--gallery=x"} << true;
        QTest::newRow("help") << QStringList{"--help"} << true;
        QTest::newRow("version later") << QStringList{"a.jpg", "--version"} << true;
        QTest::newRow("after --") << QStringList{"--", "--help"} << false;
    }
    void commandLineWanted()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, wanted);
        QList<QByteArray> storage{"framzo"};
        for (const QString &a : args)
            storage << a.toLocal8Bit();
        std::vector<char *> argv;
        for (QByteArray &s : storage)
            argv.push_back(s.data());
        QCOMPARE(gallerycli::wanted(int(argv.size()), argv.data()), wanted);
    }

    void commandLineRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        const QString out = "IMG:refused";
        QTest::newRow("version") << QStringList{"--version"} << 0;
        QTest::newRow("no folder") << QStringList{"a.png"} << 2;
        QTest::newRow("folder missing") << QStringList{"--gallery", "/no/such/folder"} << 1;
        QTest::newRow("no value") << QStringList{"--gallery"} << 2;
        QTest::newRow("unknown option") << QStringList{"--gallery", out, "--colour"} << 2;
        QTest::newRow("size without x") << QStringList{"--gallery", out, "--size", "200"} << 2;
        QTest::newRow("empty name") << QStringList{"--gallery", out, "--name", ""} << 1;
        QTest::newRow("parent as name") << QStringList{"--gallery", out, "--name", ".."} << 1;
        QTest::newRow("not an image") << QStringList{"--gallery", out, "IMG:fake.jpg"} << 1;
        QTest::newRow("unknown theme") << QStringList{"--gallery", out, "--theme", "fancy", "IMG:a.png"} << 2;
        QTest::newRow("originals of a classic gallery") << QStringList{"--gallery", out, "--originals", "IMG:a.png"} << 2;
        QTest::newRow("modern, bad columns") << QStringList{"--gallery", out, "--theme=modern", "--columns", "0",
                                                            "IMG:a.png"}
                                             << 1;
    }
    void commandLineRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QDir(mRoot).mkdir("refused");
        for (QString &a : args)
            a.replace("IMG:", mRoot);
        QCOMPARE(cli(args), status);
        // A refused gallery writes nothing.
        QVERIFY(QDir(mRoot + "refused").isEmpty());
    }
};

QTEST_MAIN(TstHtmlDialog)
#include "tst_htmldialog.moc"
