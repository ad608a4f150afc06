// A ".bin" file as the user may pick it: the image check (FirmwareImage::parseBin), the image
// the serial upgrade sends (UartImage: padding, blocks, CRC) and the version it installs.
#include "fuzztarget.h"

#include "upgrade/firmwareimage.h"
#include "upgrade/imageversion.h"
#include "upgrade/uartframe.h"
#include "upgrade/uartimage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), int(size));
    const FirmwareImage image = FirmwareImage::parseBin(content);
    if (image.isValid() != (content.size() >= FirmwareImage::RevisionTagSize))
        __builtin_trap();
    image.revision();
    if (ImageVersion::ofBin(content).size() != ImageVersion::Size)
        __builtin_trap();
    if (!UartImage::isSendable(content))
        return 0;

    // The blocks put back together are the padded image, and nothing else.
    const UartImage uart(content);
    if (uart.size() % UartImage::PadMultiple != 0 || uart.size() < content.size()
        || uart.size() - content.size() >= UartImage::PadMultiple
        || !uart.data().startsWith(content) || uart.revisionTag() != content.left(5))
        __builtin_trap();
    QByteArray joined;
    for (int number = 1; number <= uart.blockCount(); ++number) {
        const QByteArray block = uart.block(number);
        if (block.isEmpty() || block.size() > UartImage::BlockSize)
            __builtin_trap();
        joined.append(block);
    }
    if (joined != uart.data() || !uart.block(0).isEmpty()
        || !uart.block(uart.blockCount() + 1).isEmpty() || uart.crc() != UartFrame::crc(joined))
        __builtin_trap();
    // Every block fits in one request frame.
    const QByteArray frame = UartFrame::request(0, UartFrame::FileData, 1, uart.block(1));
    if (UartFrame::payload(frame) != uart.block(1))
        __builtin_trap();
    return 0;
}
