#include "core/gallery/galleryrunner.h"

#include "core/gallery/gallerypages.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "core/base/pathutil.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QSet>

#include <vector>

namespace {

// The key used to keep two images that are worked on at the same time from
// touching the same file. Case is folded so that a folder on a file system
// that ignores case is safe too; folding can only make two jobs wait for
// each other needlessly, never let them collide.
QString clashKey(const QString &path)
{
    return pathutil::absoluteClean(path).toCaseFolded();
}

// Whether writing path would replace one of sources (canonical paths): the
// same file under any name, links followed.
bool replacesSource(const QString &path, const QSet<QString> &sources)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return !canonical.isEmpty() && sources.contains(canonical);
}

} // namespace

// What one entry writes. Paths left empty are not written.
struct GalleryRunner::Job
{
    int index = 0;
    bool decode = true; // false: its copy and thumbnail would repeat an earlier entry's
    QString copyPath;
    QString pagePath;
    QString thumbPath;
    QSet<QString> outputs; // clash keys of the files it may write
    QString input;         // clash key of the file it reads, empty when it reads none
    QStringList sourceClashes; // its files not written: a source of the run is there

    // Whether the two may not be worked on at the same time.
    bool clashes(const Job &o) const
    {
        return outputs.intersects(o.outputs) || (!input.isEmpty() && o.outputs.contains(input))
            || (!o.input.isEmpty() && outputs.contains(o.input));
    }
};

struct GalleryRunner::JobResult
{
    QStringList failed;
    bool unreadable = false;
};

QString GalleryRunner::Result::problem() const
{
    if (refused())
        return reason;
    if (!sourceClashes.isEmpty())
        return QStringLiteral("%1 file(s) not written: each would have replaced one of the gallery's own images, "
                              "the first: %2")
            .arg(sourceClashes.size())
            .arg(sourceClashes.first());
    if (!failedFiles.isEmpty())
        return QStringLiteral("%1 file(s) could not be written, the first: %2")
            .arg(failedFiles.size())
            .arg(failedFiles.first());
    if (!unreadableSources.isEmpty())
        return QStringLiteral("%1 image(s) could not be read, the first: %2")
            .arg(unreadableSources.size())
            .arg(unreadableSources.first());
    return {};
}

GalleryRunner::GalleryRunner(const GallerySettings &settings, const QList<GalleryEntry> &entries)
    : mSettings(settings), mEntries(entries)
{
}

void GalleryRunner::setParallelImages(int count)
{
    mParallel = qMax(0, count);
}

int GalleryRunner::parallelImages() const
{
    if (mParallel > 0)
        return mParallel;
    // Each image is held whole while its copy and thumbnail are made; the
    // headers say how large the largest is.
    qint64 largest = 0;
    for (const GalleryEntry &entry : mEntries) {
        const QSize size = imageio::probeSize(entry.source);
        if (size.isValid())
            largest = qMax(largest, qint64(size.width()) * size.height() * 4);
    }
    return jobs::lanesWithin(largest);
}

QFuture<GalleryRunner::Result> GalleryRunner::start() const
{
    return jobs::start(jobs::Lane::Shared,
                       [runner = *this](const jobs::Progress &progress) { return runner.run(progress); });
}

GalleryRunner::Result GalleryRunner::run(const jobs::Progress &progress) const
{
    using Problem = GallerySettings::Problem;
    Result result;
    if (!mSettings.hasFolder())
        return result;
    result.outcome = mSettings.problem() == Problem::None ? Result::Outcome::Written : Result::Outcome::Refused;
    result.reason = mSettings.reason();
    if (mSettings.problem() == Problem::Name)
        return result;

    const QString folder = mSettings.folder();
    const QString galleryFolder = folder + mSettings.baseName();
    // A link at B would take every file of the gallery wherever it points.
    const bool linked = QFileInfo(galleryFolder).isSymLink();
    if (linked || (!QDir(folder).mkdir(mSettings.baseName()) && !QFileInfo(galleryFolder).isDir()))
        result.failedFiles << galleryFolder;
    const QSet<QString> sources = sourceFiles();
    if (mSettings.problem() != Problem::Size && !linked)
        writeImages(result, sources, progress);
    // The index last: it links to what was written before it.
    const QString indexPath = mSettings.indexPath();
    if (replacesSource(indexPath, sources))
        result.sourceClashes.prepend(indexPath);
    else if (!imageio::writeFile(indexPath, gallerypages::index(mSettings, mEntries)))
        result.failedFiles.prepend(indexPath);
    return result;
}

QSet<QString> GalleryRunner::sourceFiles() const
{
    QSet<QString> sources;
    for (const GalleryEntry &entry : mEntries) {
        const QString canonical = QFileInfo(entry.source).canonicalFilePath();
        if (!canonical.isEmpty())
            sources.insert(canonical);
    }
    return sources;
}

