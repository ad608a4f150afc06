#include "uartframe.h"

#include "log/crc16.h"

#include <QString>

namespace {

quint16 readLittleEndian16(const QByteArray &bytes, int offset)
{
    return quint16(quint8(bytes.at(offset)) | quint8(bytes.at(offset + 1)) << 8);
}

void appendLittleEndian16(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
}

} // namespace

QByteArray UartFrame::build(quint8 target, const QByteArray &body)
{
    const QByteArray cut = body.left(MaxBody);
    QByteArray frame;
    frame.reserve(cut.size() + Overhead);
    frame.append(char(Header0));
    frame.append(char(Header1));
    frame.append(char(target));
    frame.append(char(Command));
    frame.append(char(cut.size()));
    frame.append(cut);
    appendLittleEndian16(frame, crc(frame.mid(3)));
    frame.append("\r\n");
    return frame;
}

QByteArray UartFrame::request(
    quint8 target, quint16 subCommand, quint16 argument, const QByteArray &payload)
{
    QByteArray body;
    body.reserve(RequestHeader + payload.size());
    appendLittleEndian16(body, subCommand);
    appendLittleEndian16(body, argument);
    body.append(payload.left(MaxBody - RequestHeader));
    return build(target, body);
}

QByteArray UartFrame::reply(
    quint8 target, bool accepted, quint16 subCommand, const QByteArray &extra)
{
    QByteArray body;
    body.append(char(accepted ? Accepted : 0));
    body.append(char(subCommand & 0xFF));
    body.append(extra);
    return build(target, body);
}

quint16 UartFrame::subCommand(const QByteArray &frame)
{
    return bodyLength(frame) >= 2 ? readLittleEndian16(frame, 5) : 0;
}

quint16 UartFrame::argument(const QByteArray &frame)
{
    return bodyLength(frame) >= RequestHeader ? readLittleEndian16(frame, 7) : 0;
}

QByteArray UartFrame::payload(const QByteArray &frame)
{
    return body(frame).mid(RequestHeader);
}

QByteArray UartFrame::littleEndian16(quint16 value)
{
    QByteArray bytes;
    appendLittleEndian16(bytes, value);
    return bytes;
}

quint16 UartFrame::fromLittleEndian16(const QByteArray &bytes)
{
    return readLittleEndian16(bytes.leftJustified(2, '\0'), 0);
}

quint16 UartFrame::crc(const QByteArray &data)
{
    return Crc16::xmodem(data);
}

QString UartFrame::hexText(const QByteArray &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(bytes.size() * 3);
    for (int i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            text.append(i % 16 == 0 ? QLatin1Char('\n') : QLatin1Char(' '));
        const auto byte = quint8(bytes.at(i));
        text.append(QLatin1Char(digits[byte >> 4]));
        text.append(QLatin1Char(digits[byte & 0x0F]));
    }
    return text;
}

int UartReceiveBuffer::findHeader(int from) const
{
    for (int i = from; i < m_bytes.size(); ++i) {
        if (quint8(m_bytes.at(i)) != UartFrame::Header0)
            continue;
        if (i + 1 == m_bytes.size() || quint8(m_bytes.at(i + 1)) == UartFrame::Header1)
            return i;
    }
    return -1;
}

bool UartReceiveBuffer::isCompleteFrameAt(int index) const
{
    if (m_bytes.size() - index < UartFrame::Overhead)
        return false;
    const int length = quint8(m_bytes.at(index + 4));
    if (m_bytes.size() - index < length + UartFrame::Overhead)
        return false;
    const quint16 computed = UartFrame::crc(m_bytes.mid(index + 3, length + 2));
    return computed == readLittleEndian16(m_bytes, index + 5 + length)
        && m_bytes.at(index + 7 + length) == '\r' && m_bytes.at(index + 8 + length) == '\n';
}

UartReceiveBuffer::Item UartReceiveBuffer::drop(int count)
{
    Item item;
    item.kind = Noise;
    item.dropped = count;
    m_bytes.remove(0, count);
    return item;
}

UartReceiveBuffer::Item UartReceiveBuffer::next()
{
    if (m_bytes.isEmpty())
        return Item();
    const int header = findHeader(0);
    if (header < 0)
        return drop(m_bytes.size());
    if (header > 0)
        return drop(header);
    if (m_bytes.size() < UartFrame::Overhead)
        return Item();

    const int length = quint8(m_bytes.at(4));
    const int frameSize = length + UartFrame::Overhead;
    if (m_bytes.size() < frameSize) {
        // Either the rest is on its way, or this header was noise that happens to read AA 55
        // with a length no reply has: a complete good frame further on tells which.
        for (int later = findHeader(1); later > 0; later = findHeader(later + 1)) {
            if (isCompleteFrameAt(later))
                return drop(later);
        }
        return Item();
    }

    const quint16 computed = UartFrame::crc(m_bytes.mid(3, length + 2));
    const quint16 received = readLittleEndian16(m_bytes, 5 + length);
    if (computed != received) {
        // The length itself may be what is broken: look for the next header from the next
        // byte on rather than skipping the frame's supposed size.
        Item item;
        item.kind = CrcError;
        item.computedCrc = computed;
        item.receivedCrc = received;
        m_bytes.remove(0, 1);
        return item;
    }
    Item item;
    if (m_bytes.at(7 + length) == '\r' && m_bytes.at(8 + length) == '\n') {
        item.kind = Frame;
        item.frame = m_bytes.left(frameSize);
    } else {
        item.kind = BadTrailer;
        item.dropped = frameSize;
    }
    m_bytes.remove(0, frameSize);
    return item;
}
