#include "startup.h"

#include "log/logger.h"
#include "resource/resources.h"
#include "signals/signalvalues.h"
#include "ui/mainwidger.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Startup::keepTheStartingTimeZone();
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
    Startup::endProcessWhenDestroyed(window);
    window->show();

    QLOG_INFO() << "init everything successed.";
    return app.exec();
}
