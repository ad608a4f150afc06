#include "clocksyncscheduler.h"

#include <QTimer>

#include <utility>

ClockSyncScheduler::ClockSyncScheduler(SetClock setClock, QObject *parent)
    : QObject(parent)
    , m_setClock(std::move(setClock))
    , m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("rtcSyncTimer"));
    m_timer->setInterval(IntervalMs);
    connect(m_timer, &QTimer::timeout, this, &ClockSyncScheduler::runPass);
}

void ClockSyncScheduler::add(quint8 devId)
{
    if (!m_pending.contains(devId))
        m_pending.append(devId);
    if (!m_timer->isActive())
        m_timer->start();
}

void ClockSyncScheduler::runPass()
{
    if (m_passRunning)
        return;
    m_passRunning = true;
    const QList<quint8> pass = m_pending;
    for (quint8 devId : pass) {
        if (m_pending.contains(devId) && m_setClock(devId))
            m_pending.removeAll(devId);
    }
    m_passRunning = false;
    if (m_pending.isEmpty())
        m_timer->stop();
}
