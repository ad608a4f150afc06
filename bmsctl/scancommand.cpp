#include "scancommand.h"

#include "batteryidentity.h"
#include "batterylist.h"
#include "buscommandline.h"
#include "bussession.h"
#include "clockdrift.h"
#include "console.h"
#include "eventwait.h"
#include "exitstatus.h"
#include "table.h"

#include "can/canservice.h"
#include "signals/framekey.h"

#include <QJsonArray>
#include <QJsonObject>

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

QString orNoReply(const QString &text, int result)
{
    return result == 0 ? text : QStringLiteral("(no reply)");
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
    const int listenMs = int(listenSeconds * 1000);
    const EventWait::Result listened = EventWait::until(listenMs, {}, [&] {
        console.progress(QStringLiteral("scan: listening %1/%2 s, batteries heard: %3")
                             .arg(session.monitor().elapsedMs() / 1000)
                             .arg(listenSeconds)
                             .arg(session.heardList()));
    });
    if (listened == EventWait::Interrupted) {
        console.error(QStringLiteral("interrupted"));
        return ExitStatus::Failure;
    }

    // The load of the listening time only: the questions below add frames of their own.
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
        return ExitStatus::Failure;
    }

    Table table({ QStringLiteral("ID"), QStringLiteral("Firmware"), QStringLiteral("Serial"),
        QStringLiteral("Model"), QStringLiteral("Clock drift"), QStringLiteral("Life counter"),
        QStringLiteral("Frame kinds"), QStringLiteral("Missing kinds") });
    table.setRightAligned(0);
    QJsonArray batteries;
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
        QJsonArray missingJson;
        for (quint32 key : missing.value(devId)) {
            missingKeys.append(keyText(key));
            missingJson.append(keyText(key));
        }
        const int seen = FrameKey::Count - missingKeys.size();

        table.addRow(
            { QString::number(devId), orNoReply(identity.firmware, identity.firmwareResult),
                orNoReply(identity.serial, identity.serialResult),
                orNoReply(identity.model, identity.modelResult),
                clockRead ? ClockDrift::text(drift) : QStringLiteral("(no reply)"),
                QStringLiteral("%1 (%2 changes)")
                    .arg(lifeCounterText(life))
                    .arg(heard.lifeCounterChanges),
                QStringLiteral("%1/%2").arg(seen).arg(FrameKey::Count),
                missingKeys.isEmpty() ? QStringLiteral("-") : missingKeys.join(QLatin1Char(' ')) });

        QJsonObject battery;
        battery.insert(QStringLiteral("id"), devId);
        battery.insert(QStringLiteral("firmware"),
            identity.firmwareResult == 0 ? QJsonValue(identity.firmware) : QJsonValue());
        battery.insert(QStringLiteral("serial"),
            identity.serialResult == 0 ? QJsonValue(identity.serial) : QJsonValue());
        battery.insert(QStringLiteral("model"),
            identity.modelResult == 0 ? QJsonValue(identity.model) : QJsonValue());
        battery.insert(QStringLiteral("clockDriftSeconds"),
            clockRead ? QJsonValue(double(drift)) : QJsonValue());
        battery.insert(QStringLiteral("lifeCounter"), lifeCounterText(life));
        battery.insert(QStringLiteral("lifeCounterChanges"), heard.lifeCounterChanges);
        battery.insert(QStringLiteral("frames"), heard.frames);
        battery.insert(QStringLiteral("frameKinds"), seen);
        battery.insert(QStringLiteral("missingFrameKinds"), missingJson);
        batteries.append(battery);
    }

    const QString loadLine = QStringLiteral("Bus load: %1 frames/s, %2 bit/s, %3 % of %4 kbit/s "
                                            "(listened %5 s)")
                                 .arg(framesPerSecond, 0, 'f', 1)
                                 .arg(bitsPerSecond, 0, 'f', 0)
                                 .arg(share * 100.0, 0, 'f', 1)
                                 .arg(options.bitrateKbit)
                                 .arg(elapsed, 0, 'f', 1);
    if (line.json()) {
        QJsonObject bus;
        bus.insert(QStringLiteral("seconds"), elapsed);
        bus.insert(QStringLiteral("frames"), double(frames));
        bus.insert(QStringLiteral("framesPerSecond"), framesPerSecond);
        bus.insert(QStringLiteral("bitsPerSecond"), bitsPerSecond);
        bus.insert(QStringLiteral("bitrateKbit"), options.bitrateKbit);
        bus.insert(QStringLiteral("loadShare"), share);
        QJsonObject root;
        root.insert(QStringLiteral("batteries"), batteries);
        root.insert(QStringLiteral("bus"), bus);
        console.printJson(root);
    } else {
        console.printTable(table);
        console.printLine(QString());
        console.printLine(loadLine);
    }
    if (!silent.isEmpty()) {
        console.error(QStringLiteral("%1 heard but answered none of the identity reads "
                                     "(firmware, serial, model)")
                          .arg(BatteryList::named(silent)));
        return ExitStatus::Failure;
    }
    return ExitStatus::Success;
}
