#include "core/photo/photodecode.h"

#include "core/base/jobs.h"
#include "core/imageio/imageio.h"
#include "core/photo/displaycopy.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

namespace photodecode {
namespace {

// Only the GUI thread begins and takes.
struct Begun
{
    QString path; // canonical: links and relative names resolved
    QFuture<Decoded> reduced;
};
Begun begun;
quint64 begunCount = 0;
constexpr int kKeptMs = 5000;

QString canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

} // namespace

Decoded full(const QString &path, DecodeControl *control)
{
    Decoded d;
    d.stamp = FileStamp::of(path);
    d.image = imageio::decode(path, &d.format, control);
    d.fullSize = d.image.size();
    return d;
}

void beginFirst(const QString &path, const QSize &screen)
{
    begun = Begun();
    if (screen.isEmpty() || !QFileInfo(path).isFile() || imageio::detect(path) != "jpeg")
        return;
    begun.path = canonical(path);
    begun.reduced = jobs::start(jobs::Lane::Shared, [path, screen](const jobs::Progress &) {
        Decoded d;
        d.stamp = FileStamp::of(path);
        const auto atLeast = [&screen](const QSize &size) { return displaycopy::copySize(size, screen); };
        d.image = imageio::decodeReduced(path, atLeast, &d.fullSize, &d.format);
        return d;
    });
    const quint64 which = ++begunCount;
    if (QCoreApplication *app = QCoreApplication::instance()) {
        QTimer::singleShot(kKeptMs, app, [which] {
            if (begunCount == which)
                begun = Begun();
        });
    }
}

QFuture<Decoded> takeReduced(const QString &path)
{
    if (!begun.reduced.isValid() || begun.path.isEmpty() || begun.path != canonical(path))
        return {};
    const QFuture<Decoded> future = begun.reduced;
    begun = Begun();
    return future;
}

} // namespace photodecode
