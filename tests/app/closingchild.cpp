// A program that does what upper-computer does around its window's end: the CAN service's
// worker thread hosts the virtual bus (canbus.ini beside this executable names its port), and
// closing the window ends the process the way the program does.
#include "app/startup.h"
#include "can/adaptertype.h"
#include "can/canservice.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (CanService::instance()->initService(AdapterType::UsbCan2, 0, true, 0, 250) != 0)
        return 3;
    auto *window = new QWidget;
    window->setAttribute(Qt::WA_QuitOnClose);
    window->setAttribute(Qt::WA_DeleteOnClose);
    Startup::endProcessWhenDestroyed(window);
    window->show();
    QTimer::singleShot(200, window, &QWidget::close);
    app.exec();
    return 4; // never reached: the window's end ends the process
}
