#pragma once
// A one-line label that never asks for more width than it is given: a text
// too long for it is shown elided in the middle (a file name keeps its
// beginning and its extension). text() stays the whole text.

#include <QLabel>

class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;

    // Whether the text is shown shortened at the present width.
    bool isElided() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
