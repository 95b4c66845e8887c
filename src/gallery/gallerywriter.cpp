#include "gallery/gallerywriter.h"

#include "imageio/imageio.h"
#include "imageio/pathutil.h"

#include <QDir>
#include <QFileInfo>
#include <QFuture>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QThreadPool>
#include <QWaitCondition>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>
#include <vector>

namespace {

const char kBody[] = "<body text=\"#000000\" bgcolor=\"#FFFFFF\" link=\"#FF0000\" alink=\"#FF0000\" "
                     "vlink=\"#FF0000\">\n";

QByteArray bytes(const QString &text)
{
    return text.toLocal8Bit();
}

// Writes a page through QSaveFile: a page that cannot be written completely
// leaves the old one in place.
bool writeFile(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return imageio::commitSaved(file);
}

// The key used to keep two images that are worked on at the same time from
// touching the same file. Case is folded so that a folder on a file system
// that ignores case is safe too; folding can only make two jobs wait for
// each other needlessly, never let them collide.
QString clashKey(const QString &path)
{
    return pathutil::absoluteClean(path).toCaseFolded();
}

} // namespace

// What one entry writes. Paths left empty are not written.
struct GalleryWriter::Job
{
    int index = 0;
    bool decode = true; // false: its copy and thumbnail would repeat an earlier entry's
    QString copyPath;
    QString pagePath;
    QString thumbPath;
    QSet<QString> outputs; // clash keys of the files it may write
    QString input;         // clash key of the file it reads, empty when it reads none
};

struct GalleryWriter::JobResult
{
    QStringList failed;
    bool unreadable = false;
};

GalleryWriter::GalleryWriter(const QString &folder, const QString &baseName, const QString &width,
                             const QString &height, const QString &perRow, bool link, bool text,
                             const QList<Entry> &entries)
    : mFolder(folder)
    , mBase(baseName)
    , mWidthText(width)
    , mHeightText(height)
    , mPerRowText(perRow)
    , mLink(link)
    , mText(text)
    , mEntries(entries)
{
}

void GalleryWriter::setParallelImages(int count)
{
    mParallel = qMax(1, count);
}

void GalleryWriter::setProgress(Progress progress)
{
    mProgress = std::move(progress);
}

QString GalleryWriter::htmlText(const QString &name)
{
    // Non-ASCII letters as numeric references: the page then reads the same
    // in whatever encoding a browser takes it to be in.
    QString out;
    out.reserve(name.size());
    const QList<uint> codePoints = name.toUcs4();
    for (const uint c : codePoints) {
        switch (c) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        default:
            if (c < 0x80)
                out += QChar(char16_t(c));
            else
                out += QStringLiteral("&#%1;").arg(c);
        }
    }
    return out;
}

QString GalleryWriter::htmlUrl(const QString &name)
{
    // Without this a '#' or '?' would end the path part of the link, and a
    // '%' would start an escape, so the link would miss its file. Browsers
    // drop tabs and line breaks from links and read '\' as '/'. Every byte
    // of a non-ASCII letter is escaped too (UTF-8, as file URLs are read):
    // written raw, a browser that takes the page for another encoding would
    // look for a file of another name.
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = name.toUtf8();
    QString out;
    out.reserve(utf8.size());
    for (const char ch : utf8) {
        const uchar b = uchar(ch);
        if (b >= 0x80 || b < 0x20 || b == 0x7F || b == '%' || b == '#' || b == '?' || b == '\\') {
            out += QLatin1Char('%');
            out += QLatin1Char(hex[b >> 4]);
            out += QLatin1Char(hex[b & 0xF]);
        } else {
            out += QLatin1Char(ch);
        }
    }
    return htmlText(out);
}

