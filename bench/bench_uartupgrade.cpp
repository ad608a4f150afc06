// Goodput of a serial firmware upgrade: UartService sends a 128 KiB image to bms-sim's boot
// loader on a pseudo-terminal at 115200 baud. The simulator paces its line at 10 bits a byte,
// so the figures are those of a real line, and are compared with
//   - what 115200 baud 8N1 carries (11,520 bytes/s), and the 10,946 bytes/s asked about;
//   - what the protocol itself allows: per 248-byte block a 261-byte frame and an 11-byte
//     acknowledgement on the line, then the wait for the tick that sends the next block.
//
//   bench_uartupgrade [--runs N] [--kib K]
#include "support/testport.h"
#include "upgrade/uartimage.h"
#include "upgrade/uartservice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

constexpr double LineBytesPerSecond = 115200.0 / 10.0;
constexpr double AskedBytesPerSecond = 10946.0;
constexpr int FrameOverhead = 9 + 4; // framing, sub-command and argument
constexpr int AckBytes = 9 + 2; // the simulated boot loader's status and sub-command
constexpr double TickSeconds = UartService::TickMs / 1000.0;

struct Run
{
    bool success = false;
    double totalSeconds = 0; // startUpgrading to the CRC's acknowledgement
    double blockSeconds = 0; // mean time from one block's acknowledgement to the next
    int blocks = 0;
};

QString startSimulator(QProcess &sim)
{
    const QString bus = QStringLiteral("tcp://127.0.0.1:%1/can0").arg(TestPort::pick());
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QStringLiteral(BMS_SIM_PATH),
        { QStringLiteral("--plugin"), QStringLiteral("virtualcan"), QStringLiteral("--interface"),
            bus, QStringLiteral("--packs"), QStringLiteral("1"), QStringLiteral("--uart") });
    QByteArray output;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000 && sim.state() != QProcess::NotRunning) {
        sim.waitForReadyRead(100);
        output += sim.readAll();
        const int at = output.indexOf("uart boot loader on ");
        const int end = output.indexOf('\n', at);
        if (at >= 0 && end > at)
            return QString::fromLocal8Bit(output.mid(at + 20, end - at - 20)).trimmed();
    }
    std::fprintf(stderr, "bms-sim did not start: %s\n", output.constData());
    return QString();
}

Run upgrade(const QString &port, const QByteArray &image)
{
    // The service in a worker thread of its own, as the firmware page runs it.
    QThread thread;
    thread.start();
    auto *service = new UartService;
    service->moveToThread(&thread);

    Run run;
    std::mutex mutex;
    QElapsedTimer clock;
    std::vector<qint64> acknowledged; // nanoseconds, one per acknowledged block
    int reports = 0;
    QEventLoop loop;
    QObject::connect(
        service, &UartService::upgradeProgress, service,
        [&](int percent) {
            // The first report (0) comes at the start, the last (100) with the CRC; the
            // others, one per block, whatever their rounded value.
            std::lock_guard<std::mutex> lock(mutex);
            if (reports++ > 0 && percent < 100)
                acknowledged.push_back(clock.nsecsElapsed());
        },
        Qt::DirectConnection);
    QObject::connect(
        service, &UartService::upgradeResult, service,
        [&](bool success) {
            std::lock_guard<std::mutex> lock(mutex);
            run.success = success;
            run.totalSeconds = clock.nsecsElapsed() / 1e9;
        },
        Qt::DirectConnection);
    QObject::connect(service, &UartService::upgradeResult, &loop, &QEventLoop::quit);
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);

    clock.start();
    QMetaObject::invokeMethod(service, "startUpgrading", Qt::QueuedConnection, Q_ARG(QString, port),
        Q_ARG(QByteArray, image));
    loop.exec();

    {
        std::lock_guard<std::mutex> lock(mutex);
        // Progress comes once per acknowledged block before the end frame.
        if (acknowledged.size() >= 2) {
            run.blocks = int(acknowledged.size()) - 1;
            run.blockSeconds = (acknowledged.back() - acknowledged.front()) / 1e9 / run.blocks;
        }
    }
    service->deleteLater();
    thread.quit();
    thread.wait();
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int runs = 1;
    int kib = 128;
    const QStringList arguments = app.arguments();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments.at(i) == QLatin1String("--runs"))
            runs = qMax(1, arguments.at(i + 1).toInt());
        else if (arguments.at(i) == QLatin1String("--kib"))
            kib = qMax(1, arguments.at(i + 1).toInt());
    }

    QByteArray image(kib * 1024, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char((i * 131 + 7) >> 1);
    image.replace(0, 5, "ZK100");
    const UartImage padded(image);

    const double lineSeconds
        = (UartImage::BlockSize + FrameOverhead + AckBytes) / LineBytesPerSecond;
    // The next block goes out on the second tick after the acknowledgement: on the 5 ms grid
    // of the tick that sent the block, the cycle is the next multiple of a tick after the line
    // time, plus one tick.
    const double gridSeconds = (std::ceil(lineSeconds / TickSeconds) + 1) * TickSeconds;
    const double protocolLimit = UartImage::BlockSize / gridSeconds;
    const double bestLimit = UartImage::BlockSize / (lineSeconds + TickSeconds);
    const double meanLimit = UartImage::BlockSize / (lineSeconds + 1.5 * TickSeconds);

    std::printf("image: %d bytes (%d blocks of %d), 115200 baud 8N1, paced pseudo-terminal\n",
        padded.size(), padded.blockCount(), UartImage::BlockSize);
    std::printf("per block on the line: %d + %d bytes = %.2f ms\n",
        UartImage::BlockSize + FrameOverhead, AckBytes, lineSeconds * 1000);
    std::printf("protocol limit: %.0f B/s on the 5 ms tick grid (%.0f ms a block); "
                "%.0f B/s with a one-tick wait, %.0f B/s with the mean 1.5-tick wait\n",
        protocolLimit, gridSeconds * 1000, bestLimit, meanLimit);

    int failures = 0;
    for (int r = 1; r <= runs; ++r) {
        QProcess sim;
        const QString port = startSimulator(sim);
        if (port.isEmpty())
            return 1;
        const Run run = upgrade(port, image);
        sim.terminate();
        sim.waitForFinished(3000);
        if (!run.success || run.blockSeconds <= 0) {
            std::printf("run %d: upgrade failed\n", r);
            ++failures;
            continue;
        }
        const double goodput = UartImage::BlockSize / run.blockSeconds;
        const double overall = padded.size() / run.totalSeconds;
        std::printf("run %d: %.2f ms a block over %d blocks -> %.0f B/s goodput: "
                    "%.1f %% of 11,520 B/s, %.1f %% of 10,946 B/s, %.1f %% of the protocol "
                    "limit (%.1f %% of %.0f, %.1f %% of %.0f); whole upgrade %.2f s, %.0f B/s\n",
            r, run.blockSeconds * 1000, run.blocks, goodput, 100 * goodput / LineBytesPerSecond,
            100 * goodput / AskedBytesPerSecond, 100 * goodput / protocolLimit,
            100 * goodput / bestLimit, bestLimit, 100 * goodput / meanLimit, meanLimit,
            run.totalSeconds, overall);
    }
    return failures == 0 ? 0 : 1;
}
