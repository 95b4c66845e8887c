#include "uiabout.h"
UiAbout::UiAbout(QWidget *parent, const char *, bool modal, Qt::WindowFlags flags) : QDialog(parent, flags)
{
    setModal(modal);
}
