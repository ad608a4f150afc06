#include "clockcheckcommand.h"

#include "battery/clockdrift.h"
#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/report.h"

#include "can/canservice.h"

#include <algorithm>

using ExitStatus::Outcome;

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
        return ExitStatus::of(Outcome::Failed);
    BusSession &session = line.session();

    Report report(QStringLiteral("batteries"),
        { { QStringLiteral("ID"), QStringLiteral("id"), Report::Right },
            { QStringLiteral("Battery clock"), QStringLiteral("batteryClock") },
            { QStringLiteral("PC clock"), QStringLiteral("pcClock") },
            { QStringLiteral("Drift"), QStringLiteral("drift") },
            { QStringLiteral("Drift s"), QStringLiteral("driftSeconds"), Report::Right } });
    int failures = 0;
    QList<int> everyOne = batteries + absent;
    std::sort(everyOne.begin(), everyOne.end());
    for (int devId : everyOne) {
        Report::Row &row = report.addRow().cell(QStringLiteral("id"), devId);
        if (absent.contains(devId)) {
            row.text(QStringLiteral("batteryClock"), QStringLiteral("(not on the bus)"))
                .field(QStringLiteral("error"), QStringLiteral("not on the bus"));
            ++failures;
            continue;
        }
        console.progress(QStringLiteral("clock check: asking battery %1").arg(devId));
        QDateTime clock;
        const int result = session.service()->readDeviceTime(uchar(devId), clock);
        const QDateTime pc = QDateTime::currentDateTime();
        if (result != 0 || !clock.isValid()) {
            row.text(QStringLiteral("batteryClock"), QStringLiteral("(no reply)"))
                .field(QStringLiteral("error"), QStringLiteral("no reply"));
            ++failures;
            continue;
        }
        const qint64 drift = ClockDrift::seconds(clock, pc);
        row.cell(QStringLiteral("batteryClock"), clock.toString(QLatin1String(TimeFormat)),
               clock.toString(Qt::ISODate))
            .cell(QStringLiteral("pcClock"), pc.toString(QLatin1String(TimeFormat)),
                pc.toString(Qt::ISODate))
            .text(QStringLiteral("drift"), ClockDrift::text(drift))
            .cell(QStringLiteral("driftSeconds"), drift);
    }

    report.print(console, line.json());
    if (failures > 0)
        console.error(QStringLiteral("%1 of %2 batteries could not be read")
                          .arg(failures)
                          .arg(batteries.size() + absent.size()));
    return ExitStatus::of(failures > 0 ? Outcome::Partial : Outcome::Done);
}