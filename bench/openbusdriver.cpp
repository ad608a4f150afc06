// The program as main() starts it, followed by one click on OPEN CAN-BUS once the window is up:
// the CPU benchmark (bench/idle_cpu.sh) measures the window with an open bus without a person at
// the mouse. canbus.ini beside it names the bus. It prints "open" or "failed" on standard
// output after the click and then runs like the program until it is ended.
//
// With --trends it also opens the Trends window on its Battery tab, as the top bar's button does.
//
// With --adapter-traffic it is meant to run beside the fake vendor library (libControlCAN.so),
// which the program then takes for its adapter, and plays 28 batteries into that library's
// receive queue from a thread of its own (AdapterTraffic).

#include "adaptertraffic.h"
#include "app/startup.h"
#include "log/processtimezone.h"
#include "ui/mainwidger.h"
#include "ui/uimainleft.h"
#include "ui/uimaintop.h"

#include <QApplication>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

// Starts the batteries' traffic into the fake adapter; false when the library is not there.
bool startAdapterTraffic(QApplication &app)
{
    auto *thread = new QThread(&app);
    // Qt names the system thread after the object.
    thread->setObjectName(QStringLiteral("AdapterTraffic"));
    auto *traffic = new AdapterTraffic(
        QCoreApplication::applicationDirPath() + QStringLiteral("/libControlCAN.so"));
    if (!traffic->isReady()) {
        std::fprintf(stderr, "%s\n", qPrintable(traffic->errorString()));
        delete traffic;
        return false;
    }
    traffic->moveToThread(thread);
    QObject::connect(thread, &QThread::started, traffic, &AdapterTraffic::start);
    QObject::connect(thread, &QThread::finished, traffic, &QObject::deleteLater);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, thread, [thread] {
        thread->quit();
        thread->wait();
    });
    thread->start();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QsLogging::ProcessTimeZone::keepTheStartingZone();
    QApplication app(argc, argv);
    const bool adapterTraffic = app.arguments().contains(QStringLiteral("--adapter-traffic"));
    const bool trends = app.arguments().contains(QStringLiteral("--trends"));
    MainWidger *window = Startup::showMainWindow(app);

    QTimer::singleShot(0, window, [window, &app, adapterTraffic, trends] {
        QPushButton *open = window->mainLeft()->openCanButton();
        open->click();
        // The button turns red only when the bus opened.
        const bool opened = open->styleSheet().contains(QStringLiteral("color: red"))
            && (!adapterTraffic || startAdapterTraffic(app));
        if (trends)
            window->mainTop()->trendsButton()->click();
        std::printf(opened ? "open\n" : "failed\n");
        std::fflush(stdout);
    });
    return app.exec();
}
