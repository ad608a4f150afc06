#include "bankstate.h"

#include "signals/alarmset.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <algorithm>

BankState::Condition BankState::condition(const AbstractSignalValue &store, int devId)
{
    static const QList<int> levels = AlarmSet::levelSignals();
    static const QList<int> flags = AlarmSet::flagSignals();
    if (store.value(devId, Signal::SysStatus).toUInt() == SignalValues::OfflineStatus)
        return Offline;
    if (AlarmSet::protectionCount(store, devId, levels, flags) > 0)
        return Protection;
    if (AlarmSet::alarmCount(store, devId, levels) > 0)
        return Alarm;
    return Normal;
}

BankState BankState::read(const AbstractSignalValue &store, const QList<uchar> &heard)
{
    QList<uchar> sorted = heard;
    std::sort(sorted.begin(), sorted.end());
    BankState state;
    for (uchar devId : qAsConst(sorted)) {
        switch (condition(store, devId)) {
        case Protection:
            state.m_protection.append(devId);
            break;
        case Alarm:
            state.m_alarm.append(devId);
            break;
        case Offline:
            state.m_offline.append(devId);
            break;
        case Normal:
            break;
        }
    }
    return state;
}

bool BankState::isWell() const
{
    return m_protection.isEmpty() && m_alarm.isEmpty() && m_offline.isEmpty();
}
