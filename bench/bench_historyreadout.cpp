// Reading a battery's whole history log (60 events) out of bms-sim through the program's own
// CAN service and history event model, from OnStartRecording until the last record is a row,
// against the ideal that the frames' count and 250 kbit/s allow.
//
// The read-out is: the count request and its reply, the start request, then twelve 8-byte
// frames per record. An extended frame with n data bytes is 67 + 8n bits on the wire, plus up
// to (54 + 8n - 1) / 4 stuff bits. The host notices the count reply at the end of its 50 ms
// wait cycle (CanService::waitForReply), so one cycle belongs to the ideal read-out too.

#include "support/parameterset.h"
#include "support/simprocess.h"

#include "can/adaptertype.h"
#include "can/canservice.h"
#include "records/historyeventmodel.h"
#include "records/historyreadout.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Events = 60;
constexpr int Runs = 10;
constexpr double BitRate = 250000.0;
constexpr int FramesPerRecord = 12;
constexpr int SimRecordMs = 5; // the simulator's transfer tick, one record each

int frameBits(int dataBytes, bool worstStuffing)
{
    const int bits = 67 + 8 * dataBytes;
    return worstStuffing ? bits + (54 + 8 * dataBytes - 1) / 4 : bits;
}

double idealMs(bool worstStuffing)
{
    const int bits = frameBits(1, worstStuffing) + frameBits(8, worstStuffing)
        + frameBits(2, worstStuffing) + Events * FramesPerRecord * frameBits(8, worstStuffing);
    return bits / BitRate * 1000.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!ParameterSet::install(ParameterSet::shipped())) {
        std::fprintf(stderr, "cannot place the parameter set beside the benchmark\n");
        return 1;
    }
    SignalValues::instance();
    SimProcess sim;
    if (!sim.start(
            { "--packs", "1", "--speed", "1", "--history-events", QString::number(Events) })) {
        std::fprintf(stderr, "bms-sim did not start: %s\n", sim.output().constData());
        return 1;
    }
    CanService *service = CanService::instance();
    if (service->initService(AdapterType::UsbCan2, 0, true, 0, 250) != 0
        && service->initService(AdapterType::UsbCan2, 0, true, 0, 250) != 0) {
        std::fprintf(stderr, "the bus did not open\n");
        return 1;
    }
    if (!QTest::qWaitFor(
            [] { return SignalValues::instance()->value(1, Signal::SysStatus).toUInt() != 3; },
            10000)) {
        std::fprintf(stderr, "battery 1 did not come online\n");
        return 1;
    }
    // Let the clock setting of the new battery pass first.
    if (!QTest::qWaitFor([service] { return !service->isRtcSyncPending(1); }, 5000))
        std::fprintf(stderr, "(the battery's clock is still being set)\n");

    HistoryEventModel model;
    QList<double> totals;
    QList<double> counts;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        model.OnStartRecording(1);
        counts.append(clock.nsecsElapsed() / 1e6);
        if (!QTest::qWaitFor(
                [&model] { return model.readout()->state() == HistoryReadout::Complete; }, 10000)
            || model.rowCount() != Events) {
            std::fprintf(stderr, "run %d: %d of %d rows\n", run, model.rowCount(), Events);
            return 1;
        }
        totals.append(clock.nsecsElapsed() / 1e6);
        QTest::qWait(200);
    }
    std::sort(totals.begin(), totals.end());
    std::sort(counts.begin(), counts.end());
    const int frames = 3 + Events * FramesPerRecord;
    std::printf("history read-out of %d events, %d runs against bms-sim\n", Events, Runs);
    std::printf("  whole read-out:  min %.0f ms, median %.0f ms, max %.0f ms\n", totals.first(),
        totals.at(Runs / 2), totals.last());
    std::printf("  of which the count query (waits whole 50 ms cycles): median %.0f ms\n",
        counts.at(Runs / 2));
    std::printf("  ideal at 250 kbit/s: %d frames, %.0f ms without stuff bits, %.0f ms with the "
                "most; + one 50 ms reply cycle = %.0f .. %.0f ms\n",
        frames, idealMs(false), idealMs(true), idealMs(false) + 50, idealMs(true) + 50);
    std::printf("  the simulator sends a record every %d ms, faster than the %.1f ms its twelve "
                "frames need at 250 kbit/s (Qt's virtual bus has no bit rate): its own pace, "
                "with the reply cycle, is %d ms\n",
        SimRecordMs, FramesPerRecord * frameBits(8, false) / BitRate * 1000.0,
        50 + Events * SimRecordMs);
    service->closeService();
    sim.stop();
    return 0;
}
