#include "ui/app/cutbar.h"

#include "core/cut/cutpresets.h"
#include "core/cut/framegeometry.h"
#include "ui/forms/uiframzo.h"
#include "ui/images/mimesourcefactory.h"
#include "core/cut/cutframe.h"
#include "ui/picture/picture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
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

CutBar::CutBar(UiFramzo *form, std::function<QList<Picture *>()> pictures, std::function<Picture *()> active)
    : QObject(form), mForm(form), mPictures(std::move(pictures)), mActive(std::move(active))
{
    fillLists();
    // The numbers and their unit show while "free" is off (the form starts
    // with it checked), and so do turn and auto, which turn them.
    for (QWidget *w : {static_cast<QWidget *>(form->mpFit), static_cast<QWidget *>(form->mpLabelCm),
                       static_cast<QWidget *>(form->mpLabelX), static_cast<QWidget *>(form->mpHeight),
                       static_cast<QWidget *>(form->mpWidth)})
        form->setCutWidgetHidden(w, true);
    form->setCutWidgetHidden(form->mpTurn, form->mpFree->isChecked());
    form->setCutWidgetHidden(form->mpAutoTurn, form->mpFree->isChecked());

    connect(form->mpWidth, &QLineEdit::textChanged, this, &CutBar::numbersChanged);
    connect(form->mpHeight, &QLineEdit::textChanged, this, &CutBar::numbersChanged);
    connect(form->mpFit, &QCheckBox::toggled, this, &CutBar::tellChanged);
    connect(form->mpFree, &QCheckBox::toggled, this, &CutBar::tellChanged);
    connect(form->mpFrameColor, &QComboBox::currentIndexChanged, this, &CutBar::tellChanged);
    connect(form->mpTurn, &QToolButton::clicked, this, &CutBar::turn);
    connect(form->mpPresets, &QComboBox::activated, this, &CutBar::choosePreset);
    connect(form->mpAutoTurn, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            followPhoto();
    });
    showPreset();
    showUnit();
}

void CutBar::showUnit()
{
    // Ratios have no unit.
    mForm->mpLabelCm->setText(mForm->mpFit->isChecked() ? QCoreApplication::translate("UiFramzo", "cm") : QString());
}

void CutBar::numbersChanged()
{
    if (mFilling)
        return;
    tellChanged();
    layOnActive(true);
}

void CutBar::layOnActive(bool typed)
{
    Picture *pic = mActive();
    if (!pic)
        return;
    if (!pic->frameState().laid()) {
        // A window without a frame gets it now, so that the next Return cuts.
        pic->centreFrame();
    } else if (typed && pic == mLaidOn && pic->frameState().frameRect() == mLaidRect) {
        // The frame laid here a moment ago, untouched since, follows the
        // numbers as they are typed ("1", then "13").
        pic->reshapeFrame(settings());
    } else {
        return;
    }
    mLaidOn = pic;
    mLaidRect = pic->frameState().frameRect();
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
    showUnit();
    const CutSettings s = settings();
    for (Picture *pic : mPictures())
        pic->setCutSettings(s);
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
    const CutSettings s = settings();
    Picture *active = mActive();
    for (Picture *pic : mPictures())
        pic->turnFrame(s, pic == active);
}

void CutBar::followPhoto()
{
    using framegeometry::Orientation;
    Picture *pic = mActive();
    if (!autoTurn() || !pic)
        return;
    // The photo's size is known from its header before its pixels come; a
    // square photo takes either way.
    const QSize photo = pic->surface().image;
    const Orientation wanted = photo.isEmpty() ? Orientation::None : framegeometry::orientationOf(photo.width(), photo.height());
    if (wanted == Orientation::None)
        return;
    const bool swap = framegeometry::orientationOf(mForm->mpWidth->text(), mForm->mpHeight->text())
        == framegeometry::opposite(wanted);
    if (swap)
        swapFields();
    const CutSettings s = settings();
    if (!swap) {
        pic->turnFrame(s, false); // a frame the user shaped the other way
        return;
    }
    for (Picture *p : mPictures())
        p->turnFrame(s, false);
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
    showUnit();
    const CutSettings now = settings();
    for (Picture *pic : mPictures())
        pic->reshapeFrame(now);
    followPhoto();
    layOnActive(false);
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
