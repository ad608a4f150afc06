#pragma once

#include <QObject>

// The names of the broadcast signals. A signal's number is its position in the catalogue built by
// AbstractSignalValue and the key under which the store keeps its value; pages, alarm lists and
// recordings ask for values by these names, never by bare numbers.
//
// Positions are given as in the catalogue: "bytes a-b" is a big-endian field with byte a most
// significant (see the bit picture in abstractsignalvalue.h).
namespace Signal {
// The enumerators' names are the signals' names as text (SignalNames).
Q_NAMESPACE

enum Index : int {
    // 0x20080: pack values
    SumVolt = 0, // bytes 0-1, 0.1 V
    Curr = 1, // bytes 2-3, 0.1 A, offset -300
    SOC = 2, // byte 4 and bits 7-6 of byte 5, 0.1 %
    SOH = 3, // bits 5-0 of byte 5 and bits 7-4 of byte 6, 0.1
    Frame0Value4 = 4, // bits 3-0 of byte 6 and bits 7-2 of byte 7, 0.1
    SysStatus = 5, // bits 1-0 of byte 7: 0 static, 1 charging, 2 discharging, 3 offline

    // 0x20180: two-bit alarm levels, 0 none, 1 level 1 (alarm), 2 level 2 (protection)
    AlarmLevel6 = 6, // byte 0 bits 1-0
    ChargeOverCurr = 7, // byte 0 bits 3-2
    DischargeOverCurr = 8, // byte 0 bits 5-4
    ChargeHiTemp = 9, // byte 0 bits 7-6
    DischargeHiTemp = 10, // byte 1 bits 1-0
    ChargeLoTemp = 11, // byte 1 bits 3-2
    DischargeLoTemp = 12, // byte 1 bits 5-4
    CellDiffVolt = 13, // byte 1 bits 7-6
    DiffTemp = 14, // byte 2 bits 1-0
    AlarmLevel15 = 15, // byte 2 bits 3-2
    CellOverVolt = 16, // byte 2 bits 5-4
    CellUnderVolt = 17, // byte 2 bits 7-6
    AlarmLevel18 = 18, // byte 3 bits 1-0
    AlarmLevel19 = 19, // byte 3 bits 3-2
    AlarmLevel20 = 20, // byte 3 bits 5-4
    AlarmLevel21 = 21, // byte 5 bits 5-4
    PackOverVolt = 22, // byte 5 bits 7-6
    PackUnderVolt = 23, // byte 6 bits 1-0
    AlarmLevel24 = 24, // byte 6 bits 3-2

    // 0x20280: fault bytes and one-bit fault flags, 1 = active
    FaultByte0 = 25, // byte 0
    FaultByte1 = 26, // byte 1
    AfeOv = 27, // byte 2 bit 0
    AfeUv = 28, // byte 2 bit 1
    FaultFlag29 = 29, // byte 2 bit 2
    FaultFlag30 = 30, // byte 2 bit 3
    FaultFlag31 = 31, // byte 2 bit 4
    FaultFlag32 = 32, // byte 2 bit 5
    FaultFlag33 = 33, // byte 2 bit 6
    DuplicateSlaveAddrError = 34, // byte 3 bit 0
    InterCanCommunError = 35, // byte 3 bit 1
    ExterCanCommunError = 36, // byte 3 bit 2
    Rs485CommunicationError = 37, // byte 3 bit 3
    AFECommunicationError = 38, // byte 3 bit 4
    FaultFlag39 = 39, // byte 3 bit 5
    VoltageDetectError = 40, // byte 4 bit 0
    TemperatureDetectError = 41, // byte 4 bit 1
    CellVoltageWireBreak = 42, // byte 4 bit 2
    TempWireBreak = 43, // byte 4 bit 3
    FaultFlag44 = 44, // byte 5 bit 0
    FaultFlag45 = 45, // byte 5 bit 1
    FaultFlag46 = 46, // byte 5 bit 2
    FaultFlag47 = 47, // byte 5 bit 3
    FaultFlag48 = 48, // byte 5 bit 4

    // 0x20480: flags and relay states, 1 = closed
    Flag49 = 49, // byte 0 bit 0
    Flag50 = 50, // byte 0 bit 1
    Flag51 = 51, // byte 0 bit 2
    Flag52 = 52, // byte 0 bit 3
    Flag53 = 53, // byte 0 bit 4
    Flag54 = 54, // byte 0 bit 5
    Flag55 = 55, // byte 0 bit 6
    Flag56 = 56, // byte 0 bit 7
    Main2ndRelay = 57, // byte 2 bit 0
    ChargeRelay = 58, // byte 2 bit 1
    DischargeRelay = 59, // byte 2 bit 2
    PrechargeRelay = 60, // byte 2 bit 3
    PosRelay = 61, // byte 2 bit 4
    Byte62 = 62, // byte 6

