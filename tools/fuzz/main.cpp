// framzo_fuzz: a mutation fuzzer for everything that reads image files.
//
// Good files of every format the program reads (made by its own writers,
// tools/fuzz/seeds.cpp) are broken at random (mutator.cpp) and each result
// goes through the decode helpers (detect, probeSize, decode,
// decodeReduced) and the gallery writer's command line (framzo --gallery, in
// the classic theme and in the modern one with the originals); what still
// decodes is cut and written as JPEG, PNG and TIFF, with its metadata.
// The cases run in a worker process, so that a crash or a hang ends the
// worker, not the fuzzer: it is counted, its file kept, and a new worker
// started.
//
//   framzo_fuzz [--seconds N] [--case-seconds N] [--memory-mb N] [--seed N] [--out DIR]
//   framzo_fuzz --worker DIR      (reads case paths from its input, one a line)
//
// A case is wrong when the worker crashes (a signal, or a sanitizer report),
// takes more processor time than the per-case limit (or ten times as long on
// the clock), grows the worker's resident memory by more than the budget
// (1536 MB unless --memory-mb says otherwise), or a gallery exits with a status
// other than 0 (written) and 1 (refused, not an image, or files not written),
// or the classic one with 0 although the decode helper could not read the
// image (a failure reported as success), or a cut written from it does not
// read back (exiv2 fails on its metadata, or it does not decode). The exit status is 0 when no case was wrong.

#include "core/gallery/gallerycli.h"
#include "core/imageio/formats.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "mutator.h"
#include "seeds.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QMap>
#include <QProcess>
#include <QSet>

#include <cstdio>
#include <iostream>
#include <string>

#include <unistd.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

namespace {

// Sanitizer settings of the worker: a report ends it with a status of its
// own; an allocation the sanitizer cannot serve returns null (as malloc does
// in a plain build) instead of ending it, so that an impossible request
// shows as the failure the program must handle.
const char kAsanOptions[] = "detect_leaks=0:allocator_may_return_null=1:exitcode=86:abort_on_error=0";
const char kUbsanOptions[] = "halt_on_error=1:exitcode=87:print_stacktrace=1";

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// ---- worker -------------------------------------------------------------------

int runGallery(const QString &out, const QString &image, const QList<QByteArray> &options = {})
{
    QList<QByteArray> args = {"framzo", "--gallery", QFile::encodeName(out), "--name", "g", "--size", "64x48",
                              "--columns", "2"};
    args << options << "--" << QFile::encodeName(image);
    QList<char *> argv;
    for (QByteArray &a : args)
        argv << a.data();
    argv << nullptr;
    return gallerycli::run(int(args.size()), argv.data());
}

// Whether a file we wrote reads back: exiv2 takes its metadata without an
// error, and it decodes again.
bool readsBack(const QString &path)
{
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        if (!image.get())
            return false;
        image->readMetadata();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "exiv2 on %s: %s\n", qPrintable(path), e.what());
        return false;
    }
    return !imageio::decode(path).isNull();
}

// A corner of what decoded, cut and written as a cut is, in each format
// that carries metadata: everything we write must be a valid file.
bool cutsReadBack(const QImage &image, const QString &source, const QString &out)
{
    const QImage cut = image.copy(0, 0, qMin(image.width(), 64), qMin(image.height(), 48));
    for (const char *format : {"jpeg", "png", "tiff"}) {
        const QString path = out + QStringLiteral("/cut.") + QLatin1String(format);
        if (imageio::writePhoto(cut, path, format, {source, -1}) && !readsBack(path))
            return false;
    }
    return true;
}

int worker(const QString &dir)
{
    const QString out = dir + QStringLiteral("/out");
    std::string line;
    while (std::getline(std::cin, line)) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(line));
        imageio::detect(path);
        imageio::probeSize(path);
        QByteArray format;
        const QImage image = imageio::decode(path, &format);
        QSize full;
        imageio::decodeReduced(path, QSize(200, 150), &full);
        imageio::decodeReduced(path, QSize(16, 16));

        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const int status = runGallery(out, path);
        // The modern pictures: a reduced decode, sRGB, metadata read,
        // thinned and written, the original's rewritten by exiv2.
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const int modern = runGallery(out, path, {"--theme", "modern", "--originals"});
        const bool writable = formats::writable(format);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const bool cutsClean = image.isNull() || cutsReadBack(image, path, out);
        std::printf("@@ %d %d %d %d %d\n", status, image.isNull() ? 0 : 1, writable ? 1 : 0, modern,
                    cutsClean ? 1 : 0);
        std::fflush(stdout);
    }
    return 0;
}

// ---- driver -------------------------------------------------------------------

