#include "uartimage.h"

#include "uartframe.h"

UartImage::UartImage(const QByteArray &binData)
    : m_data(binData)
{
    const int padding = (PadMultiple - m_data.size() % PadMultiple) % PadMultiple;
    m_data.append(QByteArray(padding, char(0xFF)));
    m_crc = UartFrame::crc(m_data);
    m_blockCount = (m_data.size() + BlockSize - 1) / BlockSize;
}

bool UartImage::isSendable(const QByteArray &binData)
{
    return binData.size() >= RevisionTagSize && binData.size() <= MaxSize;
}

QByteArray UartImage::block(int number) const
{
    if (number < 1 || number > m_blockCount)
        return QByteArray();
    return m_data.mid((number - 1) * BlockSize, BlockSize);
}
