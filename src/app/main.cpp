#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Startup::keepTheStartingTimeZone();
    QApplication app(argc, argv);
    Startup::showMainWindow(app);
    return app.exec();
}
