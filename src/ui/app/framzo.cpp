#include "ui/app/framzo.h"

#include "core/base/pathutil.h"
#include "core/cut/framegeometry.h"
#include "core/imageio/imageio.h"
#include "core/photo/photo.h"
#include "ui/app/cutbar.h"
#include "ui/app/helpview.h"
#include "ui/app/windowplacement.h"
#include "ui/browse/browsebar.h"
#include "ui/forms/dialogs.h"
#include "ui/forms/uiabout.h"
#include "ui/gallery/html.h"
#include "ui/picture/colorpanel.h"
#include "ui/picture/picture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

#ifndef FRAMZO_HELP_INSTALL_DIR
#define FRAMZO_HELP_INSTALL_DIR "share/framzo/help"
#endif

Framzo::Framzo(QWidget *parent) : UiFramzo(parent)
{
    setObjectName(QStringLiteral("Framzo"));
    // Hidden first, so that hiding does not start the folder tree.
    mpBrowseDock->hide();
    mDockToBrowse = connect(mpBrowseDock, &QDockWidget::visibilityChanged, this, &Framzo::browse);

    auto *box = new QFrame(this);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto *boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    mpWorkspace = new QMdiArea(box);
    mpWorkspace->setObjectName(QStringLiteral("mpWorkspace"));
    mpWorkspace->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mpWorkspace->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    boxLayout->addWidget(mpWorkspace);
    setCentralWidget(box);

    for (QWidget *w : {static_cast<QWidget *>(mpFit), static_cast<QWidget *>(mpLabelCm),
                       static_cast<QWidget *>(mpLabelX), static_cast<QWidget *>(mpHeight),
                       static_cast<QWidget *>(mpWidth)})
        setCutWidgetHidden(w, true);

    mCutBar = new CutBar(this);
    mpJpegQuality = new QAction(tr("JPEG Quality..."), this);
    mpJpegQuality->setObjectName(QStringLiteral("mpJpegQuality"));
    if (QMenu *edit = menuById(3)) {
        edit->addSeparator();
        edit->addAction(mpJpegQuality);
    }
    createConnections();

    mCutReadout = new QLabel(statusBar());
    mCutReadout->setObjectName(QStringLiteral("cutReadout"));
    statusBar()->addPermanentWidget(mCutReadout);

    // Keys pressed while a popup is open, and the Browse dock's hiding.
    qApp->installEventFilter(this);

    setAcceptDrops(true);
    const QRect g = geometry();
    setGeometry(g.x(), g.y(), 800, 600);

    loadSettings();
    updateActions();
}

