#pragma once

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// How much a CAN bus at a given bit rate can carry, as the simulator's bus models it. Qt's
// virtual bus passes any number of frames at once; a real one carries one frame at a time, each
// taking the bus for its length in bits (frameBits()).
//
// The model: the bus carries the frames back to back in the order they are offered; what has
// been offered but not yet carried waits in the nodes' transmit queues. A frame that would have
// to wait longer than the queue window (100 ms by default, about 190 frames at 250 kbit/s:
// what the transmit buffers of a node and of a USB-CAN adapter hold) is one a real bus could not
// have carried in time; the sender's queue overflows and the frame is lost. It is counted as
// dropped and not passed on.
//
//      offered frames ──▶ [ backlog, at most bitRate x window bits ] ──drains at bitRate──▶ bus
//
// A frame's bits, for a data frame (remote frames have no data field):
//
//      SOF  identifier  SRR IDE  identifier  RTR r1 r0  DLC  data     CRC  | CRC del, ACK, ACK
//       1   11 (base)    1   1   18 (ext.)    1   1  1   4  0..64     15   | del, EOF 7,
//      <────────────────── bit stuffing applies (118 bits for 8 bytes) ──▶ | intermission 3: 13
//
// A 29-bit frame with 8 data bytes is 131 bits without stuff bits and at most 160 with them;
// frameBits() counts the stuff bits of the actual frame (CRC included).
class BusCapacity
{
public:
    static constexpr int DefaultBitRate = 250000;
    static constexpr int DefaultQueueWindowMs = 100;
    // CRC delimiter, ACK slot, ACK delimiter, end of frame, intermission: never stuffed.
    static constexpr int UnstuffedTailBits = 1 + 1 + 1 + 7 + 3;

    enum Source { Host, Batteries, SourceCount };

    struct Counts
    {
        qint64 offered = 0;
        qint64 dropped = 0;
        qint64 carriedBits = 0;
    };

    explicit BusCapacity(int bitRate = DefaultBitRate, int queueWindowMs = DefaultQueueWindowMs);

    int bitRate() const { return m_bitRate; }

    // Bits the frame takes on the bus, stuff bits and intermission included.
    static int frameBits(quint32 id, bool extended, const QByteArray &payload, bool remote = false);
    // The bits from SOF to the end of the CRC, before stuffing, one bool per bit (true: 1).
    static QVector<bool> stuffableBits(
        quint32 id, bool extended, const QByteArray &payload, bool remote = false);
    // Stuff bits a transmitter inserts into these bits: one after every five equal bits in a
    // row, the stuff bit itself starting the next row.
    static int stuffBitCount(const QVector<bool> &bits);
    // CRC-15 of CAN (polynomial 0x4599, initial value 0) over these bits.
    static quint16 crc15(const QVector<bool> &bits);

    // A frame of `bits` offered at nowNs (a monotonic clock, nanoseconds); true if the bus
    // carries it, false if it is dropped. Times must not go backwards.
    bool offer(qint64 nowNs, int bits, Source source);

    Counts counts(Source source) const { return m_counts[source]; }
    Counts total() const;
    // Bits waiting for the bus at the last offer.
    double backlogBits() const { return m_backlogBits; }

private:
    int m_bitRate;
    double m_windowBits;
    double m_backlogBits = 0.0;
    qint64 m_lastNs = 0;
    bool m_started = false;
    Counts m_counts[SourceCount];
};
