#pragma once
// Where the main window goes when it comes back with a geometry from the
// settings store. The store is a text file anyone can edit, and screens
// change between runs (a monitor unplugged, a smaller resolution): a stored
// geometry is made to fit the screens there are now before any QRect is
// built from it, so that no arithmetic on it overflows.

#include <QList>
#include <QRect>
#include <QSize>

namespace windowplacement {

// The side of the square of the window that stays on a screen at least.
constexpr int kVisibleCorner = 100;

// The client geometry for a window stored at (x, y) with size w x h, given
// the screens' available areas (the primary first) and the size to take
// when the stored one is not positive:
// - never larger than the screen it is put on;
// - when it overlaps a screen, it stays on that one, moved just enough to
//   keep its top on the screen and a corner of kVisibleCorner pixels (or
//   the whole window, when smaller) on it;
// - when it overlaps none, it is moved whole onto the primary screen.
// Without screens the stored size and position are only kept in range.
QRect placed(qint64 x, qint64 y, qint64 w, qint64 h, const QList<QRect> &screens, const QSize &fallbackSize);

// The available areas of the screens there are now, the primary first.
QList<QRect> screens();

} // namespace windowplacement
