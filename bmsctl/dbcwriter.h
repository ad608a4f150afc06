#pragma once

#include <QList>
#include <QString>

class AbstractSignalValue;

// The signal catalogue as a DBC file, so that any CAN tool that reads DBC decodes this bus: one
// message per battery and broadcast frame kind, named <FrameKind>_<dd> and sent by node BMS_<dd>,
// every signal received by node Host.
//
// - Identifiers are 29-bit: the message id is the CAN identifier with bit 31 set, which is how
//   DBC marks an extended identifier (PackStatus of battery 1: 0x02008001 | 0x80000000).
// - Every signal is Motorola (@0) and unsigned (+), as the store reads it, with the catalogue's
//   factor, offset and unit. Units are written in ASCII, since DBC files are read as single-byte
//   text: "℃" becomes "degC".
// - The range is the physical span of the signal's bits (physicalRange()), not the catalogue's
//   descriptive minimum and maximum: a DBC reader clamps to the range, the store takes every value
//   as sent (an SOC of raw 1023 reads 102.3), and the catalogue gives some limits in raw units
//   (the clock's year 20..255 for 2020..2255).
// - DBC numbers a Motorola signal by its most significant bit, the catalogue by its least
//   significant one; both count bit b of byte n as 8n + b (see motorolaStartBit()).
// - SysStatus gets its value table (0 static, 1 charging, 2 discharging, 3 offline).
class DbcWriter
{
public:
    explicit DbcWriter(const AbstractSignalValue &catalogue);

    QString write(const QList<int> &devIds) const;

    // The DBC start bit of a Motorola signal whose least significant bit sits at lsbStart
    // (8 * byte + bit) and that is length bits long: from the LSB the signal grows through the
    // higher bits of its byte into the byte before it, so its MSB is (lsbStart % 8 + length - 1)
    // bits further up, crossing a byte boundary every 8 bits.
    static int motorolaStartBit(int lsbStart, int length);
    static quint32 messageId(quint32 frameKey, int devId);

    struct Range
    {
        double minimum = 0;
        double maximum = 0;
    };
    // The physical values a signal of length bits can carry: its lowest and highest raw value
    // (two's complement when signed) times the factor plus the offset, the lower one first.
    static Range physicalRange(int length, bool isSigned, double factor, double offset);

private:
    const AbstractSignalValue &m_catalogue;
};
