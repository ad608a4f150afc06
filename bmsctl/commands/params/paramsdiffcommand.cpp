#include "paramsdiffcommand.h"

#include "cli/commandparser.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/report.h"
#include "formats/parametercatalogue.h"
#include "formats/parameterfile.h"

#include <QJsonValue>

using ExitStatus::Outcome;

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
        return ExitStatus::of(Outcome::Failed);
    }
    const QString pathA = parser.positional().at(0);
    const QString pathB = parser.positional().at(1);
    ParameterFile a;
    ParameterFile b;
    QString error;
    if (!ParameterFile::load(pathA, catalogue, &a, &error)
        || !ParameterFile::load(pathB, catalogue, &b, &error)) {
        console.error(error);
        return ExitStatus::of(Outcome::Failed);
    }

    Report report(QStringLiteral("differences"),
        { { QStringLiteral("ID"), QStringLiteral("id"), Report::Right },
            { QStringLiteral("Parameter"), QStringLiteral("name") },
            { QStringLiteral("Unit"), QStringLiteral("unit") },
            { QStringLiteral("A"), QStringLiteral("a"), Report::Right },
            { QStringLiteral("B"), QStringLiteral("b"), Report::Right } });
    report.omitEmptyTable();
    // A value the file holds, or "-" in the table and null in JSON.
    const auto valueCell = [](Report::Row &row, const QString &key, bool in, qint32 value) {
        if (in)
            row.cell(key, value);
        else
            row.cell(key, QStringLiteral("-"), QJsonValue());
    };
    for (int position = 0; position < catalogue.count(); ++position) {
        const quint32 paramId = catalogue.item(position).paramId;
        qint32 valueA = 0;
        qint32 valueB = 0;
        const bool inA = a.valueOf(paramId, &valueA);
        const bool inB = b.valueOf(paramId, &valueB);
        if (inA == inB && (!inA || valueA == valueB))
            continue;
        Report::Row &row = report.addRow()
                               .cell(QStringLiteral("id"), paramId)
                               .cell(QStringLiteral("name"), catalogue.name(position))
                               .cell(QStringLiteral("unit"), catalogue.item(position).unit);
        valueCell(row, QStringLiteral("a"), inA, valueA);
        valueCell(row, QStringLiteral("b"), inB, valueB);
    }

    report.setField(QStringLiteral("a"), pathA);
    report.setField(QStringLiteral("b"), pathB);
    report.setField(QStringLiteral("serialA"), a.serial);
    report.setField(QStringLiteral("serialB"), b.serial);
    report.addHeading(describe(QStringLiteral("A"), pathA, a));
    report.addHeading(describe(QStringLiteral("B"), pathB, b));
    if (a.serial != b.serial)
        report.addHeading(QStringLiteral("The files come from different batteries."));
    report.addHeading(QString());
    if (report.rowCount() == 0)
        report.addLine(QStringLiteral("No differences."));
    report.print(console, parser.isSet(json));
    return ExitStatus::of(Outcome::Done);
}