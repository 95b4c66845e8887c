#include "core/gallery/gallerypages.h"

#include "core/gallery/gallerysettings.h"
#include "core/imageio/formats.h"

namespace gallerypages {
namespace {

const char kBody[] = "<body text=\"#000000\" bgcolor=\"#FFFFFF\" link=\"#FF0000\" alink=\"#FF0000\" "
                     "vlink=\"#FF0000\">\n";

QByteArray bytes(const QString &text)
{
    return text.toLocal8Bit();
}

QByteArray indexCell(const GallerySettings &settings, const GalleryEntry &entry)
{
    const QString b = htmlUrl(settings.baseName());
    const QString f = htmlUrl(entry.name);
    QString cell = QStringLiteral("<td>");
    if (settings.link())
        cell += QStringLiteral("<a href=\"") + b + QLatin1Char('/') + f + QStringLiteral(".html\">");
    cell += QStringLiteral("<img src=\"") + b + QStringLiteral("/preview_") + htmlUrl(copyName(entry.name))
        + QStringLiteral("\" alt=\"\" border=\"0\">");
    if (settings.link())
        cell += QStringLiteral("</a>\n");
    if (settings.text())
        cell += QStringLiteral("<br>") + htmlText(entry.name);
    cell += QStringLiteral("</td>\n");
    return bytes(cell);
}

} // namespace

QByteArray index(const GallerySettings &settings, const QList<GalleryEntry> &entries)
{
    QByteArray page;
    page += "<html>\n<head>\n";
    page += bytes(QStringLiteral("<title>") + htmlText(settings.baseName()) + QStringLiteral("</title>\n"));
    page += "</head>\n";
    page += kBody;
    page += "<table>\n";
    if (settings.problem() != GallerySettings::Problem::None)
        return page;

    for (int i = 0; i < entries.size();) {
        page += "<tr align=\"center\">\n";
        for (int cells = 0; cells < settings.perRow() && i < entries.size(); ++cells, ++i)
            page += indexCell(settings, entries.at(i));
        page += "</tr>\n";
    }
    page += "</table>\n</body>\n</html>\n";
    return page;
}

QByteArray imagePage(const GallerySettings &settings, const QList<GalleryEntry> &entries, int i)
{
    const QString f = entries.at(i).name;
    QByteArray page;
    page += "<html>\n<head>\n";
    page += bytes(QStringLiteral("<title>") + htmlText(f) + QStringLiteral("</title>\n"));
    page += "</head>\n";
    page += kBody;
    page += "<div align=\"center\">\n";
    page += bytes(QStringLiteral("<img src=\"") + htmlUrl(copyName(f)) + QStringLiteral("\" alt=\"\" border=\"0\"><br>\n"));
    if (i > 0)
        page += bytes(QStringLiteral("<a href=\"") + htmlUrl(entries.at(i - 1).name)
                      + QStringLiteral(".html\">last</a>  \n"));
    page += bytes(QStringLiteral("<a href=\"../") + htmlUrl(settings.baseName())
                  + QStringLiteral(".html\">gallery</a>  \n"));
    if (i + 1 < entries.size())
        page += bytes(QStringLiteral("<a href=\"") + htmlUrl(entries.at(i + 1).name)
                      + QStringLiteral(".html\">next</a>  \n"));
    page += "</div>\n</body>\n</html>\n";
    return page;
}

QString copyName(const QString &name)
{
    for (const formats::Format &row : formats::table()) {
        for (const char *ending : row.endings) {
            if (ending && name.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
                return formats::writable(row.qtName) ? name : name + QStringLiteral(".jpg");
        }
    }
    return name;
}

QString htmlText(const QString &name)
{
    // Non-ASCII letters as numeric references: the page then reads the same
    // in whatever encoding a browser takes it to be in.
    QString out;
    out.reserve(name.size());
    const QList<uint> codePoints = name.toUcs4();
    for (const uint c : codePoints) {
        switch (c) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        default:
            if (c < 0x80)
                out += QChar(char16_t(c));
            else
                out += QStringLiteral("&#%1;").arg(c);
        }
    }
    return out;
}

QString htmlUrl(const QString &name)
{
    // Without this a '#' or '?' would end the path part of the link, and a
    // '%' would start an escape, so the link would miss its file. Browsers
    // drop tabs and line breaks from links and read '\' as '/'. Every byte
    // of a non-ASCII letter is escaped too (UTF-8, as file URLs are read):
    // written raw, a browser that takes the page for another encoding would
    // look for a file of another name. A ':' is escaped everywhere: before
    // any '/' it would make the name a scheme ("javascript:x.png.html" runs
    // a script when clicked, "img:2024.jpg" leads nowhere), and escaped it
    // still names the same file.
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = name.toUtf8();
    QString out;
    out.reserve(utf8.size());
    for (const char ch : utf8) {
        const uchar b = uchar(ch);
        if (b >= 0x80 || b < 0x20 || b == 0x7F || b == '%' || b == '#' || b == '?' || b == '\\' || b == ':') {
            out += QLatin1Char('%');
            out += QLatin1Char(hex[b >> 4]);
            out += QLatin1Char(hex[b & 0xF]);
        } else {
            out += QLatin1Char(ch);
        }
    }
    return htmlText(out);
}

} // namespace gallerypages
