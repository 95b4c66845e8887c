// framzo_bench: times what Framzo does with large photos next to the
// command-line programs that do the same work (djpeg/cjpeg of libjpeg-turbo,
// netpbm's pamscale, vips, llgal), in the same run, and prints one table. Built and run by
// `make bench` (tools/bench.sh); not part of the normal build or the tests.
//
//   framzo_bench --data DIR [--runs N] [--only CASE,...]
//   cases: open, step, burst, edit, capture, turn, gallery, modern, list, memory, screen, heic, raw
//
// The test photos are made once into DIR: JPEGs by libjpeg-turbo; a 12 MP
// HEIC by heif-enc (libheif's encoder, one HEVC picture: phones write grids
// of tiles, which heif-enc 1.15 cannot); a 24 MP DNG by tools/samples (a
// Bayer sensor's data, 16 bits a sample, with a 2048-pixel JPEG preview, as
// cameras store one). Every Framzo time is measured in
// this process through the code the program itself runs; a peer's time is the
// wall time of its process. Each figure is the median of N runs (default 5;
// the gallery runs ceil(N/2) times), the two sides taking turns.

#include "ui/app/framzo.h"
#include "ui/browse/browsebar.h"
#include "ui/forms/dialogs.h"
#include "ui/forms/uiframzo.h"
#include "core/gallery/galleryrunner.h"
#include "ui/gallery/html.h"
#include "core/base/jobs.h"
#include "core/imageio/colourmanage.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "ui/images/mimesourcefactory.h"
#include "peers.h"
#include "photos.h"
#include "samples.h"
#include "core/cut/capture.h"
#include "core/photo/displaycopy.h"
#include "core/photo/imageedits.h"
#include "ui/picture/picture.h"
#include "core/photo/prefetcher.h"

#include <QApplication>
#include <QColorSpace>
#include <QComboBox>
#include <QScrollBar>
#include <QThreadPool>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsView>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

// ---- test data --------------------------------------------------------------

// Bump when the photos change, so that old caches are made again.
const char kDataVersion[] = "framzo-bench-data 2";

constexpr int kStepCount = 12;    // 24 MP photos in the stepping folder
constexpr int kGalleryCount = 40; // 12 MP photos for the gallery
constexpr int kTreeFiles = 2000;  // files in the folder the tree expands
constexpr int kListCount = 500;   // photos in the folder the gallery window lists

