#pragma once

#include "can/crc16.h"

#include <QByteArray>
#include <QStringList>
#include <QtEndian>

// History event records for the tests, and what the model makes of them.
namespace HistoryRecords {

constexpr int Size = 78;

// Puts the CRC-16/MODBUS of bytes 0..75 into bytes 76 and 77, low byte first.
inline QByteArray sealed(QByteArray record)
{
    const quint16 crc = Crc16::modbus(record.constData(), record.size() - 2);
    record[record.size() - 2] = char(crc & 0xFF);
    record[record.size() - 1] = char(crc >> 8);
    return record;
}

inline void putWord(QByteArray &record, int offset, quint16 value)
{
    qToBigEndian(value, record.data() + offset);
}

// A record of battery devId with a value in every field; `variant` moves the date and the
// cell voltages so that records differ.
inline QByteArray sample(int devId, int variant = 0)
{
    QByteArray record(Size, '\0');
    const char head[] = { 24, 3, char(15 + variant % 10), 14, 5, 9, 0, char(devId) };
    record.replace(0, 8, QByteArray(head, 8));
    putWord(record, 8, 532); // 53.2 V
    putWord(record, 10, 30125); // 12.5 A
    putWord(record, 12, 8765); // 87.65 Ah
    putWord(record, 14, 876); // 87.6 %
    putWord(record, 16, 985); // 98.5 %
    putWord(record, 18, 23); // 0.023 V
    putWord(record, 20, 3345);
    record[22] = 7;
    putWord(record, 23, 3322);
    record[25] = 12;
    for (int n = 1; n <= 16; ++n)
        putWord(record, 26 + 2 * (n - 1), quint16(3322 + n + variant));
    const char temperatures[] = { 65, 3, 61, 8, 61, 62, 63, 64, 65, 66, 67, 68 };
    record.replace(58, 12, QByteArray(temperatures, 12));
    const char tail[] = { 1, 1, 0, 2, 51, 2 };
    record.replace(70, 6, QByteArray(tail, 6));
    return sealed(record);
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
