#pragma once

#include "records/trendseries.h"
#include "signals/batterybank.h"

#include <QObject>

#include <array>

class AbstractSignalValue;
class QTimer;

// Keeps the trend of every battery on the bus, whether a window shows it or not: once a second,
// while running, each battery that is online (its status is not offline) gets one sample of
// every channel, and each battery that is not gets a gap. What lies more than a day back is
// forgotten. Windows read the series; they never sample on their own.
//
// Runs from the bus opening (start) to its closing (stop); the series stay readable after stop
// and go on when the bus opens again, the time it was closed showing as a gap. Lives in the GUI
// thread beside the store it reads.
class TrendRecorder : public QObject
{
    Q_OBJECT
public:
    static constexpr int SampleIntervalMs = 1000;

    explicit TrendRecorder(const AbstractSignalValue *store, QObject *parent = nullptr);
    ~TrendRecorder() override;

    // The trend of a battery; nullptr for a device id outside the bank.
    const TrendSeries *series(int devId) const;
    bool isRunning() const;

public slots:
    void start();
    void stop();
    // One sampling pass at the given time, milliseconds since the epoch: the timer passes the
    // clock's time, tests and benchmarks their own, to run a day in moments.
    void sample(qint64 msSinceEpoch);

private:
    Q_DISABLE_COPY(TrendRecorder)

    const AbstractSignalValue *m_store;
    QTimer *m_timer = nullptr;
    std::array<TrendSeries, BatteryBank::DeviceCount> m_series;
};