void Framzo::createConnections()
{
    // Window-wide keys. A key that an action already carries (Ctrl+O, Return,
    // Ctrl+S) is not registered again: two shortcuts on one key would make
    // the key ambiguous and neither would fire.
    auto key = [this](const QKeySequence &seq) { return new QShortcut(seq, this); };
    auto imageKey = [this, key](const QKeySequence &seq) { return mImageKeys.append(key(seq)), mImageKeys.last(); };
    connect(key(QKeySequence(Qt::Key_Escape)), &QShortcut::activated, this, &QWidget::close);
    connect(mpGetPath, &QAction::triggered, this, &Framzo::browse);
    connect(mpGenerate, &QAction::triggered, this, &Framzo::capture);
    connect(key(QKeySequence(Qt::ALT | Qt::Key_C)), &QShortcut::activated, this, &Framzo::capture);
    connect(key(QKeySequence(Qt::Key_Enter)), &QShortcut::activated, this, &Framzo::capture);
    connect(mpChooseTarget, &QAction::triggered, this, &Framzo::setCapturePath);
    connect(mpNext, &QToolButton::clicked, this, &Framzo::nextImg);
    connect(mpPrev, &QToolButton::clicked, this, &Framzo::prevImg);
    connect(imageKey(QKeySequence(Qt::Key_PageUp)), &QShortcut::activated, this, &Framzo::nextImg);
    connect(imageKey(QKeySequence(Qt::Key_PageDown)), &QShortcut::activated, this, &Framzo::prevImg);
    connect(mpRot90, &QAction::triggered, this, &Framzo::rotate90);
    connect(mpRot270, &QAction::triggered, this, &Framzo::rotate270);
    connect(mpSave, &QAction::triggered, this, &Framzo::saveImage);
    connect(mpSaveAs, &QAction::triggered, this, &Framzo::saveImageAs);
    connect(mpDelete, &QAction::triggered, this, &Framzo::askDeleteImg);
    connect(imageKey(QKeySequence(Qt::CTRL | Qt::Key_D)), &QShortcut::activated, this, &Framzo::askDeleteImg);
    connect(imageKey(QKeySequence(Qt::Key_Delete)), &QShortcut::activated, this, &Framzo::askDeleteImg);
    connect(mpAbout, &QAction::triggered, this, &Framzo::showAboutDlg);
    connect(mpHtml, &QAction::triggered, this, &Framzo::showHtml);
    connect(mpHelp, &QAction::triggered, this, &Framzo::showHelpDlg);
    connect(mpColor, &QToolButton::clicked, this, &Framzo::openColor);
    connect(mpNegative, &QToolButton::clicked, this, &Framzo::invertColor);
    connect(mpCascade, &QAction::triggered, this, &Framzo::cascade);
    connect(mpTile, &QAction::triggered, this, &Framzo::tile);
    connect(mpShowFile, &QAction::toggled, mpFileBar, &QWidget::setVisible);
    connect(mpShowEdit, &QAction::toggled, mpEditBar, &QWidget::setVisible);
    connect(mpShowCut, &QAction::toggled, mpCutBar, &QWidget::setVisible);
    connect(mpFileBar, &QToolBar::visibilityChanged, mpShowFile, &QAction::setChecked);
    connect(mpEditBar, &QToolBar::visibilityChanged, mpShowEdit, &QAction::setChecked);
    connect(mpCutBar, &QToolBar::visibilityChanged, mpShowCut, &QAction::setChecked);
    connect(mpUndo, &QAction::triggered, this, [this] { withActive([](Picture *pic) { pic->undo(); }); });
    connect(mpRedo, &QAction::triggered, this, [this] { withActive([](Picture *pic) { pic->redo(); }); });
    connect(mpCutNext, &QAction::triggered, this, &Framzo::cutAndNext);
    // The keypad's Enter, as for Return.
    connect(key(QKeySequence(Qt::SHIFT | Qt::Key_Enter)), &QShortcut::activated, this, &Framzo::cutAndNext);
    connect(mpJpegQuality, &QAction::triggered, this, &Framzo::askJpegQuality);
    connect(mCutBar, &CutBar::changed, this, &Framzo::updateCutSettings);
    connect(mCutBar, &CutBar::reshaped, this, &Framzo::reshapeFrames);
    connect(mCutBar, &CutBar::turned, this, &Framzo::turnFrames);
    connect(mCutBar, &CutBar::autoTurnOn, this, &Framzo::followPhotoOrientation);
    connect(mpWorkspace, &QMdiArea::subWindowActivated, this, [this] {
        updateActions();
        showCutReadout();
        followPhotoOrientation();
    });
}

Framzo::~Framzo()
{
    saveSettings();
    mpSettings.reset();
    // The base classes close the workspace and its windows after this body
    // has run, and that emits signals (a window activated, a dock hidden);
    // none of them may reach slots of this half-destroyed window.
    qApp->removeEventFilter(this);
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        child->disconnect(this);
}

void Framzo::reportFailure(const QString &message)
{
    statusBar()->showMessage(message, 15000);
}

QString Framzo::cutReadout() const
{
    return mCutReadout->text();
}

void Framzo::showCutReadout()
{
    const Picture *pic = activePicture();
    mCutReadout->setText(pic ? pic->cutReadout() : QString());
}

void Framzo::showWriting(const QString &message)
{
    if (message.isEmpty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(message);
}

CutSettings Framzo::cutSettings() const
{
    return mCutBar->settings();
}

// ---- settings ---------------------------------------------------------------

namespace {

// The per-user store (it falls back to the machine-wide one for reading):
// an ordinary user cannot write the machine-wide store.
std::unique_ptr<QSettings> openStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Ketra"), QStringLiteral("Framzo"));
}

} // namespace

