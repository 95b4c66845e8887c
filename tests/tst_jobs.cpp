// The job helper: a split loop makes every call once, never more at a time
// than asked, and never lets two calls that must wait for each other
// overlap; a watched run's progress and end come back on the receiver's
// thread, and nothing comes back to a receiver that is gone; the lane for
// work ahead of need does not wait behind a busy shared pool.

#include "core/base/jobs.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <numeric>

class TstJobs : public QObject
{
    Q_OBJECT

private slots:
    void forEach_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("lanes");
        QTest::addColumn<int>("clashEvery"); // i waits for j when clashEvery divides i - j; 0: never
        QTest::newRow("nothing") << 0 << 4 << 0;
        QTest::newRow("one lane") << 50 << 1 << 0;
        QTest::newRow("more lanes than calls") << 3 << 8 << 0;
        QTest::newRow("two lanes") << 300 << 2 << 0;
        QTest::newRow("each waits for the one before") << 300 << 2 << 1;
        QTest::newRow("every third shares") << 300 << 4 << 3;
    }
    void forEach()
    {
        QFETCH(int, count);
        QFETCH(int, lanes);
        QFETCH(int, clashEvery);
        const auto clash = [clashEvery](int i, int j) { return clashEvery > 0 && (i - j) % clashEvery == 0; };

        // A call that must wait for an earlier one starts only once that one
        // has returned: never alongside it, never before it.
        QMutex mutex;
        QList<int> calls(count, 0);
        QList<bool> returned(count, false);
        QList<int> running;
        QList<int> finished;
        qsizetype most = 0;
        bool outOfTurn = false;
        jobs::forEach(
            count, lanes,
            [&](int i) {
                {
                    QMutexLocker lock(&mutex);
                    ++calls[i];
                    for (int j = 0; j < i; ++j)
                        outOfTurn = outOfTurn || (clash(i, j) && !returned[j]);
                    running << i;
                    most = std::max(most, running.size());
                }
                // A little work, so that calls on other lanes get their chance to overlap.
                QElapsedTimer spin;
                spin.start();
                while (spin.nsecsElapsed() < 100000)
                    QThread::yieldCurrentThread();
                QMutexLocker lock(&mutex);
                running.removeOne(i);
                returned[i] = true;
            },
            clashEvery > 0 ? std::function<bool(int, int)>(clash) : std::function<bool(int, int)>(),
            [&](int n) { finished << n; });

        QCOMPARE(calls, QList<int>(count, 1));
        QVERIFY(most <= lanes);
        QVERIFY(!outOfTurn);
        QList<int> oneByOne(count);
        std::iota(oneByOne.begin(), oneByOne.end(), 1);
        QCOMPARE(finished, oneByOne);
    }

    void watch_data()
    {
        QTest::addColumn<bool>("receiverGone");
        QTest::newRow("receiver stays") << false;
        QTest::newRow("receiver destroyed first") << true;
    }
    void watch()
    {
        QFETCH(bool, receiverGone);
        auto receiver = std::make_unique<QObject>();
        QList<QPair<int, int>> progress;
        int result = -1;
        QThread *thread = nullptr;
        QSemaphore go;
        const QFuture<int> future = jobs::start(jobs::Lane::Shared, [&go](const jobs::Progress &report) {
            go.acquire();
            for (int i = 0; i <= 5; ++i)
                report(i, 5);
            return 42;
        });
        jobs::watch(
            future, receiver.get(),
            [&](int r) {
                result = r;
                thread = QThread::currentThread();
            },
            [&](int done, int total) { progress << qMakePair(done, total); });
        // Watched after the first: once it has heard of the end, so has the
        // first, had its receiver stayed.
        QObject witness;
        bool witnessed = false;
        jobs::watch(future, &witness, [&](int) { witnessed = true; });
        if (receiverGone)
            receiver.reset();
        go.release();

        QTRY_VERIFY(future.isFinished());
        if (receiverGone) {
            QTRY_VERIFY(witnessed);
            QCOMPARE(result, -1);
            QVERIFY(progress.isEmpty());
            return;
        }
        QTRY_COMPARE(result, 42);
        QCOMPARE(thread, QThread::currentThread());
        QCOMPARE(progress.last(), qMakePair(5, 5));
    }

    void aheadLaneDoesNotWaitForTheSharedPool()
    {
        // Every thread of the shared pool held up: work ahead of need runs
        // all the same.
        QSemaphore release;
        QList<QFuture<void>> blockers;
        for (int i = 0; i < QThreadPool::globalInstance()->maxThreadCount(); ++i)
            blockers << jobs::start(jobs::Lane::Shared, [&release](const jobs::Progress &) { release.acquire(); });
        const QFuture<int> ahead = jobs::start(jobs::Lane::Ahead, [](const jobs::Progress &) { return 7; });
        QTRY_VERIFY(ahead.isFinished());
        QCOMPARE(ahead.result(), 7);
        release.release(int(blockers.size()));
        for (const QFuture<void> &b : std::as_const(blockers))
            QTRY_VERIFY(b.isFinished());
    }
};

QTEST_MAIN(TstJobs)
#include "tst_jobs.moc"
