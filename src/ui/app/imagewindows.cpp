#include "ui/app/imagewindows.h"

#include "ui/picture/picture.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace imagewindows {
namespace {

QSize frameAround(const QMdiSubWindow *sub, const QWidget *contents)
{
    const QMargins m = sub->contentsMargins();
    return contents->baseSize() + QSize(m.left() + m.right(), m.top() + m.bottom());
}

} // namespace

Picture *active(const QMdiArea *workspace)
{
    QMdiSubWindow *sub = workspace->currentSubWindow();
    if (!sub)
        sub = workspace->activeSubWindow();
    if (!sub || !sub->widget() || sub->widget()->objectName() != QLatin1String("Picture"))
        return nullptr;
    return qobject_cast<Picture *>(sub->widget());
}

QList<Picture *> all(const QMdiArea *workspace)
{
    QList<Picture *> out;
    const QList<QMdiSubWindow *> windows = workspace->subWindowList();
    for (QMdiSubWindow *sub : windows) {
        if (auto *pic = qobject_cast<Picture *>(sub->widget()))
            out << pic;
    }
    return out;
}

void cascade(QMdiArea *workspace)
{
    const QList<QMdiSubWindow *> list = workspace->subWindowList(QMdiArea::StackingOrder);
    if (list.size() < 2)
        return;
    workspace->cascadeSubWindows();
    for (QMdiSubWindow *sub : list) {
        QWidget *w = sub->widget();
        if (w && w->objectName() == QLatin1String("Picture"))
            sub->resize(frameAround(sub, w));
    }
}

void fit(const QMdiArea *workspace, Picture *pic)
{
    auto *sub = qobject_cast<QMdiSubWindow *>(pic->parentWidget());
    if (!sub || sub->isMaximized() || sub->isMinimized())
        return;
    const QSize size = frameAround(sub, pic);
    const QSize room = workspace->viewport()->size();
    const QPoint at(qMax(0, qMin(sub->x(), room.width() - size.width())),
                    qMax(0, qMin(sub->y(), room.height() - size.height())));
    sub->setGeometry(QRect(at, size));
}

} // namespace imagewindows
