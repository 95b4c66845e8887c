#pragma once
// The one place where Framzo writes image files: every file goes through
// QSaveFile (a failed or interrupted write never leaves a half-written file
// where a good one stood), never through a symbolic link, and a photo keeps
// what it was (metadata, profile, JPEG quality).

#include <QByteArray>
#include <QImage>
#include <QString>

class Metadata;
class QSaveFile;

namespace imageio {

// Why nothing may be written at path, for the user; empty when it may be.
// A symbolic link stands there: a writer would write through it, replacing
// whatever file it points to (anywhere) or creating the one a dangling link
// names. Every writer here refuses such a path and leaves the link and its
// target as they are.
QString refusedTarget(const QString &path);

// Writes image to path in the given Qt format through QSaveFile, so that a
// failed or interrupted write never leaves a half-written file where a good
// one stood. quality -1 takes the format's default. Returns success; false
// also for a refused target (refusedTarget).
bool write(const QImage &image, const QString &path, const QByteArray &qtFormat, int quality = -1);

// Writes bytes (not empty) to path as write() writes an image.
bool writeFile(const QString &path, const QByteArray &bytes);

// How the photos the program makes (cuts, saved photos) are written.
struct PhotoOptions
{
    // The quality of the JPEGs it encodes, 1..100; 0 takes the source's own,
    // estimated from a JPEG source's quantisation tables, and 95 for a source
    // in another format.
    int jpegQuality = 0;
};

// Where the pixels of a photo to be written came from.
struct PhotoSource
{
    QString path; // the file they were decoded from; empty when none
    // The quarter turns clockwise when they are the only change made to the
    // decoded pixels (0: none at all); -1 when the pixels were changed
    // otherwise (cut, inverted, colours adjusted).
    int quarterTurns = -1;
};

// Writes image, derived from the photo source, to path in the given Qt
// format, as write() does, keeping what the photo was: its EXIF, IPTC, XMP
// and colour profile go along where the format holds them (JPEG, PNG, TIFF),
// with the orientation set to 1 (the pixels are upright), the embedded
// thumbnail dropped and the new pixel size recorded; its resolution stays.
// A JPEG is encoded with the source's quality and chroma subsampling (a
// JPEG source) or quality 95 and full colour (any other), unless options
// fix the quality. A JPEG whose only change is quarter turns is turned
// without decoding when its size allows a perfect transform. A source whose
// metadata cannot be read still gives the photo, without metadata.
bool writePhoto(const QImage &image, const QString &path, const QByteArray &qtFormat, const PhotoSource &source,
                const PhotoOptions &options = {});

// Writes image to path as a JPEG for web pages, as write() writes: encoded
// by TurboJPEG at quality (1..100) with 4:2:0 chroma (grey stays grey), with
// metadata, when given, put in as writePhoto() puts it (upright, the new
// pixel size, no thumbnail); metadata that cannot go in leaves the file
// without it.
bool writeWebJpeg(const QImage &image, const QString &path, int quality, const Metadata *metadata = nullptr);

// Commits file (open for writing) only when everything written reached the
// disk and no symbolic link has appeared at its name meanwhile; otherwise
// discards the temporary file, so the old file stays, and returns false.
// Qt 6.4's QSaveFile::commit() misses a write that fails as its buffer is
// flushed (a full disk) and would put the short file in place of the good
// one. Every QSaveFile of the program ends through here.
bool commitSaved(QSaveFile &file);

} // namespace imageio
