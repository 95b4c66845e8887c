#include "core/cut/cutpresets.h"

#include "core/cut/framegeometry.h"

#include <QObject>

namespace cutpresets {

const QList<Preset> &all()
{
    static const QList<Preset> presets = {
        {9, 13, true},  {10, 15, true}, {13, 18, true}, {15, 20, true}, {20, 30, true},
        {9, 13, false}, {2, 3, false},  {3, 4, false},  {9, 16, false}, {1, 1, false},
    };
    return presets;
}

QString label(const Preset &preset)
{
    // Print sizes are named as the shops name them, ratios wide side first.
    if (preset.centimetres)
        return QObject::tr("%1 x %2 cm").arg(preset.shorter).arg(preset.longer);
    return QObject::tr("%1 : %2").arg(preset.longer).arg(preset.shorter);
}

int find(const CutSettings &settings)
{
    bool okW = false;
    bool okH = false;
    const double w = settings.widthText.trimmed().toDouble(&okW);
    const double h = settings.heightText.trimmed().toDouble(&okH);
    if (!okW || !okH)
        return -1;
    // Ratio fields are read as whole numbers: "13.0" is no ratio.
    if (!settings.useDpi) {
        settings.widthText.toInt(&okW, 10);
        settings.heightText.toInt(&okH, 10);
        if (!okW || !okH)
            return -1;
    }
    const QList<Preset> &presets = all();
    for (int i = 0; i < presets.size(); ++i) {
        const Preset &p = presets.at(i);
        if (p.centimetres != settings.useDpi)
            continue;
        if ((w == p.shorter && h == p.longer) || (w == p.longer && h == p.shorter))
            return i;
    }
    return -1;
}

CutSettings applied(const Preset &preset, const CutSettings &current)
{
    CutSettings s = current;
    const bool portrait
        = framegeometry::orientationOf(current.widthText, current.heightText) == framegeometry::Orientation::Portrait;
    s.widthText = QString::number(portrait ? preset.shorter : preset.longer);
    s.heightText = QString::number(portrait ? preset.longer : preset.shorter);
    s.useDpi = preset.centimetres;
    s.free = false;
    return s;
}

} // namespace cutpresets
