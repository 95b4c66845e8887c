#include "core/cut/capture.h"

#include "core/imageio/formats.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "core/base/pathutil.h"

#include <QFileInfo>
#include <QImage>
#include <QObject>
#include <QRegularExpression>
#include <limits>

namespace capture {

QRect imageRect(QSize imageSize, QSize canvasSize, double frameX, double frameY, int frameWidth,
                int frameHeight)
{
    if (canvasSize.width() <= 0 || canvasSize.height() <= 0)
        return {};
    const double fx = double(imageSize.width()) / canvasSize.width();
    const double fy = double(imageSize.height()) / canvasSize.height();
    double x = fx * frameX;
    double y = fy * frameY;
    const double w = fx * frameWidth;
    const double h = fy * frameHeight;
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;
    // Nothing a canvas frame gives comes near this; refuse rather than let a
    // conversion overflow.
    constexpr double limit = std::numeric_limits<int>::max() / 2;
    for (double v : {x, y, w, h})
        if (!(v < limit) || v <= -limit)
            return {};
    const QRect r(static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h));
    if (r.isEmpty())
        return QRect(r.topLeft(), QSize(0, 0));
    return r.intersected(QRect(QPoint(0, 0), imageSize));
}

QImage cut(const QImage &image, const QRect &rect)
{
    // copy() would fill what lies past the image with pixel value 0 (black,
    // or transparent): only the photo's own pixels are taken.
    const QRect inside = rect.intersected(image.rect());
    if (inside.width() <= 0 || inside.height() <= 0)
        return {};
    return image.copy(inside);
}

QString outputPath(const QString &captureDir, const QString &sourcePath)
{
    // A relative source path without any "/" still gets its separator.
    QString out = captureDir + QLatin1Char('/') + pathutil::fileName(sourcePath);
    while (out.contains(QLatin1String("//")))
        out.replace(QLatin1String("//"), QLatin1String("/"));
    return out;
}

namespace {

// A name is taken by anything there, a symbolic link too, even one that
// points nowhere: writing there would create the file it names.
bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

QString withSuffix(const QString &name, const QString &suffix)
{
    if (suffix.isEmpty() || suffix.contains(QLatin1Char('/')))
        return name;
    const QString file = pathutil::fileName(name);
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    // A leading dot starts a hidden name, not an ending.
    const qsizetype at = dot > 0 ? name.size() - file.size() + dot : name.size();
    return name.left(at) + QLatin1Char('_') + suffix + name.mid(at);
}

QString sizeSuffix(const QString &widthText, const QString &heightText)
{
    auto plain = [](const QString &text) {
        const QString t = text.trimmed();
        bool ok = false;
        const double v = t.toDouble(&ok);
        // Digits and one point only: no sign, exponent or spaces in a file name.
        static const QRegularExpression number(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
        return ok && v > 0 && number.match(t).hasMatch() ? t : QString();
    };
    const QString w = plain(widthText);
    const QString h = plain(heightText);
    return w.isEmpty() || h.isEmpty() ? QString() : w + QLatin1Char('x') + h;
}

QString firstFreeName(const QString &path)
{
    if (!taken(path))
        return path;
    const QFileInfo info(path);
    const QString folder = pathutil::beforeLastSlash(path);
    const QString stem = info.completeBaseName();
    const QString ext = info.suffix();
    for (int n = 1;; ++n) {
        QString name = stem + QLatin1Char('_') + QString::number(n);
        if (!ext.isEmpty())
            name += QLatin1Char('.') + ext;
        const QString candidate = path.contains(QLatin1Char('/')) ? pathutil::join(folder, name) : name;
        if (!taken(candidate))
            return candidate;
    }
}

Result writeCut(const QImage &image, const QRect &rect, const QString &sourcePath, const QString &captureDir,
                const imageio::PhotoOptions &options, Naming naming)
{
    Result result;
    if (captureDir.isEmpty()) {
        result.error = QObject::tr("No capture folder chosen.");
        return result;
    }
    const QImage piece = cut(image, rect);
    if (piece.isNull()) {
        result.error = QObject::tr("Nothing to cut: the frame is empty or could not be cut out.");
        return result;
    }
    QByteArray format = imageio::detect(sourcePath);
    if (format.isEmpty()) // the source is gone or unreadable now: go by the name
        format = QFileInfo(sourcePath).suffix().toLower().toLatin1();
    // A photo in a format the program does not write (HEIC, camera raw, GIF,
    // ...) is cut to JPEG, under the photo's name ending in .jpg.
    QString out = outputPath(captureDir, withSuffix(formats::writtenName(sourcePath, format), naming.suffix));
    format = formats::writtenFormat(format);
    if (naming == Naming::KeepEarlier || pathutil::sameFile(out, sourcePath))
        out = firstFreeName(out);

    if (!imageio::writePhoto(piece, out, format, {sourcePath, -1}, options)) {
        const QString refused = imageio::refusedTarget(out);
        result.error = refused.isEmpty() ? QObject::tr("Capture not written: %1").arg(out)
                                         : QObject::tr("Capture not written: %1").arg(refused);
        return result;
    }
    result.path = out;
    result.size = piece.size();
    return result;
}

} // namespace capture
