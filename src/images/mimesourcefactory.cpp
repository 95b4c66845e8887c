#include "mimesourcefactory.h"

// Placeholder until the embedded table lands: every name is unknown.

namespace {
MimeSourceFactory_framzo *gFactory = nullptr;
}

QPixmap MimeSourceFactory_framzo::data(const QString &name)
{
    auto it = mStore.constFind(name);
    if (it != mStore.constEnd())
        return *it;
    if (name.isNull())
        return {};
    const QImage img = findImage(name);
    if (img.isNull())
        return {};
    ++mDecodes;
    QPixmap pm = QPixmap::fromImage(img);
    mStore.insert(name, pm);
    return pm;
}

QImage findImage(const QString &)
{
    return {};
}

QStringList embeddedImageNames()
{
    return {};
}

void initImages()
{
    if (!gFactory)
        gFactory = new MimeSourceFactory_framzo;
}

void cleanupImages()
{
    delete gFactory;
    gFactory = nullptr;
}

MimeSourceFactory_framzo *imageFactory()
{
    return gFactory;
}

QPixmap fromMimeSource(const QString &name)
{
    return gFactory ? gFactory->data(name) : QPixmap();
}
