#include "signalnames.h"

#include "signals/framekey.h"
#include "signals/signalindex.h"

#include <QHash>

namespace {

// Signals 0 to 145 by index, named as in signalindex.h; the one-bit flags of frames 0x50080 and
// 0x60080 are named by rule (Flags5Bit0 .. Flags5Bit31, Flags6Bit0 .. Flags6Bit31).
const char *const FixedNames[] = {
    "SumVolt",
    "Curr",
    "SOC",
    "SOH",
    "Frame0Value4",
    "SysStatus",
    "AlarmLevel6",
    "ChargeOverCurr",
    "DischargeOverCurr",
    "ChargeHiTemp",
    "DischargeHiTemp",
    "ChargeLoTemp",
    "DischargeLoTemp",
    "CellDiffVolt",
    "DiffTemp",
    "AlarmLevel15",
    "CellOverVolt",
    "CellUnderVolt",
    "AlarmLevel18",
    "AlarmLevel19",
    "AlarmLevel20",
    "AlarmLevel21",
    "PackOverVolt",
    "PackUnderVolt",
    "AlarmLevel24",
    "FaultByte0",
    "FaultByte1",
    "AfeOv",
    "AfeUv",
    "FaultFlag29",
    "FaultFlag30",
    "FaultFlag31",
    "FaultFlag32",
    "FaultFlag33",
    "DuplicateSlaveAddrError",
    "InterCanCommunError",
    "ExterCanCommunError",
    "Rs485CommunicationError",
    "AFECommunicationError",
    "FaultFlag39",
    "VoltageDetectError",
    "TemperatureDetectError",
    "CellVoltageWireBreak",
    "TempWireBreak",
    "FaultFlag44",
    "FaultFlag45",
    "FaultFlag46",
    "FaultFlag47",
    "FaultFlag48",
    "Flag49",
    "Flag50",
    "Flag51",
    "Flag52",
    "Flag53",
    "Flag54",
    "Flag55",
    "Flag56",
    "Main2ndRelay",
    "ChargeRelay",
    "DischargeRelay",
    "PrechargeRelay",
    "PosRelay",
    "Byte62",
    "RemainCapacity",
    "MaxCellT",
    "MaxCellTNo",
    "MinCellT",
    "MinCellTNo",
    "TempValue68",
    "MaxCellV",
    "MaxCellVNo",
    "MinCellV",
    "MinCellVNo",
    "DiffVolt",
    "Voltage74",
    "RatedCapacity",
    "Count76",
    "Byte77",
    "LifeCounter",
    "RtcYear",
    "RtcMonth",
    "RtcDay",
    "RtcHour",
    "RtcMinute",
    "RtcSecond",
    "Word85",
    "Value86",
    "Value87",
    "DateYear88",
    "DateMonth89",
    "DateDay90",
    "Word91",
    "Total92",
    "TotalDischargeEnergy",
    "StatCount1",
    "StatCount2",
    "StatCount3",
    "StatCount4",
    "StatHours1",
    "StatHours2",
    "StatHours3",
    "StatHours4",
    "StatHours5",
    "StatHours6",
    "StatHours7",
    "StatHours8",
    "Temp1",
    "Temp2",
    "Temp3",
    "Temp4",
    "Temp5",
    "Temp6",
    "Temp7",
    "Temp8",
    "Volt1",
    "Volt2",
    "Volt3",
    "Volt4",
    "Volt5",
    "Volt6",
    "Volt7",
    "Volt8",
    "Volt9",
    "Volt10",
    "Volt11",
    "Volt12",
    "Volt13",
    "Volt14",
    "Volt15",
    "Volt16",
    "Volt17",
    "Volt18",
    "Volt19",
    "Volt20",
    "Volt21",
    "Volt22",
    "Volt23",
    "Volt24",
    "Volt25",
    "Volt26",
    "Volt27",
    "Volt28",
    "Volt29",
    "Volt30",
    "Volt31",
    "Volt32",
};
constexpr int FixedCount = int(sizeof(FixedNames) / sizeof(FixedNames[0]));
static_assert(FixedCount == Signal::Flags5Bit0, "one name for every signal before the flags");

constexpr int FlagsPerFrame = 32;

struct FrameName
{
    quint32 key;
    const char *name;
};

const FrameName FrameNames[] = {
    { FrameKey::PackStatus, "PackStatus" },
    { FrameKey::AlarmLevels, "AlarmLevels" },
    { FrameKey::Faults, "Faults" },
    { FrameKey::Relays, "Relays" },
    { FrameKey::Capacity, "Capacity" },
    { FrameKey::TempExtremes, "TempExtremes" },
    { FrameKey::CellVoltExtremes, "CellVoltExtremes" },
    { FrameKey::PackInfo, "PackInfo" },
    { FrameKey::Clock, "Clock" },
    { FrameKey::Values32, "Values32" },
    { FrameKey::Date, "Date" },
    { FrameKey::LifetimeTotals, "LifetimeTotals" },
    { FrameKey::LifetimeCounts, "LifetimeCounts" },
    { FrameKey::LifetimeHours1, "LifetimeHours1" },
    { FrameKey::LifetimeHours2, "LifetimeHours2" },
    { FrameKey::Temperatures, "Temperatures" },
    { FrameKey::CellVolts1to4, "CellVolts1to4" },
    { FrameKey::CellVolts5to8, "CellVolts5to8" },
    { FrameKey::CellVolts9to12, "CellVolts9to12" },
    { FrameKey::CellVolts13to16, "CellVolts13to16" },
    { FrameKey::CellVolts17to20, "CellVolts17to20" },
    { FrameKey::CellVolts21to24, "CellVolts21to24" },
    { FrameKey::CellVolts25to28, "CellVolts25to28" },
    { FrameKey::CellVolts29to32, "CellVolts29to32" },
    { FrameKey::Flags5, "Flags5" },
    { FrameKey::Flags6, "Flags6" },
};
static_assert(
    sizeof(FrameNames) / sizeof(FrameNames[0]) == FrameKey::Count, "one name for every frame kind");

const QStringList &allNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const char *name : FixedNames)
            list.append(QString::fromLatin1(name));
        for (int b = 0; b < FlagsPerFrame; ++b)
            list.append(QStringLiteral("Flags5Bit%1").arg(b));
        for (int b = 0; b < FlagsPerFrame; ++b)
            list.append(QStringLiteral("Flags6Bit%1").arg(b));
        return list;
    }();
    return names;
}

const QHash<QString, int> &indexByLowerName()
{
    static const QHash<QString, int> byName = [] {
        QHash<QString, int> hash;
        const QStringList &names = allNames();
        for (int i = 0; i < names.size(); ++i)
            hash.insert(names.at(i).toLower(), i);
        return hash;
    }();
    return byName;
}

} // namespace

QString SignalNames::name(int index)
{
    return allNames().value(index);
}

const QStringList &SignalNames::names()
{
    return allNames();
}

int SignalNames::indexOf(const QString &name)
{
    return indexByLowerName().value(name.trimmed().toLower(), -1);
}

QString SignalNames::frameName(quint32 frameKey)
{
    for (const FrameName &frame : FrameNames) {
        if (frame.key == frameKey)
            return QString::fromLatin1(frame.name);
    }
    return QString();
}
