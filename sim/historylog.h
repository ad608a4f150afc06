#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QRandomGenerator>

class PackModel;

// The battery's log of history events: a 78-byte snapshot of the pack for every alarm or
// protection it raised, sealed with a CRC-16/MODBUS (low byte first in the last two bytes).
//
//   0-5   year-2000, month, day, hour, minute, second    26-57  cells 1-16, mV
//   6     unused                                           58-61  max T+40, sensor, min T+40, sensor
//   7     the battery's device number                      62-69  sensors 1-8, T+40
//   8-9   pack voltage, 0.1 V                              70-73  pre-charge, charge, discharge,
//   10-11 current, 0.1 A + 3000 A                                 positive relay (1 on)
//   12-13 remaining capacity, 0.01 Ah                      74     fault id
//   14-17 SOC, SOH, 0.1 %                                  75     alarm level
//   18-25 cell difference, max cell, its number,           76-77  CRC-16/MODBUS of bytes 0-75
//         min cell, its number (mV)
// Multi-byte fields are big-endian.
class HistoryLog
{
public:
    static constexpr int RecordSize = 78;
    static constexpr int DevIdAt = 7;

    // A log of plausible past events: count of them, or 20 to 60 when count is negative.
    HistoryLog(quint8 devId, quint32 seed, int count = -1);

    int count() const { return int(m_records.size()); }
    const QByteArray &record(int i) const { return m_records.at(i); }
    void clear() { m_records.clear(); }
    // The battery changed its device number: its records say so from now on.
    void setDevId(quint8 devId);

    // Logs an event with the pack as it is now.
    void append(const QDateTime &time, const PackModel &pack, quint8 faultId, quint8 level);

    // Fault ids of the twelve threshold groups: alarm is 1 + group, protection 51 + group.
    static quint8 faultId(int group, int level) { return quint8((level >= 2 ? 51 : 1) + group); }
    // Writes the CRC of bytes 0-75 into bytes 76 and 77.
    static void seal(QByteArray &record);

private:
    QByteArray makeRecord(
        const QDateTime &time, const PackModel &pack, quint8 faultId, quint8 level) const;

    quint8 m_devId;
    QList<QByteArray> m_records;
};
