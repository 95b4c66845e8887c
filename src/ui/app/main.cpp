#include "ui/app/framzo.h"
#include "core/gallery/gallerycli.h"
#include "core/photo/photodecode.h"
#include "ui/images/mimesourcefactory.h"

#include <QApplication>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (gallerycli::wanted(argc, argv))
        return gallerycli::run(argc, argv);

    // Without a display the toolkit would abort with a long message; say it
    // in one line instead.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
        std::fputs("framzo: no display found (DISPLAY is not set); start it from a desktop session or under xvfb-run.\n",
                   stderr);
        return 1;
    }

    QApplication app(argc, argv);
    // The photo named first is decoded while the window is built.
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1 && QGuiApplication::primaryScreen())
        photodecode::beginFirst(args.at(1), QGuiApplication::primaryScreen()->size());
    initImages();
    int rc = 0;
    {
        Framzo window;
        window.show();
        window.openArguments(QCoreApplication::arguments());
        QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
        rc = app.exec();
    } // the window writes its settings as it goes
    cleanupImages();
    return rc;
}
