// The Trends window's Battery tab over a day of trend: 28 batteries online, battery 0's pack,
// cell and temperature values moving every second, one sampling pass a simulated second through
// TrendRecorder::sample for 24 hours (86,400 passes), then the tab shown offscreen.
//
// Figure: the time of one repaint of the tab as its one-second tick does it (read the points
// of every channel, hand them to the plots and the cell bars) plus painting the whole tab into
// an image, for each time window. Goal: under 16 ms, one frame at 60 Hz.

#include "bustraffic.h"

#include "records/trendrecorder.h"
#include "ui/uitrendbatterytab.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr qint64 Start = 1700000000000;
constexpr int DaySeconds = 24 * 3600;
const QSize TabSize(1480, 880);

struct Day
{
    SignalValues store;
    std::unique_ptr<TrendRecorder> recorder;
    qint64 nowMs = Start;
};

// Every battery online once; then battery 0's trended frames from a changing round each second.
Day &day()
{
    static Day *filled = [] {
        auto *day = new Day;
        const QVector<BusTraffic::Frame> traffic = BusTraffic::busTraffic(day->store);
        const int perRound = BusTraffic::Batteries * day->store.frameKeys().size();
        for (int i = 0; i < perRound; ++i)
            day->store.OnNewCanFrame(traffic.at(i).id, traffic.at(i).payload, 0);
        const QList<quint32> trended = { FrameKey::PackInfo, FrameKey::PackStatus,
            FrameKey::CellVoltExtremes, FrameKey::TempExtremes };
        QVector<QVector<BusTraffic::Frame>> rounds(BusTraffic::Rounds);
        for (int i = 0; i < traffic.size(); ++i) {
            const BusTraffic::Frame &frame = traffic.at(i);
            if ((frame.id & 0xFF) == 0 && trended.contains(quint32(frame.id >> 8)))
                rounds[i / perRound].append(frame);
        }
        day->recorder = std::make_unique<TrendRecorder>(&day->store);
        for (int s = 0; s < DaySeconds; ++s) {
            for (const BusTraffic::Frame &frame : rounds.at(s % BusTraffic::Rounds))
                day->store.OnNewCanFrame(frame.id, frame.payload, 0);
            day->recorder->sample(day->nowMs);
            day->nowMs += 1000;
        }
        return day;
    }();
    return *filled;
}

void repaint(benchmark::State &state, UiTrendBatteryTab::Span span)
{
    Day &data = day();
    UiTrendBatteryTab tab(data.recorder.get(), &data.store);
    tab.resize(TabSize);
    tab.show();
    tab.setSpan(span);
    tab.openBattery(0);
    QImage image(TabSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        tab.refresh(data.nowMs);
        QPainter painter(&image);
        tab.render(&painter);
    }
    qint64 points = 0;
    for (const QVector<TrendPoint> &channel : tab.points())
        points += channel.size();
    state.counters["points"] = double(points);
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const char *const spans[] = { "1min", "10min", "1h", "all" };
    for (int span = UiTrendBatteryTab::LastMinute; span <= UiTrendBatteryTab::Everything; ++span) {
        const std::string name = std::string("repaint/") + spans[span];
        benchmark::RegisterBenchmark(name.c_str(), repaint, UiTrendBatteryTab::Span(span))
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
