#pragma once

#include "upgrade/imageversion.h"
#include "upgrade/srecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

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

// What the firmware page hands the CAN upgrade for an ".s19" file: the S1, S2, S3 and S5 lines
// with their line ends, their byte sum (each byte signed, modulo 2^32), and the 7 bytes at text
// positions 12 to 25 of the first of them that has "08" at positions 4 and 5.
struct CanUpgradeInputs
{
    QStringList s19Data;
    uint chkSum = 0;
    QByteArray bootVersion;
};

inline CanUpgradeInputs canUpgradeInputs(const QByteArray &file)
{
    CanUpgradeInputs inputs;
    int start = 0;
    while (start < file.size()) {
        int end = file.indexOf('\n', start);
        end = end < 0 ? file.size() : end + 1;
        const QByteArray line = file.mid(start, end - start);
        start = end;
        if (line.size() < 2 || line.at(0) != 'S' || !QByteArray("1235").contains(line.at(1)))
            continue;
        inputs.s19Data.append(QString::fromLatin1(line));
        for (char byte : line)
            inputs.chkSum += uint(int(qint8(byte)));
        if (inputs.bootVersion.isEmpty() && line.mid(4, 2) == "08")
            inputs.bootVersion = QByteArray::fromHex(line.mid(12, 14));
    }
    return inputs;
}

// A ".bin" file of size bytes: the 5-byte revision tag, the version, then filler.
inline QByteArray bin(int size, const QByteArray &tag, const QByteArray &version)
{
    return body(size,
        tag.leftJustified(ImageVersion::BinTagSize, '\0', true)
            + version.leftJustified(ImageVersion::Size, '\0', true));
}

} // namespace TestFirmware
