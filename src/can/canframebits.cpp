#include "canframebits.h"

namespace {

constexpr int MaxDataBytes = 8;
constexpr int StuffRunLength = 5;
constexpr quint16 Crc15Polynomial = 0x4599;
constexpr int CrcBits = 15;

void appendBits(std::vector<bool> &bits, quint32 value, int count)
{
    for (int i = count - 1; i >= 0; --i)
        bits.push_back(((value >> i) & 1u) != 0);
}

} // namespace

int CanFrameBits::nominalBits(bool extended, int dataLength)
{
    const int bytes = qBound(0, dataLength, MaxDataBytes);
    return (extended ? ExtendedNominalBase : StandardNominalBase) + 8 * bytes;
}

int CanFrameBits::worstCaseBits(bool extended, int dataLength)
{
    // The nominal frame ends in UnstuffedTailBits that are never stuffed.
    const int stuffed = nominalBits(extended, dataLength) - UnstuffedTailBits;
    return nominalBits(extended, dataLength) + (stuffed - 1) / (StuffRunLength - 1);
}

std::vector<bool> CanFrameBits::stuffedSection(
    quint32 id, bool extended, const QByteArray &data, bool remote)
{
    const int length = qMin(int(data.size()), MaxDataBytes);
    std::vector<bool> bits;
    bits.push_back(false); // SOF, dominant
    if (extended) {
        appendBits(bits, (id >> 18) & 0x7FFu, 11);
        bits.push_back(true); // SRR, recessive
        bits.push_back(true); // IDE, recessive: extended
        appendBits(bits, id & 0x3FFFFu, 18);
        bits.push_back(remote); // RTR
        bits.push_back(false); // r1
        bits.push_back(false); // r0
    } else {
        appendBits(bits, id & 0x7FFu, 11);
        bits.push_back(remote); // RTR
        bits.push_back(false); // IDE: standard
        bits.push_back(false); // r0
    }
    appendBits(bits, quint32(length), 4);
    for (int i = 0; i < (remote ? 0 : length); ++i)
        appendBits(bits, quint8(data.at(i)), 8);
    appendBits(bits, crc15(bits), CrcBits);
    return bits;
}

int CanFrameBits::stuffBitCount(const std::vector<bool> &bits)
{
    int stuffBits = 0;
    int run = 0;
    bool level = false;
    for (bool bit : bits) {
        if (run > 0 && bit == level) {
            ++run;
        } else {
            level = bit;
            run = 1;
        }
        if (run == StuffRunLength) {
            // The stuff bit has the opposite level and opens the next run.
            ++stuffBits;
            level = !bit;
            run = 1;
        }
    }
    return stuffBits;
}

quint16 CanFrameBits::crc15(const std::vector<bool> &bits)
{
    quint16 crc = 0;
    for (bool bit : bits) {
        const bool feedback = bit != (((crc >> (CrcBits - 1)) & 1u) != 0);
        crc = quint16((crc << 1) & 0x7FFFu);
        if (feedback)
            crc ^= Crc15Polynomial;
    }
    return crc;
}

int CanFrameBits::bitsOnWire(quint32 id, bool extended, const QByteArray &data, bool remote)
{
    const std::vector<bool> section = stuffedSection(id, extended, data, remote);
    return int(section.size()) + stuffBitCount(section) + UnstuffedTailBits;
}
