#include "ui/forms/uihtml.h"

#include "ui/images/mimesourcefactory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpacerItem>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *makeButton(QWidget *parent, const char *name, const char *icon)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(QIcon(fromMimeSource(QString::fromLatin1(icon))));
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Tool buttons stay out of the keyboard focus chain.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QLabel *makeLabel(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::RichText);
    return l;
}

QLineEdit *makeEdit(QWidget *parent, const char *name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

QListWidget *makeIconView(QWidget *parent, const char *name)
{
    auto *v = new QListWidget(parent);
    v->setObjectName(QString::fromLatin1(name));
    v->setViewMode(QListView::IconMode);
    v->setMovement(QListView::Static);
    v->setResizeMode(QListView::Adjust);
    v->setFlow(QListView::LeftToRight);
    v->setWrapping(true);
    v->setSelectionMode(QAbstractItemView::MultiSelection);
    v->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    v->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    v->setIconSize(QSize(64, 64));
    // A camera's names (IMG_0001.JPG, DSC_0001.jpeg) fit whole under the
    // icon; a longer name is shortened in the middle on one line, so that its
    // end (the number that tells one photo from the next) stays in sight.
    // The full name is the entry's tool tip.
    const QFontMetrics metrics(v->font());
    const int width = qMax(76, metrics.horizontalAdvance(QStringLiteral("IMG_0000.jpeg")) + 16);
    v->setGridSize(QSize(width, 64 + metrics.height() + 16));
    v->setWordWrap(false);
    v->setTextElideMode(Qt::ElideMiddle);
    v->setUniformItemSizes(true);
    return v;
}

} // namespace

UiHtml::UiHtml(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("UiHtml"));
    setWindowIcon(QIcon(fromMimeSource(QStringLiteral("html.bmp"))));
    setMinimumSize(600, 320);
    setMaximumSize(32767, 32767);
    createWidgets();
    layOut();

    setTabOrder(mpPath, mpWidth);
    setTabOrder(mpWidth, mpHeight);
    setTabOrder(mpHeight, mpRow);
    setTabOrder(mpRow, mpLink);
    setTabOrder(mpLink, mpText);
    setTabOrder(mpText, mpName);
    setTabOrder(mpName, mpTheme);
    setTabOrder(mpTheme, mpKeepMetadata);
    setTabOrder(mpKeepMetadata, mpOriginals);
    setTabOrder(mpOriginals, mpDir);
    setTabOrder(mpDir, mpPreview);

    languageChange();
    resize(minimumSizeHint().expandedTo(QSize(600, 320)));
}

void UiHtml::createWidgets()
{
    mpPath = new QComboBox(this);
    mpPath->setObjectName(QStringLiteral("mpPath"));
    mpPath->setEditable(false);
    mpPath->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    mpOpen = makeButton(this, "mpOpen", "open.bmp");
    mpOpen->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    mpOpen->setIconSize(QSize(16, 16));
    mpUpon = makeButton(this, "mpUpon", "upon.bmp");
    mpUpon->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    mpUpon->setIconSize(QSize(16, 16));
    mpDir = makeIconView(this, "mpDir");

    mpAdd = makeButton(this, "mpAdd", "right.bmp");
    mpRemove = makeButton(this, "mpRemove", "left.bmp");

    textLabel1 = makeLabel(this, "textLabel1");
    textLabel1->setTextFormat(Qt::AutoText);
    mpWidth = makeEdit(this, "mpWidth");
    mpWidth->setMaxLength(4);
    mpWidth->setMaximumWidth(30);
    textLabel2 = makeLabel(this, "textLabel2");
    mpHeight = makeEdit(this, "mpHeight");
    mpHeight->setMaxLength(4);
    mpHeight->setMaximumWidth(30);
    textLabel1_3 = makeLabel(this, "textLabel1_3");
    mpRow = new QComboBox(this);
    mpRow->setObjectName(QStringLiteral("mpRow"));
    mpRow->setEditable(true);
    mpRow->setInsertPolicy(QComboBox::NoInsert);
    mpCancel = makeButton(this, "mpCancel", "close.bmp");
    mpCancel->setMinimumSize(30, 30);
    mpGenerate = makeButton(this, "mpGenerate", "html.bmp");
    mpLink = new QCheckBox(this);
    mpLink->setObjectName(QStringLiteral("mpLink"));
    mpLink->setChecked(true);
    mpText = new QCheckBox(this);
    mpText->setObjectName(QStringLiteral("mpText"));
    mpText->setChecked(true);
    textLabel1_3_2 = makeLabel(this, "textLabel1_3_2");
    mpName = makeEdit(this, "mpName");
    textLabelTheme = makeLabel(this, "textLabelTheme");
    textLabelTheme->setTextFormat(Qt::AutoText);
    mpTheme = new QComboBox(this);
    mpTheme->setObjectName(QStringLiteral("mpTheme"));
    mpTheme->setEditable(false);
    mpKeepMetadata = new QCheckBox(this);
    mpKeepMetadata->setObjectName(QStringLiteral("mpKeepMetadata"));
    mpOriginals = new QCheckBox(this);
    mpOriginals->setObjectName(QStringLiteral("mpOriginals"));
    mpProgress = new QLabel(this);
    mpProgress->setObjectName(QStringLiteral("mpProgress"));
    mpProgress->setTextFormat(Qt::PlainText);
    mpProgress->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A long reason wraps onto more lines; it never asks for more width
    // than the column has.
    mpProgress->setWordWrap(true);
    QSizePolicy wrapping(QSizePolicy::Ignored, QSizePolicy::Preferred);
    wrapping.setHeightForWidth(true);
    mpProgress->setSizePolicy(wrapping);
    mpPreview = makeIconView(this, "mpPreview");
}