struct Data
{
    QString root;
    QString alone;        // a 24 MP photo alone in its folder
    QString aloneRestart; // the same with restart markers, as a camera writes it
    QString cameraFolder; // the stepping folder's photos with restart markers
    QString stepFolder;   // kStepCount 24 MP photos
    QString galleryFolder; // kGalleryCount 12 MP photos
    QString big;          // a 50 MP photo alone in its folder
    QString treeFolder;   // kTreeFiles files: photos, small PNGs, side files
    QString listFolder;   // kListCount photos IMG_0001.jpg ... (links to the gallery's)
    QString heic;         // a 12 MP HEIC alone in its folder
    QString dng;          // a 24 MP DNG with a JPEG preview, alone in its folder
    QString stepPhoto(int i) const { return stepFolder + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0')); }
    QString cameraPhoto(int i) const
    {
        return cameraFolder + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
    }
    QString galleryPhoto(int i) const
    {
        return galleryFolder + QStringLiteral("/P_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
    }
};

bool hardLink(const QString &from, const QString &to)
{
    QFile::remove(to);
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
        || QFile::copy(from, to);
}

// The camera-like photos: the stepping folder's with a restart marker after
// every MCU row, as many cameras write them (jpegtran adds them without a
// new encode). Made once, beside the others.
bool prepareCamera(Data &d)
{
    d.cameraFolder = d.root + QStringLiteral("/camera24");
    d.aloneRestart = d.root + QStringLiteral("/alone-camera/photo24.jpg");
    QDir().mkpath(d.cameraFolder);
    QDir().mkpath(QFileInfo(d.aloneRestart).path());
    for (int i = 1; i <= kStepCount; ++i) {
        if (QFileInfo::exists(d.cameraPhoto(i)))
            continue;
        const QString part = d.cameraPhoto(i) + QStringLiteral(".part");
        if (peers::run(QStringLiteral("jpegtran"), {QStringLiteral("-restart"), QStringLiteral("1"), QStringLiteral("-copy"),
                                                    QStringLiteral("all"), QStringLiteral("-outfile"), part, d.stepPhoto(i)})
                < 0
            || !QFile::rename(part, d.cameraPhoto(i)))
            return false;
    }
    return QFileInfo::exists(d.aloneRestart) || hardLink(d.cameraPhoto(1), d.aloneRestart);
}

bool prepare(Data &d)
{
    d.alone = d.root + QStringLiteral("/alone/photo24.jpg");
    d.stepFolder = d.root + QStringLiteral("/step24");
    d.galleryFolder = d.root + QStringLiteral("/gallery12");
    d.big = d.root + QStringLiteral("/alone50/photo50.jpg");
    d.treeFolder = d.root + QStringLiteral("/tree");
    d.listFolder = d.root + QStringLiteral("/list500");

    const QString stamp = d.root + QStringLiteral("/READY");
    QFile stampFile(stamp);
    if (stampFile.open(QIODevice::ReadOnly) && stampFile.readAll().trimmed() == kDataVersion)
        return true;
    stampFile.close();

    std::printf("Making the test photos once (into %s)...\n", qPrintable(d.root));
    std::fflush(stdout);
    for (const QString &sub : {QStringLiteral("alone"), QStringLiteral("step24"), QStringLiteral("gallery12"),
                               QStringLiteral("alone50"), QStringLiteral("tree"), QStringLiteral("list500")}) {
        QDir(d.root + QLatin1Char('/') + sub).removeRecursively();
        QDir().mkpath(d.root + QLatin1Char('/') + sub);
    }
    for (int i = 1; i <= kStepCount; ++i) {
        if (!photos::writeJpeg(d.stepPhoto(i), 6000, 4000, i))
            return false;
    }
    // The gallery's photos carry an EXIF thumbnail, as a camera's do; the
    // 24 MP ones do not (as photos from some editors do not).
    for (int i = 1; i <= kGalleryCount; ++i) {
        if (!photos::writeJpeg(d.galleryPhoto(i), 4240, 2832, 100 + i) || !photos::addExifThumbnail(d.galleryPhoto(i)))
            return false;
    }
    for (int i = 0; i < kListCount; ++i) {
        const QString name = QStringLiteral("/IMG_%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0'));
        if (!hardLink(d.galleryPhoto(1 + i % kGalleryCount), d.listFolder + name))
            return false;
    }
    if (!photos::writeJpeg(d.big, 8660, 5773, 200) || !hardLink(d.stepPhoto(1), d.alone))
        return false;

    // The folder for the tree: photos (links to the same files, so that they
    // take no room), small PNGs and the side files cameras and editors leave.
    int files = 0;
    for (int i = 0; files < 1200; ++i, ++files) {
        if (!hardLink(d.stepPhoto(1 + i % kStepCount), d.treeFolder + QStringLiteral("/DSC_%1.JPG").arg(i, 4, 10, QLatin1Char('0'))))
            return false;
    }
    const QImage small = photos::make(64, 48, 300);
    for (int i = 0; files < 1500; ++i, ++files) {
        if (!small.save(d.treeFolder + QStringLiteral("/shot%1.png").arg(i), "png"))
            return false;
    }
    for (int i = 0; files < kTreeFiles; ++i, ++files) {
        QFile side(d.treeFolder + QStringLiteral("/DSC_%1.xmp").arg(i, 4, 10, QLatin1Char('0')));
        if (!side.open(QIODevice::WriteOnly) || side.write(QByteArray(600, 'x')) != 600)
            return false;
    }

    if (!stampFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    stampFile.write(QByteArray(kDataVersion) + '\n');
    return true;
}

// The newer formats' photos, made once and apart from the JPEGs (their
// encoders take minutes on a busy machine).
const char kFormatsVersion[] = "framzo-bench-formats 1";

bool prepareFormats(Data &d)
{
    d.heic = d.root + QStringLiteral("/heic/photo12.heic");
    d.dng = d.root + QStringLiteral("/raw/photo24.dng");
    QFile stamp(d.root + QStringLiteral("/READY-formats"));
    if (stamp.open(QIODevice::ReadOnly) && stamp.readAll().trimmed() == kFormatsVersion)
        return true;
    stamp.close();
    std::printf("Making the HEIC and DNG test photos once (into %s)...\n", qPrintable(d.root));
    std::fflush(stdout);
    QDir(d.root + QStringLiteral("/heic")).removeRecursively();
    QDir(d.root + QStringLiteral("/raw")).removeRecursively();
    QDir().mkpath(d.root + QStringLiteral("/heic"));
    QDir().mkpath(d.root + QStringLiteral("/raw"));
    const QString jpeg = d.root + QStringLiteral("/heic/source.jpg");
    if (!photos::writeJpeg(jpeg, 4000, 3000, 400))
        return false;
    const QString failed = samples::run(QStringLiteral("heif-enc"),
                                        {QStringLiteral("-q"), QStringLiteral("85"), QStringLiteral("-p"),
                                         QStringLiteral("preset=fast"), jpeg, QStringLiteral("-o"), d.heic},
                                        1800);
    QFile::remove(jpeg);
    if (!failed.isEmpty()) {
        std::fprintf(stderr, "framzo_bench: %s\n", qPrintable(failed));
        return false;
    }
    QFile raw(d.dng);
    const QByteArray bytes = samples::dng(photos::make(6000, 4000, 401), 1, 2048);
    if (bytes.isEmpty() || !raw.open(QIODevice::WriteOnly) || raw.write(bytes) != bytes.size())
        return false;
    raw.close();
    if (!stamp.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    stamp.write(QByteArray(kFormatsVersion) + '\n');
    return true;
}

// ---- measuring --------------------------------------------------------------

double median(QList<double> v)
{
    if (v.isEmpty())
        return -1;
    std::sort(v.begin(), v.end());
    const qsizetype n = v.size();
    return n % 2 ? v.at(n / 2) : (v.at(n / 2 - 1) + v.at(n / 2)) / 2;
}

double msSince(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

struct Row
{
    QString name;
    double framzo = -1; // ms, or the ratio's numerator in other units
    double peer = -1;
    QString unit = QStringLiteral("ms");
    QString target;     // e.g. "<= 1.10"; empty for a row shown for information
    double limit = 0;
};

QList<Row> rows;

void addRow(const QString &name, double framzo, double peer, double limit, const QString &unit = QStringLiteral("ms"))
{
    Row r;
    r.name = name;
    r.framzo = framzo;
    r.peer = peer;
    r.unit = unit;
    r.limit = limit;
    if (limit > 0)
        r.target = QStringLiteral("≤ %1").arg(limit, 0, 'f', 2);
    rows << r;
    std::printf("  %-44s framzo %9.1f %s   peer %9.1f %s   ratio %.2f\n", qPrintable(name), framzo, qPrintable(unit),
                peer, qPrintable(unit), peer > 0 ? framzo / peer : 0.0);
    std::fflush(stdout);
}

// Both sides, taking turns; returns the medians.
std::pair<double, double> alternate(int runs, const std::function<double()> &framzo,
                                    const std::function<double()> &peer)
{
    QList<double> a, b;
    framzo(); // warm-up: files in the page cache, code and plugins loaded
    peer();
    for (int i = 0; i < runs; ++i) {
        a << framzo();
        b << peer();
    }
    return {median(a), median(b)};
}

double djpeg(const QString &path)
{
    return peers::run(QStringLiteral("djpeg"), {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), path});
}

// Paints the image window's view now, as the next frame on screen would.
void show(Picture *pic)
{
    QCoreApplication::processEvents();
    pic->view()->viewport()->repaint();
}

// Runs the event loop, asleep while nothing happens, until done() holds;
// false after a minute. (processEvents with a time limit returns at once
// when no event is pending and never sleeps: the loop took a core of its
// own, which the program's two-core work then shared with the machine.) A
// timer wakes it every few milliseconds for conditions no event announces.
bool waitUntil(const std::function<bool()> &done)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(2);
    while (!done()) {
        if (t.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Records when an image window puts a photo on screen and when its full
// decode comes.
struct Arrivals
{
    explicit Arrivals(Picture *pic)
    {
        QObject::connect(pic, &Picture::displayed, &context, [this](const QString &p) { shown << p; });
        QObject::connect(pic, &Picture::loaded, &context, [this](const QString &p) { loaded << p; });
    }
    void clear()
    {
        shown.clear();
        loaded.clear();
    }
    QObject context;
    QStringList shown;
    QStringList loaded;
};

// Waits until pic has its photo in full and its neighbours made ahead.
void settle(Picture *pic)
{
    if (!waitUntil([pic] { return !pic->isLoading(); }))
        qFatal("framzo_bench: %s did not load", qPrintable(pic->path()));
    pic->prefetcher()->waitForFinished();
    QCoreApplication::processEvents();
}

// ---- cases ------------------------------------------------------------------

struct Context
{
    Data data;
    int runs = 5;
    QString scratch; // written files go here
    QString program;
};

Picture *openWindow(Framzo &window, const QString &path)
{
    window.newChildWin(path);
    QCoreApplication::processEvents();
    Picture *pic = window.activePicture();
    if (!pic || pic->path() != path)
        qFatal("framzo_bench: the image window did not open %s", qPrintable(path));
    settle(pic);
    return pic;
}

// The edits the cases make are the benchmark's own: closing drops them
// without the question a user gets.
class DiscardEdits : public Dialogs
{
public:
    Unsaved askUnsaved(QWidget *, const QStringList &) override { return Unsaved::Discard; }
};

void closeAll(Framzo &window)
{
    static DiscardEdits discard;
    Dialogs::setInstance(&discard);
    window.mpWorkspace->closeAllSubWindows();
    QCoreApplication::processEvents();
}

// One opening of path in pic, timed from the call: until its display copy is
// drawn (screen) and until its full decode is there (full).
void timedOpen(Picture *pic, Arrivals &arrivals, const QString &path, QList<double> &screen, QList<double> &full)
{
    arrivals.clear();
    QElapsedTimer t;
    t.start();
    pic->loadImage(path);
    if (!waitUntil([&] { return arrivals.shown.contains(path); }))
        qFatal("framzo_bench: %s was not shown", qPrintable(path));
    pic->view()->viewport()->repaint();
    screen << msSince(t);
    if (!waitUntil([&] { return arrivals.loaded.contains(path); }))
        qFatal("framzo_bench: %s was not decoded", qPrintable(path));
    full << msSince(t);
    settle(pic);
}

void caseOpen(Context &c, Framzo &window, const QString &path, const QString &label, double screenLimit,
              double fullLimit)
{
    Picture *pic = openWindow(window, path);
    Arrivals arrivals(pic);
    QList<double> screen, full, peer;
    auto open = [&] { timedOpen(pic, arrivals, path, screen, full); };
    open(); // warm-up: files in the page cache, code and plugins loaded
    djpeg(path);
    screen.clear();
    full.clear();
    for (int i = 0; i < c.runs; ++i) {
        open();
        peer << djpeg(path);
    }
    addRow(QStringLiteral("photo on screen, ") + label, median(screen), median(peer), screenLimit);
    addRow(QStringLiteral("full decode ready, ") + label, median(full), median(peer), fullLimit);

    // Where the time goes: each part alone, on this thread.
    QList<double> decode, copy;
    for (int i = 0; i < c.runs; ++i) {
        QElapsedTimer t;
        t.start();
        const QImage img = imageio::decode(path);
        decode << msSince(t);
        t.restart();
        const displaycopy::Copy made = displaycopy::make(path, pic->workspaceSize(), false);
        copy << msSince(t);
    }
    std::printf("    alone: full decode %.1f ms, display copy from a reduced decode %.1f ms\n", median(decode),
                median(copy));
    closeAll(window);
}

// A photo of the newer formats opened in the image window: on screen, and
// its full decode ready, against the format's own command-line decoder.
void caseHeic(Context &c, Framzo &window)
{
    const QString path = c.data.heic;
    const QString out = c.scratch + QStringLiteral("/heif-convert.y4m");
    // heif-convert (libheif's decoder, heif-dec in later releases) writing
    // the decoded YCbCr planes as they are: the least a decode can do.
    auto peer = [&] { return peers::run(QStringLiteral("heif-convert"), {path, out}); };
    Picture *pic = openWindow(window, path);
    Arrivals arrivals(pic);
    QList<double> screen, peerMs;
    auto open = [&] {
        arrivals.clear();
        QElapsedTimer t;
        t.start();
        pic->loadImage(path);
        if (!waitUntil([&] { return arrivals.shown.contains(path); }))
            qFatal("framzo_bench: %s was not shown", qPrintable(path));
        pic->view()->viewport()->repaint();
        const double ms = msSince(t);
        if (!waitUntil([&] { return arrivals.loaded.contains(path); }))
            qFatal("framzo_bench: %s was not decoded", qPrintable(path));
        settle(pic);
        return ms;
    };
    open();
    peer();
    for (int i = 0; i < c.runs; ++i) {
        screen << open();
        peerMs << peer();
    }
    QFile::remove(out);
    addRow(QStringLiteral("HEIC on screen, 12 MP (peer: heif-convert)"), median(screen), median(peerMs), 1.0);
    QList<double> decode;
    for (int i = 0; i < c.runs; ++i) {
        QElapsedTimer t;
        t.start();
        const QImage image = imageio::decode(path);
        decode << msSince(t);
    }
    std::printf("    alone: full decode %.1f ms\n", median(decode));
    closeAll(window);
}

void caseRaw(Context &c, Framzo &window)
{
    const QString path = c.data.dng;
    // LibRaw's own program, as the program develops the photo: the camera's
    // white balance, 16 bits, sRGB's curve; a TIFF to standard output.
    auto peer = [&] {
        return peers::run(QStringLiteral("dcraw_emu"), {QStringLiteral("-w"), QStringLiteral("-6"), QStringLiteral("-g"),
                                                        QStringLiteral("2.4"), QStringLiteral("12.92"),
                                                        QStringLiteral("-T"), QStringLiteral("-Z"),
                                                        QStringLiteral("-"), path});
    };
    Picture *pic = openWindow(window, path);
    Arrivals arrivals(pic);
    QList<double> screen, full, peerMs;
    auto open = [&] { timedOpen(pic, arrivals, path, screen, full); };
    open();
    peer();
    screen.clear();
    full.clear();
    for (int i = 0; i < c.runs; ++i) {
        open();
        peerMs << peer();
    }
    addRow(QStringLiteral("raw on screen from its preview, 24 MP DNG (peer: dcraw_emu)"), median(screen),
           median(peerMs), 0.1);
    addRow(QStringLiteral("raw: full decode ready in the window (peer: dcraw_emu)"), median(full), median(peerMs), 0);
    closeAll(window);
    QList<double> decode, again;
    for (int i = 0; i < c.runs; ++i) {
        QElapsedTimer t;
        t.start();
        const QImage image = imageio::decode(path);
        decode << msSince(t);
        if (image.size() != QSize(6000, 4000))
            qFatal("framzo_bench: the DNG decoded to %dx%d", image.width(), image.height());
        again << peer();
    }
    addRow(QStringLiteral("raw: full decode, 24 MP DNG (peer: dcraw_emu)"), median(decode), median(again), 1.0);
}

void caseStep(Context &c, Framzo &window)
{
    Picture *pic = openWindow(window, c.data.stepPhoto(1));
    Arrivals arrivals(pic);
    QList<double> means, fullMeans;
    QList<double> peer;
    int direction = 1;
    djpeg(c.data.stepPhoto(1)); // warm-up
    for (int round = 0; round < c.runs; ++round) {
        double sum = 0, fullSum = 0;
        int steps = 0;
        for (;;) {
            // The viewer looks at the photo: its full decode and the
            // neighbours' copies are made meanwhile (not timed).
            settle(pic);
            arrivals.clear();
            QElapsedTimer t;
            t.start();
            const bool moved = pic->stepInFolder(direction);
            const QString target = pic->path();
            if (!waitUntil([&] { return arrivals.shown.contains(target); }))
                qFatal("framzo_bench: a step did not show %s", qPrintable(target));
            pic->view()->viewport()->repaint();
            const double shown = msSince(t);
            if (!waitUntil([&] { return arrivals.loaded.contains(target); }))
                qFatal("framzo_bench: a step did not decode %s", qPrintable(target));
            if (!moved)
                break;
            sum += shown;
            fullSum += msSince(t);
            ++steps;
        }
        if (steps != kStepCount - 1)
            qFatal("framzo_bench: stepped %d times through a folder of %d", steps, kStepCount);
        means << sum / steps;
        fullMeans << fullSum / steps;
        direction = -direction;
        peer << djpeg(c.data.stepPhoto(1 + round % kStepCount));
    }
    addRow(QStringLiteral("step: Page Up/Down, 24 MP, on screen (mean of %1)").arg(kStepCount - 1), median(means),
           median(peer), 0.60);
    addRow(QStringLiteral("  step: until the full decode is ready"), median(fullMeans), median(peer), 0);
    closeAll(window);
}

void caseBurst(Context &c, Framzo &window)
{
    // Ten Page Ups queued at once, faster than any decode: the time to the
    // tenth photo on screen and decoded in full.
    constexpr int kKeys = 10;
    Picture *pic = openWindow(window, c.data.stepPhoto(1));
    Arrivals arrivals(pic);
    const QString last = c.data.stepPhoto(1 + kKeys);
    QList<double> screen, full, peer;
    djpeg(last); // warm-up
    for (int round = 0; round < c.runs; ++round) {
        pic->loadImage(c.data.stepPhoto(1));
        settle(pic);
        arrivals.clear();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kKeys; ++i)
            QMetaObject::invokeMethod(&window, "nextImg", Qt::QueuedConnection);
        if (!waitUntil([&] { return arrivals.shown.contains(last); }))
            qFatal("framzo_bench: the burst did not show %s", qPrintable(last));
        pic->view()->viewport()->repaint();
        screen << msSince(t);
        if (!waitUntil([&] { return arrivals.loaded.contains(last); }))
            qFatal("framzo_bench: the burst did not decode %s", qPrintable(last));
        full << msSince(t);
        if (pic->path() != last || arrivals.loaded.size() != 1)
            qFatal("framzo_bench: the burst ended at %s after %d full decodes", qPrintable(pic->path()),
                   int(arrivals.loaded.size()));
        peer << djpeg(last);
    }
    addRow(QStringLiteral("ten Page Ups without a pause, to the last decoded"), median(full), median(peer), 2.0);
    addRow(QStringLiteral("  ten Page Ups: the last photo on screen"), median(screen), median(peer), 0);
    closeAll(window);
}

// A 50 MP photo at 100 %, panned by a whole view at a time: every pixel on
// screen is new, drawn from the full image (and, for a photo in Adobe RGB,
// put into the screen's colours). Against one smooth scale of an image the
// size of the view, the least a viewer does to show a new frame. Between two
// pans the work the view starts on its own ends, untimed, as it does while
// a user looks.
void casePan(Context &c, Framzo &window, const QString &path, const QString &label)
{
    Picture *pic = openWindow(window, path);
    pic->actualPixels();
    show(pic);
    PictureView *view = pic->view();
    QScrollBar *bar = view->horizontalScrollBar();
    const QSize shown = view->viewport()->size();
    QImage screenSized(shown, QImage::Format_RGB32);
    screenSized.fill(qRgb(90, 120, 150));
    int step = 0;
    auto framzo = [&] {
        // Back and forth across the photo, a view's width each time.
        const int lanes = qMax(1, bar->maximum() / qMax(1, shown.width()));
        const int lane = step++ % (2 * lanes);
        // A user looks between two pans: what the view prepares meanwhile
        // (the colours around what is shown) is done, untimed.
        jobs::pool(jobs::Lane::Shared)->waitForDone();
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        bar->setValue((lane < lanes ? lane : 2 * lanes - lane) * shown.width());
        view->viewport()->repaint();
        return msSince(t);
    };
    auto peer = [&] {
        QElapsedTimer t;
        t.start();
        const QImage scaled = screenSized.scaled(shown * 0.9, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double ms = msSince(t);
        if (scaled.isNull())
            qFatal("framzo_bench: no scale");
        return ms;
    };
    const auto [f, p] = alternate(c.runs * 4, framzo, peer);
    addRow(QStringLiteral("pan: 50 MP%1 at 100 %, a view's width (%2x%3), vs one smooth scale of it")
               .arg(label)
               .arg(shown.width())
               .arg(shown.height()),
           f, p, 1.0);
    closeAll(window);
}

void casePan(Context &c, Framzo &window)
{
    casePan(c, window, c.data.big, QString());
    // The same photo tagged Adobe RGB, written once beside it.
    const QString tagged = QFileInfo(c.data.big).absolutePath() + QStringLiteral("/photo50-adobe.jpg");
    if (!QFileInfo::exists(tagged)) {
        QImage image = imageio::decode(c.data.big);
        image.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
        if (!image.save(tagged, "JPEG", 90))
            qFatal("framzo_bench: could not write %s", qPrintable(tagged));
    }
    casePan(c, window, tagged, QStringLiteral(" in Adobe RGB"));
}

// Ten Page Ups in a row, timed from the last key to the tenth photo decoded
// in full, against one opening of that photo in the same window from the
// same start: work started for the photos passed must not hold the last one
// up. The keys come all at once (queued before any is handled), each as soon
// as the window has taken the one before (what it queued has run), or 33 ms
// apart (a keyboard's repeat at 30 a second).
void caseBurstLastKey(Context &c, Framzo &window, bool camera)
{
    constexpr int kKeys = 10;
    constexpr int kRepeatMs = 33;
    const auto photo = [&](int i) { return camera ? c.data.cameraPhoto(i) : c.data.stepPhoto(i); };
    const QString first = photo(1);
    const QString last = photo(1 + kKeys);
    Picture *pic = openWindow(window, first);
    Arrivals arrivals(pic);
    const auto key = [&window] { QMetaObject::invokeMethod(&window, "nextImg", Qt::DirectConnection); };
    const auto fromRest = [&] {
        pic->loadImage(first);
        settle(pic);
        arrivals.clear();
    };
    enum class Pace { AtOnce, Taken, Repeat };
    int shownOnTheWay = 0;
    const auto burst = [&](Pace pace) {
        fromRest();
        QElapsedTimer t;
        if (pace == Pace::AtOnce) {
            for (int i = 0; i < kKeys; ++i) {
                QMetaObject::invokeMethod(
                    &window,
                    [&, i] {
                        if (i == kKeys - 1)
                            t.start();
                        key();
                    },
                    Qt::QueuedConnection);
            }
        } else {
            for (int i = 0; i < kKeys; ++i) {
                if (pace == Pace::Repeat && i > 0) {
                    QElapsedTimer gap;
                    gap.start();
                    waitUntil([&] { return gap.elapsed() >= kRepeatMs; });
                }
                t.start();
                key();
                QCoreApplication::processEvents();
            }
        }
        if (!waitUntil([&] { return arrivals.loaded.contains(last); }))
            qFatal("framzo_bench: the burst did not decode %s", qPrintable(last));
        const double ms = msSince(t);
        if (pic->path() != last)
            qFatal("framzo_bench: the burst ended at %s", qPrintable(pic->path()));
        shownOnTheWay += int(arrivals.shown.size()) - 1;
        return ms;
    };
    const auto single = [&] {
        fromRest();
        QElapsedTimer t;
        t.start();
        pic->loadImage(last);
        if (!waitUntil([&] { return arrivals.loaded.contains(last); }))
            qFatal("framzo_bench: %s was not decoded", qPrintable(last));
        return msSince(t);
    };
    const QList<std::pair<Pace, QString>> paces =
        camera ? QList<std::pair<Pace, QString>>{{Pace::Taken, QStringLiteral("each when taken")}}
               : QList<std::pair<Pace, QString>>{{Pace::AtOnce, QStringLiteral("all at once")},
                                                 {Pace::Taken, QStringLiteral("each when taken")},
                                                 {Pace::Repeat, QStringLiteral("33 ms apart")}};
    for (const auto &entry : paces) {
        const Pace pace = entry.first;
        const QString &label = entry.second;
        shownOnTheWay = 0;
        const auto [b, s] = alternate(c.runs, [&] { return burst(pace); }, single);
        addRow(QStringLiteral("ten Page Ups, %1%2: last key to the 10th decoded (peer: one open of it)")
                   .arg(label, camera ? QStringLiteral(", restart markers") : QString()),
               b, s, camera ? 0 : 1.0);
        std::printf("    photos passed shown on the way: %.1f a burst\n", double(shownOnTheWay) / (c.runs + 1));
    }
    closeAll(window);
}

void caseEdit(Context &c, Framzo &window)
{
    const QImage source = imageio::decode(c.data.alone);
    auto framzo = [&] {
        QImage img = source.copy();
        QElapsedTimer t;
        t.start();
        img = imageedits::inverted(std::move(img));
        img = imageedits::adjusted(std::move(img), 12, -7, 5, 3);
        return msSince(t);
    };
    auto peer = [&] {
        QImage img = source.copy();
        QElapsedTimer t;
        t.start();
        img.invertPixels();
        return msSince(t);
    };
    const auto [f, p] = alternate(c.runs, framzo, peer);
    addRow(QStringLiteral("edit: invert + colour adjustment, 24 MP"), f, p, 2.0);

    // In the window: the edit and the new display copy.
    Picture *pic = openWindow(window, c.data.alone);
    auto inWindow = [&] {
        QElapsedTimer t;
        t.start();
        pic->invertColors();
        show(pic);
        return msSince(t);
    };
    const auto [w, p2] = alternate(c.runs, inWindow, peer);
    addRow(QStringLiteral("  invert in the window (with display copy)"), w, p2, 0);
    closeAll(window);
}

// The display copy of a photo recorded in Adobe RGB put into the colours of
// an sRGB screen, against the making of that copy (decode and scale).
void caseColour(Context &c)
{
    const QSize workspace(1280, 1024);
    for (const auto &[path, label] : {std::pair{c.data.alone, QStringLiteral("24 MP")},
                                      std::pair{c.data.big, QStringLiteral("50 MP")}}) {
        displaycopy::Copy copy = displaycopy::make(path, workspace, false);
        if (!copy.ok)
            qFatal("framzo_bench: no display copy of %s", qPrintable(path));
        QImage tagged = copy.copy;
        tagged.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
        auto framzo = [&] {
            QImage img = tagged.copy();
            QElapsedTimer t;
            t.start();
            if (!colourmanage::convert(img))
                qFatal("framzo_bench: the copy was not converted");
            return msSince(t);
        };
        // The photo is untagged: its copy is made without a conversion.
        auto peer = [&] {
            QElapsedTimer t;
            t.start();
            copy = displaycopy::make(path, workspace, false);
            return msSince(t);
        };
        const auto [f, p] = alternate(c.runs, framzo, peer);
        addRow(QStringLiteral("colour: %1 display copy %2x%3 to sRGB, vs the copy")
                   .arg(label)
                   .arg(tagged.width())
                   .arg(tagged.height()),
               f, p, 0.3);
    }
}

void caseCapture(Context &c)
{
    const QString source = c.data.alone;
    const QImage image = imageio::decode(source);
    const QRect rect(1500, 1000, 3000, 2000); // 6 MP
    const QString out = c.scratch + QStringLiteral("/capture");
    QDir().mkpath(out);
    auto framzo = [&] {
        QElapsedTimer t;
        t.start();
        const capture::Result r = capture::writeCut(image, rect, source, out);
        const double ms = msSince(t);
        if (r.path.isEmpty())
            qFatal("framzo_bench: capture failed: %s", qPrintable(r.error));
        return ms;
    };
    auto peer = [&] {
        return peers::run(QStringLiteral("vips"),
                          {QStringLiteral("crop"), source, out + QStringLiteral("/vips.jpg"), QString::number(rect.x()),
                           QString::number(rect.y()), QString::number(rect.width()), QString::number(rect.height())},
                          {QStringLiteral("VIPS_CONCURRENCY=1")});
    };
    const auto [f, p] = alternate(c.runs, framzo, peer);
    addRow(QStringLiteral("capture: 6 MP cut of a 24 MP photo to JPEG"), f, p, 1.0);
}

void caseTurn(Context &c, Framzo &window)
{
    // Save after a quarter turn: the JPEG is turned without a new encode,
    // as jpegtran turns it. Timed is the write that Save makes, from the
    // file on disk to the file replaced; the peer writes a new file.
    const QString folder = c.scratch + QStringLiteral("/turn");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/photo24.jpg");
    QFile::remove(path);
    if (!QFile::copy(c.data.alone, path))
        qFatal("framzo_bench: could not copy %s", qPrintable(c.data.alone));
    const QImage turned = imageedits::rotated(imageio::decode(path), 90);
    const QByteArray original = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    auto framzo = [&] {
        // The same photo every time, not one turned again and again.
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(original) != original.size())
            qFatal("framzo_bench: could not restore %s", qPrintable(path));
        f.close();
        QElapsedTimer t;
        t.start();
        if (!imageio::writePhoto(turned, path, "jpeg", {path, 1}))
            qFatal("framzo_bench: the save after a turn failed");
        return msSince(t);
    };
    auto peer = [&] {
        return peers::run(QStringLiteral("jpegtran"), {QStringLiteral("-rotate"), QStringLiteral("90"),
                                                       QStringLiteral("-outfile"), folder + QStringLiteral("/jpegtran.jpg"),
                                                       path});
    };
    const auto [f, p] = alternate(c.runs, framzo, peer);
    addRow(QStringLiteral("save after a quarter turn, 24 MP JPEG"), f, p, 1.10);
    std::printf("    saved %lld bytes from %lld\n", static_cast<long long>(QFileInfo(path).size()),
                static_cast<long long>(original.size()));

    // In the window: Ctrl+Right, Ctrl+S, until the write has reported back
    // (the photo is not read again: the window keeps what it wrote).
    QFile restore(path);
    if (!restore.open(QIODevice::WriteOnly) || restore.write(original) != original.size())
        qFatal("framzo_bench: could not restore %s", qPrintable(path));
    restore.close();
    Picture *pic = openWindow(window, path);
    auto inWindow = [&] {
        QElapsedTimer t;
        t.start();
        pic->rotateBy(90);
        pic->saveInPlace();
        if (!waitUntil([pic] { return !pic->isBusy(); }))
            qFatal("framzo_bench: the save did not end");
        show(pic);
        return msSince(t);
    };
    const auto [w, p2] = alternate(c.runs, inWindow, peer);
    addRow(QStringLiteral("  turn + Save in the window"), w, p2, 0);
    closeAll(window);
}

void caseGallery(Context &c)
{
    QList<GalleryEntry> entries;
    QStringList sources;
    for (int i = 1; i <= kGalleryCount; ++i) {
        const QString path = c.data.galleryPhoto(i);
        entries << GalleryEntry{QFileInfo(path).fileName(), path};
        sources << path;
    }
    const QString out = c.scratch + QStringLiteral("/gallery");
    QDir().mkpath(out);
    auto framzo = [&](int parallel) {
        GalleryRunner runner(GallerySettings(out, QStringLiteral("framzo"), QStringLiteral("200"),
                                             QStringLiteral("150"), QStringLiteral("4"), true, true),
                             entries);
        runner.setParallelImages(parallel);
        QElapsedTimer t;
        t.start();
        const GalleryRunner::Result result = runner.run();
        const double ms = msSince(t);
        if (!result.problem().isEmpty())
            qFatal("framzo_bench: the gallery failed: %s", qPrintable(result.problem()));
        return ms;
    };
    const QString peerOut = c.scratch + QStringLiteral("/peer-gallery");
    QDir().mkpath(peerOut);
    QString script;
    for (const QString &s : sources) {
        const QString name = QFileInfo(s).fileName();
        script += QStringLiteral("djpeg %1 | cjpeg -outfile %2 && djpeg -scale 1/8 %1 | cjpeg -outfile %3 || exit 1\n")
                      .arg(peers::quoted(s), peers::quoted(peerOut + QLatin1Char('/') + name),
                           peers::quoted(peerOut + QStringLiteral("/preview_") + name));
    }
    auto peer = [&] { return peers::shell(script); };
    const int runs = std::max(1, (c.runs + 1) / 2);
    // 0: as many images at a time as cores, within the memory budget (the
    // program's own choice).
    const auto [f, p] = alternate(runs, [&] { return framzo(0); }, peer);
    addRow(QStringLiteral("gallery: 40 x 12 MP, link on, %1 cores").arg(jobs::cores()), f, p, 0.35);
    QList<double> one;
    for (int i = 0; i < runs; ++i)
        one << framzo(1);
    addRow(QStringLiteral("  gallery one image at a time"), median(one), p, 0);
    addRow(QStringLiteral("  gallery: speed-up from 1 to %1 cores (one at a time / all)").arg(jobs::cores()),
           median(one), f, 0, QStringLiteral("ms"));
}

qint64 bytesOf(const QString &folder, const QStringList &patterns = {QStringLiteral("*")})
{
    qint64 total = 0;
    for (const QFileInfo &f : QDir(folder).entryInfoList(patterns, QDir::Files))
        total += f.size();
    return total;
}

void caseModern(Context &c)
{
    // The modern gallery of the same 40 photos: copies of 2048 and 1024
    // pixels, thumbnails at 1x and 2x, pages and stylesheet, metadata
    // thinned, on every core.
    QList<GalleryEntry> entries;
    QStringList sources;
    for (int i = 1; i <= kGalleryCount; ++i) {
        const QString path = c.data.galleryPhoto(i);
        entries << GalleryEntry{QFileInfo(path).fileName(), path};
        sources << path;
    }
    const QString out = c.scratch + QStringLiteral("/modern");
    QDir().mkpath(out);
    GallerySettings settings(out, QStringLiteral("framzo"), QStringLiteral("200"), QStringLiteral("150"),
                             QStringLiteral("4"), true, true);
    settings.setTheme(GallerySettings::Theme::Modern);
    auto framzo = [&] {
        QElapsedTimer t;
        t.start();
        const GalleryRunner::Result result = GalleryRunner(settings, entries).run();
        const double ms = msSince(t);
        if (!result.problem().isEmpty())
            qFatal("framzo_bench: the modern gallery failed: %s", qPrintable(result.problem()));
        return ms;
    };

    // The same four pictures of each photo by the command-line tools, each
    // from a decode at the smallest scale that covers it (as Framzo
    // decodes), scaled by netpbm's pamscale and encoded at the same
    // qualities, one photo after the other.
    const QString peerOut = c.scratch + QStringLiteral("/modern-peer");
    for (const char *sub : {"2048", "1024", "thumbs", "thumbs-2x"})
        QDir().mkpath(peerOut + QLatin1Char('/') + QLatin1String(sub));
    QString script;
    for (const QString &s : sources) {
        const QString name = QFileInfo(s).fileName();
        const auto picture = [&](const char *scale, const char *box, int quality, const char *folder) {
            return QStringLiteral("djpeg -scale %1 %2 | pamscale -xyfit %3 | cjpeg -quality %4 -outfile %5 || exit 1\n")
                .arg(QLatin1String(scale), peers::quoted(s), QLatin1String(box))
                .arg(quality)
                .arg(peers::quoted(peerOut + QLatin1Char('/') + QLatin1String(folder) + QLatin1Char('/') + name));
        };
        script += picture("1/2", "2048 2048", 85, "2048") + picture("1/4", "1024 1024", 85, "1024")
            + picture("1/8", "400 300", 80, "thumbs-2x") + picture("1/8", "200 150", 80, "thumbs");
    }
    const int runs = std::max(1, (c.runs + 1) / 2);
    const auto [f, p] = alternate(runs, framzo, [&] { return peers::shell(script); });
    addRow(QStringLiteral("modern gallery: 40 x 12 MP, %1 cores (peer: djpeg, pamscale, cjpeg)").arg(jobs::cores()), f,
           p, 0.5);

    // llgal, a gallery maker of the command line (ImageMagick underneath),
    // on the same photos: slides of at most 2048 pixels, thumbnails of
    // 200 x 150, every picture made anew each run (-f).
    const QString llgalDir = c.scratch + QStringLiteral("/llgal");
    QDir(llgalDir).removeRecursively();
    QDir().mkpath(llgalDir);
    for (const QString &s : sources)
        hardLink(s, llgalDir + QLatin1Char('/') + QFileInfo(s).fileName());
    auto llgal = [&] {
        return peers::run(QStringLiteral("llgal"), {QStringLiteral("-d"), llgalDir, QStringLiteral("-f"),
                                                    QStringLiteral("--sx"), QStringLiteral("2048"),
                                                    QStringLiteral("--sy"), QStringLiteral("2048"),
                                                    QStringLiteral("--tx"), QStringLiteral("200"),
                                                    QStringLiteral("--ty"), QStringLiteral("150")});
    };
    const auto [f2, l] = alternate(runs, framzo, llgal);
    addRow(QStringLiteral("  modern gallery (peer: llgal, slides of 2048, same photos)"), f2, l, 0);

    // What a visitor's browser fetches for the index: the page, its
    // stylesheet and the thumbnails, against the classic index of the same
    // photos (4 a row).
    const QString classicOut = c.scratch + QStringLiteral("/modern-classic");
    QDir(classicOut).removeRecursively();
    QDir().mkpath(classicOut);
    GalleryRunner(GallerySettings(classicOut, QStringLiteral("framzo"), QStringLiteral("200"), QStringLiteral("150"),
                                  QStringLiteral("4"), true, true),
                  entries)
        .run();
    const double classic = (bytesOf(classicOut, {QStringLiteral("framzo.html")})
                            + bytesOf(classicOut + QStringLiteral("/framzo"), {QStringLiteral("preview_*")}))
        / 1024.0;
    const double page = (bytesOf(out, {QStringLiteral("framzo.html")})
                         + bytesOf(out + QStringLiteral("/framzo"), {QStringLiteral("style.css")}))
        / 1024.0;
    addRow(QStringLiteral("  index page weight, modern, 1x screen (peer: classic)"),
           page + bytesOf(out + QStringLiteral("/framzo/thumbs")) / 1024.0, classic, 0, QStringLiteral("KB"));
    addRow(QStringLiteral("  index page weight, modern, 2x screen (peer: classic)"),
           page + bytesOf(out + QStringLiteral("/framzo/thumbs-2x")) / 1024.0, classic, 0, QStringLiteral("KB"));
}

QTreeWidgetItem *childNamed(const QTreeWidgetItem *parent, const QString &name)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == name)
            return parent->child(i);
    }
    return nullptr;
}

void caseList(Context &c)
{
    // The folder tree, expanding a folder of kTreeFiles files.
    UiFramzo form;
    form.resize(1000, 800);
    form.show();
    BrowseBar bar(&form);
    const QString folder = QFileInfo(c.data.treeFolder).absoluteFilePath();
    bar.openPath(folder);
    QTreeWidgetItem *item = bar.computerItem()->child(0);
    for (const QString &part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        item = item ? childNamed(item, part) : nullptr;
    }
    if (!item)
        qFatal("framzo_bench: %s is not in the folder tree", qPrintable(folder));
    auto expand = [&] {
        item->setExpanded(false);
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        item->setExpanded(true);
        QCoreApplication::processEvents();
        const double ms = msSince(t);
        if (item->childCount() < 1500)
            qFatal("framzo_bench: the tree listed %d entries", int(item->childCount()));
        return ms;
    };
    const auto [f, p] = alternate(c.runs, expand, [&] { return djpeg(c.data.alone); });
    addRow(QStringLiteral("list: expand a folder of 2,000 files, tree (peer: one djpeg of 24 MP)"), f, p, 0.5);

    // The gallery window listing a folder of kGalleryCount photos: timed
    // until every icon is in.
    Html html(c.data.galleryFolder + QLatin1Char('/'));
    html.show();
    auto list = [&](const QString &folder, int count) {
        return [&html, folder, count] {
            QElapsedTimer t;
            t.start();
            html.mpPath->setItemText(0, folder); // as if chosen in the folder list
            html.changeDrive(0);
            if (!waitUntil([&] { return !html.isListing(); }))
                qFatal("framzo_bench: the gallery window did not finish listing %s", qPrintable(folder));
            const double ms = msSince(t);
            if (html.mpDir->count() != count)
                qFatal("framzo_bench: the gallery window listed %d entries", int(html.mpDir->count()));
            return ms;
        };
    };
    const auto [g, p2] = alternate(c.runs, list(c.data.galleryFolder + QLatin1Char('/'), kGalleryCount),
                                   [&] { return djpeg(c.data.alone); });
    addRow(QStringLiteral("gallery window: list 40 x 12 MP, EXIF thumbnails (peer: one djpeg of 24 MP)"), g, p2, 3.0);
    const auto [g2, p3] = alternate(c.runs, list(c.data.stepFolder + QLatin1Char('/'), kStepCount),
                                    [&] { return djpeg(c.data.alone); });
    addRow(QStringLiteral("  gallery window: list 12 x 24 MP, no thumbnails (peer: the same)"), g2, p3, 0);
}

// ---- from outside: real windows on an X screen ------------------------------

// One viewer as framzo_screenwatch runs it: the program and its "next
// photo" key, with a home of its own that lives through the runs (as a
// user's does: settings and caches made by the first run are there for the
// next).
struct Viewer
{
    QString name;
    QString program;
    QString nextKey; // X key name
    QString home;
};

// What one run of a viewer gave (ms and KiB; -1 where not reached).
struct Watched
{
    double startDrawn = -1, startFinal = -1, stepDrawn = -1, stepFinal = -1, keysDrawn = -1, keysFinal = -1;
    double peakOne = -1, peakAfter = -1;
};

Watched watchViewer(const Viewer &v, const QString &photo)
{
    const QString watcher = QCoreApplication::applicationDirPath() + QStringLiteral("/framzo_screenwatch");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), qEnvironmentVariable("FRAMZO_BENCH_X"));
    env.insert(QStringLiteral("HOME"), v.home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), v.home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), v.home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), v.home + QStringLiteral("/cache"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // a real window, on the X screen
    p.setProcessEnvironment(env);
    if (v.name.startsWith(QLatin1String("Framzo"))) {
        // Framzo opens where and as large as it was last: at the size the
        // watcher wants (it is ended, not closed, so it keeps nothing itself).
        QDir().mkpath(v.home + QStringLiteral("/config/Ketra"));
        QFile conf(v.home + QStringLiteral("/config/Ketra/Framzo.conf"));
        if (conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
            conf.write("[AppSettings]\nPosX=0\nPosY=0\nSizeX=1280\nSizeY=960\nMaximized=false\n");
    }
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(watcher, {QStringLiteral("--size"), QStringLiteral("1280x960"), QStringLiteral("--next"), v.nextKey,
                      QStringLiteral("--keys"), QStringLiteral("10"), QStringLiteral("--"), v.program, photo});
    Watched w;
    if (!p.waitForFinished(300000) || p.exitCode() != 0)
        return w;
    const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
    if (f.size() < 8)
        return w;
    w.startDrawn = f[0].toDouble();
    w.startFinal = f[1].toDouble();
    w.stepDrawn = f[2].toDouble();
    w.stepFinal = f[3].toDouble();
    w.keysDrawn = f[4].toDouble();
    w.keysFinal = f[5].toDouble();
    w.peakOne = f[6].toDouble() / 1024;
    w.peakAfter = f[7].toDouble() / 1024;
    return w;
}

void caseScreen(Context &c)
{
    if (qEnvironmentVariableIsEmpty("FRAMZO_BENCH_X")) {
        std::printf("  screen: no X screen (FRAMZO_BENCH_X); run through tools/bench.sh\n");
        return;
    }
    // The camera-like photos; each viewer opens the first and steps on.
    const QString photo = c.data.cameraPhoto(1);
    QList<Viewer> viewers{
        {QStringLiteral("Framzo"), QCoreApplication::applicationDirPath() + QStringLiteral("/framzo"),
         QStringLiteral("Prior"), c.scratch + QStringLiteral("/home-framzo")},
        {QStringLiteral("gThumb"), QStringLiteral("gthumb"), QStringLiteral("Next"), c.scratch + QStringLiteral("/home-gthumb")},
        {QStringLiteral("geeqie"), QStringLiteral("geeqie"), QStringLiteral("Next"), c.scratch + QStringLiteral("/home-geeqie")},
    };
    // An earlier build of Framzo, for a before and after in the same run.
    const QString before = qEnvironmentVariable("FRAMZO_BENCH_BEFORE");
    if (!before.isEmpty())
        viewers.insert(1, {QStringLiteral("Framzo before"), before, QStringLiteral("Prior"),
                           c.scratch + QStringLiteral("/home-before")});
    QList<QList<Watched>> runs(viewers.size());
    // A first run each, not counted: files in the page cache, settings and
    // caches made; then the viewers take turns, each round begun by the
    // next one. What a program leaves behind (memory it let go, which a
    // virtual machine may hand back to its host) weighs on the one after
    // it: in a fixed order one viewer would always follow the same other.
    for (const Viewer &v : viewers)
        watchViewer(v, photo);
    for (int r = 0; r < c.runs; ++r) {
        for (int k = 0; k < viewers.size(); ++k) {
            const int i = (r + k) % int(viewers.size());
            runs[i] << watchViewer(viewers[i], photo);
        }
    }
    QList<Watched> medians;
    for (int i = 0; i < viewers.size(); ++i) {
        const auto pick = [&](double Watched::*field) {
            QList<double> v;
            for (const Watched &w : runs[i])
                v << w.*field;
            return median(v);
        };
        Watched m;
        m.startDrawn = pick(&Watched::startDrawn);
        m.startFinal = pick(&Watched::startFinal);
        m.stepDrawn = pick(&Watched::stepDrawn);
        m.stepFinal = pick(&Watched::stepFinal);
        m.keysDrawn = pick(&Watched::keysDrawn);
        m.keysFinal = pick(&Watched::keysFinal);
        m.peakOne = pick(&Watched::peakOne);
        m.peakAfter = pick(&Watched::peakAfter);
        medians << m;
        std::printf("    %-14s start: drawn %.0f, final %.0f ms; one key: drawn %.0f, final %.0f ms; ten keys: drawn %.0f, "
                    "stable %.0f ms; peak %.0f / %.0f MiB\n",
                    qPrintable(viewers[i].name), m.startDrawn, m.startFinal, m.stepDrawn, m.stepFinal, m.keysDrawn,
                    m.keysFinal, m.peakOne, m.peakAfter);
    }
    const int gthumb = before.isEmpty() ? 1 : 2;
    const int geeqie = gthumb + 1;
    const Watched &f = medians[0];
    addRow(QStringLiteral("screen: start to photo drawn (peer: gThumb)"), f.startDrawn, medians[gthumb].startDrawn, 0.4);
    addRow(QStringLiteral("screen: start to photo drawn (peer: geeqie)"), f.startDrawn, medians[geeqie].startDrawn, 0.4);
    addRow(QStringLiteral("screen: ten keys without a pause, to the tenth photo stable (peer: gThumb)"), f.keysFinal,
           medians[gthumb].keysFinal, 1.0);
    addRow(QStringLiteral("  screen: one key, photo drawn (peer: gThumb)"), f.stepDrawn, medians[gthumb].stepDrawn, 0);
    addRow(QStringLiteral("  screen: one key, final picture (peer: gThumb)"), f.stepFinal, medians[gthumb].stepFinal, 0);
    addRow(QStringLiteral("  screen: peak memory, one photo (peer: gThumb)"), f.peakOne, medians[gthumb].peakOne, 0,
           QStringLiteral("MiB"));
    addRow(QStringLiteral("  screen: peak memory after 12 photos (peer: gThumb)"), f.peakAfter, medians[gthumb].peakAfter, 0,
           QStringLiteral("MiB"));
    if (!before.isEmpty()) {
        const Watched &b = medians[1];
        addRow(QStringLiteral("  screen: start to photo drawn (peer: Framzo before)"), f.startDrawn, b.startDrawn, 0);
        addRow(QStringLiteral("  screen: ten keys, tenth photo stable (peer: Framzo before)"), f.keysFinal, b.keysFinal, 0);
    }
}

// ---- memory (each measured in a process of its own) -------------------------

qint64 statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// In the child: the resident memory at rest (main window shown), then the
// peak after opening path and, with neighbours, once their copies are made.
int memoryChild(const QString &path)
{
    Framzo window;
    window.resize(1280, 1024);
    window.show();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    const qint64 rest = statusKb("VmRSS");
    const qint64 restPeak = statusKb("VmHWM");
    openWindow(window, path);
    std::printf("%lld %lld %lld %lld\n", static_cast<long long>(rest), static_cast<long long>(restPeak),
                static_cast<long long>(statusKb("VmHWM")), static_cast<long long>(statusKb("VmRSS")));
    return 0;
}

// In the child: the gallery window listing folder, until every icon is in;
// the same four figures, and the time it took.
int listChild(const QString &folder)
{
    Framzo window;
    window.resize(1280, 1024);
    window.show();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    const qint64 rest = statusKb("VmRSS");
    const qint64 restPeak = statusKb("VmHWM");
    QElapsedTimer t;
    t.start();
    Html html(folder + QLatin1Char('/'));
    html.show();
    if (!waitUntil([&] { return !html.isListing(); }))
        return 1;
    QCoreApplication::processEvents();
    const double ms = msSince(t);
    std::printf("%lld %lld %lld %lld %.1f\n", static_cast<long long>(rest), static_cast<long long>(restPeak),
                static_cast<long long>(statusKb("VmHWM")), static_cast<long long>(statusKb("VmRSS")), ms);
    return html.mpDir->count() == kListCount ? 0 : 1;
}

struct Memory
{
    double rest = -1, peak = -1, after = -1; // MB (10^6 bytes)
    double ms = -1;
};

Memory measureMemory(Context &c, const QString &mode, const QString &path)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(c.program, {mode, path});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        qFatal("framzo_bench: the memory run failed");
    const QList<QByteArray> v = child.readAllStandardOutput().trimmed().split(' ');
    Memory m;
    if (v.size() >= 4) {
        m.rest = v.at(0).toLongLong() * 1024 / 1e6;
        m.peak = v.at(2).toLongLong() * 1024 / 1e6;
        m.after = v.at(3).toLongLong() * 1024 / 1e6;
    }
    if (v.size() >= 5)
        m.ms = v.at(4).toDouble();
    return m;
}

