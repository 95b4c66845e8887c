#pragma once
// What the Cut bar says, as a value: the main window hands it to every image
// window whenever the bar changes, so that an image window never reads the
// main window's widgets.

#include <QColor>
#include <QString>

struct CutSettings
{
    QString widthText = QStringLiteral("13"); // ratio width (integer) or centimetres (decimal)
    QString heightText = QStringLiteral("9");
    bool useDpi = false; // size from centimetres and the image's resolution
    bool free = true;    // resizing sets the height freely, not from the ratio
    // The frame's colour; invalid while none has been chosen from the list
    // (the frame then keeps its pen).
    QColor frameColor;

    bool operator==(const CutSettings &o) const
    {
        return widthText == o.widthText && heightText == o.heightText && useDpi == o.useDpi && free == o.free
            && frameColor == o.frameColor;
    }
    bool operator!=(const CutSettings &o) const { return !(*this == o); }
};
