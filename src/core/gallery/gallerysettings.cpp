#include "core/gallery/gallerysettings.h"

#include "core/base/pathutil.h"

GallerySettings::GallerySettings(const QString &folder, const QString &baseName, const QString &width,
                                 const QString &height, const QString &perRow, bool link, bool text)
    : mFolder(pathutil::withTrailingSlash(folder)), mBase(baseName), mLink(link), mText(text)
{
    // The base name must name a folder inside the current one: empty, "."
    // or ".." would put the copies among the images of the current folder
    // (or its parent) and replace those of the same name, and a "/" would
    // leave the index's links pointing one folder too deep.
    if (mBase.isEmpty() || mBase == QLatin1String(".") || mBase == QLatin1String("..")
        || mBase.contains(QLatin1Char('/'))) {
        refuse(Problem::Name,
               QStringLiteral("the gallery name \"%1\" is not a plain name for the index page "
                              "and the gallery folder")
                   .arg(mBase));
        return;
    }

    bool widthOk = false;
    bool heightOk = false;
    mBox = QSize(width.toInt(&widthOk, 10), height.toInt(&heightOk, 10));
    if (!widthOk || !heightOk) {
        refuse(Problem::Size,
               QStringLiteral("the thumbnail size \"%1x%2\" is not two whole numbers, such as 200x150")
                   .arg(width, height));
        return;
    }

    bool ok = false;
    mPerRow = perRow.toInt(&ok, 10);
    // A row must take at least one cell, or the table would never end.
    if (!ok || mPerRow < 1)
        refuse(Problem::Columns,
               QStringLiteral("the images per row \"%1\" is not a whole number of at least 1").arg(perRow));
}

void GallerySettings::refuse(Problem problem, const QString &reason)
{
    mProblem = problem;
    mReason = reason;
}

QString GallerySettings::indexPath() const
{
    return mFolder + mBase + QStringLiteral(".html");
}

QString GallerySettings::galleryFolder() const
{
    return mFolder + mBase + QLatin1Char('/');
}

std::optional<GallerySettings::Theme> GallerySettings::themeNamed(const QString &name)
{
    if (name == QLatin1String("classic"))
        return Theme::Classic;
    if (name == QLatin1String("modern"))
        return Theme::Modern;
    return std::nullopt;
}

QString GallerySettings::themeName(Theme theme)
{
    return theme == Theme::Modern ? QStringLiteral("modern") : QStringLiteral("classic");
}
