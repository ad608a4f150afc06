// bmsctl: the battery bank from the command line, on the libraries the window is built on.

#include "cli/console.h"
#include "cli/dispatcher.h"
#include "cli/interruption.h"

#include "resource/resources.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
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
