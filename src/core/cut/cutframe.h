#pragma once
// The cut frame's arithmetic, free of widgets: the press / move / release
// state machine of a frame dragged over a canvas, in canvas units (pixels of
// the scaled display copy), and what the frame stands for in the photo's
// own pixels. The image window feeds it pointer positions already mapped
// into canvas coordinates and draws what it decides.
//
// Beside its canvas rectangle the frame keeps what fixes its shape: the
// exact size in image pixels of a centimetre frame, or the ratio a ratio
// frame was laid in. The cut is worked out from those, so that it keeps its
// size or ratio whatever the canvas's scale.

#include "core/cut/cutsettings.h"
#include "core/cut/framegeometry.h"

#include <QRect>
#include <QRectF>
#include <QString>

class CutFrame
{
public:
    // What the Cut bar says; the frame colour plays no part in the arithmetic.
    using Settings = CutSettings;
    using Surface = framegeometry::Surface;

    enum class Press { Nothing, Resize, Move };

    // Starts a drag when (px, py) lies on the handle (tested first, it wins
    // where the two overlap) or on the frame, edges included. A hidden frame
    // starts nothing.
    Press press(int px, int py);

    // One pointer move during a drag, on surface. Returns true when the
    // frame was laid out anew (the caller then redraws it and gives it the
    // pen of the chosen colour); false when nothing changed: hidden, no
    // drag, or size fields that do not give a usable number.
    //
    // In centimetre mode the frame covers exactly the centimetres at the
    // photo's resolution, in whole image pixels; a photo too small for that
    // gets no frame (tooSmallFor() says what it needed). In ratio mode the
    // first size, and every size a resize without "free" gives, is a whole
    // multiple of the ratio.
    bool move(int px, int py, const Settings &settings, const Surface &surface);

    // Puts a frame that has been laid back on surface after the image or
    // the settings changed: in centimetre mode worked out again from the
    // photo's resolution (no frame when it does not fit); otherwise moved
    // onto the canvas and, where it is larger, made smaller, keeping its
    // ratio when it has one; a frame of which nothing is left is the frame
    // of a new window again. A frame never laid stays as it is, for its
    // first drag. Returns true when the frame changed.
    bool fit(const Settings &settings, const Surface &surface);

    // Ends any drag, shown or not.
    void release();

    // Where a laid frame stands relative to its canvas, so that the next
    // photo's canvas gets it at the same relative place and size.
    struct Placement
    {
        bool laid = false;
        // Where it stands in the room it leaves on each axis: 0 at the left
        // (top) edge, 1 at the right (bottom) edge; 0.5 when it fills the axis.
        double roomX = 0.5;
        double roomY = 0.5;
        // Its size as fractions of the canvas (a frame of the user's own shape).
        double width = 0;
        double height = 0;
        // Its size over the largest frame of its ratio that fits the canvas
        // (a frame that keeps a ratio): it keeps that share on a canvas of
        // another shape, where the two fractions could not both be kept.
        double scale = 1;
    };
    Placement placement(QSize canvas) const;

    // Puts a frame that was laid on another canvas onto surface at the same
    // relative place and size (placement() taken on the old canvas): a
    // ratio frame at the same share of the largest frame of its ratio, a
    // frame of the user's own shape at the same fractions of the canvas, a
    // centimetre frame worked out again for the new photo; then kept on
    // the canvas as fit() does. A frame never laid stays as it is.
    bool follow(const Placement &placement, const Settings &settings, const Surface &surface);

    // The frame takes the shape the settings give now (a preset chosen, the
    // numbers swapped): the ratio of the two numbers at the share of the
    // largest frame of that ratio it had (a frame of no ratio: the largest
    // frame of the ratio inside it), or the centimetres, at its relative
    // place. A frame never laid stays as it is: its first drag reads the
    // numbers anyway. False when nothing changed.
    bool reshape(const Settings &settings, const Surface &surface);

    // A quarter turn of the frame for settings whose numbers have just been
    // swapped: reshape() to them, or, for a frame of the user's own shape,
    // its width and height swapped (kept on the canvas).
    bool turn(const Settings &turned, const Surface &surface);

    // Moves the frame by (dx, dy) canvas units as a drag by that much would:
    // a frame without a size gets its first size, and it stays on the
    // canvas. Nothing happens during a drag or while hidden.
    bool nudge(int dx, int dy, const Settings &settings, const Surface &surface);

    // Puts the frame in the middle of the photo (a centimetre frame to the
    // image pixel); a frame without a size gets its first size there. False
    // when nothing changed.
    bool centre(const Settings &settings, const Surface &surface);