    // 0x20580
    RemainCapacity = 63, // bytes 0-1, 0.01 Ah

    // 0x20780: temperature extremes, degrees with offset -40
    MaxCellT = 64, // byte 0
    MaxCellTNo = 65, // byte 1
    MinCellT = 66, // byte 2
    MinCellTNo = 67, // byte 3
    TempValue68 = 68, // byte 4, degrees without offset

    // 0x20980: cell voltage extremes, 0.001 V
    MaxCellV = 69, // bytes 0-1
    MaxCellVNo = 70, // byte 2
    MinCellV = 71, // bytes 3-4
    MinCellVNo = 72, // byte 5
    DiffVolt = 73, // bytes 6-7

    // 0x20A80
    Voltage74 = 74, // bytes 0-1, 0.1 V
    RatedCapacity = 75, // bytes 2-3, 0.01 Ah
    Count76 = 76, // byte 4
    Byte77 = 77, // byte 5
    LifeCounter = 78, // byte 7; while it moves, the battery counts as online

    // 0x20B80: the BMS clock
    RtcYear = 79, // byte 0, year - 2000
    RtcMonth = 80, // byte 1
    RtcDay = 81, // byte 2
    RtcHour = 82, // byte 3
    RtcMinute = 83, // byte 4
    RtcSecond = 84, // byte 5
    Word85 = 85, // bytes 6-7

    // 0x20C80
    Value86 = 86, // bytes 0-3, 0.001
    Value87 = 87, // bytes 4-7, 0.001

    // 0x20D80: a date in 16-bit fields
    DateYear88 = 88, // bytes 0-1, year - 2000
    DateMonth89 = 89, // bytes 2-3
    DateDay90 = 90, // bytes 4-5
    Word91 = 91, // bytes 6-7

    // 0x20E80: 32-bit lifetime totals, never sign-extended
    Total92 = 92, // bytes 0-3
    TotalDischargeEnergy = 93, // bytes 4-7

    // 0x20F80: lifetime event counters
    StatCount1 = 94, // bytes 0-1
    StatCount2 = 95, // bytes 2-3
    StatCount3 = 96, // bytes 4-5
    StatCount4 = 97, // bytes 6-7

    // 0x21080 and 0x21180: lifetime hours, 0.01 h, two bytes each from byte 0 on
    StatHours1 = 98,
    StatHours2 = 99,
    StatHours3 = 100,
    StatHours4 = 101,
    StatHours5 = 102,
    StatHours6 = 103,
    StatHours7 = 104,
    StatHours8 = 105,

    // 0x30080: temperature sensor k + 1 in byte k, offset -40
    Temp1 = 106,
    Temp2 = 107,
    Temp3 = 108,
    Temp4 = 109,
    Temp5 = 110,
    Temp6 = 111,
    Temp7 = 112,
    Temp8 = 113,

    // 0x40080 + 0x100 * f: cells 4f + 1 to 4f + 4, two bytes each from byte 0 on, 0.001 V
    // 0x40080: cells 1 to 4
    Volt1 = 114,
    Volt2 = 115,
    Volt3 = 116,
    Volt4 = 117,
    // 0x40180: cells 5 to 8
    Volt5 = 118,
    Volt6 = 119,
    Volt7 = 120,
    Volt8 = 121,
    // 0x40280: cells 9 to 12
    Volt9 = 122,
    Volt10 = 123,
    Volt11 = 124,
    Volt12 = 125,
    // 0x40380: cells 13 to 16
    Volt13 = 126,
    Volt14 = 127,
    Volt15 = 128,
    Volt16 = 129,
    // 0x40480: cells 17 to 20
    Volt17 = 130,
    Volt18 = 131,
    Volt19 = 132,
    Volt20 = 133,
    // 0x40580: cells 21 to 24
    Volt21 = 134,
    Volt22 = 135,
    Volt23 = 136,
    Volt24 = 137,
    // 0x40680: cells 25 to 28
    Volt25 = 138,
    Volt26 = 139,
    Volt27 = 140,
    Volt28 = 141,
    // 0x40780: cells 29 to 32
    Volt29 = 142,
    Volt30 = 143,
    Volt31 = 144,
    Volt32 = 145,

    // 0x50080 and 0x60080: 32 one-bit flags each; flag b is bit b mod 8 of byte b div 8, so
    // flag b of 0x50080 is Flags5Bit0 + b. Bytes 4 to 7 of these frames carry nothing.
    Flags5Bit0 = 146,
    Flags5Bit31 = 177,
    Flags6Bit0 = 178,
    Flags6Bit31 = 209,

    Count = 210
};
Q_ENUM_NS(Index)

} // namespace Signal
