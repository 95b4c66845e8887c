#include "uihtml.h"
UiHtml::UiHtml(QWidget *parent, const char *, Qt::WindowFlags flags) : QWidget(parent, flags) {}
