#pragma once
// The modal questions the program asks (folder chooser, save-file dialog,
// delete confirmation, unsaved edits) go through this one seam, so that tests can answer
// them without a modal event loop. The default answers with real dialogs.

#include <QString>
#include <QStringList>

class QDialog;
class QMessageBox;
class QWidget;

class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A folder chosen by the user, or an empty string when cancelled.
    virtual QString chooseFolder(QWidget *parent, const QString &startFolder, const QString &caption);

    // A file name for saving, or empty when cancelled. selectedFilter is in
    // and out: the filter shown first, then the one the user chose.
    virtual QString saveFileName(QWidget *parent, const QString &startName, const QString &filter,
                                 QString *selectedFilter, const QString &caption);

    // Asks for a whole number from min to max, starting at *value; false when
    // cancelled (*value unchanged).
    virtual bool askNumber(QWidget *parent, const QString &caption, const QString &label, int *value, int min,
                           int max);

    // Asks whether to delete the file; true for Ok. The dialog is modal and
    // centred over centreOver; Return answers Ok and Escape Cancel.
    virtual bool confirmDelete(QWidget *centreOver, const QString &filePath);

    // Asks whether to save over filePath, which changed on disk (another
    // program wrote it, or it was replaced) since the image shown was read
    // from it; true to replace it. No is the default answer.
    virtual bool confirmReplaceChanged(QWidget *parent, const QString &filePath);

    // The dialog confirmDelete shows, built but not shown: "Delete this
    // Image?" with the file's name below it (elided in the middle when long,
    // the whole path as its tool tip), "&Ok" (the default button, accepts)
    // and "&Cancel" (rejects); at least 200 by 110 and wider for a long
    // name, centred over centreOver. The caller owns it.
    static QDialog *deleteQuestion(QWidget *centreOver, const QString &filePath);

    // What to do with edits that are not saved, before their windows close.
    enum class Unsaved { Save, Discard, Cancel };
    // Asks about the photos at filePaths, which hold unsaved edits: Save
    // them, Discard the edits, or Cancel the closing. Escape answers Cancel.
    virtual Unsaved askUnsaved(QWidget *parent, const QStringList &filePaths);

    // The question askUnsaved shows, built but not shown, naming the
    // photos. The caller owns it.
    static QMessageBox *unsavedQuestion(QWidget *parent, const QStringList &filePaths);

    // The seam in use. Never null.
    static Dialogs *instance();
    // Tests install their own answers; nullptr restores the real dialogs.
    // The seam does not take ownership.
    static void setInstance(Dialogs *dialogs);
};
