#pragma once
// The settings of one gallery run, taken from the texts as typed (the gallery
// window's fields, the command line's arguments) and checked once, here, so
// that the window, the command line and the run agree on what is refused and
// why.

#include <QSize>
#include <QString>

#include <optional>

class GallerySettings
{
public:
    // What is wrong with the settings. They are checked in this order and the
    // first problem found counts. A refused run still writes what it always
    // wrote up to the point where the problem shows (see GalleryRunner::run).
    enum class Problem {
        None,
        Name,    // the base name is empty, "." or "..", or holds a "/"
        Size,    // width or height is not a decimal integer
        Columns, // images per row is not a decimal integer of at least 1
    };

    // Which pages and images a run writes. Classic: an index table of
    // thumbnails and full-size copies in the source's format, pages as they
    // always were. Modern: HTML5 pages that fit any screen, with one
    // stylesheet, thumbnails at 1x and 2x, JPEG copies for screens of at
    // most 2048 pixels in sRGB, and no private metadata unless asked for.
    enum class Theme { Classic, Modern };
    // The theme of a name as typed ("classic", "modern"); none for any other.
    static std::optional<Theme> themeNamed(const QString &name);
    static QString themeName(Theme theme);

    // folder: where the gallery goes (null or empty: nowhere, a run does
    // nothing). baseName: B, used as typed. width, height, perRow: decimal
    // integers as text.
    GallerySettings(const QString &folder, const QString &baseName, const QString &width, const QString &height,
                    const QString &perRow, bool link, bool text);

    // The folder written into, ending in "/"; empty when there is none.
    QString folder() const { return mFolder; }
    bool hasFolder() const { return !mFolder.isEmpty(); }
    QString baseName() const { return mBase; }
    // folder + B + ".html" and folder + B + "/".
    QString indexPath() const;
    QString galleryFolder() const;

    // The box the thumbnails fit into; meaningful unless the problem is the
    // name or the size. A width or height of 0 or less makes no thumbnails.
    QSize thumbnailBox() const { return mBox; }
    // Cells per index row; meaningful when there is no problem.
    int perRow() const { return mPerRow; }
    bool link() const { return mLink; }
    bool text() const { return mText; }

    // Classic unless set.
    Theme theme() const { return mTheme; }
    void setTheme(Theme theme) { mTheme = theme; }
    // Modern: the original files are published too, byte for byte bar the
    // private metadata, and linked from the image pages (with the link
    // option). Off unless set.
    bool originals() const { return mOriginals; }
    void setOriginals(bool on) { mOriginals = on; }
    // Modern: the copies keep the GPS position, serial numbers and maker
    // notes of their photos. Off unless set: a published gallery gives away
    // neither where its photos were taken nor the camera that took them.
    bool keepMetadata() const { return mKeepMetadata; }
    void setKeepMetadata(bool on) { mKeepMetadata = on; }

    Problem problem() const { return mProblem; }
    // One line that says what is wrong, for the user; empty without a problem.
    QString reason() const { return mReason; }

private:
    void refuse(Problem problem, const QString &reason);

    QString mFolder;
    QString mBase;
    QSize mBox;
    int mPerRow = 0;
    bool mLink;
    bool mText;
    Theme mTheme = Theme::Classic;
    bool mOriginals = false;
    bool mKeepMetadata = false;
    Problem mProblem = Problem::None;
    QString mReason;
};
