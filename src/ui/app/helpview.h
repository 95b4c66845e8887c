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

    // The help file path derived from a program path: backslashes become
    // "/", the program's folder (nothing removed when there is no "/") plus
    // "/help/open.html".
    static QString pathFor(const QString &progPath);
    // Where the help file is looked for, first match wins: next to the
    // running program, then the installed data folder, then pathFor().
    static QString locate(const QString &progPath);

private:
    QTextBrowser *mpBrowser = nullptr;
};
