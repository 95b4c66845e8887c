#pragma once
// The colour profile of the screen the program draws on, as the desktop's
// colour manager publishes it (the X11 root window's _ICC_PROFILE), so that
// photos are converted to what the screen shows rather than to a screen it
// is assumed to be.

#include <QByteArray>

namespace screenprofile {

// The ICC profile of the first screen, or empty (sRGB) where there is none:
// no X11 display (Wayland without XWayland, the offscreen platform), no
// colour manager, or a property too large to be a profile.
QByteArray read();

} // namespace screenprofile
