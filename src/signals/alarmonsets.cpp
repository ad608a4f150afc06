#include "alarmonsets.h"

#include "signals/abstractsignalvalue.h"
#include "signals/alarmset.h"

void AlarmOnsets::update(const AbstractSignalValue &store, const QList<uchar> &heard, qint64 nowMs)
{
    for (uchar devId : heard) {
        for (const AlarmSet::Alarm &alarm : AlarmSet::Alarms) {
            const int value = store.value(devId, alarm.signal).toInt();
            const bool active = alarm.kind == AlarmSet::Level
                ? value == AlarmSet::AlarmLevel || value == AlarmSet::ProtectionLevel
                : value == AlarmSet::FlagActive;
            const int at = key(devId, alarm.signal);
            if (!active) {
                m_spells.remove(at);
                continue;
            }
            const auto spell = m_spells.constFind(at);
            if (spell == m_spells.cend() || spell->value != value)
                m_spells.insert(at, { value, nowMs });
        }
    }
}

qint64 AlarmOnsets::since(int devId, int signal) const
{
    const auto spell = m_spells.constFind(key(devId, signal));
    return spell == m_spells.cend() ? 0 : spell->sinceMs;
}
