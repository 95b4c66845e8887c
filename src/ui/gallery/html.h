#pragma once
// The gallery window: browse one folder at a time on the left, collect images
// from any folders on the right, and write them as a web gallery into the
// folder shown. The writing itself is GalleryRunner's, in the background.

#include "ui/forms/uihtml.h"
#include "core/gallery/gallerysettings.h"

#include <QDir>
#include <QFuture>
#include <QIcon>
#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>

class QListWidgetItem;

class Html : public UiHtml
{
    Q_OBJECT

public:
    // startFolder: the folder shown first (the main window's capture folder);
    // everything after its last "/" is dropped. Without a "/" no folder is
    // shown and generating does nothing until one is chosen.
    explicit Html(const QString &startFolder, QWidget *parent = nullptr);
    ~Html() override;

    // Data of the entries of both icon views.
    static constexpr int KeyRole = Qt::UserRole;      // full path; a folder's bare name
    static constexpr int KindRole = Qt::UserRole + 1; // an EntryKind
    static constexpr int IconPendingRole = Qt::UserRole + 2; // chosen before its icon came
    enum EntryKind { Folder = 0, Image = 1, Unreadable = 2 };

    // The folder shown and written into: null while none is known, else
    // ending in "/".
    QString currentFolder() const { return mPath; }

    // Lists the current folder into mpDir: sub-folders first, then images,
    // each sorted by name regardless of case; hidden entries are left out.
    // The entries are there at once; the images' icons are made in the
    // background and come in as each is made.
    void listDir();
    // Whether icons of the last listing are still being made.
    bool isListing() const;

    // Whether a gallery is being written.
    bool isGenerating() const { return mGenerating; }

public slots:
    int openDir();
    void uponDir();
    // Starts writing the gallery into the current folder in the background;
    // mpProgress shows "n of N" as it goes, what went wrong when something
    // did, and generated() tells its end.
    // 0: started, or nothing to do without a folder (no run, no signal).
    // 1: refused, because a run is under way (no run) or the settings are
    // wrong (mpProgress shows why; the run writes what a refused run
    // writes, then ends as usual).
    int generateHtml();
    void addItem();
    void removeItem();
    void clickedOnItem(QListWidgetItem *item);
    void changeDrive(int index);

signals:
    // A run started by generateHtml() has ended; result as it returned.
    void generated(int result);

protected:
    bool event(QEvent *event) override;

private:
    // The theme and what a modern gallery publishes, as kept in the
    // settings store; stored again whenever the user changes them.
    void loadOptions();
    GallerySettings::Theme chosenTheme() const;
    void saveOptions() const;
    // Keep metadata and Originals apply to modern galleries only.
    void enableThemeOptions();
    // text in mpProgress, able to wrap at every "/" of a path.
    void showStatus(const QString &text);
    void appendToPreview(const QListWidgetItem *item);
    void closeWindow();
    // The icons of a listing, made on every core and put in as each comes.
    void makeIcons(const QStringList &paths, const QList<QListWidgetItem *> &items);
    // The icon of an image entry once made (null: not a readable image).
    void setIcon(QListWidgetItem *item, const QImage &icon);

    QString mPath;
    std::unique_ptr<QDir> mpCurDir;
    QStringList mList; // names of the last listing while it is read
    QFuture<QImage> mIcons; // the icons of the last listing, while they are made
    quint64 mListing = 0;   // counts listings: icons of an earlier one are dropped
    QIcon mPlaceholder;     // an entry's icon until its own is made
    bool mGenerating = false;
};
