#pragma once
// The texts of a modern gallery: HTML5 pages that fit any screen from a
// phone to a large desktop, and their one stylesheet. Made from the
// settings, the entries and what was written of each (GalleryPicture)
// alone: no files are read or written here.
//
// Pages are plain ASCII, as the classic ones: names reach them through
// gallerypages::htmlText and gallerypages::htmlUrl, and in links also with
// spaces and commas escaped, which a srcset would otherwise split at.
//
// The files of an entry named F lie in the gallery folder B:
//   F.html              its page (with the link option)
//   2048/F.jpg          copy for large screens      } F without .jpg added
//   1024/F.jpg          copy for small screens      } when F ends in .jpg
//   thumbs/F.jpg        thumbnail                   } or .jpeg already
//   thumbs-2x/F.jpg     thumbnail for dense screens }
//   originals/F         the original file (with --originals)
// and style.css beside them.

#include "core/gallery/galleryentry.h"
#include "core/gallery/gallerypicture.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class GallerySettings;

namespace modernpages {

// The name of an entry's published JPEGs.
QString jpegName(const QString &name);

// Paths relative to the gallery folder.
QString copyFile(const QString &name);
QString smallCopyFile(const QString &name);
QString thumbnailFile(const QString &name);
QString thumbnail2xFile(const QString &name);
QString originalFile(const QString &name);
QString pageFile(const QString &name);
QString stylesheetFile();

// The index page B.html: a grid of thumbnails that fills the width of the
// screen. pictures[i] belongs to entries[i].
QByteArray index(const GallerySettings &settings, const QList<GalleryEntry> &entries,
                 const QList<GalleryPicture> &pictures);

// The page of entries[i]: its photo fitted to the screen, its caption, the
// links to the pages before and after it and to the index.
QByteArray imagePage(const GallerySettings &settings, const QList<GalleryEntry> &entries,
                     const QList<GalleryPicture> &pictures, int i);

// The stylesheet, with the thumbnail box of settings.
QByteArray stylesheet(const GallerySettings &settings);

} // namespace modernpages
