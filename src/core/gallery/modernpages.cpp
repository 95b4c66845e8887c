#include "core/gallery/modernpages.h"

#include "core/gallery/gallerypages.h"
#include "core/gallery/gallerysettings.h"

namespace modernpages {
namespace {

// Thumbnails the browser fetches at once; the later ones wait until they
// come near the screen. A phone's first screen shows about ten, a desktop's
// a few more, and those near the screen load anyway.
constexpr int kEager = 12;

const char kHead[] = "<!DOCTYPE html>\n"
                     "<html lang=\"en\">\n"
                     "<head>\n"
                     "<meta charset=\"utf-8\">\n"
                     "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";

// Arrow keys and a swipe follow the page's own previous and next links;
// without scripts the links do the same.
const char kScript[] =
    "<script>\n"
    "(function () {\n"
    "  function go(rel) { var a = document.querySelector('a[rel=\"' + rel + '\"]'); if (a) location.href = a.href; }\n"
    "  document.addEventListener('keydown', function (e) {\n"
    "    if (e.altKey || e.ctrlKey || e.metaKey || e.shiftKey) return;\n"
    "    if (e.key === 'ArrowLeft') go('prev'); else if (e.key === 'ArrowRight') go('next');\n"
    "  });\n"
    "  var x = null, y = 0;\n"
    "  document.addEventListener('touchstart', function (e) {\n"
    "    x = e.touches.length === 1 ? e.touches[0].clientX : null; y = e.touches[0].clientY;\n"
    "  }, {passive: true});\n"
    "  document.addEventListener('touchend', function (e) {\n"
    "    if (x === null) return;\n"
    "    var dx = e.changedTouches[0].clientX - x, dy = e.changedTouches[0].clientY - y; x = null;\n"
    "    if (Math.abs(dx) > 50 && Math.abs(dx) > 2 * Math.abs(dy)) go(dx < 0 ? 'next' : 'prev');\n"
    "  }, {passive: true});\n"
    "})();\n"
    "</script>\n";

// The space the image page keeps for its links and caption, below and
// above the photo.
const char kChrome[] = "7rem";

// A name in an href, src or srcset. Besides what htmlUrl escapes, a space
// and a comma: srcset splits its candidates at them.
QString url(const QString &name)
{
    return gallerypages::htmlUrl(name).replace(QLatin1Char(' '), QLatin1String("%20")).replace(QLatin1Char(','),
                                                                                              QLatin1String("%2C"));
}

// A file of the gallery folder (a relative path of ours, then the name) as
// a link from where the page is: prefix is "" from an image page and
// url(B) + "/" from the index.
QString link(const QString &prefix, const QString &folder, const QString &name)
{
    return prefix + folder + url(name);
}

QString number(int n)
{
    return QString::number(n);
}

// The density of a picture of width `dense` against one of width `plain`
// shown at the same size: "2x", "1.5x".
QString density(int dense, int plain)
{
    QString d = QString::number(double(dense) / plain, 'f', 3);
    while (d.endsWith(QLatin1Char('0')))
        d.chop(1);
    if (d.endsWith(QLatin1Char('.')))
        d.chop(1);
    return d + QLatin1Char('x');
}

QString sizeAttributes(const QSize &size)
{
    return QStringLiteral(" width=\"%1\" height=\"%2\"").arg(size.width()).arg(size.height());
}

// "2024-05-01 14:03" in a time element, or nothing.
QString takenText(const QDateTime &taken)
{
    if (!taken.isValid())
        return {};
    return QStringLiteral("<time datetime=\"%1\">%2</time>")
        .arg(taken.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")), taken.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

// The text a picture stands for where it cannot be seen.
QString altText(const GalleryEntry &entry, const GalleryPicture &picture)
{
    QString alt = gallerypages::htmlText(entry.name);
    if (picture.taken.isValid())
        alt += QStringLiteral(", ") + picture.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return alt;
}

QString folderOf(const QString &file)
{
    return file.left(file.lastIndexOf(QLatin1Char('/')) + 1);
}

QString indexCell(const GallerySettings &settings, const GalleryEntry &entry, const GalleryPicture &picture,
                  int position)
{
    const QString base = url(settings.baseName()) + QLatin1Char('/');
    QString cell = QStringLiteral("<figure>\n");
    const bool thumbnails = !settings.thumbnailBox().isEmpty();
    if (thumbnails || settings.link()) {
        cell += settings.link() ? QStringLiteral("<a class=\"thumb\" href=\"") + base + url(pageFile(entry.name))
                + QStringLiteral("\">")
                                : QStringLiteral("<div class=\"thumb\">");
        if (!picture.thumbnail.isEmpty()) {
            const QString name = jpegName(entry.name);
            cell += QStringLiteral("<img src=\"") + link(base, folderOf(thumbnailFile(name)), name) + QLatin1Char('"');
            if (!picture.thumbnail2x.isEmpty())
                cell += QStringLiteral(" srcset=\"") + link(base, folderOf(thumbnailFile(name)), name)
                    + QStringLiteral(" 1x, ") + link(base, folderOf(thumbnail2xFile(name)), name) + QLatin1Char(' ')
                    + density(picture.thumbnail2x.width(), picture.thumbnail.width()) + QLatin1Char('"');
            cell += sizeAttributes(picture.thumbnail) + QStringLiteral(" alt=\"") + altText(entry, picture)
                + QLatin1Char('"');
            if (position >= kEager)
                cell += QStringLiteral(" loading=\"lazy\"");
            cell += QStringLiteral(" decoding=\"async\">");
        } else if (settings.link() && !thumbnails && !settings.text()) {
            // Nothing else would carry the link.
            cell += gallerypages::htmlText(entry.name);
        }
        cell += settings.link() ? QStringLiteral("</a>\n") : QStringLiteral("</div>\n");
    }
    if (settings.text())
        cell += QStringLiteral("<figcaption>") + gallerypages::htmlText(entry.name) + QStringLiteral("</figcaption>\n");
    cell += QStringLiteral("</figure>\n");
    return cell;
}

// The photo of an image page: the copies in a srcset, so that a phone
// fetches the small one and a desktop or a dense screen the large one, and
// sizes saying how wide it is shown (the width of the screen, or less where
// the height of the screen is what limits it).
QString photo(const GalleryEntry &entry, const GalleryPicture &picture)
{
    const QString name = jpegName(entry.name);
    const QString large = link(QString(), folderOf(copyFile(name)), name);
    const QString small = link(QString(), folderOf(smallCopyFile(name)), name);
    const QSize shown = picture.copy.isEmpty() ? picture.smallCopy : picture.copy;
    QString img = QStringLiteral("<img src=\"") + (picture.copy.isEmpty() ? small : large) + QLatin1Char('"');
    if (!picture.copy.isEmpty() && !picture.smallCopy.isEmpty()) {
        img += QStringLiteral(" srcset=\"%1 %2w, %3 %4w\"")
                   .arg(small, number(picture.smallCopy.width()), large, number(picture.copy.width()));
        const QString ratio = QString::number(double(shown.width()) / shown.height(), 'f', 4);
        img += QStringLiteral(" sizes=\"min(100vw, calc((100vh - %1) * %2))\"").arg(QLatin1String(kChrome), ratio);
    }
    img += sizeAttributes(shown) + QStringLiteral(" alt=\"") + altText(entry, picture) + QStringLiteral("\">\n");
    return img;
}

QByteArray bytes(const QString &text)
{
    return text.toUtf8();
}

} // namespace

QString jpegName(const QString &name)
{
    if (name.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive)
        || name.endsWith(QLatin1String(".jpeg"), Qt::CaseInsensitive))
        return name;
    return name + QStringLiteral(".jpg");
}

QString copyFile(const QString &name)
{
    return QStringLiteral("2048/") + jpegName(name);
}

QString smallCopyFile(const QString &name)
{
    return QStringLiteral("1024/") + jpegName(name);
}

QString thumbnailFile(const QString &name)
{
    return QStringLiteral("thumbs/") + jpegName(name);
}

QString thumbnail2xFile(const QString &name)
{
    return QStringLiteral("thumbs-2x/") + jpegName(name);
}

QString originalFile(const QString &name)
{
    return QStringLiteral("originals/") + name;
}

QString pageFile(const QString &name)
{
    return name + QStringLiteral(".html");
}

QString stylesheetFile()
{
    return QStringLiteral("style.css");
}

QByteArray index(const GallerySettings &settings, const QList<GalleryEntry> &entries,
                 const QList<GalleryPicture> &pictures)
{
    const QString base = url(settings.baseName());
    QString page = QString::fromLatin1(kHead);
    page += QStringLiteral("<title>") + gallerypages::htmlText(settings.baseName()) + QStringLiteral("</title>\n");
    page += QStringLiteral("<link rel=\"stylesheet\" href=\"") + base + QLatin1Char('/') + url(stylesheetFile())
        + QStringLiteral("\">\n</head>\n<body class=\"index\">\n");
    page += QStringLiteral("<header><h1>") + gallerypages::htmlText(settings.baseName())
        + QStringLiteral("</h1></header>\n<main class=\"grid\">\n");
    for (int i = 0; i < entries.size(); ++i)
        page += indexCell(settings, entries.at(i), pictures.value(i), i);
    page += QStringLiteral("</main>\n</body>\n</html>\n");
    return bytes(page);
}

QByteArray imagePage(const GallerySettings &settings, const QList<GalleryEntry> &entries,
                     const QList<GalleryPicture> &pictures, int i)
{
    const GalleryEntry &entry = entries.at(i);
    const GalleryPicture picture = pictures.value(i);
    QString page = QString::fromLatin1(kHead);
    page += QStringLiteral("<title>") + gallerypages::htmlText(entry.name) + QStringLiteral("</title>\n");
    page += QStringLiteral("<link rel=\"stylesheet\" href=\"") + url(stylesheetFile())
        + QStringLiteral("\">\n</head>\n<body class=\"photo\">\n<nav>\n");
    // The links keep their places whether or not there is a neighbour.
    if (i > 0)
        page += QStringLiteral("<a rel=\"prev\" href=\"") + url(pageFile(entries.at(i - 1).name))
            + QStringLiteral("\">&#8592; Previous</a>\n");
    else
        page += QStringLiteral("<span class=\"off\">&#8592; Previous</span>\n");
    page += QStringLiteral("<a href=\"../") + url(settings.baseName()) + QStringLiteral(".html\">Index</a>\n");
    if (i + 1 < entries.size())
        page += QStringLiteral("<a rel=\"next\" href=\"") + url(pageFile(entries.at(i + 1).name))
            + QStringLiteral("\">Next &#8594;</a>\n");
    else
        page += QStringLiteral("<span class=\"off\">Next &#8594;</span>\n");
    page += QStringLiteral("</nav>\n<main>\n<figure>\n");
    if (picture.hasCopy())
        page += photo(entry, picture);
    else
        page += QStringLiteral("<p class=\"missing\">This image could not be read.</p>\n");
    page += QStringLiteral("<figcaption>") + takenText(picture.taken);
    if (picture.taken.isValid())
        page += QLatin1Char(' ');
    page += QStringLiteral("<span class=\"name\">") + gallerypages::htmlText(entry.name) + QStringLiteral("</span>");
    if (!picture.original.isEmpty())
        page += QStringLiteral(" <a href=\"") + link(QString(), folderOf(originalFile(entry.name)), entry.name)
            + QStringLiteral("\">Original</a>");
    page += QStringLiteral("</figcaption>\n</figure>\n</main>\n");
    page += QString::fromLatin1(kScript);
    page += QStringLiteral("</body>\n</html>\n");
    return bytes(page);
}

QByteArray stylesheet(const GallerySettings &settings)
{
    // A cell is at least four fifths of the thumbnail box wide, so that a
    // phone shows two thumbnails a row; never wider than the screen.
    const QSize box = settings.thumbnailBox();
    const int cell = box.isEmpty() ? 160 : qBound(64, box.width() * 4 / 5, 4000);
    const QString ratio = box.isEmpty() ? QStringLiteral("4 / 3")
                                        : QStringLiteral("%1 / %2").arg(box.width()).arg(box.height());
    QString css = QStringLiteral(
        "/* A gallery by Framzo: no scripts needed, nothing fetched from elsewhere. */\n"
        ":root {\n"
        "  color-scheme: light dark;\n"
        "  --bg: #f7f7f5; --fg: #1d1d1f; --muted: #5f6368; --tile: #e7e7e3; --link: #0b57d0;\n"
        "  --cell: %1px; --ratio: %2;\n"
        "}\n"
        "@media (prefers-color-scheme: dark) {\n"
        "  :root { --bg: #151515; --fg: #e8e8e8; --muted: #a8a8a8; --tile: #262626; --link: #8ab4f8; }\n"
        "}\n"
        "*, *::before, *::after { box-sizing: border-box; }\n"
        "html { -webkit-text-size-adjust: 100%; text-size-adjust: 100%; }\n"
        "body { margin: 0; background: var(--bg); color: var(--fg);\n"
        "  font: 16px/1.45 system-ui, -apple-system, \"Segoe UI\", Roboto, \"Helvetica Neue\", Arial, sans-serif; }\n"
        "a { color: var(--link); }\n"
        "header { padding: 16px 12px 0; }\n"
        "h1 { margin: 0; font-size: 1.5rem; font-weight: 600; overflow-wrap: anywhere; }\n"
        ".grid { display: grid; gap: 12px; padding: 12px;\n"
        "  grid-template-columns: repeat(auto-fill, minmax(min(100%, var(--cell)), 1fr)); }\n"
        ".grid figure { margin: 0; min-width: 0; }\n"
        ".thumb { display: flex; align-items: center; justify-content: center; aspect-ratio: var(--ratio);\n"
        "  background: var(--tile); border-radius: 4px; overflow: hidden; text-decoration: none; }\n"
        ".thumb img { display: block; max-width: 100%; max-height: 100%; width: auto; height: auto; }\n"
        ".grid figcaption { margin-top: 4px; font-size: .875rem; color: var(--muted); text-align: center;\n"
        "  overflow-wrap: anywhere; }\n"
        ".photo nav { display: flex; justify-content: space-between; align-items: center; gap: 8px;\n"
        "  height: 2.75rem; padding: 0 12px; }\n"
        ".photo nav .off { visibility: hidden; }\n"
        ".photo main { padding: 0 8px; }\n"
        ".photo figure { margin: 0; }\n"
        ".photo img { display: block; margin: 0 auto; width: auto; height: auto; max-width: 100%;\n"
        "  max-height: calc(100vh - %3); max-height: calc(100svh - %3); }\n"
        ".photo figcaption { padding: 8px 4px; text-align: center; color: var(--muted); overflow-wrap: anywhere; }\n"
        ".photo time { color: var(--fg); }\n"
        ".missing { text-align: center; color: var(--muted); padding: 3rem 0; }\n")
                      .arg(cell)
                      .arg(ratio, QLatin1String(kChrome));
    return bytes(css);
}

} // namespace modernpages
