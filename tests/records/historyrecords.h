#pragma once

#include "records/historyrecordcodec.h"
#include "records/historyrecordtext.h"

#include <QByteArray>
#include <QStringList>

// History event records for the tests, and what the model makes of them.
namespace HistoryRecords {

// A record of battery devId with a value in every field; `variant` moves the date and the
// cell voltages so that records differ.
inline QByteArray sample(int devId, int variant = 0)
{
    HistoryRecord record;
    record.year = 24;
    record.month = 3;
    record.day = quint8(15 + variant % 10);
    record.hour = 14;
    record.minute = 5;
    record.second = 9;
    record.devId = quint8(devId);
    record.packVoltage = 532; // 53.2 V
    record.current = 30125; // 12.5 A
    record.remainingCapacity = 8765; // 87.65 Ah
    record.soc = 876; // 87.6 %
    record.soh = 985; // 98.5 %
    record.cellDifference = 23; // 0.023 V
    record.maxCellVoltage = 3345;
    record.maxCellNo = 7;
    record.minCellVoltage = 3322;
    record.minCellNo = 12;
    for (int n = 1; n <= HistoryRecord::CellCount; ++n)
        record.cellVoltages[size_t(n - 1)] = quint16(3322 + n + variant);
    record.maxTemperature = 65;
    record.maxTemperatureNo = 3;
    record.minTemperature = 61;
    record.minTemperatureNo = 8;
    record.temperatures = { 61, 62, 63, 64, 65, 66, 67, 68 };
    record.relays = { 1, 1, 0, 2 };
    record.faultId = 51;
    record.alarmLevel = 2;
    return HistoryRecordCodec::encode(record);
}

// bytes with their check sum put right.
inline QByteArray sealed(QByteArray bytes)
{
    HistoryRecordCodec::seal(bytes);
    return bytes;
}

// The row the table shows for a record read from battery slaveNo; empty for one cut short.
inline QStringList rowOf(const QByteArray &bytes, int slaveNo)
{
    const std::optional<HistoryRecord> record = HistoryRecordCodec::decode(bytes);
    return record ? HistoryRecordText::cells(*record, slaveNo) : QStringList();
}

// The 47 cells of sample(devId, 0).
inline QStringList sampleCells(int slaveNo)
{
    QStringList cells = { "2024-3-15", "14:5:9", QString::number(slaveNo), "53.2", "12.5", "87.65",
        "87.6", "98.5", "0.023", "3.345", "7", "3.322", "12" };
    for (int n = 1; n <= 16; ++n)
        cells << QString::number((3322 + n) / 1000.0, 'f', 3);
    cells << "25"
          << "3"
          << "21"
          << "8";
    for (int n = 1; n <= 8; ++n)
        cells << QString::number(20 + n);
    cells << "On"
          << "On"
          << "Off"
          << "Off"
          << "Cell Over Voltage Protect"
          << "2";
    return cells;
}

} // namespace HistoryRecords
