#include "ui/gallery/html.h"

#include "ui/forms/busycursor.h"
#include "ui/forms/dialogs.h"
#include "core/gallery/galleryrunner.h"
#include "core/gallery/gallerysettings.h"
#include "core/imageio/colourmanage.h"
#include "core/imageio/formats.h"
#include "core/imageio/imageio.h"
#include "core/base/jobs.h"
#include "core/base/pathutil.h"
#include "core/base/settingsstore.h"
#include "ui/images/mimesourcefactory.h"

#include <QCheckBox>
#include <QPixmap>
#include <QComboBox>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QToolButton>

#include <memory>

namespace {

const QSize kIconBox(64, 64);

// An image's icon for the folder view: the camera's EXIF thumbnail where a
// JPEG has one that fits, else a reduced decode (a JPEG never builds the
// full image), then the thumbnail rule to fit 64 by 64, in the screen's colours. Null when the file is
// not a readable image.
QImage folderIcon(const QString &path)
{
    QSize full;
    const QImage reduced = imageio::decodePreview(path, kIconBox, &full);
    if (reduced.isNull())
        return {};
    const QSize size = imageio::scaleMin(full.isValid() ? full : reduced.size(), kIconBox);
    if (size.isEmpty())
        return {};
    QImage icon = reduced.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    colourmanage::toDisplay(icon);
    return icon;
}

} // namespace

Html::Html(const QString &startFolder, QWidget *parent) : UiHtml(parent)
{
    setObjectName(QStringLiteral("Html"));
    QPixmap blank(kIconBox);
    blank.fill(Qt::transparent);
    mPlaceholder = QIcon(blank);

    connect(mpOpen, &QToolButton::clicked, this, &Html::openDir);
    connect(mpUpon, &QToolButton::clicked, this, &Html::uponDir);
    connect(mpGenerate, &QToolButton::clicked, this, &Html::generateHtml);
    connect(mpAdd, &QToolButton::clicked, this, &Html::addItem);
    connect(mpRemove, &QToolButton::clicked, this, &Html::removeItem);
    connect(mpDir, &QListWidget::itemDoubleClicked, this, &Html::clickedOnItem);
    connect(mpPreview, &QListWidget::itemDoubleClicked, this, &Html::clickedOnItem);
    connect(mpPath, qOverload<int>(&QComboBox::activated), this, &Html::changeDrive);
    connect(mpCancel, &QToolButton::clicked, this, &Html::closeWindow);

    loadOptions();
    connect(mpTheme, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
        enableThemeOptions();
        saveOptions();
    });
    connect(mpKeepMetadata, &QCheckBox::toggled, this, &Html::saveOptions);
    connect(mpOriginals, &QCheckBox::toggled, this, &Html::saveOptions);

    // The folder that holds the start location: C:/pics/caps/ stays,
    // C:/pics/caps becomes C:/pics/.
    if (startFolder.contains(QLatin1Char('/')))
        mPath = pathutil::folderWithSlash(startFolder);

    mpPath->insertItem(0, mPath);
    mpPath->setCurrentIndex(0);

    mpCurDir = std::make_unique<QDir>();
    if (!mPath.isNull()) {
        mpCurDir->setPath(mPath);
        listDir();
    }

    const QFileInfoList drives = QDir::drives();
    for (const QFileInfo &drive : drives)
        mpPath->addItem(drive.filePath());
}

// Icons still being made stop at the next one; nothing is handed back.
Html::~Html()
{
    mIcons.cancel();
}

