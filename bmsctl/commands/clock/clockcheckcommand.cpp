#include "clockcheckcommand.h"

#include "battery/clockdrift.h"
#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/table.h"

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
    BusCommandLine line(name(),
        QStringLiteral("Reads the clock of every battery heard (or of those given) and shows how "
                       "far it is from this PC's local time; positive when the battery is ahead. "
                       "Changes nothing."));
    line.addIdsOption(QStringLiteral("Batteries to check"));
    line.addJsonOption();
    const int status = line.parseAndOpenBus(arguments, console);
    if (status >= 0)
        return status;
    QList<int> batteries;
    QList<int> absent;
    if (!line.selectBatteries(console, &batteries, &absent))
        return ExitStatus::Failure;
    BusSession &session = line.session();

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

    console.printBatteries(table, rows, line.json());
    if (failures > 0) {
        console.error(QStringLiteral("%1 of %2 batteries could not be read")
                          .arg(failures)
                          .arg(batteries.size() + absent.size()));
        return ExitStatus::Failure;
    }
    return ExitStatus::Success;
}
