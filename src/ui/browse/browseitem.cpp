#include "ui/browse/browseitem.h"

namespace {

// Locale-aware as a user expects; two names equal to the collation still get
// a fixed order, so that sorting never depends on the listing order.
int compareText(const QString &a, const QString &b)
{
    const int c = QString::localeAwareCompare(a, b);
    return c != 0 ? c : QString::compare(a, b);
}

} // namespace

BrowseItem::BrowseItem(const QStringList &texts) : QTreeWidgetItem(texts, UserType) {}

BrowseItem::BrowseItem(QTreeWidget *tree, const QStringList &texts)
    : QTreeWidgetItem(tree, texts, UserType)
{
}

BrowseItem::BrowseItem(QTreeWidgetItem *parent, const QStringList &texts)
    : QTreeWidgetItem(parent, texts, UserType)
{
}

bool BrowseItem::operator<(const QTreeWidgetItem &other) const
{
    int c = QString::compare(text(OrderColumn), other.text(OrderColumn));
    if (c == 0)
        c = compareText(text(NameColumn), other.text(NameColumn));
    if (c == 0)
        c = compareText(text(TypeColumn), other.text(TypeColumn));
    return c < 0;
}
