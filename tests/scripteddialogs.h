#pragma once
// The one fake of the dialog seam: answers every question the program asks
// from what the test prepared, and keeps what it was asked. Installed while
// it lives.

#include "ui/forms/dialogs.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

class ScriptedDialogs : public Dialogs
{
public:
    ScriptedDialogs() { Dialogs::setInstance(this); }
    ~ScriptedDialogs() override { Dialogs::setInstance(nullptr); }
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;

    // Folder chooser: the queued answers one at a time, then `folder` (empty
    // cancels).
    QStringList folders;
    QString folder;
    // Save dialog: the name typed (empty cancels) and the filter chosen.
    QString saveName;
    QString saveFilter;
    // Delete question: the answer, or, when set, an action run on the real
    // question shown (clicks, keys); its result is the answer.
    bool deleteAnswer = true;
    std::function<void(QDialog *)> onDeleteQuestion;
    // Changed-file question (Save over a file changed on disk): the answer.
    bool replaceChangedAnswer = false;
    // Number question: the number typed, or cancel when numberCancels.
    int number = 0;
    bool numberCancels = false;
    // Unsaved edits question: the answer.
    Unsaved unsavedAnswer = Unsaved::Cancel;

    // What was asked.
    int foldersAsked = 0;
    QString folderStart;
    QString folderCaption;
    int savesAsked = 0;
    QString saveStart;
    QString saveFilters;
    QString saveSelected;
    QString saveCaption;
    int deletesAsked = 0;
    QString deletePath;
    int replaceChangedAsked = 0;
    QString replaceChangedPath;
    int numbersAsked = 0;
    int numberStart = 0;
    int numberMin = 0;
    int numberMax = 0;
    int unsavedAsked = 0;
    QStringList unsavedPaths; // the photos named by the last question

    // Back to no answers and nothing asked.
    void reset()
    {
        folders.clear();
        folder.clear();
        saveName.clear();
        saveFilter.clear();
        deleteAnswer = true;
        onDeleteQuestion = nullptr;
        number = 0;
        numberCancels = false;
        unsavedAnswer = Unsaved::Cancel;
        replaceChangedAnswer = false;
        replaceChangedAsked = 0;
        replaceChangedPath.clear();
        foldersAsked = savesAsked = deletesAsked = numbersAsked = unsavedAsked = 0;
        unsavedPaths.clear();
        numberStart = numberMin = numberMax = 0;
        folderStart.clear();
        folderCaption.clear();
        saveStart.clear();
        saveFilters.clear();
        saveSelected.clear();
        saveCaption.clear();
        deletePath.clear();
    }

    QString chooseFolder(QWidget *, const QString &startFolder, const QString &caption) override
    {
        ++foldersAsked;
        folderStart = startFolder;
        folderCaption = caption;
        return folders.isEmpty() ? folder : folders.takeFirst();
    }

    QString saveFileName(QWidget *, const QString &startName, const QString &filters, QString *selectedFilter,
                         const QString &caption) override
    {
        ++savesAsked;
        saveStart = startName;
        saveFilters = filters;
        saveCaption = caption;
        if (selectedFilter) {
            saveSelected = *selectedFilter;
            *selectedFilter = saveFilter;
        }
        return saveName;
    }

    bool askNumber(QWidget *, const QString &, const QString &, int *value, int min, int max) override
    {
        ++numbersAsked;
        numberStart = *value;
        numberMin = min;
        numberMax = max;
        if (numberCancels)
            return false;
        *value = number;
        return true;
    }

    Unsaved askUnsaved(QWidget *, const QStringList &filePaths) override
    {
        ++unsavedAsked;
        unsavedPaths = filePaths;
        return unsavedAnswer;
    }

    bool confirmReplaceChanged(QWidget *, const QString &filePath) override
    {
        ++replaceChangedAsked;
        replaceChangedPath = filePath;
        return replaceChangedAnswer;
    }

    bool confirmDelete(QWidget *centreOver, const QString &filePath) override
    {
        ++deletesAsked;
        deletePath = filePath;
        if (!onDeleteQuestion)
            return deleteAnswer;
        const std::unique_ptr<QDialog> dlg(deleteQuestion(centreOver, filePath));
        dlg->show();
        onDeleteQuestion(dlg.get());
        return dlg->result() == QDialog::Accepted;
    }
};
