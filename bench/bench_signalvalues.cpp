// How many broadcast frames per second the store decodes, against what one CAN bus can carry.
//
// A 1 Mbit/s bus carries at most 7,634 extended frames of 8 bytes per second (131 bits each
// without stuffing, 3 bits of interframe space included). The store runs in the GUI thread
// beside every page, so it should use a small slice of it even when the bus is full: the goal is
// 100 times that rate.
//
// The receive path as a whole, from the CAN adapter's poll to the store, is to be measured here
// as well once the CAN layer exists; this part feeds the store directly.

#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QCoreApplication>
#include <QVector>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ostream>
#include <vector>

namespace {

constexpr double BusFramesPerSecond = 7634.0;
constexpr int Batteries = 28;
// Rounds of the full broadcast cycle with changing contents, so the decoder never sees one
// payload over and over.
constexpr int Rounds = 8;

struct Frame
{
    ulong id;
    QByteArray payload;
};

// What 28 batteries broadcast: every frame kind from every battery, with plausible values that
// move from round to round, the life counter among them.
QVector<Frame> busTraffic(const SignalValues &store)
{
    QVector<Frame> frames;
    for (int round = 0; round < Rounds; ++round) {
        for (int devId = 0; devId < Batteries; ++devId) {
            const double wobble = (round * 7 + devId) % 10;
            for (quint32 key : store.frameKeys()) {
                QHash<int, double> values;
                for (const SignalDefinition &definition : store.definitions(key)) {
                    double value = 0.0;
                    switch (definition.index) {
                    case Signal::SumVolt:
                        value = 52.0 + wobble / 10;
                        break;
                    case Signal::Curr:
                        value = -20.0 + wobble;
                        break;
                    case Signal::SOC:
                    case Signal::SOH:
                        value = 90.0 + wobble;
                        break;
                    case Signal::SysStatus:
                        value = round % 3;
                        break;
                    case Signal::LifeCounter:
                        value = round;
                        break;
                    case Signal::RtcYear:
                        value = 2024;
                        break;
                    default:
                        if (definition.kind == SignalKind::Real)
                            value = definition.index >= Signal::Volt1 ? 3.3 + wobble / 1000
                                                                      : 10.0 + wobble;
                        else
                            value = definition.offset
                                + (int(wobble) & ((1 << qMin(definition.length, 8)) - 1));
                        break;
                    }
                    values.insert(definition.index, value);
                }
                frames.append(
                    { ulong(FrameKey::identifier(key, quint8(devId))), store.encode(key, values) });
            }
        }
    }
    return frames;
}

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
