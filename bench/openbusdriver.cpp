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
//
// On Unix, a line "busy <ms>" on standard input keeps the window's thread busy for that long,
// as a window held up by something else would be, while the CAN worker goes on receiving
// (bench/open_bus_memory.sh).

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

#if defined(Q_OS_UNIX)
#include <QSocketNotifier>

#include <unistd.h>
#endif

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

#if defined(Q_OS_UNIX)
// Serves the "busy <ms>" lines of standard input (see the top of the file).
void keepBusyOnRequest(QApplication &app)
{
    auto *notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, [notifier] {
        static QByteArray pending;
        char chunk[256];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            notifier->setEnabled(false);
            return;
        }
        pending.append(chunk, int(got));
        for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QList<QByteArray> words = pending.left(end).simplified().split(' ');
            pending.remove(0, end + 1);
            if (words.size() == 2 && words.first() == "busy")
                QThread::msleep(words.last().toULong());
        }
    });
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    QsLogging::ProcessTimeZone::keepTheStartingZone();
    QApplication app(argc, argv);
    const bool adapterTraffic = app.arguments().contains(QStringLiteral("--adapter-traffic"));
    const bool trends = app.arguments().contains(QStringLiteral("--trends"));
    MainWidger *window = Startup::showMainWindow(app);
#if defined(Q_OS_UNIX)
    keepBusyOnRequest(app);
#endif

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
