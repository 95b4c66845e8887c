#pragma once
// How far a decode has come, and a way to stop it: shared by whoever wants
// the picture and the decode (a JPEG's, through the library's progress
// calls), which may run on several threads at once (the bands of one
// picture).

#include <QtGlobal>

#include <atomic>

struct DecodeControl
{
    // Set once the picture is no longer wanted: the decode ends within a
    // row of blocks and gives nothing.
    std::atomic<bool> stop{false};
    // Rows made so far, of the rows the decodes begun will make.
    std::atomic<qint64> rows{0};
    std::atomic<qint64> total{0};

    bool stopped() const { return stop.load(std::memory_order_relaxed); }
    // The share made so far, 0 before a decode has begun.
    double done() const
    {
        const qint64 all = total.load(std::memory_order_relaxed);
        return all > 0 ? double(rows.load(std::memory_order_relaxed)) / double(all) : 0.0;
    }
};
