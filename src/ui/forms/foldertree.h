#pragma once
// The list of the folder tree. It keeps the expand marker of an item that
// may have children (ShowIndicator) while it is open and has none, as for a
// folder that turned out empty or is gone: the view draws that marker only
// until it next lays out the tree (a sibling opening, say) and then drops
// it, which leaves the folder looking like a file.

#include <QTreeWidget>

class FolderTree : public QTreeWidget
{
    Q_OBJECT

public:
    explicit FolderTree(QWidget *parent = nullptr);

protected:
    void drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const override;
};
