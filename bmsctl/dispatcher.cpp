#include "dispatcher.h"

#include "busoptions.h"
#include "clockcheckcommand.h"
#include "clocksynccommand.h"
#include "console.h"
#include "dbcexportcommand.h"
#include "decodecommand.h"
#include "exitstatus.h"
#include "flashcommand.h"
#include "historycommand.h"
#include "mqttcommand.h"
#include "paramsbackupcommand.h"
#include "paramsdiffcommand.h"
#include "paramsrestorecommand.h"
#include "recordcommand.h"
#include "replaycommand.h"
#include "scancommand.h"
#include "watchcommand.h"

#include "settings/appconfig.h"

Dispatcher::Dispatcher()
{
    m_commands.emplace_back(new ScanCommand);
    m_commands.emplace_back(new WatchCommand);
    m_commands.emplace_back(new ParamsBackupCommand);
    m_commands.emplace_back(new ParamsDiffCommand);
    m_commands.emplace_back(new ParamsRestoreCommand);
    m_commands.emplace_back(new ClockCheckCommand);
    m_commands.emplace_back(new ClockSyncCommand);
    m_commands.emplace_back(new FlashCommand);
    m_commands.emplace_back(new HistoryCommand);
    m_commands.emplace_back(new RecordCommand);
    m_commands.emplace_back(new ReplayCommand);
    m_commands.emplace_back(new DecodeCommand);
    m_commands.emplace_back(new DbcExportCommand);
    m_commands.emplace_back(new MqttCommand);
}

Dispatcher::~Dispatcher() = default;

QString Dispatcher::overview() const
{
    int width = 0;
    for (const auto &command : m_commands)
        width = qMax(width, command->name().size());
    QString text = QStringLiteral(
        "Usage: bmsctl [bus options] COMMAND [options]\n\n"
        "The battery bank from the command line: the batteries on the CAN bus, their values,\n"
        "parameters, clocks, firmware and history logs, and the bus's traffic in formats other\n"
        "CAN tools read.\n\n"
        "Commands:\n");
    for (const auto &command : m_commands)
        text += QStringLiteral("  %1  %2\n")
                    .arg(command->name().leftJustified(width), command->summary());
    text += QStringLiteral(
        "\nbmsctl COMMAND --help tells more; the bus options (--bus, --bitrate, --adapter,\n"
        "--verbose) go before or after the command. bmsctl --version tells the version.\n"
        "Exit status: 0 done, 1 the job failed (in part), 2 a wrong command line.\n");
    return text;
}

int Dispatcher::run(const QStringList &given, Console &console)
{
    // The bus options may come before the command too ("bmsctl --bus X scan"); they go to the
    // command after its own arguments.
    const BusOptions::Parser busOptions;
    int commandAt = 0;
    while (commandAt < given.size()) {
        const int length = busOptions.lengthAt(given, commandAt);
        if (length == 0)
            break;
        commandAt += length;
    }
    const QStringList leading = given.mid(0, commandAt);
    const QStringList arguments = given.mid(commandAt);

    if (arguments.isEmpty()) {
        console.error(QStringLiteral("no command given"));
        console.print(overview());
        return ExitStatus::Usage;
    }
    const QString first = arguments.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")
        || first == QLatin1String("help")) {
        console.print(overview());
        return ExitStatus::Success;
    }
    if (first == QLatin1String("--version")) {
        console.printLine(QStringLiteral("bmsctl %1").arg(AppConfig::version()));
        return ExitStatus::Success;
    }

    // The longest match of words wins: "params backup" before a one-word "params".
    Command *chosen = nullptr;
    QStringList groupActions;
    for (const auto &command : m_commands) {
        const QStringList words = command->words();
        if (words.size() <= arguments.size() && arguments.mid(0, words.size()) == words
            && (!chosen || words.size() > chosen->words().size()))
            chosen = command.get();
        if (words.size() > 1 && words.first() == first)
            groupActions.append(words.at(1));
    }
    if (chosen) {
        console.setCommand(chosen->name());
        return chosen->run(arguments.mid(chosen->words().size()) + leading, console);
    }
    if (!groupActions.isEmpty()) {
        console.setCommand(first);
        console.error(arguments.size() > 1
                ? QStringLiteral("unknown action \"%1\"; one of: %2")
                      .arg(arguments.at(1), groupActions.join(QStringLiteral(", ")))
                : QStringLiteral("an action is needed, one of: %1")
                      .arg(groupActions.join(QStringLiteral(", "))));
        return ExitStatus::Usage;
    }
    console.error(QStringLiteral("unknown command \"%1\"; bmsctl --help lists them").arg(first));
    return ExitStatus::Usage;
}
