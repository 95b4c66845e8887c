#pragma once
// The Cut bar's presets: common print sizes in centimetres and common
// ratios. A preset names two numbers regardless of which way the frame
// lies; the Cut bar's fields take them in the orientation they had.

#include "core/cut/cutsettings.h"

#include <QList>
#include <QString>

namespace cutpresets {

struct Preset
{
    int shorter = 0; // the two numbers of the preset, the shorter side first
    int longer = 0;
    bool centimetres = false; // a print size ("use dpi"), else a ratio
};

// Every preset, the print sizes first, then the ratios.
const QList<Preset> &all();

// How the Cut bar's list names a preset: "9 x 13 cm" or "13 : 9".
QString label(const Preset &preset);

// The index in all() of the preset that settings stand for (the numbers
// either way round, in the matching mode), or -1 ("custom").
int find(const CutSettings &settings);

// current with the preset's numbers in the size fields, the longer side
// across unless current lay portrait, "use dpi" to match, and "free" off, so
// that the frame keeps the preset's shape.
CutSettings applied(const Preset &preset, const CutSettings &current);

} // namespace cutpresets
