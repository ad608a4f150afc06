#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QTimer;

// Sets the clock of every battery that comes (back) online to the PC's time: the batteries wait
// in a set, in the order they came, and a timer named "rtcSyncTimer" runs a pass over them every
// IntervalMs while any waits. A battery leaves the set once it has answered; a silent one is
// tried again on the next pass. GUI thread only.
//
// Each attempt waits for the battery's reply, and batteries keep coming online meanwhile: add()
// runs inside the waits. A pass therefore walks the set as it was when the pass began; newcomers
// are left to the next pass, which the timer still running guarantees. A tick that comes during
// a pass's wait starts no second pass.
class ClockSyncScheduler : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 1000;

    // Sets battery devId's clock to the PC's time; true when the battery answered.
    using SetClock = std::function<bool(quint8 devId)>;

    explicit ClockSyncScheduler(SetClock setClock, QObject *parent = nullptr);

    // Queues the battery, once, and starts the timer.
    void add(quint8 devId);
    bool isPending(quint8 devId) const { return m_pending.contains(devId); }
    // One pass over the batteries waiting; the timer stops once none is left.
    void runPass();

private:
    SetClock m_setClock;
    QList<quint8> m_pending;
    QTimer *m_timer = nullptr;
    bool m_passRunning = false;
};
