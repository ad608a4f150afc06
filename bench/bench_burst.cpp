// The whole window against bms-sim sending twice the frames a 250 kbit/s bus carries for 30 s
// (--burst 2: about 3,800 frames a second, on top of four batteries' own broadcasts), the
// load tst_e2e_burst holds for a few seconds. Prints, for the burst: the frames the adapter
// handed over and their rate, the GUI thread's longest stall and its 99th percentile (how late
// a 10 ms timer came), the heap in use and the resident set before, during and after, and how
// long a parameter read took in the middle of it.
//
//   bench_burst [SECONDS [FACTOR]]     defaults 30 and 2

#include "support/parameterset.h"
#include "support/simprocess.h"
#include "support/stallprobe.h"

#include "can/candevice.h"
#include "can/canservice.h"
#include "resource/resources.h"
#include "signals/signalvalues.h"
#include "ui/mainwidger.h"
#include "ui/uimainleft.h"
#include "ui/uimaintop.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>

#include <atomic>
#include <cstdio>

namespace {

constexpr int BurstAfterS = 5;
constexpr int SampleEveryS = 5;

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int burstForS = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 30;
    const double factor = argc > 2 ? QByteArray(argv[2]).toDouble() : 2.0;
    Resources::init();
    if (!ParameterSet::install(ParameterSet::shipped())) {
        std::fprintf(stderr, "cannot place the parameter set beside the benchmark\n");
        return 1;
    }
    SimProcess sim;
    if (!sim.start({ "--packs", "1,2,3,12", "--burst", QString::number(factor), "--burst-after",
            QString::number(BurstAfterS), "--burst-for", QString::number(burstForS) })) {
        std::fprintf(stderr, "bms-sim did not start: %s\n", sim.output().constData());
        return 1;
    }
    QElapsedTimer sinceStart;
    sinceStart.start();

    MainWidger window(SignalValues::instance(), CanService::instance());
    window.show();
    CanService *service = CanService::instance();
    std::atomic<qint64> received { 0 };
    QObject::connect(
        service->device(), &CanDevice::newData, service->device(),
        [&received](ulong, QByteArray, ulong) { ++received; }, Qt::DirectConnection);
    window.mainLeft()->openCanButton()->click();
    if (!QTest::qWaitFor([&] { return window.mainTop()->batteryCombo()->count() == 4; }, 5000)) {
        std::fprintf(stderr, "the batteries did not come online\n");
        return 1;
    }
    QTest::qWait(int(BurstAfterS * 1000 - sinceStart.elapsed()));

    const qint64 heapBefore = StallProbe::heapInUseKiB();
    const qint64 residentBefore = StallProbe::residentKiB();
    const qint64 receivedBefore = received;
    StallProbe probe;
    qint64 heapPeak = heapBefore;
    qint64 commandMs = -1;
    int commandResult = 0;
    for (int second = SampleEveryS; second <= burstForS; second += SampleEveryS) {
        QTest::qWait(int((BurstAfterS + second) * 1000 - sinceStart.elapsed()));
        heapPeak = qMax(heapPeak, StallProbe::heapInUseKiB());
        std::printf("  %3d s: %lld frames, heap in use %lld KiB, resident %lld KiB\n", second,
            qint64(received) - receivedBefore, StallProbe::heapInUseKiB(),
            StallProbe::residentKiB());
        if (commandMs < 0 && second >= burstForS / 2) {
            QElapsedTimer command;
            command.start();
            int value = 0;
            commandResult = service->readParameter(2, 1, value);
            commandMs = command.elapsed();
        }
    }
    QTest::qWait(int((BurstAfterS + burstForS) * 1000 - sinceStart.elapsed()));
    const qint64 frames = received - receivedBefore;
    const double longest = probe.longestMs();
    const double p99 = probe.percentileMs(99);
    QTest::qWait(1000);
    window.mainLeft()->closeCanButton()->click();
    sim.stop();
    const QByteArray output = sim.output();
    const int summary = output.indexOf("bms-sim: bus summary");

    std::printf("burst of %d s at %.1f x the bus rate (%.0f frames/s past a 250 kbit/s bus):\n",
        burstForS, factor, factor * 250000 / 131);
    std::printf("  frames handed over: %lld (%.0f/s)\n", frames, double(frames) / burstForS);
    std::printf(
        "  GUI thread: longest stall %.1f ms, 99th percentile %.1f ms (%d ticks of %d ms)\n",
        longest, p99, probe.ticks(), StallProbe::TickMs);
    std::printf("  heap in use: %lld KiB before, %lld KiB at most, %lld KiB 1 s after\n",
        heapBefore, heapPeak, StallProbe::heapInUseKiB());
    std::printf("  resident: %lld KiB before, %lld KiB after, peak %lld KiB\n", residentBefore,
        StallProbe::residentKiB(), StallProbe::peakResidentKiB());
    std::printf("  parameter read mid-burst: result %d in %lld ms\n", commandResult, commandMs);
    if (summary >= 0)
        std::printf(
            "  %s", output.mid(summary, output.indexOf('\n', summary) - summary + 1).constData());
    return 0;
}
