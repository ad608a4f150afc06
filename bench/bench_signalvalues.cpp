// How many broadcast frames per second the store decodes, against what one CAN bus can carry.
//
// A 1 Mbit/s bus carries at most 7,634 extended frames of 8 bytes per second (131 bits each
// without stuffing, 3 bits of interframe space included). The store runs in the GUI thread
// beside every page, so it should use a small slice of it even when the bus is full: the goal is
// 100 times that rate.
//
// The store alone; bench_receivepath measures the whole way from the adapter's poll.

#include "bustraffic.h"

#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ostream>
#include <vector>

namespace {

using namespace BusTraffic;

constexpr double BusFramesPerSecond = 7634.0;
void decodeBroadcastFrames(benchmark::State &state)
{
    SignalValues store;
    const QVector<Frame> frames = busTraffic(store);
    qint64 decoded = 0;
    for (auto _ : state) {
        for (const Frame &frame : frames)
            store.OnNewCanFrame(frame.id, frame.payload, 0);
        // A second's worth of staleness counting per pass keeps the status rule in play.
        store.OnTimerTimeout();
        decoded += frames.size();
    }
    benchmark::DoNotOptimize(store.value(0, Signal::SumVolt));
    state.counters["frames/s"] = benchmark::Counter(double(decoded), benchmark::Counter::kIsRate);
}
BENCHMARK(decodeBroadcastFrames)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// The console table, then each run's rate in bus terms.
class BusSummaryReporter : public benchmark::ConsoleReporter
{
public:
    // Plain text: the figures end up in logs and reports, where colour codes are noise.
    BusSummaryReporter()
        : benchmark::ConsoleReporter(OO_Tabular)
    { }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        benchmark::ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const auto rate = run.counters.find("frames/s");
            if (rate == run.counters.end())
                continue;
            const double framesPerSecond = rate->second.value;
            char line[200];
            std::snprintf(line, sizeof line,
                "%s: %.0f frames/s (CPU time), %.0fx the bus maximum of %.0f frames/s "
                "(goal 100x)\n",
                run.benchmark_name().c_str(), framesPerSecond, framesPerSecond / BusFramesPerSecond,
                BusFramesPerSecond);
            GetOutputStream() << line;
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    // The store owns a QTimer, which wants an application object in its thread.
    QCoreApplication app(argc, argv);
    BusSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
