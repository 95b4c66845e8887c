#pragma once
// The View menu's zoom and full screen, and the frame's thirds, for the
// main window: each command goes to the active image window, the status bar
// shows that window's zoom, and full screen shows it alone on the screen.
//
// Full screen hides the main window's bars, docks and the image window's
// own frame, and gives the active photo the whole screen; the frame, its
// keys, Page Up/Down and Return work there as before. Esc or F11 leaves it,
// and only it: everything comes back as it was.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>

class Picture;
class QLabel;
class QMdiSubWindow;
class UiFramzo;

class ViewActions : public QObject
{
    Q_OBJECT

public:
    ViewActions(UiFramzo *form, std::function<Picture *()> active);

    // A new image window: it takes the thirds setting, and tells its zoom.
    void setUp(Picture *pic);
    // Another window became active: its zoom shows.
    void follow();
    bool isFullScreen() const { return mFullScreen; }
    void leaveFullScreen();

private:
    void setFullScreen(bool on);
    void enterFullScreen();

    UiFramzo *mForm;
    std::function<Picture *()> mActive;
    QLabel *mZoom;
    // What full screen changed, to put back: the window shown alone, its
    // frame and place, the main window's state and what it hid.
    bool mFullScreen = false;
    QPointer<QMdiSubWindow> mSub;
    Qt::WindowFlags mSubFlags;
    bool mSubMaximised = false;
    QRect mSubGeometry;
    Qt::WindowStates mMainState;
    QRect mMainGeometry;
    QList<QPointer<QWidget>> mHidden;
};
