// One battery's trend fed a sample a second for a day or two (the bound on its memory, what the
// thinning keeps, order and gaps), and the recorder on a signal store of the test's own, fed with
// broadcast frames as the adapter would feed it.

#include "records/trendclock.h"
#include "records/trendrecorder.h"
#include "signals/framekey.h"
#include "signals/signalvalues.h"

#include <QElapsedTimer>
#include <QtTest>

#include <limits>

namespace {

constexpr qint64 Second = 1000;
constexpr qint64 Hour = 3600 * Second;
// Twenty seconds past a full minute, so that samples and the coarser buckets do not line up.
constexpr qint64 Start = 1700000000000;
constexpr qint64 Ever = std::numeric_limits<qint64>::max();
constexpr uchar Online = 3, Offline = 5, PackOnly = 7;

// A sample a second in [fromMs, toMs): 3.3 everywhere, but for one cell voltage spike and dip.
void feed(TrendSeries &series, qint64 fromMs, qint64 toMs, qint64 spikeAt = -1)
{
    for (qint64 t = fromMs; t < toMs; t += Second) {
        TrendChannel::Values values;
        values.fill(3.3f);
        if (t == spikeAt) {
            values[TrendChannel::MaxCellVoltage] = 3.9f;
            values[TrendChannel::MinCellVoltage] = 2.1f;
        }
        series.append(t, values);
    }
}

bool covers(const TrendPoint &point, qint64 ms)
{
    return point.startMs <= ms && ms < point.startMs + point.widthMs;
}

QHash<int, double> pack(uint status)
{
    return { { Signal::SumVolt, 52.3 }, { Signal::Curr, -23.4 }, { Signal::SOC, 67.8 },
        { Signal::SysStatus, status } };
}

// The PC's clocks, moved by the test: both a second a tick, and the wall clock set at will.
class MovedClock : public TrendClock
{
public:
    qint64 monotonicMs() const override { return m_monotonicMs; }
    qint64 wallMs() const override { return m_wallMs; }
    void tick()
    {
        m_monotonicMs += Second;
        m_wallMs += Second;
    }
    void setWall(qint64 ms) { m_wallMs = ms; }

private:
    qint64 m_monotonicMs = 7 * Second;
    qint64 m_wallMs = Start;
};

} // namespace

Q_DECLARE_METATYPE(TrendChannel::Id)

class TestTrends : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void boundOrderAndSpikes_data();
    void boundOrderAndSpikes();
    void gapsKept_data();
    void gapsKept();
    void samplesOnlineBatteriesOnly_data();
    void samplesOnlineBatteriesOnly();
    void offlineAndClosedBusAreGaps();
    void timerSamplesOnceASecond();
    void wallClockSetKeepsOrderAndAge_data();
    void wallClockSetKeepsOrderAndAge();

private:
    void send(uchar devId, quint32 frameKey, const QHash<int, double> &values)
    {
        m_store->OnNewCanFrame(
            FrameKey::identifier(frameKey, devId), m_store->encode(frameKey, values), 0);
    }
    void passes(int count, qint64 fromMs)
    {
        for (int i = 0; i < count; ++i)
            m_recorder->sample(fromMs + i * Second);
    }

    std::unique_ptr<SignalValues> m_store;
    std::unique_ptr<TrendRecorder> m_recorder;
};

void TestTrends::init()
{
    m_recorder.reset();
    m_store.reset(new SignalValues);
    m_recorder.reset(new TrendRecorder(m_store.get()));
    send(Online, FrameKey::PackStatus, pack(1));
    send(Online, FrameKey::CellVoltExtremes,
        { { Signal::MaxCellV, 3.291 }, { Signal::MinCellV, 3.262 } });
    send(Online, FrameKey::TempExtremes, { { Signal::MaxCellT, 31 }, { Signal::MinCellT, -5 } });
    send(Offline, FrameKey::PackStatus, pack(SignalValues::OfflineStatus));
    send(PackOnly, FrameKey::PackStatus, pack(2));
}

