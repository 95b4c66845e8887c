#pragma once
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