    // Makes the frame steps ratio steps larger (smaller when negative) about
    // its centre: one multiple of its ratio more or less, or, for a frame of
    // the user's own shape, the ratio's numbers added to width and height.
    // Never smaller than one step, never larger than the canvas. Centimetre
    // frames have a fixed size and do not change; a frame without a size
    // gets its first size. False when nothing changed.
    bool step(int steps, const Settings &settings, const Surface &surface);

    // The way the frame lies: by its ratio, its size in image pixels, or
    // its canvas size; None before it is laid.
    framegeometry::Orientation orientation() const;
    bool laid() const { return mLaid; }

    // The rectangle of image pixels a cut takes: a centimetre frame's exact
    // size, a ratio frame's width with the height that keeps the ratio
    // (height = width x rh / rw, rounded), or the frame scaled on each axis,
    // always inside the image. Empty when there is no frame to cut.
    QRect imageRect(const Surface &surface) const;

    // What Return would write, for the status bar; empty while the frame is
    // hidden.
    QString readout(const Settings &settings, const Surface &surface) const;

    // The largest m * rw by m * rh (m >= 0) that lies strictly inside the
    // canvas on both axes: the first size of a ratio frame. Both ratio
    // numbers must be positive.
    static QSize firstSize(int rw, int rh, int canvasWidth, int canvasHeight);

    // A ratio number: a decimal integer above 0. Zero or negative numbers are
    // refused like text that does not parse: the first-size search would
    // never end and the ratio resize would divide by zero.
    static bool parseRatio(const QString &text, int *value);

    // Where the items stand: the frame's rectangle as last applied (the
    // item's default 32 by 32 at the origin until the first layout), and the
    // 8 by 8 handle in its lower right corner.
    QRectF frameRect() const { return itemRect; }
    QRectF handleRect() const;

    // The image pixels a centimetre frame needed when the photo was too
    // small for it; invalid otherwise.
    QSize tooSmallFor() const { return mTooSmallFor; }
    // The exact size in image pixels of a centimetre frame; invalid for
    // other frames.
    QSize pixelSize() const { return mPixelSize; }
    // The ratio the frame's shape keeps (rw, rh); invalid for a frame whose
    // shape the user set freely or that has no size.
    QSize ratio() const { return mRatio; }

    bool shown = true;

    // The drag state as the image window knows it.
    bool moving = false;
    bool resizing = false;
    double frameX = 0;    // top left corner last applied
    double frameY = 0;
    int frameWidth = 0;   // 0: not worked out yet
    int frameHeight = 0;
    int pressX = 0;       // pointer at the press that started a move
    int pressY = 0;
    int pressFrameX = 0;  // frameX / frameY truncated at that press
    int pressFrameY = 0;

    static constexpr int kHandleSize = 8;

private:
    // The centimetre size of settings on surface: sets the shape fields and
    // returns the canvas size (0 by 0 when it does not fit the photo).
    // False when a size field does not give a number.
    bool centimetreSize(const Settings &settings, const Surface &surface, int *w, int *h);
    // The size a drag of the handle to (px, py) gives a frame of that ratio
    // on canvas: freely (never below one step, the size before where it
    // would leave the canvas), or in whole multiples of the ratio.
    QSize resized(int px, int py, QSize ratio, bool free, QSize canvas);
    // A frame of centimetres, laid or waiting for a photo large enough.
    bool isCentimetres() const;
    // Remembers where the frame stands in the room it leaves on canvas.
    void keepRoom(QSize canvas);
    // Lays a frame of w x h at the remembered place on canvas.
    void placeInRoom(int w, int h, QSize canvas);
    // Stores a layout and keeps the frame on the canvas.
    void apply(double x, double y, int w, int h, QSize canvas);
    // Gives the frame the size w x h, lets fit() finish it for settings and
    // surface, then puts it where placement says in the room it leaves.
    bool lay(const Placement &placement, int w, int h, const Settings &settings, const Surface &surface);
    // The multiple of ratio at share scale of the largest one that fits
    // canvas (at least one); 0 by 0 when not even one fits.
    static QSize scaledRatio(QSize ratio, double scale, QSize canvas);

    QRectF itemRect{0, 0, 32, 32};
    bool mLaid = false; // laid out at least once
    QSize mPixelSize;
    QSize mRatio;
    QSize mTooSmallFor;
    // Where the frame stands in the room it leaves on each axis (0 left or
    // top, 1 right or bottom): what a centimetre frame keeps from photo to
    // photo, and where its cut lies in image pixels. A photo too small for
    // it leaves this alone, so that the next one gets the frame back there.
    double mRoomX = 0.5;
    double mRoomY = 0.5;
};
