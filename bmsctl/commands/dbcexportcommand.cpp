#include "dbcexportcommand.h"

#include "cli/commandparser.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/idlist.h"
#include "formats/dbcwriter.h"

#include "signals/batterybank.h"
#include "signals/signalvalues.h"

#include <QSaveFile>

using ExitStatus::Outcome;

namespace {

// Every battery the bank has room for, as an id list.
QString allBatteries()
{
    return QStringLiteral("0-%1").arg(BatteryBank::MaxDeviceId);
}

} // namespace

QString DbcExportCommand::summary() const
{
    return QStringLiteral("The signal catalogue as a DBC file, for other CAN tools.");
}

int DbcExportCommand::run(const QStringList &arguments, Console &console)
{
    CommandParser parser(name(),
        QStringLiteral("Writes the signal catalogue as a DBC file: one message per battery and "
                       "broadcast frame kind, 29-bit identifiers, Motorola byte order, the "
                       "catalogue's factors, offsets, ranges and units (degC for degrees "
                       "Celsius). Needs no bus."));
    const QCommandLineOption ids(QStringLiteral("ids"),
        QStringLiteral("Batteries to describe, e.g. 1-4,12 (default: %1).").arg(allBatteries()),
        QStringLiteral("list"));
    const QCommandLineOption out(QStringLiteral("out"),
        QStringLiteral("The file to write (default: standard output)."), QStringLiteral("file"));
    parser.addOption(ids);
    parser.addOption(out);
    const int parsed = parser.parse(arguments, console);
    if (parsed >= 0)
        return parsed;

    QString error;
    QList<int> batteries;
    if (!IdList::parse(parser.isSet(ids) ? parser.value(ids) : allBatteries(), &batteries, &error))
        return parser.usageError(console, error);

    const SignalValues catalogue;
    const QString text = DbcWriter(catalogue).write(batteries);
    if (!parser.isSet(out)) {
        console.print(text);
        return ExitStatus::of(Outcome::Done);
    }
    const QString path = parser.value(out);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toLatin1()) < 0 || !file.commit()) {
        console.error(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return ExitStatus::of(Outcome::Failed);
    }
    console.printLine(QStringLiteral("%1 messages for %2 batteries written to %3")
                          .arg(batteries.size() * catalogue.frameKeys().size())
                          .arg(batteries.size())
                          .arg(path));
    return ExitStatus::of(Outcome::Done);
}
