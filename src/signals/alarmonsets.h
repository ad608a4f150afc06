#pragma once

#include <QHash>
#include <QList>

class AbstractSignalValue;

// When each condition of the alarm set (AlarmSet) became active on each battery, as far as the
// program has watched: update() looks at every battery heard, and a condition that appears,
// or changes its level, starts a new spell at that time; one that clears is forgotten. Whoever
// polls the bank once a second (the top bar) keeps it; the active-event dialog reads it.
class AlarmOnsets
{
public:
    void update(const AbstractSignalValue &store, const QList<uchar> &heard, qint64 nowMs);
    // Milliseconds since the epoch at which the condition's present spell was first seen; 0
    // when it is not active or was never looked at.
    qint64 since(int devId, int signal) const;

private:
    struct Spell
    {
        int value;
        qint64 sinceMs;
    };
    static int key(int devId, int signal) { return devId * 256 + signal; }

    QHash<int, Spell> m_spells;
};
