#include "ui/app/cutbar.h"

#include "core/cut/cutpresets.h"
#include "core/cut/framegeometry.h"
#include "ui/forms/uiframzo.h"
#include "ui/images/mimesourcefactory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSettings>
#include <QSignalBlocker>
#include <QToolButton>

#include <iterator>

namespace {

// The frame colours, in the list's order: the one table of them.
struct FrameColour
{
    const char *name;
    const char *icon;
    QColor colour;
};
const FrameColour kColours[] = {
    {QT_TRANSLATE_NOOP("UiFramzo", "black"), "black.bmp", QColor(0, 0, 0)},
    {QT_TRANSLATE_NOOP("UiFramzo", "white"), "white.bmp", QColor(255, 255, 255)},
    {QT_TRANSLATE_NOOP("UiFramzo", "red"), "red.bmp", QColor(255, 0, 0)},
    {QT_TRANSLATE_NOOP("UiFramzo", "green"), "green.bmp", QColor(0, 255, 0)},
    {QT_TRANSLATE_NOOP("UiFramzo", "blue"), "blue.bmp", QColor(0, 0, 255)},
};

} // namespace

CutBar::CutBar(UiFramzo *form) : QObject(form), mForm(form)
{
    fillLists();
    // Hidden with the numbers they turn while "free" is checked (the form
    // starts with it checked).
    form->setCutWidgetHidden(form->mpTurn, form->mpFree->isChecked());
    form->setCutWidgetHidden(form->mpAutoTurn, form->mpFree->isChecked());

    connect(form->mpWidth, &QLineEdit::textChanged, this, &CutBar::tellChanged);
    connect(form->mpHeight, &QLineEdit::textChanged, this, &CutBar::tellChanged);
    connect(form->mpFit, &QCheckBox::toggled, this, &CutBar::tellChanged);
    connect(form->mpFree, &QCheckBox::toggled, this, &CutBar::tellChanged);
    connect(form->mpFrameColor, &QComboBox::currentIndexChanged, this, &CutBar::tellChanged);
    connect(form->mpTurn, &QToolButton::clicked, this, &CutBar::turn);
    connect(form->mpPresets, &QComboBox::activated, this, &CutBar::choosePreset);
    connect(form->mpAutoTurn, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            emit autoTurnOn();
    });
    showPreset();
}

void CutBar::fillLists()
{
    QComboBox *colours = mForm->mpFrameColor;
    colours->clear();
    for (const FrameColour &c : kColours)
        colours->addItem(QIcon(fromMimeSource(QString::fromLatin1(c.icon))),
                         QCoreApplication::translate("UiFramzo", c.name));

    QComboBox *presets = mForm->mpPresets;
    presets->clear();
    presets->addItem(QCoreApplication::translate("UiFramzo", "custom"), -1);
    const QList<cutpresets::Preset> &all = cutpresets::all();
    for (int i = 0; i < all.size(); ++i) {
        if (i > 0 && all.at(i).centimetres != all.at(i - 1).centimetres)
            presets->insertSeparator(presets->count());
        presets->addItem(cutpresets::label(all.at(i)), i);
    }
}

CutSettings CutBar::settings() const
{
    CutSettings s;
    s.widthText = mForm->mpWidth->text();
    s.heightText = mForm->mpHeight->text();
    s.useDpi = mForm->mpFit->isChecked();
    s.free = mForm->mpFree->isChecked();
    const int index = mForm->mpFrameColor->currentIndex();
    if (index >= 0 && index < int(std::size(kColours)))
        s.frameColor = kColours[index].colour;
    return s;
}

bool CutBar::autoTurn() const
{
    return mForm->mpAutoTurn->isChecked();
}

void CutBar::tellChanged()
{
    if (mFilling)
        return;
    showPreset();
    emit changed(settings());
}

void CutBar::swapFields()
{
    const QSignalBlocker blockWidth(mForm->mpWidth);
    const QSignalBlocker blockHeight(mForm->mpHeight);
    const QString width = mForm->mpWidth->text();
    mForm->mpWidth->setText(mForm->mpHeight->text());
    mForm->mpHeight->setText(width);
}

void CutBar::turn()
{
    swapFields();
    emit turned(settings());
}

bool CutBar::turnTo(const QSize &photo)
{
    using framegeometry::Orientation;
    if (!autoTurn() || photo.isEmpty())
        return false;
    const Orientation wanted = framegeometry::orientationOf(photo.width(), photo.height());
    if (wanted == Orientation::None)
        return false; // a square photo takes either
    const Orientation now = framegeometry::orientationOf(mForm->mpWidth->text(), mForm->mpHeight->text());
    if (now != framegeometry::opposite(wanted))
        return false;
    swapFields();
    return true;
}

void CutBar::choosePreset(int index)
{
    bool ok = false;
    const int preset = mForm->mpPresets->itemData(index).toInt(&ok);
    if (!ok || preset < 0 || preset >= cutpresets::all().size()) {
        showPreset(); // "custom" fills nothing
        return;
    }
    const CutSettings s = cutpresets::applied(cutpresets::all().at(preset), settings());
    mFilling = true;
    // "free" first: it hides "use dpi" while it is checked.
    mForm->mpFree->setChecked(s.free);
    mForm->mpFit->setChecked(s.useDpi);
    mForm->mpWidth->setText(s.widthText);
    mForm->mpHeight->setText(s.heightText);
    mFilling = false;
    showPreset();
    emit reshaped(settings());
}

void CutBar::showPreset()
{
    if (mFilling)
        return;
    const int index = mForm->mpPresets->findData(cutpresets::find(settings()));
    mForm->mpPresets->setCurrentIndex(qMax(0, index));
}

void CutBar::load(QSettings &s)
{
    UiFramzo &f = *mForm;
    f.mpFit->setChecked(s.value(QStringLiteral("/Fit"), f.mpFit->isChecked()).toBool());
    f.mpFree->setChecked(s.value(QStringLiteral("/Free"), f.mpFree->isChecked()).toBool());
    f.mpWidth->setText(s.value(QStringLiteral("/Width"), f.mpWidth->text()).toString());
    f.mpHeight->setText(s.value(QStringLiteral("/Height"), f.mpHeight->text()).toString());
    // The index in the colour list; one the list does not have is ignored.
    bool ok = false;
    const int colour = s.value(QStringLiteral("/FrameColor"), f.mpFrameColor->currentIndex()).toInt(&ok);
    if (ok && colour >= 0 && colour < f.mpFrameColor->count())
        f.mpFrameColor->setCurrentIndex(colour);
    f.mpAutoTurn->setChecked(s.value(QStringLiteral("/AutoTurn"), false).toBool());
}

void CutBar::save(QSettings &s) const
{
    const UiFramzo &f = *mForm;
    s.setValue(QStringLiteral("/Fit"), f.mpFit->isChecked());
    s.setValue(QStringLiteral("/Free"), f.mpFree->isChecked());
    s.setValue(QStringLiteral("/Width"), f.mpWidth->text());
    s.setValue(QStringLiteral("/Height"), f.mpHeight->text());
    s.setValue(QStringLiteral("/FrameColor"), f.mpFrameColor->currentIndex());
    s.setValue(QStringLiteral("/AutoTurn"), f.mpAutoTurn->isChecked());
}
