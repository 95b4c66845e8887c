#include "ui/picture/frametool.h"

#include <QDebug>
#include <QGraphicsPathItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPen>

FrameTool::FrameTool(QGraphicsView *view, std::function<framegeometry::Surface()> surface, QObject *parent)
    : QObject(parent), mView(view), mViewport(view->viewport()), mSurface(std::move(surface))
{
    // The frame and its handle: cosmetic pens (width 0: one screen pixel at
    // any zoom), no brush; the shade below them.
    mShade = new QGraphicsPathItem;
    mShade->setPen(Qt::NoPen);
    mShade->setBrush(QColor(0, 0, 0, 110));
    mShade->setZValue(1);
    view->scene()->addItem(mShade);
    mFrameItem = new QGraphicsRectItem(0, 0, 32, 32);
    mFrameItem->setPen(QPen(Qt::black, 0));
    mFrameItem->setZValue(2);
    view->scene()->addItem(mFrameItem);
    mUnderline = new QGraphicsRectItem(mFrameItem);
    mUnderline->setFlag(QGraphicsItem::ItemStacksBehindParent);
    QPen under(QColor(255, 255, 255, 170), 3);
    under.setCosmetic(true);
    mUnderline->setPen(under);
    mThirds = new QGraphicsPathItem(mFrameItem);
    mThirds->setPen(QPen(QColor(255, 255, 255, 150), 0));
    mThirds->setVisible(false);
    mHandleItem = new QGraphicsRectItem(0, 0, CutFrame::kHandleSize, CutFrame::kHandleSize);
    mHandleItem->setPen(QPen(Qt::black, 0));
    mHandleItem->setZValue(2);
    view->scene()->addItem(mHandleItem);
    mHandleItem->setPos(mFrame.handleRect().topLeft());
    view->viewport()->installEventFilter(this);
    view->installEventFilter(this); // the keys of the frame
}

bool FrameTool::hasImage() const
{
    return !mSurface().image.isEmpty();
}

void FrameTool::show(bool on)
{
    mFrame.shown = on;
    draw();
    updateReadout();
}

void FrameTool::setThirds(bool on)
{
    mThirds->setVisible(on);
}

void FrameTool::setSettings(const CutSettings &settings)
{
    mSettings = settings;
    paint();
    refit();
}

void FrameTool::reshape(const CutSettings &settings)
{
    mSettings = settings;
    if (hasImage() && mFrame.reshape(mSettings, mSurface()))
        draw();
    refit();
}

void FrameTool::turn(const CutSettings &settings, bool force)
{
    mSettings = settings;
    const framegeometry::Orientation wanted = framegeometry::orientationOf(settings.widthText, settings.heightText);
    const bool lyingOtherWay
        = mFrame.orientation() == framegeometry::opposite(wanted) && wanted != framegeometry::Orientation::None;
    if (hasImage() && (force || lyingOtherWay) && mFrame.turn(mSettings, mSurface()))
        draw();
    refit();
}

CutFrame::Placement FrameTool::placement() const
{
    return mFrame.placement(mSurface().canvas);
}

void FrameTool::follow(QSize canvasBefore, const CutFrame::Placement &placement)
{
    const framegeometry::Surface now = mSurface();
    if (now.canvas == canvasBefore || now.image.isEmpty()) {
        refit();
        return;
    }
    mFrame.follow(placement, mSettings, now);
    draw();
    updateReadout();
}

void FrameTool::refit()
{
    if (hasImage())
        mFrame.fit(mSettings, mSurface());
    draw(); // the canvas under the shade may have changed
    updateReadout();
}

void FrameTool::centre()
{
    if (hasImage() && !mFrame.moving && !mFrame.resizing && mFrame.centre(mSettings, mSurface()))
        drawMoved();
}

QRect FrameTool::imageRect() const
{
    return mFrame.imageRect(mSurface());
}

void FrameTool::draw()
{
    const QRectF r = mFrame.frameRect();
    const bool visible = mFrame.shown && hasImage() && r.width() > 0 && r.height() > 0;
    mFrameItem->setVisible(visible);
    mHandleItem->setVisible(visible);
    mShade->setVisible(visible);
    if (!visible)
        return;
    mFrameItem->setPos(r.topLeft());
    mFrameItem->setRect(0, 0, r.width(), r.height());
    mUnderline->setRect(mFrameItem->rect());
    QPainterPath thirds;
    for (int i = 1; i < 3; ++i) {
        thirds.moveTo(r.width() * i / 3, 0);
        thirds.lineTo(r.width() * i / 3, r.height());
        thirds.moveTo(0, r.height() * i / 3);
        thirds.lineTo(r.width(), r.height() * i / 3);
    }
    mThirds->setPath(thirds);
    mHandleItem->setPos(mFrame.handleRect().topLeft());
    QPainterPath shade;
    shade.setFillRule(Qt::OddEvenFill);
    const QSize canvas = mSurface().canvas;
    shade.addRect(QRectF(QPointF(0, 0), QSizeF(canvas)));
    shade.addRect(r);
    mShade->setPath(shade);
}

void FrameTool::drawMoved()
{
    paint();
    draw();
    updateReadout();
}

