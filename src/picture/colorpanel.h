#pragma once
// The colour panel: a small popup with one bar per channel and one for all
// three, a value label under each bar and a "Show" button. A bar's value is
// subtracted from its channel, so its label shows the negated value: how
// much is added. The main window builds a new panel on every request and
// wires the bars and the button to its own slots.

#include <QFrame>

class QLabel;
class QPushButton;
class QScrollBar;

class ColorPanel : public QFrame
{
    Q_OBJECT

public:
    // A popup child of parent, the bars set to the given offsets and the
    // labels filled. It deletes itself when it closes.
    ColorPanel(QWidget *parent, int red, int green, int blue, int all);

    // Sets each label to its bar's negated value.
    void showValues();

    QScrollBar *redBar;
    QScrollBar *greenBar;
    QScrollBar *blueBar;
    QScrollBar *allBar;
    QLabel *redValue;
    QLabel *greenValue;
    QLabel *blueValue;
    QLabel *allValue;
    QPushButton *showButton;
};
