#include "saveformats.h"

#include <QStringList>

namespace saveformats {
namespace {

struct Row
{
    const char *filter;
    const char *format;
    const char *endings[2]; // accepted; the first is the one added
};

// In the dialog's order; the first is the one the dialog starts on.
const Row kRows[] = {
    {"Jpeg (*.jpg *jpeg)", "JPEG", {".jpg", ".jpeg"}},
    {"Bitmaps (*.bmp)", "BMP", {".bmp", nullptr}},
    {"PNG (*.png)", "PNG", {".png", nullptr}},
    {"TIFF (*.tif *.tiff)", "TIF", {".tif", ".tiff"}},
    {"XPM (*.xpm)", "XPM", {".xpm", nullptr}},
};

} // namespace

QString filterString()
{
    QStringList filters;
    for (const Row &row : kRows)
        filters << QString::fromLatin1(row.filter);
    return filters.join(QStringLiteral(";;"));
}

QString proposedName(const QString &path)
{
    static const char *const endings[] = {".jpg", ".jpeg", ".bmp", ".tif", ".tiff", ".png", ".xpm"};
    for (const char *ending : endings) {
        if (path.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
            return path.left(path.lastIndexOf(QLatin1Char('.')));
    }
    return path;
}

Target target(const QString &chosenName, const QString &chosenFilter)
{
    const QString filter = chosenFilter.isEmpty() ? QString::fromLatin1(kRows[0].filter) : chosenFilter;
    for (const Row &row : kRows) {
        if (filter != QLatin1String(row.filter))
            continue;
        for (const char *ending : row.endings) {
            if (ending && chosenName.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
                return {chosenName, QString::fromLatin1(row.format)};
        }
        return {chosenName + QLatin1String(row.endings[0]), QString::fromLatin1(row.format)};
    }
    return {chosenName, filter};
}

} // namespace saveformats
