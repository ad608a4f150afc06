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
