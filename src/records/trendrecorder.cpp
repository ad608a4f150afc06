#include "trendrecorder.h"

#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QDateTime>
#include <QTimer>

TrendRecorder::TrendRecorder(const AbstractSignalValue *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    m_timer = new QTimer(this);
    m_timer->setInterval(SampleIntervalMs);
    connect(
        m_timer, &QTimer::timeout, this, [this] { sample(QDateTime::currentMSecsSinceEpoch()); });
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

void TrendRecorder::sample(qint64 msSinceEpoch)
{
    for (int devId = 0; devId < int(m_series.size()); ++devId) {
        TrendSeries &series = m_series[size_t(devId)];
        if (m_store->value(devId, Signal::SysStatus).toUInt() != SignalValues::OfflineStatus)
            series.append(msSinceEpoch, TrendChannel::read(*m_store, devId));
        else
            series.markGap();
        series.forgetBefore(msSinceEpoch - TrendSeries::SpanMs);
    }
}
