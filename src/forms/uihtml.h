#pragma once
#include <QWidget>
class UiHtml : public QWidget
{
    Q_OBJECT
public:
    explicit UiHtml(QWidget *parent = nullptr, const char *name = nullptr, Qt::WindowFlags flags = {});
};
