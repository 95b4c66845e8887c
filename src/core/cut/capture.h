#pragma once
// Capture without widgets: the frame mapped from canvas units to image
// pixels, the cut, the output path and the write. The image window calls
// captureFrame() and opens what it wrote.

#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <utility>

namespace capture {

// A rectangle in canvas units as image pixels: each value scaled by image
// size over canvas size (W / CW, H / CH), x and y below 0 taken as 0,
// truncated, then clipped to the image. An empty canvas, or a result too
// large for an image, gives a null rectangle. The cut frame keeps a size or
// ratio of its own on top of this (CutFrame::imageRect).
QRect imageRect(QSize imageSize, QSize canvasSize, double frameX, double frameY, int frameWidth,
                int frameHeight);

// The part of rect that lies on image, cut out of it: a cut never holds a
// pixel that is not the photo's. The source is not copied whole.
QImage cut(const QImage &image, const QRect &rect);

// captureDir followed by "/" and the source's file name, with every "//"
// collapsed (a folder given with a trailing "/", such as a drive root).
QString outputPath(const QString &captureDir, const QString &sourcePath);

// path itself when nothing of that name exists (no file, folder or
// symbolic link, even one pointing nowhere), else the first free
// "<stem>_<n>.<ext>" beside it (n = 1, 2, ...).
QString firstFreeName(const QString &path);

struct Result
{
    QString path;  // the file written; empty on failure
    QString error; // why nothing was written
    QSize size;    // the size of the cut written
    // Why the photo was passed over without a cut (too small for the print
    // size); nothing was written and nothing failed.
    QString skipped;
};

// What a cut is named: what becomes of an earlier cut of the same name in
// the capture folder, and an optional suffix put before the ending, so that
// cuts of one photo to several print sizes lie side by side.
struct Naming
{
    enum Earlier {
        Replace,     // the new cut replaces it
        KeepEarlier, // the new cut goes to the first free "<stem>_<n>.<ext>"
    };
    Naming(Earlier e = Replace, QString nameSuffix = {}) : earlier(e), suffix(std::move(nameSuffix)) {}
    bool operator==(Earlier e) const { return earlier == e; }

    Earlier earlier = Replace;
    QString suffix; // "13x9": IMG_0412.jpg is cut to IMG_0412_13x9.jpg; empty: none
};

// name with "_" and suffix put before its ending ("IMG_0412.jpg", "13x9"
// give "IMG_0412_13x9.jpg"; a name without ending gets it at its end); name
// itself when suffix is empty or would put a folder separator into it.
QString withSuffix(const QString &name, const QString &suffix);

// The suffix that names a print size or ratio: the two numbers as the frame
// has them, width first ("13x9", "9x13", "3x2"); empty when either is not a
// plain number above 0.
QString sizeSuffix(const QString &widthText, const QString &heightText);

// Cuts rect out of image and writes it into captureDir under the source's
// name, in the format of the source file's content (read from its header
// only); a source in a format the program does not write (HEIC, camera raw,
// GIF, ...) is cut to JPEG named like it with ".jpg" (formats::writtenName:
// IMG_1.HEIC gives IMG_1.jpg). A source lying in the capture folder itself is never replaced by
// its own cut-out: the cut then goes to the first free "<stem>_<n>.<ext>".
// Any other file of that name is replaced, atomically, unless naming keeps
// earlier cuts; naming's suffix goes into the name first; a symbolic link of that name is not written through (the
// error says so). The cut keeps the source's metadata and JPEG quality
// (imageio::writePhoto).
Result writeCut(const QImage &image, const QRect &rect, const QString &sourcePath, const QString &captureDir,
                const imageio::PhotoOptions &options = {}, Naming naming = Naming::Replace);

} // namespace capture
