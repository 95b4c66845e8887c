#include "testutil.h"

#include "core/gallery/gallerycli.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QUrl>
#include <QtEndian>

#include <memory>
#include <vector>

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

int galleryCli(const QStringList &args)
{
    std::vector<QByteArray> storage;
    storage.push_back("framzo");
    for (const QString &a : args)
        storage.push_back(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    return gallerycli::run(int(storage.size()), argv.data());
}

QStringList pageLinks(const QString &html)
{
    static const QRegularExpression attr(QStringLiteral("\\s(href|src|srcset)=\"([^\"]*)\""));
    QStringList links;
    for (auto it = attr.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1) != QLatin1String("srcset")) {
            links << m.captured(2);
            continue;
        }
        // Candidates apart by commas, each a URL and its descriptor.
        const QStringList candidates = m.captured(2).split(QLatin1Char(','));
        for (const QString &candidate : candidates)
            links << candidate.trimmed().section(QLatin1Char(' '), 0, 0);
    }
    return links;
}

QStringList linksLeavingFolder(const QString &folder)
{
    static const QRegularExpression numeric(QStringLiteral("&#(\\d+);"));
    const QString root = QFileInfo(folder).canonicalFilePath() + QLatin1Char('/');
    QStringList leaving;
    QDirIterator pages(folder, {QStringLiteral("*.html")}, QDir::Files, QDirIterator::Subdirectories);
    while (pages.hasNext()) {
        const QString page = pages.next();
        const QStringList links = pageLinks(QString::fromLatin1(readAll(page)));
        for (const QString &raw : links) {
            QString value = raw;
            for (auto n = numeric.globalMatch(value); n.hasNext();) {
                const auto m = n.next();
                value.replace(m.captured(0), QString(QChar(char16_t(m.captured(1).toUInt()))));
            }
            value.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
            const QUrl target = QUrl::fromLocalFile(page).resolved(QUrl(value));
            const QFileInfo file(target.isLocalFile() ? target.toLocalFile() : QString());
            if (!file.isFile() || !file.canonicalFilePath().startsWith(root))
                leaving << page + QStringLiteral(": ") + raw;
        }
    }
    return leaving;
}

bool eventsHandled()
{
    // Shared: a call that runs after a timed-out wait finds it still there.
    const auto reached = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [reached] { *reached = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&reached] { return *reached; });
}

QByteArray tiffSized(QByteArray tif, quint32 w, quint32 h)
{
    const bool le = tif.startsWith("II");
    auto get16 = [&](int at) {
        return le ? qFromLittleEndian<quint16>(tif.constData() + at) : qFromBigEndian<quint16>(tif.constData() + at);
    };
    auto put16 = [&](int at, quint16 v) {
        le ? qToLittleEndian(v, tif.data() + at) : qToBigEndian(v, tif.data() + at);
    };
    auto put32 = [&](int at, quint32 v) {
        le ? qToLittleEndian(v, tif.data() + at) : qToBigEndian(v, tif.data() + at);
    };
    const quint32 ifd = le ? qFromLittleEndian<quint32>(tif.constData() + 4) : qFromBigEndian<quint32>(tif.constData() + 4);
    const int count = get16(int(ifd));
    for (int e = 0; e < count; ++e) {
        const int at = int(ifd) + 2 + 12 * e;
        const quint16 tag = get16(at);
        if (tag == 256 || tag == 257) {
            put16(at + 2, 4); // LONG
            put32(at + 4, 1);
            put32(at + 8, tag == 256 ? w : h);
        }
    }
    return tif;
}

int difference(const QImage &a, const QImage &b, double *mean)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (mean)
        *mean = 256;
    if (x.size() != y.size() || x.isNull())
        return 256;
    int largest = 0;
    qint64 sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int i = 0; i < x.width(); ++i) {
            for (const int d : {qRed(p[i]) - qRed(q[i]), qGreen(p[i]) - qGreen(q[i]), qBlue(p[i]) - qBlue(q[i])}) {
                largest = qMax(largest, qAbs(d));
                sum += qAbs(d);
            }
        }
    }
    if (mean)
        *mean = double(sum) / (3.0 * x.width() * x.height());
    return largest;
}

void clearSettings()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Ketra", "Framzo").clear();
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : data) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace testutil
