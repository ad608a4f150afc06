#pragma once

#include <QByteArray>
#include <QtGlobal>

// The frame of the serial upgrade protocol, the same in both directions (multi-byte fields
// little-endian):
//
//    offset  0    1    2        3     4    5 .. 4+L   5+L .. 6+L   7+L  8+L
//          +----+----+--------+-----+----+----------+------------+----+----+
//          | AA | 55 | target | 50  | L  |   body   |  CRC-16    | 0D | 0A |
//          +----+----+--------+-----+----+----------+------------+----+----+
//                              \__ CRC-16/XMODEM over these L+2 __/
//
// A frame is L+9 bytes. The host's requests carry a body of sub-command (2 bytes), argument
// (2 bytes) and payload; a boot loader's reply carries its status in body byte 0 (1: accepted)
// and, answering the version query, its 5-byte revision tag at frame offsets 7 to 11.
//
// Pure functions and a receive buffer, without a port: the upgrade service and the simulated
// boot loader both build and parse their frames here.
class UartFrame
{
public:
    static constexpr quint8 Header0 = 0xAA;
    static constexpr quint8 Header1 = 0x55;
    static constexpr quint8 Command = 0x50; // 'P'
    static constexpr int Overhead = 9; // header, target, command, length, CRC, CR LF
    static constexpr int MaxBody = 255;
    static constexpr int RequestHeader = 4; // sub-command and argument

    enum SubCommand : quint16 {
        RequestUpgrade = 1, // also the boot-version query
        PrepareUpgrade = 2,
        StartFrame = 3,
        FileData = 4,
        EndFrame = 5,
        ImageCrc = 6,
    };

    // offsets of a reply's fields
    static constexpr int StatusOffset = 5;
    static constexpr int RevisionTagOffset = 7;
    static constexpr int RevisionTagSize = 5;
    static constexpr quint8 Accepted = 1;

    // A whole frame around body (at most MaxBody bytes; more is cut).
    static QByteArray build(quint8 target, const QByteArray &body);
    // A request: sub-command, argument, payload (at most MaxBody - 4 bytes).
    static QByteArray request(
        quint8 target, quint16 subCommand, quint16 argument, const QByteArray &payload = {});

    // A boot loader's reply: its status (Accepted, or 0 to refuse), the low byte of the
    // sub-command it answers, then extra (the revision tag, answering the version query).
    static QByteArray reply(
        quint8 target, bool accepted, quint16 subCommand, const QByteArray &extra = {});

    // Fields of a whole frame as the receive buffer hands it out.
    static quint8 target(const QByteArray &frame) { return quint8(frame.at(2)); }
    static quint8 bodyLength(const QByteArray &frame) { return quint8(frame.at(4)); }
    static QByteArray body(const QByteArray &frame) { return frame.mid(5, bodyLength(frame)); }
    // A request's fields; 0 and empty for a body too short to hold them.
    static quint16 subCommand(const QByteArray &frame);
    static quint16 argument(const QByteArray &frame);
    static QByteArray payload(const QByteArray &frame);
    // A reply's fields: whether its status is Accepted (false without a body), and the
    // revision tag it carries (what there is of it).
    static bool isAccepted(const QByteArray &frame)
    {
        return bodyLength(frame) > 0 && quint8(frame.at(StatusOffset)) == Accepted;
    }
    static QByteArray revisionTag(const QByteArray &frame)
    {
        return frame.mid(RevisionTagOffset, RevisionTagSize);
    }

    // A 16-bit field as the frames carry it: low byte first; and back from the first two bytes
    // (missing bytes read as 0).
    static QByteArray littleEndian16(quint16 value);
    static quint16 fromLittleEndian16(const QByteArray &bytes);

    // CRC-16/XMODEM over the whole of data, whatever its length.
    static quint16 crc(const QByteArray &data);

    // Bytes in upper-case hexadecimal, one space between bytes and a line break instead of
    // the space after every 16th byte: the transcript's form.
    static QString hexText(const QByteArray &bytes);
};

// Bytes received and not yet consumed, cut into frames. Noise and broken frames cost only
// themselves: the buffer drops bytes up to the next AA 55 that can start a frame, so a good
// reply behind them is still found.
//
//   UartReceiveBuffer buffer;
//   buffer.append(port->readAll());
//   for (auto item = buffer.next(); item.kind != UartReceiveBuffer::NeedMore; item = buffer.next())
//       ...
class UartReceiveBuffer
{
public:
    enum Kind {
        NeedMore, // nothing complete: wait for more bytes
        Frame, // frame: a whole frame, header to CR LF, its CRC good
        Noise, // dropped bytes before a header (dropped says how many)
        CrcError, // a header whose frame fails its CRC (computed and received); one byte dropped
        BadTrailer, // a frame with a good CRC but no CR LF at its end; dropped whole
    };
    struct Item
    {
        Kind kind = NeedMore;
        QByteArray frame;
        int dropped = 0;
        quint16 computedCrc = 0;
        quint16 receivedCrc = 0;
    };

    void append(const QByteArray &bytes) { m_bytes.append(bytes); }
    void clear() { m_bytes.clear(); }
    int size() const { return m_bytes.size(); }
    bool isEmpty() const { return m_bytes.isEmpty(); }

    // The next thing the buffer can tell, consuming what it reports.
    Item next();

private:
    // Index of the first header at or after from; a lone AA at the very end counts as one, as
    // its 55 may still come.
    int findHeader(int from) const;
    // Whether a complete frame with a good CRC and CR LF starts at index.
    bool isCompleteFrameAt(int index) const;
    Item drop(int count);

    QByteArray m_bytes;
};