void UiHtml::layOut()
{
    // Three columns side by side, no margins and no spacing.
    auto *top = new QHBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);

    auto *left = new QVBoxLayout;
    left->setSpacing(0);
    auto *pathRow = new QHBoxLayout;
    pathRow->setSpacing(0);
    pathRow->addWidget(mpPath);
    pathRow->addWidget(mpOpen);
    pathRow->addWidget(mpUpon);
    left->addLayout(pathRow);
    left->addWidget(mpDir);
    top->addLayout(left, 1);

    auto *middle = new QVBoxLayout;
    middle->setSpacing(0);
    middle->addItem(new QSpacerItem(40, 110, QSizePolicy::Minimum, QSizePolicy::Expanding));
    middle->addWidget(mpAdd);
    middle->addWidget(mpRemove);
    middle->addItem(new QSpacerItem(40, 110, QSizePolicy::Minimum, QSizePolicy::Expanding));
    top->addLayout(middle);

    auto *right = new QVBoxLayout;
    right->setSpacing(0);
    auto *sizeRow = new QHBoxLayout;
    sizeRow->setSpacing(0);
    sizeRow->addWidget(textLabel1);
    sizeRow->addWidget(mpWidth);
    sizeRow->addWidget(textLabel2);
    sizeRow->addWidget(mpHeight);
    sizeRow->addWidget(textLabel1_3);
    sizeRow->addWidget(mpRow);
    sizeRow->addWidget(mpCancel);
    sizeRow->addWidget(mpGenerate);
    right->addLayout(sizeRow);
    auto *nameRow = new QHBoxLayout;
    nameRow->setSpacing(0);
    nameRow->addWidget(mpLink);
    nameRow->addWidget(mpText);
    nameRow->addWidget(textLabel1_3_2);
    nameRow->addWidget(mpName);
    right->addLayout(nameRow);
    auto *themeRow = new QHBoxLayout;
    themeRow->setSpacing(0);
    themeRow->addWidget(textLabelTheme);
    themeRow->addWidget(mpTheme);
    themeRow->addWidget(mpKeepMetadata);
    themeRow->addWidget(mpOriginals);
    themeRow->addStretch(1);
    right->addLayout(themeRow);
    right->addWidget(mpProgress);
    right->addWidget(mpPreview, 1);
    top->addLayout(right, 1);
}

UiHtml::~UiHtml() = default;

void UiHtml::languageChange()
{
    setWindowTitle(tr("Create Html Gallery"));
    mpPath->setToolTip(tr("select device"));
    mpOpen->setText(QString());
    mpOpen->setToolTip(tr("open"));
    mpUpon->setText(QString());
    mpUpon->setToolTip(tr("one level up"));
    mpAdd->setText(QString());
    mpAdd->setToolTip(tr("add Image"));
    mpRemove->setText(QString());
    mpRemove->setToolTip(tr("Remove Image"));
    textLabel1->setText(tr("Size:"));
    mpWidth->setText(tr("200"));
    mpWidth->setToolTip(tr("Width"));
    textLabel2->setText(tr("<p align=\"center\">X</p>"));
    mpHeight->setText(tr("150"));
    mpHeight->setToolTip(tr("Height"));
    textLabel1_3->setText(tr("<p align=\"center\">Columns:</p>"));
    mpRow->clear();
    for (int i = 1; i <= 9; ++i)
        mpRow->addItem(tr(QByteArray::number(i).constData()));
    mpRow->setCurrentIndex(0);
    mpRow->setToolTip(tr("Images per row"));
    mpCancel->setText(QString());
    mpCancel->setToolTip(tr("Close"));
    mpGenerate->setText(QString());
    mpGenerate->setToolTip(tr("Create html Gallery"));
    mpLink->setText(tr("Link"));
    mpLink->setToolTip(tr("link to the original Image"));
    mpText->setText(tr("Text"));
    mpText->setToolTip(tr("show text under the Image"));
    textLabel1_3_2->setText(tr("<p align=\"center\">Filename:</p>"));
    mpName->setText(tr("framzo"));
    mpName->setToolTip(tr("file / folder name"));
    textLabelTheme->setText(tr("Theme:"));
    const int theme = mpTheme->currentIndex();
    mpTheme->clear();
    mpTheme->addItem(tr("classic"));
    mpTheme->addItem(tr("modern"));
    mpTheme->setCurrentIndex(qMax(0, theme));
    mpTheme->setToolTip(tr("classic: a table of thumbnails and full-size copies\n"
                           "modern: pages for phones and desktops, copies of at most 2048 pixels"));
    mpKeepMetadata->setText(tr("Keep metadata"));
    mpKeepMetadata->setToolTip(tr("Modern galleries publish no GPS position, no serial numbers and no maker "
                                  "notes of the photos; checked, the copies keep them"));
    mpOriginals->setText(tr("Originals"));
    mpOriginals->setToolTip(tr("Modern galleries: publish the original files too and link them from the "
                               "image pages"));
}
