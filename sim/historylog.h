#pragma once

#include "records/historyrecord.h"

#include <QDateTime>
#include <QList>

class PackModel;

// The battery's log of history events: a snapshot of the pack for every alarm or protection it
// raised, sent as the 78-byte records of HistoryRecordCodec.
class HistoryLog
{
public:
    // A log of plausible past events: count of them, or 20 to 60 when count is negative.
    HistoryLog(quint8 devId, quint32 seed, int count = -1);

    int count() const { return int(m_records.size()); }
    const HistoryRecord &record(int i) const { return m_records.at(i); }
    void clear() { m_records.clear(); }
    // The battery changed its device number: its records say so from now on.
    void setDevId(quint8 devId);

    // Logs an event with the pack as it is now.
    void append(const QDateTime &time, const PackModel &pack, quint8 faultId, quint8 level);

    // Fault ids of the twelve threshold groups: alarm is 1 + group, protection 51 + group.
    static quint8 faultId(int group, int level) { return quint8((level >= 2 ? 51 : 1) + group); }

private:
    HistoryRecord makeRecord(
        const QDateTime &time, const PackModel &pack, quint8 faultId, quint8 level) const;

    quint8 m_devId;
    QList<HistoryRecord> m_records;
};
