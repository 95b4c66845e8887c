#pragma once
// For tests that work on an image window: a shown main window with one image
// open in it.

#include "ui/app/framzo.h"
#include "ui/picture/picture.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTreeWidgetItem>
#include <QtTest>
#include <memory>

namespace testutil {

// Waits until the image window has shown and decoded the photo it was last
// asked for, and ended every write and command it was given, as a user
// sees it (the decodes and writes run off the GUI thread).
inline bool waitLoaded(Picture *pic)
{
    return pic && QTest::qWaitFor([pic] { return !pic->isBusy(); });
}

// Where the canvas unit at (in the frame's units) lies on the view's
// viewport, whatever the zoom: its middle, so that the frame reads the
// same unit back. Points far off the canvas stay off it.
inline QPoint onView(Picture *pic, QPoint at)
{
    return pic->view()->mapFromScene(QPointF(at) + QPointF(0.5, 0.5));
}

// A left-button drag on the canvas from one unit to another.
inline void dragOnCanvas(Picture *pic, QPoint from, QPoint to)
{
    QWidget *vp = pic->view()->viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, onView(pic, from));
    QTest::mouseMove(vp, onView(pic, to));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, onView(pic, to));
}

// Waits until every image window of main has ended what it was given:
// decodes, writes (cuts, saves) and the commands waiting for them.
inline bool settle(const Framzo &main)
{
    return QTest::qWaitFor([&main] {
        const QList<QMdiSubWindow *> windows = main.mpWorkspace->subWindowList();
        for (QMdiSubWindow *sub : windows) {
            if (auto *pic = qobject_cast<Picture *>(sub->widget()); pic && pic->isBusy())
                return false;
        }
        return true;
    });
}

// Replaces main with a new, shown main window and opens path in it. Returns
// the image window once its photo is in, or null when none came up.
inline Picture *openInNewWindow(std::unique_ptr<Framzo> &main, const QString &path)
{
    main = std::make_unique<Framzo>();
    main->show();
    if (!QTest::qWaitForWindowExposed(main.get()))
        return nullptr;
    main->newChildWin(path);
    if (!QTest::qWaitFor([&] { return main->activePicture() != nullptr; }) || !waitLoaded(main->activePicture()))
        return nullptr;
    return main->activePicture();
}

// The child of parent whose first column reads name, or null.
inline QTreeWidgetItem *childNamed(const QTreeWidgetItem *parent, const QString &name)
{
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == name)
            return parent->child(i);
    }
    return nullptr;
}

} // namespace testutil
