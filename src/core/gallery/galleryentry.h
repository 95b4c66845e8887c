#pragma once
// One image of a gallery, in the gallery's order.

#include <QString>

struct GalleryEntry
{
    QString name;   // F: names every output file of the entry
    QString source; // the image file, only ever read
};
