// Trends of a full bank: 28 batteries online, one sampling pass a simulated second through
// TrendRecorder::sample, for a day and for two.
//
// Figures: the time of one pass (the GUI thread's cost each second), the bytes the series hold
// per battery and for the bank, the heap in use grown by the recorder (glibc's mallinfo2, which
// sees every allocation), against the goal of at most 64 MB for the bank over a day. After two
// days the figures must be those of one: the oldest day is forgotten, nothing grows.

#include "bustraffic.h"

#include "records/trendrecorder.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <memory>
#include <string>

namespace {

constexpr qint64 Start = 1700000000000;
constexpr double MB = 1024.0 * 1024.0;

long long heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return (long long)(info.uordblks + info.hblkhd);
}

void samplingPasses(benchmark::State &state)
{
    SignalValues store;
    // One round of the full broadcast cycle: every battery's status is static, so all are online.
    for (const BusTraffic::Frame &frame :
        BusTraffic::busTraffic(store).mid(0, BusTraffic::Batteries * store.frameKeys().size()))
        store.OnNewCanFrame(frame.id, frame.payload, 0);

    const long long heapBefore = heapInUse();
    auto recorder = std::make_unique<TrendRecorder>(&store);
    qint64 now = Start;
    for (auto _ : state) {
        recorder->sample(now);
        now += 1000;
    }
    const long long heapBytes = heapInUse() - heapBefore;

    qint64 seriesBytes = 0;
    for (int devId = 0; devId < BusTraffic::Batteries; ++devId)
        seriesBytes += recorder->series(devId)->storageBytes();
    state.counters["bytes/battery"] = double(seriesBytes) / BusTraffic::Batteries;
    state.counters["bank MB"] = double(seriesBytes) / MB;
    state.counters["heap MB"] = double(heapBytes) / MB;
    state.counters["bound MB"] = double(TrendSeries::capacityBytes()) * BusTraffic::Batteries / MB;
}
} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    // The store owns a QTimer, which wants an application object in its thread.
    QCoreApplication app(argc, argv);
    // One iteration is one pass, one simulated second.
    for (int hours : { 24, 48 }) {
        const std::string name = "samplingPasses/" + std::to_string(hours) + "h";
        benchmark::RegisterBenchmark(name.c_str(), samplingPasses)
            ->Iterations(hours * 3600)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
