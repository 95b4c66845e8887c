#include "core/base/pathutil.h"

#include <QDir>
#include <QFileInfo>

namespace pathutil {

QString slashes(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString beforeLastSlash(const QString &path)
{
    const int i = path.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? path : path.left(i);
}

QString folderWithSlash(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString fileName(const QString &path)
{
    const int i = path.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? path : path.mid(i + 1);
}

QString join(const QString &folder, const QString &name)
{
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString withTrailingSlash(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QString absoluteClean(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool sameFile(const QString &a, const QString &b)
{
    if (absoluteClean(a) == absoluteClean(b))
        return true;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

QString desktopFolder()
{
    return QDir::homePath() + QStringLiteral("/Desktop/");
}

QString homeAsTilde(const QString &path)
{
    const QString home = QDir::homePath();
    // "/" as home would make every path "~/...": that says nothing.
    if (home.isEmpty() || home == QLatin1String("/"))
        return path;
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

} // namespace pathutil
