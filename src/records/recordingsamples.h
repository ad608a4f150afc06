#pragma once

#include <QVector>
#include <QtGlobal>

#include <array>
#include <memory>

// One sample of the real-time recording, kept small: a day of recording is 43,200 of them.
// The date and time are one reading of the clock; each value is 32 bits, the float's bits for a
// real signal and the signed 32-bit value for an integer one (RealTimeRecordingTableModel says
// which column is which).
struct RecordingSample
{
    static constexpr int ValueCount = 63;

    qint32 julianDay = 0;
    qint32 msecsOfDay = 0;
    qint32 devId = 0;
    std::array<quint32, ValueCount> values {};
};

// The samples of a recording in blocks of fixed size, so that growing never copies what is
// there, and a copy of the whole (a snapshot for a save running on another thread) shares every
// block instead of copying 11 MB.
//
// A copy stays valid and unchanged whatever the original does afterwards: appending writes
// only behind the copy's end or into new blocks, and clear() drops the original's references,
// not the blocks. A snapshot may therefore be read on another thread while the original keeps
// growing on its own; the copy itself must not be appended to.
class RecordingSamples
{
public:
    static constexpr int BlockSize = 1024;

    int size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    const RecordingSample &at(int row) const
    {
        return (*m_blocks.at(row / BlockSize))[size_t(row % BlockSize)];
    }

    void append(const RecordingSample &sample);
    void clear();
    // Bytes held by the blocks (the measure of what a recording costs).
    qint64 storageBytes() const;

private:
    using Block = std::array<RecordingSample, BlockSize>;

    QVector<std::shared_ptr<Block>> m_blocks;
    int m_size = 0;
};
