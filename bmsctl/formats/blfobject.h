#pragma once

#include "formats/loggedframe.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The BLF log, the binary log of CAN analysers: a file header, then objects, most of them inside
// compressed log containers. Every number is little-endian.
//
//   file header, 144 bytes                  object, padded to a multiple of 4 by size % 4 bytes
//   0  "LOGG"                               0  "LOBJ"
//   4  u32 header size (144)                4  u16 header size   6  u16 header version (1, 2)
//   8  u8 x4 application id and version     8  u32 object size (header included, padding not)
//   12 u8 x4 log format version             12 u32 object type
//   16 u64 file size                        -- header version 1 (32 bytes) and 2 (40 bytes):
//   24 u64 uncompressed size                16 u32 flags: 1 time in 10 us, 2 time in ns
//   32 u32 object count                     20 u16 client index (v1) | u8 status, u8 (v2)
//   36 u32 objects read                     22 u16 object version
//   40 SYSTEMTIME start (local time):       24 u64 time stamp, from the start
//      u16 year, month, day of week, day,   32 u64 original time stamp (v2 only)
//      hour, minute, second, millisecond    -- the object's own data
//   56 SYSTEMTIME of the last object
//   72 zeros up to the header size
//
//   log container (type 10): a 16-byte header without flags or time stamp, then
//   16 u16 compression (0 none, 2 zlib)  18 6 bytes zero  24 u32 uncompressed size  28 u32 zero
//   32 the contained objects' bytes, compressed: a stream of objects that may run on from one
//      container into the next
//
//   CAN message (type 1, and type 86 with a frame length and bit count after the data):
//   +0 u16 channel, from 1   +2 u8 flags: 1 sent, 0x80 remote   +3 u8 data length code
//   +4 u32 identifier, bit 31 set for a 29-bit one                +8 8 data bytes
//
// Error frames (types 2 and 73) are skipped, CAN FD messages (types 100 and 101) refused, other
// objects skipped; each is counted. Written: objects of header version 1 with nanosecond time
// stamps from a start that is the first frame's time cut to the millisecond (what the header
// holds), in zlib containers of at most ContainerBytes before compression.
class BlfObject
{
public:
    static constexpr int FileHeaderSize = 144;
    static constexpr int BaseHeaderSize = 16;
    static constexpr int ContainerHeaderSize = 32;
    static constexpr int ContainerBytes = 128 * 1024;
    // What a reader accepts of one object or container's contents, compressed or not.
    static constexpr int MaxObjectBytes = 64 * 1024 * 1024;

    enum Type : quint32 {
        CanMessage = 1,
        CanError = 2,
        LogContainer = 10,
        CanErrorExt = 73,
        CanMessage2 = 86,
        CanFdMessage = 100,
        CanFdMessage64 = 101,
    };

    struct FileHeader
    {
        quint32 headerSize = FileHeaderSize;
        quint64 fileSize = 0;
        quint64 uncompressedSize = 0;
        quint32 objectCount = 0;
        qint64 startUs = 0;
        qint64 lastUs = 0;
    };

    struct Header
    {
        int headerSize = 0;
        int headerVersion = 0;
        quint32 size = 0;
        quint32 type = 0;
    };

    static QByteArray fileHeader(const FileHeader &header);
    static bool readFileHeader(const QByteArray &bytes, FileHeader *header, QString *reason);

    // The base header at the start of bytes (BaseHeaderSize of them at least).
    static bool readHeader(const char *bytes, Header *header, QString *reason);
    static int padding(quint32 size) { return int(size % 4); }

    // A whole CAN message object (type 1 or 86) as a frame; false with a reason.
    static bool readCanMessage(const QByteArray &object, const Header &header, qint64 startUs,
        LoggedFrame *frame, QString *reason);
    // A CAN message object of the frame, its time from startUs, without padding (it needs none).
    static QByteArray canMessage(const LoggedFrame &frame, qint64 startUs);

    // A log container of compressed bytes, its padding included.
    static QByteArray container(const QByteArray &compressed, int uncompressedSize);
    // The compression and uncompressed size of a container's contents; false with a reason.
    static bool readContainer(
        const QByteArray &object, int *method, quint32 *uncompressedSize, QString *reason);

    static qint64 startFor(qint64 firstUs);
};
