#pragma once

#include <QtGlobal>

// The command protocol between the host and the batteries, as both ends speak it: the command
// codes, the identifiers they travel under and the fixed bytes and sizes of their requests and
// replies. The identifier layout is drawn in canservice.h, the payloads in commandcodec.h.
namespace CommandProtocol {

// The second byte of the identifier.
enum Code : quint8 {
    SetDeviceId = 0x00,
    SetRelay = 0x10,
    HistoryCount = 0x44,
    HistoryTransfer = 0x45,
    ClearHistory = 0x46,
    SetTime = 0x83,
    WriteBatteryCode = 0xA0,
    WriteModelCode = 0xA1,
    ReadTime = 0xE0,
    ReadVersion = 0xE1,
    ReadHardware = 0xE2,
    ReadBatteryCode = 0xE4,
    ReadModelCode = 0xE5,
    WriteParameter = 0xF0,
    ReadParameter = 0xF1,
};

constexpr quint32 PriorityBits = 0x18000000u;
constexpr quint8 HostAddress = 0x80;
// Every battery listens on this destination for a new device number, whatever its own.
constexpr quint8 SetDeviceIdDestination = 0x1F;

// Sub-commands of the history transfer, and the energy counter's pseudo parameter.
constexpr quint8 TransferStart = 0x01;
constexpr quint8 TransferStop = 0x02;
constexpr quint8 TransferStopAck = 0xFF;
constexpr quint8 ClearEnergyParamId = 0xD2;
constexpr quint8 Acknowledged = 0x01;
// A history record travels as sequences 0..10 of seven bytes each, then its last byte alone.
constexpr int LastHistorySequence = 11;
constexpr int HistoryBytesPerFrame = 7;
constexpr int HistoryRecordSize = LastHistorySequence * HistoryBytesPerFrame + 1;

// The texts that travel in numbered parts, 1 to the count: the firmware version (read), the
// battery and model codes (read and written).
constexpr int VersionSize = 15;
constexpr int VersionPartSize = 7;
constexpr int VersionParts = 3;
constexpr int CodeSize = 32;
constexpr int CodePartSize = 6;
constexpr int CodeParts = 6;

constexpr quint32 requestId(quint8 code, quint8 destination)
{
    return PriorityBits | (quint32(code) << 16) | (quint32(destination) << 8) | HostAddress;
}

constexpr quint32 replyId(quint8 code, quint8 devId)
{
    return PriorityBits | (quint32(code) << 16) | (quint32(HostAddress) << 8) | devId;
}

} // namespace CommandProtocol
