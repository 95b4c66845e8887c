#pragma once
// Writes a static web gallery into a folder: the index page B.html and the
// folder B with the entries' files. In the classic theme: a table of
// thumbnails, and for every entry F its thumbnail preview_F and, with the
// link option, a re-encoded copy F and an image page F.html (the texts are
// gallerypages'). In the modern theme: the files modernpages names, its
// pages written once the pictures are made, since they give the pictures'
// sizes.
//
// The runner needs no widgets: the gallery window runs it in the background
// with start(), the command line and the tests with run(). The entries'
// images are worked on as many at a time as there are cores (within the
// memory the system has free); the files written are the same either way.

#include "core/gallery/galleryentry.h"
#include "core/gallery/gallerypicture.h"
#include "core/gallery/gallerysettings.h"
#include "core/base/jobs.h"

#include <QFuture>
#include <QList>
#include <QSet>
#include <QStringList>

#include <vector>

class GalleryRunner
{
public:
    struct Result
    {
        enum class Outcome {
            Written,     // the whole gallery, bar the files listed below
            NothingToDo, // no folder to write into
            Refused,     // the settings' problem; see run() for what was written
        };
        Outcome outcome = Outcome::NothingToDo;
        QString reason; // why it was refused
        // Files that could not be written (the folder B included), in the
        // order of the entries, the index first. A symbolic link at a name
        // the run writes is never written through: that file is listed
        // here, and the folder B when B is a link (nothing goes into it).
        QStringList failedFiles;
        // Files not written because one of the run's sources is there:
        // writing them would have replaced it. In the same order.
        QStringList sourceClashes;
        // Sources whose pixels could not be decoded; they get no copy and no
        // thumbnail, but their page and cell are written.
        QStringList unreadableSources;

        bool refused() const { return outcome == Outcome::Refused; }
        // One line on what went wrong (the refusal, else the sources kept
        // from being replaced, else the files not written, else the images
        // not read); empty when nothing did.
        QString problem() const;
    };

    GalleryRunner(const GallerySettings &settings, const QList<GalleryEntry> &entries);

    // How many images may be decoded and encoded at the same time (each is
    // held in memory while it is worked on). 1 works strictly one after the
    // other; 0, the default, takes one per core within half the free memory
    // (jobs::lanesWithin the largest image). The output is the same for
    // every value.
    void setParallelImages(int count);

    // Writes the gallery on the calling thread (and, for the images, free
    // threads of the shared pool) and returns when it is written. progress,
    // when given, hears (0, total) before the first image and (done, total)
    // after each.
    //
    // Without a folder nothing is written. A refused classic run writes what
    // it always wrote up to its problem: a bad name nothing; a bad size the
    // index's first six lines and the folder B; bad images per row every
    // image's files and the index's first six lines. A refused modern run
    // writes nothing.
    Result run(const jobs::Progress &progress = {}) const;

    // The same run on the shared pool: the future carries the result and
    // the progress.
    QFuture<Result> start() const;

private:
    struct Job;
    struct JobResult;

    bool modern() const { return mSettings.theme() == GallerySettings::Theme::Modern; }
    QList<Job> plan(const QSet<QString> &sources, const QSet<QString> &closedFolders) const;
    // The files an entry's job writes, before clashes are taken out.
    void planFiles(Job &job, const GalleryEntry &entry, const QSet<QString> &closedFolders) const;
    QSet<QString> sourceFiles() const;
    QSet<QString> makeFolders(Result &result) const;
    JobResult work(const Job &job) const;
    JobResult workModern(const Job &job) const;
    std::vector<JobResult> writeImages(Result &result, const QList<Job> &planned,
                                       const jobs::Progress &progress) const;
    QList<GalleryPicture> writeModernPages(Result &result, const QList<Job> &planned, const std::vector<JobResult> &results,
                          const QSet<QString> &sources) const;

    GallerySettings mSettings;
    QList<GalleryEntry> mEntries;
    // How many images at a time for the run.
    int parallelImages() const;

    int mParallel = 0;
};
