#include "paramsrestorecommand.h"

#include "battery/parameterreader.h"
#include "battery/targetbattery.h"
#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/interruption.h"
#include "cli/report.h"
#include "formats/parametercatalogue.h"
#include "formats/parameterfile.h"

#include "can/canservice.h"

#include <algorithm>

using ExitStatus::Outcome;

namespace {

struct Change
{
    int position = 0;
    qint32 before = 0;
    qint32 wanted = 0;
    bool attempted = false;
    bool acknowledged = false;
    bool readBack = false;
    qint32 after = 0;

    bool done() const { return acknowledged && readBack && after == wanted; }
    QString result() const
    {
        if (!attempted)
            return QStringLiteral("NOT WRITTEN: interrupted");
        if (!acknowledged)
            return QStringLiteral("FAILED: write not acknowledged");
        if (!readBack)
            return QStringLiteral("FAILED: no answer to the read-back");
        if (after != wanted)
            return QStringLiteral("FAILED: reads back %1").arg(after);
        return QStringLiteral("written, read back");
    }
};

} // namespace

QString ParamsRestoreCommand::summary() const
{
    return QStringLiteral("A parameter file into a battery, writing only what differs.");
}

int ParamsRestoreCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Writes the parameters of FILE into the battery: reads the battery's "
                       "values first, writes only those that differ, and reads every write back. "
                       "The file is checked whole before anything is sent. A file taken from "
                       "another battery (another serial code) is refused unless --force."));
    CommandParser &parser = line.parser();
    parser.addPositional(
        QStringLiteral("FILE"), QStringLiteral("A parameter file."), QStringLiteral("FILE"));
    parser.setPositionalCount(1, 1);
    line.addIdOption();
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"), QStringLiteral("Show what would be written, write nothing."));
    const QCommandLineOption force(
        QStringLiteral("force"), QStringLiteral("Restore a file taken from another serial code."));
    for (const QCommandLineOption &option : { dryRun, force })
        parser.addOption(option);
    line.addJsonOption();
    int status = line.parse(arguments, console);
    if (status >= 0)
        return status;

    int devId = -1;
    if (!line.idSet())
        return parser.usageError(console, QStringLiteral("--id is needed"));
    status = line.readId(console, &devId);
    if (status >= 0)
        return status;
    status = line.readBusOptions(console);
    if (status >= 0)
        return status;
    const ParameterCatalogue catalogue;
    if (!catalogue.isValid()) {
        console.error(catalogue.errorString());
        return ExitStatus::of(Outcome::Failed);
    }
    const QString path = parser.positional().at(0);
    ParameterFile file;
    QString error;
    if (!ParameterFile::load(path, catalogue, &file, &error)) {
        console.error(error);
        return ExitStatus::of(Outcome::Failed);
    }

    status = line.openBus(console);
    if (status >= 0)
        return status;
    BusSession &session = line.session();
    BatteryIdentity identity;
    if (!TargetBattery::reach(session, devId, console, &identity))
        return ExitStatus::of(Outcome::Failed);
    if (file.serial != identity.serial && !parser.isSet(force)) {
        console.error(QStringLiteral("%1 was taken from serial code \"%2\", battery %3 has \"%4\"; "
                                     "nothing written (--force restores it anyway)")
                          .arg(path, file.serial)
                          .arg(devId)
                          .arg(identity.serial));
        return ExitStatus::of(Outcome::Failed);
    }

    QList<int> positions;
    for (const ParameterFile::Value &entry : file.values)
        positions.append(catalogue.positionOf(entry.id));
    std::sort(positions.begin(), positions.end());
    QHash<int, qint32> current;
    if (!ParameterReader::read(session.service(), devId, catalogue, positions, &current, console))
        return ExitStatus::of(Outcome::Failed);

    QList<Change> changes;
    for (int position : positions) {
        qint32 wanted = 0;
        file.valueOf(catalogue.item(position).paramId, &wanted);
        if (current.value(position) != wanted)
            changes.append({ position, current.value(position), wanted });
    }

    const bool dry = parser.isSet(dryRun);
    int attempted = 0;
    if (!dry) {
        // Ctrl-C stops between two parameters: the write under way is finished and read back.
        CanService *service = session.service();
        for (int i = 0; i < changes.size() && !Interruption::requested(); ++i, ++attempted) {
            Change &change = changes[i];
            change.attempted = true;
            console.progress(QStringLiteral("writing parameters %1/%2").arg(i).arg(changes.size()));
            const uchar paramId = uchar(catalogue.item(change.position).paramId);
            change.acknowledged
                = service->writeParameter(uchar(devId), paramId, change.wanted) == 0;
            int value = 0;
            change.readBack = service->readParameter(uchar(devId), paramId, value) == 0;
            change.after = qint32(value);
        }
    }
    const bool interrupted = !dry && attempted < changes.size();
    const int failures = int(
        std::count_if(changes.cbegin(), changes.cend(), [](const Change &c) { return !c.done(); }));

    Report report(QStringLiteral("changes"),
        { { QStringLiteral("ID"), QStringLiteral("id"), Report::Right },
            { QStringLiteral("Parameter"), QStringLiteral("name") },
            { QStringLiteral("Unit"), QStringLiteral("unit") },
            { QStringLiteral("Battery"), QStringLiteral("battery"), Report::Right },
            { QStringLiteral("File"), QStringLiteral("file"), Report::Right },
            { QStringLiteral("Result"), QStringLiteral("result") } });
    report.omitEmptyTable();
    for (const Change &change : changes) {
        const ThresholdSettingItem &item = catalogue.item(change.position);
        Report::Row &row = report.addRow()
                               .cell(QStringLiteral("id"), item.paramId)
                               .cell(QStringLiteral("name"), catalogue.name(change.position))
                               .cell(QStringLiteral("unit"), item.unit)
                               .cell(QStringLiteral("battery"), change.before)
                               .cell(QStringLiteral("file"), change.wanted)
                               .text(QStringLiteral("result"),
                                   dry ? QStringLiteral("would write") : change.result())
                               .field(QStringLiteral("written"), !dry && change.done());
        if (!dry && change.readBack)
            row.field(QStringLiteral("readBack"), change.after);
    }

    const int unchanged = int(positions.size() - changes.size());
    report.setField(QStringLiteral("id"), devId);
    report.setField(QStringLiteral("serial"), identity.serial);
    report.setField(QStringLiteral("dryRun"), dry);
    report.setField(QStringLiteral("unchanged"), unchanged);
    report.setField(QStringLiteral("failed"), dry ? 0 : failures);
    report.setField(QStringLiteral("interrupted"), interrupted);
    if (dry)
        report.addLine(QStringLiteral("Dry run: %1 parameters would be written, %2 already hold "
                                      "the file's value. Nothing written.")
                           .arg(changes.size())
                           .arg(unchanged));
    else if (failures == 0)
        report.addLine(QStringLiteral("%1 parameters written and read back, %2 already held the "
                                      "file's value.")
                           .arg(changes.size())
                           .arg(unchanged));
    report.print(console, line.json());
    if (interrupted) {
        console.error(QStringLiteral("interrupted: %1 of %2 parameters written and read back, %3 "
                                     "not written: battery %4 now holds some of the file's values "
                                     "and not others")
                          .arg(changes.size() - failures)
                          .arg(changes.size())
                          .arg(changes.size() - attempted)
                          .arg(devId));
        return ExitStatus::of(Outcome::Interrupted);
    }
    if (!dry && failures > 0) {
        console.error(QStringLiteral("%1 of %2 writes failed: battery %3 now holds some of the "
                                     "file's values and not others")
                          .arg(failures)
                          .arg(changes.size())
                          .arg(devId));
        return ExitStatus::of(Outcome::Partial);
    }
    return ExitStatus::of(Outcome::Done);
}
