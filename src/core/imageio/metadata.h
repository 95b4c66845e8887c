#pragma once
// A photo's metadata (EXIF, IPTC, XMP and its colour profile), read from
// one file and written into another through exiv2, so that a cut or a saved
// photo keeps the camera, the date it was taken, the place and its colours.

#include <QByteArray>
#include <QDateTime>
#include <QSize>
#include <QString>

#include <memory>

class Metadata
{
public:
    Metadata();
    ~Metadata();
    Metadata(Metadata &&other) noexcept;
    Metadata &operator=(Metadata &&other) noexcept;

    // The metadata of the file at path; empty when there is none or it
    // cannot be read (an unknown format, a broken file). JPEG, PNG, TIFF,
    // WebP and camera raw files are read by exiv2; HEIF, AVIF and JPEG XL
    // through their own libraries (heifreader, jxlreader), which hand out the
    // blocks that fromBlocks() reads.
    static Metadata read(const QString &path);

    // Metadata from the blocks a file holds: EXIF as a TIFF structure
    // (starting "II" or "MM"), an XMP packet, an ICC profile; any may be
    // empty, and one that cannot be read is left out.
    static Metadata fromBlocks(const QByteArray &exif, const QByteArray &xmp, const QByteArray &icc);

    // A JPEG's blocks read one by one, each broken one left out.
    static Metadata fromJpegBlocks(const QString &path);

    // Whether files in this Qt format can hold what is carried: JPEG, PNG,
    // TIFF and WebP can; BMP, XPM and the rest cannot.
    static bool heldBy(const QByteArray &qtFormat);

    bool isEmpty() const;
    // The EXIF orientation (1..8); 1 when none is recorded.
    int orientation() const;
    // The colour profile as recorded (ICC); empty when there is none.
    QByteArray iccProfile() const;
    // The profile to write with a picture of pixelSize: empty when it is far
    // larger than such a picture could need.
    QByteArray iccProfileFor(const QSize &pixelSize) const;
    // The main image's EXIF XResolution and YResolution (either standing in
    // for the other when only one is recorded) and ResolutionUnit (2 inch,
    // 3 centimetre, 1 none; 2 when not recorded). False when neither is
    // recorded as a number above 0.
    bool exifResolution(double *x, double *y, int *unit) const;
    // The small JPEG picture that cameras put into the EXIF for quick
    // previews (stored as the main picture is, before the orientation);
    // empty when there is none or it is not a JPEG.
    QByteArray exifThumbnail() const;

    // When the photo was taken: the EXIF DateTimeOriginal as the camera
    // recorded it, a clock time without a zone (given as UTC so that no
    // zone's rules move it); invalid when none is recorded.
    QDateTime dateTaken() const;

    // Drops what tells where a photo was taken and which camera took it:
    // the GPS position (EXIF, and XMP's GPS properties), the serial numbers
    // and owner's names that cameras record, and the maker notes (each
    // maker's own block, which holds serial numbers and more).
    void removePrivate();
    // The pixels were converted from the recorded colour profile to sRGB:
    // the profile no longer goes with them, and an EXIF colour space says
    // sRGB.
    void markSrgb();

    // file, a whole image file in memory, without what removePrivate()
    // drops; its pixels and everything else stay as they are. True when the
    // file holds none of it afterwards (also when it held none), false when
    // it holds some and cannot be rewritten, file then unchanged.
    static bool removePrivateFrom(QByteArray &file);

    // Writes the metadata into file (a whole image file in memory) as for
    // upright pixels of pixelSize: the orientation becomes 1, the embedded
    // thumbnail (it would show the uncut photo) is dropped, and the recorded
    // pixel dimensions become pixelSize. A PNG gets its colour profile from
    // its writer (exiv2 0.27 would write it without the name PNG requires,
    // and libpng then drops it). Returns false, with file unchanged,
    // when it cannot be written there.
    bool writeInto(QByteArray &file, const QSize &pixelSize) const;

private:
    struct Data;
    std::unique_ptr<Data> d;
};
