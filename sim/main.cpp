#include "bmssimulator.h"
#include "quitonsignal.h"
#include "simoptions.h"

#include "log/processtimezone.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QsLogging::ProcessTimeZone::keepTheStartingZone();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bms-sim"));

    SimOptions options;
    QString error;
    if (!SimOptions::parse(app, &options, &error)) {
        std::fprintf(stderr, "bms-sim: %s\n", qPrintable(error));
        return 2;
    }
    BmsSimulator simulator(options);
    if (!simulator.start())
        return 1;
    QuitOnSignal quitOnSignal;
    const int status = app.exec();
    // Also after SIGTERM: the tests stop the simulator that way and read the summary.
    simulator.printSummary();
    return status;
}
