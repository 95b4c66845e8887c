#include "ui/app/mainsettings.h"

#include "ui/app/cutbar.h"
#include "ui/app/windowplacement.h"
#include "ui/forms/uiframzo.h"

#include <QAction>
#include <QSettings>

#include <utility>

namespace {

// Put on the screens there are now, in 64 bits: the store may hold
// anything, and a window of 32767 x 32767 or one off every screen is no
// use. The geometry put right goes back to the store. The client geometry
// is kept, so a restored window keeps its place whatever the size of the
// platform's frame.
QRect placedGeometry(QSettings &s, const QRect &g)
{
    const QRect placed = windowplacement::placed(s.value(QStringLiteral("/PosX"), g.x()).toLongLong(),
                                                 s.value(QStringLiteral("/PosY"), g.y()).toLongLong(),
                                                 s.value(QStringLiteral("/SizeX"), g.width()).toLongLong(),
                                                 s.value(QStringLiteral("/SizeY"), g.height()).toLongLong(),
                                                 windowplacement::screens(), g.size());
    for (const auto &[key, value] : {std::pair{"/PosX", placed.x()}, std::pair{"/PosY", placed.y()},
                                     std::pair{"/SizeX", placed.width()}, std::pair{"/SizeY", placed.height()}}) {
        if (s.contains(QLatin1String(key)) && s.value(QLatin1String(key)).toLongLong() != value)
            s.setValue(QLatin1String(key), value);
    }
    return placed;
}

} // namespace

MainSettings MainSettings::load(QSettings &s, UiFramzo &form, CutBar &bar)
{
    MainSettings m;
    s.beginGroup(QStringLiteral("/AppSettings"));
    m.lastPath = s.value(QStringLiteral("/LastPath"), QString()).toString();
    m.capturePath = s.value(QStringLiteral("/CapturePath"), QString()).toString();
    const bool maximised = s.value(QStringLiteral("/Maximized"), false).toBool();
    form.setGeometry(placedGeometry(s, form.geometry()));
    if (maximised)
        form.setWindowState(form.windowState() | Qt::WindowMaximized);
    // 1..100 fixes the quality of the JPEGs written; 0 (and anything out of
    // range) takes each source's own.
    const int quality = s.value(QStringLiteral("/JpegQuality"), 0).toInt();
    m.jpegQuality = quality >= 1 && quality <= 100 ? quality : 0;
    m.browseWidth = qMax(0, s.value(QStringLiteral("/BrowseWidth"), 0).toInt());
    form.mpColourManage->setChecked(s.value(QStringLiteral("/ColourManagement"), true).toBool());
    form.mpThirds->setChecked(s.value(QStringLiteral("/RuleOfThirds"), false).toBool());
    s.endGroup();

    s.beginGroup(QStringLiteral("/CutSettings"));
    bar.load(s);
    form.mpKeepCuts->setChecked(s.value(QStringLiteral("/KeepEarlierCuts"), false).toBool());
    m.sizeInCutNames = s.value(QStringLiteral("/SizeInNames"), false).toBool();
    s.endGroup();

    s.beginGroup(QStringLiteral("/ToolSettings"));
    for (const auto &[key, action] : {std::pair{"/FileBar", form.mpShowFile}, std::pair{"/EditBar", form.mpShowEdit},
                                      std::pair{"/CutBar", form.mpShowCut}})
        action->setChecked(s.value(QLatin1String(key), action->isChecked()).toBool());
    s.endGroup();
    return m;
}

void MainSettings::save(QSettings &s, const UiFramzo &form, const CutBar &bar) const
{
    s.beginGroup(QStringLiteral("/AppSettings"));
    s.setValue(QStringLiteral("/LastPath"), lastPath);
    s.setValue(QStringLiteral("/CapturePath"), capturePath);
    s.setValue(QStringLiteral("/JpegQuality"), jpegQuality);
    if (browseWidth > 0)
        s.setValue(QStringLiteral("/BrowseWidth"), browseWidth);
    s.setValue(QStringLiteral("/ColourManagement"), form.mpColourManage->isChecked());
    s.setValue(QStringLiteral("/RuleOfThirds"), form.mpThirds->isChecked());
    const bool maximised = form.isMaximized();
    s.setValue(QStringLiteral("/Maximized"), maximised);
    if (!maximised) {
        const QRect g = form.geometry();
        s.setValue(QStringLiteral("/PosX"), g.x());
        s.setValue(QStringLiteral("/PosY"), g.y());
        s.setValue(QStringLiteral("/SizeX"), g.width());
        s.setValue(QStringLiteral("/SizeY"), g.height());
    }
    s.endGroup();

    s.beginGroup(QStringLiteral("/CutSettings"));
    bar.save(s);
    s.setValue(QStringLiteral("/KeepEarlierCuts"), form.mpKeepCuts->isChecked());
    s.setValue(QStringLiteral("/SizeInNames"), sizeInCutNames);
    s.endGroup();

    s.beginGroup(QStringLiteral("/ToolSettings"));
    s.setValue(QStringLiteral("/FileBar"), form.mpShowFile->isChecked());
    s.setValue(QStringLiteral("/EditBar"), form.mpShowEdit->isChecked());
    s.setValue(QStringLiteral("/CutBar"), form.mpShowCut->isChecked());
    s.endGroup();
    s.sync();
}
