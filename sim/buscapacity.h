#pragma once

#include <QByteArray>
#include <QCanBusFrame>
#include <QVector>
#include <QtGlobal>

#include <deque>
#include <vector>

// A CAN bus at a given bit rate, as the simulator plays it. Qt's virtual bus passes any number of
// frames at once; a real one carries one frame at a time, each taking the bus for its length in
// bits (frameBits()), and lets arbitration decide which frame goes next.
//
// The model: every node on the bus (the host's adapter, each battery) has a transmit queue that
// holds a bounded number of frames, the one on the wire included. A frame offered to a full
// queue is lost on that node and counted there. Whenever the bus is free, the frames at the
// heads of the queues arbitrate and the lowest identifier wins (bit by bit, a dominant 0 beats a
// recessive 1: a base-format frame goes before an extended one with the same first 11 bits, a
// data frame before a remote frame with the same identifier); the others wait for the next free
// bus. A frame on the wire is never interrupted, and each node sends its frames in the order it
// queued them, so a frame with a low identifier waits behind its own node's earlier frames.
//
//      host       [ f f f ]──┐
//      battery 1  [ f ]──────┼──▶ lowest identifier among the heads ──▶ wire, bits / bit rate
//      battery 2  [ f f ]────┘
//
// A frame's bits, for a data frame (remote frames have no data field):
//
//      SOF  identifier  SRR IDE  identifier  RTR r1 r0  DLC  data     CRC  | CRC del, ACK, ACK
//       1   11 (base)    1   1   18 (ext.)    1   1  1   4  0..64     15   | del, EOF 7,
//      <────────────────── bit stuffing applies (118 bits for 8 bytes) ──▶ | intermission 3: 13
//
// A 29-bit frame with 8 data bytes is 131 bits without stuff bits and at most 160 with them;
// frameBits() counts the stuff bits of the actual frame (CRC included), with the program's own
// frame bit model (CanFrameBits), which bmsctl's bus load uses too.
class BusCapacity
{
public:
    static constexpr int DefaultBitRate = 250000;

    // Counts since the start, or since the last mark().
    enum Span { SinceStart, SinceMark, SpanCount };

    struct Counts
    {
        qint64 offered = 0;
        qint64 dropped = 0;
        qint64 carriedBits = 0;
        int queuePeak = 0; // the most frames the queue held at once
        qint64 longestWaitNs = 0; // from a frame's offer to the start of its transmission
    };

    struct Carried
    {
        int node;
        QCanBusFrame frame;
    };

    explicit BusCapacity(int bitRate = DefaultBitRate);

    int bitRate() const { return m_bitRate; }
    // A node whose transmit queue holds queueDepth frames; returns its number, 0 for the first.
    int addNode(int queueDepth);
    int nodeCount() const { return int(m_nodes.size()); }
    int queueDepth(int node) const { return m_nodes.at(size_t(node)).depth; }
    // Frames the node's queue can take at nowNs.
    int queueRoom(qint64 nowNs, int node);

    // Bits the frame takes on the bus, stuff bits and intermission included (CanFrameBits).
    static int frameBits(quint32 id, bool extended, const QByteArray &payload, bool remote = false);

    // The node sends a frame at nowNs (a monotonic clock, nanoseconds; times must not go
    // backwards). False if the node's queue is full: the frame is dropped. Frames offered at the
    // same nanosecond arbitrate together.
    bool offer(qint64 nowNs, int node, const QCanBusFrame &frame);
    // The frames whose transmission ended by nowNs, in the order the bus carried them; each is
    // returned once.
    QVector<Carried> advance(qint64 nowNs);
    // When advance() next has something to do (the frame on the wire ends, or the next one
    // starts); -1 while every queue is empty.
    qint64 nextEventNs() const;

    Counts counts(int node, Span span = SinceStart) const;
    // Summed over the nodes; the peak and the wait are the largest of any node.
    Counts total(Span span = SinceStart) const;
    // Starts the SinceMark counts anew.
    void mark();

private:
    struct Pending
    {
        QCanBusFrame frame;
        int bits;
        quint32 arbitration; // the arbitration field as sent, lower wins
        qint64 offeredNs;
    };
    struct Node
    {
        int depth;
        std::deque<Pending> queue;
        Counts counts[SpanCount];
    };

    static quint32 arbitrationField(const QCanBusFrame &frame);
    void progress(qint64 nowNs);
    qint64 nextStartNs() const;

    int m_bitRate;
    std::vector<Node> m_nodes;
    int m_onWire = -1; // the node whose head frame is being sent, -1 while the bus is idle
    qint64 m_wireEndNs = 0;
    qint64 m_busFreeNs = 0;
    QVector<Carried> m_carried; // ended, not yet returned by advance()
};
