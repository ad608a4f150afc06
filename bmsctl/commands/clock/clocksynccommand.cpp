#include "clocksynccommand.h"

#include "battery/clockdrift.h"
#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/interruption.h"
#include "cli/report.h"

#include "can/canservice.h"

#include <algorithm>

using ExitStatus::Outcome;

QString ClockSyncCommand::summary() const
{
    return QStringLiteral("Sets batteries' clocks to the PC's time and reads them back.");
}

int ClockSyncCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Sets the clock of every battery heard (or of those given) to this PC's "
                       "local time, then reads it back: a battery whose clock then lies within "
                       "%1 s of the PC's is set.")
            .arg(ToleranceSeconds));
    line.addIdsOption(QStringLiteral("Batteries to set"));
    line.addJsonOption();
    const int status = line.parseAndOpenBus(arguments, console);
    if (status >= 0)
        return status;
    QList<int> batteries;
    QList<int> absent;
    if (!line.selectBatteries(console, &batteries, &absent))
        return ExitStatus::of(Outcome::Failed);

    CanService *service = line.session().service();
    Report report(QStringLiteral("batteries"),
        { { QStringLiteral("ID"), QStringLiteral("id"), Report::Right },
            { QStringLiteral("Drift before"), QStringLiteral("driftBeforeSeconds") },
            { QStringLiteral("Set to"), QStringLiteral("setTo") },
            { QStringLiteral("Drift after"), QStringLiteral("driftAfterSeconds") },
            { QStringLiteral("Result"), QStringLiteral("result") } });
    int failures = 0;
    const auto notSet = [&](Report::Row &row, const QString &result, const QString &why) {
        row.text(QStringLiteral("result"), result + why)
            .field(QStringLiteral("set"), false)
            .field(QStringLiteral("error"), why);
        ++failures;
    };
    QList<int> everyOne = batteries + absent;
    std::sort(everyOne.begin(), everyOne.end());
    int interrupted = 0;
    for (int devId : everyOne) {
        Report::Row &row = report.addRow().cell(QStringLiteral("id"), devId);
        if (absent.contains(devId)) {
            notSet(row, QStringLiteral("FAILED: "), QStringLiteral("not on the bus"));
            continue;
        }
        // Ctrl-C stops between two batteries: the clock under way is set and read back.
        if (Interruption::requested()) {
            notSet(row, QStringLiteral("NOT SET: "), QStringLiteral("interrupted"));
            ++interrupted;
            continue;
        }
        console.progress(QStringLiteral("clock sync: battery %1").arg(devId));
        QDateTime clock;
        if (service->readDeviceTime(uchar(devId), clock) == 0 && clock.isValid()) {
            const qint64 drift = ClockDrift::seconds(clock, QDateTime::currentDateTime());
            row.cell(QStringLiteral("driftBeforeSeconds"), ClockDrift::text(drift), drift);
        }
        const QDateTime setTo = QDateTime::currentDateTime();
        const bool acknowledged = service->setDeviceTime(uchar(devId), setTo) == 0;
        const bool readBack = service->readDeviceTime(uchar(devId), clock) == 0 && clock.isValid();
        const qint64 after
            = readBack ? ClockDrift::seconds(clock, QDateTime::currentDateTime()) : 0;
        const bool set = acknowledged && readBack && qAbs(after) <= ToleranceSeconds;
        QString result = QStringLiteral("set");
        if (!acknowledged)
            result = QStringLiteral("FAILED: not acknowledged");
        else if (!readBack)
            result = QStringLiteral("FAILED: no answer to the read-back");
        else if (!set)
            result = QStringLiteral("FAILED: reads back %1 off").arg(ClockDrift::text(after));
        row.cell(QStringLiteral("setTo"), setTo.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
            setTo.toString(Qt::ISODate));
        if (readBack)
            row.cell(QStringLiteral("driftAfterSeconds"), ClockDrift::text(after), after);
        row.text(QStringLiteral("result"), result).field(QStringLiteral("set"), set);
        if (!set)
            ++failures;
    }

    report.print(console, line.json());
    if (failures > 0)
        console.error(QStringLiteral("%1 of %2 clocks not set%3")
                          .arg(failures)
                          .arg(batteries.size() + absent.size())
                          .arg(interrupted > 0
                                  ? QStringLiteral(" (%1 not tried: interrupted)").arg(interrupted)
                                  : QString()));
    return ExitStatus::of(failures > 0 ? Outcome::Partial : Outcome::Done);
}