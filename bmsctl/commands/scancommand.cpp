#include "scancommand.h"

#include "battery/batteryidentity.h"
#include "battery/batterylist.h"
#include "battery/clockdrift.h"
#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "bus/eventwait.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/report.h"

#include "can/canservice.h"
#include "signals/framekey.h"

#include <QJsonArray>
#include <QJsonObject>

using ExitStatus::Outcome;

namespace {

QString lifeCounterText(BusMonitor::LifeCounter state)
{
    switch (state) {
    case BusMonitor::LifeCounter::Moving:
        return QStringLiteral("moving");
    case BusMonitor::LifeCounter::Standing:
        return QStringLiteral("standing");
    case BusMonitor::LifeCounter::Absent:
        break;
    }
    return QStringLiteral("absent");
}

QString keyText(quint32 key)
{
    return QStringLiteral("0x%1").arg(QString::number(key, 16).toUpper());
}

// A code read: its text, or "(no reply)" in the table and null in JSON.
Report::Row &codeCell(Report::Row &row, const QString &key, const QString &text, int result)
{
    return result == 0 ? row.cell(key, text)
                       : row.cell(key, QStringLiteral("(no reply)"), QJsonValue());
}

} // namespace

QString ScanCommand::summary() const
{
    return QStringLiteral("Every battery heard, with its codes, clock and frames; the bus load.");
}

int ScanCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Listens to the bus and reports every battery heard: firmware version, "
                       "serial and model code, clock drift against this PC, whether its life "
                       "counter moves, which of the %1 broadcast frame kinds it sends (missing "
                       "ones listed), and the bus load.\n\n"
                       "Bus load: frames per second, and the bit times they take as a share of "
                       "the bit rate. A frame with a 29-bit identifier and 8 data bytes takes 131 "
                       "bits nominal (67 + 8 per byte) plus the stuff bits its content needs, "
                       "which are counted exactly; frames the adapter does not hand over (error "
                       "frames, retransmissions) are not counted.")
            .arg(FrameKey::Count));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
        QStringLiteral("How long to listen (default %1).").arg(DefaultSeconds), QStringLiteral("n"),
        QString::number(DefaultSeconds));
    CommandParser &parser = line.parser();
    parser.addOption(seconds);
    line.addJsonOption();
    int status = line.parse(arguments, console);
    if (status >= 0)
        return status;

    bool ok = false;
    const double listenSeconds = parser.value(seconds).toDouble(&ok);
    if (!ok || listenSeconds <= 0 || listenSeconds > 3600)
        return parser.usageError(console,
            QStringLiteral("--seconds takes a number from 0 to 3600: %1")
                .arg(parser.value(seconds)));
    status = line.openBus(console);
    if (status >= 0)
        return status;
    const BusOptions &options = line.busOptions();
    BusSession &session = line.session();
    // The listening time alone, with the bit times its frames took for the bus load: the
    // questions below add frames of their own.
    session.monitor().restart(BusMonitor::BitTimes::Counted);
    const int listenMs = int(listenSeconds * 1000);
    const EventWait::Result listened = EventWait::until(listenMs, {}, [&] {
        console.progress(QStringLiteral("scan: listening %1/%2 s, batteries heard: %3")
                             .arg(session.monitor().elapsedMs() / 1000)
                             .arg(listenSeconds)
                             .arg(session.heardList()));
    });
    if (listened == EventWait::Interrupted) {
        console.error(QStringLiteral("interrupted"));
        return ExitStatus::of(Outcome::Interrupted);
    }

    const BusMonitor &monitor = session.monitor();
    const double elapsed = qMax<qint64>(1, monitor.elapsedMs()) / 1000.0;
    const qint64 frames = monitor.frames();
    const double framesPerSecond = frames / elapsed;
    const double bitsPerSecond = monitor.bits() / elapsed;
    const double share = bitsPerSecond / (options.bitrateKbit * 1000.0);
    const QList<int> devices = monitor.devices();
    QHash<int, BusMonitor::DeviceTraffic> traffic;
    QHash<int, QList<quint32>> missing;
    for (int devId : devices) {
        traffic.insert(devId, monitor.traffic(devId));
        missing.insert(devId, monitor.missingFrameKinds(devId));
    }

    if (devices.isEmpty()) {
        console.error(QStringLiteral("no battery heard on %1 in %2 s")
                          .arg(options.description())
                          .arg(listenSeconds));
        return ExitStatus::of(Outcome::Failed);
    }

    Report report(QStringLiteral("batteries"),
        { { QStringLiteral("ID"), QStringLiteral("id"), Report::Right },
            { QStringLiteral("Firmware"), QStringLiteral("firmware") },
            { QStringLiteral("Serial"), QStringLiteral("serial") },
            { QStringLiteral("Model"), QStringLiteral("model") },
            { QStringLiteral("Clock drift"), QStringLiteral("clockDriftSeconds") },
            { QStringLiteral("Life counter"), QStringLiteral("lifeCounter") },
            { QStringLiteral("Frame kinds"), QStringLiteral("frameKinds") },
            { QStringLiteral("Missing kinds"), QStringLiteral("missingFrameKinds") } });
    QList<int> silent;
    for (int devId : devices) {
        console.progress(QStringLiteral("scan: asking battery %1").arg(devId));
        const BatteryIdentity identity = BatteryIdentity::read(session.service(), devId);
        if (!identity.answered())
            silent.append(devId);
        QDateTime clock;
        const int clockResult = session.service()->readDeviceTime(uchar(devId), clock);
        const QDateTime pcTime = QDateTime::currentDateTime();
        const bool clockRead = clockResult == 0 && clock.isValid();
        const qint64 drift = clockRead ? ClockDrift::seconds(clock, pcTime) : 0;

        const BusMonitor::DeviceTraffic &heard = traffic[devId];
        const BusMonitor::LifeCounter life = BusMonitor::lifeCounter(heard);
        QStringList missingKeys;
        for (quint32 key : missing.value(devId))
            missingKeys.append(keyText(key));
        const int seen = FrameKey::Count - missingKeys.size();

        Report::Row &row = report.addRow().cell(QStringLiteral("id"), devId);
        codeCell(row, QStringLiteral("firmware"), identity.firmware, identity.firmwareResult);
        codeCell(row, QStringLiteral("serial"), identity.serial, identity.serialResult);
        codeCell(row, QStringLiteral("model"), identity.model, identity.modelResult);
        row.cell(QStringLiteral("clockDriftSeconds"),
               clockRead ? ClockDrift::text(drift) : QStringLiteral("(no reply)"),
               clockRead ? QJsonValue(double(drift)) : QJsonValue())
            .cell(QStringLiteral("lifeCounter"),
                QStringLiteral("%1 (%2 changes)")
                    .arg(lifeCounterText(life))
                    .arg(heard.lifeCounterChanges),
                lifeCounterText(life))
            .field(QStringLiteral("lifeCounterChanges"), heard.lifeCounterChanges)
            .field(QStringLiteral("frames"), heard.frames)
            .cell(QStringLiteral("frameKinds"),
                QStringLiteral("%1/%2").arg(seen).arg(FrameKey::Count), seen)
            .cell(QStringLiteral("missingFrameKinds"),
                missingKeys.isEmpty() ? QStringLiteral("-") : missingKeys.join(QLatin1Char(' ')),
                QJsonArray::fromStringList(missingKeys));
    }

    QJsonObject bus;
    bus.insert(QStringLiteral("seconds"), elapsed);
    bus.insert(QStringLiteral("frames"), double(frames));
    bus.insert(QStringLiteral("framesPerSecond"), framesPerSecond);
    bus.insert(QStringLiteral("bitsPerSecond"), bitsPerSecond);
    bus.insert(QStringLiteral("bitrateKbit"), options.bitrateKbit);
    bus.insert(QStringLiteral("loadShare"), share);
    report.setField(QStringLiteral("bus"), bus);
    report.addLine(QString());
    report.addLine(QStringLiteral("Bus load: %1 frames/s, %2 bit/s, %3 % of %4 kbit/s "
                                  "(listened %5 s)")
                       .arg(framesPerSecond, 0, 'f', 1)
                       .arg(bitsPerSecond, 0, 'f', 0)
                       .arg(share * 100.0, 0, 'f', 1)
                       .arg(options.bitrateKbit)
                       .arg(elapsed, 0, 'f', 1));
    report.print(console, line.json());
    if (!silent.isEmpty()) {
        console.error(QStringLiteral("%1 heard but answered none of the identity reads "
                                     "(firmware, serial, model)")
                          .arg(BatteryList::named(silent)));
        return ExitStatus::of(Outcome::Partial);
    }
    return ExitStatus::of(Outcome::Done);
}
