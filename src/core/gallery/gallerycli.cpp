#include "core/gallery/gallerycli.h"

#include "core/gallery/galleryrunner.h"
#include "core/gallery/gallerysettings.h"
#include "core/imageio/imageio.h"
#include "core/base/pathutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <memory>

#ifndef FRAMZO_VERSION
#define FRAMZO_VERSION "2.0"
#endif

namespace gallerycli {
namespace {

const char kUsage[] =
    "Usage: framzo --gallery FOLDER [--name B] [--size WxH] [--columns N] [--no-link] [--no-text]\n"
    "              [--theme classic|modern] [--originals] [--keep-metadata] IMAGE...\n"
    "Writes a web gallery of the IMAGEs into FOLDER: the index page B.html and the folder B\n"
    "with the thumbnails, copies and one page per image.\n"
    "\n"
    "  --gallery FOLDER  the folder the gallery is written into (it must exist)\n"
    "  --name B          name of the index page and of the gallery folder (default framzo)\n"
    "  --size WxH        the box the thumbnails fit into, in pixels (default 200x150)\n"
    "  --columns N       thumbnails per row of the classic index (default 1)\n"
    "  --no-link         no copies and no image pages; the thumbnails link nowhere\n"
    "  --no-text         no file names under the thumbnails\n"
    "  --theme THEME     classic (default): a table of thumbnails and full-size copies;\n"
    "                    modern: pages that fit phones and desktops, sharp thumbnails,\n"
    "                    sRGB JPEG copies of at most 2048 pixels, no GPS position,\n"
    "                    serial numbers or maker notes in what is published\n"
    "  --originals       modern: publish the original files too and link them\n"
    "  --keep-metadata   modern: the copies keep GPS position, serial numbers and maker notes\n"
    "  --                what follows are images, even names that start with -\n"
    "  --help            show this text\n"
    "  --version         show the program's version\n"
    "\n"
    "Without these options framzo opens its window and shows the image files it is given.\n";

bool isOwnOption(const QString &arg)
{
    return arg == QLatin1String("--gallery") || arg.startsWith(QLatin1String("--gallery="))
        || arg == QLatin1String("--help") || arg == QLatin1String("-h") || arg == QLatin1String("--version");
}

int fail(int status, const QString &message)
{
    std::fputs(QStringLiteral("framzo: %1\n").arg(message).toLocal8Bit().constData(), stderr);
    return status;
}

// What the arguments ask for.
struct Request
{
    QString folder;
    bool haveFolder = false;
    QString base = QStringLiteral("framzo");
    QString width = QStringLiteral("200");
    QString height = QStringLiteral("150");
    QString columns = QStringLiteral("1");
    bool link = true;
    bool text = true;
    GallerySettings::Theme theme = GallerySettings::Theme::Classic;
    bool originals = false;
    bool keepMetadata = false;
    QStringList images;
};

// Returned by the readers below while the run goes on; any other value is
// the exit status, its message printed.
constexpr int kGoOn = -1;

// Takes the value of an option (arg as given, split into option and value).
int takeValue(Request &r, const QString &arg, const QString &option, const QString &value)
{
    if (option == QLatin1String("--gallery")) {
        r.folder = value;
        r.haveFolder = true;
    } else if (option == QLatin1String("--name")) {
        r.base = value;
    } else if (option == QLatin1String("--size")) {
        const int x = value.indexOf(QLatin1Char('x'), 0, Qt::CaseInsensitive);
        if (x < 0)
            return fail(2, QStringLiteral("--size wants WIDTHxHEIGHT, such as 200x150, not \"%1\"").arg(value));
        r.width = value.left(x);
        r.height = value.mid(x + 1);
    } else if (option == QLatin1String("--columns")) {
        r.columns = value;
    } else if (option == QLatin1String("--theme")) {
        const auto theme = GallerySettings::themeNamed(value);
        if (!theme)
            return fail(2, QStringLiteral("--theme wants classic or modern, not \"%1\"").arg(value));
        r.theme = *theme;
    } else if (QFileInfo::exists(arg)) {
        return fail(2, QStringLiteral("unknown option %1 (an image whose name starts with - goes after --)").arg(arg));
    } else {
        return fail(2, QStringLiteral("unknown option %1 (see framzo --help)").arg(arg));
    }
    return kGoOn;
}

// Reads the arguments into r; --help and --version are answered here.
int readArguments(int argc, char **argv, Request &r)
{
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (optionsEnd || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            r.images << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnd = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == QLatin1String("--version")) {
            std::fputs("Framzo " FRAMZO_VERSION "\n", stdout);
            return 0;
        } else if (arg == QLatin1String("--no-link")) {
            r.link = false;
        } else if (arg == QLatin1String("--no-text")) {
            r.text = false;
        } else if (arg == QLatin1String("--originals")) {
            r.originals = true;
        } else if (arg == QLatin1String("--keep-metadata")) {
            r.keepMetadata = true;
        } else {
            // Options with a value, as "--name B" or "--name=B".
            QString option = arg;
            QString value;
            const int eq = arg.indexOf(QLatin1Char('='));
            if (eq > 0) {
                option = arg.left(eq);
                value = arg.mid(eq + 1);
            } else if (option == QLatin1String("--gallery") || option == QLatin1String("--name")
                       || option == QLatin1String("--size") || option == QLatin1String("--columns")
                       || option == QLatin1String("--theme")) {
                if (i + 1 >= argc)
                    return fail(2, QStringLiteral("%1 needs a value (see framzo --help)").arg(option));
                value = QString::fromLocal8Bit(argv[++i]);
            }
            if (const int status = takeValue(r, arg, option, value); status != kGoOn)
                return status;
        }
    }
    return kGoOn;
}

} // namespace

