#pragma once
// The colour panel: a small popup with one bar per channel and one for all
// three, a value label under each bar and a "Show" button. A bar's value is
// subtracted from its channel, so its label shows the negated value: how
// much is added. "Show" asks for the offsets to be applied (showRequested);
// the panel keeps its own labels up to date.

#include <QFrame>

class QLabel;
class QPushButton;
class QScrollBar;

class ColorPanel : public QFrame
{
    Q_OBJECT

public:
    struct Offsets
    {
        int red = 0;
        int green = 0;
        int blue = 0;
        int all = 0;
    };

    // A popup child of parent, the bars set to the given offsets and the
    // labels filled. It deletes itself when it closes.
    ColorPanel(QWidget *parent, const Offsets &start);

    // The bars' values.
    Offsets values() const;

signals:
    // "Show" was pressed: apply values().
    void showRequested();

private:
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
