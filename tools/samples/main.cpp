// framzo_samples: writes one photo of each format Framzo reads through the
// field's libraries into a folder, beside a JPEG, for a look in a real
// window (tests/e2e_formats.sh, the screenshot in docs/).
//
//   framzo_samples FOLDER [WIDTHxHEIGHT]
//
// Each picture names its format in large letters over quadrants of four
// colours (red at the top left when upright). The DNG is stored on its
// side with an orientation that turns it upright; the AVIF and JPEG XL carry
// the same as their own turn; the second HEIC carries it as its rotation
// box. Prints the files written; exit status 1 when one could not be made
// (the reason on standard error).

#include "samples.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QTransform>

#include <cstdio>

namespace {

QImage picture(const QSize &size, const QString &label)
{
    QImage image(size, QImage::Format_RGB32);
    const int w = size.width(), h = size.height();
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h / 2, QColor(200, 40, 40));
    p.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(40, 170, 60));
    p.fillRect(0, h / 2, w / 2, h - h / 2, QColor(40, 70, 200));
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(230, 230, 230));
    QLinearGradient band(0, 0, w, 0);
    band.setColorAt(0, QColor(20, 20, 20));
    band.setColorAt(1, QColor(250, 220, 120));
    p.fillRect(w / 8, h * 3 / 8, w * 3 / 4, h / 4, band);
    QFont font;
    font.setPixelSize(qMax(12, h / 7));
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(w / 8, h * 3 / 8, w * 3 / 4, h / 4), Qt::AlignCenter, label);
    p.end();
    return image;
}

// The picture as a camera with orientation 6 stores it: a quarter turn
// anticlockwise, which the orientation turns back.
QImage onItsSide(const QImage &upright)
{
    return upright.transformed(QTransform().rotate(270));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: framzo_samples FOLDER [WIDTHxHEIGHT]\n");
        return 2;
    }
    const QString folder = args.at(1);
    QSize size(960, 640);
    if (args.size() > 2) {
        const QStringList wh = args.at(2).split(QLatin1Char('x'));
        if (wh.size() == 2)
            size = QSize(wh.at(0).toInt(), wh.at(1).toInt());
    }
    if (size.width() < 16 || size.height() < 16 || !QDir().mkpath(folder)) {
        std::fprintf(stderr, "framzo_samples: bad size or folder\n");
        return 2;
    }
    struct Sample
    {
        const char *name;
        const char *format;
        const char *label;
        int orientation;
    };
    const Sample made[] = {
        {"a.jpg", nullptr, "JPEG", 1},      {"b.HEIC", "heif", "HEIC", 1}, {"c.heic", nullptr, "HEIC turned", 6},
        {"d.avif", "avif", "AVIF", 6},      {"e.jxl", "jxl", "JPEG XL", 6}, {"f.webp", "webp", "WebP", 1},
        {"g.DNG", "raw", "DNG", 6},
    };
    int failed = 0;
    for (const Sample &s : made) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(s.name);
        const QImage upright = picture(size, QLatin1String(s.label));
        const QImage stored = s.orientation == 6 ? onItsSide(upright) : upright;
        QString why;
        bool ok = false;
        if (!s.format && s.orientation == 1) {
            QFile f(path);
            const QByteArray bytes = samples::cameraJpeg(upright);
            ok = f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        } else if (!s.format) {
            const QByteArray bytes = samples::heicTurned(stored, s.orientation, &why);
            QFile f(path);
            ok = !bytes.isEmpty() && f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        } else {
            ok = samples::write(path, s.format, stored, s.orientation, &why);
        }
        if (ok) {
            std::printf("%s\n", qPrintable(path));
        } else {
            ++failed;
            std::fprintf(stderr, "framzo_samples: %s not made: %s\n", s.name, qPrintable(why));
        }
    }
    return failed ? 1 : 0;
}
