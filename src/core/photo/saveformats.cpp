#include "core/photo/saveformats.h"

#include "core/imageio/formats.h"

#include <QStringList>

namespace saveformats {

QString filterString()
{
    QStringList filters;
    for (const formats::Format &row : formats::table()) {
        if (row.saveFilter)
            filters << QString::fromLatin1(row.saveFilter);
    }
    return filters.join(QStringLiteral(";;"));
}

QString proposedName(const QString &path)
{
    // Only image endings: a name such as "scan.2024" keeps its dot.
    for (const formats::Format &row : formats::table()) {
        for (const char *ending : row.endings) {
            if (ending && path.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
                return path.left(path.lastIndexOf(QLatin1Char('.')));
        }
    }
    return path;
}

bool savesInPlace(const QByteArray &qtFormat)
{
    return formats::writable(qtFormat);
}

Target target(const QString &chosenName, const QString &chosenFilter)
{
    const QList<formats::Format> &rows = formats::table();
    // No filter chosen is the dialog's first one.
    const QString filter = chosenFilter.isEmpty() ? QString::fromLatin1(rows.first().saveFilter) : chosenFilter;
    for (const formats::Format &row : rows) {
        if (!row.saveFilter || filter != QLatin1String(row.saveFilter))
            continue;
        for (const char *ending : row.endings) {
            if (ending && chosenName.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
                return {chosenName, QString::fromLatin1(row.name)};
        }
        return {chosenName + QLatin1String(row.endings[0]), QString::fromLatin1(row.name)};
    }
    return {chosenName, filter};
}

} // namespace saveformats
