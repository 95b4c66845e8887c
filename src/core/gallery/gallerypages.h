#pragma once
// The texts of a gallery's pages, made from its settings and entries alone:
// no files are read or written here.
//
// Pages are plain ASCII with one line feed after each line. Names reach them
// escaped: as text with & < > " and every non-ASCII letter as character
// references, in links also percent-encoded where a browser would read them
// otherwise.

#include "core/gallery/galleryentry.h"

#include <QByteArray>
#include <QList>
#include <QString>

class GallerySettings;

namespace gallerypages {

// The index page B.html: its head and a table of one cell per entry, rows of
// settings.perRow() cells. Settings that refuse the run give the head alone
// (the first six lines: up to the table's start).
QByteArray index(const GallerySettings &settings, const QList<GalleryEntry> &entries);

// The page of entries[i] (written with the link option): the full image and
// the links to the entries before and after it and back to the index.
QByteArray imagePage(const GallerySettings &settings, const QList<GalleryEntry> &entries, int i);

// The name of an entry's copy and, after "preview_", its thumbnail: the
// entry's name, or for a photo in a format the program does not write
// (HEIC, camera raw, GIF, ...; told by its ending) that name with ".jpg"
// added, since those are written as JPEG (IMG_1.HEIC.jpg: the copy of
// IMG_1.HEIC never meets that of an IMG_1.jpg beside it).
QString copyName(const QString &name);

// A name as it is put into the text of a page: & < > " as character
// references, every non-ASCII character as a numeric one (&#1078;).
QString htmlText(const QString &name);
// A name as it is put into an href or src value: # ? % \ :, control
// characters and every byte of a non-ASCII character (UTF-8)
// percent-encoded, then made safe as text. The result never reads as a URL
// with a scheme: every link of the pages stays relative.
QString htmlUrl(const QString &name);

} // namespace gallerypages
