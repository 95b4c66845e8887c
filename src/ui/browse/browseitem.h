#pragma once
// One entry of the folder tree. Siblings sort by their order key (the hidden
// third column: Desktop and My Computer, drives, folders, image files), then
// by Name, then by Type, whichever column the view is asked to sort by.

#include <QTreeWidgetItem>

class BrowseItem : public QTreeWidgetItem
{
public:
    enum Column { NameColumn = 0, TypeColumn = 1, OrderColumn = 2 };

    // A free item (to be added to a parent later) and an item added at once
    // to the end of a parent's or the tree's children.
    explicit BrowseItem(const QStringList &texts);
    BrowseItem(QTreeWidget *tree, const QStringList &texts);
    BrowseItem(QTreeWidgetItem *parent, const QStringList &texts);

    bool operator<(const QTreeWidgetItem &other) const override;
};
