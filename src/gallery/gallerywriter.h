#pragma once
// Writes a static web gallery into a folder: the index page B.html with a
// table of thumbnails, and the folder B holding for every entry F its
// thumbnail preview_F and, with the link option, a re-encoded copy F and an
// image page F.html with links to its neighbours and back to the index.
//
// The writer needs no widgets: the gallery window hands over the texts of its
// fields, the command line hands over its arguments, and both get the same
// files. The entries' images are worked on one or two at a time; the files
// written are the same either way.

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

class GalleryWriter
{
public:
    struct Entry
    {
        QString name;   // F: names every output file of the entry
        QString source; // the image file, only ever read
    };

    // done images out of total; called on the thread that runs run().
    using Progress = std::function<void(int done, int total)>;

    // folder: where the gallery goes (a null or empty folder writes nothing).
    // baseName: B. width, height, perRow: the texts as typed; they must parse
    // as decimal integers (perRow at least 1).
    GalleryWriter(const QString &folder, const QString &baseName, const QString &width,
                  const QString &height, const QString &perRow, bool link, bool text,
                  const QList<Entry> &entries);

    // How many images may be decoded and encoded at the same time (each is
    // held in memory while it is worked on). 1 works strictly one after the
    // other; the default is 2. The output is the same for every value.
    void setParallelImages(int count);

    // Called with (0, total) before the first image, after every image, and
    // every tenth of a second while the images are being worked on, so that a
    // window can show how far the run is and keep repainting.
    void setProgress(Progress progress);

    // Writes the gallery. 0: finished, or nothing to do because there is no
    // folder. 1: refused or stopped: a base name that is empty, "." or ".."
    // or holds a "/" (nothing written), width
    // or height not a decimal integer (index lines 1 to 6 and the folder B
    // only), images per row not a decimal integer of at least 1 (everything
    // but the index rows).
    int run();

    // Files that could not be written by the last run (the folder B
    // included), in the order of the entries.
    QStringList failedFiles() const { return mFailed; }
    // Sources whose pixels could not be decoded in the last run; they get no
    // copy and no thumbnail, but their page and cell are written.
    QStringList unreadableSources() const { return mUnreadable; }

    // A name as it is put into the text of a page: & < > " as character
    // references, every non-ASCII character as a numeric one (&#1078;).
    static QString htmlText(const QString &name);
    // A name as it is put into an href or src value: # ? % \, control
    // characters and every byte of a non-ASCII character (UTF-8)
    // percent-encoded, then made safe as text. Pages are pure ASCII.
    static QString htmlUrl(const QString &name);

private:
    struct Job;
    struct JobResult;

    JobResult work(const Job &job) const;
    QByteArray imagePage(int index) const;
    QByteArray indexCell(const Entry &entry) const;
    void runJobs(const QList<Job> &jobs);

    QString mFolder;
    QString mBase;
    QString mWidthText;
    QString mHeightText;
    QString mPerRowText;
    bool mLink;
    bool mText;
    QList<Entry> mEntries;
    int mParallel = 2;
    Progress mProgress;

    // Set by run().
    int mWidth = 0;
    int mHeight = 0;
    QStringList mFailed;
    QStringList mUnreadable;
};
