#pragma once
// The named icons and small pictures compiled into Framzo, served by exact,
// case-sensitive name. Each image is decoded once, on first request, and
// kept in the factory's store; an unknown name gives a null pixmap.

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QStringList>

class MimeSourceFactory_framzo
{
public:
    MimeSourceFactory_framzo() = default;
    ~MimeSourceFactory_framzo() = default;
    MimeSourceFactory_framzo(const MimeSourceFactory_framzo &) = delete;
    MimeSourceFactory_framzo &operator=(const MimeSourceFactory_framzo &) = delete;

    // The pixmap stored under name, decoded from the table on first use;
    // a null pixmap when the name is not in the table.
    QPixmap data(const QString &name);

    // How many images have been decoded so far (each name at most once).
    int decodeCount() const { return mDecodes; }

private:
    QHash<QString, QPixmap> mStore;
    int mDecodes = 0;
};

// The decoded image of the record with exactly this name, or a null image.
QImage findImage(const QString &name);

// The names of every embedded image, in table order.
QStringList embeddedImageNames();

// Registers the single factory (once); run before the first window is built.
void initImages();
// Unregisters and deletes the factory; run after the last window is gone.
void cleanupImages();
// The registered factory, or null before initImages / after cleanupImages.
MimeSourceFactory_framzo *imageFactory();

// What the whole program uses to fetch an icon by name: the registered
// factory's answer, or a null pixmap when none is registered or the name is
// unknown.
QPixmap fromMimeSource(const QString &name);
