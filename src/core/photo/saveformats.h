#pragma once
// The naming and format rules of Save As, kept apart from the window so that
// they can be tested directly.

#include <QByteArray>
#include <QString>

namespace saveformats {

// The filter string of the save dialog, one entry per writable format.
QString filterString();

// The name the save dialog starts with: path without its image ending
// (any ending of the format table: ".jpg", ".png", ".heic", ".dng", ...,
// letter case ignored), so that the dialog's format adds its own (a photo
// IMG_1.HEIC is proposed as IMG_1, and saved as IMG_1.jpg in the first
// format, JPEG); any other path unchanged.
QString proposedName(const QString &path);

// Whether Save may write the photo back into its own file, in its own
// format (qtFormat: its content's, as imageio::detect gives it): only where
// the program writes that format. For any other (GIF, HEIF, AVIF, JPEG XL,
// camera raw) Save must not replace the original with another format under
// its name: it asks for a Save As instead.
bool savesInPlace(const QByteArray &qtFormat);

struct Target
{
    QString path;   // where to write
    QString format; // the program's format name: "JPEG", "BMP", "PNG", "TIF", "XPM", "WEBP"
};

// Where and how to write for the name and filter chosen in the dialog. A name
// that lacks one of the filter's endings (letter case ignored) gets the
// filter's ending. An empty filter is the dialog's first one; a filter that
// is none of ours is taken as the format name itself, with no ending added.
Target target(const QString &chosenName, const QString &chosenFilter);

} // namespace saveformats
