#include "blfobject.h"

#include "formats/channelnumber.h"

#include <QDateTime>
#include <QtEndian>

#include <limits>

namespace {

constexpr int MaxDataBytes = 8;
constexpr quint32 ExtendedFlag = 0x80000000u;
constexpr quint32 MaxExtendedId = 0x1FFFFFFF;
constexpr quint32 MaxStandardId = 0x7FF;
constexpr quint8 RemoteFlag = 0x80;
constexpr quint32 TenMicrosFlag = 1;
constexpr quint32 NanosFlag = 2;
constexpr int CanMessageDataSize = 16;
constexpr int CanMessageSize = 32 + CanMessageDataSize;
constexpr int ZlibMethod = 2;
constexpr qint64 MicrosPerMs = 1000;
constexpr int StartTimeAt = 40;
constexpr int LastTimeAt = 56;
constexpr int SystemTimeFields = 8;

template <typename T> void put(QByteArray &bytes, int at, T value)
{
    qToLittleEndian(value, bytes.data() + at);
}

template <typename T> T get(const char *bytes, int at)
{
    return qFromLittleEndian<T>(bytes + at);
}

void putSystemTime(QByteArray &bytes, int at, qint64 timeUs)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(timeUs / MicrosPerMs);
    const QDate date = time.date();
    const QTime clock = time.time();
    const quint16 fields[SystemTimeFields] = { quint16(date.year()), quint16(date.month()),
        quint16(date.dayOfWeek() % 7), quint16(date.day()), quint16(clock.hour()),
        quint16(clock.minute()), quint16(clock.second()), quint16(clock.msec()) };
    for (int i = 0; i < SystemTimeFields; ++i)
        put<quint16>(bytes, at + 2 * i, fields[i]);
}

// A time of all zeros (a file that never held a frame), or one before the epoch, is the epoch.
qint64 systemTime(const char *bytes, int at)
{
    quint16 f[SystemTimeFields];
    for (int i = 0; i < SystemTimeFields; ++i)
        f[i] = get<quint16>(bytes, at + 2 * i);
    const QDateTime time(QDate(f[0], f[1], f[3]), QTime(f[4], f[5], f[6], f[7]));
    return time.isValid() && time.toMSecsSinceEpoch() >= 0 ? time.toMSecsSinceEpoch() * MicrosPerMs
                                                           : 0;
}

bool fail(QString *reason, const QString &text)
{
    *reason = text;
    return false;
}

} // namespace

qint64 BlfObject::startFor(qint64 firstUs)
{
    return firstUs - firstUs % MicrosPerMs;
}

QByteArray BlfObject::fileHeader(const FileHeader &header)
{
    QByteArray bytes(FileHeaderSize, '\0');
    bytes.replace(0, 4, "LOGG");
    put<quint32>(bytes, 4, FileHeaderSize);
    // Application 0 (unknown) at version 0; the log format's version 4.7.1.0.
    bytes[12] = 4;
    bytes[13] = 7;
    bytes[14] = 1;
    put<quint64>(bytes, 16, header.fileSize);
    put<quint64>(bytes, 24, header.uncompressedSize);
    put<quint32>(bytes, 32, header.objectCount);
    put<quint32>(bytes, 36, 0);
    putSystemTime(bytes, StartTimeAt, header.startUs);
    putSystemTime(bytes, LastTimeAt, header.lastUs);
    return bytes;
}

bool BlfObject::readFileHeader(const QByteArray &bytes, FileHeader *header, QString *reason)
{
    if (bytes.size() < FileHeaderSize || !bytes.startsWith("LOGG"))
        return fail(reason, QStringLiteral("no BLF file header (\"LOGG\" and 144 bytes)"));
    const char *data = bytes.constData();
    header->headerSize = get<quint32>(data, 4);
    if (header->headerSize < quint32(FileHeaderSize) || header->headerSize > 65536)
        return fail(reason,
            QStringLiteral("a file header of %1 bytes, not 144 to 65536").arg(header->headerSize));
    header->fileSize = get<quint64>(data, 16);
    header->uncompressedSize = get<quint64>(data, 24);
    header->objectCount = get<quint32>(data, 32);
    header->startUs = systemTime(data, StartTimeAt);
    header->lastUs = systemTime(data, LastTimeAt);
    return true;
}

bool BlfObject::readHeader(const char *bytes, Header *header, QString *reason)
{
    if (qstrncmp(bytes, "LOBJ", 4) != 0)
        return fail(reason, QStringLiteral("no object (\"LOBJ\") where one should begin"));
    header->headerSize = get<quint16>(bytes, 4);
    header->headerVersion = get<quint16>(bytes, 6);
    header->size = get<quint32>(bytes, 8);
    header->type = get<quint32>(bytes, 12);
    if (header->headerSize < BaseHeaderSize || header->size < quint32(header->headerSize))
        return fail(reason,
            QStringLiteral("an object of %1 bytes with a header of %2")
                .arg(header->size)
                .arg(header->headerSize));
    if (header->size > quint32(MaxObjectBytes))
        return fail(reason,
            QStringLiteral("an object of %1 bytes, more than %2")
                .arg(header->size)
                .arg(MaxObjectBytes));
    return true;
}

