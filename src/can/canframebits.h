#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <vector>

// How many bit times a classic CAN frame holds the bus: for the bus load that bmsctl scan
// reports, the room the firmware upgrade leaves the other traffic (CanUpgrade) and the
// simulator's bus model (BusCapacity). A remote frame has no data field.
//
// A frame with a 29-bit identifier and n data bytes, as it goes out:
//
//     SOF  ID 28..18  SRR IDE  ID 17..0  RTR r1 r0  DLC  data   CRC  | CRC-del ACK ACK-del EOF IFS
//      1      11       1   1      18      1   1  1   4   8n     15  |    1     1     1     7   3
//     \__________________ stuffed: 54 + 8n bits ____________________/ \________ 13 bits ________/
//
// which is 67 + 8n bits nominal, 131 for eight bytes (47 + 8n for an 11-bit identifier, whose
// arbitration field lacks SRR, IDE and the 18 low identifier bits but has one reserved bit).
// Between SOF and the end of the CRC the sender inserts a stuff bit of the opposite level after
// every five equal bits, counting the stuff bits themselves; how many depends on the content. This
// model counts them exactly, from the frame's own bits and its CRC-15, so a frame costs between
// 131 and 160 bit times for eight bytes. Error frames, overload frames and retransmissions are
// not seen by the host and not counted.
class CanFrameBits
{
public:
    static constexpr int ExtendedNominalBase = 67;
    static constexpr int StandardNominalBase = 47;
    // CRC delimiter, ACK slot, ACK delimiter, end of frame, intermission: never stuffed.
    static constexpr int UnstuffedTailBits = 1 + 1 + 1 + 7 + 3;

    // Bit times of the frame on the wire, stuff bits included.
    static int bitsOnWire(quint32 id, bool extended, const QByteArray &data, bool remote = false);
    static int nominalBits(bool extended, int dataLength);
    // The most a frame of this kind and length can take, whatever its content: a stuff bit after
    // the first five bits of the stuffed section and after every four bits from then on.
    static int worstCaseBits(bool extended, int dataLength);

    // The bits from SOF through the CRC, before stuffing, most significant bit of each field
    // first; data beyond eight bytes is ignored. A remote frame's length code is the data's
    // length, its data is not sent.
    static std::vector<bool> stuffedSection(
        quint32 id, bool extended, const QByteArray &data, bool remote = false);
    // Stuff bits the sender inserts into these bits.
    static int stuffBitCount(const std::vector<bool> &bits);
    // CRC-15/CAN (polynomial 0x4599, initial 0) of the bits, as the frame's CRC field carries it.
    static quint16 crc15(const std::vector<bool> &bits);
};