QList<GalleryRunner::Job> GalleryRunner::plan(const QSet<QString> &sources) const
{
    // Every entry's files are planned first, so that entries that share files
    // are never worked on at the same time and the result is the same as one
    // after the other.
    const QString galleryFolder = mSettings.galleryFolder();
    const bool thumbnails = !mSettings.thumbnailBox().isEmpty();
    QList<Job> planned;
    planned.reserve(mEntries.size());
    QHash<QString, int> lastWriter;   // clash key -> index of the last entry writing it
    QHash<QString, int> lastWithName; // name -> index of the last entry with it
    for (int i = 0; i < mEntries.size(); ++i) {
        const GalleryEntry &entry = mEntries.at(i);
        Job job;
        job.index = i;
        if (mSettings.link()) {
            job.copyPath = galleryFolder + entry.name;
            job.pagePath = galleryFolder + entry.name + QStringLiteral(".html");
        }
        if (thumbnails)
            job.thumbPath = galleryFolder + QStringLiteral("preview_") + entry.name;
        // No file of the gallery replaces one of its sources (the entry's
        // own, or another's that lies in the gallery folder).
        for (QString *path : {&job.copyPath, &job.pagePath, &job.thumbPath}) {
            if (!path->isEmpty() && replacesSource(*path, sources)) {
                job.sourceClashes << *path;
                path->clear();
            }
        }

        // The same image under the same name as the entry that last wrote
        // these files: the copy and the thumbnail would come out the same, so
        // only the page (whose neighbours differ) is written again.
        const QString source = clashKey(entry.source);
        const auto prev = lastWithName.constFind(entry.name);
        if (prev != lastWithName.constEnd() && clashKey(mEntries.at(*prev).source) == source
            && !lastWriter.contains(source)) {
            bool unchanged = true;
            for (const QString *path : {&job.copyPath, &job.thumbPath}) {
                if (!path->isEmpty() && lastWriter.value(clashKey(*path), -1) != *prev)
                    unchanged = false;
            }
            if (unchanged) {
                job.decode = false;
                job.copyPath.clear();
                job.thumbPath.clear();
            }
        }
        if (job.decode)
            job.input = source;
        for (const QString *path : {&job.copyPath, &job.pagePath, &job.thumbPath}) {
            if (!path->isEmpty()) {
                const QString key = clashKey(*path);
                job.outputs.insert(key);
                lastWriter.insert(key, i);
            }
        }
        lastWithName.insert(entry.name, i);
        planned << job;
    }
    return planned;
}

GalleryRunner::JobResult GalleryRunner::work(const Job &job) const
{
    JobResult result;
    const GalleryEntry &entry = mEntries.at(job.index);

    // One decode serves the copy and the thumbnail.
    QImage image;
    QByteArray format;
    if (job.decode) {
        image = imageio::decode(entry.source, &format);
        if (image.isNull() || format.isEmpty()) {
            // Not an image, or a header without decodable pixels: no copy and
            // no thumbnail, but the page and the cell still name them.
            result.unreadable = true;
            image = QImage();
        }
    }

    if (!image.isNull() && !job.copyPath.isEmpty() && !imageio::write(image, job.copyPath, format))
        result.failed << job.copyPath;

    if (!job.pagePath.isEmpty() && !imageio::writeFile(job.pagePath, gallerypages::imagePage(mSettings, mEntries, job.index)))
        result.failed << job.pagePath;

    if (!image.isNull() && !job.thumbPath.isEmpty()) {
        const QSize size = imageio::scaleMin(image.size(), mSettings.thumbnailBox());
        // The full image is let go as soon as the thumbnail exists.
        image = size.isEmpty() ? QImage() : image.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        if (image.isNull() || !imageio::write(image, job.thumbPath, format))
            result.failed << job.thumbPath;
    }
    return result;
}

void GalleryRunner::writeImages(Result &result, const QSet<QString> &sources, const jobs::Progress &progress) const
{
    const QList<Job> planned = plan(sources);
    const int total = int(planned.size());
    std::vector<JobResult> results(static_cast<size_t>(total));
    if (progress)
        progress(0, total);

    // Images start in list order, at most parallelImages() at a time; an image that
    // reads or writes a file another running image writes waits until that
    // one is done.
    jobs::forEach(
        total, parallelImages(), [&](int i) { results[size_t(i)] = work(planned.at(i)); },
        [&](int later, int earlier) { return planned.at(later).clashes(planned.at(earlier)); },
        [&](int done) {
            if (progress)
                progress(done, total);
        });

    for (int i = 0; i < total; ++i) {
        result.sourceClashes << planned.at(i).sourceClashes;
        result.failedFiles << results[size_t(i)].failed;
        if (results[size_t(i)].unreadable)
            result.unreadableSources << mEntries.at(planned.at(i).index).source;
    }
}
