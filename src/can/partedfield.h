#pragma once

#include <QByteArray>
#include <QtGlobal>

// A fixed-size text that the BMS sends in numbered parts of equal size (firmware version,
// battery code, model code). Parts may come in any order and any number of times; the mask
// records which have arrived since the last clearParts(), so a reader can tell a complete text
// from one with holes. The last part usually carries more bytes than the field has room for;
// the surplus is dropped.
class PartedField
{
public:
    PartedField(int size, int partSize, int partCount)
        : m_bytes(size, '\0')
        , m_partSize(partSize)
        , m_partCount(partCount)
    { }

    // part is 1-based. Returns false, storing nothing, for a part number out of range.
    bool storePart(int part, const QByteArray &partBytes)
    {
        if (part < 1 || part > m_partCount)
            return false;
        const int start = (part - 1) * m_partSize;
        const int count
            = qMin(qMin(m_partSize, int(partBytes.size())), int(m_bytes.size()) - start);
        for (int i = 0; i < count; ++i)
            m_bytes[start + i] = partBytes.at(i);
        m_partMask |= 1u << (part - 1);
        return true;
    }

    void clearParts() { m_partMask = 0; }
    bool isComplete() const { return m_partMask == (1u << m_partCount) - 1u; }
    quint32 partMask() const { return m_partMask; }
    int partCount() const { return m_partCount; }
    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_partSize;
    int m_partCount;
    quint32 m_partMask = 0;
};