void caseMemory(Context &c)
{
    // The medians of a few runs, each in a process of its own.
    auto measure = [&](const QString &mode, const QString &path) {
        QList<double> peaks, rests, afters, times;
        for (int i = 0; i < std::min(c.runs, 3); ++i) {
            const Memory m = measureMemory(c, mode, path);
            peaks << m.peak;
            rests << m.rest;
            afters << m.after;
            times << m.ms;
        }
        Memory m;
        m.rest = median(rests);
        m.peak = median(peaks);
        m.after = median(afters);
        m.ms = median(times);
        std::printf("    %s: at rest %.1f MB; peak %.1f MB; %.1f MB resident at the end\n", qPrintable(QFileInfo(path).fileName()),
                    m.rest, m.peak, m.after);
        return m;
    };
    const QString open = QStringLiteral("--memory");
    const Memory alone = measure(open, c.data.alone);
    addRow(QStringLiteral("memory: peak with a 24 MP photo open (peer: its pixels + the program at rest)"), alone.peak,
           6000.0 * 4000 * 4 / 1e6 + alone.rest, 1.5, QStringLiteral("MB"));
    const Memory big = measure(open, c.data.big);
    addRow(QStringLiteral("  50 MP photo open (peer: its pixels + at rest)"), big.peak, 8660.0 * 5773 * 4 / 1e6 + big.rest,
           0, QStringLiteral("MB"));
    const Memory folder = measure(open, c.data.stepPhoto(5));
    addRow(QStringLiteral("peak memory, 24 MP photo in a folder of twelve (peer: the photo alone)"), folder.peak,
           alone.peak, 1.3, QStringLiteral("MB"));

    const Memory listed = measure(QStringLiteral("--memory-list"), c.data.listFolder);
    addRow(QStringLiteral("list 500 photos, gallery window: peak memory (peer: the 300 MB limit)"), listed.peak, 300, 1.0,
           QStringLiteral("MB"));
    addRow(QStringLiteral("  list 500 photos: time until every icon is in (peer: one djpeg of 24 MP)"), listed.ms,
           djpeg(c.data.alone), 0);
    addRow(QStringLiteral("  list 500 photos: peak over the program at rest (peer: 500 icons of 64 x 64)"),
           listed.peak - listed.rest, kListCount * 64.0 * 64 * 4 / 1e6, 0, QStringLiteral("MB"));
}

