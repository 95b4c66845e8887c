#include "ui/app/helpview.h"

#include "core/base/pathutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

#ifndef FRAMZO_HELP_INSTALL_DIR
#define FRAMZO_HELP_INSTALL_DIR "share/framzo/help"
#endif

HelpView::HelpView(const QString &helpFile)
{
    // Parentless, so it is a window of its own and keeps the program running
    // until it is closed; closing it frees it, as nothing asks for it again.
    mpBrowser = new QTextBrowser();
    mpBrowser->setAttribute(Qt::WA_DeleteOnClose);
    mpBrowser->setGeometry(20, 40, 600, 300);
    // A missing help file leaves the page empty, quietly: the browser would
    // only print a warning for it.
    if (QFileInfo(helpFile).isFile())
        mpBrowser->setSource(QUrl::fromLocalFile(helpFile));
    mpBrowser->show();
}

QString HelpView::pathFor(const QString &progPath)
{
    return pathutil::beforeLastSlash(pathutil::slashes(progPath)) + QStringLiteral("/help/open.html");
}

QString HelpView::locate(const QString &progPath)
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        appDir + QStringLiteral("/help/open.html"),
        QDir::cleanPath(appDir + QStringLiteral("/../") + QStringLiteral(FRAMZO_HELP_INSTALL_DIR))
            + QStringLiteral("/open.html"),
    };
    for (const QString &c : candidates)
        if (QFileInfo::exists(c))
            return c;
    return pathFor(progPath);
}
