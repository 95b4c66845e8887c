#include "core/gallery/galleryrunner.h"

#include "core/gallery/gallerypages.h"
#include "core/gallery/gallerypicture.h"
#include "core/gallery/modernpages.h"
#include "core/gallery/webimages.h"
#include "core/imageio/formats.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "core/imageio/metadata.h"
#include "core/base/pathutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QSet>

#include <array>
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
    // The files of an entry. Classic: Copy, Page and Thumbnail. Modern:
    // all, its Page written after the pictures.
    enum File { Copy, Page, Thumbnail, SmallCopy, Thumbnail2x, Original, FileCount };

    int index = 0;
    bool decode = true; // false: its pictures would repeat an earlier entry's
    std::array<QString, FileCount> paths;
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
    GalleryPicture picture; // modern: what was written
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
        QByteArray format;
        const QSize size = imageio::probeSize(entry.source, &format);
        // A camera raw file is developed at 16 bits a channel, beside
        // LibRaw's own picture of four and the sensor's data: some 24 bytes
        // a pixel at the peak, against 4 for a decoded JPEG.
        const int bytesPerPixel = format == "raw" ? 24 : 4;
        if (size.isValid())
            largest = qMax(largest, qint64(size.width()) * size.height() * bytesPerPixel);
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
    if (mSettings.problem() == Problem::Name || (modern() && mSettings.problem() != Problem::None))
        return result;

    const QString folder = mSettings.folder();
    const QString galleryFolder = folder + mSettings.baseName();
    // A link at B would take every file of the gallery wherever it points.
    const bool linked = QFileInfo(galleryFolder).isSymLink();
    if (linked || (!QDir(folder).mkdir(mSettings.baseName()) && !QFileInfo(galleryFolder).isDir()))
        result.failedFiles << galleryFolder;
    const QSet<QString> sources = sourceFiles();
    QList<GalleryPicture> pictures; // modern: what the pages show of each entry
    if (mSettings.problem() != Problem::Size && !linked) {
        const QSet<QString> closed = makeFolders(result);
        const QList<Job> planned = plan(sources, closed);
        const std::vector<JobResult> results = writeImages(result, planned, progress);
        if (modern())
            pictures = writeModernPages(result, planned, results, sources);
    }
    // The index last: it links to what was written before it.
    const QString indexPath = mSettings.indexPath();
    const QByteArray index = modern() ? modernpages::index(mSettings, mEntries, pictures)
                                      : gallerypages::index(mSettings, mEntries);
    if (replacesSource(indexPath, sources))
        result.sourceClashes.prepend(indexPath);
    else if (!imageio::writeFile(indexPath, index))
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

QSet<QString> GalleryRunner::makeFolders(Result &result) const
{
    // The modern files lie in folders of B by kind. One that is a link
    // stays closed: nothing of the gallery goes wherever it points.
    QSet<QString> closed;
    if (!modern())
        return closed;
    QStringList wanted;
    if (!mSettings.thumbnailBox().isEmpty())
        wanted << modernpages::thumbnailFile(QString()) << modernpages::thumbnail2xFile(QString());
    if (mSettings.link()) {
        wanted << modernpages::copyFile(QString()) << modernpages::smallCopyFile(QString());
        if (mSettings.originals())
            wanted << modernpages::originalFile(QString());
    }
    const QString galleryFolder = mSettings.galleryFolder();
    for (const QString &file : std::as_const(wanted)) {
        const QString folder = file.left(file.indexOf(QLatin1Char('/')));
        const QString path = galleryFolder + folder;
        if (QFileInfo(path).isSymLink()) {
            closed << folder;
            result.failedFiles << path;
        } else if (!QDir(galleryFolder).mkdir(folder) && !QFileInfo(path).isDir()) {
            result.failedFiles << path; // its files fail and are listed too
        }
    }
    return closed;
}

void GalleryRunner::planFiles(Job &job, const GalleryEntry &entry, const QSet<QString> &closedFolders) const
{
    const QString galleryFolder = mSettings.galleryFolder();
    const bool thumbnails = !mSettings.thumbnailBox().isEmpty();
    auto &paths = job.paths;
    if (!modern()) {
        // A photo in a format the program does not write is published
        // as a JPEG copy (and thumbnail) of a name of its own.
        const QString copy = gallerypages::copyName(entry.name);
        if (mSettings.link()) {
            paths[Job::Copy] = galleryFolder + copy;
            paths[Job::Page] = galleryFolder + entry.name + QStringLiteral(".html");
        }
        if (thumbnails)
            paths[Job::Thumbnail] = galleryFolder + QStringLiteral("preview_") + copy;
    } else {
        if (mSettings.link()) {
            paths[Job::Copy] = galleryFolder + modernpages::copyFile(entry.name);
            paths[Job::SmallCopy] = galleryFolder + modernpages::smallCopyFile(entry.name);
            paths[Job::Page] = galleryFolder + modernpages::pageFile(entry.name);
            if (mSettings.originals())
                paths[Job::Original] = galleryFolder + modernpages::originalFile(entry.name);
        }
        if (thumbnails) {
            paths[Job::Thumbnail] = galleryFolder + modernpages::thumbnailFile(entry.name);
            paths[Job::Thumbnail2x] = galleryFolder + modernpages::thumbnail2xFile(entry.name);
        }
        for (QString &path : paths) {
            const QString inside = path.mid(galleryFolder.size());
            if (inside.contains(QLatin1Char('/')) && closedFolders.contains(inside.section(QLatin1Char('/'), 0, 0)))
                path.clear();
        }
    }
}

