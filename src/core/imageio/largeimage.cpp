#include "core/imageio/largeimage.h"

#include "core/imageio/imageio.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QMutex>
#include <QTimer>

#include <cstdlib>

namespace imageio {

// Qt keeps the limit in one plain variable that every reader reads. It is
// written once, by whichever thread reads an image first; the others wait
// for that at the guard of the static, so no reader sees it change.
void raiseLimit()
{
    static const bool raised = [] {
        QImageReader::setAllocationLimit(kAllocationLimitMB);
        return true;
    }();
    Q_UNUSED(raised);
}

namespace {

// Below this many bytes an image is allocated the ordinary way.
constexpr qsizetype kLargeImageBytes = 8 << 20;

// The memory of one large image.
struct LargeBlock
{
    void *memory = nullptr;
    size_t bytes = 0;
};

// The memory of the large image let go last, kept for the next one: fresh
// memory costs the system a quarter of a photo's decode to hand out (it is
// cleared page by page as the decode first writes it), and stepping through
// a camera's photos or writing a gallery asks for the same size again and
// again. At most one block is kept, and only for a few seconds: a window
// left on one photo holds that photo's memory alone.
QMutex spareLock;
LargeBlock spare;
quint64 spareCount = 0; // counts the blocks kept, so that a late trim leaves a newer one
constexpr int kSpareKeptMs = 3000;

void trimSpare(quint64 which)
{
    LargeBlock gone;
    {
        QMutexLocker lock(&spareLock);
        if (spareCount != which)
            return;
        gone = spare;
        spare = LargeBlock();
    }
    std::free(gone.memory);
}

void freeLargeImage(void *info)
{
    auto *block = static_cast<LargeBlock *>(info);
    LargeBlock previous;
    quint64 which = 0;
    {
        QMutexLocker lock(&spareLock);
        previous = spare;
        spare = *block;
        which = ++spareCount;
    }
    std::free(previous.memory);
    delete block;
    // The trim runs on the application's thread, whichever thread let the
    // image go; without an application the block goes at once.
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        trimSpare(which);
        return;
    }
    QMetaObject::invokeMethod(
        app, [which] { QTimer::singleShot(kSpareKeptMs, QCoreApplication::instance(), [which] { trimSpare(which); }); },
        Qt::QueuedConnection);
}

} // namespace

// An empty w x h RGB32 image in memory of its own, kept for the next large
// image when this one goes. No large (2 MB) pages are asked for: on a
// virtual machine the system hands blocks of that size back to the host
// when they are free, and getting them again costs far more than the page
// faults they save. A photo opened at start after another program had let
// its memory go took 650-790 ms to show with them and 200-240 ms without,
// and a decode in the same process, where the kept block is used again, is
// no slower. Null when the memory cannot be had, and the caller then lets
// the reader allocate.
QImage largeImage(const QSize &size)
{
    const qsizetype bytesPerLine = qsizetype(size.width()) * 4;
    const qsizetype bytes = bytesPerLine * size.height();
    if (size.isEmpty() || bytes < kLargeImageBytes || bytes / bytesPerLine != size.height())
        return {};
#ifdef Q_OS_LINUX
    LargeBlock block;
    {
        // The block let go last, when it is not much larger than needed.
        QMutexLocker lock(&spareLock);
        if (spare.memory && spare.bytes >= size_t(bytes) && spare.bytes - size_t(bytes) <= size_t(bytes) / 4) {
            block = spare;
            spare = LargeBlock();
        }
    }
    if (!block.memory) {
        constexpr size_t kAlignment = 64; // a cache line, for the decoders' vector code
        if (posix_memalign(&block.memory, kAlignment, size_t(bytes)) != 0)
            return {};
        block.bytes = size_t(bytes);
    }
    return QImage(static_cast<uchar *>(block.memory), size.width(), size.height(), bytesPerLine,
                  QImage::Format_RGB32, freeLargeImage, new LargeBlock(block));
#else
    return {};
#endif
}

} // namespace imageio
