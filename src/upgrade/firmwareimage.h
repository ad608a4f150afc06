#pragma once

#include "loadmap.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// A firmware image file, read and checked before anything may be confirmed or sent. Two kinds:
//
//   ".bin"  a raw image for the serial boot loader: the whole file is the image, its first
//           5 bytes the revision tag the boot loader compares with its own.
//   ".s19"  Motorola S-records for the CAN boot loader: every line that is not blank must be
//           a record that verifies (SRecord::parse), or the file is refused with its line
//           number; the S1, S2, S3 and S5 lines are kept as text, line ends included, the
//           others (S0, S6-S9) are checked and left out. The records must also make an image
//           a boot loader can take, or the file is refused with the line at fault: no address
//           loaded twice with different bytes (LoadMap), and a boot version wholly inside
//           the record that announces it. A firmware version (ImageVersion) not wholly inside
//           the image is noted (versionCutLine), not refused: the boot loader takes such an
//           image, but whether a battery runs it afterwards cannot be told from its version,
//           so the tools that check that refuse it themselves.
//
// The parse functions take the file's bytes, so that they run without files or widgets (tests,
// fuzzing, command-line tools); readBin() and readS19() read a file and call them.
class FirmwareImage
{
public:
    enum Kind {
        NoImage,
        BinImage,
        S19Image,
    };
    enum Error {
        NoError,
        CannotOpen,
        TooLarge, // larger than MaxFileSize: not an image, whatever its name
        TooShort, // a ".bin" shorter than its revision tag
        NoRecord, // a ".s19" without a single kept record
        BadRecord, // a line that is neither blank nor a record that verifies; see badLine
        BadImage, // records that verify but load no sound image; see badLine
    };

    static constexpr int RevisionTagSize = 5;
    // Far above any battery's flash; guards against reading a large foreign file into memory.
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

    static FirmwareImage readBin(const QString &path);
    static FirmwareImage readS19(const QString &path);
    // The file read as an image of this kind (readBin() or readS19()): what the firmware
    // dialog confirmed is read again so before it is sent, and bmsctl flash reads its image so.
    static FirmwareImage read(const QString &path, Kind kind);
    static FirmwareImage parseBin(const QByteArray &content);
    static FirmwareImage parseS19(const QByteArray &content);

    // The sum of the bytes, each taken as a signed 8-bit value, modulo 2^32.
    static uint signedByteSum(const QByteArray &bytes);
    // Bytes shown as text: Latin-1 up to the first NUL byte.
    static QString latin1Text(const QByteArray &bytes);

    bool isValid() const { return error == NoError; }
    // The revision the image carries: the ".bin" revision tag or the ".s19" boot version.
    QString revision() const;

    Kind kind = NoImage;
    Error error = NoError;
    int badLine = 0; // the first line that is bad (from 1), and why
    QString badReason;

    // ".bin": the whole file. It is filled even when the file is too short.
    QByteArray binData;
    // ".s19": the kept lines as read (less blanks before a line end), line ends included; the
    // byte sum of those lines; and the 7 bytes at text positions 12 to 25 of the first kept
    // line with "08" at positions 4 and 5, or nothing when no kept line has it.
    QStringList s19Data;
    uint chkSum = 0;
    QByteArray bootVersion;
    // ".s19": the addresses its S1, S2 and S3 records load.
    QVector<LoadMap::Range> ranges;
    // ".s19": the line of the record with the boot version when the firmware version that
    // follows it is not wholly in the image, and why; 0 when it is, or nothing announces it.
    int versionCutLine = 0;
    QString versionCutReason;
};
