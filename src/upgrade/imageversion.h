#pragma once

#include <QByteArray>
#include <QStringList>

// The firmware version an image carries, as the battery reports it after running the image
// (the 15-byte firmware-version read of the command protocol). Images place it right after
// their identification bytes:
//
//   .bin  bytes 0-4   revision tag (compared with the boot loader's)
//         bytes 5-19  firmware version
//   .s19  the first kept record with "08" at text positions 4 and 5 loads at address A; its
//         first 7 data bytes are the boot version, the 15 bytes at A+7 .. A+21 (in whichever
//         records hold them) the firmware version.
//
// Bytes the image does not hold read as 0, like the unused end of the battery's field.
class ImageVersion
{
public:
    static constexpr int Size = 15;
    static constexpr int BinTagSize = 5;
    static constexpr int BootVersionSize = 7;

    static QByteArray ofBin(const QByteArray &binData);
    // s19Data: the image's kept lines (S1, S2, S3, S5), line ends included or not.
    static QByteArray ofS19(const QStringList &s19Data);
};
