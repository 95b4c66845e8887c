#include "ui/forms/foldertree.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>

FolderTree::FolderTree(QWidget *parent) : QTreeWidget(parent)
{
}

void FolderTree::drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const
{
    QTreeWidget::drawBranches(painter, rect, index);
    QTreeWidgetItem *item = itemFromIndex(index);
    if (!item || !item->isExpanded() || item->childCount() > 0
        || item->childIndicatorPolicy() != QTreeWidgetItem::ShowIndicator)
        return;

    // The marker's cell is the last indentation step before the item.
    const int indent = indentation();
    const bool reversed = isRightToLeft();
    QStyleOptionViewItem opt;
    initViewItemOption(&opt);
    opt.rect = QRect(reversed ? rect.left() : rect.right() - indent + 1, rect.top(), indent, rect.height());
    opt.state = QStyle::State_Item | QStyle::State_Children | QStyle::State_Open;
    if (isEnabled())
        opt.state |= QStyle::State_Enabled;
    if (window()->isActiveWindow())
        opt.state |= QStyle::State_Active;
    const QTreeWidgetItem *parent = item->parent();
    const int row = parent ? parent->indexOfChild(item) : indexOfTopLevelItem(item);
    const int siblings = parent ? parent->childCount() : topLevelItemCount();
    if (row + 1 < siblings)
        opt.state |= QStyle::State_Sibling;
    style()->drawPrimitive(QStyle::PE_IndicatorBranch, &opt, painter, this);
}
