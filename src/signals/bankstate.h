#pragma once

#include <QList>

class AbstractSignalValue;

// Which batteries of the bank need a look, whatever battery a page shows: those in protection,
// in alarm, and those offline. A battery is in one condition only, the one that matters most: an
// offline battery's fault values are the last it sent, not live, so it counts as offline only;
// one in protection and in alarm counts as in protection. The counts are those of the alarm set
// (AlarmSet), as the top bar's counters take them.
//
// The top bar's bank line and battery selector and the Trends window's Bank tab all ask here.
class BankState
{
public:
    enum Condition { Normal, Alarm, Protection, Offline };

    static Condition condition(const AbstractSignalValue &store, int devId);
    // The batteries heard, as the store holds them now.
    static BankState read(const AbstractSignalValue &store, const QList<uchar> &heard);

    // Device ids in ascending order.
    const QList<int> &protection() const { return m_protection; }
    const QList<int> &alarm() const { return m_alarm; }
    const QList<int> &offline() const { return m_offline; }
    // No battery in protection, in alarm or offline.
    bool isWell() const;

private:
    QList<int> m_protection;
    QList<int> m_alarm;
    QList<int> m_offline;
};
