#pragma once
// Sample photos in the newer formats, for the tests, the benchmark, the
// fuzzer's seeds and the end-to-end check: each made from a picture of ours
// with a camera's metadata (make, model, date, orientation), by the field's
// own encoders run as programs (heif-enc, avifenc, cjxl, cwebp) or, where no
// program makes what is needed, by code here (a Bayer DNG; an HEIC whose
// turn is its own rotation box, through libheif's encoder). Never part of
// the program.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

namespace samples {

// What the samples' metadata says.
struct Camera
{
    QByteArray make = "Framzo Samples";
    QByteArray model = "Test Camera 7";
    QByteArray date = "2024:05:06 07:08:09"; // the date taken (DateTimeOriginal)
};

// A JPEG of image (quality 95) carrying the camera's EXIF with the given
// orientation (1..8), and the ICC profile when one is given.
QByteArray cameraJpeg(const QImage &image, int orientation = 1, const QByteArray &icc = {},
                      const Camera &camera = {});

// A DNG of image as a camera's sensor would have recorded it: the linear
// light of its sRGB pixels behind an RGGB colour filter, 16 bits a sample,
// uncompressed, with a colour matrix that makes the camera's colours sRGB's,
// neutral white balance, the camera's make, model and date and the given
// orientation, and 300 dpi. With previewLongSide > 0 it holds a JPEG
// preview of that many pixels along its longer side (no more than the
// picture has), as cameras do: of the picture itself, or of previewPicture
// when one is given (a test can then tell which of the two it was shown). The
// picture is stored as it is; the orientation says how it is to be turned.
QByteArray dng(const QImage &image, int orientation = 1, int previewLongSide = 0, const Camera &camera = {},
               const QImage &previewPicture = {});

// An HEIC whose orientation (1..8) is carried by its own rotation and
// mirror boxes, made with libheif's encoder from image (stored as it is,
// like a phone's sensor's picture), with the camera's EXIF saying the same
// orientation (as phones write it). Empty when libheif has no HEVC encoder;
// *why says so.
QByteArray heicTurned(const QImage &image, int orientation, QString *why);

// The formats write() makes: "heif", "avif", "jxl", "webp" and "raw" (DNG).
QStringList formats();

// Writes image into path in format (see formats()), with the camera's
// metadata and the given orientation (for "avif" and "jxl" the encoder
// turns it into the format's own; for "heif" only the EXIF says it, which
// the format ignores, as heif-enc 1.15 writes it), and the ICC profile when
// one is given (not for "raw"). False with *why when it cannot be made,
// naming a missing encoder ("heif-enc is not installed (libheif-examples)").
bool write(const QString &path, const QByteArray &format, const QImage &image, int orientation, QString *why,
           const QByteArray &icc = {});

// Runs program with args (an encoder), at most the given seconds; empty
// when it ran and succeeded, else why not.
QString run(const QString &program, const QStringList &args, int seconds = 120);

} // namespace samples
