#include "ui/browse/browsebar.h"

#include <QKeyEvent>

#include "ui/browse/browseitem.h"
#include "ui/forms/uiframzo.h"
#include "core/imageio/colourmanage.h"
#include "core/imageio/formats.h"
#include "core/imageio/imageio.h"
#include "core/base/jobs.h"
#include "core/base/pathutil.h"
#include "ui/images/mimesourcefactory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <memory>

namespace {

// The two folder icons, drawn for this program: an open folder with a sheet
// of paper showing, and a closed one.
static const char *const kDirOpenXpm[] = {
    "16 16 11 1",
    ". c None",
    "b c #C48D1E",
    "d c #D29A1C",
    "g c #C9C9C9",
    "k c #5A4100",
    "l c #F9DC7E",
    "p c #FFFFFF",
    "s c #B0B0B0",
    "t c #E2AD30",
    "w c #FFF4CF",
    "y c #F3C443",
    "................",
    "..kkkkk.........",
    ".kwtttdk........",
    ".kbbbbbbkkkkkk..",
    ".kbppppppppppk..",
    ".kbpggggggggpk..",
    ".kbppppppppppk..",
    ".kbpggggggkkkkkk",
    ".kbppkkkkkwwwwdk",
    ".kbkkwwwllllldk.",
    ".kbkwlllyyyyydk.",
    ".kkwlyyyyyyyydk.",
    ".kklyyyyyyyydk..",
    ".kwddddddddddk..",
    ".kkkkkkkkkkkkk..",
    "..sssssssssss..."
};

static const char *const kDirClosedXpm[] = {
    "16 16 9 1",
    ". c None",
    "d c #D29A1C",
    "k c #5A4100",
    "l c #F9DC7E",
    "o c #8C6A0E",
    "s c #B0B0B0",
    "t c #E2AD30",
    "w c #FFF4CF",
    "y c #F3C443",
    "................",
    "................",
    "..kkkkk.........",
    ".kwtttok........",
    ".kttttttkkkkkkk.",
    ".kwwwwwwwwwwwwok",
    ".kwllllllllllldk",
    ".klyyyyyyyyyyydk",
    ".klyyyyyyyyyyydk",
    ".klyyyyyyyyyyydk",
    ".klyyyyyyyyyyydk",
    ".klyyyyyyyyyyydk",
    ".kdddddddddddddk",
    ".kkkkkkkkkkkkkkk",
    "..ssssssssssssss",
    "................"
};

const QString kDesktopIcon = QStringLiteral("desktop.bmp");
const QString kComputerIcon = QStringLiteral("computer.bmp");
const QString kDriveIcon = QStringLiteral("drive.bmp");

// Order keys: siblings sort by these first.
const QString kKeyTop = QStringLiteral("0");
const QString kKeyDrive = QStringLiteral("1");
const QString kKeyFolder = QStringLiteral("2");
const QString kKeyImage = QStringLiteral("3");

} // namespace

const QString BrowseBar::kDirOpenName = QStringLiteral("folder-open");
const QString BrowseBar::kDirClosedName = QStringLiteral("folder-closed");

BrowseBar::BrowseBar(UiFramzo *mainWindow)
    : QObject(nullptr), mpMain(mainWindow), mDirOpen(kDirOpenXpm), mDirClosed(kDirClosedXpm)
{
    if (!mpMain)
        return;
    hideInfo();
    initTree();

    QTreeWidget *tree = mpMain->mpTree;
    connect(tree, &QTreeWidget::itemExpanded, this, &BrowseBar::loadDir);
    connect(tree, &QTreeWidget::itemCollapsed, this, &BrowseBar::closeDir);
    connect(tree, &QTreeWidget::itemDoubleClicked, this, &BrowseBar::loadImg);
    connect(tree, &QTreeWidget::currentItemChanged, this, &BrowseBar::select);
    // Return and Enter do what a double click does.
    mTree = tree;
    tree->installEventFilter(this);

    // The order key column only sorts; the user sees Name and Type. Items
    // are put in order as they are listed, and a click on a header must not
    // reorder the tree by something else.
    tree->header()->setSectionsClickable(false);
    // The view opens on double-click only items that have children, but a
    // folder gets its children when it opens: loadImg toggles instead.
    tree->setExpandsOnDoubleClick(false);
    tree->sortItems(BrowseItem::OrderColumn, Qt::AscendingOrder);
    tree->hideColumn(BrowseItem::OrderColumn);
}