bool BlfObject::readCanMessage(const QByteArray &object, const Header &header, qint64 startUs,
    LoggedFrame *frame, QString *reason)
{
    constexpr int TimeAt = 24;
    if (header.headerSize < TimeAt + 8 || object.size() < header.headerSize + CanMessageDataSize)
        return fail(reason, QStringLiteral("a CAN message object too short for its fields"));
    const char *bytes = object.constData();
    const quint32 flags = get<quint32>(bytes, 16);
    const quint64 stamp = get<quint64>(bytes, TimeAt);
    quint64 stampUs = 0;
    if (flags & NanosFlag)
        stampUs = (stamp + 500) / 1000; // to the nearest: writers that count in floating point
            // land a few nanoseconds off
    else if (flags & TenMicrosFlag)
        stampUs = stamp * 10;
    else
        return fail(reason, QStringLiteral("a time stamp in no known unit (flags %1)").arg(flags));
    if (stampUs > quint64(std::numeric_limits<qint64>::max() - startUs))
        return fail(reason, QStringLiteral("a time stamp too large"));

    const char *data = bytes + header.headerSize;
    const int channel = get<quint16>(data, 0);
    const quint8 messageFlags = quint8(data[2]);
    const int dlc = quint8(data[3]);
    const quint32 rawId = get<quint32>(data, 4);
    if (messageFlags & RemoteFlag)
        return fail(reason, QStringLiteral("a remote frame, which this bus does not carry"));
    if (dlc > MaxDataBytes)
        return fail(reason, QStringLiteral("a data length code of %1, above 8").arg(dlc));
    const bool extended = rawId & ExtendedFlag;
    const quint32 id = rawId & ~ExtendedFlag;
    if (id > (extended ? MaxExtendedId : MaxStandardId))
        return fail(reason,
            QStringLiteral("the identifier 0x%1 is too large for %2 bits")
                .arg(id, 0, 16)
                .arg(extended ? 29 : 11));
    frame->timeUs = startUs + qint64(stampUs);
    frame->interfaceName = ChannelNumber::interfaceName(channel);
    frame->id = id;
    frame->extended = extended;
    frame->data = QByteArray(data + 8, dlc);
    return true;
}

QByteArray BlfObject::canMessage(const LoggedFrame &frame, qint64 startUs)
{
    QByteArray bytes(CanMessageSize, '\0');
    bytes.replace(0, 4, "LOBJ");
    put<quint16>(bytes, 4, 32);
    put<quint16>(bytes, 6, 1);
    put<quint32>(bytes, 8, CanMessageSize);
    put<quint32>(bytes, 12, CanMessage);
    put<quint32>(bytes, 16, NanosFlag);
    // A frame before the start (a log out of order) is put at the start: the stamp is unsigned.
    put<quint64>(bytes, 24, quint64(qMax<qint64>(0, frame.timeUs - startUs)) * 1000);
    put<quint16>(bytes, 32, quint16(ChannelNumber::of(frame.interfaceName)));
    const int length = qMin(int(frame.data.size()), MaxDataBytes);
    bytes[35] = char(length);
    put<quint32>(bytes, 36, frame.id | (frame.extended ? ExtendedFlag : 0));
    bytes.replace(40, length, frame.data.constData(), length);
    return bytes;
}

QByteArray BlfObject::container(const QByteArray &compressed, int uncompressedSize)
{
    const quint32 size = quint32(ContainerHeaderSize + compressed.size());
    QByteArray bytes(ContainerHeaderSize, '\0');
    bytes.replace(0, 4, "LOBJ");
    put<quint16>(bytes, 4, BaseHeaderSize);
    put<quint16>(bytes, 6, 1);
    put<quint32>(bytes, 8, size);
    put<quint32>(bytes, 12, LogContainer);
    put<quint16>(bytes, 16, ZlibMethod);
    put<quint32>(bytes, 24, quint32(uncompressedSize));
    bytes += compressed;
    bytes += QByteArray(padding(size), '\0');
    return bytes;
}

bool BlfObject::readContainer(
    const QByteArray &object, int *method, quint32 *uncompressedSize, QString *reason)
{
    if (object.size() < ContainerHeaderSize)
        return fail(reason, QStringLiteral("a log container too short for its header"));
    *method = get<quint16>(object.constData(), 16);
    *uncompressedSize = get<quint32>(object.constData(), 24);
    if (*method != 0 && *method != ZlibMethod)
        return fail(reason,
            QStringLiteral("a log container compressed by method %1, not zlib (2)").arg(*method));
    if (*uncompressedSize > quint32(MaxObjectBytes))
        return fail(reason,
            QStringLiteral("a log container of %1 bytes uncompressed, more than %2")
                .arg(*uncompressedSize)
                .arg(MaxObjectBytes));
    return true;
}
