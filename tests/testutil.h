#pragma once
// Helpers shared by the test programs: images made on the spot.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

namespace testutil {

// A w x h image with a gradient and a few marks, so that crops and
// rotations can be told apart.
QImage makeImage(int w, int h, QImage::Format format = QImage::Format_RGB32);

// Writes makeImage(w, h) to path in the given Qt format; returns success.
bool writeImage(const QString &path, int w, int h, const QByteArray &format, int quality = 95);

// The whole content of the file at path; empty when it cannot be read.
QByteArray readAll(const QString &path);

// Writes raw bytes to path; returns success.
bool writeBytes(const QString &path, const QByteArray &bytes);

// gallerycli::run (framzo --gallery) on these arguments, as a shell would
// hand them over; its exit status.
int galleryCli(const QStringList &args);

// The links of an HTML page's text as they are written: every href and src
// value and every URL of a srcset (character references not resolved).
QStringList pageLinks(const QString &html);

// Every href, src and srcset URL of the HTML pages below folder that does not lead to an
// existing file inside folder, read as a browser reads it (character
// references resolved, then the value taken as a URL relative to its page:
// one with a scheme of its own leads outside), as "page: value".
QStringList linksLeavingFolder(const QString &folder);

// Waits until the event loop has handled every event posted to this thread
// before the call (layouts, queued calls, deferred deletes): a queued call
// posted now runs after all of them. False when it did not run in time.
// What those events post in turn may still be waiting.
bool eventsHandled();

// tif (a whole TIFF file) with ImageWidth and ImageLength of its first
// directory set to w x h, as LONG values.
QByteArray tiffSized(QByteArray tif, quint32 w, quint32 h);

// The largest difference of a colour channel between two images of one size
// (in levels of 255), and in *mean the mean over every channel of every
// pixel; 256 for both when the sizes differ.
int difference(const QImage &a, const QImage &b, double *mean = nullptr);

// The CRC of PNG chunks and zip (ISO 3309).
quint32 crc32(const QByteArray &data);

// Empties the per-user settings store (the test environment points it at a
// folder of the test's own), so that every case starts as a first start.
void clearSettings();

} // namespace testutil
