#include "core/base/jobs.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QWaitCondition>

#include <algorithm>
#include <memory>

namespace jobs {
namespace {

// What the lanes of one forEach share.
struct Loop
{
    Loop(int n, const std::function<void(int)> &b, const std::function<bool(int, int)> &w,
         const std::function<void(int)> &f)
        : count(n), body(b), waitFor(w), finished(f)
    {
    }

    const int count;
    const std::function<void(int)> &body;
    const std::function<bool(int, int)> &waitFor;
    const std::function<void(int)> &finished;

    QMutex mutex;
    QWaitCondition changed; // a call finished
    int next = 0;           // the call to start next
    int done = 0;
    QList<int> running;

    bool mustWait(int i) const
    {
        return waitFor && std::any_of(running.cbegin(), running.cend(), [&](int j) { return waitFor(i, j); });
    }

    // One lane: takes the next call, in order, until there are none left.
    void lane()
    {
        QMutexLocker lock(&mutex);
        while (next < count) {
            const int i = next;
            if (mustWait(i)) {
                changed.wait(&mutex);
                continue;
            }
            ++next;
            running << i;
            lock.unlock();
            body(i);
            lock.relock();
            running.removeOne(i);
            ++done;
            if (finished)
                finished(done);
            changed.wakeAll();
        }
    }
};

// Our threads, apart from Qt's global pool: Qt paints and scales large
// images in pieces on that pool's threads while the GUI thread waits for
// them, so decodes holding every one of its threads would freeze the window.
Q_GLOBAL_STATIC(QThreadPool, sharedPool)

} // namespace

QThreadPool *pool(Lane lane)
{
    if (lane == Lane::Shared)
        return sharedPool();
    // Made on first use, from the GUI thread (which starts all work ahead).
    static QPointer<QThreadPool> ahead;
    if (!ahead) {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return sharedPool();
        ahead = new QThreadPool(app);
        ahead->setMaxThreadCount(1);
    }
    return ahead;
}

int cores()
{
    return qMax(1, QThread::idealThreadCount());
}

namespace {

// The memory the system could hand out now without swapping, in bytes; -1
// when it does not say.
qint64 availableMemory()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : meminfo.readAll().split('\n')) {
        if (line.startsWith("MemAvailable:")) {
            bool ok = false;
            const qint64 kb = line.mid(13).trimmed().split(' ').value(0).toLongLong(&ok);
            return ok ? kb * 1024 : -1;
        }
    }
    return -1;
}

} // namespace

int lanesWithin(qint64 bytesEach)
{
    const qint64 available = availableMemory();
    if (available < 0 || bytesEach <= 0)
        return cores();
    return int(std::clamp<qint64>(available / 2 / bytesEach, 1, cores()));
}

void forEach(int count, int lanes, const std::function<void(int)> &body, const std::function<bool(int, int)> &waitFor,
             const std::function<void(int)> &finished)
{
    if (count <= 0)
        return;
    Loop loop(count, body, waitFor, finished);
    lanes = std::clamp(lanes, 1, count);
    if (lanes == 1) {
        loop.lane();
        return;
    }
    // The calling thread takes a lane itself; the others go to the pool,
    // started at once where a thread is free, else queued. The caller waits
    // only for lanes that have started: one queued behind loops whose
    // callers hold every thread (two JPEGs decoding in bands at once on a
    // pool of two) would otherwise never run, and neither loop end. A lane
    // that starts after the loop has ended returns without touching it; one
    // that starts while it runs joins in (a thread freed mid-loop helps).
    struct Lanes
    {
        QMutex mutex;
        QWaitCondition idle;
        int running = 0;
        bool ended = false;
    };
    const auto lanesState = std::make_shared<Lanes>();
    for (int i = 1; i < lanes; ++i) {
        auto helper = [lanesState, &loop] {
            {
                QMutexLocker lock(&lanesState->mutex);
                if (lanesState->ended)
                    return;
                ++lanesState->running;
            }
            loop.lane();
            QMutexLocker lock(&lanesState->mutex);
            --lanesState->running;
            lanesState->idle.wakeAll();
        };
        if (!pool(Lane::Shared)->tryStart(helper))
            pool(Lane::Shared)->start(helper);
    }
    loop.lane();
    QMutexLocker lock(&lanesState->mutex);
    lanesState->ended = true;
    while (lanesState->running > 0)
        lanesState->idle.wait(&lanesState->mutex);
}

} // namespace jobs