void Framzo::loadSettings()
{
    mpSettings = openStore();
    QSettings &s = *mpSettings;

    // The client geometry is kept, so a restored window keeps its place
    // whatever the size of the platform's frame.
    const QRect g = geometry();
    s.beginGroup(QStringLiteral("/AppSettings"));
    mLastPath = s.value(QStringLiteral("/LastPath"), QString()).toString();
    capturePath = s.value(QStringLiteral("/CapturePath"), QString()).toString();
    const bool maximised = s.value(QStringLiteral("/Maximized"), false).toBool();
    // Put on the screens there are now, in 64 bits: the store may hold
    // anything, and a window of 32767 x 32767 or one off every screen is no
    // use. The geometry put right goes back to the store.
    const QRect placed = windowplacement::placed(s.value(QStringLiteral("/PosX"), g.x()).toLongLong(),
                                                 s.value(QStringLiteral("/PosY"), g.y()).toLongLong(),
                                                 s.value(QStringLiteral("/SizeX"), g.width()).toLongLong(),
                                                 s.value(QStringLiteral("/SizeY"), g.height()).toLongLong(),
                                                 windowplacement::screens(), g.size());
    for (const auto &[key, value] : {std::pair{"/PosX", placed.x()}, std::pair{"/PosY", placed.y()},
                                     std::pair{"/SizeX", placed.width()}, std::pair{"/SizeY", placed.height()}}) {
        if (s.contains(QLatin1String(key)) && s.value(QLatin1String(key)).toLongLong() != value)
            s.setValue(QLatin1String(key), value);
    }
    // 1..100 fixes the quality of the JPEGs written; 0 (and anything out of
    // range) takes each source's own.
    const int quality = s.value(QStringLiteral("/JpegQuality"), 0).toInt();
    mPhotoOptions.jpegQuality = quality >= 1 && quality <= 100 ? quality : 0;
    mBrowseWidth = qMax(0, s.value(QStringLiteral("/BrowseWidth"), 0).toInt());
    s.endGroup();
    setGeometry(placed);
    if (maximised)
        setWindowState(windowState() | Qt::WindowMaximized);

    s.beginGroup(QStringLiteral("/CutSettings"));
    mCutBar->load(s);
    mpKeepCuts->setChecked(s.value(QStringLiteral("/KeepEarlierCuts"), false).toBool());
    s.endGroup();

    s.beginGroup(QStringLiteral("/ToolSettings"));
    mpShowFile->setChecked(s.value(QStringLiteral("/FileBar"), mpShowFile->isChecked()).toBool());
    mpShowEdit->setChecked(s.value(QStringLiteral("/EditBar"), mpShowEdit->isChecked()).toBool());
    mpShowCut->setChecked(s.value(QStringLiteral("/CutBar"), mpShowCut->isChecked()).toBool());
    s.endGroup();
}

void Framzo::saveSettings()
{
    if (!mpSettings)
        mpSettings = openStore();
    QSettings &s = *mpSettings;

    s.beginGroup(QStringLiteral("/AppSettings"));
    s.setValue(QStringLiteral("/LastPath"), mLastPath);
    s.setValue(QStringLiteral("/CapturePath"), capturePath);
    s.setValue(QStringLiteral("/JpegQuality"), mPhotoOptions.jpegQuality);
    // The width the user gave the dock; hidden, it still has it.
    if (mpBrowseBar)
        mBrowseWidth = mpBrowseDock->width();
    if (mBrowseWidth > 0)
        s.setValue(QStringLiteral("/BrowseWidth"), mBrowseWidth);
    const bool maximised = isMaximized();
    s.setValue(QStringLiteral("/Maximized"), maximised);
    if (!maximised) {
        const QRect g = geometry();
        s.setValue(QStringLiteral("/PosX"), g.x());
        s.setValue(QStringLiteral("/PosY"), g.y());
        s.setValue(QStringLiteral("/SizeX"), g.width());
        s.setValue(QStringLiteral("/SizeY"), g.height());
    }
    s.endGroup();

    s.beginGroup(QStringLiteral("/CutSettings"));
    mCutBar->save(s);
    s.setValue(QStringLiteral("/KeepEarlierCuts"), mpKeepCuts->isChecked());
    s.endGroup();

    s.beginGroup(QStringLiteral("/ToolSettings"));
    s.setValue(QStringLiteral("/FileBar"), mpShowFile->isChecked());
    s.setValue(QStringLiteral("/EditBar"), mpShowEdit->isChecked());
    s.setValue(QStringLiteral("/CutBar"), mpShowCut->isChecked());
    s.endGroup();
    s.sync();
}

