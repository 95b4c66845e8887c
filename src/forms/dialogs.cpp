#include "forms/dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <memory>

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

bool Dialogs::askNumber(QWidget *parent, const QString &caption, const QString &label, int *value, int min,
                        int max)
{
    bool ok = false;
    const int chosen = QInputDialog::getInt(parent, caption, label, *value, min, max, 1, &ok);
    if (ok)
        *value = chosen;
    return ok;
}

bool Dialogs::confirmDelete(QWidget *centreOver, const QString &)
{
    const std::unique_ptr<QDialog> dlg(deleteQuestion(centreOver));
    return dlg->exec() == QDialog::Accepted;
}

QDialog *Dialogs::deleteQuestion(QWidget *centreOver)
{
    // A window of its own over the main window (its parent only keeps it on
    // top), modal while it is open.
    auto *dlg = new QDialog(centreOver);
    dlg->setObjectName(QStringLiteral("deleteQuestion"));
    dlg->setWindowTitle(QObject::tr("Delete"));
    dlg->setModal(true);
    dlg->setFixedSize(200, 110);
    if (centreOver) {
        // Halves truncated: centred over the main window.
        dlg->move(centreOver->x() + centreOver->width() / 2 - 100,
                  centreOver->y() + centreOver->height() / 2 - 55);
    }

    auto *text = new QLabel(QObject::tr("Delete this Image?"), dlg);
    text->setObjectName(QStringLiteral("text"));
    text->setGeometry(30, 20, 135, 21);
    text->setAlignment(Qt::AlignCenter);

    auto *ok = new QPushButton(QObject::tr("&Ok"), dlg);
    ok->setObjectName(QStringLiteral("mpOk"));
    ok->setGeometry(20, 70, 80, 24);
    // Return presses the default button; Escape rejects (QDialog's own key).
    ok->setDefault(true);
    auto *cancel = new QPushButton(QObject::tr("&Cancel"), dlg);
    cancel->setObjectName(QStringLiteral("mpCancel"));
    cancel->setGeometry(100, 70, 80, 24);
    cancel->setAutoDefault(false);
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dlg, &QDialog::reject);
    ok->setFocus();
    return dlg;
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
