#include "paramsbackupcommand.h"

#include "battery/parameterreader.h"
#include "battery/targetbattery.h"
#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/report.h"
#include "formats/parametercatalogue.h"
#include "formats/parameterfile.h"

#include <QDateTime>

using ExitStatus::Outcome;

QString ParamsBackupCommand::summary() const
{
    return QStringLiteral("A battery's parameters into a JSON file.");
}

int ParamsBackupCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Reads every parameter of the battery and writes them, by id, name and "
                       "unit, with the battery's serial code, into a JSON file. The file is "
                       "written only when every parameter has answered."));
    const QCommandLineOption out(
        QStringLiteral("out"), QStringLiteral("The file to write."), QStringLiteral("file"));
    CommandParser &parser = line.parser();
    line.addIdOption();
    parser.addOption(out);
    line.addJsonOption();
    int status = line.parse(arguments, console);
    if (status >= 0)
        return status;

    int devId = -1;
    if (!line.idSet() || !parser.isSet(out))
        return parser.usageError(console, QStringLiteral("--id and --out are needed"));
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

    status = line.openBus(console);
    if (status >= 0)
        return status;
    BusSession &session = line.session();
    BatteryIdentity identity;
    if (!TargetBattery::reach(session, devId, console, &identity))
        return ExitStatus::of(Outcome::Failed);

    QList<int> positions;
    for (int position = 0; position < catalogue.count(); ++position)
        positions.append(position);
    QHash<int, qint32> values;
    if (!ParameterReader::read(session.service(), devId, catalogue, positions, &values, console))
        return ExitStatus::of(Outcome::Failed);

    ParameterFile file;
    file.battery = devId;
    file.serial = identity.serial;
    file.model = identity.model;
    file.firmware = identity.firmware;
    file.taken = QDateTime::currentDateTime().toString(Qt::ISODate);
    for (int position : positions)
        file.values.append({ catalogue.item(position).paramId, values.value(position) });
    const QString path = parser.value(out);
    QString error;
    if (!file.save(path, catalogue, &error)) {
        console.error(error);
        return ExitStatus::of(Outcome::Failed);
    }

    Report report;
    report.setField(QStringLiteral("id"), devId);
    report.setField(QStringLiteral("serial"), identity.serial);
    report.setField(QStringLiteral("parameters"), int(file.values.size()));
    report.setField(QStringLiteral("file"), path);
    report.addLine(QStringLiteral("battery %1 (serial %2): %3 parameters written to %4")
                       .arg(devId)
                       .arg(identity.serial, QString::number(file.values.size()), path));
    report.print(console, line.json());
    return ExitStatus::of(Outcome::Done);
}