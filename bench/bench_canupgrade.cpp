// The firmware upgrade over CAN against bms-sim, the way a service engineer meets it: 28
// batteries (devices 0 to 27) broadcasting on a bus with the capacity of 250 kbit/s, and a
// 256 KiB image in S3 records of 32 data bytes (8,192 lines of 80 characters, 81,920 frames).
//
// Figures: the time from startUpgrading() to upgradeFinished(true), and that of the data step
// alone, as a share of the ideal time at the data step's pace (CanUpgrade's
// MaxDataFramesPerSecond); the frames the simulator's bus offered and dropped (goal: none of the
// host's, whose upgrade frames win the bus over every broadcast and reply), and per node the
// transmit queue's peak, drops and longest wait.
//
//   bench_canupgrade [--image-kib N] [--packs N] [--bitrate BIT/S]

#include "support/testfirmware.h"
#include "support/testport.h"

#include "can/adaptertype.h"
#include "can/canbusconfig.h"
#include "can/canbuscontrolcan.h"
#include "can/candevice.h"
#include "can/canservice.h"
#include "can/canupgrade.h"
#include "log/logger.h"
#include "signals/batterybank.h"
#include "signals/signalvalues.h"
#include "upgrade/imageversion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int SimStartMs = 10000;
constexpr int DiscoveryMs = 15000;
// Broadcasts at full load before the upgrade begins.
constexpr int SettleMs = 2000;

