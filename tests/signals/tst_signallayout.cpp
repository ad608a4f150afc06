// The broadcast layout of every one of the 210 signals, pinned by payloads written out byte by
// byte from the catalogue's tables (which bytes and bits each signal takes, its length, factor
// and offset), not produced by the catalogue's own encoder. A mistake in a start bit, a length,
// the byte order or the scaling of any signal breaks its row.
//
// Each payload holds the signal's raw field set to a value that shows its extent and order (its
// top bit set, the rest a pattern that reads differently backwards; 0 for one-bit flags) and
// every other bit of the frame set to 1, so that a field read one bit too wide, too narrow or in
// the wrong place decodes to another number.

#include "signals/signalvalues.h"

#include <QtTest>

namespace {

enum Kind { Real, Integer };

struct LayoutRow
{
    int index;
    const char *where; // the signal's name and its place in the payload
    quint32 frameKey;
    const char *payload; // the 8 data bytes
    quint32 raw; // the value of the signal's field in them
    Kind kind;
    float factor;
    int offset;
};

const LayoutRow Rows[] = {
    { 0, "SumVolt, bytes 0-1", 0x20080, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.1f, 0 },
    { 1, "Curr, bytes 2-3", 0x20080, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.1f, -300 },
    { 2, "SOC, byte 4 bits 7-0, byte 5 bits 7-6", 0x20080, "ff ff ff ff db 7f ff ff", 0x36D, Real,
        0.1f, 0 },
    { 3, "SOH, byte 5 bits 5-0, byte 6 bits 7-4", 0x20080, "ff ff ff ff ff f6 df ff", 0x36D, Real,
        0.1f, 0 },
    { 4, "Frame0Value4, byte 6 bits 3-0, byte 7 bits 7-2", 0x20080, "ff ff ff ff ff ff fd b7",
        0x36D, Real, 0.1f, 0 },
    { 5, "SysStatus, byte 7 bits 1-0", 0x20080, "ff ff ff ff ff ff ff fe", 0x2, Integer, 1.0f, 0 },
    { 6, "AlarmLevel6, byte 0 bits 1-0", 0x20180, "fe ff ff ff ff ff ff ff", 0x2, Integer, 1.0f,
        0 },
    { 7, "ChargeOverCurr, byte 0 bits 3-2", 0x20180, "fb ff ff ff ff ff ff ff", 0x2, Integer, 1.0f,
        0 },
    { 8, "DischargeOverCurr, byte 0 bits 5-4", 0x20180, "ef ff ff ff ff ff ff ff", 0x2, Integer,
        1.0f, 0 },
    { 9, "ChargeHi-Temp, byte 0 bits 7-6", 0x20180, "bf ff ff ff ff ff ff ff", 0x2, Integer, 1.0f,
        0 },
    { 10, "DischargeHi-Temp, byte 1 bits 1-0", 0x20180, "ff fe ff ff ff ff ff ff", 0x2, Integer,
        1.0f, 0 },
    { 11, "ChargeLo-Temp, byte 1 bits 3-2", 0x20180, "ff fb ff ff ff ff ff ff", 0x2, Integer, 1.0f,
        0 },
    { 12, "DischargeLo-Temp, byte 1 bits 5-4", 0x20180, "ff ef ff ff ff ff ff ff", 0x2, Integer,
        1.0f, 0 },
    { 13, "CellDiffVolt, byte 1 bits 7-6", 0x20180, "ff bf ff ff ff ff ff ff", 0x2, Integer, 1.0f,
        0 },
    { 14, "DiffTemp, byte 2 bits 1-0", 0x20180, "ff ff fe ff ff ff ff ff", 0x2, Integer, 1.0f, 0 },
    { 15, "AlarmLevel15, byte 2 bits 3-2", 0x20180, "ff ff fb ff ff ff ff ff", 0x2, Integer, 1.0f,
        0 },
    { 16, "CellOverVolt, byte 2 bits 5-4", 0x20180, "ff ff ef ff ff ff ff ff", 0x2, Integer, 1.0f,
        0 },
    { 17, "CellUnderVolt, byte 2 bits 7-6", 0x20180, "ff ff bf ff ff ff ff ff", 0x2, Integer, 1.0f,
        0 },
    { 18, "AlarmLevel18, byte 3 bits 1-0", 0x20180, "ff ff ff fe ff ff ff ff", 0x2, Integer, 1.0f,
        0 },
    { 19, "AlarmLevel19, byte 3 bits 3-2", 0x20180, "ff ff ff fb ff ff ff ff", 0x2, Integer, 1.0f,
        0 },
    { 20, "AlarmLevel20, byte 3 bits 5-4", 0x20180, "ff ff ff ef ff ff ff ff", 0x2, Integer, 1.0f,
        0 },
    { 21, "AlarmLevel21, byte 5 bits 5-4", 0x20180, "ff ff ff ff ff ef ff ff", 0x2, Integer, 1.0f,
        0 },
    { 22, "PackOverVolt, byte 5 bits 7-6", 0x20180, "ff ff ff ff ff bf ff ff", 0x2, Integer, 1.0f,
        0 },
    { 23, "PackUnderVolt, byte 6 bits 1-0", 0x20180, "ff ff ff ff ff ff fe ff", 0x2, Integer, 1.0f,
        0 },
    { 24, "AlarmLevel24, byte 6 bits 3-2", 0x20180, "ff ff ff ff ff ff fb ff", 0x2, Integer, 1.0f,
        0 },
    { 25, "FaultByte0, byte 0", 0x20280, "ed ff ff ff ff ff ff ff", 0xED, Integer, 1.0f, 0 },
    { 26, "FaultByte1, byte 1", 0x20280, "ff ed ff ff ff ff ff ff", 0xED, Integer, 1.0f, 0 },
    { 27, "AFE-OV, byte 2 bit 0", 0x20280, "ff ff fe ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 28, "AFE-UV, byte 2 bit 1", 0x20280, "ff ff fd ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 29, "FaultFlag29, byte 2 bit 2", 0x20280, "ff ff fb ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 30, "FaultFlag30, byte 2 bit 3", 0x20280, "ff ff f7 ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 31, "FaultFlag31, byte 2 bit 4", 0x20280, "ff ff ef ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 32, "FaultFlag32, byte 2 bit 5", 0x20280, "ff ff df ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 33, "FaultFlag33, byte 2 bit 6", 0x20280, "ff ff bf ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 34, "DuplicateSlaveAddrError, byte 3 bit 0", 0x20280, "ff ff ff fe ff ff ff ff", 0x0, Integer,
        1.0f, 0 },
    { 35, "Inter-CanCommunError, byte 3 bit 1", 0x20280, "ff ff ff fd ff ff ff ff", 0x0, Integer,
        1.0f, 0 },
    { 36, "Exter-CanCommunError, byte 3 bit 2", 0x20280, "ff ff ff fb ff ff ff ff", 0x0, Integer,
        1.0f, 0 },
    { 37, "Rs485CommunicationError, byte 3 bit 3", 0x20280, "ff ff ff f7 ff ff ff ff", 0x0, Integer,
        1.0f, 0 },
    { 38, "AFECommunicationError, byte 3 bit 4", 0x20280, "ff ff ff ef ff ff ff ff", 0x0, Integer,
        1.0f, 0 },
    { 39, "FaultFlag39, byte 3 bit 5", 0x20280, "ff ff ff df ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 40, "VoltageDetectError, byte 4 bit 0", 0x20280, "ff ff ff ff fe ff ff ff", 0x0, Integer,
        1.0f, 0 },
    { 41, "TemperatureDetectError, byte 4 bit 1", 0x20280, "ff ff ff ff fd ff ff ff", 0x0, Integer,
        1.0f, 0 },
    { 42, "CellVoltageWireBreak, byte 4 bit 2", 0x20280, "ff ff ff ff fb ff ff ff", 0x0, Integer,
        1.0f, 0 },
    { 43, "TempWireBreak, byte 4 bit 3", 0x20280, "ff ff ff ff f7 ff ff ff", 0x0, Integer, 1.0f,
        0 },
    { 44, "FaultFlag44, byte 5 bit 0", 0x20280, "ff ff ff ff ff fe ff ff", 0x0, Integer, 1.0f, 0 },
    { 45, "FaultFlag45, byte 5 bit 1", 0x20280, "ff ff ff ff ff fd ff ff", 0x0, Integer, 1.0f, 0 },
    { 46, "FaultFlag46, byte 5 bit 2", 0x20280, "ff ff ff ff ff fb ff ff", 0x0, Integer, 1.0f, 0 },
    { 47, "FaultFlag47, byte 5 bit 3", 0x20280, "ff ff ff ff ff f7 ff ff", 0x0, Integer, 1.0f, 0 },
    { 48, "FaultFlag48, byte 5 bit 4", 0x20280, "ff ff ff ff ff ef ff ff", 0x0, Integer, 1.0f, 0 },
    { 49, "Flag49, byte 0 bit 0", 0x20480, "fe ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 50, "Flag50, byte 0 bit 1", 0x20480, "fd ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 51, "Flag51, byte 0 bit 2", 0x20480, "fb ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 52, "Flag52, byte 0 bit 3", 0x20480, "f7 ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 53, "Flag53, byte 0 bit 4", 0x20480, "ef ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 54, "Flag54, byte 0 bit 5", 0x20480, "df ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 55, "Flag55, byte 0 bit 6", 0x20480, "bf ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 56, "Flag56, byte 0 bit 7", 0x20480, "7f ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 57, "Main2ndRelay, byte 2 bit 0", 0x20480, "ff ff fe ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 58, "ChargeRelay, byte 2 bit 1", 0x20480, "ff ff fd ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 59, "DischargeRelay, byte 2 bit 2", 0x20480, "ff ff fb ff ff ff ff ff", 0x0, Integer, 1.0f,
        0 },
    { 60, "PrechargeRelay, byte 2 bit 3", 0x20480, "ff ff f7 ff ff ff ff ff", 0x0, Integer, 1.0f,
        0 },
    { 61, "PosRelay, byte 2 bit 4", 0x20480, "ff ff ef ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 62, "Byte62, byte 6", 0x20480, "ff ff ff ff ff ff ed ff", 0xED, Integer, 1.0f, 0 },
    { 63, "RemainCapacity, bytes 0-1", 0x20580, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.01f, 0 },
    { 64, "MaxCellT, byte 0", 0x20780, "ed ff ff ff ff ff ff ff", 0xED, Integer, 1.0f, -40 },
    { 65, "MaxCellTNo., byte 1", 0x20780, "ff ed ff ff ff ff ff ff", 0xED, Integer, 1.0f, 0 },
    { 66, "MinCellT, byte 2", 0x20780, "ff ff ed ff ff ff ff ff", 0xED, Integer, 1.0f, -40 },
    { 67, "MinCellTNo., byte 3", 0x20780, "ff ff ff ed ff ff ff ff", 0xED, Integer, 1.0f, 0 },
    { 68, "TempValue68, byte 4", 0x20780, "ff ff ff ff ed ff ff ff", 0xED, Integer, 1.0f, 0 },
    { 69, "MaxCellV, bytes 0-1", 0x20980, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 70, "MaxCellVNo., byte 2", 0x20980, "ff ff ed ff ff ff ff ff", 0xED, Integer, 1.0f, 0 },
    { 71, "MinCellV, bytes 3-4", 0x20980, "ff ff ff a9 6d ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 72, "MinCellVNo., byte 5", 0x20980, "ff ff ff ff ff ed ff ff", 0xED, Integer, 1.0f, 0 },
    { 73, "DiffVolt, bytes 6-7", 0x20980, "ff ff ff ff ff ff a9 6d", 0xA96D, Real, 0.001f, 0 },
    { 74, "Voltage74, bytes 0-1", 0x20A80, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.1f, 0 },
    { 75, "RatedCapacity, bytes 2-3", 0x20A80, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.01f, 0 },
    { 76, "Count76, byte 4", 0x20A80, "ff ff ff ff ed ff ff ff", 0xED, Integer, 1.0f, 0 },
    { 77, "Byte77, byte 5", 0x20A80, "ff ff ff ff ff ed ff ff", 0xED, Integer, 1.0f, 0 },
    { 78, "LifeCounter, byte 7", 0x20A80, "ff ff ff ff ff ff ff ed", 0xED, Integer, 1.0f, 0 },
    { 79, "RtcYear, byte 0", 0x20B80, "ed ff ff ff ff ff ff ff", 0xED, Integer, 1.0f, 2000 },
    { 80, "RtcMonth, byte 1", 0x20B80, "ff ed ff ff ff ff ff ff", 0xED, Integer, 1.0f, 0 },
    { 81, "RtcDay, byte 2", 0x20B80, "ff ff ed ff ff ff ff ff", 0xED, Integer, 1.0f, 0 },
    { 82, "RtcHour, byte 3", 0x20B80, "ff ff ff ed ff ff ff ff", 0xED, Integer, 1.0f, 0 },
    { 83, "RtcMinute, byte 4", 0x20B80, "ff ff ff ff ed ff ff ff", 0xED, Integer, 1.0f, 0 },
    { 84, "RtcSecond, byte 5", 0x20B80, "ff ff ff ff ff ed ff ff", 0xED, Integer, 1.0f, 0 },
    { 85, "Word85, bytes 6-7", 0x20B80, "ff ff ff ff ff ff a9 6d", 0xA96D, Integer, 1.0f, 0 },
    { 86, "Value86, bytes 0-3", 0x20C80, "b5 c3 a9 6d ff ff ff ff", 0xB5C3A96D, Real, 0.001f, 0 },
    { 87, "Value87, bytes 4-7", 0x20C80, "ff ff ff ff b5 c3 a9 6d", 0xB5C3A96D, Real, 0.001f, 0 },
    { 88, "DateYear88, bytes 0-1", 0x20D80, "a9 6d ff ff ff ff ff ff", 0xA96D, Integer, 1.0f,
        2000 },
    { 89, "DateMonth89, bytes 2-3", 0x20D80, "ff ff a9 6d ff ff ff ff", 0xA96D, Integer, 1.0f, 0 },
    { 90, "DateDay90, bytes 4-5", 0x20D80, "ff ff ff ff a9 6d ff ff", 0xA96D, Integer, 1.0f, 0 },
    { 91, "Word91, bytes 6-7", 0x20D80, "ff ff ff ff ff ff a9 6d", 0xA96D, Integer, 1.0f, 0 },
    { 92, "Total92, bytes 0-3", 0x20E80, "b5 c3 a9 6d ff ff ff ff", 0xB5C3A96D, Integer, 1.0f, 0 },
    { 93, "TotalDischargeEnergy, bytes 4-7", 0x20E80, "ff ff ff ff b5 c3 a9 6d", 0xB5C3A96D,
        Integer, 1.0f, 0 },
    { 94, "StatCount1, bytes 0-1", 0x20F80, "a9 6d ff ff ff ff ff ff", 0xA96D, Integer, 1.0f, 0 },
    { 95, "StatCount2, bytes 2-3", 0x20F80, "ff ff a9 6d ff ff ff ff", 0xA96D, Integer, 1.0f, 0 },
    { 96, "StatCount3, bytes 4-5", 0x20F80, "ff ff ff ff a9 6d ff ff", 0xA96D, Integer, 1.0f, 0 },
    { 97, "StatCount4, bytes 6-7", 0x20F80, "ff ff ff ff ff ff a9 6d", 0xA96D, Integer, 1.0f, 0 },
    { 98, "StatHours1, bytes 0-1", 0x21080, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.01f, 0 },
    { 99, "StatHours2, bytes 2-3", 0x21080, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.01f, 0 },
    { 100, "StatHours3, bytes 4-5", 0x21080, "ff ff ff ff a9 6d ff ff", 0xA96D, Real, 0.01f, 0 },
    { 101, "StatHours4, bytes 6-7", 0x21080, "ff ff ff ff ff ff a9 6d", 0xA96D, Real, 0.01f, 0 },
    { 102, "StatHours5, bytes 0-1", 0x21180, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.01f, 0 },
    { 103, "StatHours6, bytes 2-3", 0x21180, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.01f, 0 },
    { 104, "StatHours7, bytes 4-5", 0x21180, "ff ff ff ff a9 6d ff ff", 0xA96D, Real, 0.01f, 0 },
    { 105, "StatHours8, bytes 6-7", 0x21180, "ff ff ff ff ff ff a9 6d", 0xA96D, Real, 0.01f, 0 },
    { 106, "Temp1, byte 0", 0x30080, "ed ff ff ff ff ff ff ff", 0xED, Integer, 1.0f, -40 },
    { 107, "Temp2, byte 1", 0x30080, "ff ed ff ff ff ff ff ff", 0xED, Integer, 1.0f, -40 },
    { 108, "Temp3, byte 2", 0x30080, "ff ff ed ff ff ff ff ff", 0xED, Integer, 1.0f, -40 },
    { 109, "Temp4, byte 3", 0x30080, "ff ff ff ed ff ff ff ff", 0xED, Integer, 1.0f, -40 },
    { 110, "Temp5, byte 4", 0x30080, "ff ff ff ff ed ff ff ff", 0xED, Integer, 1.0f, -40 },
    { 111, "Temp6, byte 5", 0x30080, "ff ff ff ff ff ed ff ff", 0xED, Integer, 1.0f, -40 },
    { 112, "Temp7, byte 6", 0x30080, "ff ff ff ff ff ff ed ff", 0xED, Integer, 1.0f, -40 },
    { 113, "Temp8, byte 7", 0x30080, "ff ff ff ff ff ff ff ed", 0xED, Integer, 1.0f, -40 },
    { 114, "Volt1, bytes 0-1", 0x40080, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 115, "Volt2, bytes 2-3", 0x40080, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 116, "Volt3, bytes 4-5", 0x40080, "ff ff ff ff a9 6d ff ff", 0xA96D, Real, 0.001f, 0 },
    { 117, "Volt4, bytes 6-7", 0x40080, "ff ff ff ff ff ff a9 6d", 0xA96D, Real, 0.001f, 0 },
    { 118, "Volt5, bytes 0-1", 0x40180, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 119, "Volt6, bytes 2-3", 0x40180, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 120, "Volt7, bytes 4-5", 0x40180, "ff ff ff ff a9 6d ff ff", 0xA96D, Real, 0.001f, 0 },
    { 121, "Volt8, bytes 6-7", 0x40180, "ff ff ff ff ff ff a9 6d", 0xA96D, Real, 0.001f, 0 },
    { 122, "Volt9, bytes 0-1", 0x40280, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 123, "Volt10, bytes 2-3", 0x40280, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 124, "Volt11, bytes 4-5", 0x40280, "ff ff ff ff a9 6d ff ff", 0xA96D, Real, 0.001f, 0 },
    { 125, "Volt12, bytes 6-7", 0x40280, "ff ff ff ff ff ff a9 6d", 0xA96D, Real, 0.001f, 0 },
    { 126, "Volt13, bytes 0-1", 0x40380, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 127, "Volt14, bytes 2-3", 0x40380, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 128, "Volt15, bytes 4-5", 0x40380, "ff ff ff ff a9 6d ff ff", 0xA96D, Real, 0.001f, 0 },
    { 129, "Volt16, bytes 6-7", 0x40380, "ff ff ff ff ff ff a9 6d", 0xA96D, Real, 0.001f, 0 },
    { 130, "Volt17, bytes 0-1", 0x40480, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 131, "Volt18, bytes 2-3", 0x40480, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 132, "Volt19, bytes 4-5", 0x40480, "ff ff ff ff a9 6d ff ff", 0xA96D, Real, 0.001f, 0 },
    { 133, "Volt20, bytes 6-7", 0x40480, "ff ff ff ff ff ff a9 6d", 0xA96D, Real, 0.001f, 0 },
    { 134, "Volt21, bytes 0-1", 0x40580, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 135, "Volt22, bytes 2-3", 0x40580, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 136, "Volt23, bytes 4-5", 0x40580, "ff ff ff ff a9 6d ff ff", 0xA96D, Real, 0.001f, 0 },
    { 137, "Volt24, bytes 6-7", 0x40580, "ff ff ff ff ff ff a9 6d", 0xA96D, Real, 0.001f, 0 },
    { 138, "Volt25, bytes 0-1", 0x40680, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 139, "Volt26, bytes 2-3", 0x40680, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 140, "Volt27, bytes 4-5", 0x40680, "ff ff ff ff a9 6d ff ff", 0xA96D, Real, 0.001f, 0 },
    { 141, "Volt28, bytes 6-7", 0x40680, "ff ff ff ff ff ff a9 6d", 0xA96D, Real, 0.001f, 0 },
    { 142, "Volt29, bytes 0-1", 0x40780, "a9 6d ff ff ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 143, "Volt30, bytes 2-3", 0x40780, "ff ff a9 6d ff ff ff ff", 0xA96D, Real, 0.001f, 0 },
    { 144, "Volt31, bytes 4-5", 0x40780, "ff ff ff ff a9 6d ff ff", 0xA96D, Real, 0.001f, 0 },
    { 145, "Volt32, bytes 6-7", 0x40780, "ff ff ff ff ff ff a9 6d", 0xA96D, Real, 0.001f, 0 },
    { 146, "flag 0, byte 0 bit 0", 0x50080, "fe ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 147, "flag 1, byte 0 bit 1", 0x50080, "fd ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 148, "flag 2, byte 0 bit 2", 0x50080, "fb ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 149, "flag 3, byte 0 bit 3", 0x50080, "f7 ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 150, "flag 4, byte 0 bit 4", 0x50080, "ef ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 151, "flag 5, byte 0 bit 5", 0x50080, "df ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 152, "flag 6, byte 0 bit 6", 0x50080, "bf ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 153, "flag 7, byte 0 bit 7", 0x50080, "7f ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 154, "flag 8, byte 1 bit 0", 0x50080, "ff fe ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 155, "flag 9, byte 1 bit 1", 0x50080, "ff fd ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 156, "flag 10, byte 1 bit 2", 0x50080, "ff fb ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 157, "flag 11, byte 1 bit 3", 0x50080, "ff f7 ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 158, "flag 12, byte 1 bit 4", 0x50080, "ff ef ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 159, "flag 13, byte 1 bit 5", 0x50080, "ff df ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 160, "flag 14, byte 1 bit 6", 0x50080, "ff bf ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 161, "flag 15, byte 1 bit 7", 0x50080, "ff 7f ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 162, "flag 16, byte 2 bit 0", 0x50080, "ff ff fe ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 163, "flag 17, byte 2 bit 1", 0x50080, "ff ff fd ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 164, "flag 18, byte 2 bit 2", 0x50080, "ff ff fb ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 165, "flag 19, byte 2 bit 3", 0x50080, "ff ff f7 ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 166, "flag 20, byte 2 bit 4", 0x50080, "ff ff ef ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 167, "flag 21, byte 2 bit 5", 0x50080, "ff ff df ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 168, "flag 22, byte 2 bit 6", 0x50080, "ff ff bf ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 169, "flag 23, byte 2 bit 7", 0x50080, "ff ff 7f ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 170, "flag 24, byte 3 bit 0", 0x50080, "ff ff ff fe ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 171, "flag 25, byte 3 bit 1", 0x50080, "ff ff ff fd ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 172, "flag 26, byte 3 bit 2", 0x50080, "ff ff ff fb ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 173, "flag 27, byte 3 bit 3", 0x50080, "ff ff ff f7 ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 174, "flag 28, byte 3 bit 4", 0x50080, "ff ff ff ef ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 175, "flag 29, byte 3 bit 5", 0x50080, "ff ff ff df ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 176, "flag 30, byte 3 bit 6", 0x50080, "ff ff ff bf ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 177, "flag 31, byte 3 bit 7", 0x50080, "ff ff ff 7f ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 178, "flag 0, byte 0 bit 0", 0x60080, "fe ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 179, "flag 1, byte 0 bit 1", 0x60080, "fd ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 180, "flag 2, byte 0 bit 2", 0x60080, "fb ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 181, "flag 3, byte 0 bit 3", 0x60080, "f7 ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 182, "flag 4, byte 0 bit 4", 0x60080, "ef ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 183, "flag 5, byte 0 bit 5", 0x60080, "df ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 184, "flag 6, byte 0 bit 6", 0x60080, "bf ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 185, "flag 7, byte 0 bit 7", 0x60080, "7f ff ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 186, "flag 8, byte 1 bit 0", 0x60080, "ff fe ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 187, "flag 9, byte 1 bit 1", 0x60080, "ff fd ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 188, "flag 10, byte 1 bit 2", 0x60080, "ff fb ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 189, "flag 11, byte 1 bit 3", 0x60080, "ff f7 ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 190, "flag 12, byte 1 bit 4", 0x60080, "ff ef ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 191, "flag 13, byte 1 bit 5", 0x60080, "ff df ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 192, "flag 14, byte 1 bit 6", 0x60080, "ff bf ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 193, "flag 15, byte 1 bit 7", 0x60080, "ff 7f ff ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 194, "flag 16, byte 2 bit 0", 0x60080, "ff ff fe ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 195, "flag 17, byte 2 bit 1", 0x60080, "ff ff fd ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 196, "flag 18, byte 2 bit 2", 0x60080, "ff ff fb ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 197, "flag 19, byte 2 bit 3", 0x60080, "ff ff f7 ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 198, "flag 20, byte 2 bit 4", 0x60080, "ff ff ef ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 199, "flag 21, byte 2 bit 5", 0x60080, "ff ff df ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 200, "flag 22, byte 2 bit 6", 0x60080, "ff ff bf ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 201, "flag 23, byte 2 bit 7", 0x60080, "ff ff 7f ff ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 202, "flag 24, byte 3 bit 0", 0x60080, "ff ff ff fe ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 203, "flag 25, byte 3 bit 1", 0x60080, "ff ff ff fd ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 204, "flag 26, byte 3 bit 2", 0x60080, "ff ff ff fb ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 205, "flag 27, byte 3 bit 3", 0x60080, "ff ff ff f7 ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 206, "flag 28, byte 3 bit 4", 0x60080, "ff ff ff ef ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 207, "flag 29, byte 3 bit 5", 0x60080, "ff ff ff df ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 208, "flag 30, byte 3 bit 6", 0x60080, "ff ff ff bf ff ff ff ff", 0x0, Integer, 1.0f, 0 },
    { 209, "flag 31, byte 3 bit 7", 0x60080, "ff ff ff 7f ff ff ff ff", 0x0, Integer, 1.0f, 0 },
};

constexpr int DevId = 9;

} // namespace

class TestSignalLayout : public QObject
{
    Q_OBJECT

private slots:
    void everySignalDecodesFromItsBytes_data();
    void everySignalDecodesFromItsBytes();
};

void TestSignalLayout::everySignalDecodesFromItsBytes_data()
{
    QTest::addColumn<int>("row");
    QCOMPARE(int(sizeof Rows / sizeof Rows[0]), 210);
    for (int row = 0; row < int(sizeof Rows / sizeof Rows[0]); ++row) {
        QCOMPARE(Rows[row].index, row);
        QTest::addRow("%d %s", Rows[row].index, Rows[row].where) << row;
    }
}

void TestSignalLayout::everySignalDecodesFromItsBytes()
{
    QFETCH(int, row);
    const LayoutRow &layout = Rows[row];
    const QByteArray payload = QByteArray::fromHex(layout.payload);
    QCOMPARE(payload.size(), 8);

    SignalValues store;
    store.OnNewCanFrame((ulong(layout.frameKey) << 8) | DevId, payload, 0);
    const QVariant value = store.value(DevId, layout.index);

    // Scaled in double precision with the single-precision factor; reals are stored as float,
    // integers truncated and kept as their low 32 bits.
    const double physical = double(layout.raw) * double(layout.factor) + layout.offset;
    if (layout.kind == Real) {
        QCOMPARE(int(value.type()), int(QMetaType::Float));
        QCOMPARE(value.toFloat(), float(physical));
    } else {
        QCOMPARE(int(value.type()), int(QMetaType::UInt));
        QCOMPARE(value.toUInt(), uint(quint64(qint64(physical))));
    }
}

QTEST_GUILESS_MAIN(TestSignalLayout)
#include "tst_signallayout.moc"
