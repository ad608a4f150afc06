// bmsctl: the battery bank from the command line, on the libraries the window is built on.

#include "console.h"
#include "dispatcher.h"
#include "interruption.h"

#include "log/processtimezone.h"
#include "resource/resources.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QsLogging::ProcessTimeZone::keepTheStartingZone();
    // Qt's own event loop rather than GLib's, which a program without windows has no use for:
    // GLib's wakes the main thread with a system call for every event posted to it, and the CAN
    // thread posts three for every frame it receives.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bmsctl"));
    Resources::init();
    Interruption::install();

    Console console;
    Dispatcher dispatcher;
    // The commands wait for replies in local event loops, as the window does; they run from
    // inside the application's loop.
    QTimer::singleShot(0, &app, [&] {
        QCoreApplication::exit(dispatcher.run(QCoreApplication::arguments().mid(1), console));
    });
    return app.exec();
}
