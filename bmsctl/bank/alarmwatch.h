#pragma once

#include <QHash>
#include <QList>
#include <QString>

class AbstractSignalValue;

// What became of each battery's protections and alarms (AlarmSet) since it was last looked at:
// one event for every one that became active or cleared, with, where the condition concerns a
// cell or a temperature sensor, which one and its value at that moment (the highest cell for an
// over-voltage, the coldest sensor for a low temperature). A battery looked at for the first time
// tells the conditions active then. A level that goes from alarm to protection is an alarm that
// clears and a protection that becomes active.
class AlarmWatch
{
public:
    struct Event
    {
        int battery = 0;
        bool protection = false; // else an alarm
        QString name; // as the window names it
        bool active = false;
        QString subject; // "cell", "sensor" or empty
        int number = 0; // of the cell or sensor
        double value = 0;
        QString unit; // of value: "V" or "°C"
    };

    // The batteries to look at are those online: the store keeps an offline one's last values.
    QList<Event> look(const AbstractSignalValue &store, const QList<int> &batteries);

private:
    // Per battery, per alarm signal: 0 none, else AlarmSet's level (flags count as protections).
    QHash<int, QHash<int, int>> m_states;
};
