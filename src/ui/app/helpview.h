#pragma once
// The help viewer: a top-level text browser on the help file. The browser
// outlives this object (callers keep a HelpView only for the moment it takes
// to open it) and deletes itself when its window is closed.

#include <QString>

class QTextBrowser;

class HelpView
{
public:
    explicit HelpView(const QString &helpFile);
    QTextBrowser *browser() const { return mpBrowser; }

private:
    QTextBrowser *mpBrowser = nullptr;
};
