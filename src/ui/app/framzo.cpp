#include "ui/app/framzo.h"

#include "core/base/pathutil.h"
#include "core/base/settingsstore.h"
#include "core/imageio/colourmanage.h"
#include "core/imageio/imageio.h"
#include "core/photo/photo.h"
#include "ui/app/cutbar.h"
#include "ui/app/helpview.h"
#include "ui/app/imagewindows.h"
#include "ui/app/mainsettings.h"
#include "ui/app/screenprofile.h"
#include "ui/app/viewactions.h"
#include "ui/browse/browsebar.h"
#include "ui/forms/dialogs.h"
#include "ui/forms/uiabout.h"
#include "ui/gallery/html.h"
#include "ui/picture/colorpanel.h"
#include "ui/picture/picture.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
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

    mCutBar = new CutBar(
        this, [this] { return imagewindows::all(mpWorkspace); }, [this] { return activePicture(); });
    mpJpegQuality = new QAction(tr("JPEG Quality..."), this);
    mpJpegQuality->setObjectName(QStringLiteral("mpJpegQuality"));
    mpSizeInNames = new QAction(tr("Size in Cut Names"), this);
    mpSizeInNames->setObjectName(QStringLiteral("mpSizeInNames"));
    mpSizeInNames->setCheckable(true);
    mpSizeInNames->setToolTip(tr("cuts are named after the print size too: IMG_0412_13x9.jpg"));
    if (QMenu *edit = menuById(3)) {
        edit->addAction(mpSizeInNames); // after Keep Earlier Cuts
        edit->addSeparator();
        edit->addAction(mpJpegQuality);
    }
    mViewActions = new ViewActions(this, [this] { return activePicture(); });
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
    // Read once: what a colour manager publishes at login.
    mScreenProfile = screenprofile::read();
    colourmanage::setDisplay(mpColourManage->isChecked(), mScreenProfile);
    updateActions();
}

void Framzo::createConnections()
{
    // Window-wide keys. A key that an action already carries (Ctrl+O, Return,
    // Ctrl+S) is not registered again: two shortcuts on one key would make
    // the key ambiguous and neither would fire.
    auto key = [this](const QKeySequence &seq) { return new QShortcut(seq, this); };
    auto imageKey = [this, key](const QKeySequence &seq) { return mImageKeys.append(key(seq)), mImageKeys.last(); };
    // Esc leaves full screen, and only that; otherwise it quits.
    connect(key(QKeySequence(Qt::Key_Escape)), &QShortcut::activated, this, [this] {
        if (mViewActions->isFullScreen())
            mViewActions->leaveFullScreen();
        else
            close();
    });
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
    connect(mpColourManage, &QAction::toggled, this, &Framzo::setColourManaged);
    connect(mpWorkspace, &QMdiArea::subWindowActivated, this, [this] {
        updateActions();
        showCutReadout();
        mViewActions->follow();
        mCutBar->followPhoto();
    });
}

