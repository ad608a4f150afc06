#pragma once

#include "records/trendseries.h"
#include "signals/batterybank.h"

#include <QObject>

#include <array>

class AbstractSignalValue;
class QTimer;
class TrendClock;

// Keeps the trend of every battery on the bus, whether a window shows it or not: once a second,
// while running, each battery that is online (its status is not offline) gets one sample of
// every channel, and each battery that is not gets a gap. What lies more than a day back is
// forgotten. Windows read the series; they never sample on their own.
//
// The series are kept on the trend's own time line, the monotonic clock's milliseconds set to
// read as the wall clock did when the recorder was made: samples stay in order and a day is
// forgotten after a day, whatever is done to the PC's clock meanwhile. Labels name a time on that
// line by the wall clock of now (wallMs), so that they follow a clock that was put right.
//
// Runs from the bus opening (start) to its closing (stop); the series stay readable after stop
// and go on when the bus opens again, the time it was closed showing as a gap. Lives in the GUI
// thread beside the store it reads.
class TrendRecorder : public QObject
{
    Q_OBJECT
public:
    static constexpr int SampleIntervalMs = 1000;

    // clock, when given, must outlive the recorder; the PC's clocks otherwise.
    explicit TrendRecorder(const AbstractSignalValue *store, const TrendClock *clock = nullptr,
        QObject *parent = nullptr);
    ~TrendRecorder() override;

    // The trend of a battery; nullptr for a device id outside the bank.
    const TrendSeries *series(int devId) const;
    bool isRunning() const;

    // Now on the trend's time line.
    qint64 nowMs() const;
    // A time of the trend's time line as the wall clock names it now, in milliseconds since the
    // epoch; the difference is whole seconds, so that the clocks' slow drift does not move labels
    // back and forth.
    qint64 wallMs(qint64 trendMs) const;

public slots:
    void start();
    void stop();
    // One sampling pass now, as the timer does.
    void sampleNow();
    // One sampling pass at the given time of the trend's time line: tests and benchmarks pass
    // their own, to run a day in moments.
    void sample(qint64 trendMs);

private:
    Q_DISABLE_COPY(TrendRecorder)

    const AbstractSignalValue *m_store;
    const TrendClock *m_clock;
    // The trend's time line less the monotonic clock.
    qint64 m_originMs = 0;
    QTimer *m_timer = nullptr;
    std::array<TrendSeries, BatteryBank::DeviceCount> m_series;
};