BrowseBar::~BrowseBar() = default;

QIcon BrowseBar::icon(const QString &name)
{
    auto it = mIcons.constFind(name);
    if (it != mIcons.constEnd())
        return *it;
    QIcon ic;
    if (name == kDirOpenName)
        ic = QIcon(mDirOpen);
    else if (name == kDirClosedName)
        ic = QIcon(mDirClosed);
    else
        ic = QIcon(fromMimeSource(name));
    mIcons.insert(name, ic);
    return ic;
}

void BrowseBar::setItemIcon(QTreeWidgetItem *item, const QString &name)
{
    item->setIcon(BrowseItem::NameColumn, icon(name));
    item->setData(BrowseItem::NameColumn, IconNameRole, name);
}

bool BrowseBar::isDrive(const QTreeWidgetItem *item) const
{
    return item && mpComputer && item->parent() == mpComputer;
}

bool BrowseBar::isExpandable(const QTreeWidgetItem *item)
{
    return item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}

bool BrowseBar::isImageItem(const QTreeWidgetItem *item)
{
    return item && !item->text(BrowseItem::TypeColumn).isEmpty() && !isExpandable(item);
}

void BrowseBar::initTree()
{
    QTreeWidget *tree = mpMain->mpTree;

    mpDesktop = new BrowseItem(tree, {tr("Desktop"), QString(), kKeyTop});
    setItemIcon(mpDesktop, kDesktopIcon);
    mpDesktop->setExpanded(true);

    mpComputer = new BrowseItem(mpDesktop, {tr("My Computer"), QString(), kKeyTop});
    setItemIcon(mpComputer, kComputerIcon);
    mpComputer->setExpanded(true);

    // On Linux the toolkit lists the single root "/".
    const QFileInfoList drives = QDir::drives();
    for (const QFileInfo &drive : drives) {
        auto *item = new BrowseItem(mpComputer, {drive.filePath(), QString(), kKeyDrive});
        setItemIcon(item, kDriveIcon);
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }

    loadDir(mpDesktop);
}

QString BrowseBar::itemPath(const QTreeWidgetItem *item) const
{
    QString path;
    for (const QTreeWidgetItem *it = item; it; it = it->parent()) {
        if (it == mpDesktop) {
            path.prepend(pathutil::desktopFolder());
            break;
        }
        path.prepend(it->text(BrowseItem::NameColumn) + QLatin1Char('/'));
        if (isDrive(it))
            break;
    }
    // A drive's name already ends in "/".
    path.replace(QStringLiteral("//"), QStringLiteral("/"));
    return path;
}

void BrowseBar::removeChildren(QTreeWidgetItem *parent, QTreeWidgetItem *keep)
{
    QTreeWidget *tree = mpMain->mpTree;
    // When the current item goes, the parent becomes current, so the details
    // never describe an entry that is no longer in the tree.
    for (QTreeWidgetItem *p = tree->currentItem(); p; p = p->parent()) {
        if (p->parent() == parent) {
            if (p != keep)
                tree->setCurrentItem(parent);
            break;
        }
    }

    if (!keep) {
        const QList<QTreeWidgetItem *> gone = parent->takeChildren();
        for (QTreeWidgetItem *child : gone)
            std::unique_ptr<QTreeWidgetItem> owned(child);
        return;
    }
    for (int i = parent->childCount() - 1; i >= 0; --i) {
        if (parent->child(i) != keep)
            std::unique_ptr<QTreeWidgetItem> owned(parent->takeChild(i));
    }
}

