#include "devicerecordtable.h"

#include "can/commandcodec.h"
#include "signals/batterybank.h"

using namespace CommandProtocol;

DeviceRecordTable::DeviceRecordTable()
    : m_records(BatteryBank::DeviceCount)
{ }

bool DeviceRecordTable::store(quint8 devId, quint32 id, const QByteArray &data)
{
    DeviceRecord &record = m_records[devId];
    const auto is = [id](quint8 code) { return CommandCodec::hasCode(id, code); };
    if (is(HistoryCount)) {
        record.historyEventCount = CommandCodec::historyCountOf(data);
    } else if (is(ReadTime)) {
        record.clock = CommandCodec::repliedClockOf(data);
    } else if (is(ReadVersion) || is(ReadBatteryCode) || is(ReadModelCode)) {
        const quint8 code = CommandCodec::codeOf(id);
        const CommandCodec::Part part = CommandCodec::partOf(code, data);
        textOf(devId, code).storePart(part.number, part.bytes);
    } else if (is(ReadParameter)) {
        const CommandCodec::Parameter parameter = CommandCodec::parameterOf(data);
        const int index = m_parameters.indexOfParam(parameter.paramId);
        if (index >= 0) {
            record.parameterValues[index]
                = CommandCodec::displayValue(parameter.wire, m_parameters.items().at(index).offset);
        }
    } else if (!is(ReadHardware)) {
        return false;
    }
    return true;
}

PartedField &DeviceRecordTable::textOf(quint8 devId, quint8 code)
{
    DeviceRecord &record = m_records[devId];
    if (code == ReadBatteryCode)
        return record.batteryCode;
    if (code == ReadModelCode)
        return record.modelCode;
    return record.firmwareVersion;
}

qint32 DeviceRecordTable::parameterValue(quint8 devId, quint8 paramId) const
{
    const int index = m_parameters.indexOfParam(paramId);
    return index >= 0 ? m_records.at(devId).parameterValues.at(index) : 0;
}

quint32 DeviceRecordTable::wireValue(quint8 paramId, qint32 value) const
{
    const int index = m_parameters.indexOfParam(paramId);
    return index >= 0 ? CommandCodec::wireValue(value, m_parameters.items().at(index).offset) : 0u;
}
