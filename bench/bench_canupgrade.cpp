// The firmware upgrade over CAN against bms-sim, the way a service engineer meets it: 28
// batteries (devices 0 to 27) broadcasting on a bus with the capacity of 250 kbit/s, and a
// 256 KiB image in S3 records of 32 data bytes (8,192 lines of 80 characters, 81,920 frames).
// With --load, a busy loop runs on every core alongside (a laptop busy with something else).
// The simulator stands for hardware, the batteries and the bus, which the laptop's load does
// not slow down; with --sim-nice N (default -10 with --load, 0 without) it runs at that nice
// value, so that the load falls on the host and not on the bus it plays. A simulator starved
// of the CPU reads the host's frames late and all at once, and drops them from a full queue, as
// no real bus would.
//
// Figures, per run: the time from startUpgrading() to upgradeFinished(true), and that of the
// data step alone, as a share of the ideal time at the pace the data step kept (CanUpgrade's
// MaxDataFramesPerSecond, or less while the bus had less room; sampled every 100 ms); the
// batteries that answered the boot request; the version read back (each battery asked again
// for up to 5 s); the frames the simulator's bus offered and dropped (goal: none of the
// host's, whose upgrade frames win the bus over every broadcast and reply), and with
// --verbose-queues per node the transmit queue's peak, drops and longest wait. Goal: every run
// succeeds, no host frame dropped, the data step within 105 % of its ideal time.
//
//   bench_canupgrade [--image-kib N] [--packs N] [--bitrate BIT/S] [--runs N] [--load]
//                    [--sim-nice N] [--verbose-queues]

#include "support/testfirmware.h"
#include "support/testport.h"

#include "can/adaptertype.h"
#include "can/canbusconfig.h"
#include "can/candevice.h"
#include "can/canservice.h"
#include "can/qtcanbus/qtcanbus.h"
#include "log/logger.h"
#include "signals/batterybank.h"
#include "signals/signalvalues.h"
#include "upgrade/canupgrade.h"
#include "upgrade/imageversion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int SimStartMs = 10000;
constexpr int DiscoveryMs = 15000;
// Broadcasts at full load before the upgrade begins.
constexpr int SettleMs = 2000;
constexpr int PaceSampleMs = 100;
constexpr int VersionReadMs = 5000;
constexpr double GoalShareOfIdeal = 105.0;

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

struct Settings
{
    int imageBytes;
    int packCount;
    QString bitRate;
    int simNice;
};

struct Run
{
    QString failure; // why the run could not be measured, or empty
    bool success = false;
    int bootAnswers = 0;
    int versionsRead = 0;
    double totalS = 0;
    double dataS = 0;
    double idealS = 0; // at the pace kept
    double meanPace = 0;
    int lowestPace = 0;
    qint64 slices = 0;
    QString hostOffered, hostDropped, batteriesOffered, batteriesDropped;
    QString summary, queues;
};

