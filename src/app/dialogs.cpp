#include "dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
Dialogs *gOverride = nullptr;
}

QString Dialogs::chooseFolder(QWidget *parent, const QString &startFolder, const QString &caption)
{
    return QFileDialog::getExistingDirectory(parent, caption, startFolder);
}

QString Dialogs::saveFileName(QWidget *parent, const QString &startName, const QString &filter,
                              QString *selectedFilter, const QString &caption)
{
    return QFileDialog::getSaveFileName(parent, caption, startName, filter, selectedFilter);
}

bool Dialogs::confirmDelete(QWidget *centreOver, const QString &filePath)
{
    QDialog dlg(centreOver);
    dlg.setObjectName(QStringLiteral("deleteQuestion"));
    dlg.setWindowTitle(QObject::tr("Delete"));
    auto *layout = new QVBoxLayout(&dlg);
    layout->addWidget(new QLabel(QObject::tr("Delete %1?").arg(filePath), &dlg));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    dlg.adjustSize();
    if (centreOver) {
        const QRect g = centreOver->frameGeometry();
        dlg.move(g.x() + g.width() / 2 - dlg.width() / 2, g.y() + g.height() / 2 - dlg.height() / 2);
    }
    return dlg.exec() == QDialog::Accepted;
}

Dialogs *Dialogs::instance()
{
    static Dialogs real;
    return gOverride ? gOverride : &real;
}

void Dialogs::setInstance(Dialogs *dialogs)
{
    gOverride = dialogs;
}