QList<GalleryRunner::Job> GalleryRunner::plan(const QSet<QString> &sources, const QSet<QString> &closedFolders) const
{
    // Every entry's files are planned first, so that entries that share files
    // are never worked on at the same time and the result is the same as one
    // after the other.
    QList<Job> planned;
    planned.reserve(mEntries.size());
    QHash<QString, int> lastWriter;   // clash key -> index of the last entry writing it
    QHash<QString, int> lastWithName; // name -> index of the last entry with it
    for (int i = 0; i < mEntries.size(); ++i) {
        const GalleryEntry &entry = mEntries.at(i);
        Job job;
        job.index = i;
        auto &paths = job.paths;
        planFiles(job, entry, closedFolders);
        // No file of the gallery replaces one of its sources (the entry's
        // own, or another's that lies in the gallery folder).
        for (QString &path : paths) {
            if (!path.isEmpty() && replacesSource(path, sources)) {
                job.sourceClashes << path;
                path.clear();
            }
        }

        // The same image under the same name as the entry that last wrote
        // these files: its pictures would come out the same, so only the
        // page (whose neighbours differ) is written again.
        const QString source = clashKey(entry.source);
        const auto prev = lastWithName.constFind(entry.name);
        if (prev != lastWithName.constEnd() && clashKey(mEntries.at(*prev).source) == source
            && !lastWriter.contains(source)) {
            bool unchanged = true;
            for (int f = 0; f < Job::FileCount; ++f) {
                if (f != Job::Page && !paths[f].isEmpty() && lastWriter.value(clashKey(paths[f]), -1) != *prev)
                    unchanged = false;
            }
            if (unchanged) {
                job.decode = false;
                for (int f = 0; f < Job::FileCount; ++f) {
                    if (f != Job::Page)
                        paths[f].clear();
                }
            }
        }
        if (job.decode)
            job.input = source;
        for (const QString &path : std::as_const(paths)) {
            if (!path.isEmpty()) {
                const QString key = clashKey(path);
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
    const QString &copyPath = job.paths[Job::Copy];
    const QString &pagePath = job.paths[Job::Page];
    const QString &thumbPath = job.paths[Job::Thumbnail];

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
        // Copy and thumbnail keep the photo's format where the program
        // writes it; the rest (and what the pages name so) become JPEG.
        if (gallerypages::copyName(entry.name) != entry.name)
            format = "jpeg";
        else
            format = formats::writtenFormat(format);
    }

    if (!image.isNull() && !copyPath.isEmpty() && !imageio::write(image, copyPath, format))
        result.failed << copyPath;

    if (!pagePath.isEmpty() && !imageio::writeFile(pagePath, gallerypages::imagePage(mSettings, mEntries, job.index)))
        result.failed << pagePath;

    if (!image.isNull() && !thumbPath.isEmpty()) {
        const QSize size = imageio::scaleMin(image.size(), mSettings.thumbnailBox());
        // The full image is let go as soon as the thumbnail exists.
        image = size.isEmpty() ? QImage() : image.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        if (image.isNull() || !imageio::write(image, thumbPath, format))
            result.failed << thumbPath;
    }
    return result;
}

namespace {

bool publishOriginal(const QString &source, const QString &path, bool keepMetadata)
{
    QFile file(source);
    QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return !bytes.isEmpty() && (keepMetadata || Metadata::removePrivateFrom(bytes)) && imageio::writeFile(path, bytes);
}

} // namespace

GalleryRunner::JobResult GalleryRunner::workModern(const Job &job) const
{
    JobResult result;
    if (!job.decode)
        return result; // an earlier entry wrote the same pictures
    const GalleryEntry &entry = mEntries.at(job.index);
    const auto &paths = job.paths;
    const QSize box = mSettings.thumbnailBox();
    const bool copies = !paths[Job::Copy].isEmpty() || !paths[Job::SmallCopy].isEmpty();

    // One decode at the smallest scale that covers the largest picture:
    // a JPEG of 24 megapixels is decoded at half its size for its copy of
    // 2048 pixels, at an eighth for thumbnails alone.
    QSize full;
    QByteArray format;
    const QImage decoded = imageio::decodeReduced(
        entry.source,
        [&](const QSize &size) {
            return webimages::largest(webimages::sizesFor(size, box, copies)).expandedTo(QSize(1, 1));
        },
        &full, &format);
    if (decoded.isNull() || format.isEmpty() || full.isEmpty()) {
        // No pictures; the page and the cell say so.
        result.unreadable = true;
        return result;
    }

    webimages::Sizes sizes = webimages::sizesFor(full, box, copies);
    for (auto [size, file] : {std::pair{&sizes.copy, Job::Copy}, std::pair{&sizes.smallCopy, Job::SmallCopy},
                              std::pair{&sizes.thumbnail, Job::Thumbnail},
                              std::pair{&sizes.thumbnail2x, Job::Thumbnail2x}}) {
        if (paths[file].isEmpty())
            *size = QSize();
    }
    const webimages::Pictures pictures = webimages::make(decoded, sizes);

    // The copies carry the photo's metadata, as true of them (upright, their
    // size, sRGB when converted), without where it was taken and which
    // camera took it unless that is to be kept.
    Metadata meta;
    if (copies || !paths[Job::Original].isEmpty())
        meta = Metadata::read(entry.source);
    result.picture.taken = meta.dateTaken();
    if (!mSettings.keepMetadata())
        meta.removePrivate();
    if (pictures.converted)
        meta.markSrgb();

    auto publish = [&](const QImage &image, Job::File file, int quality, const Metadata *metadata, QSize *written) {
        if (image.isNull() || paths[file].isEmpty())
            return;
        if (imageio::writeWebJpeg(image, paths[file], quality, metadata))
            *written = image.size();
        else
            result.failed << paths[file];
    };
    GalleryPicture &picture = result.picture;
    publish(pictures.copy, Job::Copy, webimages::kCopyQuality, &meta, &picture.copy);
    publish(pictures.smallCopy, Job::SmallCopy, webimages::kCopyQuality, &meta, &picture.smallCopy);
    publish(pictures.thumbnail, Job::Thumbnail, webimages::kThumbnailQuality, nullptr, &picture.thumbnail);
    publish(pictures.thumbnail2x, Job::Thumbnail2x, webimages::kThumbnailQuality, nullptr, &picture.thumbnail2x);

    // The original as it is, bar the private metadata: an original whose
    // metadata holds some that cannot be taken out is not published.
    if (const QString &path = paths[Job::Original]; !path.isEmpty()) {
        if (publishOriginal(entry.source, path, mSettings.keepMetadata()))
            picture.original = full;
        else
            result.failed << path;
    }
    return result;
}

std::vector<GalleryRunner::JobResult> GalleryRunner::writeImages(Result &result, const QList<Job> &planned,
                                                                 const jobs::Progress &progress) const
{
    const int total = int(planned.size());
    std::vector<JobResult> results(static_cast<size_t>(total));
    if (progress)
        progress(0, total);

    // Images start in list order, at most parallelImages() at a time; an image that
    // reads or writes a file another running image writes waits until that
    // one is done.
    const bool modernPictures = modern();
    jobs::forEach(
        total, parallelImages(),
        [&](int i) { results[size_t(i)] = modernPictures ? workModern(planned.at(i)) : work(planned.at(i)); },
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
    return results;
}

QList<GalleryPicture> GalleryRunner::writeModernPages(Result &result, const QList<Job> &planned,
                                                      const std::vector<JobResult> &results,
                                                      const QSet<QString> &sources) const
{
    // What the files of each published name hold once every entry is
    // written: the last entry that wrote them, as one after the other (two
    // entries of one name, or "scan.png" and "scan.png.jpg", share them), so
    // that a page gives the sizes of the picture it shows. An entry that
    // could not be read shows no picture, whatever another entry left there.
    QHash<QString, GalleryPicture> byName;
    for (int i = 0; i < planned.size(); ++i) {
        if (planned.at(i).decode && !results[size_t(i)].unreadable)
            byName.insert(modernpages::jpegName(mEntries.at(i).name), results[size_t(i)].picture);
    }
    QList<GalleryPicture> pictures;
    pictures.reserve(mEntries.size());
    for (int i = 0; i < mEntries.size(); ++i) {
        pictures << (results[size_t(i)].unreadable ? GalleryPicture()
                                                   : byName.value(modernpages::jpegName(mEntries.at(i).name)));
    }

    const QString style = mSettings.galleryFolder() + modernpages::stylesheetFile();
    if (replacesSource(style, sources))
        result.sourceClashes << style;
    else if (!imageio::writeFile(style, modernpages::stylesheet(mSettings)))
        result.failedFiles << style;
    for (const Job &job : planned) {
        const QString &page = job.paths[Job::Page];
        if (!page.isEmpty()
            && !imageio::writeFile(page, modernpages::imagePage(mSettings, mEntries, pictures, job.index)))
            result.failedFiles << page;
    }
    return pictures;
}
