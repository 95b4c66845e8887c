#include "ui/picture/colorpanel.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

namespace {

QScrollBar *makeBar(QWidget *parent, int x, int range, int value, const QColor &colour)
{
    auto *bar = new QScrollBar(Qt::Vertical, parent);
    bar->setRange(-range, range);
    bar->setSingleStep(1);
    bar->setPageStep(10);
    bar->setGeometry(x, 10, 16, 150);
    if (colour.isValid()) {
        QPalette pal = bar->palette();
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
            pal.setColor(role, colour);
        bar->setPalette(pal);
        bar->setAutoFillBackground(true);
    }
    bar->setValue(value);
    bar->show();
    return bar;
}

QLabel *makeLabel(QWidget *parent, int x)
{
    auto *label = new QLabel(parent);
    label->setGeometry(x, 165, 25, 10);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

ColorPanel::ColorPanel(QWidget *parent, const Offsets &start)
    : QFrame(parent, Qt::Popup)
{
    setObjectName(QStringLiteral("colorPanel"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    setFixedSize(126, 210);

    redBar = makeBar(this, 10, 128, start.red, QColor(255, 0, 0));
    redBar->setObjectName(QStringLiteral("redBar"));
    greenBar = makeBar(this, 40, 128, start.green, QColor(0, 255, 0));
    greenBar->setObjectName(QStringLiteral("greenBar"));
    blueBar = makeBar(this, 70, 128, start.blue, QColor(0, 0, 255));
    blueBar->setObjectName(QStringLiteral("blueBar"));
    allBar = makeBar(this, 100, 64, start.all, QColor());
    allBar->setObjectName(QStringLiteral("allBar"));

    redValue = makeLabel(this, 5);
    redValue->setObjectName(QStringLiteral("redValue"));
    greenValue = makeLabel(this, 35);
    greenValue->setObjectName(QStringLiteral("greenValue"));
    blueValue = makeLabel(this, 65);
    blueValue->setObjectName(QStringLiteral("blueValue"));
    allValue = makeLabel(this, 95);
    allValue->setObjectName(QStringLiteral("allValue"));
    showValues();

    showButton = new QPushButton(tr("&Show"), this);
    showButton->setObjectName(QStringLiteral("pShow"));
    showButton->setGeometry(10, 180, 106, 24);

    for (QScrollBar *bar : {redBar, greenBar, blueBar, allBar})
        connect(bar, &QScrollBar::valueChanged, this, &ColorPanel::showValues);
    connect(showButton, &QPushButton::clicked, this, &ColorPanel::showRequested);
}

ColorPanel::Offsets ColorPanel::values() const
{
    return {redBar->value(), greenBar->value(), blueBar->value(), allBar->value()};
}

void ColorPanel::showValues()
{
    redValue->setText(QString::number(-redBar->value()));
    greenValue->setText(QString::number(-greenBar->value()));
    blueValue->setText(QString::number(-blueBar->value()));
    allValue->setText(QString::number(-allBar->value()));
}
