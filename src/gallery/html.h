#pragma once
#include "uihtml.h"
class Html : public UiHtml
{
    Q_OBJECT
public:
    // startFolder: the folder shown first (the main window's capture folder).
    explicit Html(const QString &startFolder, QWidget *parent = nullptr, const char *name = "Html");
};
