#include "ui/forms/uiframzo.h"

#include "ui/forms/elidedlabel.h"
#include "ui/forms/foldertree.h"
#include "ui/images/mimesourcefactory.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QAction *makeAction(QObject *parent, const char *name, const char *icon = nullptr)
{
    auto *a = new QAction(parent);
    a->setObjectName(QString::fromLatin1(name));
    if (icon)
        a->setIcon(QIcon(fromMimeSource(QString::fromLatin1(icon))));
    return a;
}

QToolButton *makeButton(QWidget *parent, const char *name, const char *icon)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(QIcon(fromMimeSource(QString::fromLatin1(icon))));
    b->setAutoRaise(true);
    return b;
}

// A widget placed on a tool bar is shown and hidden through the action the
// bar made for it; hiding the widget itself is undone by the bar's layout.
void bindVisibility(QToolBar *bar, QWidget *widget)
{
    QAction *holder = bar->addWidget(widget);
    holder->setObjectName(widget->objectName() + QStringLiteral("Holder"));
}

QAction *holderOf(QToolBar *bar, QWidget *widget)
{
    return bar->findChild<QAction *>(widget->objectName() + QStringLiteral("Holder"));
}

} // namespace

UiFramzo::UiFramzo(QWidget *parent) : QMainWindow(parent, Qt::Window)
{
    statusBar();
    setObjectName(QStringLiteral("UiFramzo"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setMinimumSize(131, 168);
    setWindowIcon(QIcon(fromMimeSource(QStringLiteral("icon16.bmp"))));
    setAcceptDrops(true);
    setIconSize(QSize(22, 22));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setDockOptions(dockOptions() & ~QMainWindow::AnimatedDocks);

    createActions();
    createBars();
    createCutBar();
    createCutBoxes();
    createBrowseDock();
    createMenus();
    languageChange();

    resize(QSize(717, 495).expandedTo(minimumSizeHint()));

    // Internal connections.
    connect(mpQuit, &QAction::triggered, this, &QWidget::close);
    // The turn button and "auto" belong to the two numbers: they show with them.
    for (QWidget *w :
         {static_cast<QWidget *>(mpFit), static_cast<QWidget *>(mpLabelCm), static_cast<QWidget *>(mpLabelX),
          static_cast<QWidget *>(mpHeight), static_cast<QWidget *>(mpWidth), static_cast<QWidget *>(mpTurn),
          static_cast<QWidget *>(mpAutoTurn)}) {
        QAction *holder = holderOf(mpCutBar, w);
        connect(mpFree, &QCheckBox::toggled, holder, [holder](bool on) { holder->setVisible(!on); });
    }
    QAction *freeHolder = holderOf(mpCutBar, mpFree);
    connect(mpFit, &QCheckBox::toggled, freeHolder, [freeHolder](bool on) { freeHolder->setVisible(!on); });
}

void UiFramzo::createActions()
{
    mpGetPath = makeAction(this, "mpGetPath", "fileopen");
    mpSave = makeAction(this, "mpSave", "filesave");
    mpQuit = makeAction(this, "mpQuit", "close.bmp");
    mpRot270 = makeAction(this, "mpRot270", "undo");
    mpRot90 = makeAction(this, "mpRot90", "redo");
    mpGenerate = makeAction(this, "mpGenerate", "icon16.bmp");
    mpHelp = makeAction(this, "mpHelp");
    mpAbout = makeAction(this, "mpAbout");
    mpHtml = makeAction(this, "mpHtml", "html.bmp");
    mpDelete = makeAction(this, "mpDelete", "delete.bmp");
    mpSaveAs = makeAction(this, "mpSaveAs", "filesave");
    mpChooseTarget = makeAction(this, "mpChooseTarget", "fileopen");
    mpCascade = makeAction(this, "mpCascade");
    mpTile = makeAction(this, "mpTile");
    mpShowFile = makeAction(this, "mpShowFile");
    mpShowEdit = makeAction(this, "mpShowEdit");
    mpShowCut = makeAction(this, "mpShowCut");
    mpCutNext = makeAction(this, "mpCutNext");
    mpKeepCuts = makeAction(this, "mpKeepCuts");
    mpKeepCuts->setCheckable(true);
    mpColourManage = makeAction(this, "mpColourManage");
    mpColourManage->setCheckable(true);
    mpColourManage->setChecked(true);
    mpZoomIn = makeAction(this, "mpZoomIn");
    mpZoomOut = makeAction(this, "mpZoomOut");
    mpActualPixels = makeAction(this, "mpActualPixels");
    mpFitWindow = makeAction(this, "mpFitWindow");
    mpFullScreen = makeAction(this, "mpFullScreen");
    mpFullScreen->setCheckable(true);
    mpThirds = makeAction(this, "mpThirds");
    mpThirds->setCheckable(true);
    mpUndo = makeAction(this, "mpUndo");
    mpRedo = makeAction(this, "mpRedo");
    for (QAction *a : {mpShowFile, mpShowEdit, mpShowCut}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
}

void UiFramzo::createBars()
{
    mpFileBar = new QToolBar(this);
    addToolBar(Qt::TopToolBarArea, mpFileBar);
    mpFileBar->addAction(mpGetPath);
    mpFileBar->addAction(mpSave);
    mpFileBar->addAction(mpDelete);
    mpFileBar->addSeparator();
    mpPrev = makeButton(mpFileBar, "mpPrev", "left.bmp");
    mpFileBar->addWidget(mpPrev);
    mpNext = makeButton(mpFileBar, "mpNext", "right.bmp");
    mpFileBar->addWidget(mpNext);

    // Edit bar.
    mpEditBar = new QToolBar(this);
    addToolBar(Qt::TopToolBarArea, mpEditBar);
    mpColor = makeButton(mpEditBar, "mpColor", "color.bmp");
    mpEditBar->addWidget(mpColor);
    mpNegative = makeButton(mpEditBar, "mpNegative", "invert.bmp");
    mpEditBar->addWidget(mpNegative);
    mpEditBar->addSeparator();
    mpEditBar->addAction(mpRot270);
    mpEditBar->addAction(mpRot90);
}

void UiFramzo::createCutBar()
{
    mpCutBar = new QToolBar(this);
    addToolBar(Qt::TopToolBarArea, mpCutBar);
    mpCutBar->addAction(mpGenerate);
    mpCutBar->addAction(mpChooseTarget);
    mpCutBar->addSeparator();

    mpLabelFormat = new QLabel(mpCutBar);
    mpLabelFormat->setObjectName(QStringLiteral("mpLabelFormat"));
    QFont f10 = mpLabelFormat->font();
    f10.setPointSize(10);
    mpLabelFormat->setFont(f10);
    bindVisibility(mpCutBar, mpLabelFormat);

    // Clicks on these leave the keyboard with the image window, whose arrow
    // keys move the frame; a list with the focus would take them.
    mpPresets = new QComboBox(mpCutBar);
    mpPresets->setObjectName(QStringLiteral("mpPresets"));
    mpPresets->setEditable(false);
    mpPresets->setFocusPolicy(Qt::TabFocus);
    mpPresets->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    bindVisibility(mpCutBar, mpPresets);

    mpHeight = new QLineEdit(mpCutBar);
    mpHeight->setObjectName(QStringLiteral("mpHeight"));
    mpHeight->setMaximumSize(30, 32767);
    mpHeight->setMaxLength(4);
    // A file dropped here opens, like anywhere on the window, rather than
    // putting its address into a four-character field.
    mpHeight->setAcceptDrops(false);
    bindVisibility(mpCutBar, mpHeight);

    mpLabelX = new QLabel(mpCutBar);
    mpLabelX->setObjectName(QStringLiteral("mpLabelX"));
    QFont f12 = mpLabelX->font();
    f12.setPointSize(12);
    mpLabelX->setFont(f12);
    bindVisibility(mpCutBar, mpLabelX);

    mpWidth = new QLineEdit(mpCutBar);
    mpWidth->setObjectName(QStringLiteral("mpWidth"));
    mpWidth->setMaximumSize(30, 32767);
    mpWidth->setMaxLength(4);
    mpWidth->setAcceptDrops(false);
    bindVisibility(mpCutBar, mpWidth);

    mpLabelCm = new QLabel(mpCutBar);
    mpLabelCm->setObjectName(QStringLiteral("mpLabelCm"));
    mpLabelCm->setFont(f12);
    bindVisibility(mpCutBar, mpLabelCm);

}

void UiFramzo::createCutBoxes()
{
    mpTurn = new QToolButton(mpCutBar);
    mpTurn->setObjectName(QStringLiteral("mpTurn"));
    mpTurn->setAutoRaise(true);
    mpTurn->setFocusPolicy(Qt::TabFocus);
    bindVisibility(mpCutBar, mpTurn);
    mpAutoTurn = new QCheckBox(mpCutBar);
    mpAutoTurn->setObjectName(QStringLiteral("mpAutoTurn"));
    mpAutoTurn->setFocusPolicy(Qt::TabFocus);
    bindVisibility(mpCutBar, mpAutoTurn);

    mpCutBar->addSeparator();
    mpFit = new QCheckBox(mpCutBar);
    mpFit->setObjectName(QStringLiteral("mpFit"));
    bindVisibility(mpCutBar, mpFit);
    mpFree = new QCheckBox(mpCutBar);
    mpFree->setObjectName(QStringLiteral("mpFree"));
    mpFree->setChecked(true);
    bindVisibility(mpCutBar, mpFree);
    mpCutBar->addSeparator();
    mpFrameColor = new QComboBox(mpCutBar);
    mpFrameColor->setObjectName(QStringLiteral("mpFrameColor"));
    mpFrameColor->setEditable(false);
    bindVisibility(mpCutBar, mpFrameColor);
}

void UiFramzo::createBrowseDock()
{
    mpBrowseDock = new QDockWidget(this);
    mpBrowseDock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetClosable);
    auto *browseBox = new QWidget(mpBrowseDock);
    auto *browseLayout = new QVBoxLayout(browseBox);
    browseLayout->setContentsMargins(2, 2, 2, 2);
    mpTree = new FolderTree(browseBox);
    mpTree->setObjectName(QStringLiteral("mpTree"));
    mpTree->setColumnCount(3);
    mpTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    browseLayout->addWidget(mpTree, 1);
    // The preview and the details keep their room while hidden: otherwise
    // the tree would grow and shrink under the pointer between the two
    // clicks of a double-click.
    auto *previewBox = new QWidget(browseBox);
    previewBox->setFixedHeight(150);
    auto *previewLayout = new QHBoxLayout(previewBox);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    mpPreview = new QLabel(previewBox);
    mpPreview->setObjectName(QStringLiteral("mpPreview"));
    mpPreview->setScaledContents(true);
    previewLayout->addWidget(mpPreview, 0, Qt::AlignCenter);
    browseLayout->addWidget(previewBox);
    // A long file name is elided: the dock keeps the width the user gave it.
    auto addDetail = [browseBox, browseLayout](const char *name) {
        auto *label = new ElidedLabel(browseBox);
        label->setObjectName(QString::fromLatin1(name));
        browseLayout->addWidget(label);
        return label;
    };
    mpLabelName = addDetail("mpLabelName");
    mpLabelSize = addDetail("mpLabelSize");
    mpLabelType = addDetail("mpLabelType");
    mpBrowseDock->setWidget(browseBox);
    addDockWidget(Qt::LeftDockWidgetArea, mpBrowseDock);
}

void UiFramzo::createMenus()
{
    // Inserted with empty titles; languageChange() names them by id.
    auto *bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("MenuBar"));
    setMenuBar(bar);
    auto addMenu = [this, bar](int id, const QList<QAction *> &items) {
        auto *menu = new QMenu(bar);
        menu->setObjectName(QStringLiteral("menu%1").arg(id));
        for (QAction *a : items) {
            if (a)
                menu->addAction(a);
            else
                menu->addSeparator();
        }
        bar->addMenu(menu);
        mMenus.insert(id, menu);
    };
    addMenu(2, {mpGetPath, mpSave, mpSaveAs, mpDelete, nullptr, mpQuit});
    addMenu(3, {mpUndo, mpRedo, nullptr, mpRot270, mpRot90, nullptr, mpGenerate, mpCutNext, mpChooseTarget,
                mpKeepCuts});
    addMenu(7, {mpZoomIn, mpZoomOut, mpActualPixels, mpFitWindow, nullptr, mpFullScreen, nullptr, mpThirds, mpColourManage});
    addMenu(4, {mpHtml, nullptr, mpShowFile, mpShowEdit, mpShowCut});
    addMenu(5, {mpCascade, mpTile});
    // Help first, then About: F1 reaches the help pages from the menu.
    addMenu(6, {mpHelp, mpAbout});
}

UiFramzo::~UiFramzo() = default;

QMenu *UiFramzo::menuById(int id) const
{
    return mMenus.value(id, nullptr);
}

void UiFramzo::setCutWidgetHidden(QWidget *widget, bool hidden)
{
    if (QAction *holder = holderOf(mpCutBar, widget))
        holder->setVisible(!hidden);
}

void UiFramzo::actionTexts()
{
    // Qt keeps one text per action: the menu text goes to text(), the short
    // text to iconText() (tool buttons), and the tool tip falls back to it.
    auto set = [](QAction *a, const QString &text, const QString &menuText, const QString &tip,
                  const QKeySequence &key) {
        a->setText(menuText.isEmpty() ? text : menuText);
        a->setIconText(text);
        a->setToolTip(tip.isEmpty() ? text : tip);
        a->setShortcut(key);
    };
    set(mpGetPath, tr("Open"), tr("&Open..."), {}, QKeySequence(tr("Ctrl+O")));
    set(mpSave, tr("Save [Ctrl+S]"), tr("Save"), {}, QKeySequence(tr("Ctrl+S")));
    set(mpSaveAs, tr("Save As"), {}, {}, QKeySequence());
    mpSaveAs->setWhatsThis(tr("SaveAs"));
    set(mpDelete, tr("Delete"), {}, tr("Delete (Ctrl + D, Del)"), QKeySequence(tr("Ctrl+D, Del")));
    set(mpQuit, tr("Exit"), tr("E&xit"), {}, QKeySequence());
    set(mpRot270, tr("Rotate Left"), tr("Rotate Left"), tr("Rotate Left (Ctrl+Left)"),
        QKeySequence(tr("Ctrl+Left")));
    set(mpRot90, tr("Rotate Right"), tr("Rotate Right"), tr("Rotate Right (Ctrl+Right)"),
        QKeySequence(tr("Ctrl+Right")));
    set(mpGenerate, tr("Cut"), tr("Cu&t"), tr("cuts the content of the frame and saves it to file"),
        QKeySequence(tr("Return")));
    set(mpCutNext, tr("Cut and Next"), tr("Cut and &Next"),
        tr("cuts the content of the frame, opens nothing and shows the next picture"),
        QKeySequence(tr("Shift+Return")));
    set(mpChooseTarget, tr("Choose Target"), {}, {}, QKeySequence());
    set(mpKeepCuts, tr("Keep Earlier Cuts"), {},
        tr("a cut of the same name as an earlier one is written as name_1, name_2, ..."), QKeySequence());
    set(mpColourManage, tr("Colour management"), {},
        tr("photos are shown converted from their colour profile to the screen's; cuts and saves never are"),
        QKeySequence());
    set(mpZoomIn, tr("Zoom In"), {}, tr("Zoom in (Ctrl++, Ctrl+wheel)"), QKeySequence(tr("Ctrl++")));
    mpZoomIn->setShortcuts({QKeySequence(tr("Ctrl++")), QKeySequence(tr("Ctrl+="))});
    set(mpZoomOut, tr("Zoom Out"), {}, tr("Zoom out (Ctrl+-, Ctrl+wheel)"), QKeySequence(tr("Ctrl+-")));
    set(mpActualPixels, tr("Actual Pixels"), {}, tr("the photo's pixels one to one: 100 % (Ctrl+1)"),
        QKeySequence(tr("Ctrl+1")));
    set(mpFitWindow, tr("Fit in Window"), {}, tr("the whole photo in its window (Ctrl+0)"), QKeySequence(tr("Ctrl+0")));
    set(mpFullScreen, tr("Full Screen"), {}, tr("the photo alone on the screen (F11; Esc or F11 leaves)"),
        QKeySequence(tr("F11")));
    set(mpThirds, tr("Rule of Thirds"), {}, tr("lines dividing the cut frame in thirds"), QKeySequence());
    set(mpUndo, tr("Undo"), tr("&Undo"), tr("Undo the last edit (Ctrl+Z)"), QKeySequence(tr("Ctrl+Z")));
    set(mpRedo, tr("Redo"), tr("&Redo"), tr("Redo the edit undone last (Ctrl+Shift+Z, Ctrl+Y)"),
        QKeySequence(tr("Ctrl+Shift+Z")));
    mpRedo->setShortcuts({QKeySequence(tr("Ctrl+Shift+Z")), QKeySequence(tr("Ctrl+Y"))});
    set(mpHtml, tr("Create Html Gallery"), tr("Create Html File"), {}, QKeySequence());
    set(mpShowFile, tr("File"), tr("File"), {}, QKeySequence());
    set(mpShowEdit, tr("Edit"), tr("Edit"), {}, QKeySequence());
    set(mpShowCut, tr("Cut"), tr("Cut"), {}, QKeySequence());
    set(mpCascade, tr("&Cascade"), tr("&Cascade"), {}, QKeySequence());
    set(mpTile, tr("&Tile"), tr("&Tile"), {}, QKeySequence());
    set(mpAbout, tr("About"), tr("About"), {}, QKeySequence());
    set(mpHelp, tr("Help"), tr("Help"), {}, QKeySequence(tr("F1")));
}

void UiFramzo::languageChange()
{
    setWindowTitle(tr("Framzo"));
    actionTexts();

    mpPrev->setText(QString());
    mpPrev->setToolTip(tr("last picture  [Page Down]"));
    mpNext->setText(QString());
    mpNext->setToolTip(tr("next picture [Page Up]"));
    mpColor->setText(QString());
    mpColor->setToolTip(tr("colors"));
    mpNegative->setText(QString());
    mpNegative->setToolTip(tr("Invert Colors"));
    mpNegative->setWhatsThis(tr("Invert Colors"));

    mpFileBar->setWindowTitle(tr("File"));
    mpEditBar->setWindowTitle(tr("Edit"));
    mpCutBar->setWindowTitle(tr("Cut"));
    mpBrowseDock->setWindowTitle(tr("Browse"));

    mpLabelFormat->setText(tr("Format:"));
    mpHeight->setText(tr("9"));
    mpHeight->setToolTip(tr("Height"));
    mpLabelX->setText(tr("X"));
    mpWidth->setText(tr("13"));
    mpWidth->setToolTip(tr("Width"));
    mpLabelCm->setText(tr("cm"));
    mpFit->setText(tr("use dpi"));
    mpFree->setText(tr("free"));
    // The entries of the colour and preset lists are the Cut bar's (CutBar).
    mpFrameColor->setToolTip(tr("frame color"));
    mpPresets->setToolTip(tr("print sizes and ratios"));
    mpTurn->setText(tr("turn"));
    mpTurn->setToolTip(tr("turn the frame: the two numbers swap [O]"));
    mpAutoTurn->setText(tr("auto"));
    mpAutoTurn->setToolTip(tr("turn the frame to each photo: portrait on a portrait photo"));

    mpTree->setHeaderLabels({tr("Name"), tr("Type"), tr("Order")});
    mpLabelName->setText(tr("Name:"));
    mpLabelSize->setText(tr("Size:"));
    mpLabelType->setText(tr("Type:"));

    static const char *const titles[] = {"&File", "&Edit", "&Tools", "&Window", "&Help", "&View"};
    for (int id = 2; id <= 7; ++id)
        if (QMenu *m = menuById(id))
            m->setTitle(tr(titles[id - 2]));
}
