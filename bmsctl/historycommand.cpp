#include "historycommand.h"

#include "buscommandline.h"
#include "bussession.h"
#include "console.h"
#include "exitstatus.h"
#include "historyexport.h"
#include "idlist.h"
#include "interruption.h"
#include "table.h"

#include "signals/batterybank.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryFile>

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

// What the command prints: a table row, or a JSON object, per battery.
class Summary
{
public:
    Summary()
        : m_table({ QStringLiteral("ID"), QStringLiteral("Announced"), QStringLiteral("Read"),
            QStringLiteral("Bad CRC"), QStringLiteral("Wrong battery"), QStringLiteral("Result"),
            QStringLiteral("File") })
    {
        for (int column = 0; column <= 4; ++column)
            m_table.setRightAligned(column);
    }

    // A battery whose log was not asked for: "FAILED: " + why.
    void addUnread(int devId, const QString &why)
    {
        const QString text = QStringLiteral("FAILED: ") + why;
        m_table.addRow({ QString::number(devId), QString(), QString(), QString(), QString(), text,
            QStringLiteral("-") });
        QJsonObject row;
        row.insert(QStringLiteral("id"), devId);
        row.insert(QStringLiteral("whole"), false);
        row.insert(QStringLiteral("result"), text);
        m_rows.append(row);
    }

    void add(const HistoryExport::Result &result)
    {
        const bool answered = result.transfer != HistoryExport::NoReply;
        const auto count = [answered](int n) { return answered ? QString::number(n) : QString(); };
        const QString text = resultText(result);
        m_table.addRow({ QString::number(result.devId), count(result.announced), count(result.read),
            count(result.badCrc), count(result.wrongBattery), text,
            result.saved ? result.path : QStringLiteral("-") });
        QJsonObject row;
        row.insert(QStringLiteral("id"), result.devId);
        row.insert(
            QStringLiteral("announced"), answered ? QJsonValue(result.announced) : QJsonValue());
        row.insert(QStringLiteral("read"), result.read);
        row.insert(QStringLiteral("rejectedBadCrc"), result.badCrc);
        row.insert(QStringLiteral("rejectedWrongBattery"), result.wrongBattery);
        row.insert(QStringLiteral("whole"), result.whole());
        row.insert(QStringLiteral("result"), text);
        row.insert(QStringLiteral("file"), result.saved ? QJsonValue(result.path) : QJsonValue());
        m_rows.append(row);
    }

    void print(Console &console, bool json) const { console.printBatteries(m_table, m_rows, json); }

private:
    Table m_table;
    QJsonArray m_rows;
};

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
    const QCommandLineOption id(QStringLiteral("id"),
        QStringLiteral("The battery, 0 to %1.").arg(BatteryBank::MaxDeviceId), QStringLiteral("n"));
    const QCommandLineOption all(QStringLiteral("all"), QStringLiteral("Every battery heard."));
    const QCommandLineOption out(QStringLiteral("out"),
        QStringLiteral("The folder to write the files into."), QStringLiteral("folder"));
    CommandParser &parser = line.parser();
    parser.addOption(id);
    parser.addOption(all);
    parser.addOption(out);
    line.addJsonOption(QStringLiteral("Print the summary as JSON."));
    int status = line.parse(arguments, console);
    if (status >= 0)
        return status;

    if (parser.isSet(id) == parser.isSet(all))
        return parser.usageError(console,
            parser.isSet(id) ? QStringLiteral("--id and --all exclude each other")
                             : QStringLiteral("--id or --all is needed"));
    if (!parser.isSet(out))
        return parser.usageError(console, QStringLiteral("--out is needed"));
    QList<int> ids;
    if (parser.isSet(id)) {
        QString error;
        int devId = -1;
        if (!IdList::parseOne(parser.value(id), &devId, &error))
            return parser.usageError(console, error);
        ids.append(devId);
    }
    status = line.readBusOptions(console);
    if (status >= 0)
        return status;
    const QString folder = parser.value(out);
    QString error;
    if (!prepareFolder(folder, &error)) {
        console.error(error + QStringLiteral("; nothing read"));
        return ExitStatus::Failure;
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
        return ExitStatus::Failure;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QLatin1String(StampFormat));

    Summary report;
    QStringList messages;
    int notWhole = 0;
    int partlyRead = 0;
    for (int devId : absent) {
        report.addUnread(devId, QStringLiteral("not on the bus"));
        messages.append(QStringLiteral("battery %1 is not on the bus (heard in %2 s: %3)")
                            .arg(devId)
                            .arg(BusSession::DiscoveryMs / 1000)
                            .arg(session.heardList()));
        ++notWhole;
    }
    for (int devId : present) {
        if (Interruption::requested()) {
            report.addUnread(devId, QStringLiteral("not read (interrupted)"));
            ++notWhole;
            continue;
        }
        const HistoryExport::Result result
            = HistoryExport::read(session.service(), devId, folder, stamp, console);
        report.add(result);
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
        return ExitStatus::Success;
    // One battery's failure has been told already, unless something of it was saved.
    if (present.size() + absent.size() == 1 && partlyRead == 0)
        return ExitStatus::Failure;
    QString shortfall = QStringLiteral("%1 of %2 history logs not saved whole")
                            .arg(notWhole)
                            .arg(present.size() + absent.size());
    if (partlyRead > 0)
        shortfall += QStringLiteral("; %1 partly read %2 saved as *.incomplete.csv")
                         .arg(partlyRead)
                         .arg(partlyRead == 1 ? QStringLiteral("log") : QStringLiteral("logs"));
    console.error(shortfall);
    return ExitStatus::Failure;
}
