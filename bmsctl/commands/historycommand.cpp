#include "historycommand.h"

#include "battery/historyexport.h"
#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/interruption.h"
#include "cli/report.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonValue>
#include <QTemporaryFile>

using ExitStatus::Outcome;

namespace {

const char *const StampFormat = "yyyyMMddhhmmss";

// The folder exists (made when missing) and takes new files; otherwise false with the reason.
// Checked before the bus is opened, so that no log is read only to be lost.
bool prepareFolder(const QString &folder, QString *error)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        *error = QStringLiteral("%1 is not a folder").arg(folder);
        return false;
    }
    if (!info.exists() && !QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".bmsctl-probe-XXXXXX")));
    if (!probe.open()) {
        *error = QStringLiteral("cannot write into the folder %1: %2")
                     .arg(folder, probe.errorString());
        return false;
    }
    return true;
}

// Why a log is not whole, for the table; empty when it is.
QStringList shortfalls(const HistoryExport::Result &result)
{
    QStringList why;
    if (result.transfer == HistoryExport::NoReply)
        return { QStringLiteral("no reply (offline?)") };
    if (result.transfer == HistoryExport::Stalled)
        why.append(QStringLiteral("transfer stalled"));
    if (result.transfer == HistoryExport::Interrupted)
        why.append(QStringLiteral("interrupted"));
    if (result.rejected() > 0)
        why.append(QStringLiteral("records rejected"));
    if (why.isEmpty() && result.read != result.announced)
        why.append(QStringLiteral("records missing"));
    if (!result.saved)
        why.append(QStringLiteral("file not written"));
    return why;
}

QString resultText(const HistoryExport::Result &result)
{
    const QStringList why = shortfalls(result);
    if (why.isEmpty())
        return QStringLiteral("read whole");
    const bool fileWritten = result.transfer != HistoryExport::NoReply && result.saved;
    return (fileWritten ? QStringLiteral("INCOMPLETE: ") : QStringLiteral("FAILED: "))
        + why.join(QStringLiteral(", "));
}

// What the command prints: a row per battery.
Report summaryReport()
{
    return Report(QStringLiteral("batteries"),
        { { QStringLiteral("ID"), QStringLiteral("id"), Report::Right },
            { QStringLiteral("Announced"), QStringLiteral("announced"), Report::Right },
            { QStringLiteral("Read"), QStringLiteral("read"), Report::Right },
            { QStringLiteral("Bad CRC"), QStringLiteral("rejectedBadCrc"), Report::Right },
            { QStringLiteral("Wrong battery"), QStringLiteral("rejectedWrongBattery"),
                Report::Right },
            { QStringLiteral("Result"), QStringLiteral("result") },
            { QStringLiteral("File"), QStringLiteral("file") } });
}

// A battery whose log was not asked for: "FAILED: " + why.
void addUnread(Report &report, int devId, const QString &why)
{
    report.addRow()
        .cell(QStringLiteral("id"), devId)
        .field(QStringLiteral("whole"), false)
        .cell(QStringLiteral("result"), QStringLiteral("FAILED: ") + why)
        .text(QStringLiteral("file"), QStringLiteral("-"));
}

void addRead(Report &report, const HistoryExport::Result &result)
{
    // A battery that did not answer has no counts in the table.
    const bool answered = result.transfer != HistoryExport::NoReply;
    const auto count = [answered](int n) { return answered ? QString::number(n) : QString(); };
    report.addRow()
        .cell(QStringLiteral("id"), result.devId)
        .cell(QStringLiteral("announced"), count(result.announced),
            answered ? QJsonValue(result.announced) : QJsonValue())
        .cell(QStringLiteral("read"), count(result.read), result.read)
        .cell(QStringLiteral("rejectedBadCrc"), count(result.badCrc), result.badCrc)
        .cell(
            QStringLiteral("rejectedWrongBattery"), count(result.wrongBattery), result.wrongBattery)
        .field(QStringLiteral("whole"), result.whole())
        .cell(QStringLiteral("result"), resultText(result))
        .cell(QStringLiteral("file"), result.saved ? result.path : QStringLiteral("-"),
            result.saved ? QJsonValue(result.path) : QJsonValue());
}

} // namespace

QString HistoryCommand::summary() const
{
    return QStringLiteral("Batteries' history event logs into CSV files, one per battery.");
}

int HistoryCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral(
            "Reads the history event log of one battery (--id) or of every battery heard "
            "(--all), one battery after the other, and saves each into a CSV file of its own in "
            "the folder --out (made when missing), in the format of the window's history event "
            "save: the 47 column names, then one line per event. Every record's CRC is checked; "
            "a record with a wrong CRC, or one that names another battery, is rejected and "
            "counted.\n\n"
            "Files: historyEvent.<id>.<yyyyMMddhhmmss>.csv, the time being when the command "
            "started. What was read of a log that was not read whole (records rejected, a "
            "transfer that stalled for 3 s, Ctrl-C) is saved too, as "
            "historyEvent.<id>.<yyyyMMddhhmmss>.incomplete.csv, and the command ends with status "
            "1.\n\n"
            "Prints a summary per battery: records announced, read and rejected, and the file."));
    const QCommandLineOption all(QStringLiteral("all"), QStringLiteral("Every battery heard."));
    const QCommandLineOption out(QStringLiteral("out"),
        QStringLiteral("The folder to write the files into."), QStringLiteral("folder"));
    CommandParser &parser = line.parser();
    line.addIdOption();
    parser.addOption(all);
    parser.addOption(out);
    line.addJsonOption(QStringLiteral("Print the summary as JSON."));
    int status = line.parse(arguments, console);
    if (status >= 0)
        return status;

    if (line.idSet() == parser.isSet(all))
        return parser.usageError(console,
            line.idSet() ? QStringLiteral("--id and --all exclude each other")
                         : QStringLiteral("--id or --all is needed"));
    if (!parser.isSet(out))
        return parser.usageError(console, QStringLiteral("--out is needed"));
    QList<int> ids;
    if (line.idSet()) {
        int devId = -1;
        status = line.readId(console, &devId);
        if (status >= 0)
            return status;
        ids.append(devId);
    }
    status = line.readBusOptions(console);
    if (status >= 0)
        return status;
    const QString folder = parser.value(out);
    QString error;
    if (!prepareFolder(folder, &error)) {
        console.error(error + QStringLiteral("; nothing read"));
        return ExitStatus::of(Outcome::Failed);
    }

    status = line.openBus(console);
    if (status >= 0)
        return status;
    BusSession &session = line.session();
    console.progress(QStringLiteral("history: listening for batteries"));
    QList<int> absent;
    const QList<int> present = session.selectBatteries(ids, &absent);
    if (present.isEmpty() && absent.isEmpty()) {
        console.error(
            QStringLiteral("no battery heard on %1").arg(line.busOptions().description()));
        return ExitStatus::of(Outcome::Failed);
    }
    const QString stamp = QDateTime::currentDateTime().toString(QLatin1String(StampFormat));

    Report report = summaryReport();
    QStringList messages;
    int notWhole = 0;
    int partlyRead = 0;
    for (int devId : absent) {
        addUnread(report, devId, QStringLiteral("not on the bus"));
        messages.append(QStringLiteral("battery %1 is not on the bus (heard in %2 s: %3)")
                            .arg(devId)
                            .arg(BusSession::DiscoveryMs / 1000)
                            .arg(session.heardList()));
        ++notWhole;
    }
    for (int devId : present) {
        if (Interruption::requested()) {
            addUnread(report, devId, QStringLiteral("not read (interrupted)"));
            ++notWhole;
            continue;
        }
        const HistoryExport::Result result
            = HistoryExport::read(session.service(), devId, folder, stamp, console);
        addRead(report, result);
        if (result.transfer == HistoryExport::NoReply) {
            messages.append(QStringLiteral("battery %1 is on the bus but does not answer "
                                           "(offline?): no reply to the history event count "
                                           "request")
                                .arg(devId));
        } else if (!result.saved) {
            messages.append(
                QStringLiteral("battery %1: %2 records read, but %3 could not be "
                               "written%4")
                    .arg(devId)
                    .arg(result.read)
                    .arg(result.path,
                        line.busOptions().verbose ? QString()
                                                  : QStringLiteral(" (--verbose shows why)")));
        } else if (!result.readWhole()) {
            ++partlyRead;
        }
        if (!result.whole())
            ++notWhole;
    }

    report.print(console, line.json());
    for (const QString &message : messages)
        console.error(message);
    if (notWhole == 0)
        return ExitStatus::of(Outcome::Done);
    // One battery's failure has been told already, unless something of it was saved.
    if (present.size() + absent.size() == 1 && partlyRead == 0)
        return ExitStatus::of(Outcome::Failed);
    QString shortfall = QStringLiteral("%1 of %2 history logs not saved whole")
                            .arg(notWhole)
                            .arg(present.size() + absent.size());
    if (partlyRead > 0)
        shortfall += QStringLiteral("; %1 partly read %2 saved as *.incomplete.csv")
                         .arg(partlyRead)
                         .arg(partlyRead == 1 ? QStringLiteral("log") : QStringLiteral("logs"));
    console.error(shortfall);
    return ExitStatus::of(Outcome::Partial);
}
