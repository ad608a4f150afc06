#include "commandcodec.h"

#include <QtEndian>

#include <initializer_list>

using namespace CommandProtocol;

namespace CommandCodec {

namespace {

constexpr int ReplySize = 8;

quint8 byteAt(const QByteArray &data, int index)
{
    return index < data.size() ? quint8(data.at(index)) : quint8(0);
}

QByteArray bytes(std::initializer_list<quint8> values)
{
    QByteArray data;
    for (quint8 value : values)
        data.append(char(value));
    return data;
}

QByteArray bigEndian(quint32 value)
{
    QByteArray data(int(sizeof value), '\0');
    qToBigEndian(value, data.data());
    return data;
}

quint32 bigEndianAt(const QByteArray &data, int index)
{
    quint32 value = 0;
    for (int i = 0; i < int(sizeof value); ++i)
        value = value << 8 | byteAt(data, index + i);
    return value;
}

CanFrame request(quint8 code, quint8 devId, const QByteArray &data)
{
    return { requestId(code, devId), data };
}

CanFrame reply(quint8 code, quint8 devId, const QByteArray &data)
{
    return { replyId(code, devId), data.leftJustified(ReplySize, '\0', true) };
}

QByteArray clockBytes(const QDateTime &time)
{
    const QDateTime local = time.toLocalTime();
    const QDate date = local.date();
    const QTime clock = local.time();
    return bytes({ quint8(date.year() - 2000), quint8(date.month()), quint8(date.day()),
        quint8(clock.hour()), quint8(clock.minute()), quint8(clock.second()) });
}

QDateTime clockAt(const QByteArray &data, int index)
{
    const auto at = [&](int i) { return int(qint8(byteAt(data, index + i))); };
    return QDateTime(QDate(2000 + at(0), at(1), at(2)), QTime(at(3), at(4), at(5)), Qt::LocalTime);
}

} // namespace

TextLayout textLayoutOf(quint8 code)
{
    if (code == ReadVersion)
        return { VersionSize, VersionPartSize, VersionParts };
    return { CodeSize, CodePartSize, CodeParts };
}

CanFrame setRelay(quint8 devId, quint8 relay, quint8 on)
{
    return request(SetRelay, devId, bytes({ relay, on, 0, 0, 0, 0, 0, 0 }));
}

RelaySwitch relaySwitchOf(const QByteArray &request)
{
    return { byteAt(request, 0), byteAt(request, 1) };
}

CanFrame setDeviceId(quint8 newId)
{
    return request(SetDeviceId, SetDeviceIdDestination, bytes({ newId }));
}

quint8 newIdOf(const QByteArray &request)
{
    return byteAt(request, 0);
}

CanFrame setTime(quint8 devId, const QDateTime &time)
{
    return request(SetTime, devId, clockBytes(time));
}

QDateTime clockOf(const QByteArray &request)
{
    return clockAt(request, 0);
}

CanFrame readTime(quint8 devId)
{
    return request(ReadTime, devId, bytes({ 0x01, 0x10 }));
}

CanFrame readText(quint8 code, quint8 devId)
{
    return request(code, devId, QByteArray());
}

QList<CanFrame> writeCode(quint8 code, quint8 devId, const QByteArray &text)
{
    QList<CanFrame> frames;
    for (int part = 1; part <= CodeParts; ++part) {
        const QByteArray partBytes = text.mid((part - 1) * CodePartSize, CodePartSize);
        frames.append(
            request(code, devId, char(part) + partBytes.leftJustified(CodePartSize, '\0', true)));
    }
    return frames;
}

Part partOf(quint8 code, const QByteArray &data)
{
    const int partSize = textLayoutOf(code).partSize;
    return { byteAt(data, 0), data.mid(1, partSize).leftJustified(partSize, '\0', true) };
}

CanFrame readParameter(quint8 devId, quint8 paramId)
{
    return request(ReadParameter, devId, bytes({ paramId }));
}

quint8 paramIdOf(const QByteArray &data)
{
    return byteAt(data, 0);
}

CanFrame writeParameter(quint8 devId, quint8 paramId, quint32 wire)
{
    return request(WriteParameter, devId, char(paramId) + bigEndian(wire));
}

Parameter parameterOf(const QByteArray &data)
{
    return { byteAt(data, 0), bigEndianAt(data, 1) };
}

CanFrame readHistoryCount(quint8 devId)
{
    return request(HistoryCount, devId, bytes({ 0x01 }));
}

CanFrame historyTransfer(quint8 devId, quint8 subCommand)
{
    return request(HistoryTransfer, devId, bytes({ 0x01, subCommand }));
}

quint8 transferSubCommandOf(const QByteArray &request)
{
    return byteAt(request, 1);
}

CanFrame clearHistory(quint8 devId)
{
    return request(ClearHistory, devId, bytes({ 0x01, 0x01 }));
}

CanFrame acknowledgement(quint8 code, quint8 devId)
{
    return reply(code, devId, bytes({ Acknowledged }));
}

ReplyPattern awaitAcknowledgement(quint8 code, quint8 devId)
{
    return ReplyPattern::forReply(replyId(code, devId), Acknowledged);
}

CanFrame parameterAcknowledgement(quint8 devId, quint8 paramId)
{
    return reply(WriteParameter, devId, bytes({ paramId, Acknowledged }));
}

ReplyPattern awaitParameterAcknowledgement(quint8 devId, quint8 paramId)
{
    return ReplyPattern::forReply(replyId(WriteParameter, devId), paramId, Acknowledged);
}

CanFrame transferStopAcknowledgement(quint8 devId)
{
    return reply(HistoryTransfer, devId, bytes({ TransferStopAck }));
}

ReplyPattern awaitTransferStop(quint8 devId)
{
    return ReplyPattern::forReply(replyId(HistoryTransfer, devId), TransferStopAck);
}

ReplyPattern awaitReply(quint8 code, quint8 devId)
{
    return ReplyPattern::forReply(replyId(code, devId));
}

CanFrame timeReply(quint8 devId, const QDateTime &time)
{
    return reply(ReadTime, devId, char(0x01) + clockBytes(time));
}

QDateTime repliedClockOf(const QByteArray &reply)
{
    return clockAt(reply, 1);
}

CanFrame textPart(quint8 code, quint8 devId, const QByteArray &text, int part)
{
    const int partSize = textLayoutOf(code).partSize;
    return reply(code, devId, char(part) + text.mid((part - 1) * partSize, partSize));
}

ReplyPattern awaitLastTextPart(quint8 code, quint8 devId)
{
    return ReplyPattern::forReply(replyId(code, devId), quint8(textLayoutOf(code).parts));
}

CanFrame parameterReply(quint8 devId, quint8 paramId, quint32 wire)
{
    return reply(ReadParameter, devId, char(paramId) + bigEndian(wire));
}

ReplyPattern awaitParameter(quint8 devId, quint8 paramId)
{
    return ReplyPattern::forReply(replyId(ReadParameter, devId), paramId);
}

CanFrame historyCountReply(quint8 devId, quint32 count)
{
    return reply(HistoryCount, devId, bigEndian(count));
}

quint32 historyCountOf(const QByteArray &reply)
{
    return bigEndianAt(reply, 0);
}

QList<CanFrame> historyFrames(quint8 devId, const QByteArray &record)
{
    QList<CanFrame> frames;
    for (int sequence = 0; sequence <= LastHistorySequence; ++sequence) {
        const int count = sequence < LastHistorySequence ? HistoryBytesPerFrame : 1;
        frames.append(reply(HistoryTransfer, devId,
            char(sequence) + record.mid(sequence * HistoryBytesPerFrame, count)));
    }
    return frames;
}

int historySequenceOf(const QByteArray &frame)
{
    return byteAt(frame, 0);
}

void placeHistoryBytes(const QByteArray &frame, QByteArray &record)
{
    const int sequence = historySequenceOf(frame);
    if (sequence < LastHistorySequence)
        record.replace(sequence * HistoryBytesPerFrame, HistoryBytesPerFrame,
            frame.mid(1, HistoryBytesPerFrame).leftJustified(HistoryBytesPerFrame, '\0', true));
    else
        record[HistoryRecordSize - 1] = char(byteAt(frame, 1));
}

} // namespace CommandCodec
