#pragma once

#include "records/historyrecordcodec.h"
#include "records/historyrecordtext.h"

#include <QByteArray>
#include <QStringList>

// History event records for the tests, and what the model makes of them.
namespace HistoryRecords {

// A record of battery devId with a value in every field (sampleCells() shows it); `variant`
// moves the date and the cell voltages so that records differ.
inline QByteArray sample(int devId, int variant = 0)
{
    HistoryRecord record = *HistoryRecordCodec::decode(QByteArray::fromHex(
        "18 03 0f 0e 05 09 00 00 02 14 75 ad 22 3d 03 6c 03 d9 00 17 0d 11 07 0c fa 0c"
        "0c fb 0c fc 0c fd 0c fe 0c ff 0d 00 0d 01 0d 02 0d 03 0d 04 0d 05 0d 06 0d 07 0d 08"
        "0d 09 0d 0a 41 03 3d 08 3d 3e 3f 40 41 42 43 44 01 01 00 02 33 02 00 00"));
    record.devId = quint8(devId);
    record.day = quint8(record.day + variant % 10);
    for (quint16 &voltage : record.cellVoltages)
        voltage = quint16(voltage + variant);
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
    cells += { "25", "3", "21", "8" };
    for (int n = 1; n <= 8; ++n)
        cells << QString::number(20 + n);
    cells += { "On", "On", "Off", "Off", "Cell Over Voltage Protect", "2" };
    return cells;
}

} // namespace HistoryRecords