// ---- the table --------------------------------------------------------------

// The system's load over the last minute: other work on the machine slows
// the two-core cases most.
QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readAll().split(' ').value(0));
}

void printTable()
{
    std::printf("\n| case | Framzo | peer, same run | ratio | target | met |\n|---|---:|---:|---:|---|---|\n");
    for (const Row &r : std::as_const(rows)) {
        const double ratio = r.peer > 0 ? r.framzo / r.peer : 0;
        // Rows without a target are there for comparison.
        const bool compared = r.target.isEmpty();
        const QString met = compared ? QString() : (ratio <= r.limit ? QStringLiteral("met") : QStringLiteral("not met"));
        std::printf("| %s | %.0f %s | %.0f %s | %.2f | %s | %s |\n", qPrintable(r.name.trimmed()), r.framzo,
                    qPrintable(r.unit), r.peer, qPrintable(r.unit), ratio,
                    compared ? "—" : qPrintable(r.target), qPrintable(met));
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    // Settings, the Desktop of the folder tree and the trash belong to this
    // run, never to the user.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    const QString runtime = home.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    initImages();
    const QStringList args = QCoreApplication::arguments();

    int rc = 0;
    if (args.size() == 3 && args.at(1) == QLatin1String("--memory")) {
        rc = memoryChild(args.at(2));
        cleanupImages();
        return rc;
    }
    if (args.size() == 3 && args.at(1) == QLatin1String("--memory-list")) {
        rc = listChild(args.at(2));
        cleanupImages();
        return rc;
    }

    Context c;
    c.program = QCoreApplication::applicationFilePath();
    c.scratch = home.path() + QStringLiteral("/out");
    QDir().mkpath(c.scratch);
    QStringList only;
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--data") && i + 1 < args.size())
            c.data.root = args.at(++i);
        else if (args.at(i) == QLatin1String("--runs") && i + 1 < args.size())
            c.runs = std::max(1, args.at(++i).toInt());
        else if (args.at(i) == QLatin1String("--only") && i + 1 < args.size())
            only = args.at(++i).split(QLatin1Char(','));
        else {
            std::fprintf(stderr, "usage: framzo_bench --data DIR [--runs N] [--only "
                                 "open,step,burst,edit,pan,capture,colour,turn,gallery,modern,list,memory,screen,heic,raw]\n");
            return 2;
        }
    }
    if (c.data.root.isEmpty()) {
        std::fprintf(stderr, "framzo_bench: --data DIR is needed\n");
        return 2;
    }
    c.data.root = QFileInfo(c.data.root).absoluteFilePath();
    QDir().mkpath(c.data.root);
    if (!prepare(c.data) || !prepareCamera(c.data)) {
        std::fprintf(stderr, "framzo_bench: could not make the test photos in %s\n", qPrintable(c.data.root));
        return 1;
    }
    auto wanted = [&](const char *name) { return only.isEmpty() || only.contains(QLatin1String(name)); };
    if ((wanted("heic") || wanted("raw")) && !prepareFormats(c.data)) {
        std::fprintf(stderr, "framzo_bench: could not make the HEIC and DNG photos in %s\n", qPrintable(c.data.root));
        return 1;
    }

    QString cpu;
    QFile cpuInfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuInfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpuInfo.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                cpu = QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
                break;
            }
        }
    }
    std::printf("framzo_bench: %d runs per case; %d cores (%s); Qt %s; load average %s\n", c.runs,
                QThread::idealThreadCount(), qPrintable(cpu), qVersion(), qPrintable(loadAverage()));
    {
        Framzo window;
        window.resize(1280, 1024);
        window.show();
        QCoreApplication::processEvents();
        if (wanted("open")) {
            caseOpen(c, window, c.data.aloneRestart, QStringLiteral("24 MP JPEG with restart markers"), 0.5, 0.6);
            caseOpen(c, window, c.data.alone, QStringLiteral("24 MP JPEG"), 0.6, 1.0);
            caseOpen(c, window, c.data.big, QStringLiteral("50 MP JPEG"), 0, 0);
        }
        if (wanted("step"))
            caseStep(c, window);
        if (wanted("burst")) {
            caseBurst(c, window);
            caseBurstLastKey(c, window, false);
            caseBurstLastKey(c, window, true);
        }
        if (wanted("edit"))
            caseEdit(c, window);
        if (wanted("pan"))
            casePan(c, window);
        if (wanted("turn"))
            caseTurn(c, window);
        if (wanted("heic"))
            caseHeic(c, window);
        if (wanted("raw"))
            caseRaw(c, window);
    }
    if (wanted("capture"))
        caseCapture(c);
    if (wanted("colour"))
        caseColour(c);
    if (wanted("gallery"))
        caseGallery(c);
    if (wanted("modern"))
        caseModern(c);
    if (wanted("list"))
        caseList(c);
    if (wanted("memory"))
        caseMemory(c);
    if (wanted("screen"))
        caseScreen(c);
    printTable();
    std::printf("\nload average at the end: %s\n", qPrintable(loadAverage()));
    cleanupImages();
    return rc;
}