Run runOnce(const Settings &settings, const TestFirmware::CanUpgradeInputs &image)
{
    Run run;
    for (const QString &line : image.s19Data)
        run.slices += (line.size() + CanUpgrade::SliceSize - 1) / CanUpgrade::SliceSize;

    // The simulator, on a virtual bus of its own.
    const QString interfaceName = QStringLiteral("tcp://127.0.0.1:%1/can0").arg(TestPort::pick());
    QStringList packList;
    for (int devId = 0; devId < settings.packCount; ++devId)
        packList << QString::number(devId);
    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    // Through nice(1), so that every thread of it (the virtual bus's server among them) runs
    // at that value.
    sim.start(QStringLiteral("nice"),
        { QStringLiteral("-n"), QString::number(settings.simNice), QStringLiteral(BMS_SIM_PATH),
            QStringLiteral("--interface"), interfaceName, QStringLiteral("--packs"),
            packList.join(QLatin1Char(',')), QStringLiteral("--bitrate"), settings.bitRate });
    QByteArray simOutput;
    if (!waitFor(
            [&] {
                simOutput += sim.readAll();
                return simOutput.contains("bms-sim: playing batteries")
                    || sim.state() == QProcess::NotRunning;
            },
            SimStartMs)
        || sim.state() != QProcess::Running) {
        run.failure = QStringLiteral("bms-sim did not start: ") + QString::fromUtf8(simOutput);
        return run;
    }

    // The program's service on that bus, as the navigation bar opens it.
    auto *bus = new QtCanBus(CanBusConfig(CanBusConfig::defaultPlugin(), interfaceName));
    std::unique_ptr<CanService> service(new CanService(new CanDevice(bus), new CanUpgrade));
    const int kbit = settings.bitRate.toInt() / 1000;
    if (service->initService(AdapterType::UsbCan2, 0, true, 0, kbit) != 0) {
        run.failure = QStringLiteral("the bus did not open");
        return run;
    }
    // Every battery online, as the page would see them before START.
    if (!waitFor([&] { return CanService::onlineDevices().size() >= settings.packCount; },
            DiscoveryMs)) {
        run.failure = QStringLiteral("only %1 of %2 batteries online")
                          .arg(CanService::onlineDevices().size())
                          .arg(settings.packCount);
        return run;
    }
    sleepMs(SettleMs);

    QElapsedTimer clock;
    qint64 dataStartNs = -1;
    qint64 dataEndNs = -1;
    qint64 finishedNs = -1;
    std::vector<int> paces;
    QTimer paceSampler;
    paceSampler.setInterval(PaceSampleMs);
    QObject::connect(&paceSampler, &QTimer::timeout,
        [&] { paces.push_back(service->upgradeFramesPerSecond()); });
    QObject::connect(service.get(), &CanService::bootAnswersCollected,
        [&](const QList<int> &answered) { run.bootAnswers = answered.size(); });
    QObject::connect(service.get(), &CanService::newUpgradeData, [&](const QString &line) {
        if (dataStartNs < 0 && line.contains(QStringLiteral("Send: id: 0x00040000"))) {
            dataStartNs = clock.nsecsElapsed();
            paceSampler.start();
        }
    });
    QObject::connect(service.get(), &CanService::upgradeProgress, [&](int value) {
        if (value == 100 && dataEndNs < 0) {
            dataEndNs = clock.nsecsElapsed();
            paceSampler.stop();
        }
    });
    QObject::connect(service.get(), &CanService::upgradeFinished, [&](bool ok) {
        run.success = ok;
        finishedNs = clock.nsecsElapsed();
    });

    clock.start();
    service->startUpgrading(image.s19Data, image.chkSum, image.bootVersion);
    waitFor([&] { return finishedNs >= 0; }, int(run.slices * 3 + 60000));

    const QByteArray expected = ImageVersion::ofS19(image.s19Data);
    for (int devId = 0; run.success && devId < settings.packCount; ++devId) {
        QElapsedTimer asking;
        asking.start();
        QByteArray version;
        while (service->readFirmwareVersion(uchar(devId), version) != 0
            && asking.elapsed() < VersionReadMs) { }
        if (version == expected)
            ++run.versionsRead;
    }

    paceSampler.stop();
    service->closeService();
    service.reset();
    sim.terminate();
    sim.waitForFinished(5000);
    simOutput += sim.readAll();
    const QString output = QString::fromUtf8(simOutput);
    run.summary = QRegularExpression(QStringLiteral("bms-sim: bus summary: [^\\n]*"))
                      .match(output)
                      .captured(0);
    run.queues = QRegularExpression(QStringLiteral("bms-sim: bus queues: ([^\\n]*)"))
                     .match(output)
                     .captured(1);
    const QRegularExpressionMatch counts
        = QRegularExpression(QStringLiteral("host offered (\\d+) dropped (\\d+); batteries "
                                            "offered (\\d+) dropped (\\d+)"))
              .match(run.summary);
    run.hostOffered = counts.captured(1);
    run.hostDropped = counts.captured(2);
    run.batteriesOffered = counts.captured(3);
    run.batteriesDropped = counts.captured(4);

    run.totalS = finishedNs / 1e9;
    run.dataS = (dataEndNs - dataStartNs) / 1e9;
    if (!paces.empty()) {
        double sum = 0;
        for (int pace : paces)
            sum += pace;
        run.meanPace = sum / double(paces.size());
        run.lowestPace = *std::min_element(paces.begin(), paces.end());
    } else {
        run.meanPace = CanUpgrade::MaxDataFramesPerSecond;
        run.lowestPace = CanUpgrade::MaxDataFramesPerSecond;
    }
    run.idealS = double(run.slices) / run.meanPace;
    return run;
}

