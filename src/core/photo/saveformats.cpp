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
    // Only the endings of the formats the dialog offers: any other stays, so
    // that the name still says what the photo was.
    for (const formats::Format &row : formats::table()) {
        for (const char *ending : row.endings) {
            if (row.saveFilter && ending && path.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
                return path.left(path.lastIndexOf(QLatin1Char('.')));
        }
    }
    return path;
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
