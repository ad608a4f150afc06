#include "clocksynccommand.h"

#include "buscommandline.h"
#include "bussession.h"
#include "clockdrift.h"
#include "console.h"
#include "exitstatus.h"
#include "interruption.h"
#include "table.h"

#include "can/canservice.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

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
        return ExitStatus::Failure;

    CanService *service = line.session().service();
    Table table({ QStringLiteral("ID"), QStringLiteral("Drift before"), QStringLiteral("Set to"),
        QStringLiteral("Drift after"), QStringLiteral("Result") });
    table.setRightAligned(0);
    QJsonArray rows;
    int failures = 0;
    const auto notSet = [&](int devId, const QString &result, const QString &why) {
        table.addRow({ QString::number(devId), QString(), QString(), QString(), result + why });
        QJsonObject row;
        row.insert(QStringLiteral("id"), devId);
        row.insert(QStringLiteral("set"), false);
        row.insert(QStringLiteral("error"), why);
        rows.append(row);
        ++failures;
    };
    QList<int> everyOne = batteries + absent;
    std::sort(everyOne.begin(), everyOne.end());
    int interrupted = 0;
    for (int devId : everyOne) {
        if (absent.contains(devId)) {
            notSet(devId, QStringLiteral("FAILED: "), QStringLiteral("not on the bus"));
            continue;
        }
        // Ctrl-C stops between two batteries: the clock under way is set and read back.
        if (Interruption::requested()) {
            notSet(devId, QStringLiteral("NOT SET: "), QStringLiteral("interrupted"));
            ++interrupted;
            continue;
        }
        console.progress(QStringLiteral("clock sync: battery %1").arg(devId));
        QJsonObject row;
        row.insert(QStringLiteral("id"), devId);
        QDateTime clock;
        QString before;
        if (service->readDeviceTime(uchar(devId), clock) == 0 && clock.isValid()) {
            const qint64 drift = ClockDrift::seconds(clock, QDateTime::currentDateTime());
            before = ClockDrift::text(drift);
            row.insert(QStringLiteral("driftBeforeSeconds"), double(drift));
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
        table.addRow(
            { QString::number(devId), before, setTo.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                readBack ? ClockDrift::text(after) : QString(), result });
        row.insert(QStringLiteral("setTo"), setTo.toString(Qt::ISODate));
        if (readBack)
            row.insert(QStringLiteral("driftAfterSeconds"), double(after));
        row.insert(QStringLiteral("set"), set);
        rows.append(row);
        if (!set)
            ++failures;
    }

    console.printBatteries(table, rows, line.json());
    if (failures > 0) {
        console.error(QStringLiteral("%1 of %2 clocks not set%3")
                          .arg(failures)
                          .arg(batteries.size() + absent.size())
                          .arg(interrupted > 0
                                  ? QStringLiteral(" (%1 not tried: interrupted)").arg(interrupted)
                                  : QString()));
        return ExitStatus::Failure;
    }
    return ExitStatus::Success;
}