void BrowseBar::listDir(QTreeWidgetItem *parent, const QString &dir)
{
    // Hidden entries, "." and "..", and special files (FIFOs, devices,
    // sockets: probing one could block) are left out.
    const QDir d(dir, QString(), QDir::Name | QDir::IgnoreCase,
                 QDir::Dirs | QDir::Files | QDir::Drives | QDir::NoDotAndDotDot);
    const QFileInfoList entries = d.entryInfoList();

    // The images of a folder are the files the format table names, as for
    // Page Up and the gallery window; each is then probed by content (only
    // the header is read) for the format it shows, and one that holds no
    // image is left out. A large folder is probed on all cores: the header
    // reads are most of its listing time.
    const auto isImage = [](const QFileInfo &entry) {
        // An empty file holds no image. Skipping those without opening them
        // also keeps the probe away from the pseudo-files of /proc and /sys,
        // which report no size and may block a reader (/proc/kmsg).
        return !entry.isDir() && entry.size() > 0 && formats::isImageName(entry.fileName());
    };
    QStringList files;
    for (const QFileInfo &entry : entries) {
        if (isImage(entry))
            files << entry.filePath();
    }
    const auto probe = [&files](int i) { return formats::formatName(imageio::detect(files.at(i))); };
    constexpr int kParallelFrom = 64;
    const int lanes = files.size() >= kParallelFrom ? jobs::cores() : 1;
    const QStringList formats = jobs::mapped<QString>(int(files.size()), lanes, probe);

    QList<QTreeWidgetItem *> items;
    items.reserve(entries.size());
    int nextFile = 0;
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (entry.isDir()) {
            auto *item = new BrowseItem({name, QString(), kKeyFolder});
            setItemIcon(item, kDirClosedName);
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
            items.append(item);
            continue;
        }
        if (!isImage(entry))
            continue;
        const QString format = formats.at(nextFile++);
        if (format.isEmpty())
            continue;
        auto *item = new BrowseItem({name, format, kKeyImage});
        setItemIcon(item, formats::iconName(format));
        items.append(item);
    }
    // Sorted before they go in, so the view lays them out once. The children
    // a parent keeps (My Computer on the Desktop) sort before all of these.
    std::stable_sort(items.begin(), items.end(),
                     [](const QTreeWidgetItem *a, const QTreeWidgetItem *b) { return *a < *b; });
    parent->addChildren(items);
}

void BrowseBar::loadDir(QTreeWidgetItem *parent)
{
    if (!mpMain || !parent || parent == mpComputer)
        return;

    if (parent == mpDesktop) {
        // My Computer and its drives stay as they are.
        removeChildren(parent, mpComputer);
        listDir(parent, pathutil::desktopFolder());
        return;
    }

    const QString dir = itemPath(parent);
    removeChildren(parent, nullptr);
    // After the old children are gone: the view then re-measures few rows.
    setItemIcon(parent, isDrive(parent) ? kDriveIcon : kDirOpenName);
    if (QFile::exists(dir))
        listDir(parent, dir);
}

void BrowseBar::closeDir(QTreeWidgetItem *item)
{
    if (!mpMain || !item || !isExpandable(item))
        return;
    setItemIcon(item, isDrive(item) ? kDriveIcon : kDirClosedName);
}

bool BrowseBar::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: while the main window is being destroyed the tree
    // still sends events (focus, activation) through here.
    if ((event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) || watched != mTree
        || !mpMain)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        || (mods != Qt::NoModifier && mods != Qt::ShiftModifier))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // The tree's own key: no window-wide shortcut (a cut) takes it.
        event->accept();
        return true;
    }
    loadImg(mpMain->mpTree->currentItem());
    return true;
}

void BrowseBar::loadImg(QTreeWidgetItem *item)
{
    if (!mpMain || !item)
        return;
    if (!isImageItem(item)) {
        item->setExpanded(!item->isExpanded());
        return;
    }
    QString path = itemPath(item);
    path.chop(1);
    emit OpenImg(path);
}

