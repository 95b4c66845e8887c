#include "ui/forms/dialogs.h"

#include "core/base/pathutil.h"

#include <QDialog>
#include <QFileDialog>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

namespace {
Dialogs *gOverride = nullptr;

// The widest a name may make a question; longer ones are elided in the
// middle, where they keep their beginning and their extension.
constexpr int kNameWidth = 440;

// Questions that name photos list at most this many.
constexpr int kNamesListed = 12;
} // namespace

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

bool Dialogs::confirmDelete(QWidget *centreOver, const QString &filePath)
{
    const std::unique_ptr<QDialog> dlg(deleteQuestion(centreOver, filePath));
    return dlg->exec() == QDialog::Accepted;
}

bool Dialogs::confirmReplaceChanged(QWidget *parent, const QString &filePath)
{
    return QMessageBox::question(parent, QObject::tr("Save"),
                                 QObject::tr("%1 has changed on disk since it was opened.\n"
                                             "Replace it with the image shown here?")
                                     .arg(filePath),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

QDialog *Dialogs::deleteQuestion(QWidget *centreOver, const QString &filePath)
{
    // A window of its own over the main window (its parent only keeps it on
    // top), modal while it is open.
    auto *dlg = new QDialog(centreOver);
    dlg->setObjectName(QStringLiteral("deleteQuestion"));
    dlg->setWindowTitle(QObject::tr("Delete"));
    dlg->setModal(true);

    // The name of the file that goes, so that nobody deletes one photo while
    // thinking of another (the one selected in the folder tree, say).
    auto *name = new QLabel(dlg);
    name->setObjectName(QStringLiteral("name"));
    name->setTextFormat(Qt::PlainText);
    name->setAlignment(Qt::AlignCenter);
    const QFontMetrics metrics(name->font());
    const QString shown = metrics.elidedText(pathutil::fileName(filePath), Qt::ElideMiddle, kNameWidth);
    name->setText(shown);
    name->setToolTip(filePath);
    const int w = qMax(200, metrics.horizontalAdvance(shown) + 40);
    const int h = 124;
    dlg->setFixedSize(w, h);
    if (centreOver) {
        // Halves truncated: centred over the main window.
        dlg->move(centreOver->x() + centreOver->width() / 2 - w / 2,
                  centreOver->y() + centreOver->height() / 2 - h / 2);
    }

    auto *text = new QLabel(QObject::tr("Delete this Image?"), dlg);
    text->setObjectName(QStringLiteral("text"));
    text->setGeometry(20, 16, w - 40, 21);
    text->setAlignment(Qt::AlignCenter);
    name->setGeometry(20, 42, w - 40, 21);

    auto *ok = new QPushButton(QObject::tr("&Ok"), dlg);
    ok->setObjectName(QStringLiteral("mpOk"));
    ok->setGeometry(w / 2 - 80, 84, 80, 24);
    // Return presses the default button; Escape rejects (QDialog's own key).
    ok->setDefault(true);
    auto *cancel = new QPushButton(QObject::tr("&Cancel"), dlg);
    cancel->setObjectName(QStringLiteral("mpCancel"));
    cancel->setGeometry(w / 2, 84, 80, 24);
    cancel->setAutoDefault(false);
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dlg, &QDialog::reject);
    ok->setFocus();
    return dlg;
}

Dialogs::Unsaved Dialogs::askUnsaved(QWidget *parent, const QStringList &filePaths)
{
    const std::unique_ptr<QMessageBox> box(unsavedQuestion(parent, filePaths));
    box->exec();
    switch (box->standardButton(box->clickedButton())) {
    case QMessageBox::Save:
        return Unsaved::Save;
    case QMessageBox::Discard:
        return Unsaved::Discard;
    default:
        return Unsaved::Cancel;
    }
}

QMessageBox *Dialogs::unsavedQuestion(QWidget *parent, const QStringList &filePaths)
{
    auto *box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("unsavedQuestion"));
    box->setWindowTitle(QObject::tr("Unsaved edits"));
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);

    const QFontMetrics metrics(box->font());
    QStringList lines;
    for (const QString &path : filePaths.mid(0, kNamesListed))
        lines << metrics.elidedText(path, Qt::ElideMiddle, kNameWidth);
    if (filePaths.size() > kNamesListed)
        lines << QObject::tr("and %n more", nullptr, int(filePaths.size() - kNamesListed));
    const QString intro = filePaths.size() == 1
        ? QObject::tr("This photo has edits that are not saved:")
        : QObject::tr("These photos have edits that are not saved:");
    const QString ask = filePaths.size() == 1 ? QObject::tr("Save it before it closes?")
                                              : QObject::tr("Save them before they close?");
    box->setText(intro + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + ask);

    box->setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Save);
    box->setEscapeButton(QMessageBox::Cancel);
    return box;
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
