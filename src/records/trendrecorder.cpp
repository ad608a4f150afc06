#include "trendrecorder.h"

#include "records/systemtrendclock.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QTimer>

namespace {

const SystemTrendClock SystemClock;

} // namespace

TrendRecorder::TrendRecorder(
    const AbstractSignalValue *store, const TrendClock *clock, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_clock(clock ? clock : &SystemClock)
    , m_originMs(m_clock->wallMs() - m_clock->monotonicMs())
{
    m_timer = new QTimer(this);
    m_timer->setInterval(SampleIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &TrendRecorder::sampleNow);
}

TrendRecorder::~TrendRecorder() = default;

const TrendSeries *TrendRecorder::series(int devId) const
{
    if (devId < 0 || devId >= int(m_series.size()))
        return nullptr;
    return &m_series[size_t(devId)];
}

bool TrendRecorder::isRunning() const
{
    return m_timer->isActive();
}

qint64 TrendRecorder::nowMs() const
{
    return m_clock->monotonicMs() + m_originMs;
}

qint64 TrendRecorder::wallMs(qint64 trendMs) const
{
    const qint64 driftMs = m_clock->wallMs() - nowMs();
    return trendMs + qRound64(double(driftMs) / 1000) * 1000;
}

void TrendRecorder::start()
{
    if (!m_timer->isActive())
        m_timer->start();
}

void TrendRecorder::stop()
{
    m_timer->stop();
    for (TrendSeries &series : m_series)
        series.markGap();
}

void TrendRecorder::sampleNow()
{
    sample(nowMs());
}

void TrendRecorder::sample(qint64 trendMs)
{
    for (int devId = 0; devId < int(m_series.size()); ++devId) {
        TrendSeries &series = m_series[size_t(devId)];
        if (m_store->value(devId, Signal::SysStatus).toUInt() != SignalValues::OfflineStatus)
            series.append(trendMs, TrendChannel::read(*m_store, devId));
        else
            series.markGap();
        series.forgetBefore(trendMs - TrendSeries::SpanMs);
    }
}
