#pragma once

#include "historyrecord.h"

#include <QByteArray>

#include <optional>

// The history record as the battery keeps and sends it (the CAN service puts it together from
// twelve transfer frames): 78 bytes, multi-byte fields big-endian and unsigned, each one a field
// of HistoryRecord:
//
//     0 year         1 month        2 day          3 hour         4 minute       5 second
//     6 spare        7 devId
//     8-9   packVoltage      10-11 current          12-13 remainingCapacity
//     14-15 soc              16-17 soh              18-19 cellDifference
//     20-21 maxCellVoltage   22    maxCellNo        23-24 minCellVoltage   25 minCellNo
//     26-57 cellVoltages 1 .. 16
//     58 maxTemperature   59 maxTemperatureNo   60 minTemperature   61 minTemperatureNo
//     62-69 temperatures 1 .. 8
//     70-73 relays: pre-charge, charge, discharge, positive
//     74 faultId      75 alarmLevel
//     76-77 CRC-16/MODBUS of bytes 0-75, low byte first
//
// The program reads records with it, the simulator writes them with it, and the tests make
// theirs with it.
class HistoryRecordCodec
{
public:
    static constexpr int Size = 78;

    // The record's 78 bytes, its check sum in the last two.
    static QByteArray encode(const HistoryRecord &record);
    // The fields of the first Size bytes, whatever their check sum; nothing when there are
    // fewer.
    static std::optional<HistoryRecord> decode(const QByteArray &bytes);

    // The check sum stored in the last two bytes of bytes, and the one computed over all the
    // bytes before them; bytes of any length from 2 on.
    static quint16 storedChecksum(const QByteArray &bytes);
    static quint16 computedChecksum(const QByteArray &bytes);
    static bool hasValidChecksum(const QByteArray &bytes);
    // Writes the check sum of all but the last two bytes into them.
    static void seal(QByteArray &bytes);
    // The number of the battery that logged the record, also of one cut short after byte 7.
    static quint8 devIdOf(const QByteArray &bytes);
};