QByteArray GalleryWriter::indexCell(const Entry &entry) const
{
    const QString b = htmlUrl(mBase);
    const QString f = htmlUrl(entry.name);
    QString cell = QStringLiteral("<td>");
    if (mLink)
        cell += QStringLiteral("<a href=\"") + b + QLatin1Char('/') + f + QStringLiteral(".html\">");
    cell += QStringLiteral("<img src=\"") + b + QStringLiteral("/preview_") + f
        + QStringLiteral("\" alt=\"\" border=\"0\">");
    if (mLink)
        cell += QStringLiteral("</a>\n");
    if (mText)
        cell += QStringLiteral("<br>") + htmlText(entry.name);
    cell += QStringLiteral("</td>\n");
    return bytes(cell);
}

QByteArray GalleryWriter::imagePage(int index) const
{
    const QString f = mEntries.at(index).name;
    QByteArray page;
    page += "<html>\n<head>\n";
    page += bytes(QStringLiteral("<title>") + htmlText(f) + QStringLiteral("</title>\n"));
    page += "</head>\n";
    page += kBody;
    page += "<div align=\"center\">\n";
    page += bytes(QStringLiteral("<img src=\"") + htmlUrl(f) + QStringLiteral("\" alt=\"\" border=\"0\"><br>\n"));
    if (index > 0)
        page += bytes(QStringLiteral("<a href=\"") + htmlUrl(mEntries.at(index - 1).name)
                      + QStringLiteral(".html\">last</a>  \n"));
    page += bytes(QStringLiteral("<a href=\"../") + htmlUrl(mBase) + QStringLiteral(".html\">gallery</a>  \n"));
    if (index + 1 < mEntries.size())
        page += bytes(QStringLiteral("<a href=\"") + htmlUrl(mEntries.at(index + 1).name)
                      + QStringLiteral(".html\">next</a>  \n"));
    page += "</div>\n</body>\n</html>\n";
    return page;
}

GalleryWriter::JobResult GalleryWriter::work(const Job &job) const
{
    JobResult result;
    const Entry &entry = mEntries.at(job.index);

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

    if (!job.pagePath.isEmpty() && !writeFile(job.pagePath, imagePage(job.index)))
        result.failed << job.pagePath;

    if (!image.isNull() && !job.thumbPath.isEmpty()) {
        const QSize size = imageio::scaleMin(image.size(), QSize(mWidth, mHeight));
        if (!size.isEmpty()) {
            // The full image is let go as soon as the thumbnail exists.
            image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
            if (image.isNull() || !imageio::write(image, job.thumbPath, format))
                result.failed << job.thumbPath;
        }
    }
    return result;
}