void FrameTool::paint()
{
    if (!mSettings.frameColor.isValid() || mFrameItem->pen().color() == mSettings.frameColor)
        return;
    mFrameItem->setPen(QPen(mSettings.frameColor, 0, Qt::SolidLine)); // width 0: one device pixel
    mHandleItem->setPen(mFrameItem->pen());
    // The underline in the other tone: dark under a light line, light under
    // a dark one.
    QPen under(mSettings.frameColor.lightness() > 128 ? QColor(0, 0, 0, 170) : QColor(255, 255, 255, 170), 3);
    under.setCosmetic(true);
    mUnderline->setPen(under);
}

void FrameTool::updateReadout()
{
    const QString text = hasImage() ? mFrame.readout(mSettings, mSurface()) : QString();
    if (text == mReadout)
        return;
    mReadout = text;
    emit readoutChanged(mReadout);
}

// ---- pointer and keys ---------------------------------------------------------

QPoint FrameTool::canvasPoint(QWidget *from, const QPointF &pos) const
{
    QWidget *viewport = mView->viewport();
    const QPoint p = pos.toPoint();
    const QPointF scene = mView->mapToScene(from == viewport ? p : viewport->mapFrom(from, p));
    return {static_cast<int>(scene.x()), static_cast<int>(scene.y())};
}

void FrameTool::press(QWidget *from, const QPointF &pos)
{
    const QPoint p = canvasPoint(from, pos);
    switch (mFrame.press(p.x(), p.y())) {
    case CutFrame::Press::Resize:
        qDebug().noquote() << QStringLiteral("%1 %2").arg(p.x()).arg(p.y());
        mView->viewport()->grabMouse(Qt::SizeFDiagCursor);
        break;
    case CutFrame::Press::Move:
        mView->viewport()->grabMouse(Qt::CrossCursor);
        break;
    case CutFrame::Press::Nothing:
        break;
    }
}

void FrameTool::move(QWidget *from, const QPointF &pos)
{
    if (!mFrame.moving && !mFrame.resizing)
        return;
    const QPoint p = canvasPoint(from, pos);
    if (mFrame.move(p.x(), p.y(), mSettings, mSurface()))
        drawMoved();
}

void FrameTool::release()
{
    mFrame.release();
    mView->viewport()->releaseMouse(); // also restores the cursor
}

bool FrameTool::key(const QKeyEvent *event)
{
    // Shift makes arrows move further; the keypad's keys count as the others.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool shift = mods == Qt::ShiftModifier;
    if (mods != Qt::NoModifier && !shift)
        return false;
    const int distance = shift ? 10 : 1;
    QPoint by;
    int steps = 0;
    bool centre = false;
    switch (event->key()) {
    case Qt::Key_Left:
        by = {-distance, 0};
        break;
    case Qt::Key_Right:
        by = {distance, 0};
        break;
    case Qt::Key_Up:
        by = {0, -distance};
        break;
    case Qt::Key_Down:
        by = {0, distance};
        break;
    case Qt::Key_Plus:  // Shift on most layouts: one step still, unless on the keypad
        steps = shift && event->modifiers().testFlag(Qt::KeypadModifier) ? 10 : 1;
        break;
    case Qt::Key_Equal: // the same key without Shift
        steps = 1;
        break;
    case Qt::Key_Asterisk: // Shift with + where + needs no Shift
        if (!shift)
            return false;
        steps = 10;
        break;
    case Qt::Key_Minus:
        steps = shift ? -10 : -1;
        break;
    case Qt::Key_Underscore: // Shift with -
        steps = -10;
        break;
    case Qt::Key_C:
        if (shift)
            return false;
        centre = true;
        break;
    case Qt::Key_O:
        if (shift)
            return false;
        emit turnRequested();
        return true;
    default:
        return false;
    }
    if (!hasImage() || mFrame.moving || mFrame.resizing)
        return true; // a drag has the frame: the key is taken, and does nothing
    const bool changed = centre       ? mFrame.centre(mSettings, mSurface())
        : steps != 0 ? mFrame.step(steps, mSettings, mSurface())
                     : mFrame.nudge(by.x(), by.y(), mSettings, mSurface());
    if (changed)
        drawMoved();
    return true;
}

bool FrameTool::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mViewport) {
        // The middle button pans the photo: the view's, not the frame's.
        const auto *mouse = dynamic_cast<const QMouseEvent *>(event);
        if (mouse && (mouse->button() == Qt::MiddleButton || (mouse->buttons() & Qt::MiddleButton))
            && !mFrame.moving && !mFrame.resizing)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: // a second press, as far as the frame is concerned
            press(mView->viewport(), static_cast<QMouseEvent *>(event)->position());
            return true;
        case QEvent::MouseMove:
            move(mView->viewport(), static_cast<QMouseEvent *>(event)->position());
            return true;
        case QEvent::MouseButtonRelease:
            release();
            return true;
        default:
            break;
        }
    }
    // Only while the image has the keyboard: the folder tree and the Cut
    // bar's fields keep their own arrow keys.
    if (watched == mView && event->type() == QEvent::KeyPress && key(static_cast<QKeyEvent *>(event)))
        return true;
    return QObject::eventFilter(watched, event);
}