// ---- opening and placing windows -------------------------------------------------

void Framzo::openArguments(const QStringList &args)
{
    if (args.isEmpty())
        return;
    mProgPath = args.first();
    openBatch(args.mid(1));
}

void Framzo::openBatch(const QStringList &paths)
{
    QStringList images;
    for (const QString &p : paths) {
        if (QFileInfo(p).isFile() && !imageio::detect(p).isEmpty())
            images << p;
    }
    // Several images opened in one go into an empty workspace all open
    // maximised, and nothing is cascaded.
    mBatchIntoEmpty = images.size() > 1 && mpWorkspace->subWindowList().isEmpty();
    for (const QString &p : images)
        newChildWin(p);
    mBatchIntoEmpty = false;
}

void Framzo::newChildWin(QString path)
{
    if (path.isNull())
        return;
    mLastPath = pathutil::beforeLastSlash(path);

    auto *pic = new Picture(mpWorkspace);
    pic->setAttribute(Qt::WA_DeleteOnClose);
    pic->setCutSettings(cutSettings());
    pic->setPhotoOptions(mPhotoOptions);
    connectPicture(pic);
    pic->showFrame(mpShowCut->isChecked());

    const bool first = mBatchIntoEmpty || mpWorkspace->subWindowList().isEmpty();
    QMdiSubWindow *sub = mpWorkspace->addSubWindow(pic);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // Large enough to see and grab, however small the photo; the canvas
    // keeps its own size in the window's top left corner.
    sub->setMinimumSize(160, 120);
    // The frame (and the main window's corner, while maximised) shows the
    // format icon of the photo shown, which may change on Page Up.
    connect(pic, &QWidget::windowIconChanged, sub, &QWidget::setWindowIcon);
    connect(sub, &QObject::destroyed, this, &Framzo::updateActions, Qt::QueuedConnection);
    // Loaded before it is maximised, so that the window has its own size to
    // go back to when the workspace restores it.
    pic->loadImage(path);
    if (first) {
        sub->showMaximized();
    } else {
        sub->show();
        cascade();
    }
    updateActions();
}

void Framzo::connectPicture(Picture *pic)
{
    connect(pic, &Picture::cutWritten, this, &Framzo::newChildWin);
    connect(pic, &Picture::failure, this, &Framzo::reportFailure);
    connect(pic, &Picture::writing, this, &Framzo::showWriting);
    connect(pic, &Picture::cutReadoutChanged, this, &Framzo::showCutReadout);
    connect(pic, &Picture::editsChanged, this, &Framzo::updateActions);
    connect(pic, &Picture::laidOut, this, [this, pic] { fitImageWindow(pic); });
    connect(pic, &Picture::cutDone, this, [this, pic](const capture::Result &r) { cutDoneForNext(pic, r); });
    connect(pic, &Picture::turnRequested, mCutBar, &CutBar::turn);
    // Windows opened or stepped while another one is active wait until
    // they are activated themselves.
    connect(pic, &Picture::imageShown, this, [this, pic] {
        if (pic == activePicture())
            followPhotoOrientation();
    });
    connect(mpShowCut, &QAction::toggled, pic, &Picture::showFrame);
    connect(mpCutBar, &QToolBar::visibilityChanged, pic, &Picture::showFrame);
}

void Framzo::fitImageWindow(Picture *pic)
{
    auto *sub = qobject_cast<QMdiSubWindow *>(pic->parentWidget());
    if (!sub || sub->isMaximized() || sub->isMinimized())
        return;
    const QMargins m = sub->contentsMargins();
    const QSize size = pic->baseSize() + QSize(m.left() + m.right(), m.top() + m.bottom());
    // It stays where it was put, moved back only as far as it must to lie
    // inside the workspace.
    const QSize room = mpWorkspace->viewport()->size();
    const QPoint at(qMax(0, qMin(sub->x(), room.width() - size.width())),
                    qMax(0, qMin(sub->y(), room.height() - size.height())));
    sub->setGeometry(QRect(at, size));
}

