#include "ui/forms/busycursor.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QWidget>

namespace {

bool canGrab()
{
    // The windowless platforms used for tests and scripts have no mouse to
    // hold and say so on every attempt.
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

BusyCursor::BusyCursor(QWidget *holdMouse)
    : mHolding(holdMouse && holdMouse->isVisible() && canGrab() ? holdMouse : nullptr)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (mHolding)
        mHolding->grabMouse(QCursor(Qt::WaitCursor));
}

BusyCursor::~BusyCursor()
{
    if (mHolding)
        mHolding->releaseMouse();
    QGuiApplication::restoreOverrideCursor();
}
