#include "burstsource.h"

#include "busfaults.h"

#include <QTimer>

namespace {

constexpr int TickMs = 1;

} // namespace

BurstSource::BurstSource(const BusFaults &faults, int bitRate, const QElapsedTimer &sinceStart,
    Send send, QObject *parent)
    : QObject(parent)
    , m_faults(faults)
    , m_sinceStart(sinceStart)
    , m_send(std::move(send))
    , m_framesPerSecond(faults.burstFactor * bitRate / FrameBits)
    , m_timer(new QTimer(this))
{
    if (faults.burstFactor <= 0.0)
        return;
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(TickMs);
    connect(m_timer, &QTimer::timeout, this, &BurstSource::OnTick);
    m_timer->start();
}

void BurstSource::remember(quint32 id, const QByteArray &data)
{
    if (m_faults.burstFactor <= 0.0)
        return;
    if (!m_latest.contains(id))
        m_ids.append(id);
    m_latest.insert(id, data);
}

void BurstSource::OnTick()
{
    const qint64 nowNs = m_sinceStart.nsecsElapsed();
    if (!m_faults.bursting(nowNs / 1e9)) {
        if (m_burstStartNs >= 0 && nowNs / 1e9 >= m_faults.burstAfterS + m_faults.burstForS)
            m_timer->stop();
        return;
    }
    if (m_ids.isEmpty())
        return;
    if (m_burstStartNs < 0)
        m_burstStartNs = nowNs;
    const auto due = qint64(double(nowNs - m_burstStartNs) / 1e9 * m_framesPerSecond);
    for (; m_sent < due; ++m_sent) {
        m_next = (m_next + 1) % m_ids.size();
        const quint32 id = m_ids.at(m_next);
        m_send(id, m_latest.value(id));
    }
}
