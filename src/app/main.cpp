#include "startup.h"

#include "log/logger.h"
#include "resource/resources.h"
#include "signals/signalvalues.h"
#include "ui/mainwidger.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Resources::init();

    Startup::loadLanguage(app);
    Startup::registerMetaTypes();
    Startup::setUpLogger();
    Startup::logBanner();
    Startup::substituteFonts();
    Startup::loadStyleSheet(app);

    QLOG_INFO() << "loading signal...";
    SignalValues::instance();

    QLOG_INFO() << "loading view...";
    auto *window = new MainWidger;
    window->setAttribute(Qt::WA_QuitOnClose);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The CAN worker thread is never joined: once the window is gone the process ends at once.
    QObject::connect(window, &QObject::destroyed, [] { std::exit(0); });
    window->show();

    QLOG_INFO() << "init everything successed.";
    return app.exec();
}