// One busy loop per core, for the runs' length.
class BusyLoops
{
public:
    explicit BusyLoops(int count)
    {
        for (int i = 0; i < count; ++i) {
            auto process = std::make_unique<QProcess>();
            process->setStandardOutputFile(QProcess::nullDevice());
            process->start(QStringLiteral("yes"), QStringList());
            process->waitForStarted(3000);
            m_processes.push_back(std::move(process));
        }
    }
    ~BusyLoops()
    {
        for (auto &process : m_processes) {
            process->kill();
            process->waitForFinished(3000);
        }
    }

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

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
    const QCommandLineOption runs(
        QStringLiteral("runs"), QStringLiteral("Upgrades, one after the other."), "n", "1");
    const QCommandLineOption load(
        QStringLiteral("load"), QStringLiteral("A busy loop on every core alongside."));
    const QCommandLineOption simNice(QStringLiteral("sim-nice"),
        QStringLiteral("The simulator's nice value (default -10 with --load, else 0)."), "n");
    const QCommandLineOption verboseQueues(
        QStringLiteral("verbose-queues"), QStringLiteral("Each node's transmit queue."));
    parser.addOptions({ imageKib, packs, bitRate, runs, load, simNice, verboseQueues });
    parser.process(app);
    const int defaultNice = parser.isSet(load) ? -10 : 0;
    const Settings settings { parser.value(imageKib).toInt() * 1024,
        qBound(1, parser.value(packs).toInt(), BatteryBank::DeviceCount), parser.value(bitRate),
        parser.isSet(simNice) ? parser.value(simNice).toInt() : defaultNice };
    const int runCount = std::max(1, parser.value(runs).toInt());
    const int busyLoops = parser.isSet(load) ? QThread::idealThreadCount() : 0;

    const TestFirmware::CanUpgradeInputs image = TestFirmware::canUpgradeInputs(
        TestFirmware::s19(settings.imageBytes, "ZK100\x07\x01", "V9.9.9-BENCH"));
    std::printf("CAN firmware upgrade against bms-sim (%d batteries broadcasting, bus %s bit/s), "
                "%d KiB, %d lines; %d busy loop(s) alongside, the simulator at nice %d\n",
        settings.packCount, qPrintable(settings.bitRate), settings.imageBytes / 1024,
        int(image.s19Data.size()), busyLoops, settings.simNice);
    std::fflush(stdout);

    const BusyLoops loops(busyLoops);
    int good = 0;
    double worstShare = 0;
    for (int i = 1; i <= runCount; ++i) {
        const Run run = runOnce(settings, image);
        if (!run.failure.isEmpty()) {
            std::printf("  run %2d: %s\n", i, qPrintable(run.failure));
            std::fflush(stdout);
            continue;
        }
        // A run that failed before the data step ended has no data time.
        const double share = run.success ? 100.0 * run.dataS / run.idealS : 0.0;
        const bool met = run.success && run.hostDropped == QLatin1String("0")
            && run.versionsRead == settings.packCount && share <= GoalShareOfIdeal;
        good += met;
        worstShare = std::max(worstShare, share);
        std::printf("  run %2d: %s; boot answers %d; version read back from %d; whole %.2f s; "
                    "data %.2f s = %.1f %% of %.2f s ideal at %.0f frames/s (lowest %d); host "
                    "offered %s dropped %s; batteries offered %s dropped %s%s\n",
            i, run.success ? "success" : "FAILED", run.bootAnswers, run.versionsRead, run.totalS,
            run.dataS, share, run.idealS, run.meanPace, run.lowestPace, qPrintable(run.hostOffered),
            qPrintable(run.hostDropped), qPrintable(run.batteriesOffered),
            qPrintable(run.batteriesDropped), met ? "" : "  <- goal missed");
        if (parser.isSet(verboseQueues)) {
            std::printf("    %s\n", qPrintable(run.summary));
            for (const QString &node : run.queues.split(QStringLiteral("; "), Qt::SkipEmptyParts))
                std::printf("    queue of %s\n", qPrintable(node));
        }
        std::fflush(stdout);
    }
    std::printf("%d of %d runs met the goal (success, every version read back, no host frame "
                "dropped, data step within %.0f %% of its ideal); the slowest data step took "
                "%.1f %% of its ideal\n",
        good, runCount, GoalShareOfIdeal, worstShare);
    return good == runCount ? 0 : 1;
}
