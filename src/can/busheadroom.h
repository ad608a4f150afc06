#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QtGlobal>

#include <array>

// What the bus can still carry, judged from what the adapter heard in the last second. The
// adapter hears every frame on the bus but its own, so the bits of the frames heard (stuff bits
// counted from each frame's content, CanFrameBits) are the others' share of the bus; what is
// left of the bit rate, less a margin for what the count cannot see (error frames, the
// adapter's own frames on their way, a second that is busier than the last), is room.
//
// The last second is counted in Buckets slices of it: the figure covers between
// (Buckets - 1) / Buckets and a whole second of traffic.
class BusHeadroom
{
public:
    static constexpr int DefaultBitRate = 250000;
    static constexpr int MarginPercent = 10;
    static constexpr int Buckets = 10;
    static constexpr qint64 WindowNs = 1000000000;

    explicit BusHeadroom(int bitRate = DefaultBitRate);

    void setBitRate(int bitsPerSecond);
    int bitRate() const { return m_bitRate; }
    // Forgets what was heard; the clock starts now.
    void restart();

    // A frame heard now (29-bit identifier, the 8 data bytes the adapter hands over).
    void hear(quint32 id, const QByteArray &data);
    // The same on the clock since restart(), in nanoseconds, with the frame's bits.
    void hearAt(qint64 nowNs, int bits);

    // Bits heard in the last second.
    qint64 heardBits();
    qint64 heardBitsAt(qint64 nowNs);
    // How many frames of frameBits each a second the bus has room for besides what it carries,
    // 0 when none.
    int framesPerSecond(int frameBits);
    int framesPerSecondAt(qint64 nowNs, int frameBits);

private:
    // Empties the slices that have passed out of the window since the last call.
    void advanceTo(qint64 nowNs);

    int m_bitRate;
    std::array<qint64, Buckets> m_bits {};
    qint64 m_slice = 0; // the slice now, counted from restart()
    QElapsedTimer m_clock;
};
