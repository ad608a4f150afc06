#include "bankmodel.h"

#include "bus/busmonitor.h"

#include "signals/signalindex.h"
#include "signals/signalvalues.h"

BankModel::BankModel(const SignalValues &store, const BusMonitor &monitor, const QList<int> &ids)
    : m_store(store)
    , m_monitor(monitor)
    , m_ids(ids)
{ }

QList<int> BankModel::batteries() const
{
    QList<int> batteries;
    for (int devId : m_monitor.devices()) {
        if (!m_monitor.traffic(devId).frameKinds.isEmpty()
            && (m_ids.isEmpty() || m_ids.contains(devId)))
            batteries.append(devId);
    }
    return batteries;
}

void BankModel::checkLives(qint64 nowMs)
{
    m_nowMs = nowMs;
    for (int devId : batteries())
        m_lives.observe(devId, m_store.value(devId, Signal::LifeCounter), nowMs);
}
