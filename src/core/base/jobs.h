#pragma once
// The one way Framzo runs work off the GUI thread.
//
// - start() runs a piece of work on a lane's threads and returns its future;
//   the work tells how far it is through a Progress, which becomes the
//   future's progress.
// - watch() hands a future's progress and its result back to an object's
//   thread as plain calls (through a QFutureWatcher): no polling, and the
//   worker never calls into a window.
// - stream() and watchEach() do the same for work that makes many results,
//   each handed over as soon as it is made (the icons of a folder).
// - forEach() and mapped() split one action's work over the cores and
//   return when it is all done: the bands of an edit, the header probes of a
//   folder, the icons of a listing, the images of a gallery.

#include <QFuture>
#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>
#include <type_traits>
#include <utility>

class QThreadPool;

namespace jobs {

enum class Lane {
    // A pool of our own beside Qt's global one, one thread per core.
    Shared,
    // One thread of its own, for work done ahead of need (the neighbours of
    // the photo shown): it never takes more than one core and never waits
    // behind work on the shared pool.
    Ahead,
};

// The threads of a lane. The application owns them and waits, as it ends,
// for work under way.
QThreadPool *pool(Lane lane);

// How many threads can run at once on this machine.
int cores();

// done of total, told by a run from any of its threads, one call at a time.
using Progress = std::function<void(int done, int total)>;

// Runs work(progress) on the lane and returns its future, which carries
// work's result (if any) and the progress it reported.
template <typename Work> auto start(Lane lane, Work work)
{
    using Result = std::invoke_result_t<Work &, const Progress &>;
    return QtConcurrent::run(pool(lane), [work = std::move(work)](QPromise<Result> &promise) mutable {
        int total = -1;
        const Progress progress = [&promise, &total](int done, int all) {
            if (all != total) {
                total = all;
                promise.setProgressRange(0, all);
            }
            promise.setProgressValue(done);
        };
        if constexpr (std::is_void_v<Result>)
            work(progress);
        else
            promise.addResult(work(progress));
    });
}

// Hands future's end to receiver's thread: finished(result), or finished()
// for a future without a result; and, when given, progress(done, total)
// whenever the run reports (at most a few dozen times a second, the last
// report always). Once receiver is destroyed nothing is called any more;
// the run itself goes on to its end.
template <typename T, typename Finished>
void watch(const QFuture<T> &future, QObject *receiver, Finished finished, Progress progress = {})
{
    auto *watcher = new QFutureWatcher<T>(receiver);
    if (progress) {
        QObject::connect(watcher, &QFutureWatcherBase::progressRangeChanged, watcher,
                         [watcher, progress](int, int maximum) { progress(watcher->progressValue(), maximum); });
        QObject::connect(watcher, &QFutureWatcherBase::progressValueChanged, watcher,
                         [watcher, progress](int value) { progress(value, watcher->progressMaximum()); });
    }
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, finished = std::move(finished)]() mutable {
                         watcher->deleteLater();
                         if constexpr (std::is_void_v<T>)
                             finished();
                         else
                             finished(watcher->future().result());
                     });
    watcher->setFuture(future);
}

// What a streaming run hands its results through, from any of its threads.
template <typename T> class Stream
{
public:
    explicit Stream(QPromise<T> &promise) : mPromise(promise) {}
    // The result at index (each index once), handed to watchEach's each().
    void add(int index, T value) { mPromise.addResult(std::move(value), index); }
    // Whether the future was cancelled: the run may stop early.
    bool cancelled() const { return mPromise.isCanceled(); }

private:
    QPromise<T> &mPromise;
};

// Runs work(stream) on the lane; the future carries the results the run
// adds to its Stream<T>, at their indices.
template <typename T, typename Work> QFuture<T> stream(Lane lane, Work work)
{
    return QtConcurrent::run(pool(lane), [work = std::move(work)](QPromise<T> &promise) mutable {
        Stream<T> results(promise);
        work(results);
    });
}

// Hands each result of future to receiver's thread as it is made:
// each(index, value); then finished() once the run has ended, cancelled or
// not. Once receiver is destroyed nothing is called any more.
template <typename T, typename Each, typename Finished>
void watchEach(const QFuture<T> &future, QObject *receiver, Each each, Finished finished)
{
    auto *watcher = new QFutureWatcher<T>(receiver);
    QObject::connect(watcher, &QFutureWatcherBase::resultReadyAt, watcher,
                     [watcher, each = std::move(each)](int index) mutable {
                         if (!watcher->isCanceled())
                             each(index, watcher->resultAt(index));
                     });
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, finished = std::move(finished)]() mutable {
                         watcher->deleteLater();
                         finished();
                     });
    watcher->setFuture(future);
}

// How many pieces of work that each hold bytesEach of memory may run at
// once: one per core, within half the memory the system has free, and at
// least one.
int lanesWithin(qint64 bytesEach);

// Calls body(i) for every i from 0 to count - 1, at most `lanes` at a time,
// on the calling thread and free threads of the shared pool, and returns
// when every call has returned. Calls start in increasing order of i.
//
// waitFor(i, j), when given, is asked for a call i about to start and each
// earlier call j still running: while it is true, call i waits for j. Two
// calls that touch the same thing then never overlap, and the later one
// sees what the earlier one did, as if they had run one after the other.
//
// finished(n), when given, is called after each call with the number of
// calls finished so far, one at a time.
void forEach(int count, int lanes, const std::function<void(int)> &body,
             const std::function<bool(int, int)> &waitFor = {}, const std::function<void(int)> &finished = {});

// fn(i) for every i from 0 to count - 1, made as forEach makes them; the
// results in the order of i.
template <typename T, typename Fn> QList<T> mapped(int count, int lanes, Fn fn)
{
    QList<T> out(qMax(0, count));
    T *const results = out.data(); // detached once, before the threads write
    forEach(count, lanes, [&](int i) { results[i] = fn(i); });
    return out;
}

} // namespace jobs
