#include "testutil.h"

#include <QFile>
#include <QImageWriter>
#include <QSettings>

namespace testutil {

QImage makeImage(int w, int h, QImage::Format format)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb((x * 255) / qMax(1, w - 1), (y * 255) / qMax(1, h - 1), ((x / 8 + y / 8) % 2) * 200);
    }
    return format == QImage::Format_RGB32 ? img : img.convertToFormat(format);
}

bool writeImage(const QString &path, int w, int h, const QByteArray &format, int quality)
{
    QImageWriter writer(path, format);
    writer.setQuality(quality);
    return writer.write(makeImage(w, h));
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

void clearSettings()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Ketra", "Framzo").clear();
}

} // namespace testutil