// The processor time (user and system) process pid has used, in ms; 0 when
// it cannot be read.
qint64 cpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // The fields after the command name (which may hold spaces) in its
    // parentheses; utime and stime are the 14th and 15th of the line.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    static const long ticks = sysconf(_SC_CLK_TCK);
    return (fields.at(11).toLongLong() + fields.at(12).toLongLong()) * 1000 / qMax(1L, ticks);
}

// A line of /proc/PID/status in kB ("VmHWM", "VmRSS"); -1 when it cannot be
// read.
qint64 statusKb(qint64 pid, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = field + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sets the peak resident size (VmHWM) of process pid back to what it holds
// now, so that the peak read after a case is that case's.
bool resetPeak(qint64 pid)
{
    QFile refs(QStringLiteral("/proc/%1/clear_refs").arg(pid));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

struct Options
{
    int seconds = 60;
    int caseSeconds = 20;
    int memoryMb = 1536;
    quint32 seed = 0;
    QString out;
};

class Driver
{
public:
    explicit Driver(const Options &options) : mOptions(options), mMutator(options.seed) {}

    int run();

private:
    enum class Outcome { Done, Crashed, Hung, OverMemory };
    struct Reply
    {
        Outcome outcome = Outcome::Done;
        qint64 memoryMb = 0; // the most the case took, above what the worker held before it
        int status = 0;
        bool decoded = false;
        bool writable = false;
        int modernStatus = 0;
        bool cutsClean = true; // its cuts read back
    };

    bool startWorker();
    void stopWorker();
    Reply runCase(const QString &path);
    void keep(const QString &kind, const QString &casePath, const QString &why);

    Options mOptions;
    Mutator mMutator;
    QString mWork;
    std::unique_ptr<QProcess> mWorker;
    int mWorkerCases = 0;
    int mKept = 0;
    bool mPeakResets = true; // whether the kernel lets us set a worker's peak back
};

bool Driver::startWorker()
{
    mWorker = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ASAN_OPTIONS"), QString::fromLatin1(kAsanOptions));
    env.insert(QStringLiteral("UBSAN_OPTIONS"), QString::fromLatin1(kUbsanOptions));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    mWorker->setProcessEnvironment(env);
    mWorker->setStandardErrorFile(mWork + QStringLiteral("/worker.log"), QIODevice::Truncate);
    mWorker->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--worker"), mWork});
    mWorkerCases = 0;
    return mWorker->waitForStarted(30000);
}

void Driver::stopWorker()
{
    if (!mWorker)
        return;
    mWorker->kill();
    mWorker->waitForFinished(30000);
    mWorker.reset();
}

Driver::Reply Driver::runCase(const QString &path)
{
    Reply reply;
    const qint64 pid = mWorker->processId();
    // The memory budget is on what the case adds to the worker's resident
    // size: its peak during the case less what it held when the case began.
    // Under ASan a worker idles at about 30 MB and holds 250 to 400 MB once
    // it has run a hundred ordinary cases (freed blocks kept in the
    // quarantine, up to 256 MB, and the allocator's caches), which no one
    // case is to blame for; so that is subtracted, and the quarantine keeps
    // its size. An ordinary case adds a megabyte or two.
    const bool peakReset = mPeakResets && resetPeak(pid);
    if (mPeakResets && !peakReset) {
        mPeakResets = false;
        say(QStringLiteral("fuzz: the peak resident size cannot be set back; memory is sampled instead"));
    }
    const qint64 startKb = statusKb(pid, "VmRSS");
    qint64 peakKb = startKb;
    const auto overBudget = [&] {
        peakKb = qMax(peakKb, statusKb(pid, peakReset ? "VmHWM" : "VmRSS"));
        reply.memoryMb = (peakKb - startKb) / 1024;
        return startKb >= 0 && reply.memoryMb > mOptions.memoryMb;
    };
    mWorker->write(QFile::encodeName(path) + '\n');
    QElapsedTimer t;
    t.start();
    // The limit is on the processor time the case takes, so that a machine
    // busy with other work does not make slow cases out of quick ones; ten
    // times as much time on the clock catches a case that waits instead.
    const qint64 limit = qint64(mOptions.caseSeconds) * 1000;
    const qint64 cpuBefore = cpuMs(pid);
    QList<QByteArray> parts;
    while (parts.size() != 6 || parts.at(0) != "@@") {
        if (mWorker->canReadLine()) {
            // Lines a library prints on its own are passed over.
            parts = mWorker->readLine().trimmed().split(' ');
            continue;
        }
        if (mWorker->state() != QProcess::Running) {
            reply.outcome = Outcome::Crashed;
            return reply;
        }
        // Checked often, and the worker ended as soon as it is over: a case
        // that fills memory at a few GB a second must not take the machine
        // down with it.
        if (overBudget()) {
            reply.outcome = Outcome::OverMemory;
            return reply;
        }
        if (cpuMs(pid) - cpuBefore > limit || t.elapsed() > 10 * limit) {
            reply.outcome = Outcome::Hung;
            return reply;
        }
        mWorker->waitForReadyRead(50);
    }
    // A peak between two looks is in VmHWM all the same.
    if (overBudget()) {
        reply.outcome = Outcome::OverMemory;
        return reply;
    }
    reply.status = parts.at(1).toInt();
    reply.decoded = parts.at(2) == "1";
    reply.writable = parts.at(3) == "1";
    reply.modernStatus = parts.at(4).toInt();
    reply.cutsClean = parts.at(5) == "1";
    return reply;
}

void Driver::keep(const QString &kind, const QString &casePath, const QString &why)
{
    const QString folder = mOptions.out + QLatin1Char('/') + kind;
    QDir().mkpath(folder);
    const QString name = QStringLiteral("%1/%2-%3").arg(folder).arg(++mKept).arg(casePath.section('/', -1));
    QFile::copy(casePath, name);
    QFile::copy(mWork + QStringLiteral("/worker.log"), name + QStringLiteral(".log"));
    say(QStringLiteral("fuzz: %1: %2 (kept as %3)").arg(kind, why, name));
}

int Driver::run()
{
    QDir().mkpath(mOptions.out);
    mWork = mOptions.out + QStringLiteral("/work");
    QDir(mWork).removeRecursively();
    QDir().mkpath(mWork);

    const QList<fuzzseeds::Seed> seeds = fuzzseeds::make();
    QList<QByteArray> seedBytes;
    QSet<QString> formats;
    QDir().mkpath(mOptions.out + QStringLiteral("/seeds"));
    for (const fuzzseeds::Seed &s : seeds) {
        seedBytes << s.bytes;
        const QString path = QStringLiteral("%1/seeds/%2.%3").arg(mOptions.out, s.label, s.ending);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(s.bytes);
        f.close();
        QByteArray format;
        if (imageio::decode(path, &format).isNull())
            say(QStringLiteral("fuzz: seed %1 does not decode").arg(s.label));
        else
            formats.insert(QString::fromLatin1(format));
    }
    say(QStringLiteral("fuzz: %1 seeds of %2 formats (%3), %4 s, at most %5 s and %6 MB a case, random seed %7")
            .arg(seeds.size())
            .arg(formats.size())
            .arg(QStringList(formats.values()).join(QLatin1Char(' ')))
            .arg(mOptions.seconds)
            .arg(mOptions.caseSeconds)
            .arg(mOptions.memoryMb)
            .arg(mOptions.seed));

    // Mutants that still decode are mutated further: they reach deeper into
    // the readers than mutants of the seeds alone.
    QList<QPair<int, QByteArray>> decodedMutants;
    constexpr int kMaxKeptMutants = 400;
    qint64 cases = 0, crashes = 0, hangs = 0, overMemory = 0, wrong = 0, decodedCases = 0;
    qint64 mostMemoryMb = 0; // how near the cases came to the budget
    QMap<QString, qint64> perSeed;

    if (!startWorker()) {
        say(QStringLiteral("fuzz: the worker does not start"));
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    qint64 lastReport = 0;
    while (clock.elapsed() < qint64(mOptions.seconds) * 1000) {
        int from = mMutator.below(int(seeds.size()));
        QByteArray input = seeds.at(from).bytes;
        if (!decodedMutants.isEmpty() && mMutator.below(10) < 3) {
            const auto &m = decodedMutants.at(mMutator.below(int(decodedMutants.size())));
            from = m.first;
            input = m.second;
        }
        const QByteArray mutant = mMutator.mutate(input, seedBytes);
        const QString casePath = QStringLiteral("%1/case.%2").arg(mWork, seeds.at(from).ending);
        {
            QFile f(casePath);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(mutant) != mutant.size()) {
                say(QStringLiteral("fuzz: cannot write %1").arg(casePath));
                return 2;
            }
        }
        ++cases;
        ++perSeed[seeds.at(from).label];
        const Reply reply = runCase(casePath);
        mostMemoryMb = qMax(mostMemoryMb, reply.memoryMb);
        const QString label = seeds.at(from).label;
        if (reply.outcome == Outcome::Crashed) {
            ++crashes;
            mWorker->waitForFinished(5000);
            keep(QStringLiteral("crashes"), casePath,
                 QStringLiteral("%1 mutant ended the worker (exit %2)").arg(label).arg(mWorker->exitCode()));
            stopWorker();
            startWorker();
            continue;
        }
        if (reply.outcome == Outcome::Hung) {
            ++hangs;
            stopWorker();
            keep(QStringLiteral("hangs"), casePath,
                 QStringLiteral("%1 mutant took over %2 s of processor time").arg(label).arg(mOptions.caseSeconds));
            startWorker();
            continue;
        }
        if (reply.outcome == Outcome::OverMemory) {
            ++overMemory;
            stopWorker();
            keep(QStringLiteral("memory"), casePath,
                 QStringLiteral("%1 mutant took %2 MB (budget %3 MB)")
                     .arg(label)
                     .arg(reply.memoryMb)
                     .arg(mOptions.memoryMb));
            startWorker();
            continue;
        }
        if (reply.status != 0 && reply.status != 1) {
            ++wrong;
            keep(QStringLiteral("wrong"), casePath, QStringLiteral("%1 mutant: exit status %2").arg(label).arg(reply.status));
        } else if (reply.status == 0 && !reply.decoded) {
            ++wrong;
            keep(QStringLiteral("wrong"), casePath,
                 QStringLiteral("%1 mutant: exit status 0 for an image the decode helper cannot read").arg(label));
        } else if (reply.modernStatus != 0 && reply.modernStatus != 1) {
            ++wrong;
            keep(QStringLiteral("wrong"), casePath,
                 QStringLiteral("%1 mutant: modern gallery, exit status %2").arg(label).arg(reply.modernStatus));
        } else if (!reply.cutsClean) {
            ++wrong;
            keep(QStringLiteral("wrong"), casePath,
                 QStringLiteral("%1 mutant: a cut of it does not read back (exiv2 or decode)").arg(label));
        }
        if (reply.decoded) {
            ++decodedCases;
            if (decodedMutants.size() < kMaxKeptMutants)
                decodedMutants.append({from, mutant});
            else
                decodedMutants[mMutator.below(kMaxKeptMutants)] = {from, mutant};
        }
        // A fresh worker now and then: what a long run gathers in memory is
        // not what a case does.
        if (++mWorkerCases >= 2000) {
            mWorker->closeWriteChannel();
            mWorker->waitForFinished(30000);
            stopWorker();
            startWorker();
        }
        if (clock.elapsed() - lastReport >= 60000) {
            lastReport = clock.elapsed();
            say(QStringLiteral(
                    "fuzz: %1 s: %2 cases, %3 crashes, %4 hangs, %5 over the memory budget, %6 wrong exit codes")
                    .arg(clock.elapsed() / 1000)
                    .arg(cases)
                    .arg(crashes)
                    .arg(hangs)
                    .arg(overMemory)
                    .arg(wrong));
        }
    }
    stopWorker();

    QStringList counts;
    for (auto it = perSeed.cbegin(); it != perSeed.cend(); ++it)
        counts << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    say(QStringLiteral("fuzz: cases per seed: %1").arg(counts.join(QStringLiteral(", "))));
    say(QStringLiteral("fuzz: %1 cases in %2 s (%3 still decoded), %4 formats: %5 crashes, "
                       "%6 hangs (over %7 s of processor time), "
                       "%8 over the memory budget (%9 MB; the most a case took: %10 MB), %11 wrong exit codes")
            .arg(cases)
            .arg(clock.elapsed() / 1000)
            .arg(decodedCases)
            .arg(formats.size())
            .arg(crashes)
            .arg(hangs)
            .arg(mOptions.caseSeconds)
            .arg(overMemory)
            .arg(mOptions.memoryMb)
            .arg(mostMemoryMb)
            .arg(wrong));
    return crashes + hangs + overMemory + wrong == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--worker"))
        return worker(args.at(2));

    Options options;
    options.seed = quint32(QDateTime::currentMSecsSinceEpoch());
    options.out = QDir::currentPath() + QStringLiteral("/fuzz-out");
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString &name = args.at(i);
        const QString &value = args.at(i + 1);
        if (name == QLatin1String("--seconds"))
            options.seconds = value.toInt();
        else if (name == QLatin1String("--case-seconds"))
            options.caseSeconds = value.toInt();
        else if (name == QLatin1String("--memory-mb"))
            options.memoryMb = value.toInt();
        else if (name == QLatin1String("--seed"))
            options.seed = value.toUInt();
        else if (name == QLatin1String("--out"))
            options.out = QDir(value).absolutePath();
        else {
            std::fprintf(stderr, "framzo_fuzz: unknown option %s\n", qPrintable(name));
            return 2;
        }
    }
    if (args.size() % 2 == 0) {
        std::fprintf(stderr,
                     "usage: framzo_fuzz [--seconds N] [--case-seconds N] [--memory-mb N] [--seed N] [--out DIR]\n");
        return 2;
    }
    return Driver(options).run();
}
