#include "startup.h"

#include "log/processtimezone.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QsLogging::ProcessTimeZone::keepTheStartingZone();
    QApplication app(argc, argv);
    Startup::showMainWindow(app);
    return app.exec();
}
