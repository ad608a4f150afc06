#include "paramsbackupcommand.h"

#include "bussession.h"
#include "commandparser.h"
#include "console.h"
#include "exitstatus.h"
#include "idlist.h"
#include "parametercatalogue.h"
#include "parameterfile.h"
#include "parameterreader.h"
#include "targetbattery.h"

#include <QDateTime>
#include <QJsonObject>

QString ParamsBackupCommand::summary() const
{
    return QStringLiteral("A battery's parameters into a JSON file.");
}

int ParamsBackupCommand::run(const QStringList &arguments, Console &console)
{
    CommandParser parser(name(),
        QStringLiteral("Reads every parameter of the battery and writes them, by id, name and "
                       "unit, with the battery's serial code, into a JSON file. The file is "
                       "written only when every parameter has answered."));
    const QCommandLineOption id(
        QStringLiteral("id"), QStringLiteral("The battery, 0 to 27."), QStringLiteral("n"));
    const QCommandLineOption out(
        QStringLiteral("out"), QStringLiteral("The file to write."), QStringLiteral("file"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print JSON."));
    parser.addOption(id);
    parser.addOption(out);
    parser.addOption(json);
    const BusOptions::Parser busParser;
    busParser.addTo(parser);
    const int parsed = parser.parse(arguments, console);
    if (parsed >= 0)
        return parsed;

    QString error;
    int devId = -1;
    if (!parser.isSet(id) || !parser.isSet(out))
        return parser.usageError(console, QStringLiteral("--id and --out are needed"));
    if (!IdList::parseOne(parser.value(id), &devId, &error))
        return parser.usageError(console, error);
    BusOptions options;
    if (!busParser.read(parser, &options, &error))
        return parser.usageError(console, error);
    const ParameterCatalogue catalogue;
    if (!catalogue.isValid()) {
        console.error(catalogue.errorString());
        return ExitStatus::Failure;
    }

    BusSession session(options);
    if (!session.open(&error)) {
        console.error(error);
        return ExitStatus::Failure;
    }
    BatteryIdentity identity;
    if (!TargetBattery::reach(session, devId, console, &identity))
        return ExitStatus::Failure;

    QList<int> positions;
    for (int position = 0; position < catalogue.count(); ++position)
        positions.append(position);
    QHash<int, qint32> values;
    const int failed = ParameterReader::read(
        session.service(), devId, catalogue, positions, &values, [&](int done, int total) {
            console.progress(QStringLiteral("reading parameters %1/%2").arg(done).arg(total));
        });
    if (failed >= 0) {
        console.error(QStringLiteral("battery %1 did not answer for parameter %2 (%3); nothing "
                                     "written")
                          .arg(devId)
                          .arg(catalogue.item(failed).paramId)
                          .arg(catalogue.name(failed)));
        return ExitStatus::Failure;
    }

    ParameterFile file;
    file.battery = devId;
    file.serial = identity.serial;
    file.model = identity.model;
    file.firmware = identity.firmware;
    file.taken = QDateTime::currentDateTime().toString(Qt::ISODate);
    for (int position : positions)
        file.values.append({ catalogue.item(position).paramId, values.value(position) });
    const QString path = parser.value(out);
    if (!file.save(path, catalogue, &error)) {
        console.error(error);
        return ExitStatus::Failure;
    }

    if (parser.isSet(json)) {
        QJsonObject result;
        result.insert(QStringLiteral("id"), devId);
        result.insert(QStringLiteral("serial"), identity.serial);
        result.insert(QStringLiteral("parameters"), int(file.values.size()));
        result.insert(QStringLiteral("file"), path);
        console.printJson(result);
    } else {
        console.printLine(QStringLiteral("battery %1 (serial %2): %3 parameters written to %4")
                              .arg(devId)
                              .arg(identity.serial, QString::number(file.values.size()), path));
    }
    return ExitStatus::Success;
}
