#pragma once
#include <QDialog>
class UiAbout : public QDialog
{
    Q_OBJECT
public:
    explicit UiAbout(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                     Qt::WindowFlags flags = {});
};
