#pragma once
// The folder tree of the Browse dock. It owns no widgets: it fills the main
// window form's tree, preview and detail labels. The tree starts at the
// Desktop, which holds My Computer with its drives; below them are folders
// and the image files, recognised by their content. Selecting an image shows
// its name, size, format and a small preview; double-clicking it, or Return,
// asks for an image window (OpenImg).

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QSize>
#include <QString>

class QTreeWidgetItem;
class UiFramzo;

class BrowseBar : public QObject
{
    Q_OBJECT

public:
    // The controller has no parent object and lives as long as the program.
    // Without a main window it does nothing.
    explicit BrowseBar(UiFramzo *mainWindow);
    ~BrowseBar() override;

    // Every tree item keeps the name of its icon here (Name column): a name
    // of the embedded collection, or one of the two folder icon names below.
    static constexpr int IconNameRole = Qt::UserRole + 1;
    static const QString kDirOpenName;
    static const QString kDirClosedName;

    // The largest preview; smaller images are enlarged to fit it.
    static constexpr int kPreviewWidth = 200;
    static constexpr int kPreviewHeight = 150;

    QTreeWidgetItem *desktopItem() const { return mpDesktop; }
    QTreeWidgetItem *computerItem() const { return mpComputer; }
    const QPixmap &dirOpenPixmap() const { return mDirOpen; }
    const QPixmap &dirClosedPixmap() const { return mDirClosed; }

    // Whether the details and preview of the item selected last are still
    // being made (they come from a worker).
    bool isPreviewing() const { return mPreviewing; }

    // The path an item stands for: a folder's, drive's or the Desktop's ends
    // in "/"; an image file's is its folder's path plus the name and "/"
    // (callers drop the last character).
    QString itemPath(const QTreeWidgetItem *item) const;

signals:
    // Full path of the image file to open, without a trailing "/".
    void OpenImg(QString path);

public slots:
    // Expands the tree along an existing directory path, through its drive
    // and every folder on the way; stops quietly where a name is not found.
    void openPath(QString path);

protected:
    // Return and Enter in the tree open the photo selected (a folder: open
    // or close it), as a double click does; they never reach the window's
    // shortcuts.
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void loadDir(QTreeWidgetItem *parent);
    void closeDir(QTreeWidgetItem *item);
    void loadImg(QTreeWidgetItem *item);
    void select(QTreeWidgetItem *item);

private:
    void initTree();
    void showInfo();
    void hideInfo();
    void openChild(QTreeWidgetItem *item, const QString &rest);

    bool isDrive(const QTreeWidgetItem *item) const;
    static bool isImageItem(const QTreeWidgetItem *item);
    static bool isExpandable(const QTreeWidgetItem *item);
    // Lists dir below parent, after the children parent still has.
    void listDir(QTreeWidgetItem *parent, const QString &dir);
    // Deletes every child of parent but keep (which may be null).
    void removeChildren(QTreeWidgetItem *parent, QTreeWidgetItem *keep);
    void setItemIcon(QTreeWidgetItem *item, const QString &name);
    QIcon icon(const QString &name);

    QPointer<UiFramzo> mpMain;
    QObject *mTree = nullptr; // the tree whose Return and Enter open photos
    QPixmap mDirOpen;
    QPixmap mDirClosed;
    QTreeWidgetItem *mpDesktop = nullptr;
    QTreeWidgetItem *mpComputer = nullptr;
    // Icons by name, so that thousands of items share a handful of icons.
    QHash<QString, QIcon> mIcons;
    quint64 mSelection = 0; // counts selections: a preview of an earlier one is dropped
    bool mPreviewing = false;
};