void TestTrends::boundOrderAndSpikes_data()
{
    QTest::addColumn<int>("hours");
    QTest::addColumn<bool>("spikeKept");
    QTest::newRow("a day: the spike at hour 2 kept") << 24 << true;
    QTest::newRow("two days: the first day forgotten") << 48 << false;
}

void TestTrends::boundOrderAndSpikes()
{
    QFETCH(int, hours);
    QFETCH(bool, spikeKept);
    TrendSeries series;
    const qint64 end = Start + hours * Hour;
    const qint64 spikeAt = Start + 2 * Hour + 17 * Second;
    feed(series, Start, end, spikeAt);

    QCOMPARE(series.storageBytes(), TrendSeries::capacityBytes());
    const QVector<TrendPoint> highs = series.points(TrendChannel::MaxCellVoltage, 0, end);
    const QVector<TrendPoint> lows = series.points(TrendChannel::MinCellVoltage, 0, end);
    // A day back, give or take the first, partly filled minute.
    QVERIFY(qAbs(highs.first().startMs - (end - TrendSeries::SpanMs)) <= 60 * Second);
    QCOMPARE(highs.last().startMs, end - Second);
    int spikes = 0;
    for (int i = 0; i < highs.size(); ++i) {
        QVERIFY(i == 0 || highs.at(i).startMs >= highs.at(i - 1).startMs + highs.at(i - 1).widthMs);
        QVERIFY(i == 0 || !highs.at(i).gapBefore);
        spikes += int(highs.at(i).max == 3.9f && covers(highs.at(i), spikeAt))
            + int(lows.at(i).min == 2.1f && covers(lows.at(i), spikeAt));
    }
    QCOMPARE(spikes, spikeKept ? 2 : 0);
}

void TestTrends::gapsKept_data()
{
    QTest::addColumn<int>("ageHours");
    QTest::newRow("in the 1 s samples") << 0;
    QTest::newRow("in the 10 s buckets") << 3;
    QTest::newRow("in the 60 s buckets") << 12;
}

void TestTrends::gapsKept()
{
    QFETCH(int, ageHours);
    TrendSeries series;
    const qint64 lastBefore = Start + Hour;
    const qint64 resume = lastBefore + 5 * 60 * Second;
    feed(series, Start, lastBefore + Second);
    series.markGap();
    // A clock set back meanwhile: that sample is dropped, the order kept.
    series.append(lastBefore - 10 * Second, {});
    feed(series, resume, resume + ageHours * Hour + Hour / 2);

    const QVector<TrendPoint> points = series.points(TrendChannel::PackVoltage, 0, Ever);
    QList<int> gaps;
    for (int i = 1; i < points.size(); ++i) {
        QVERIFY(points.at(i).mean == 3.3f);
        if (points.at(i).gapBefore)
            gaps.append(i);
    }
    QCOMPARE(gaps.size(), 1);
    QVERIFY(covers(points.at(gaps.first()), resume));
    QVERIFY(covers(points.at(gaps.first() - 1), lastBefore));
}

void TestTrends::samplesOnlineBatteriesOnly_data()
{
    QTest::addColumn<TrendChannel::Id>("channel");
    QTest::addColumn<float>("value");
    QTest::addColumn<bool>("sentByPackOnly");
    QTest::newRow("pack voltage") << TrendChannel::PackVoltage << 52.3f << true;
    QTest::newRow("current") << TrendChannel::Current << -23.4f << true;
    QTest::newRow("state of charge") << TrendChannel::StateOfCharge << 67.8f << true;
    QTest::newRow("highest cell") << TrendChannel::MaxCellVoltage << 3.291f << false;
    QTest::newRow("lowest cell") << TrendChannel::MinCellVoltage << 3.262f << false;
    QTest::newRow("cell spread") << TrendChannel::CellVoltageSpread << 0.029f << false;
    QTest::newRow("highest temperature") << TrendChannel::MaxCellTemperature << 31.f << false;
    QTest::newRow("lowest temperature, below 0")
        << TrendChannel::MinCellTemperature << -5.f << false;
}