int GalleryWriter::run()
{
    mFailed.clear();
    mUnreadable.clear();

    if (mFolder.isEmpty())
        return 0;
    // The base name must name a folder inside the current one: empty, "."
    // or ".." would put the copies among the images of the current folder
    // (or its parent) and replace those of the same name, and a "/" would
    // leave the index's links pointing one folder too deep.
    if (mBase.isEmpty() || mBase == QLatin1String(".") || mBase == QLatin1String("..")
        || mBase.contains(QLatin1Char('/')))
        return 1;

    const QString folder = pathutil::withTrailingSlash(mFolder);
    const QString indexPath = folder + mBase + QStringLiteral(".html");
    const QString galleryFolder = folder + mBase + QLatin1Char('/');

    QByteArray index;
    index += "<html>\n<head>\n";
    index += bytes(QStringLiteral("<title>") + htmlText(mBase) + QStringLiteral("</title>\n"));
    index += "</head>\n";
    index += kBody;
    index += "<table>\n";

    auto finishIndex = [&](int result) {
        if (!writeFile(indexPath, index))
            mFailed.prepend(indexPath);
        return result;
    };

    if (!QDir(folder).mkdir(mBase) && !QFileInfo(folder + mBase).isDir())
        mFailed << folder + mBase;

    bool ok = false;
    mWidth = mWidthText.toInt(&ok, 10);
    if (!ok)
        return finishIndex(1);
    mHeight = mHeightText.toInt(&ok, 10);
    if (!ok)
        return finishIndex(1);

    // Plan every entry's files first, so that entries that share files are
    // never worked on at the same time and the result is the same as one
    // after the other.
    const bool thumbnails = mWidth > 0 && mHeight > 0;
    QList<Job> jobs;
    jobs.reserve(mEntries.size());
    QHash<QString, int> lastWriter;   // clash key -> index of the last entry writing it
    QHash<QString, int> lastWithName; // name -> index of the last entry with it
    for (int i = 0; i < mEntries.size(); ++i) {
        const Entry &entry = mEntries.at(i);
        Job job;
        job.index = i;
        if (mLink) {
            job.copyPath = galleryFolder + entry.name;
            job.pagePath = galleryFolder + entry.name + QStringLiteral(".html");
        }
        if (thumbnails)
            job.thumbPath = galleryFolder + QStringLiteral("preview_") + entry.name;
        // An entry's files never replace its own source.
        for (QString *path : {&job.copyPath, &job.pagePath, &job.thumbPath}) {
            if (!path->isEmpty() && pathutil::sameFile(*path, entry.source))
                path->clear();
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
        jobs << job;
    }

    runJobs(jobs);

    const int perRow = mPerRowText.toInt(&ok, 10);
    // A row must take at least one cell, or the table would never end.
    if (!ok || perRow < 1)
        return finishIndex(1);

    for (int i = 0; i < mEntries.size();) {
        index += "<tr align=\"center\">\n";
        for (int cells = 0; cells < perRow && i < mEntries.size(); ++cells, ++i)
            index += indexCell(mEntries.at(i));
        index += "</tr>\n";
    }
    index += "</table>\n</body>\n</html>\n";
    return finishIndex(0);
}

void GalleryWriter::runJobs(const QList<Job> &jobs)
{
    const int total = jobs.size();
    auto report = [&](int done) {
        if (mProgress)
            mProgress(done, total);
    };
    std::vector<JobResult> results(total);

    report(0);
    if (mParallel <= 1 || total <= 1) {
        for (int i = 0; i < total; ++i) {
            results[i] = work(jobs.at(i));
            report(i + 1);
        }
    } else {
        // Images start in list order, at most mParallel at a time; an image
        // that reads or writes a file another running image writes waits
        // until that one is done.
        QThreadPool pool;
        pool.setMaxThreadCount(mParallel);
        QMutex mutex;
        QWaitCondition finishedOne;
        std::vector<char> finished(total, 0);
        QList<QFuture<void>> futures;
        QList<int> running;
        int next = 0;
        int done = 0;

        auto clash = [&](int candidate) {
            const Job &b = jobs.at(candidate);
            for (const int r : running) {
                const Job &a = jobs.at(r);
                if (a.outputs.intersects(b.outputs) || (!b.input.isEmpty() && a.outputs.contains(b.input))
                    || (!a.input.isEmpty() && b.outputs.contains(a.input)))
                    return true;
            }
            return false;
        };

        while (done < total) {
            while (next < total && running.size() < mParallel && !clash(next)) {
                const int j = next++;
                running << j;
                futures << QtConcurrent::run(&pool, [&, j] {
                    JobResult r = work(jobs.at(j));
                    QMutexLocker lock(&mutex);
                    results[j] = std::move(r);
                    finished[j] = 1;
                    finishedOne.wakeAll();
                });
            }

            QMutexLocker lock(&mutex);
            auto anyFinished = [&] {
                for (const int r : running) {
                    if (finished[r])
                        return true;
                }
                return false;
            };
            while (!anyFinished()) {
                if (!finishedOne.wait(&mutex, 100)) {
                    lock.unlock();
                    report(done);
                    lock.relock();
                }
            }
            for (auto it = running.begin(); it != running.end();) {
                if (finished[*it]) {
                    ++done;
                    it = running.erase(it);
                } else {
                    ++it;
                }
            }
            lock.unlock();
            report(done);
        }
        for (QFuture<void> &f : futures)
            f.waitForFinished();
    }

    for (int i = 0; i < total; ++i) {
        mFailed << results[i].failed;
        if (results[i].unreadable)
            mUnreadable << mEntries.at(jobs.at(i).index).source;
    }
}
