// Times the folder tree on a folder of 2,000 files (1,200 photos of 24
// megapixels, 300 small PNGs, 500 files that are no images) and selecting
// one 24-megapixel photo, each next to one full QImageReader decode of that
// photo in the same run. Built on request: cmake --build B --target
// bench_browse; run with QT_QPA_PLATFORM=offscreen.

#include "ui/browse/browsebar.h"
#include "ui/forms/uiframzo.h"
#include "ui/images/mimesourcefactory.h"
#include "testutil.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

QTreeWidgetItem *childNamed(const QTreeWidgetItem *parent, const QString &name)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == name)
            return parent->child(i);
    }
    return nullptr;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench_browse: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir root;
    if (!root.isValid())
        return fail("no temporary folder");
    // The tree's Desktop is the home folder's: keep it out of the real one.
    qputenv("HOME", QFile::encodeName(root.path()));
    QApplication app(argc, argv);
    initImages();

    const QString dir = root.path() + QStringLiteral("/many");
    QDir().mkpath(dir);
    const QString photo = dir + QStringLiteral("/big.jpg");
    if (!testutil::writeImage(photo, 6000, 4000, "jpeg", 90))
        return fail("cannot write the photo");
    // Hard links: 1,200 photos of full size on the disk space of one.
    for (int i = 1; i < 1200; ++i) {
        const QByteArray link = QFile::encodeName(dir + QStringLiteral("/IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0')));
        if (::link(QFile::encodeName(photo).constData(), link.constData()) != 0)
            return fail("cannot link the photo");
    }
    for (int i = 0; i < 300; ++i)
        testutil::writeImage(dir + QStringLiteral("/shot%1.png").arg(i), 64, 48, "png");
    for (int i = 0; i < 500; ++i)
        testutil::writeBytes(dir + QStringLiteral("/IMG_%1.xmp").arg(i), QByteArray(600, 'x'));
    const int files = QDir(dir).entryList(QDir::Files).size();

    UiFramzo form;
    form.resize(1000, 800);
    form.show();
    BrowseBar bar(&form);
    bar.openPath(root.path());
    QTreeWidgetItem *many = bar.computerItem()->child(0);
    for (const QString &part : dir.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        many = childNamed(many, part);
        if (!many)
            return fail("folder not in the tree");
    }

    QList<double> expand, select, full;
    int listed = 0;
    QString sizeText;
    for (int round = 0; round < 5; ++round) {
        many->setExpanded(false);
        QElapsedTimer t;
        t.start();
        many->setExpanded(true);
        QCoreApplication::processEvents();
        expand << t.nsecsElapsed() / 1e6;
        listed = many->childCount();

        form.mpTree->setCurrentItem(childNamed(many, QStringLiteral("shot0.png")));
        QCoreApplication::processEvents();
        t.restart();
        form.mpTree->setCurrentItem(childNamed(many, QStringLiteral("big.jpg")));
        QCoreApplication::processEvents();
        select << t.nsecsElapsed() / 1e6;
        sizeText = form.mpLabelSize->text();

        t.restart();
        QImageReader reader(photo);
        reader.setAllocationLimit(2048);
        reader.setAutoTransform(true);
        const QImage img = reader.read();
        full << t.nsecsElapsed() / 1e6;
        if (img.size() != QSize(6000, 4000))
            return fail("full decode failed");
    }

    const double e = median(expand), s = median(select), f = median(full);
    std::printf("folder of %d files, %d listed; medians of 5 runs\n", files, listed);
    std::printf("expand the folder:              %8.1f ms  (%.2f x a full decode)\n", e, e / f);
    std::printf("select the 24 MP photo:         %8.1f ms  (%.3f x a full decode)  [%s]\n", s, s / f,
                qPrintable(sizeText));
    std::printf("full QImageReader decode:       %8.1f ms\n", f);
    cleanupImages();
    return 0;
}
