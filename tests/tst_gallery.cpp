// The gallery writer: the files and lines it writes, the thumbnail sizes, the
// refusals, names that need escaping, and that working on two images at once
// writes the same bytes as one after the other.

#include "core/gallery/gallerypages.h"
#include "core/gallery/galleryrunner.h"
#include "testutil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <algorithm>

Q_DECLARE_METATYPE(GallerySettings::Theme)

using Entry = GalleryEntry;

using testutil::readAll;

namespace {

const QString kBody = QStringLiteral("<body text=\"#000000\" bgcolor=\"#FFFFFF\" link=\"#FF0000\" "
                                     "alink=\"#FF0000\" vlink=\"#FF0000\">");

// The lines of a page; fails the test when a line does not end in exactly one
// line feed.
QStringList lines(const QString &path)
{
    const QByteArray content = readAll(path);
    if (content.isEmpty())
        return {};
    [&] {
        QVERIFY2(content.endsWith('\n'), qPrintable(path));
        QVERIFY2(!content.contains('\r'), qPrintable(path));
    }();
    QStringList l = QString::fromLocal8Bit(content).split(QLatin1Char('\n'));
    l.removeLast();
    return l;
}

// The href, src and srcset values of a page that do not lead to an existing
// file, read as a browser reads them: references resolved, the part from '#'
// or '?' dropped, percent-escapes decoded, relative to the page's folder.
QStringList brokenLinks(const QString &page)
{
    QStringList broken;
    const QStringList links = testutil::pageLinks(QString::fromLocal8Bit(readAll(page)));
    for (QString value : links) {
        value.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
        value = value.section('#', 0, 0).section('?', 0, 0);
        const QString target = QFileInfo(page).absolutePath() + '/' + QUrl::fromPercentEncoding(value.toUtf8());
        if (!QFileInfo(target).isFile())
            broken << value;
    }
    return broken;
}

QStringList indexHead(const QString &base)
{
    return {QStringLiteral("<html>"), QStringLiteral("<head>"), QStringLiteral("<title>%1</title>").arg(base),
            QStringLiteral("</head>"), kBody, QStringLiteral("<table>")};
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Every file below root with its content, by relative path.
QMap<QString, QByteArray> tree(const QString &root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        out.insert(QDir(root).relativeFilePath(p), readAll(p));
    }
    return out;
}

struct Run
{
    QString folder;
    QString base = QStringLiteral("framzo");
    QString width = QStringLiteral("200");
    QString height = QStringLiteral("150");
    QString perRow = QStringLiteral("1");
    bool link = true;
    bool text = true;
    GallerySettings::Theme theme = GallerySettings::Theme::Classic;
    int parallel = 2;
    QList<Entry> entries;

    // Filled by the last call.
    mutable QStringList failed;
    mutable QStringList unreadable;

    int operator()() const
    {
        GallerySettings settings(folder, base, width, height, perRow, link, text);
        settings.setTheme(theme);
        GalleryRunner runner(settings, entries);
        runner.setParallelImages(parallel);
        const GalleryRunner::Result result = runner.run();
        failed = result.failedFiles;
        unreadable = result.unreadableSources;
        return result.refused() ? 1 : 0;
    }
};

} // namespace

class TstGallery : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mTmp;
    int mCount = 0;

    // A fresh folder below the temporary one, ending in "/".
    QString freshFolder()
    {
        const QString name = QStringLiteral("run%1").arg(++mCount);
        QDir(mTmp.path()).mkdir(name);
        return mTmp.path() + QLatin1Char('/') + name + QLatin1Char('/');
    }

    Entry image(const QString &folder, const QString &name, int w = 40, int h = 30,
                const QByteArray &format = "png")
    {
        const QString path = folder + name;
        if (!testutil::writeImage(path, w, h, format))
            qWarning("cannot write %s", qPrintable(path));
        return {name, path};
    }

    QString srcFolder()
    {
        const QString f = freshFolder();
        return f;
    }

