#include "clockcheckcommand.h"

#include "bussession.h"
#include "clockdrift.h"
#include "commandparser.h"
#include "console.h"
#include "exitstatus.h"
#include "idlist.h"
#include "table.h"

#include "can/canservice.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace {

const char *const TimeFormat = "yyyy-MM-dd hh:mm:ss";

} // namespace

QString ClockCheckCommand::summary() const
{
    return QStringLiteral("Each battery's clock against the PC's: a drift table.");
}

int ClockCheckCommand::run(const QStringList &arguments, Console &console)
{
    CommandParser parser(name(),
        QStringLiteral("Reads the clock of every battery heard (or of those given) and shows how "
                       "far it is from this PC's local time; positive when the battery is ahead. "
                       "Changes nothing."));
    const QCommandLineOption ids(QStringLiteral("ids"),
        QStringLiteral("Batteries to check, e.g. 1,2,5-8 (default: every one heard)."),
        QStringLiteral("list"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print JSON."));
    parser.addOption(ids);
    parser.addOption(json);
    const BusOptions::Parser busParser;
    busParser.addTo(parser);
    const int parsed = parser.parse(arguments, console);
    if (parsed >= 0)
        return parsed;

    QString error;
    QList<int> wanted;
    if (parser.isSet(ids) && !IdList::parse(parser.value(ids), &wanted, &error))
        return parser.usageError(console, error);
    BusOptions options;
    if (!busParser.read(parser, &options, &error))
        return parser.usageError(console, error);

    BusSession session(options);
    if (!session.open(&error)) {
        console.error(error);
        return ExitStatus::Failure;
    }
    console.progress(QStringLiteral("clock check: listening for batteries"));
    QList<int> absent;
    const QList<int> batteries = session.selectBatteries(wanted, &absent);
    if (batteries.isEmpty() && absent.isEmpty()) {
        console.error(QStringLiteral("no battery heard on %1").arg(options.description()));
        return ExitStatus::Failure;
    }

    Table table({ QStringLiteral("ID"), QStringLiteral("Battery clock"), QStringLiteral("PC clock"),
        QStringLiteral("Drift"), QStringLiteral("Drift s") });
    table.setRightAligned(0);
    table.setRightAligned(4);
    QJsonArray rows;
    int failures = 0;
    QList<int> everyOne = batteries + absent;
    std::sort(everyOne.begin(), everyOne.end());
    for (int devId : everyOne) {
        if (absent.contains(devId)) {
            table.addRow({ QString::number(devId), QStringLiteral("(not on the bus)") });
            QJsonObject row;
            row.insert(QStringLiteral("id"), devId);
            row.insert(QStringLiteral("error"), QStringLiteral("not on the bus"));
            rows.append(row);
            ++failures;
            continue;
        }
        console.progress(QStringLiteral("clock check: asking battery %1").arg(devId));
        QDateTime clock;
        const int result = session.service()->readDeviceTime(uchar(devId), clock);
        const QDateTime pc = QDateTime::currentDateTime();
        QJsonObject row;
        row.insert(QStringLiteral("id"), devId);
        if (result != 0 || !clock.isValid()) {
            table.addRow({ QString::number(devId), QStringLiteral("(no reply)") });
            row.insert(QStringLiteral("error"), QStringLiteral("no reply"));
            ++failures;
        } else {
            const qint64 drift = ClockDrift::seconds(clock, pc);
            table.addRow({ QString::number(devId), clock.toString(QLatin1String(TimeFormat)),
                pc.toString(QLatin1String(TimeFormat)), ClockDrift::text(drift),
                QString::number(drift) });
            row.insert(QStringLiteral("batteryClock"), clock.toString(Qt::ISODate));
            row.insert(QStringLiteral("pcClock"), pc.toString(Qt::ISODate));
            row.insert(QStringLiteral("driftSeconds"), double(drift));
        }
        rows.append(row);
    }

    if (parser.isSet(json)) {
        QJsonObject root;
        root.insert(QStringLiteral("batteries"), rows);
        console.printJson(root);
    } else {
        console.printTable(table);
    }
    if (failures > 0) {
        console.error(QStringLiteral("%1 of %2 batteries could not be read")
                          .arg(failures)
                          .arg(batteries.size() + absent.size()));
        return ExitStatus::Failure;
    }
    return ExitStatus::Success;
}
