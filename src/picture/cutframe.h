#pragma once
// The cut frame's arithmetic, free of widgets: the press / move / release
// state machine of a frame dragged over a canvas, in canvas units (pixels of
// the scaled display copy). The image window feeds it pointer positions
// already mapped into canvas coordinates and draws what it decides.

#include "picture/cutsettings.h"

#include <QRectF>
#include <QString>

class CutFrame
{
public:
    // What the Cut bar says; the frame colour plays no part in the arithmetic.
    using Settings = CutSettings;

    enum class Press { Nothing, Resize, Move };

    // Starts a drag when (px, py) lies on the handle (tested first, it wins
    // where the two overlap) or on the frame, edges included. A hidden frame
    // starts nothing.
    Press press(int px, int py);

    // One pointer move during a drag. canvasWidth/Height are the canvas size,
    // dotsPerMeterX/Y the image's resolution (centimetre mode). Returns true
    // when the frame was laid out anew (the caller then redraws it and gives
    // it the pen of the chosen colour); false when nothing changed: hidden,
    // no drag, or size fields that do not give a usable number.
    bool move(int px, int py, const Settings &settings, int canvasWidth, int canvasHeight,
              int dotsPerMeterX, int dotsPerMeterY);

    // Ends any drag, shown or not.
    void release();

    // The largest m * rw by m * rh (m >= 0) that lies strictly inside the
    // canvas on both axes: the first size of a ratio frame. Both ratio
    // numbers must be positive.
    static QSize firstSize(int rw, int rh, int canvasWidth, int canvasHeight);

    // A ratio number: a decimal integer above 0. Zero or negative numbers are
    // refused like text that does not parse: the first-size search would
    // never end and the ratio resize would divide by zero.
    static bool parseRatio(const QString &text, int *value);
    // A centimetre size times dots per centimetre, truncated: refused when
    // the text is not a finite number >= 0 or the result would not fit a
    // canvas coordinate.
    static bool parseCentimetres(const QString &text, int dotsPerMeter, int *units);

    // Where the items stand: the frame's rectangle as last applied (the
    // item's default 32 by 32 at the origin until the first layout), and the
    // 8 by 8 handle in its lower right corner.
    QRectF frameRect() const { return itemRect; }
    QRectF handleRect() const;

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
    QRectF itemRect{0, 0, 32, 32};
};
