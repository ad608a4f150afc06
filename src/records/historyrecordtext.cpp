#include "historyrecordtext.h"

#include "historyrecord.h"

#include <QHash>

namespace {

constexpr int TemperatureOffset = 40;

// raw x factor + offset in single precision, with a fixed number of decimals.
QString scaled(quint16 raw, float factor, float offset, int decimals)
{
    const float product = float(raw) * factor;
    const float value = product + offset;
    return QString::number(double(value), 'f', decimals);
}

QString millivolts(quint16 raw)
{
    return scaled(raw, 0.001f, 0.0f, 3);
}

QString temperature(quint8 raw)
{
    return QString::number(int(raw) - TemperatureOffset);
}

QStringList makeColumnNames()
{
    QStringList names = { QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("SlaveNo"),
        QStringLiteral("SumVolt"), QStringLiteral("Curr"), QStringLiteral("RemainCapacity"),
        QStringLiteral("SOC"), QStringLiteral("SOH"), QStringLiteral("DiffVolt"),
        QStringLiteral("MaxCellV"), QStringLiteral("MaxCellVNo."), QStringLiteral("MinCellV"),
        QStringLiteral("MinCellVNo.") };
    for (int n = 1; n <= HistoryRecord::CellCount; ++n)
        names.append(QStringLiteral("Volt%1").arg(n));
    names << QStringLiteral("MaxCellT") << QStringLiteral("MaxCellTNo.")
          << QStringLiteral("MinCellT") << QStringLiteral("MinCellTNo.");
    for (int n = 1; n <= HistoryRecord::SensorCount; ++n)
        names.append(QStringLiteral("Temp%1").arg(n));
    names << QStringLiteral("PrechargeRelay") << QStringLiteral("ChargeRelay")
          << QStringLiteral("DischargeRelay") << QStringLiteral("PosRelay")
          << QStringLiteral("FaultsID") << QStringLiteral("AlarmLevel");
    return names;
}

const QHash<int, QString> &faultTexts()
{
    static const QHash<int, QString> texts = {
        { 1, QStringLiteral("Cell Over Voltage Alarm") },
        { 2, QStringLiteral("Cell Under Voltage Alarm") },
        { 3, QStringLiteral("Pack Over Voltage Alarm") },
        { 4, QStringLiteral("Pack Under Voltage Alarm") },
        { 5, QStringLiteral("Cell Differential Voltage Alarm") },
        { 6, QStringLiteral("Charge Hight Temperature Alarm") },
        { 7, QStringLiteral("Discharge Hight Temperature Alarm") },
        { 8, QStringLiteral("Charge Low Temperature Alarm") },
        { 9, QStringLiteral("Discharge Low Temperature Alarm") },
        { 10, QStringLiteral("Differential Temperature Alarm") },
        { 11, QStringLiteral("Charge Over Current Alarm") },
        { 12, QStringLiteral("Discharge Over Current Alarm") },
        { 51, QStringLiteral("Cell Over Voltage Protect") },
        { 52, QStringLiteral("Cell Under Voltage Protect") },
        { 53, QStringLiteral("Pack Over Voltage Protect") },
        { 54, QStringLiteral("Pack Under Voltage Protect") },
        { 55, QStringLiteral("Cell Differential Voltage Protect") },
        { 56, QStringLiteral("Charge Hight Temperature Protect") },
        { 57, QStringLiteral("Discharge Hight Temperature Protect") },
        { 58, QStringLiteral("Charge Low Temperature Protect") },
        { 59, QStringLiteral("Discharge Low Temperature Protect") },
        { 60, QStringLiteral("Differential Temperature Protect") },
        { 61, QStringLiteral("Charge Over Current Protect") },
        { 62, QStringLiteral("Discharge Over Current Protect") },
        { 101, QStringLiteral("AFE-OV") },
        { 102, QStringLiteral("AFE-UV") },
        { 108, QStringLiteral("Duplicate Slave Address Error") },
        { 109, QStringLiteral("Internal Can Communication Error") },
        { 110, QStringLiteral("External Can Communication Error") },
        { 111, QStringLiteral("Rs485 Communication Error") },
        { 112, QStringLiteral("Voltage Detect Error") },
        { 113, QStringLiteral("Temperature Detect Error") },
        { 114, QStringLiteral("AFE Communication Error") },
    };
    return texts;
}

} // namespace

const QStringList &HistoryRecordText::columnNames()
{
    static const QStringList names = makeColumnNames();
    return names;
}

QString HistoryRecordText::faultText(int faultId)
{
    return faultTexts().value(faultId);
}

QStringList HistoryRecordText::cells(const HistoryRecord &record, int slaveNo)
{
    QStringList cells;
    cells.reserve(ColumnCount);
    cells << QStringLiteral("%1-%2-%3").arg(2000 + record.year).arg(record.month).arg(record.day);
    cells << QStringLiteral("%1:%2:%3").arg(record.hour).arg(record.minute).arg(record.second);
    cells << QString::number(slaveNo);
    cells << scaled(record.packVoltage, 0.1f, 0.0f, 1);
    cells << scaled(record.current, 0.1f, -3000.0f, 1);
    cells << scaled(record.remainingCapacity, 0.01f, 0.0f, 2);
    cells << scaled(record.soc, 0.1f, 0.0f, 1);
    cells << scaled(record.soh, 0.1f, 0.0f, 1);
    cells << millivolts(record.cellDifference);
    cells << millivolts(record.maxCellVoltage) << QString::number(record.maxCellNo);
    cells << millivolts(record.minCellVoltage) << QString::number(record.minCellNo);
    for (quint16 voltage : record.cellVoltages)
        cells << millivolts(voltage);
    cells << temperature(record.maxTemperature) << QString::number(record.maxTemperatureNo)
          << temperature(record.minTemperature) << QString::number(record.minTemperatureNo);
    for (quint8 raw : record.temperatures)
        cells << temperature(raw);
    for (quint8 relay : record.relays)
        cells << (relay == 1 ? QStringLiteral("On") : QStringLiteral("Off"));
    cells << faultText(record.faultId);
    cells << QString::number(record.alarmLevel);
    return cells;
}
