#pragma once
// The cut frame on an image window's canvas: the frame and its resize
// handle as items of the scene, the frame's arithmetic (CutFrame), the Cut
// bar's settings, and what the pointer and the keys do to the frame. The
// window tells it when the canvas changed; it tells the window what Return
// would cut.

#include "core/cut/cutframe.h"
#include "core/cut/cutsettings.h"
#include "core/cut/framegeometry.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>

class QGraphicsPathItem;
class QGraphicsRectItem;
class QGraphicsView;
class QKeyEvent;
class QWidget;

class FrameTool : public QObject
{
    Q_OBJECT

public:
    // The frame lies on view's scene; surface() says what it lies on now
    // (canvas, image and resolution). Pointer events on view's viewport and
    // the frame's keys on view are taken from there on.
    FrameTool(QGraphicsView *view, std::function<framegeometry::Surface()> surface, QObject *parent = nullptr);

    const CutFrame &state() const { return mFrame; }
    QGraphicsRectItem *frameItem() const { return mFrameItem; }
    QGraphicsRectItem *handleItem() const { return mHandleItem; }
    const CutSettings &settings() const { return mSettings; }

    // The Cut bar as it is now. The frame takes its colour at once, and in
    // centimetre mode its size too; otherwise it follows from the next drag
    // on.
    void setSettings(const CutSettings &settings);
    // Settings whose shape was chosen on purpose (a preset): the frame takes
    // that shape at once, at its relative place and size.
    void reshape(const CutSettings &settings);
    // Settings whose two numbers have just been swapped: the frame turns a
    // quarter when force is set or when it lies the other way than the
    // numbers now say.
    void turn(const CutSettings &settings, bool force);
    void show(bool on);
    // Lines dividing the frame in thirds.
    void setThirds(bool on);

    // Where the frame stands on the canvas as it is now; after the canvas
    // changed, follow() puts it at the same relative place and size.
    CutFrame::Placement placement() const;
    void follow(QSize canvasBefore, const CutFrame::Placement &placement);
    // Puts the frame back on the canvas after the image or settings changed.
    void refit();
    // Puts the frame in the middle of the photo; a window without one gets
    // its frame there (the largest of the ratio, or the centimetres).
    void centre();

    // A pointer event in widget from's coordinates (the view's viewport or
    // the window around it).
    void press(QWidget *from, const QPointF &pos);
    void move(QWidget *from, const QPointF &pos);
    void release();
    // The frame's keys: arrows move it (by 10 with Shift), + and - change
    // its size by a ratio step (ten with Shift), C centres it, O asks to
    // turn it. True when the key was one
    // of them.
    bool key(const QKeyEvent *event);

    // The image pixels Return would cut; empty without a frame.
    QRect imageRect() const;
    // What Return would write, as the status bar shows it (empty while the
    // frame is hidden or there is no photo).
    QString readout() const { return mReadout; }

signals:
    void readoutChanged(const QString &text);
    // The key O on the image: turn the frame.
    void turnRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPoint canvasPoint(QWidget *from, const QPointF &pos) const;
    bool hasImage() const;
    // Puts the items where the frame state says; the shade covers the
    // canvas outside the frame, and nothing is drawn where no frame is.
    void draw();
    // The same after the user moved or sized the frame: it takes the pen of
    // the chosen colour, and the readout follows.
    void drawMoved();
    void paint();
    void updateReadout();

    QGraphicsView *mView;
    // Kept apart from the view: the viewport sends its last events through
    // our filter while the view around it is being destroyed, when asking
    // the view for its viewport is no longer allowed.
    QObject *mViewport;
    std::function<framegeometry::Surface()> mSurface;
    CutSettings mSettings;
    // moving, resizing, frameX, frameY, frameWidth, frameHeight, pressX,
    // pressY, pressFrameX, pressFrameY: the frame's drag state.
    CutFrame mFrame;
    QGraphicsRectItem *mFrameItem = nullptr;
    QGraphicsRectItem *mHandleItem = nullptr;
    // Under the line, in a tone against its colour: the frame shows on dark
    // and light photos alike.
    QGraphicsRectItem *mUnderline = nullptr;
    QGraphicsPathItem *mThirds = nullptr;
    // What will be cut away, dimmed.
    QGraphicsPathItem *mShade = nullptr;
    QString mReadout;
};
