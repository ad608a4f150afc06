#include "alarmwatch.h"

#include "signals/abstractsignalvalue.h"
#include "signals/alarmset.h"
#include "signals/signalindex.h"

#include <QCoreApplication>

namespace {

// Where a condition concerns one cell or sensor: the store's extreme that names it.
struct Subject
{
    const char *kind;
    int numberSignal;
    int valueSignal;
    const char *unit;
};

const QHash<int, Subject> &subjects()
{
    static const Subject highestCell { "cell", Signal::MaxCellVNo, Signal::MaxCellV, "V" };
    static const Subject lowestCell { "cell", Signal::MinCellVNo, Signal::MinCellV, "V" };
    static const Subject hottest { "sensor", Signal::MaxCellTNo, Signal::MaxCellT, "°C" };
    static const Subject coldest { "sensor", Signal::MinCellTNo, Signal::MinCellT, "°C" };
    static const QHash<int, Subject> subjects {
        { Signal::CellOverVolt, highestCell },
        { Signal::AfeOv, highestCell },
        { Signal::CellUnderVolt, lowestCell },
        { Signal::AfeUv, lowestCell },
        { Signal::ChargeHiTemp, hottest },
        { Signal::DischargeHiTemp, hottest },
        { Signal::ChargeLoTemp, coldest },
        { Signal::DischargeLoTemp, coldest },
    };
    return subjects;
}

int stateOf(const AbstractSignalValue &store, int devId, const AlarmSet::Alarm &alarm)
{
    const int value = store.value(devId, alarm.signal).toInt();
    if (alarm.kind == AlarmSet::Flag)
        return value == AlarmSet::FlagActive ? AlarmSet::ProtectionLevel : 0;
    return value == AlarmSet::AlarmLevel || value == AlarmSet::ProtectionLevel ? value : 0;
}

} // namespace

QList<AlarmWatch::Event> AlarmWatch::look(
    const AbstractSignalValue &store, const QList<int> &batteries)
{
    QList<Event> events;
    for (int devId : batteries) {
        QHash<int, int> &states = m_states[devId];
        for (const AlarmSet::Alarm &alarm : AlarmSet::Alarms) {
            const int state = stateOf(store, devId, alarm);
            const int was = states.value(alarm.signal);
            if (state == was)
                continue;
            states.insert(alarm.signal, state);
            Event event;
            event.battery = devId;
            event.name = QCoreApplication::translate(AlarmSet::NameContext, alarm.name);
            const auto it = subjects().constFind(alarm.signal);
            if (it != subjects().cend()) {
                event.subject = QString::fromLatin1(it->kind);
                event.number = store.value(devId, it->numberSignal).toInt();
                event.value = double(store.value(devId, it->valueSignal).toFloat());
                event.unit = QString::fromUtf8(it->unit);
            }
            if (was != 0) {
                event.protection = was == AlarmSet::ProtectionLevel;
                event.active = false;
                events.append(event);
            }
            if (state != 0) {
                event.protection = state == AlarmSet::ProtectionLevel;
                event.active = true;
                events.append(event);
            }
        }
    }
    return events;
}
