#pragma once

#include <QByteArray>
#include <QtGlobal>

// What an operation waiting for a reply looks for among the received frames.
//
// The reply identifier is kept split the way it is compared: the top three bytes (priority,
// command code, destination 0x80) as the prefix and the sender's device number as the low
// byte. The two data bytes narrow the match down: a first byte of 0 accepts any frame with the
// identifier, a second byte of 0xFF accepts any second byte. An id-only pattern can therefore
// not ask for a first byte of 0; no command needs to.
struct ReplyPattern
{
    static constexpr quint8 AnyFirstByte = 0x00;
    static constexpr quint8 AnySecondByte = 0xFF;

    quint32 prefix = 0; // reply identifier >> 8, 24 bits
    quint8 devId = 0; // reply identifier & 0xFF
    quint8 firstByte = AnyFirstByte;
    quint8 secondByte = AnySecondByte;

    static ReplyPattern forReply(
        quint32 replyId, quint8 firstByte = AnyFirstByte, quint8 secondByte = AnySecondByte)
    {
        ReplyPattern pattern;
        pattern.prefix = (replyId >> 8) & 0xFFFFFFu;
        pattern.devId = quint8(replyId & 0xFFu);
        pattern.firstByte = firstByte;
        pattern.secondByte = secondByte;
        return pattern;
    }

    quint32 replyId() const { return (prefix << 8) | devId; }

    // Frames shorter than the bytes the pattern tests never match; the adapter always delivers
    // eight, but nothing here may read past what it was given.
    bool matches(quint32 id, const QByteArray &data) const
    {
        if (id != replyId())
            return false;
        if (firstByte == AnyFirstByte)
            return true;
        if (data.isEmpty() || quint8(data.at(0)) != firstByte)
            return false;
        if (secondByte == AnySecondByte)
            return true;
        return data.size() >= 2 && quint8(data.at(1)) == secondByte;
    }

    bool operator==(const ReplyPattern &other) const
    {
        return prefix == other.prefix && devId == other.devId && firstByte == other.firstByte
            && secondByte == other.secondByte;
    }
    bool operator!=(const ReplyPattern &other) const { return !(*this == other); }
};
