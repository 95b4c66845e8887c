#pragma once
// Colours as they are meant to be seen: an image's pixels converted from the
// profile they were recorded in (the ICC profile a file embeds, or the
// colour description a format carries, both as the image's QColorSpace;
// an untagged image is sRGB) to the screen's, through Little CMS. Only what
// is drawn is converted (display copies, the folder tree's preview, the
// gallery window's icons); cuts and saves keep the file's own numbers and
// profile.
//
// Transforms are kept per source and target profile, so that stepping
// through a folder of photos from one camera builds one. Everything here
// may be called from any thread.

#include <QByteArray>
#include <QImage>

namespace colourmanage {

// image converted from its own colour space to the ICC profile target
// (empty: sRGB), in place where its pixel format allows (RGB32, ARGB32,
// RGB888; other formats become RGB32 or ARGB32 first, a grey image with a
// grey profile becomes RGB32), and tagged with target. Nothing is done, and
// false returned, when the image is null, already in target's colours (an
// sRGB photo on an sRGB screen), or either profile cannot be used.
bool convert(QImage &image, const QByteArray &target = {});
// Whether icc is an ICC profile Little CMS can open (junk is not).
bool opens(const QByteArray &icc);

// The same into a copy; image is left as it is.
QImage converted(const QImage &image, const QByteArray &target = {});

// What is drawn on screen: colour management on or off, and the screen's
// profile (empty: sRGB). Set by the program on the GUI thread (its start, the
// View menu); read by the workers that make what is drawn.
void setDisplay(bool enabled, const QByteArray &screenProfile);
bool displayEnabled();
QByteArray screenProfile();
// Counts the changes of setDisplay: an image made for display under another
// count is in other colours than the ones shown now.
quint64 displayGeneration();

// Whether toDisplay would change image's pixels: colour management on, and
// the image in other colours than the screen's.
bool changedForDisplay(const QImage &image);

// image converted for the screen as the display is set (nothing when colour
// management is off). Returns the displayGeneration() it was made under.
quint64 toDisplay(QImage &image);

} // namespace colourmanage
