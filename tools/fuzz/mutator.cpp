#include "mutator.h"

#include <QtEndian>

namespace {

// Values that make sizes, counts and offsets go wrong: zero, one, the edges
// of signed and unsigned ranges.
constexpr quint8 k8[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0x10, 0x40};
constexpr quint16 k16[] = {0x0000, 0x0001, 0x7FFF, 0x8000, 0xFFFF, 0x0100, 0x4000, 0x5A00};
constexpr quint32 k32[] = {0x00000000u, 0x00000001u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu,
                           0x00010000u, 0x00005A00u, 0x40000000u};

} // namespace

Mutator::Mutator(quint32 seed) : mRandom(seed) {}

int Mutator::below(int n)
{
    return n <= 1 ? 0 : int(std::uniform_int_distribution<int>(0, n - 1)(mRandom));
}

int Mutator::position(const QByteArray &bytes)
{
    // Half the changes fall into the first 64 bytes (signatures, headers),
    // a quarter into the first 512, the rest anywhere.
    const int n = int(bytes.size());
    switch (below(4)) {
    case 0:
    case 1:
        return below(qMin(n, 64));
    case 2:
        return below(qMin(n, 512));
    default:
        return below(n);
    }
}

void Mutator::change(QByteArray &bytes, const QList<QByteArray> &others)
{
    if (bytes.isEmpty()) {
        bytes.append(char(below(256)));
        return;
    }
    const int n = int(bytes.size());
    const int at = position(bytes);
    switch (below(11)) {
    case 0: // one bit
        bytes[at] = char(quint8(bytes.at(at)) ^ quint8(1u << below(8)));
        break;
    case 1: // a byte of an edge value
        bytes[at] = char(k8[below(int(std::size(k8)))]);
        break;
    case 2: // a byte a little more or less
        bytes[at] = char(quint8(bytes.at(at)) + quint8(below(33) - 16));
        break;
    case 3: // 16 bits of an edge value, either byte order
        if (at + 2 <= n) {
            const quint16 v = k16[below(int(std::size(k16)))];
            below(2) ? qToBigEndian(v, bytes.data() + at) : qToLittleEndian(v, bytes.data() + at);
        }
        break;
    case 4: // 32 bits of an edge value, either byte order
        if (at + 4 <= n) {
            const quint32 v = k32[below(int(std::size(k32)))];
            below(2) ? qToBigEndian(v, bytes.data() + at) : qToLittleEndian(v, bytes.data() + at);
        }
        break;
    case 5: // cut short
        bytes.truncate(at + 1);
        break;
    case 6: // a piece taken out
        bytes.remove(at, 1 + below(qMin(n - at, 256)));
        break;
    case 7: { // a piece repeated elsewhere
        const int from = below(n);
        const QByteArray piece = bytes.mid(from, 1 + below(qMin(n - from, 512)));
        if (n + piece.size() <= kMaxBytes)
            bytes.insert(at, piece);
        break;
    }
    case 8: { // random bytes put in
        QByteArray noise(1 + below(32), Qt::Uninitialized);
        for (char &c : noise)
            c = char(below(256));
        if (n + noise.size() <= kMaxBytes)
            bytes.insert(at, noise);
        break;
    }
    case 9: { // the tail of another file
        if (others.isEmpty())
            break;
        const QByteArray &other = others.at(below(int(others.size())));
        const QByteArray tail = other.mid(below(int(other.size())));
        bytes = bytes.left(at) + tail.left(kMaxBytes - at);
        break;
    }
    default: { // a run of one byte value over a stretch
        const int length = qMin(n - at, 1 + below(64));
        bytes.replace(at, length, QByteArray(length, char(k8[below(int(std::size(k8)))])));
        break;
    }
    }
}

QByteArray Mutator::mutate(const QByteArray &input, const QList<QByteArray> &others)
{
    QByteArray out = input;
    const int changes = 1 + below(6);
    for (int i = 0; i < changes; ++i)
        change(out, others);
    if (out.size() > kMaxBytes)
        out.truncate(kMaxBytes);
    return out;
}
