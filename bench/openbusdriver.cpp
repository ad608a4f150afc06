// The program as main() starts it, followed by one click on OPEN CAN-BUS once the window is up:
// the CPU benchmark (bench/idle_cpu.sh) measures the window with an open bus without a person at
// the mouse. canbus.ini beside it names the bus. It prints "open" or "failed" on standard
// output after the click and then runs like the program until it is ended.

#include "app/startup.h"
#include "ui/mainwidger.h"
#include "ui/uimainleft.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    Startup::keepTheStartingTimeZone();
    QApplication app(argc, argv);
    MainWidger *window = Startup::showMainWindow(app);

    QTimer::singleShot(0, window, [window] {
        QPushButton *open = window->mainLeft()->openCanButton();
        open->click();
        // The button turns red only when the bus opened.
        const bool opened = open->styleSheet().contains(QStringLiteral("color: red"));
        std::printf(opened ? "open\n" : "failed\n");
        std::fflush(stdout);
    });
    return app.exec();
}
