#pragma once
// What the Cut bar does: its two numbers, "use dpi" and "free", the list of
// presets, the frame colours, the turn button and "auto". It reads the
// form's widgets into one CutSettings value and tells when that changed;
// the main window hands the value to every image window. The form only
// builds the widgets.

#include "core/cut/cutsettings.h"

#include <QObject>
#include <QSize>

class QSettings;
class UiFramzo;

class CutBar : public QObject
{
    Q_OBJECT

public:
    // Fills the form's preset and colour lists and takes over its Cut bar.
    explicit CutBar(UiFramzo *form);

    // What the bar says now.
    CutSettings settings() const;
    bool autoTurn() const;

    // With "auto" on, turns the two numbers to a photo of that size: a
    // portrait frame on a portrait photo. True when they were swapped.
    bool turnTo(const QSize &photo);

    // The bar's part of the settings store (the current group): the
    // numbers, the boxes, the colour and "auto".
    void load(QSettings &store);
    void save(QSettings &store) const;

signals:
    // The numbers, the boxes or the colour were changed.
    void changed(const CutSettings &settings);
    // A preset was chosen: the frames take its shape at once.
    void reshaped(const CutSettings &settings);
    // The turn button or the key O swapped the numbers: the frame of the
    // active window turns with them.
    void turned(const CutSettings &settings);
    // "auto" was switched on: the frame turns to the active photo.
    void autoTurnOn();

public slots:
    // The turn button and the key O.
    void turn();

private:
    void fillLists();
    void choosePreset(int index);
    // The preset list shows the preset the fields stand for.
    void showPreset();
    void tellChanged();
    // Swaps the two size fields, telling nothing: the caller does.
    void swapFields();

    UiFramzo *mForm;
    // Set while a preset fills the bar: its fields and boxes change one
    // after another, and the windows get the result once.
    bool mFilling = false;
};
