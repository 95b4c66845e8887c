#pragma once
// The image windows of the main window's workspace: which one commands act
// on, all of them, and where they lie. The main window is the one owner of
// their geometry: it cascades them, and sizes each around its contents
// where it lies; an image window only sizes its contents.

#include <QList>

class Picture;
class QMdiArea;

namespace imagewindows {

// The workspace's active window when it is a "Picture", else null.
Picture *active(const QMdiArea *workspace);
// The image windows, in the workspace's order.
QList<Picture *> all(const QMdiArea *workspace);
// Cascades the workspace's windows (nothing with fewer than two) and gives
// each image window the size of its contents.
void cascade(QMdiArea *workspace);
// Sizes pic's window around its contents where it lies, moved back only as
// far as it must to lie inside the workspace; a maximised or minimised
// window is left as it is.
void fit(const QMdiArea *workspace, Picture *pic);

} // namespace imagewindows
