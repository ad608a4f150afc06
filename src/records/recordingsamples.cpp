#include "recordingsamples.h"

void RecordingSamples::append(const RecordingSample &sample)
{
    const int offset = m_size % BlockSize;
    if (offset == 0)
        m_blocks.append(std::make_shared<Block>());
    // A snapshot may share the vector of blocks; it reads only rows before its own end, and
    // constLast() spares a needless copy of the vector.
    (*m_blocks.constLast())[size_t(offset)] = sample;
    ++m_size;
}

void RecordingSamples::clear()
{
    m_blocks.clear();
    m_size = 0;
}

qint64 RecordingSamples::storageBytes() const
{
    return qint64(m_blocks.size()) * qint64(sizeof(Block));
}
