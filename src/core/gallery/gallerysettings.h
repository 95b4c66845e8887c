#pragma once
// The settings of one gallery run, taken from the texts as typed (the gallery
// window's fields, the command line's arguments) and checked once, here, so
// that the window, the command line and the run agree on what is refused and
// why.

#include <QSize>
#include <QString>

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
    Problem mProblem = Problem::None;
    QString mReason;
};
