#include "ui/app/helpview.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

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
