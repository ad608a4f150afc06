// bmsctl: the battery bank from the command line, on the libraries the window is built on.

#include "bus/busoptions.h"
#include "cli/console.h"
#include "cli/dispatcher.h"
#include "cli/interruption.h"
#include "commands/clock/clockcheckcommand.h"
#include "commands/clock/clocksynccommand.h"
#include "commands/convertcommand.h"
#include "commands/dbcexportcommand.h"
#include "commands/decodecommand.h"
#include "commands/flashcommand.h"
#include "commands/historycommand.h"
#include "commands/params/paramsbackupcommand.h"
#include "commands/params/paramsdiffcommand.h"
#include "commands/params/paramsrestorecommand.h"
#include "commands/recordcommand.h"
#include "commands/replaycommand.h"
#include "commands/scancommand.h"
#include "commands/watchcommand.h"
#include "exporter/exportercommand.h"
#include "mqtt/mqttcommand.h"

#include "log/processtimezone.h"
#include "resource/resources.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

// Every command, in the order `bmsctl --help` lists them: a command joins by one line here.
std::vector<std::unique_ptr<Command>> everyCommand()
{
    std::vector<std::unique_ptr<Command>> commands;
    commands.emplace_back(new ScanCommand);
    commands.emplace_back(new WatchCommand);
    commands.emplace_back(new ParamsBackupCommand);
    commands.emplace_back(new ParamsDiffCommand);
    commands.emplace_back(new ParamsRestoreCommand);
    commands.emplace_back(new ClockCheckCommand);
    commands.emplace_back(new ClockSyncCommand);
    commands.emplace_back(new FlashCommand);
    commands.emplace_back(new HistoryCommand);
    commands.emplace_back(new RecordCommand);
    commands.emplace_back(new ReplayCommand);
    commands.emplace_back(new DecodeCommand);
    commands.emplace_back(new ConvertCommand);
    commands.emplace_back(new DbcExportCommand);
    commands.emplace_back(new MqttCommand);
    commands.emplace_back(new ExporterCommand);
    return commands;
}

} // namespace

int main(int argc, char *argv[])
{
    QsLogging::ProcessTimeZone::keepTheStartingZone();
    // Qt's own event loop rather than GLib's, which a program without windows has no use for:
    // GLib's wakes the main thread with a system call for every event posted to it, and the CAN
    // thread posts three for every frame it receives.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bmsctl"));
    Resources::init();
    Interruption::install();

    Console console;
    Dispatcher dispatcher(everyCommand(), BusOptions::Parser().options());
    // The commands wait for replies in local event loops, as the window does; they run from
    // inside the application's loop.
    QTimer::singleShot(0, &app, [&] {
        QCoreApplication::exit(dispatcher.run(QCoreApplication::arguments().mid(1), console));
    });
    return app.exec();
}
