#include "buscapacity.h"

#include <algorithm>

namespace {

void appendBits(QVector<bool> *bits, quint32 value, int count)
{
    for (int i = count - 1; i >= 0; --i)
        bits->append(((value >> i) & 1u) != 0);
}

} // namespace

BusCapacity::BusCapacity(int bitRate, int queueWindowMs)
    : m_bitRate(std::max(1, bitRate))
    , m_windowBits(double(m_bitRate) * std::max(0, queueWindowMs) / 1000.0)
{ }

QVector<bool> BusCapacity::stuffableBits(
    quint32 id, bool extended, const QByteArray &payload, bool remote)
{
    const int length = std::min(int(payload.size()), 8);
    QVector<bool> bits;
    bits.reserve(1 + 32 + 6 + 64 + 15);
    bits.append(false); // start of frame, dominant
    if (extended) {
        appendBits(&bits, (id >> 18) & 0x7FFu, 11);
        bits.append(true); // SRR, recessive
        bits.append(true); // IDE: extended
        appendBits(&bits, id & 0x3FFFFu, 18);
        bits.append(remote); // RTR
        bits.append(false); // r1
        bits.append(false); // r0
    } else {
        appendBits(&bits, id & 0x7FFu, 11);
        bits.append(remote); // RTR
        bits.append(false); // IDE: base format
        bits.append(false); // r0
    }
    appendBits(&bits, quint32(length), 4);
    if (!remote) {
        for (int i = 0; i < length; ++i)
            appendBits(&bits, quint8(payload.at(i)), 8);
    }
    appendBits(&bits, crc15(bits), 15);
    return bits;
}

quint16 BusCapacity::crc15(const QVector<bool> &bits)
{
    quint16 crc = 0;
    for (bool bit : bits) {
        const bool feedback = bit != (((crc >> 14) & 1u) != 0);
        crc = quint16((crc << 1) & 0x7FFFu);
        if (feedback)
            crc ^= 0x4599u;
    }
    return crc;
}

int BusCapacity::stuffBitCount(const QVector<bool> &bits)
{
    int stuffed = 0;
    int run = 0;
    bool last = false;
    for (bool bit : bits) {
        if (run > 0 && bit == last) {
            ++run;
        } else {
            last = bit;
            run = 1;
        }
        if (run == 5) {
            ++stuffed;
            // The stuff bit has the other level and counts as the first of the next row.
            last = !last;
            run = 1;
        }
    }
    return stuffed;
}

int BusCapacity::frameBits(quint32 id, bool extended, const QByteArray &payload, bool remote)
{
    const QVector<bool> bits = stuffableBits(id, extended, payload, remote);
    return bits.size() + stuffBitCount(bits) + UnstuffedTailBits;
}

bool BusCapacity::offer(qint64 nowNs, int bits, Source source)
{
    if (m_started && nowNs > m_lastNs) {
        const double carried = double(nowNs - m_lastNs) * m_bitRate / 1e9;
        m_backlogBits = std::max(0.0, m_backlogBits - carried);
    }
    m_started = true;
    m_lastNs = std::max(m_lastNs, nowNs);

    Counts &counts = m_counts[source];
    ++counts.offered;
    if (m_backlogBits + bits > m_windowBits) {
        ++counts.dropped;
        return false;
    }
    m_backlogBits += bits;
    counts.carriedBits += bits;
    return true;
}

BusCapacity::Counts BusCapacity::total() const
{
    Counts sum;
    for (const Counts &counts : m_counts) {
        sum.offered += counts.offered;
        sum.dropped += counts.dropped;
        sum.carriedBits += counts.carriedBits;
    }
    return sum;
}
