#pragma once
// Makes broken files out of good ones: a few random changes stacked on one
// another, most of them in the first bytes, where the headers are and where
// a reader decides how much to allocate and read.

#include <QByteArray>
#include <QList>

#include <random>

class Mutator
{
public:
    explicit Mutator(quint32 seed);

    // A mutant of input (1 to 6 changes); others may give it a tail.
    QByteArray mutate(const QByteArray &input, const QList<QByteArray> &others);

    // A number from 0 to n - 1.
    int below(int n);

    // The largest mutant made (a change that inserts stops growing there).
    static constexpr int kMaxBytes = 1 << 20;

private:
    int position(const QByteArray &bytes);
    void change(QByteArray &bytes, const QList<QByteArray> &others);

    std::mt19937 mRandom;
};