Framzo::~Framzo()
{
    mViewActions->leaveFullScreen(); // the window's own geometry is stored
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

void Framzo::setColourManaged(bool on)
{
    colourmanage::setDisplay(on, mScreenProfile);
    // What is on screen is drawn again; copies made ahead in the other
    // colours are made again when they are asked for.
    for (Picture *pic : imagewindows::all(mpWorkspace))
        pic->refreshView();
}

void Framzo::loadSettings()
{
    mpSettings = settingsstore::open();
    const MainSettings m = MainSettings::load(*mpSettings, *this, *mCutBar);
    mLastPath = m.lastPath;
    capturePath = m.capturePath;
    mPhotoOptions.jpegQuality = m.jpegQuality;
    mBrowseWidth = m.browseWidth;
    mpSizeInNames->setChecked(m.sizeInCutNames);
}

void Framzo::saveSettings()
{
    if (!mpSettings)
        mpSettings = settingsstore::open();
    // The width the user gave the dock; hidden, it still has it.
    if (mpBrowseBar)
        mBrowseWidth = mpBrowseDock->width();
    const MainSettings m{mLastPath, capturePath, mPhotoOptions.jpegQuality, mBrowseWidth, mpSizeInNames->isChecked()};
    m.save(*mpSettings, *this, *mCutBar);
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
    // go back to when the workspace restores it; its copy is made for the
    // view it is about to have.
    if (first)
        pic->setViewHint(mpWorkspace->viewport()->size() - QSize(2, 2));
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
    mViewActions->setUp(pic);
    connect(pic, &Picture::cutWritten, this, &Framzo::newChildWin);
    connect(pic, &Picture::failure, this, &Framzo::reportFailure);
    connect(pic, &Picture::writing, this, &Framzo::showWriting);
    connect(pic, &Picture::cutReadoutChanged, this, &Framzo::showCutReadout);
    connect(pic, &Picture::editsChanged, this, &Framzo::updateActions);
    connect(pic, &Picture::laidOut, this, [this, pic] { imagewindows::fit(mpWorkspace, pic); });
    connect(pic, &Picture::cutDone, this, [this, pic](const capture::Result &r) { cutDoneForNext(pic, r); });
    connect(pic, &Picture::turnRequested, mCutBar, &CutBar::turn);
    // Windows opened or stepped while another one is active wait until
    // they are activated themselves.
    connect(pic, &Picture::imageShown, this, [this, pic] {
        if (pic == activePicture())
            mCutBar->followPhoto();
    });
    connect(mpShowCut, &QAction::toggled, pic, &Picture::showFrame);
    connect(mpCutBar, &QToolBar::visibilityChanged, pic, &Picture::showFrame);
}

void Framzo::cascade()
{
    imagewindows::cascade(mpWorkspace);
}

void Framzo::tile()
{
    mpWorkspace->tileSubWindows();
}

Picture *Framzo::activePicture() const
{
    return imagewindows::active(mpWorkspace);
}

void Framzo::updateActions()
{
    const Picture *pic = activePicture();
    const bool on = pic != nullptr;
    for (QAction *a : {mpSave, mpSaveAs, mpRot90, mpRot270, mpDelete, mpCutNext, mpZoomIn, mpZoomOut, mpActualPixels,
                       mpFitWindow, mpFullScreen})
        a->setEnabled(on);
    for (QWidget *w : {mpPrev, mpNext, mpColor, mpNegative})
        w->setEnabled(on);
    for (QShortcut *k : std::as_const(mImageKeys))
        k->setEnabled(on);
    if (!on && mViewActions->isFullScreen())
        mViewActions->leaveFullScreen(); // the photo shown alone was closed
    mpUndo->setEnabled(on && pic->photo()->undoStack()->canUndo());
    mpRedo->setEnabled(on && pic->photo()->undoStack()->canRedo());
}

void Framzo::withActive(const std::function<void(Picture *)> &command)
{
    if (Picture *pic = activePicture())
        command(pic);
}

void Framzo::updatePhotoOptions()
{
    for (Picture *pic : imagewindows::all(mpWorkspace))
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
    HelpView view(HelpView::locate(mProgPath));
}

// ---- closing ----------------------------------------------------------------

void Framzo::closeEvent(QCloseEvent *event)
{
    Picture *failed = nullptr;
    if (!Picture::maybeSave(this, imagewindows::all(mpWorkspace), &failed)) {
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
        if (QApplication::activePopupWidget()) {
            event->accept();
            break;
        }
        // The keys that cut are the image's and the Cut bar fields': in the
        // folder tree Return opens the photo selected, elsewhere it does
        // what it does there. Accepted, the key goes on to that widget. The
        // event climbs from the focus widget through its parents: the focus
        // widget decides.
        if (auto *key = static_cast<QKeyEvent *>(event); watched->isWidgetType()) {
            const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
            const bool enter = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                && (mods == Qt::NoModifier || mods == Qt::ShiftModifier);
            const bool altC = key->key() == Qt::Key_C && mods == Qt::AltModifier;
            QWidget *focus = QApplication::focusWidget();
            if ((enter || altC) && !cutsFrom(focus ? focus : static_cast<QWidget *>(watched)))
                event->accept();
        }
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
    // A notice about the photo left behind ("the last photo") goes with it.
    statusBar()->clearMessage();
    withActive([](Picture *pic) { pic->stepInFolder(1); });
}

void Framzo::prevImg()
{
    statusBar()->clearMessage();
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
    QString suffix;
    const CutSettings s = cutSettings();
    // A frame of the user's own shape has no size or ratio to name.
    if (mpSizeInNames->isChecked() && (s.useDpi || !s.free))
        suffix = capture::sizeSuffix(s.widthText, s.heightText);
    return {mpKeepCuts->isChecked() ? capture::Naming::KeepEarlier : capture::Naming::Replace, suffix};
}

bool Framzo::cutsFrom(const QWidget *widget) const
{
    if (!widget || widget == this || widget == mpWidth
        || widget == mpHeight)
        return true;
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (qobject_cast<const Picture *>(w))
            return true;
        if (const auto *sub = qobject_cast<const QMdiSubWindow *>(w))
            return qobject_cast<const Picture *>(sub->widget()) != nullptr;
    }
    return false;
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
    if (result.path.isEmpty() && result.skipped.isEmpty())
        return; // the failure is in the status bar; the photo stays, so that nothing is skipped
    if (mSkippedIn != pic) {
        mSkippedIn = pic;
        mSkipped = 0;
    }
    QString message;
    if (!result.skipped.isEmpty()) {
        // Too small for the print size: the run goes on without it.
        ++mSkipped;
        message = result.skipped;
    } else {
        message = tr("Cut %1 x %2 written to %3")
                      .arg(result.size.width())
                      .arg(result.size.height())
                      .arg(pathutil::homeAsTilde(result.path));
    }
    if (pic->canStep(1)) {
        pic->stepInFolder(1);
    } else {
        message += tr("; this is the last photo of the folder");
        if (mSkipped > 0)
            message += mSkipped == 1 ? tr("; 1 photo skipped as too small")
                                     : tr("; %1 photos skipped as too small").arg(mSkipped);
        mSkipped = 0;
    }
    statusBar()->showMessage(message);
}
