#pragma once
// What the main window keeps in the settings store between runs: its
// folders, its geometry, the JPEG quality, the Browse dock's width, which
// bars show, Keep Earlier Cuts, colour management and the Cut bar's own part. Same
// organisation, product, groups and keys as always.

#include <QString>

#include <memory>

class CutBar;
class QSettings;
class UiFramzo;

struct MainSettings
{
    QString lastPath;
    QString capturePath;
    int jpegQuality = 0; // 1..100, or 0 for each source's own
    int browseWidth = 0; // 0: none stored
    bool sizeInCutNames = false; // cuts named IMG_0412_13x9.jpg

    // Reads the store into the form (its geometry, put on the screens there
    // are and written back put right; its bars; Keep Earlier Cuts), into the
    // Cut bar, and into the values returned. What the store lacks keeps the
    // form's own.
    static MainSettings load(QSettings &store, UiFramzo &form, CutBar &bar);
    // The geometry is written only when the window is not maximised; the
    // dock's width only when there is one.
    void save(QSettings &store, const UiFramzo &form, const CutBar &bar) const;
};