void BrowseBar::select(QTreeWidgetItem *item)
{
    if (!mpMain || !item)
        return;
    ++mSelection; // a preview under way for another item is dropped
    if (!isImageItem(item)) {
        mPreviewing = false;
        hideInfo();
        return;
    }

    QString path = itemPath(item);
    path.chop(1);
    mpMain->mpLabelName->setText(tr("Name: ") + item->text(BrowseItem::NameColumn));
    // The label elides a long name; the whole of it is a hover away.
    mpMain->mpLabelName->setToolTip(item->text(BrowseItem::NameColumn));
    mpMain->mpLabelType->setText(tr("Type: ") + item->text(BrowseItem::TypeColumn));

    // The size and the preview come from a worker: only what the preview
    // needs is decoded (the camera's EXIF thumbnail when it is large enough,
    // else a JPEG at 1/2 to 1/8 scale), and the tree answers meanwhile. The
    // size shown is the full image's, as it is displayed (EXIF orientation).
    mPreviewing = true;
    const quint64 selection = mSelection;
    const QSize bound(kPreviewWidth, kPreviewHeight);
    struct Preview
    {
        QImage image;
        QSize fullSize;
    };
    auto preview = jobs::start(jobs::Lane::Shared, [path, bound](const jobs::Progress &) {
        Preview p;
        const QImage reduced = imageio::decodePreview(path, bound, &p.fullSize);
        if (reduced.isNull())
            p.fullSize = QSize(0, 0);
        const QSize target = imageio::scaleMin(p.fullSize, bound);
        if (!reduced.isNull() && !target.isEmpty())
            p.image = reduced.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        colourmanage::toDisplay(p.image);
        return p;
    });
    jobs::watch(preview, this, [this, selection](const Preview &p) {
        if (selection != mSelection || !mpMain)
            return;
        mPreviewing = false;
        mpMain->mpLabelSize->setText(tr("Size: ")
                                     + QStringLiteral("%1x%2").arg(p.fullSize.width()).arg(p.fullSize.height()));
        QLabel *label = mpMain->mpPreview;
        label->setAlignment(Qt::AlignHCenter);
        const QSize target = imageio::scaleMin(p.fullSize, QSize(kPreviewWidth, kPreviewHeight));
        label->setMaximumWidth(target.width());
        label->setMaximumHeight(target.height());
        label->setPixmap(p.image.isNull() ? QPixmap() : QPixmap::fromImage(p.image));
        showInfo();
    });
}

void BrowseBar::showInfo()
{
    if (!mpMain)
        return;
    mpMain->mpLabelName->show();
    mpMain->mpLabelSize->show();
    mpMain->mpLabelType->show();
    mpMain->mpPreview->show();
}

void BrowseBar::hideInfo()
{
    if (!mpMain)
        return;
    mpMain->mpLabelName->hide();
    mpMain->mpLabelSize->hide();
    mpMain->mpLabelType->hide();
    mpMain->mpPreview->hide();
}

void BrowseBar::openPath(QString path)
{
    if (!mpMain || path.isEmpty() || !QDir(path).exists())
        return;

    // The first component is a drive's root path, "/" included.
    const int slash = path.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return;
    const QString drive = path.left(slash + 1);

    QTreeWidgetItem *found = nullptr;
    for (QTreeWidgetItemIterator it(mpMain->mpTree); *it; ++it) {
        if ((*it)->text(BrowseItem::NameColumn) == drive) {
            found = *it;
            break;
        }
    }
    if (!found)
        return;
    // Expanding lists the children before the walk goes on (unless the item
    // is open already: then its children are there).
    found->setExpanded(true);
    openChild(found, path.mid(slash + 1));
}

void BrowseBar::openChild(QTreeWidgetItem *item, const QString &rest)
{
    if (rest.isEmpty())
        return;
    const int slash = rest.indexOf(QLatin1Char('/'));
    const QString name = slash < 0 ? rest : rest.left(slash);

    QTreeWidgetItem *found = nullptr;
    for (int i = 0; i < item->childCount(); ++i) {
        if (item->child(i)->text(BrowseItem::NameColumn) == name) {
            found = item->child(i);
            break;
        }
    }
    if (!found)
        return;
    found->setExpanded(true);
    // The folder reached last ends up at the top, with its entries below it.
    mpMain->mpTree->scrollToItem(found, QAbstractItemView::PositionAtTop);
    openChild(found, slash < 0 ? QString() : rest.mid(slash + 1));
}
