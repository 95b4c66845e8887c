#pragma once
// The naming and format rules of Save As, kept apart from the window so that
// they can be tested directly.

#include <QString>

namespace saveformats {

// The filter string of the save dialog, one entry per writable format.
QString filterString();

// The name the save dialog starts with: path without its image ending
// (".jpg", ".jpeg", ".bmp", ".tif", ".tiff", ".png", ".xpm", letter case
// ignored); any other path unchanged.
QString proposedName(const QString &path);

struct Target
{
    QString path;   // where to write
    QString format; // the program's format name: "JPEG", "BMP", "PNG", "TIF", "XPM"
};

// Where and how to write for the name and filter chosen in the dialog. A name
// that lacks one of the filter's endings (letter case ignored) gets the
// filter's ending. An empty filter is the dialog's first one; a filter that
// is none of ours is taken as the format name itself, with no ending added.
Target target(const QString &chosenName, const QString &chosenFilter);

} // namespace saveformats