void Framzo::cascade()
{
    const QList<QMdiSubWindow *> list = mpWorkspace->subWindowList(QMdiArea::StackingOrder);
    if (list.size() < 2)
        return;
    mpWorkspace->cascadeSubWindows();
    for (QMdiSubWindow *sub : list) {
        QWidget *w = sub->widget();
        if (!w || w->objectName() != QLatin1String("Picture"))
            continue;
        const QMargins m = sub->contentsMargins();
        sub->resize(w->baseSize() + QSize(m.left() + m.right(), m.top() + m.bottom()));
    }
}

void Framzo::tile()
{
    mpWorkspace->tileSubWindows();
}

Picture *Framzo::activePicture() const
{
    QMdiSubWindow *sub = mpWorkspace->currentSubWindow();
    if (!sub)
        sub = mpWorkspace->activeSubWindow();
    if (!sub || !sub->widget() || sub->widget()->objectName() != QLatin1String("Picture"))
        return nullptr;
    return qobject_cast<Picture *>(sub->widget());
}

QList<Picture *> Framzo::pictures() const
{
    QList<Picture *> out;
    const QList<QMdiSubWindow *> windows = mpWorkspace->subWindowList();
    for (QMdiSubWindow *sub : windows) {
        if (auto *pic = qobject_cast<Picture *>(sub->widget()))
            out << pic;
    }
    return out;
}

void Framzo::updateActions()
{
    const Picture *pic = activePicture();
    const bool on = pic != nullptr;
    for (QAction *a : {mpSave, mpSaveAs, mpRot90, mpRot270, mpDelete, mpCutNext})
        a->setEnabled(on);
    for (QWidget *w : {mpPrev, mpNext, mpColor, mpNegative})
        w->setEnabled(on);
    for (QShortcut *k : std::as_const(mImageKeys))
        k->setEnabled(on);
    mpUndo->setEnabled(on && pic->photo()->undoStack()->canUndo());
    mpRedo->setEnabled(on && pic->photo()->undoStack()->canRedo());
}

void Framzo::withActive(const std::function<void(Picture *)> &command)
{
    if (Picture *pic = activePicture())
        command(pic);
}

void Framzo::updateCutSettings(const CutSettings &settings)
{
    for (Picture *pic : pictures())
        pic->setCutSettings(settings);
}

void Framzo::updatePhotoOptions()
{
    for (Picture *pic : pictures())
        pic->setPhotoOptions(mPhotoOptions);
}

void Framzo::askJpegQuality()
{
    int quality = mPhotoOptions.jpegQuality;
    if (!Dialogs::instance()->askNumber(this, tr("JPEG Quality"),
                                        tr("Quality of the JPEGs written, 1 to 100.\n"
                                           "0 keeps the quality of each source photo."),
                                        &quality, 0, 100))
        return;
    mPhotoOptions.jpegQuality = quality;
    updatePhotoOptions();
}

// ---- the Browse dock and the gallery window ---------------------------------------

void Framzo::browse()
{
    if (!mpBrowseBar) {
        mpBrowseDock->setFeatures(QDockWidget::DockWidgetClosable);
        mpBrowseBar = new BrowseBar(this);
        disconnect(mDockToBrowse);
        connect(mpBrowseBar, &BrowseBar::OpenImg, this, &Framzo::newChildWin);
        mpBrowseDock->show();
        if (mBrowseWidth > 0)
            resizeDocks({mpBrowseDock}, {mBrowseWidth}, Qt::Horizontal);
    } else if (mpBrowseDock->isVisible()) {
        mpBrowseDock->hide();
    } else {
        mpBrowseDock->show();
    }
    mpBrowseBar->openPath(mLastPath);
}

void Framzo::leaveBrowseDock()
{
    // The focus leaves a dock that hides for the next widget in the chain,
    // which may be in another image window; that window would become the
    // one Return, Delete and Ctrl+S act on. It goes to the active one.
    QMdiSubWindow *active = mpWorkspace->activeSubWindow();
    QWidget *focus = QApplication::focusWidget();
    if (!active || !active->widget() || !focus || !mpBrowseDock->isAncestorOf(focus))
        return;
    QWidget *inner = active->widget();
    (inner->focusWidget() ? inner->focusWidget() : inner)->setFocus(Qt::OtherFocusReason);
}

