#pragma once

#include <QByteArray>
#include <QtGlobal>

// The two 16-bit checksums the batteries use: CRC-16/MODBUS over history event records and
// CRC-16/XMODEM over serial upgrade frames. Both are table-driven.
class Crc16
{
public:
    // Reflected polynomial 0xA001, initial value 0xFFFF, no final XOR. Records carry it low
    // byte first.
    static quint16 modbus(const char *data, int length);
    static quint16 modbus(const QByteArray &data) { return modbus(data.constData(), data.size()); }

    // Polynomial 0x1021, initial value 0, no reflection, no final XOR.
    static quint16 xmodem(const char *data, int length);
    static quint16 xmodem(const QByteArray &data) { return xmodem(data.constData(), data.size()); }
};
