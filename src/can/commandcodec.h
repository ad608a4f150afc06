#pragma once

#include "can/canframe.h"
#include "can/commandprotocol.h"
#include "can/replypattern.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

// The command frames and their replies, encoder beside decoder: what the host sends and how a
// battery reads it; what a battery answers, the pattern the host waits for and how the host
// reads the answer. The host (CanService), the simulator (bms-sim) and the tests all speak the
// protocol through these functions, so one round trip over every command checks both ends.
// Pure functions of their arguments: no state, no bus.
//
// Data bytes, multi-byte numbers big-endian. Requests are as long as shown; replies are
// zero-filled to 8 bytes.
//
//   code  request of the host                   reply of the battery
//   0x00  new number (to 0x1F)                  0x01, under the new number
//   0x10  relay, on, six zeros                  none
//   0x83  clock                                 0x01
//   0xE0  0x01, 0x10                            0x01 (not read), clock
//   0xE1  none                                  part 1..3, 7 bytes of the 15-byte version
//   0xE4  none                                  part 1..6, 6 bytes of the 32-byte battery code
//   0xE5  none                                  part 1..6, 6 bytes of the 32-byte model code
//   0xA0  part 1..6, 6 bytes of the code        0x01, after part 6
//   0xA1  part 1..6, 6 bytes of the code        0x01, after part 6
//   0xF1  paramId                               paramId, wire value (4 bytes)
//   0xF0  paramId, wire value (4 bytes)         paramId, 0x01
//   0x44  0x01                                  count (4 bytes)
//   0x45  0x01, 0x01 (start)                    records: sequence 0..10 and 7 record bytes,
//                                               then sequence 11 and the record's last byte
//   0x45  0x01, 0x02 (stop)                     0xFF
//   0x46  0x01, 0x01                            0x01
//
// clock: year - 2000, month, day, hour, minute, second of the local time, six bytes. They are
// read as signed bytes, so that a byte of 0x80 and up makes the clock invalid rather than some
// plausible-looking time. Wire value: display value + the parameter's offset (32-bit
// wrap-around), which lifts signed values into the battery's unsigned registers.
namespace CommandCodec {

// The parts of an identifier (drawn in canservice.h).
constexpr quint8 codeOf(quint32 id)
{
    return quint8(id >> 16);
}
constexpr quint8 destinationOf(quint32 id)
{
    return quint8(id >> 8);
}
constexpr quint8 senderOf(quint32 id)
{
    return quint8(id);
}
// Whether id is a request of the host: 0x18 | code | destination | 0x80.
constexpr bool isRequest(quint32 id)
{
    return id == CommandProtocol::requestId(codeOf(id), destinationOf(id));
}
// Whether id carries code under the protocol's priority, as replies do; the destination byte
// is not looked at.
constexpr bool hasCode(quint32 id, quint8 code)
{
    return (id >> 16) == ((CommandProtocol::PriorityBits >> 16) | code);
}

constexpr quint32 wireValue(qint32 display, quint32 offset)
{
    return quint32(display) + offset;
}
constexpr qint32 displayValue(quint32 wire, quint32 offset)
{
    return qint32(wire - offset);
}

// How a text that travels in parts is cut: ReadVersion, or any of the four code commands.
struct TextLayout
{
    int size;
    int partSize;
    int parts;
};
TextLayout textLayoutOf(quint8 code);

// One part of such a text: its number and exactly partSize bytes (zero-filled).
struct Part
{
    int number = 0;
    QByteArray bytes;
};
struct Parameter
{
    quint8 paramId = 0;
    quint32 wire = 0;
};
struct RelaySwitch
{
    quint8 relay = 0;
    quint8 on = 0;
};

// Requests of the host, and how the battery reads them. The decoders read zeros beyond the end
// of short data; the battery ignores a set-clock or write-parameter request shorter than these.
constexpr int SetTimeSize = 6;
constexpr int WriteParameterSize = 5;

CanFrame setRelay(quint8 devId, quint8 relay, quint8 on);
RelaySwitch relaySwitchOf(const QByteArray &request);
CanFrame setDeviceId(quint8 newId);
quint8 newIdOf(const QByteArray &request);
CanFrame setTime(quint8 devId, const QDateTime &time);
QDateTime clockOf(const QByteArray &request);
CanFrame readTime(quint8 devId);
// code: ReadVersion, ReadBatteryCode or ReadModelCode.
CanFrame readText(quint8 code, quint8 devId);
// code: WriteBatteryCode or WriteModelCode. All its parts, whatever the text's length: bytes
// beyond the text are zeros, text beyond the parts is not sent.
QList<CanFrame> writeCode(quint8 code, quint8 devId, const QByteArray &text);
// A part of a code written or of a text read, by the command's code.
Part partOf(quint8 code, const QByteArray &data);
CanFrame readParameter(quint8 devId, quint8 paramId);
// The parameter id of a read request, of a read's reply and of a write's acknowledgement.
quint8 paramIdOf(const QByteArray &data);
CanFrame writeParameter(quint8 devId, quint8 paramId, quint32 wire);
// A write request, or a read's reply.
Parameter parameterOf(const QByteArray &data);
CanFrame readHistoryCount(quint8 devId);
// subCommand: TransferStart or TransferStop.
CanFrame historyTransfer(quint8 devId, quint8 subCommand);
quint8 transferSubCommandOf(const QByteArray &request);
CanFrame clearHistory(quint8 devId);

// Replies of a battery, the patterns the host waits for, and how the host reads them.
CanFrame acknowledgement(quint8 code, quint8 devId);
ReplyPattern awaitAcknowledgement(quint8 code, quint8 devId);
CanFrame parameterAcknowledgement(quint8 devId, quint8 paramId);
ReplyPattern awaitParameterAcknowledgement(quint8 devId, quint8 paramId);
CanFrame transferStopAcknowledgement(quint8 devId);
ReplyPattern awaitTransferStop(quint8 devId);
// Any reply with code from devId: the clock and the count.
ReplyPattern awaitReply(quint8 code, quint8 devId);
CanFrame timeReply(quint8 devId, const QDateTime &time);
QDateTime repliedClockOf(const QByteArray &reply);
// Part part of text, cut the way code sends it; bytes beyond the text are zeros.
CanFrame textPart(quint8 code, quint8 devId, const QByteArray &text, int part);
// The battery sends its parts in order, so the last one closes the answer.
ReplyPattern awaitLastTextPart(quint8 code, quint8 devId);
CanFrame parameterReply(quint8 devId, quint8 paramId, quint32 wire);
ReplyPattern awaitParameter(quint8 devId, quint8 paramId);
CanFrame historyCountReply(quint8 devId, quint32 count);
quint32 historyCountOf(const QByteArray &reply);
// The twelve transfer frames of one HistoryRecordSize-byte record, sequences 0 to 11.
QList<CanFrame> historyFrames(quint8 devId, const QByteArray &record);
// The sequence of a transfer frame; above LastHistorySequence it carries no record bytes.
int historySequenceOf(const QByteArray &frame);
// Copies the record bytes of a transfer frame (sequence 0 to 11) to their place in record,
// which holds HistoryRecordSize bytes.
void placeHistoryBytes(const QByteArray &frame, QByteArray &record);

} // namespace CommandCodec
