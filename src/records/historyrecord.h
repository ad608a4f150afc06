#pragma once

#include <QtGlobal>

#include <array>

// One event of a battery's history log: a snapshot of the pack taken when an alarm or a
// protection occurred. The fields hold the battery's raw numbers in the units noted; where they
// lie in the 78 bytes the battery sends is drawn in historyrecordcodec.h, and how they are shown
// is HistoryRecordText's.
struct HistoryRecord
{
    static constexpr int CellCount = 16;
    static constexpr int SensorCount = 8;
    static constexpr int RelayCount = 4;

    // When it happened, by the battery's clock.
    quint8 year = 0; // after 2000
    quint8 month = 0;
    quint8 day = 0;
    quint8 hour = 0;
    quint8 minute = 0;
    quint8 second = 0;
    quint8 spare = 0; // not interpreted; kept so that a record decodes and encodes back whole
    quint8 devId = 0; // the battery that logged it
    quint16 packVoltage = 0; // 0.1 V
    quint16 current = 0; // 0.1 A above -3000 A: 30000 is no current
    quint16 remainingCapacity = 0; // 0.01 Ah
    quint16 soc = 0; // 0.1 %
    quint16 soh = 0; // 0.1 %
    quint16 cellDifference = 0; // mV
    quint16 maxCellVoltage = 0; // mV
    quint8 maxCellNo = 0; // 1 to 16
    quint16 minCellVoltage = 0; // mV
    quint8 minCellNo = 0;
    std::array<quint16, CellCount> cellVoltages {}; // mV
    // Temperatures are whole degrees Celsius above -40: 40 is 0 °C.
    quint8 maxTemperature = 0;
    quint8 maxTemperatureNo = 0; // the sensor, 1 to 8
    quint8 minTemperature = 0;
    quint8 minTemperatureNo = 0;
    std::array<quint8, SensorCount> temperatures {};
    // Pre-charge, charge, discharge and positive relay: 1 closed, anything else open.
    std::array<quint8, RelayCount> relays {};
    quint8 faultId = 0; // see HistoryRecordText::faultText
    quint8 alarmLevel = 0;
};
