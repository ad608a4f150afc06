#pragma once

#include <QByteArray>
#include <QtGlobal>

// A binary image as the serial boot loader takes it: padded with 0xFF up to a multiple of 8
// bytes, sent in blocks of 248 bytes numbered from 1 (the last one possibly shorter) and
// checked at the end with a CRC-16/XMODEM over the whole padded image, however long it is.
class UartImage
{
public:
    static constexpr int PadMultiple = 8;
    static constexpr int BlockSize = 248;
    static constexpr int RevisionTagSize = 5;
    // Block numbers travel as 16 bits.
    static constexpr int MaxBlocks = 0xFFFF;
    static constexpr int MaxSize = MaxBlocks * BlockSize;

    UartImage() = default;
    explicit UartImage(const QByteArray &binData);

    // Whether the image can be sent: it holds its revision tag and its blocks can be numbered.
    static bool isSendable(const QByteArray &binData);

    const QByteArray &data() const { return m_data; }
    int size() const { return m_data.size(); }
    int blockCount() const { return m_blockCount; }
    // Size modulo BlockSize: 0 when the last block is full.
    int lastBlockSize() const { return m_data.size() % BlockSize; }
    // Block number (1 .. blockCount()); empty outside.
    QByteArray block(int number) const;
    quint16 crc() const { return m_crc; }
    QByteArray revisionTag() const { return m_data.left(RevisionTagSize); }

private:
    QByteArray m_data;
    int m_blockCount = 0;
    quint16 m_crc = 0;
};
