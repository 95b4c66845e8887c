#pragma once
// The wait cursor while the program is busy, for as long as the object
// lives. Given a shown widget it also holds the mouse, so that clicks do not
// reach a window that is in the middle of its work.

class QWidget;

class BusyCursor
{
public:
    explicit BusyCursor(QWidget *holdMouse = nullptr);
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    QWidget *mHolding = nullptr;
};