bool Html::event(QEvent *event)
{
    // A gallery window in the workspace is only hidden when closed, with the
    // images chosen so far, whoever made its frame.
    if (event->type() == QEvent::ParentChange) {
        if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
            frame->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    return UiHtml::event(event);
}

namespace {

const char kGroup[] = "/GallerySettings";

} // namespace

GallerySettings::Theme Html::chosenTheme() const
{
    // The list holds the themes in their order: classic, modern.
    return mpTheme->currentIndex() == 1 ? GallerySettings::Theme::Modern : GallerySettings::Theme::Classic;
}

void Html::loadOptions()
{
    const auto store = settingsstore::open();
    store->beginGroup(QLatin1String(kGroup));
    // A theme the store names wrongly leaves the classic one.
    const auto theme = GallerySettings::themeNamed(store->value(QStringLiteral("/Theme")).toString());
    mpTheme->setCurrentIndex(theme == GallerySettings::Theme::Modern ? 1 : 0);
    mpKeepMetadata->setChecked(store->value(QStringLiteral("/KeepMetadata"), false).toBool());
    mpOriginals->setChecked(store->value(QStringLiteral("/Originals"), false).toBool());
    store->endGroup();
    enableThemeOptions();
}

void Html::saveOptions() const
{
    const auto store = settingsstore::open();
    store->beginGroup(QLatin1String(kGroup));
    store->setValue(QStringLiteral("/Theme"), GallerySettings::themeName(chosenTheme()));
    store->setValue(QStringLiteral("/KeepMetadata"), mpKeepMetadata->isChecked());
    store->setValue(QStringLiteral("/Originals"), mpOriginals->isChecked());
    store->endGroup();
}

void Html::enableThemeOptions()
{
    const bool modern = chosenTheme() == GallerySettings::Theme::Modern;
    mpKeepMetadata->setEnabled(modern);
    mpOriginals->setEnabled(modern);
}

void Html::showStatus(const QString &text)
{
    // A path has no spaces to wrap at: a zero-width space after each "/"
    // lets it break there.
    QString shown = text;
    shown.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    mpProgress->setText(shown);
    mpProgress->setToolTip(text);
}

void Html::closeWindow()
{
    // In the workspace the frame around the form is what closes (and only
    // hides); closing the form alone would leave an empty frame behind.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}

void Html::listDir()
{
    // A listing still making icons for the folder shown before stops.
    mIcons.cancel();
    mIcons = QFuture<QImage>();
    ++mListing;
    mpDir->unsetCursor();
    mpDir->clear();
    if (mPath.isEmpty()) {
        mPath = QString();
        return;
    }
    mPath = pathutil::withTrailingSlash(mPath);

    mpPath->removeItem(0);
    mpPath->insertItem(0, mPath);
    mpPath->setCurrentIndex(0);

    mpCurDir->setPath(mPath);

    const QIcon folderIconPixmap(fromMimeSource(QStringLiteral("folder.PNG")));
    {
        BusyCursor busy(this); // the folder is read here; the icons come later
        mList = mpCurDir->entryList({QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot,
                                    QDir::Name | QDir::IgnoreCase);
        for (const QString &name : std::as_const(mList)) {
            auto *item = new QListWidgetItem(folderIconPixmap, name);
            item->setData(KeyRole, name);
            item->setData(KindRole, Folder);
            item->setToolTip(name);
            mpDir->addItem(item);
        }
        mList = formats::listImages(mPath, formats::Listing::Gallery);
    }

    // Every image is listed at once, under an empty icon; the icons are made
    // on all cores in the background and put in as each is made, so that a
    // folder of hundreds of photos can be browsed meanwhile.
    QStringList paths;
    paths.reserve(mList.size());
    QList<QListWidgetItem *> items;
    items.reserve(mList.size());
    for (const QString &name : std::as_const(mList)) {
        auto *item = new QListWidgetItem(mPlaceholder, name);
        item->setData(KeyRole, mPath + name);
        item->setData(KindRole, Image);
        item->setToolTip(name);
        mpDir->addItem(item);
        paths << mPath + name;
        items << item;
    }
    mList.clear();
    if (!paths.isEmpty())
        makeIcons(paths, items);
}

void Html::makeIcons(const QStringList &paths, const QList<QListWidgetItem *> &items)
{
    mpDir->setCursor(Qt::BusyCursor);
    mIcons = jobs::stream<QImage>(jobs::Lane::Shared, [paths](jobs::Stream<QImage> &icons) {
        jobs::forEach(int(paths.size()), jobs::cores(), [&](int i) {
            if (!icons.cancelled())
                icons.add(i, folderIcon(paths.at(i)));
        });
    });
    const quint64 listing = mListing;
    jobs::watchEach(
        mIcons, this,
        [this, listing, items](int i, const QImage &icon) {
            if (listing == mListing)
                setIcon(items.at(i), icon);
        },
        [this, listing] {
            if (listing != mListing)
                return;
            mpDir->unsetCursor();
            mIcons = QFuture<QImage>(); // the icons are in the view; the future's copies go
        });
}

void Html::setIcon(QListWidgetItem *item, const QImage &icon)
{
    const bool readable = !icon.isNull();
    const QIcon shown = readable ? QIcon(QPixmap::fromImage(icon)) : QIcon(fromMimeSource(QStringLiteral("pic.xpm")));
    item->setIcon(shown);
    item->setData(KindRole, readable ? Image : Unreadable);
    // Entries chosen before their icon came get it too.
    const QString key = item->data(KeyRole).toString();
    for (int i = 0; i < mpPreview->count(); ++i) {
        QListWidgetItem *chosen = mpPreview->item(i);
        if (chosen->data(KeyRole).toString() == key && chosen->data(IconPendingRole).toBool()) {
            chosen->setIcon(shown);
            chosen->setData(IconPendingRole, false);
        }
    }
}

bool Html::isListing() const
{
    // Until the last icon has been put in (the listing's end resets it).
    return mIcons.isValid();
}

void Html::uponDir()
{
    if (mPath.count(QLatin1Char('/')) < 2)
        return;
    mPath = pathutil::folderWithSlash(mPath.chopped(1));
    listDir();
}

void Html::changeDrive(int index)
{
    mPath = mpPath->itemText(index);
    listDir();
}

int Html::openDir()
{
    if (mPath.isEmpty())
        mPath = QString();
    const QString chosen = Dialogs::instance()->chooseFolder(this, mPath, tr("Choose a directory"));
    if (chosen.isEmpty())
        return 1;
    mPath = chosen;
    listDir();
    return 0;
}

void Html::appendToPreview(const QListWidgetItem *item)
{
    auto *copy = new QListWidgetItem(item->icon(), item->text());
    copy->setData(KeyRole, item->data(KeyRole));
    copy->setData(KindRole, item->data(KindRole));
    copy->setToolTip(item->toolTip());
    // Chosen before its icon was made: the icon follows when it comes.
    copy->setData(IconPendingRole, isListing() && item->icon().cacheKey() == mPlaceholder.cacheKey());
    mpPreview->addItem(copy);
}

void Html::addItem()
{
    for (int i = 0; i < mpDir->count(); ++i) {
        const QListWidgetItem *item = mpDir->item(i);
        // Only images that can still be read; folders and unreadable files
        // never become gallery entries.
        if (item->isSelected() && item->data(KindRole).toInt() == Image
            && !imageio::detect(item->data(KeyRole).toString()).isEmpty())
            appendToPreview(item);
    }
}

void Html::removeItem()
{
    const QList<QListWidgetItem *> chosen = mpPreview->selectedItems();
    for (QListWidgetItem *item : chosen) {
        const std::unique_ptr<QListWidgetItem> gone(mpPreview->takeItem(mpPreview->row(item)));
    }
}

void Html::clickedOnItem(QListWidgetItem *item)
{
    if (!item)
        return;
    if (item->listWidget() == mpPreview) {
        const std::unique_ptr<QListWidgetItem> gone(mpPreview->takeItem(mpPreview->row(item)));
        return;
    }
    if (item->listWidget() != mpDir)
        return;
    switch (item->data(KindRole).toInt()) {
    case Folder:
        mPath += item->data(KeyRole).toString();
        listDir();
        break;
    case Image:
        if (!imageio::detect(item->data(KeyRole).toString()).isEmpty())
            appendToPreview(item);
        break;
    default:
        // A file that only looks like an image by its name: nothing to do.
        break;
    }
}

int Html::generateHtml()
{
    // One run at a time: while one writes, Generate is refused.
    if (mGenerating)
        return 1;
    GallerySettings settings(mPath, mpName->text(), mpWidth->text(), mpHeight->text(), mpRow->currentText(),
                             mpLink->isChecked(), mpText->isChecked());
    const bool modern = chosenTheme() == GallerySettings::Theme::Modern;
    settings.setTheme(chosenTheme());
    settings.setKeepMetadata(modern && mpKeepMetadata->isChecked());
    settings.setOriginals(modern && mpOriginals->isChecked());
    if (!settings.hasFolder())
        return 0;

    QList<GalleryEntry> entries;
    entries.reserve(mpPreview->count());
    for (int i = 0; i < mpPreview->count(); ++i) {
        const QListWidgetItem *item = mpPreview->item(i);
        entries << GalleryEntry{item->text(), item->data(KeyRole).toString()};
    }

    // The run works on copies of the settings and the entries, so the window
    // stays free to use meanwhile. Closed, it is only hidden and the run
    // ends as usual; should the window be destroyed, the run still ends and
    // nothing is reported any more.
    const bool refused = settings.problem() != GallerySettings::Problem::None;
    const int result = refused ? 1 : 0;
    // A refusal says why at once and counts nothing; a run counts its
    // images as they are written and says at its end what went wrong.
    showStatus(refused ? settings.reason() : QString());
    mGenerating = true;
    mpGenerate->setEnabled(false);
    setCursor(Qt::BusyCursor);
    jobs::watch(
        GalleryRunner(settings, entries).start(), this,
        [this, result](const GalleryRunner::Result &done) {
            mGenerating = false;
            mpGenerate->setEnabled(true);
            unsetCursor();
            if (!done.problem().isEmpty())
                showStatus(done.problem());
            emit generated(result);
        },
        [this, refused](int done, int total) {
            if (!refused && total > 0 && done <= total)
                showStatus(tr("%1 of %2").arg(done).arg(total));
        });
    return result;
}