bool wanted(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--"))
            return false;
        if (isOwnOption(arg))
            return true;
    }
    return false;
}

int run(int argc, char **argv)
{
    // Image reading needs the plugin paths of an application object, but no
    // display. Tests call this inside their own application.
    int appArgc = argc;
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(appArgc, argv);

    Request r;
    if (const int status = readArguments(argc, argv, r); status != kGoOn)
        return status;
    if (!r.haveFolder)
        return fail(2, QStringLiteral("--gallery FOLDER is missing (see framzo --help)"));
    // Classic galleries publish no originals, and their copies carry no
    // metadata: the two options would change nothing there, and the user
    // had better hear so than wonder.
    if ((r.originals || r.keepMetadata) && r.theme != GallerySettings::Theme::Modern)
        return fail(2, QStringLiteral("%1 goes with --theme modern").arg(
                           r.originals ? QStringLiteral("--originals") : QStringLiteral("--keep-metadata")));
    if (r.folder.isEmpty() || !QFileInfo(r.folder).isDir())
        return fail(1, QStringLiteral("not a folder: %1").arg(r.folder));
    const QString target = pathutil::withTrailingSlash(QDir(r.folder).absolutePath());

    // The entries are what the gallery window would accept: files whose
    // image format is recognised, named by their file names.
    QList<GalleryEntry> entries;
    for (const QString &image : std::as_const(r.images)) {
        const QFileInfo info(image);
        if (!info.isFile() || imageio::detect(info.absoluteFilePath()).isEmpty())
            return fail(1, QStringLiteral("not an image: %1").arg(image));
        entries << GalleryEntry{info.fileName(), info.absoluteFilePath()};
    }

    GallerySettings settings(target, r.base, r.width, r.height, r.columns, r.link, r.text);
    settings.setTheme(r.theme);
    settings.setOriginals(r.originals);
    settings.setKeepMetadata(r.keepMetadata);
    const QString problem = GalleryRunner(settings, entries).run().problem();
    return problem.isEmpty() ? 0 : fail(1, problem);
}

} // namespace gallerycli
