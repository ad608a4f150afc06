#pragma once

#include <QObject>

// The broadcast frame kinds. A battery sends frame kind K as the 29-bit identifier
// (K << 8) | devId, so the key is the identifier without its low byte. Keys are compared as
// whole numbers: an identifier whose upper bits differ is a different key, not the same frame.
namespace FrameKey {
// The enumerators' names are the frame kinds' names as text (SignalNames::frameName).
Q_NAMESPACE

enum Key : quint32 {
    PackStatus = 0x20080, // voltage, current, SOC, SOH, status
    AlarmLevels = 0x20180,
    Faults = 0x20280,
    Relays = 0x20480,
    Capacity = 0x20580,
    TempExtremes = 0x20780,
    CellVoltExtremes = 0x20980,
    PackInfo = 0x20A80, // rated capacity and the life counter
    Clock = 0x20B80,
    Values32 = 0x20C80,
    Date = 0x20D80,
    LifetimeTotals = 0x20E80,
    LifetimeCounts = 0x20F80,
    LifetimeHours1 = 0x21080,
    LifetimeHours2 = 0x21180,
    Temperatures = 0x30080,
    CellVolts1to4 = 0x40080,
    CellVolts5to8 = 0x40180,
    CellVolts9to12 = 0x40280,
    CellVolts13to16 = 0x40380,
    CellVolts17to20 = 0x40480,
    CellVolts21to24 = 0x40580,
    CellVolts25to28 = 0x40680,
    CellVolts29to32 = 0x40780,
    Flags5 = 0x50080,
    Flags6 = 0x60080,
};
Q_ENUM_NS(Key)

// Frame kinds on the bus; the catalogue lists them in the order above.
constexpr int Count = 26;

constexpr quint32 identifier(quint32 frameKey, quint8 devId)
{
    return (frameKey << 8) | devId;
}

} // namespace FrameKey