void Framzo::showHtml()
{
    auto *html = new Html(capturePath);
    QMdiSubWindow *sub = mpWorkspace->addSubWindow(html);
    sub->show();
}

// ---- help and about ---------------------------------------------------------

QString Framzo::helpPathFor(const QString &progPath)
{
    return pathutil::beforeLastSlash(pathutil::slashes(progPath)) + QStringLiteral("/help/open.html");
}

QString Framzo::helpFile() const
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        appDir + QStringLiteral("/help/open.html"),
        QDir::cleanPath(appDir + QStringLiteral("/../") + QStringLiteral(FRAMZO_HELP_INSTALL_DIR))
            + QStringLiteral("/open.html"),
    };
    for (const QString &c : candidates)
        if (QFileInfo::exists(c))
            return c;
    return helpPathFor(mProgPath);
}

int Framzo::centredX(int x, int windowWidth, int dialogWidth)
{
    return x + windowWidth / 2 - dialogWidth / 2;
}

void Framzo::showAboutDlg()
{
    auto *dlg = new UiAbout();
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setModal(true);
    dlg->move(centredX(x(), width(), dlg->width()), centredX(y(), height(), dlg->height()));
    dlg->show();
}

void Framzo::showHelpDlg()
{
    HelpView view(helpFile());
}

// ---- closing ----------------------------------------------------------------

void Framzo::closeEvent(QCloseEvent *event)
{
    Picture *failed = nullptr;
    if (!Picture::maybeSave(this, pictures(), &failed)) {
        // A save that failed said why in the status bar; its window stays
        // open, in front, with its edits.
        if (failed)
            mpWorkspace->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(failed->parentWidget()));
        event->ignore();
        return;
    }
    UiFramzo::closeEvent(event);
}

bool Framzo::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // While a popup is open (a combo box's list, a menu, the colour
        // panel) its keys are its own: Esc closes it, Return picks an entry.
        // A combo box's list closes itself on the override event that comes
        // before the shortcuts, but leaves it unaccepted, and the window's
        // shortcuts would then take the same key: Esc would quit and Return
        // would cut. Accepted, the key goes on to the popup alone.
        if (QApplication::activePopupWidget())
            event->accept();
        break;
    case QEvent::Hide:
        // Ctrl+O, the dock's close button and the dock's entry in the
        // window's context menu all hide it; the dock hears of it before
        // the focus moves on.
        if (watched == mpBrowseDock && !event->spontaneous())
            leaveBrowseDock();
        break;
    default:
        break;
    }
    return UiFramzo::eventFilter(watched, event);
}

// ---- drag and drop ----------------------------------------------------------

void Framzo::dragEnterEvent(QDragEnterEvent *event)
{
    event->acceptProposedAction();
}

void Framzo::dropEvent(QDropEvent *event)
{
    QStringList paths;
    const QList<QUrl> urls = event->mimeData() ? event->mimeData()->urls() : QList<QUrl>();
    for (const QUrl &url : urls) {
        const QString p = url.toLocalFile();
        if (p.isEmpty())
            break;
        paths << p;
    }
    event->acceptProposedAction();
    openBatch(paths);
}

// ---- image commands: routed to the active image window ----------------------

bool Framzo::setCapturePath()
{
    const QString folder = Dialogs::instance()->chooseFolder(
        this, capturePath, tr("Choose a directory where Framzo should save the captured images."));
    if (!folder.isEmpty())
        capturePath = folder;
    return !folder.isEmpty();
}

bool Framzo::ensureCapturePath()
{
    if (!capturePath.isEmpty() || setCapturePath())
        return true;
    statusBar()->showMessage(tr("Nothing cut: no capture folder was chosen"));
    return false;
}

void Framzo::capture()
{
    // A capture needs somewhere to go: the folder is asked for even when
    // there is nothing to cut yet.
    if (ensureCapturePath())
        withActive([this](Picture *pic) { pic->captureTo(capturePath, cutNaming()); });
}