void TestTrends::samplesOnlineBatteriesOnly()
{
    QFETCH(TrendChannel::Id, channel);
    QFETCH(float, value);
    QFETCH(bool, sentByPackOnly);
    passes(10, Start);

    const QVector<TrendPoint> online = m_recorder->series(Online)->points(channel, 0, Ever);
    QCOMPARE(online.size(), 10);
    for (int i = 0; i < online.size(); ++i) {
        QCOMPARE(online.at(i).startMs, Start + i * Second);
        QVERIFY(qAbs(online.at(i).mean - value) < 1e-4f);
    }
    QVERIFY(m_recorder->series(Offline)->isEmpty());
    // A signal the battery never sent is no value, not a zero.
    QCOMPARE(
        m_recorder->series(PackOnly)->points(channel, 0, Ever).size(), sentByPackOnly ? 10 : 0);
    QCOMPARE(m_recorder->series(BatteryBank::DeviceCount), nullptr);
}

void TestTrends::offlineAndClosedBusAreGaps()
{
    passes(5, Start);
    m_store->OnCanDeviceClose();
    passes(3, Start + 5 * Second);
    send(Online, FrameKey::PackStatus, pack(1));
    passes(5, Start + 8 * Second);
    m_recorder->stop();
    passes(5, Start + 20 * Second);

    QList<qint64> resumed;
    for (const TrendPoint &point :
        m_recorder->series(Online)->points(TrendChannel::Current, 0, Ever)) {
        if (point.gapBefore)
            resumed.append(point.startMs);
    }
    QCOMPARE(resumed, QList<qint64>({ Start + 8 * Second, Start + 20 * Second }));

    // A day after the last sample, with the battery gone, all of it is forgotten.
    m_store->OnCanDeviceClose();
    m_recorder->sample(Start + 24 * Second + TrendSeries::SpanMs);
    QCOMPARE(m_recorder->series(Online)->points(TrendChannel::Current, 0, Ever).size(), 1);
    m_recorder->sample(Start + 25 * Second + TrendSeries::SpanMs);
    QVERIFY(m_recorder->series(Online)->isEmpty());
}

void TestTrends::timerSamplesOnceASecond()
{
    QElapsedTimer clock;
    clock.start();
    m_recorder->start();
    QTRY_COMPARE_WITH_TIMEOUT(
        m_recorder->series(Online)->points(TrendChannel::StateOfCharge, 0, Ever).size(), 2, 5000);
    QVERIFY(clock.elapsed() >= 2 * TrendRecorder::SampleIntervalMs - 200);
    QVERIFY(m_recorder->isRunning());
}

void TestTrends::wallClockSetKeepsOrderAndAge_data()
{
    QTest::addColumn<qint64>("setByMs");
    QTest::newRow("set back an hour drops no sample") << -Hour;
    QTest::newRow("set a day forward forgets nothing") << 24 * Hour;
    QTest::newRow("set back a day") << -24 * Hour;
}

void TestTrends::wallClockSetKeepsOrderAndAge()
{
    QFETCH(qint64, setByMs);
    MovedClock clock;
    TrendRecorder recorder(m_store.get(), &clock);
    for (int i = 0; i < 10; ++i) {
        if (i == 5)
            clock.setWall(clock.wallMs() + setByMs);
        clock.tick();
        recorder.sampleNow();
    }

    const QVector<TrendPoint> points
        = recorder.series(Online)->points(TrendChannel::PackVoltage, 0, Ever);
    QCOMPARE(points.size(), 10);
    for (int i = 1; i < points.size(); ++i) {
        QCOMPARE(points.at(i).startMs, points.at(i - 1).startMs + Second);
        QVERIFY(!points.at(i).gapBefore);
    }
    // Named by the clock as it reads now.
    QCOMPARE(recorder.wallMs(points.last().startMs), clock.wallMs());
    QCOMPARE(recorder.wallMs(points.first().startMs), clock.wallMs() - 9 * Second);
}

QTEST_GUILESS_MAIN(TestTrends)
#include "tst_trends.moc"