private slots:
    void emptyList()
    {
        Run run;
        run.folder = freshFolder();
        QCOMPARE(run(), 0);
        QCOMPARE(lines(run.folder + "framzo.html"),
                 indexHead("framzo") + QStringList({"</table>", "</body>", "</html>"}));
        QVERIFY(QFileInfo(run.folder + "framzo").isDir());
        QVERIFY(filesIn(run.folder + "framzo").isEmpty());
    }

    void noFolderWritesNothing_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("null") << QString();
        QTest::newRow("empty") << QString("");
    }
    void noFolderWritesNothing()
    {
        QFETCH(QString, folder);
        const QString cwd = QDir::currentPath();
        const QString here = freshFolder();
        QDir::setCurrent(here);
        Run run;
        run.folder = folder;
        run.entries << image(srcFolder(), "a.png");
        QCOMPARE(run(), 0);
        QDir::setCurrent(cwd);
        QVERIFY(QDir(here).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    }

    void baseNameIsRefused_data()
    {
        QTest::addColumn<QString>("base");
        QTest::newRow("empty") << QString();
        QTest::newRow("dot") << ".";
        QTest::newRow("dot dot") << "..";
        QTest::newRow("slash") << "sub/gallery";
    }
    void baseNameIsRefused()
    {
        // The copies would land among the images of the current folder (or
        // its parent) and replace those of the same name.
        QFETCH(QString, base);
        Run run;
        const QString parent = freshFolder();
        run.folder = parent + "cur/";
        QVERIFY(QDir().mkpath(run.folder + "sub"));
        run.base = base;
        const QByteArray before = readAll(image(run.folder, "a.jpg", 50, 40, "jpeg").source);
        QVERIFY(testutil::writeImage(parent + "a.jpg", 50, 40, "jpeg"));
        const QByteArray parentBefore = readAll(parent + "a.jpg");
        run.entries << image(srcFolder(), "a.jpg", 60, 60, "jpeg");
        QCOMPARE(run(), 1);
        QCOMPARE(QDir(run.folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"a.jpg", "sub"}));
        QVERIFY(QDir(run.folder + "sub").isEmpty());
        QCOMPARE(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"a.jpg", "cur"}));
        QCOMPARE(readAll(run.folder + "a.jpg"), before);
        QCOMPARE(readAll(parent + "a.jpg"), parentBefore);
    }

    void copyNeverReplacesItsSource()
    {
        // An image chosen from the gallery folder itself: its copy would be
        // written over it (re-encoded, so changed).
        Run run;
        run.folder = freshFolder();
        QDir(run.folder).mkdir("framzo");
        const Entry e = image(run.folder + "framzo/", "a.jpg", 50, 40, "jpeg");
        run.entries << e;
        const QByteArray before = readAll(e.source);
        QCOMPARE(run(), 0);
        QCOMPARE(readAll(e.source), before);
        QVERIFY(QFile::exists(run.folder + "framzo/preview_a.jpg"));
        QVERIFY(QFile::exists(run.folder + "framzo/a.jpg.html"));
    }

    void singleEntryPage()
    {
        Run run;
        run.folder = freshFolder();
        run.entries << image(srcFolder(), "photo.png");
        QCOMPARE(run(), 0);
        QCOMPARE(lines(run.folder + "framzo/photo.png.html"),
                 (QStringList{"<html>", "<head>", "<title>photo.png</title>", "</head>", kBody,
                              "<div align=\"center\">", "<img src=\"photo.png\" alt=\"\" border=\"0\"><br>",
                              "<a href=\"../framzo.html\">gallery</a>  ", "</div>", "</body>", "</html>"}));
        QCOMPARE(lines(run.folder + "framzo.html"),
                 indexHead("framzo")
                     + QStringList({"<tr align=\"center\">",
                                   "<td><a href=\"framzo/photo.png.html\"><img src=\"framzo/preview_photo.png\" "
                                   "alt=\"\" border=\"0\"></a>",
                                   "<br>photo.png</td>", "</tr>", "</table>", "</body>", "</html>"}));
        QCOMPARE(filesIn(run.folder + "framzo"),
                 (QStringList{"photo.png", "photo.png.html", "preview_photo.png"}));
    }

    void neighbourLinks()
    {
        Run run;
        run.folder = freshFolder();
        run.base = "g";
        const QString src = srcFolder();
        run.entries << image(src, "a.png") << image(src, "b.png") << image(src, "c.png");
        QCOMPARE(run(), 0);
        auto links = [&](const QString &f) {
            const QStringList l = lines(run.folder + "g/" + f + ".html");
            return l.mid(7, l.size() - 10); // between the image line and "</div>"
        };
        const QString last = "<a href=\"%1.html\">last</a>  ";
        const QString gallery = "<a href=\"../g.html\">gallery</a>  ";
        const QString next = "<a href=\"%1.html\">next</a>  ";
        QCOMPARE(links("a.png"), (QStringList{gallery, next.arg("b.png")}));
        QCOMPARE(links("b.png"), (QStringList{last.arg("a.png"), gallery, next.arg("c.png")}));
        QCOMPARE(links("c.png"), (QStringList{last.arg("b.png"), gallery}));
    }

    void rows_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("perRow");
        QTest::addColumn<QList<int>>("cells");
        QTest::newRow("7 by 3") << 7 << "3" << QList<int>{3, 3, 1};
        QTest::newRow("default") << 3 << "1" << QList<int>{1, 1, 1};
        QTest::newRow("wider than the list") << 2 << "9" << QList<int>{2};
        QTest::newRow("exact") << 4 << "2" << QList<int>{2, 2};
    }
    void rows()
    {
        QFETCH(int, entries);
        QFETCH(QString, perRow);
        QFETCH(QList<int>, cells);
        Run run;
        run.folder = freshFolder();
        run.perRow = perRow;
        run.link = false; // one line per cell
        const QString src = srcFolder();
        for (int i = 0; i < entries; ++i)
            run.entries << image(src, QStringLiteral("p%1.png").arg(i), 8, 6);
        QCOMPARE(run(), 0);
        const QStringList l = lines(run.folder + "framzo.html");
        QCOMPARE(l.mid(0, 6), indexHead("framzo"));
        QCOMPARE(l.mid(l.size() - 3), (QStringList{"</table>", "</body>", "</html>"}));
        QList<int> found;
        int next = 0;
        for (int i = 6; i < l.size() - 3; ++i) {
            if (l[i] == "<tr align=\"center\">") {
                found << 0;
            } else if (l[i] != "</tr>") {
                QVERIFY(l[i].contains(QStringLiteral("preview_p%1.png").arg(next++)));
                ++found.last();
            }
        }
        QCOMPARE(found, cells);
        QCOMPARE(next, entries);
    }

    void cellOptions_data()
    {
        QTest::addColumn<bool>("link");
        QTest::addColumn<bool>("text");
        QTest::addColumn<QStringList>("cell");
        QTest::addColumn<QStringList>("files");
        const QString img = "<img src=\"framzo/preview_x.png\" alt=\"\" border=\"0\">";
        const QString a = "<a href=\"framzo/x.png.html\">";
        QTest::newRow("both") << true << true << QStringList{"<td>" + a + img + "</a>", "<br>x.png</td>"}
                              << QStringList{"preview_x.png", "x.png", "x.png.html"};
        QTest::newRow("link only") << true << false << QStringList{"<td>" + a + img + "</a>", "</td>"}
                                   << QStringList{"preview_x.png", "x.png", "x.png.html"};
        QTest::newRow("text only") << false << true << QStringList{"<td>" + img + "<br>x.png</td>"}
                                   << QStringList{"preview_x.png"};
        QTest::newRow("neither") << false << false << QStringList{"<td>" + img + "</td>"}
                                 << QStringList{"preview_x.png"};
    }
    void cellOptions()
    {
        QFETCH(bool, link);
        QFETCH(bool, text);
        QFETCH(QStringList, cell);
        QFETCH(QStringList, files);
        Run run;
        run.folder = freshFolder();
        run.link = link;
        run.text = text;
        run.entries << image(srcFolder(), "x.png");
        QCOMPARE(run(), 0);
        const QStringList l = lines(run.folder + "framzo.html");
        QCOMPARE(l.mid(7, l.size() - 11), cell);
        QCOMPARE(filesIn(run.folder + "framzo"), files);
    }

    void sameNameFromTwoFolders()
    {
        Run run;
        run.folder = freshFolder();
        run.entries << image(srcFolder(), "a.png", 40, 30) << image(srcFolder(), "a.png", 90, 30);
        QCOMPARE(run(), 0);
        const QStringList l = lines(run.folder + "framzo.html");
        QCOMPARE(l.count("<br>a.png</td>"), 2);
        QCOMPARE(filesIn(run.folder + "framzo"), (QStringList{"a.png", "a.png.html", "preview_a.png"}));
        // The later entry's files replace the earlier one's.
        QCOMPARE(QImage(run.folder + "framzo/a.png").size(), QSize(90, 30));
        QCOMPARE(QImage(run.folder + "framzo/preview_a.png").size(), QSize(200, 66));
        const QStringList page = lines(run.folder + "framzo/a.png.html");
        QVERIFY(page.contains("<a href=\"a.png.html\">last</a>  "));
        QVERIFY(!page.join('\n').contains("next"));
    }

    void sameImageTwice()
    {
        Run run;
        run.folder = freshFolder();
        const Entry e = image(srcFolder(), "a.jpg", 60, 40, "jpeg");
        run.entries << e << e;
        QCOMPARE(run(), 0);
        QCOMPARE(lines(run.folder + "framzo.html").count("<br>a.jpg</td>"), 2);
        QCOMPARE(filesIn(run.folder + "framzo"), (QStringList{"a.jpg", "a.jpg.html", "preview_a.jpg"}));
        QCOMPARE(QImageReader(run.folder + "framzo/a.jpg").format(), QByteArray("jpeg"));
        QCOMPARE(QImage(run.folder + "framzo/preview_a.jpg").size(), QSize(200, 133));
    }

    void thumbnailBox_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QStringList>("files");
        const QStringList noThumb{"a.png", "a.png.html"};
        QTest::newRow("width 0") << "0" << "150" << noThumb;
        QTest::newRow("height 0") << "200" << "0" << noThumb;
        QTest::newRow("negative") << "-5" << "150" << noThumb;
        QTest::newRow("plus sign") << "+80" << "60" << QStringList{"a.png", "a.png.html", "preview_a.png"};
    }
    void thumbnailBox()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QStringList, files);
        Run run;
        run.folder = freshFolder();
        run.width = width;
        run.height = height;
        run.entries << image(srcFolder(), "a.png");
        QCOMPARE(run(), 0);
        QCOMPARE(filesIn(run.folder + "framzo"), files);
        QCOMPARE(lines(run.folder + "framzo.html").size(), 6 + 4 + 3);
    }

    void sizeNotANumber_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::newRow("letters as width") << "abc" << "150";
        QTest::newRow("letters as height") << "200" << "x";
        QTest::newRow("empty width") << "" << "150";
        QTest::newRow("decimal point") << "20.5" << "150";
    }
    void sizeNotANumber()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        Run run;
        run.folder = freshFolder();
        run.width = width;
        run.height = height;
        run.entries << image(srcFolder(), "a.png");
        QCOMPARE(run(), 1);
        QCOMPARE(lines(run.folder + "framzo.html"), indexHead("framzo"));
        QVERIFY(QFileInfo(run.folder + "framzo").isDir());
        QVERIFY(filesIn(run.folder + "framzo").isEmpty());
    }

    void perRowNotUsable_data()
    {
        QTest::addColumn<QString>("perRow");
        QTest::newRow("letters") << "many";
        QTest::newRow("zero") << "0";
        QTest::newRow("negative") << "-3";
    }
    void perRowNotUsable()
    {
        QFETCH(QString, perRow);
        Run run;
        run.folder = freshFolder();
        run.perRow = perRow;
        const QString src = srcFolder();
        run.entries << image(src, "a.png") << image(src, "b.png");
        QCOMPARE(run(), 1);
        QCOMPARE(lines(run.folder + "framzo.html"), indexHead("framzo"));
        QCOMPARE(filesIn(run.folder + "framzo").size(), 6);
    }

    void secondRunKeepsOlderFiles()
    {
        Run run;
        run.folder = freshFolder();
        const QString src = srcFolder();
        run.entries << image(src, "a.png") << image(src, "b.png");
        QCOMPARE(run(), 0);
        run.entries.removeLast();
        QCOMPARE(run(), 0);
        QCOMPARE(lines(run.folder + "framzo.html").size(), 6 + 4 + 3);
        QCOMPARE(filesIn(run.folder + "framzo").size(), 6);
        // a's page no longer links to b.
        QVERIFY(!readAll(run.folder + "framzo/a.png.html").contains("next"));
    }

    void thumbnailRule_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("thumb");
        QTest::newRow("landscape 4:3") << QSize(800, 600) << QSize(200, 150);
        QTest::newRow("portrait") << QSize(600, 800) << QSize(112, 150);
        QTest::newRow("3:2 truncated") << QSize(3000, 2000) << QSize(200, 133);
        QTest::newRow("small is enlarged") << QSize(100, 50) << QSize(200, 100);
    }
    void thumbnailRule()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, thumb);
        Run run;
        run.folder = freshFolder();
        run.link = false;
        run.entries << image(srcFolder(), "t.bmp", source.width(), source.height(), "bmp");
        QCOMPARE(run(), 0);
        QImageReader reader(run.folder + "framzo/preview_t.bmp");
        QCOMPARE(reader.format(), QByteArray("bmp"));
        QCOMPARE(reader.size(), thumb);
    }

    void thumbnailIsUnsmoothed()
    {
        // A 1-pixel checkerboard halved: nearest-neighbour picks whole
        // pixels, a smoothing scaler would give grey.
        QImage board(64, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y) {
            auto *line = reinterpret_cast<QRgb *>(board.scanLine(y));
            for (int x = 0; x < 64; ++x)
                line[x] = ((x + y) % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        }
        const QString src = srcFolder() + "board.png";
        QVERIFY(board.save(src, "png"));
        Run run;
        run.folder = freshFolder();
        run.width = run.height = "32";
        run.entries << Entry{"board.png", src};
        QCOMPARE(run(), 0);
        const QImage t(run.folder + "framzo/preview_board.png");
        QCOMPARE(t.size(), QSize(32, 32));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                QVERIFY(qGray(t.pixel(x, y)) == 0 || qGray(t.pixel(x, y)) == 255);
    }

    void copyUsesDetectedFormat()
    {
        Run run;
        run.folder = freshFolder();
        const QString path = srcFolder() + "really-a-png.jpg";
        QVERIFY(testutil::writeImage(path, 30, 20, "png"));
        run.entries << Entry{"really-a-png.jpg", path};
        QCOMPARE(run(), 0);
        QCOMPARE(QImageReader(run.folder + "framzo/really-a-png.jpg").format(), QByteArray("png"));
        QCOMPARE(QImageReader(run.folder + "framzo/preview_really-a-png.jpg").format(), QByteArray("png"));
    }

    void unreadableSource_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not an image") << QByteArray("just some text\n");
        // A JPEG header whose pixels are cut off: the format is found, the
        // pixels are not.
        QImage img = testutil::makeImage(200, 200);
        QByteArray jpeg;
        QBuffer buf(&jpeg);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "jpeg");
        QTest::newRow("truncated jpeg") << jpeg.left(300);
    }
    void unreadableSource()
    {
        QFETCH(QByteArray, content);
        Run run;
        run.folder = freshFolder();
        const QString src = srcFolder();
        if (!content.isEmpty())
            QVERIFY(testutil::writeBytes(src + "bad.jpg", content));
        run.entries << image(src, "a.png") << Entry{"bad.jpg", src + "bad.jpg"} << image(src, "c.png");
        QCOMPARE(run(), 0);
        QCOMPARE(run.unreadable, QStringList{src + "bad.jpg"});
        QCOMPARE(filesIn(run.folder + "framzo"),
                 (QStringList{"a.png", "a.png.html", "bad.jpg.html", "c.png", "c.png.html", "preview_a.png",
                              "preview_c.png"}));
        QCOMPARE(lines(run.folder + "framzo.html").count("<br>bad.jpg</td>"), 1);
        QVERIFY(run.failed.isEmpty());
    }

    void escaping_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("url");
        QTest::newRow("plain") << "My photo (2)_a-b.png" << "My photo (2)_a-b.png" << "My photo (2)_a-b.png";
        QTest::newRow("markup") << "a\"><script>x.png" << "a&quot;&gt;&lt;script&gt;x.png"
                                << "a&quot;&gt;&lt;script&gt;x.png";
        QTest::newRow("ampersand") << "R&D.png" << "R&amp;D.png" << "R&amp;D.png";
        QTest::newRow("url specials") << "50%#1?.png" << "50%#1?.png" << "50%25%231%3F.png";
        QTest::newRow("ready escape") << "a%20b.png" << "a%20b.png" << "a%2520b.png";
    }
    void escaping()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, url);
        QCOMPARE(gallerypages::htmlText(name), text);
        QCOMPARE(gallerypages::htmlUrl(name), url);

        // The files keep the name as it is; the pages carry the safe forms.
        Run run;
        run.folder = freshFolder();
        run.base = "g&<1>";
        const QString src = srcFolder();
        run.entries << image(src, "first.png") << image(src, name);
        QCOMPARE(run(), 0);
        QVERIFY(QFile::exists(run.folder + "g&<1>/" + name));
        QVERIFY(QFile::exists(run.folder + "g&<1>/preview_" + name));
        const QStringList index = lines(run.folder + "g&<1>.html");
        QCOMPARE(index[2], QString("<title>g&amp;&lt;1&gt;</title>"));
        QVERIFY(index.contains("<td><a href=\"g&amp;&lt;1&gt;/" + url + ".html\"><img src=\"g&amp;&lt;1&gt;/preview_"
                               + url + "\" alt=\"\" border=\"0\"></a>"));
        QVERIFY(index.contains("<br>" + text + "</td>"));
        const QStringList page = lines(run.folder + "g&<1>/" + name + ".html");
        QCOMPARE(page[2], "<title>" + text + "</title>");
        QCOMPARE(page[6], "<img src=\"" + url + "\" alt=\"\" border=\"0\"><br>");
        QCOMPARE(page[8], QString("<a href=\"../g&amp;&lt;1&gt;.html\">gallery</a>  "));
        QVERIFY(lines(run.folder + "g&<1>/first.png.html").contains("<a href=\"" + url + ".html\">next</a>  "));
        // Every link leads to its file.
        for (const QString &page : {run.folder + "g&<1>.html", run.folder + "g&<1>/first.png.html",
                                    run.folder + "g&<1>/" + name + ".html"})
            QCOMPARE(brokenLinks(page), QStringList());
    }

    void unwritableFolderGoesOn()
    {
        Run run;
        run.folder = freshFolder() + "missing/";
        run.entries << image(srcFolder(), "a.png");
        QCOMPARE(run(), 0);
        QVERIFY(!QFileInfo::exists(run.folder));
        QVERIFY(run.failed.contains(run.folder + "framzo.html"));
        QVERIFY(run.failed.contains(run.folder + "framzo/a.png"));
    }

    void parallelWritesTheSameBytes_data()
    {
        QTest::addColumn<GallerySettings::Theme>("theme");
        QTest::newRow("classic") << GallerySettings::Theme::Classic;
        QTest::newRow("modern") << GallerySettings::Theme::Modern;
    }
    void parallelWritesTheSameBytes()
    {
        // Formats of every kind, names used twice from different sources, the
        // same image twice, an unreadable one, and a copy whose name is
        // another entry's thumbnail name.
        QFETCH(GallerySettings::Theme, theme);
        const bool modern = theme == GallerySettings::Theme::Modern;
        const QString a = srcFolder(), b = srcFolder();
        QList<Entry> entries;
        entries << image(a, "one.jpg", 640, 480, "jpeg") << image(a, "two.png", 300, 500, "png")
                << image(a, "three.bmp", 123, 77, "bmp") << image(a, "four.tif", 210, 140, "tiff")
                << image(b, "one.jpg", 500, 500, "jpeg") << image(a, "two.png", 300, 500, "png")
                << image(b, "preview_three.bmp", 64, 64, "png") << image(a, "three.bmp", 123, 77, "bmp");
        QVERIFY(testutil::writeBytes(a + "broken.png", "nope"));
        entries << Entry{"broken.png", a + "broken.png"} << image(b, "one.jpg", 320, 200, "jpeg")
                << image(a, "five.jpg", 1200, 900, "jpeg") << image(b, "six.png", 20, 900, "png")
                // Neighbours sharing files, the first slower than the second.
                << image(a, "seven.jpg", 1600, 1200, "jpeg") << image(b, "seven.jpg", 40, 30, "jpeg")
                << image(a, "eight.png", 1600, 1200, "png") << image(b, "preview_eight.png", 30, 20, "png")
                // Modern pictures of both are named nine.png.jpg.
                << image(a, "nine.png", 300, 200, "png") << image(b, "nine.png.jpg", 60, 40, "jpeg");

        // 0: one per core within the memory budget, the default.
        const QList<int> counts{1, 2, 4, 0};
        QList<QMap<QString, QByteArray>> trees;
        for (int parallel : counts) {
            const QString folder = freshFolder();
            QList<QPair<int, int>> progress;
            GallerySettings settings(folder, "framzo", "200", "150", "3", true, true);
            settings.setTheme(theme);
            GalleryRunner runner(settings, entries);
            runner.setParallelImages(parallel);
            const auto result = runner.run([&](int done, int total) { progress << qMakePair(done, total); });
            QCOMPARE(result.outcome, GalleryRunner::Result::Outcome::Written);
            trees << tree(folder);
            QVERIFY(!progress.isEmpty());
            QCOMPARE(progress.first(), qMakePair(0, int(entries.size())));
            QCOMPARE(progress.last(), qMakePair(int(entries.size()), int(entries.size())));
            for (int i = 1; i < progress.size(); ++i)
                QVERIFY(progress[i].first >= progress[i - 1].first);
        }
        QVERIFY(trees[0].size() > 20);
        for (int i = 1; i < trees.size(); ++i) {
            QCOMPARE(trees[i].keys(), trees[0].keys());
            for (auto it = trees[0].cbegin(); it != trees[0].cend(); ++it)
                QVERIFY2(trees[i].value(it.key()) == it.value(),
                         qPrintable(QStringLiteral("%1 at %2 at a time").arg(it.key()).arg(counts[i])));
        }
        // The last entry writing a file wins, as one after the other.
        const auto size = [&](const char *file) { return QImage::fromData(trees[0].value(file)).size(); };
        if (!modern) {
            QCOMPARE(size("framzo/one.jpg"), QSize(320, 200));
            QCOMPARE(size("framzo/preview_three.bmp"), QSize(200, 125));
            QCOMPARE(size("framzo/seven.jpg"), QSize(40, 30));
            QCOMPARE(size("framzo/preview_eight.png"), QSize(30, 20));
            return;
        }
        QCOMPARE(size("framzo/2048/one.jpg"), QSize(320, 200));
        QCOMPARE(size("framzo/2048/seven.jpg"), QSize(40, 30));
        // The pages give the sizes of the pictures the files hold (320 x 200
        // for dense screens is 1.6 times the thumbnail).
        const QString index = QString::fromUtf8(trees[0].value("framzo.html"));
        QCOMPARE(index.count("src=\"framzo/thumbs/one.jpg\" srcset=\"framzo/thumbs/one.jpg 1x, "
                             "framzo/thumbs-2x/one.jpg 1.6x\" width=\"200\" height=\"125\""),
                 3);
        QVERIFY(index.contains("<img src=\"framzo/thumbs/seven.jpg\" width=\"40\" height=\"30\""));
        QVERIFY(QString::fromUtf8(trees[0].value("framzo/seven.jpg.html"))
                    .contains("<img src=\"2048/seven.jpg\" width=\"40\" height=\"30\""));
        QCOMPARE(size("framzo/2048/nine.png.jpg"), QSize(60, 40));
        QVERIFY(QString::fromUtf8(trees[0].value("framzo/nine.png.html"))
                    .contains("<img src=\"2048/nine.png.jpg\" width=\"60\" height=\"40\""));
    }

    // A modern gallery: the pictures each image gets and their sizes, never
    // enlarged, and pages that give those sizes and lead to every file.
    void modernPictures_data()
    {
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<bool>("link");
        QTest::addColumn<QString>("height"); // of the thumbnail box, 200 wide
        QTest::addColumn<QStringList>("files"); // in the folder B: "name" for pages, "name WxH" for pictures
        QTest::newRow("large landscape JPEG")
            << QSize(3000, 2000) << QByteArray("jpeg") << false << true << "150"
            << QStringList{"1024/p.jpg 1024x682", "2048/p.jpg 2048x1365", "p.jpg.html", "style.css",
                           "thumbs-2x/p.jpg 400x266", "thumbs/p.jpg 200x133"};
        QTest::newRow("portrait PNG, half transparent")
            << QSize(900, 1500) << QByteArray("png") << true << true << "150"
            << QStringList{"1024/p.png.jpg 614x1024", "2048/p.png.jpg 900x1500", "p.png.html", "style.css",
                           "thumbs-2x/p.png.jpg 180x300", "thumbs/p.png.jpg 90x150"};
        QTest::newRow("smaller than the thumbnail box")
            << QSize(150, 100) << QByteArray("bmp") << false << true << "150"
            << QStringList{"2048/p.bmp.jpg 150x100", "p.bmp.html", "style.css", "thumbs/p.bmp.jpg 150x100"};
        QTest::newRow("no link: thumbnails alone")
            << QSize(3000, 2000) << QByteArray("jpeg") << false << false << "150"
            << QStringList{"style.css", "thumbs-2x/p.jpg 400x266", "thumbs/p.jpg 200x133"};
        QTest::newRow("no thumbnails")
            << QSize(1200, 900) << QByteArray("jpeg") << false << true << "0"
            << QStringList{"1024/p.jpg 1024x768", "2048/p.jpg 1200x900", "p.jpg.html", "style.css"};
    }
    void modernPictures()
    {
        QFETCH(QSize, photo);
        QFETCH(QByteArray, format);
        QFETCH(bool, transparent);
        QFETCH(bool, link);
        QFETCH(QString, height);
        QFETCH(QStringList, files);
        const QString src = srcFolder();
        const QString name = "p." + QString::fromLatin1(format == "jpeg" ? "jpg" : format);
        QImage pixels = testutil::makeImage(photo.width(), photo.height(), QImage::Format_ARGB32);
        if (transparent) {
            // The left half clear: what shows through is white, not the
            // black that clear pixels hold.
            for (int y = 0; y < pixels.height(); ++y)
                std::fill_n(reinterpret_cast<QRgb *>(pixels.scanLine(y)), pixels.width() / 2, qRgba(0, 0, 0, 0));
        }
        QVERIFY(pixels.save(src + name, format.constData(), 95));

        Run run;
        run.folder = freshFolder();
        run.theme = GallerySettings::Theme::Modern;
        run.link = link;
        run.height = height;
        run.entries << Entry{name, src + name};
        QCOMPARE(run(), 0);
        QCOMPARE(run.failed, QStringList());

        const QString gallery = run.folder + "framzo/";
        QStringList found;
        QDirIterator it(gallery, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString rel = QDir(gallery).relativeFilePath(path);
            QImageReader reader(path);
            found << (rel.endsWith(".jpg") ? QStringLiteral("%1 %2x%3").arg(rel).arg(reader.size().width())
                                                 .arg(reader.size().height())
                                           : rel);
            if (rel.endsWith(".jpg"))
                QCOMPARE(reader.format(), QByteArray("jpeg"));
        }
        found.sort();
        QCOMPARE(found, files);

        const QString index = QString::fromUtf8(readAll(run.folder + "framzo.html"));
        const QString page = QString::fromUtf8(readAll(gallery + name + ".html"));
        for (const QString &file : files) {
            const QString path = file.section(' ', 0, 0);
            const QStringList size = file.section(' ', 1).split('x');
            if (size.size() != 2)
                continue;
            // The picture's size where a page shows it; the 2x thumbnail
            // and the small copy only in a srcset.
            const QString sized = QStringLiteral("width=\"%1\" height=\"%2\"").arg(size[0], size[1]);
            if (path.startsWith("thumbs/"))
                QVERIFY2(index.contains("src=\"framzo/" + path + "\"") && index.contains(sized), qPrintable(file));
            if (path.startsWith("thumbs-2x/"))
                QVERIFY2(index.contains(" framzo/" + path + " 2x\""), qPrintable(file));
            if (path.startsWith("2048/"))
                QVERIFY2(page.contains("src=\"" + path + "\"") && page.contains(sized), qPrintable(file));
            if (path.startsWith("1024/"))
                QVERIFY2(page.contains("srcset=\"" + path + " " + size[0] + "w, 2048/"), qPrintable(file));
        }
        QCOMPARE(brokenLinks(run.folder + "framzo.html"), QStringList());
        if (link)
            QCOMPARE(brokenLinks(gallery + name + ".html"), QStringList());
        if (transparent) {
            const QImage copy(gallery + "2048/" + name + ".jpg");
            const QRgb clear = copy.pixel(copy.width() / 8, copy.height() / 2);
            QVERIFY2(qRed(clear) > 245 && qGreen(clear) > 245 && qBlue(clear) > 245, qPrintable(QString::number(clear, 16)));
        }
    }

    // A refused modern run writes nothing at all, not even a part of a page.
    void modernRefusalWritesNothing_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("perRow");
        QTest::newRow("name") << "" << "200" << "1";
        QTest::newRow("size") << "g" << "ab" << "1";
        QTest::newRow("images per row") << "g" << "200" << "0";
    }
    void modernRefusalWritesNothing()
    {
        QFETCH(QString, base);
        QFETCH(QString, width);
        QFETCH(QString, perRow);
        Run run;
        run.folder = freshFolder();
        run.theme = GallerySettings::Theme::Modern;
        run.base = base;
        run.width = width;
        run.perRow = perRow;
        run.entries << image(srcFolder(), "a.png");
        QCOMPARE(run(), 1);
        QVERIFY(QDir(run.folder).isEmpty());
    }
};

QTEST_MAIN(TstGallery)
#include "tst_gallery.moc"
