#include "paramsdiffcommand.h"

#include "cli/commandparser.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/table.h"
#include "formats/parametercatalogue.h"
#include "formats/parameterfile.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

QString describe(const QString &label, const QString &path, const ParameterFile &file)
{
    return QStringLiteral("%1: %2: battery %3, serial %4, taken %5")
        .arg(label, path, file.battery >= 0 ? QString::number(file.battery) : QStringLiteral("?"),
            file.serial, file.taken.isEmpty() ? QStringLiteral("?") : file.taken);
}

} // namespace

QString ParamsDiffCommand::summary() const
{
    return QStringLiteral("What differs between two parameter files.");
}

int ParamsDiffCommand::run(const QStringList &arguments, Console &console)
{
    CommandParser parser(name(),
        QStringLiteral("Compares two parameter files, parameter by parameter, and lists those "
                       "that differ or that only one file holds. Needs no bus."));
    parser.addPositional(
        QStringLiteral("A"), QStringLiteral("The first file."), QStringLiteral("A"));
    parser.addPositional(
        QStringLiteral("B"), QStringLiteral("The second file."), QStringLiteral("B"));
    parser.setPositionalCount(2, 2);
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print JSON."));
    parser.addOption(json);
    const int parsed = parser.parse(arguments, console);
    if (parsed >= 0)
        return parsed;

    const ParameterCatalogue catalogue;
    if (!catalogue.isValid()) {
        console.error(catalogue.errorString());
        return ExitStatus::Failure;
    }
    const QString pathA = parser.positional().at(0);
    const QString pathB = parser.positional().at(1);
    ParameterFile a;
    ParameterFile b;
    QString error;
    if (!ParameterFile::load(pathA, catalogue, &a, &error)
        || !ParameterFile::load(pathB, catalogue, &b, &error)) {
        console.error(error);
        return ExitStatus::Failure;
    }

    Table table({ QStringLiteral("ID"), QStringLiteral("Parameter"), QStringLiteral("Unit"),
        QStringLiteral("A"), QStringLiteral("B") });
    table.setRightAligned(0);
    table.setRightAligned(3);
    table.setRightAligned(4);
    QJsonArray differences;
    for (int position = 0; position < catalogue.count(); ++position) {
        const quint32 paramId = catalogue.item(position).paramId;
        qint32 valueA = 0;
        qint32 valueB = 0;
        const bool inA = a.valueOf(paramId, &valueA);
        const bool inB = b.valueOf(paramId, &valueB);
        if (inA == inB && (!inA || valueA == valueB))
            continue;
        const QString textA = inA ? QString::number(valueA) : QStringLiteral("-");
        const QString textB = inB ? QString::number(valueB) : QStringLiteral("-");
        table.addRow({ QString::number(paramId), catalogue.name(position),
            catalogue.item(position).unit, textA, textB });
        QJsonObject difference;
        difference.insert(QStringLiteral("id"), int(paramId));
        difference.insert(QStringLiteral("name"), catalogue.name(position));
        difference.insert(QStringLiteral("unit"), catalogue.item(position).unit);
        difference.insert(QStringLiteral("a"), inA ? QJsonValue(valueA) : QJsonValue());
        difference.insert(QStringLiteral("b"), inB ? QJsonValue(valueB) : QJsonValue());
        differences.append(difference);
    }

    if (parser.isSet(json)) {
        QJsonObject root;
        root.insert(QStringLiteral("a"), pathA);
        root.insert(QStringLiteral("b"), pathB);
        root.insert(QStringLiteral("serialA"), a.serial);
        root.insert(QStringLiteral("serialB"), b.serial);
        root.insert(QStringLiteral("differences"), differences);
        console.printJson(root);
        return ExitStatus::Success;
    }
    console.printLine(describe(QStringLiteral("A"), pathA, a));
    console.printLine(describe(QStringLiteral("B"), pathB, b));
    if (a.serial != b.serial)
        console.printLine(QStringLiteral("The files come from different batteries."));
    console.printLine(QString());
    if (table.rowCount() == 0)
        console.printLine(QStringLiteral("No differences."));
    else
        console.printTable(table);
    return ExitStatus::Success;
}
