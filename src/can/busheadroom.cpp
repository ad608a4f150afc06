#include "busheadroom.h"

#include "can/canframebits.h"

#include <algorithm>

namespace {

constexpr qint64 SliceNs = BusHeadroom::WindowNs / BusHeadroom::Buckets;

} // namespace

BusHeadroom::BusHeadroom(int bitRate)
    : m_bitRate(std::max(1, bitRate))
{
    restart();
}

void BusHeadroom::setBitRate(int bitsPerSecond)
{
    m_bitRate = std::max(1, bitsPerSecond);
}

void BusHeadroom::restart()
{
    m_bits.fill(0);
    m_slice = 0;
    m_clock.start();
}

void BusHeadroom::hear(quint32 id, const QByteArray &data)
{
    // The bus carries 29-bit identifiers only: the adapter is opened for them.
    hearAt(m_clock.nsecsElapsed(), CanFrameBits::bitsOnWire(id, true, data));
}

void BusHeadroom::hearAt(qint64 nowNs, int bits)
{
    advanceTo(nowNs);
    m_bits[size_t(m_slice % Buckets)] += bits;
}

qint64 BusHeadroom::heardBits()
{
    return heardBitsAt(m_clock.nsecsElapsed());
}

qint64 BusHeadroom::heardBitsAt(qint64 nowNs)
{
    advanceTo(nowNs);
    qint64 sum = 0;
    for (qint64 bits : m_bits)
        sum += bits;
    return sum;
}

int BusHeadroom::framesPerSecond(int frameBits)
{
    return framesPerSecondAt(m_clock.nsecsElapsed(), frameBits);
}

int BusHeadroom::framesPerSecondAt(qint64 nowNs, int frameBits)
{
    const qint64 usable = qint64(m_bitRate) * (100 - MarginPercent) / 100;
    const qint64 room = usable - heardBitsAt(nowNs);
    return room > 0 ? int(room / std::max(1, frameBits)) : 0;
}

void BusHeadroom::advanceTo(qint64 nowNs)
{
    const qint64 slice = nowNs / SliceNs;
    if (slice <= m_slice)
        return;
    // Slices that passed without a frame are empty; a whole window of them empties them all.
    for (qint64 s = std::max(m_slice + 1, slice - Buckets + 1); s <= slice; ++s)
        m_bits[size_t(s % Buckets)] = 0;
    m_slice = slice;
}
