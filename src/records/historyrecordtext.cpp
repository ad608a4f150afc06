#include "historyrecordtext.h"

#include "historyrecord.h"

#include <QCoreApplication>
#include <QHash>

namespace {

// The words of the table are kept in English, as the CSV file has them; the table shows them
// translated (HistoryRecordText::translated), in the history events table's context.
QString word(const char *english)
{
    return QString::fromLatin1(english);
}

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
    QStringList names = { word(QT_TRANSLATE_NOOP("HistoryEventModel", "Date")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "Time")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "SlaveNo")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "SumVolt")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "Curr")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "RemainCapacity")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "SOC")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "SOH")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "DiffVolt")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "MaxCellV")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "MaxCellVNo.")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "MinCellV")),
        word(QT_TRANSLATE_NOOP("HistoryEventModel", "MinCellVNo.")) };
    for (int n = 1; n <= HistoryRecord::CellCount; ++n)
        names.append(QStringLiteral("Volt%1").arg(n));
    names << word(QT_TRANSLATE_NOOP("HistoryEventModel", "MaxCellT"))
          << word(QT_TRANSLATE_NOOP("HistoryEventModel", "MaxCellTNo."))
          << word(QT_TRANSLATE_NOOP("HistoryEventModel", "MinCellT"))
          << word(QT_TRANSLATE_NOOP("HistoryEventModel", "MinCellTNo."));
    for (int n = 1; n <= HistoryRecord::SensorCount; ++n)
        names.append(QStringLiteral("Temp%1").arg(n));
    names << word(QT_TRANSLATE_NOOP("HistoryEventModel", "PrechargeRelay"))
          << word(QT_TRANSLATE_NOOP("HistoryEventModel", "ChargeRelay"))
          << word(QT_TRANSLATE_NOOP("HistoryEventModel", "DischargeRelay"))
          << word(QT_TRANSLATE_NOOP("HistoryEventModel", "PosRelay"))
          << word(QT_TRANSLATE_NOOP("HistoryEventModel", "FaultsID"))
          << word(QT_TRANSLATE_NOOP("HistoryEventModel", "AlarmLevel"));
    return names;
}

const QHash<int, QString> &faultTexts()
{
    static const QHash<int, QString> texts = {
        { 1, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Cell Over Voltage Alarm")) },
        { 2, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Cell Under Voltage Alarm")) },
        { 3, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Pack Over Voltage Alarm")) },
        { 4, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Pack Under Voltage Alarm")) },
        { 5, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Cell Differential Voltage Alarm")) },
        { 6, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Charge Hight Temperature Alarm")) },
        { 7, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Discharge Hight Temperature Alarm")) },
        { 8, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Charge Low Temperature Alarm")) },
        { 9, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Discharge Low Temperature Alarm")) },
        { 10, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Differential Temperature Alarm")) },
        { 11, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Charge Over Current Alarm")) },
        { 12, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Discharge Over Current Alarm")) },
        { 51, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Cell Over Voltage Protect")) },
        { 52, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Cell Under Voltage Protect")) },
        { 53, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Pack Over Voltage Protect")) },
        { 54, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Pack Under Voltage Protect")) },
        { 55, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Cell Differential Voltage Protect")) },
        { 56, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Charge Hight Temperature Protect")) },
        { 57, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Discharge Hight Temperature Protect")) },
        { 58, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Charge Low Temperature Protect")) },
        { 59, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Discharge Low Temperature Protect")) },
        { 60, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Differential Temperature Protect")) },
        { 61, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Charge Over Current Protect")) },
        { 62, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Discharge Over Current Protect")) },
        { 101, word(QT_TRANSLATE_NOOP("HistoryEventModel", "AFE-OV")) },
        { 102, word(QT_TRANSLATE_NOOP("HistoryEventModel", "AFE-UV")) },
        { 108, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Duplicate Slave Address Error")) },
        { 109, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Internal Can Communication Error")) },
        { 110, word(QT_TRANSLATE_NOOP("HistoryEventModel", "External Can Communication Error")) },
        { 111, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Rs485 Communication Error")) },
        { 112, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Voltage Detect Error")) },
        { 113, word(QT_TRANSLATE_NOOP("HistoryEventModel", "Temperature Detect Error")) },
        { 114, word(QT_TRANSLATE_NOOP("HistoryEventModel", "AFE Communication Error")) },
    };
    return texts;
}

} // namespace

QString HistoryRecordText::translated(const QString &text)
{
    return QCoreApplication::translate("HistoryEventModel", text.toLatin1().constData());
}

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
        cells << (relay == 1 ? word(QT_TRANSLATE_NOOP("HistoryEventModel", "On"))
                             : word(QT_TRANSLATE_NOOP("HistoryEventModel", "Off")));
    cells << faultText(record.faultId);
    cells << QString::number(record.alarmLevel);
    return cells;
}
