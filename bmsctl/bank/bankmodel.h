#pragma once

#include "bank/lifewatch.h"

#include <QList>

class BusMonitor;
class SignalValues;

// The bank as the gateways (mqtt, exporter) see it: which batteries it has, whether each is
// online, and the figures derived from what the signal store holds about them.
//
// A battery belongs to the bank once it has sent one of the catalogue's broadcast frames: other
// frames whose identifier's low byte looks like a device number (an upgrade's frames, which carry
// no battery number at all, or a reply) never make one. Only the batteries of ids count, when it
// names any.
class BankModel
{
public:
    BankModel(const SignalValues &store, const BusMonitor &monitor, const QList<int> &ids);

    // In ascending order.
    QList<int> batteries() const;

    // Looks at every battery's life counter; a few times a second, on a monotonic clock.
    void checkLives(qint64 nowMs);
    LifeWatch::Verdict verdict(int devId) const { return m_lives.verdict(devId, m_nowMs); }
    bool isOnline(int devId) const { return verdict(devId) == LifeWatch::Verdict::Online; }

    const SignalValues &store() const { return m_store; }

private:
    const SignalValues &m_store;
    const BusMonitor &m_monitor;
    QList<int> m_ids;
    LifeWatch m_lives;
    qint64 m_nowMs = 0;
};