void Framzo::nextImg()
{
    withActive([](Picture *pic) { pic->stepInFolder(1); });
}

void Framzo::prevImg()
{
    withActive([](Picture *pic) { pic->stepInFolder(-1); });
}

void Framzo::rotate90()
{
    withActive([](Picture *pic) { pic->rotateBy(90.0); });
}

void Framzo::rotate270()
{
    withActive([](Picture *pic) { pic->rotateBy(270.0); });
}

void Framzo::saveImage()
{
    withActive([](Picture *pic) { pic->saveInPlace(); });
}

void Framzo::saveImageAs()
{
    withActive([](Picture *pic) { pic->saveAs(); });
}

void Framzo::deleteImg()
{
    withActive([](Picture *pic) { pic->deleteFile(); });
}

void Framzo::askDeleteImg()
{
    withActive([this](Picture *pic) {
        if (Dialogs::instance()->confirmDelete(this, pic->path()))
            deleteImg();
    });
}

ColorPanel *Framzo::currentColorPanel() const
{
    return colorPanel;
}

void Framzo::openColor()
{
    withActive([this](Picture *pic) {
        ColorPanel::Offsets start;
        pic->colorSettings(start.red, start.green, start.blue, start.all);
        if (colorPanel)
            colorPanel->close();
        // A popup at the pointer; it deletes itself when it closes.
        colorPanel = new ColorPanel(this, start);
        connect(colorPanel, &ColorPanel::showRequested, this, &Framzo::changeColor);
        colorPanel->move(QCursor::pos());
        colorPanel->show();
    });
}

int Framzo::changeColor()
{
    Picture *pic = activePicture();
    if (!pic || !colorPanel)
        return 0;
    const ColorPanel::Offsets o = colorPanel->values();
    return pic->adjustColors(o.red, o.green, o.blue, o.all);
}

int Framzo::invertColor()
{
    withActive([](Picture *pic) { pic->invertColors(); });
    return 0;
}

// ---- cutting one photo after another ----------------------------------------

capture::Naming Framzo::cutNaming() const
{
    return mpKeepCuts->isChecked() ? capture::Naming::KeepEarlier : capture::Naming::Replace;
}

void Framzo::cutAndNext()
{
    // The first use asks for the capture folder as Return does.
    if (!ensureCapturePath())
        return;
    withActive([this](Picture *pic) {
        if (!pic->frameState().shown) {
            statusBar()->showMessage(tr("Nothing cut: the frame is hidden with the Cut bar"));
            return;
        }
        pic->cutAndNext(capturePath, cutNaming());
    });
}

void Framzo::cutDoneForNext(Picture *pic, const capture::Result &result)
{
    if (result.path.isEmpty())
        return; // the failure is in the status bar; the photo stays, so that nothing is skipped
    QString message = tr("Cut %1 x %2 written to %3")
                          .arg(result.size.width())
                          .arg(result.size.height())
                          .arg(pathutil::homeAsTilde(result.path));
    if (pic->canStep(1))
        pic->stepInFolder(1);
    else
        message += tr("; this is the last photo of the folder");
    statusBar()->showMessage(message);
}

void Framzo::turnFrames(const CutSettings &settings)
{
    Picture *active = activePicture();
    // The other windows' frames follow the fields only where they lay the
    // other way.
    for (Picture *pic : pictures())
        pic->turnFrame(settings, pic == active);
}

void Framzo::reshapeFrames(const CutSettings &settings)
{
    for (Picture *pic : pictures())
        pic->reshapeFrame(settings);
    followPhotoOrientation();
}

void Framzo::followPhotoOrientation()
{
    Picture *pic = activePicture();
    if (!mCutBar->autoTurn() || !pic)
        return;
    // The photo's size is known from its header before its pixels come; a
    // square photo takes either way.
    const QSize photo = pic->surface().image;
    if (photo.isEmpty() || framegeometry::orientationOf(photo.width(), photo.height()) == framegeometry::Orientation::None)
        return;
    const bool swapped = mCutBar->turnTo(photo);
    const CutSettings s = mCutBar->settings();
    if (!swapped) {
        pic->turnFrame(s, false); // a frame the user shaped the other way
        return;
    }
    for (Picture *p : pictures())
        p->turnFrame(s, false);
}
