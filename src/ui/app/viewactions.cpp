#include "ui/app/viewactions.h"

#include "ui/forms/uiframzo.h"
#include "ui/picture/picture.h"

#include <QDockWidget>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>

ViewActions::ViewActions(UiFramzo *form, std::function<Picture *()> active)
    : QObject(form), mForm(form), mActive(std::move(active))
{
    mZoom = new QLabel(form->statusBar());
    mZoom->setObjectName(QStringLiteral("zoomReadout"));
    form->statusBar()->addPermanentWidget(mZoom);

    auto toActive = [this](void (Picture::*command)()) {
        return [this, command] {
            if (Picture *pic = mActive())
                (pic->*command)();
        };
    };
    connect(form->mpZoomIn, &QAction::triggered, this, toActive(&Picture::zoomIn));
    connect(form->mpZoomOut, &QAction::triggered, this, toActive(&Picture::zoomOut));
    connect(form->mpActualPixels, &QAction::triggered, this, toActive(&Picture::actualPixels));
    connect(form->mpFitWindow, &QAction::triggered, this, toActive(&Picture::fitToWindow));
    connect(form->mpFullScreen, &QAction::toggled, this, &ViewActions::setFullScreen);
    connect(form->mpThirds, &QAction::toggled, this, [this](bool on) {
        for (Picture *pic : mForm->findChildren<Picture *>())
            pic->setThirds(on);
    });
    // The menu bar is hidden in full screen, and a hidden menu's shortcuts
    // do not fire: the window itself carries every menu's actions too.
    const QList<QAction *> menus = form->menuBar()->actions();
    for (QAction *menu : menus) {
        if (menu->menu())
            form->addActions(menu->menu()->actions());
    }
}

void ViewActions::setUp(Picture *pic)
{
    pic->setThirds(mForm->mpThirds->isChecked());
    connect(pic, &Picture::zoomChanged, this, [this, pic] {
        if (mActive() == pic)
            follow();
    });
}

void ViewActions::follow()
{
    Picture *pic = mActive();
    mZoom->setText(pic ? pic->zoomText() : QString());
}

void ViewActions::setFullScreen(bool on)
{
    if (on == isFullScreen())
        return;
    if (on)
        enterFullScreen();
    else
        leaveFullScreen();
}

void ViewActions::enterFullScreen()
{
    Picture *pic = mActive();
    auto *sub = pic ? qobject_cast<QMdiSubWindow *>(pic->parentWidget()) : nullptr;
    if (!sub) {
        mForm->mpFullScreen->setChecked(false); // nothing to show
        return;
    }
    mFullScreen = true;
    mSub = sub;
    mSubFlags = sub->windowFlags();
    mSubMaximised = sub->isMaximized();
    mSubGeometry = sub->geometry();
    mMainState = mForm->windowState();
    mHidden.clear();
    QList<QWidget *> bars{mForm->menuBar(), mForm->statusBar()};
    for (QToolBar *bar : mForm->findChildren<QToolBar *>())
        bars << bar;
    for (QDockWidget *dock : mForm->findChildren<QDockWidget *>())
        bars << dock;
    for (QWidget *w : bars) {
        if (w->isVisible()) {
            mHidden << w;
            // Quietly: the Cut bar's showing is the frame's, and the frame
            // stays in full screen.
            const QSignalBlocker quiet(w);
            w->hide();
        }
    }
    sub->setWindowFlags(mSubFlags | Qt::FramelessWindowHint);
    sub->showMaximized();
    mMainGeometry = mForm->geometry();
    mForm->showFullScreen();
    // Where no window manager makes it so (a bare X server), the screen's
    // size is set as well.
    if (QScreen *screen = mForm->screen())
        mForm->setGeometry(screen->geometry());
    pic->view()->setFocus();
}

void ViewActions::leaveFullScreen()
{
    if (!isFullScreen()) {
        mForm->mpFullScreen->setChecked(false);
        return;
    }
    mFullScreen = false;
    QMdiSubWindow *sub = mSub; // gone when the photo was closed meanwhile
    mSub.clear();
    mForm->setWindowState(mMainState);
    if (!(mMainState & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        mForm->setGeometry(mMainGeometry);
    for (const QPointer<QWidget> &w : mHidden) {
        if (w) {
            const QSignalBlocker quiet(w.data());
            w->show();
        }
    }
    mHidden.clear();
    if (sub) {
        sub->setWindowFlags(mSubFlags);
        if (mSubMaximised) {
            sub->showMaximized();
        } else {
            sub->showNormal();
            sub->setGeometry(mSubGeometry);
        }
    }
    mForm->mpFullScreen->setChecked(false);
}
