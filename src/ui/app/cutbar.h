#pragma once
// What the Cut bar does: its two numbers, "use dpi" and "free", the list of
// presets, the frame colours, the turn button and "auto". It reads the
// form's widgets into one CutSettings value and hands it to every image
// window whenever it changes: typed numbers wait for the next drag, a
// preset reshapes the frames at once, a turn turns them; the active window
// gets a frame from a preset or typed numbers when it has none. The form
// only builds the widgets.

#include "core/cut/cutsettings.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSize>

#include <functional>

class Picture;
class QSettings;
class UiFramzo;

class CutBar : public QObject
{
    Q_OBJECT

public:
    // Fills the form's preset and colour lists and takes over its Cut bar.
    // pictures() gives the image windows, active() the one in front.
    CutBar(UiFramzo *form, std::function<QList<Picture *>()> pictures, std::function<Picture *()> active);

    // What the bar says now.
    CutSettings settings() const;
    bool autoTurn() const;

    // With "auto" on, turns the two numbers, and the frames, to the active
    // window's photo: a portrait frame on a portrait photo.
    void followPhoto();

    // The bar's part of the settings store (the current group): the
    // numbers, the boxes, the colour and "auto".
    void load(QSettings &store);
    void save(QSettings &store) const;

public slots:
    // The turn button and the key O: the numbers swap, and the frame of the
    // active window turns with them; the others where they lie the other
    // way.
    void turn();

private:
    void fillLists();
    void choosePreset(int index);
    // The preset list shows the preset the fields stand for.
    void showPreset();
    void tellChanged();
    // The size fields were typed in.
    void numbersChanged();
    // The unit shows in centimetre mode only.
    void showUnit();
    // Lays the frame on the active window when it has none yet; typed
    // numbers also reshape a frame laid so and not touched since.
    void layOnActive(bool typed);
    // Swaps the two size fields, telling nothing: the caller does.
    void swapFields();

    UiFramzo *mForm;
    std::function<QList<Picture *>()> mPictures;
    std::function<Picture *()> mActive;
    // Set while a preset fills the bar: its fields and boxes change one
    // after another, and the windows get the result once.
    bool mFilling = false;
    // The window whose frame the bar laid last, and where it laid it.
    QPointer<Picture> mLaidOn;
    QRectF mLaidRect;
};
