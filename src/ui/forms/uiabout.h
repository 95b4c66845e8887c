#pragma once
// The About dialog: the product name and version above an OK button.

#include <QDialog>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

class UiAbout : public QDialog
{
    Q_OBJECT
public:
    explicit UiAbout(QWidget *parent = nullptr);

    QLabel *textLabel1 = nullptr;
    QPushButton *mpAboutOk = nullptr;

protected:
    QGridLayout *UiAboutLayout = nullptr;
    QVBoxLayout *layout3 = nullptr;
    QHBoxLayout *layout2 = nullptr;

protected slots:
    virtual void languageChange();
};