// Runs the event loop until done() or the time is up; whether done() came true.
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void sleepMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QsLogging::Logger::instance().setLoggingLevel(QsLogging::OffLevel);

    QCommandLineParser parser;
    const QCommandLineOption imageKib(
        QStringLiteral("image-kib"), QStringLiteral("Image size."), QStringLiteral("KiB"), "256");
    const QCommandLineOption packs(QStringLiteral("packs"), QStringLiteral("Batteries."),
        QStringLiteral("n"), QString::number(BatteryBank::DeviceCount));
    const QCommandLineOption bitRate(
        QStringLiteral("bitrate"), QStringLiteral("Bus bit/s."), QStringLiteral("n"), "250000");
    parser.addOptions({ imageKib, packs, bitRate });
    parser.process(app);
    const int imageBytes = parser.value(imageKib).toInt() * 1024;
    const int packCount = qBound(1, parser.value(packs).toInt(), BatteryBank::DeviceCount);

    // The simulator, on a virtual bus of its own.
    const QString interfaceName = QStringLiteral("tcp://127.0.0.1:%1/can0").arg(TestPort::pick());
    QStringList packList;
    for (int devId = 0; devId < packCount; ++devId)
        packList << QString::number(devId);
    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QStringLiteral(BMS_SIM_PATH),
        { QStringLiteral("--interface"), interfaceName, QStringLiteral("--packs"),
            packList.join(QLatin1Char(',')), QStringLiteral("--bitrate"), parser.value(bitRate) });
    QByteArray simOutput;
    if (!waitFor(
            [&] {
                simOutput += sim.readAll();
                return simOutput.contains("bms-sim: playing batteries")
                    || sim.state() == QProcess::NotRunning;
            },
            SimStartMs)
        || sim.state() != QProcess::Running) {
        std::fprintf(
            stderr, "bench_canupgrade: bms-sim did not start: %s\n", simOutput.constData());
        return 1;
    }

    // The program's service on that bus, as the navigation bar opens it.
    auto api = std::make_shared<CanBusControlCan>(
        CanBusConfig(CanBusConfig::defaultPlugin(), interfaceName));
    auto *service = new CanService(new CanDevice(api));
    if (service->initService(AdapterType::UsbCan2, 0, true, 0, 250) != 0) {
        std::fprintf(stderr, "bench_canupgrade: the bus did not open\n");
        return 1;
    }
    if (!waitFor([&] { return SignalValues::instance()->knownDevices().size() >= packCount; },
            DiscoveryMs)) {
        std::fprintf(stderr, "bench_canupgrade: only %d of %d batteries seen\n",
            int(SignalValues::instance()->knownDevices().size()), packCount);
        return 1;
    }
    sleepMs(SettleMs);

    const TestFirmware::CanUpgradeInputs image = TestFirmware::canUpgradeInputs(
        TestFirmware::s19(imageBytes, "ZK100\x07\x01", "V9.9.9-BENCH"));
    qint64 slices = 0;
    for (const QString &line : image.s19Data)
        slices += (line.size() + CanUpgrade::SliceSize - 1) / CanUpgrade::SliceSize;

    QElapsedTimer clock;
    qint64 dataStartNs = -1;
    qint64 dataEndNs = -1;
    qint64 finishedNs = -1;
    bool success = false;
    QObject::connect(service, &CanService::newUpgradeData, [&](const QString &line) {
        if (dataStartNs < 0 && line.contains(QStringLiteral("Send: id: 0x00040000")))
            dataStartNs = clock.nsecsElapsed();
    });
    QObject::connect(service, &CanService::upgradeProgress, [&](int value) {
        if (value == 100 && dataEndNs < 0)
            dataEndNs = clock.nsecsElapsed();
    });
    QObject::connect(service, &CanService::upgradeFinished, [&](bool ok) {
        success = ok;
        finishedNs = clock.nsecsElapsed();
    });

    clock.start();
    service->startUpgrading(image.s19Data, image.chkSum, image.bootVersion);
    const int timeoutMs = int(slices * 3 + 60000);
    waitFor([&] { return finishedNs >= 0; }, timeoutMs);

    int versionsRead = 0;
    const QByteArray expected = ImageVersion::ofS19(image.s19Data);
    for (int devId = 0; success && devId < packCount; ++devId) {
        QByteArray version;
        if (service->readFirmwareVersion(uchar(devId), version) == 0 && version == expected)
            ++versionsRead;
    }

    service->closeService();
    sim.terminate();
    sim.waitForFinished(5000);
    simOutput += sim.readAll();
    const QRegularExpression summaryLine(QStringLiteral("bms-sim: bus summary: [^\\n]*"));
    const QString summary = summaryLine.match(QString::fromUtf8(simOutput)).captured(0);
    const QRegularExpression queuesLine(QStringLiteral("bms-sim: bus queues: ([^\\n]*)"));
    const QString queues = queuesLine.match(QString::fromUtf8(simOutput)).captured(1);
    const QRegularExpression counts(QStringLiteral(
        "host offered (\\d+) dropped (\\d+); batteries offered (\\d+) dropped (\\d+)"));
    const QRegularExpressionMatch match = counts.match(summary);

    const double idealS = double(slices) / CanUpgrade::MaxDataFramesPerSecond;
    const double totalS = finishedNs / 1e9;
    const double dataS = (dataEndNs - dataStartNs) / 1e9;
    std::printf("CAN firmware upgrade against bms-sim (%d batteries broadcasting, bus %s bit/s)\n",
        packCount, qPrintable(parser.value(bitRate)));
    std::printf("  image:              %d KiB, %d lines, %lld frames of image data\n",
        imageBytes / 1024, int(image.s19Data.size()), static_cast<long long>(slices));
    std::printf("  result:             %s; new version read back from %d of %d batteries\n",
        finishedNs < 0 ? "no end within the time allowed" : (success ? "success" : "FAILED"),
        versionsRead, packCount);
    std::printf("  ideal at %d frames/s: %.2f s\n", CanUpgrade::MaxDataFramesPerSecond, idealS);
    std::printf(
        "  whole upgrade:      %.2f s = %.1f %% of the ideal\n", totalS, 100.0 * totalS / idealS);
    std::printf("  data step:          %.2f s = %.1f %% of the ideal, %.0f frames/s\n", dataS,
        100.0 * dataS / idealS, double(slices) / dataS);
    if (match.hasMatch()) {
        std::printf("  simulator's bus:    host offered %s, dropped %s; batteries offered %s, "
                    "dropped %s (goal: the host 0 dropped)\n",
            qPrintable(match.captured(1)), qPrintable(match.captured(2)),
            qPrintable(match.captured(3)), qPrintable(match.captured(4)));
    }
    std::printf("  %s\n", qPrintable(summary.isEmpty() ? QStringLiteral("(no summary)") : summary));
    for (const QString &node : queues.split(QStringLiteral("; "), Qt::SkipEmptyParts))
        std::printf("    queue of %s\n", qPrintable(node));
    return success ? 0 : 1;
}
