// Bytes from the serial port during an upgrade, as the receive buffer cuts them into frames:
// the first input byte sets the size of the reads the rest arrives in (1 to 256 bytes).
#include "fuzztarget.h"

#include "upgrade/uartframe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int readSize = int(data[0]) + 1;
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), int(size - 1));
    UartReceiveBuffer buffer;
    qint64 accounted = 0;
    for (int at = 0; at < stream.size(); at += readSize) {
        buffer.append(stream.mid(at, readSize));
        for (UartReceiveBuffer::Item item = buffer.next(); item.kind != UartReceiveBuffer::NeedMore;
             item = buffer.next()) {
            switch (item.kind) {
            case UartReceiveBuffer::Frame: {
                // A whole frame: header, its length, a CRC that fits, CR LF. Byte 3 is not
                // checked here (the upgrade ignores a frame without its 0x50).
                const QByteArray &frame = item.frame;
                const int length = UartFrame::bodyLength(frame);
                const QByteArray crc
                    = UartFrame::littleEndian16(UartFrame::crc(frame.mid(3, length + 2)));
                if (frame.size() != length + UartFrame::Overhead
                    || quint8(frame.at(0)) != UartFrame::Header0
                    || quint8(frame.at(1)) != UartFrame::Header1 || !frame.endsWith("\r\n")
                    || frame.mid(5 + length, 2) != crc)
                    __builtin_trap();
                UartFrame::subCommand(frame);
                UartFrame::argument(frame);
                UartFrame::payload(frame);
                UartFrame::hexText(frame);
                accounted += frame.size();
                break;
            }
            case UartReceiveBuffer::Noise:
            case UartReceiveBuffer::BadTrailer:
                if (item.dropped <= 0)
                    __builtin_trap();
                accounted += item.dropped;
                break;
            case UartReceiveBuffer::CrcError:
                if (item.computedCrc == item.receivedCrc)
                    __builtin_trap();
                accounted += 1;
                break;
            case UartReceiveBuffer::NeedMore:
                break;
            }
        }
    }
    // Every byte is in a frame, dropped, or still waiting for the rest of its frame.
    if (accounted + buffer.size() != stream.size())
        __builtin_trap();
    return 0;
}
