#pragma once

#include "upgrade/imageversion.h"
#include "upgrade/srecord.h"

#include <QByteArray>

// Firmware images for tests and benchmarks, laid out as ImageVersion describes: identification
// bytes first, then the firmware version, then filler that changes from byte to byte.
namespace TestFirmware {

constexpr quint32 S19LoadAddress = 0x08000000;

inline QByteArray body(int size, const QByteArray &head)
{
    QByteArray bytes = head.left(size);
    for (int i = bytes.size(); i < size; ++i)
        bytes.append(char((i * 131 + 7) >> 1));
    return bytes;
}

// An ".s19" file: an S0 header, S3 records of recordBytes data bytes loading imageBytes bytes
// at S19LoadAddress (bootVersion, 7 bytes, then version, 15 bytes, then filler), an S7 end.
inline QByteArray s19(int imageBytes, const QByteArray &bootVersion, const QByteArray &version,
    const QByteArray &lineEnd = "\r\n", int recordBytes = 32)
{
    const QByteArray image = body(imageBytes,
        bootVersion.leftJustified(ImageVersion::BootVersionSize, '\0', true)
            + version.leftJustified(ImageVersion::Size, '\0', true));
    QByteArray file = SRecord { '0', 0, QByteArray("test image") }.toLine() + lineEnd;
    for (int offset = 0; offset < image.size(); offset += recordBytes)
        file += SRecord { '3', S19LoadAddress + quint32(offset), image.mid(offset, recordBytes) }
                    .toLine()
            + lineEnd;
    file += SRecord { '7', S19LoadAddress, QByteArray() }.toLine() + lineEnd;
    return file;
}

// A ".bin" file of size bytes: the 5-byte revision tag, the version, then filler.
inline QByteArray bin(int size, const QByteArray &tag, const QByteArray &version)
{
    return body(size,
        tag.leftJustified(ImageVersion::BinTagSize, '\0', true)
            + version.leftJustified(ImageVersion::Size, '\0', true));
}

} // namespace TestFirmware
