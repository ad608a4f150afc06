#include "historylog.h"

#include "packmodel.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace {

// A value in the record's units, rounded and kept within its 16 bits.
quint16 word(double value)
{
    return quint16(std::clamp(std::lround(value), 0L, 65535L));
}

quint8 temperatureByte(double celsius)
{
    return quint8(std::clamp(std::lround(celsius) + 40, 0L, 255L));
}

} // namespace

HistoryLog::HistoryLog(quint8 devId, quint32 seed, int count)
    : m_devId(devId)
{
    QRandomGenerator random(seed);
    PackModel pack(seed);
    const int randomCount = 20 + int(random.bounded(41));
    if (count < 0)
        count = randomCount;
    QDateTime time(QDate(2024, 3, 1), QTime(8, 0, 0));
    for (int i = 0; i < count; ++i) {
        pack.advance(600 + random.bounded(7200));
        time = time.addSecs(3600 * (1 + random.bounded(240)) + random.bounded(3600));
        const int group = int(random.bounded(int(PackModel::GroupCount)));
        const quint8 level = quint8(1 + random.bounded(2));
        // Now and then one of the communication and wiring faults instead.
        static const quint8 otherFaults[] = { 101, 102, 108, 109, 110, 111, 112, 113, 114 };
        const quint8 id
            = random.bounded(6) == 0 ? otherFaults[random.bounded(9)] : faultId(group, level);
        append(time, pack, id, level);
    }
}

void HistoryLog::setDevId(quint8 devId)
{
    m_devId = devId;
}

void HistoryLog::append(const QDateTime &time, const PackModel &pack, quint8 faultId, quint8 level)
{
    m_records.append(makeRecord(time, pack, faultId, level));
}

HistoryRecord HistoryLog::makeRecord(
    const QDateTime &time, const PackModel &pack, quint8 faultId, quint8 level) const
{
    HistoryRecord record;
    const QDate date = time.date();
    const QTime clock = time.time();
    record.year = quint8(date.year() - 2000);
    record.month = quint8(date.month());
    record.day = quint8(date.day());
    record.hour = quint8(clock.hour());
    record.minute = quint8(clock.minute());
    record.second = quint8(clock.second());
    record.devId = m_devId;

    int maxCell = 0;
    int minCell = 0;
    for (int i = 1; i < PackModel::CellCount; ++i) {
        if (pack.cellVoltage(i) > pack.cellVoltage(maxCell))
            maxCell = i;
        if (pack.cellVoltage(i) < pack.cellVoltage(minCell))
            minCell = i;
    }
    int maxSensor = 0;
    int minSensor = 0;
    for (int i = 1; i < PackModel::SensorCount; ++i) {
        if (pack.temperature(i) > pack.temperature(maxSensor))
            maxSensor = i;
        if (pack.temperature(i) < pack.temperature(minSensor))
            minSensor = i;
    }

    record.packVoltage = word(pack.packVoltage() * 10);
    record.current = word((pack.current() + 3000) * 10);
    record.remainingCapacity = word(pack.soc() * PackModel::RatedCapacityAh);
    record.soc = word(pack.soc() * 10);
    record.soh = 985;
    record.cellDifference = word((pack.cellVoltage(maxCell) - pack.cellVoltage(minCell)) * 1000);
    record.maxCellVoltage = word(pack.cellVoltage(maxCell) * 1000);
    record.maxCellNo = quint8(maxCell + 1);
    record.minCellVoltage = word(pack.cellVoltage(minCell) * 1000);
    record.minCellNo = quint8(minCell + 1);
    for (int i = 0; i < PackModel::CellCount; ++i)
        record.cellVoltages[size_t(i)] = word(pack.cellVoltage(i) * 1000);
    record.maxTemperature = temperatureByte(pack.temperature(maxSensor));
    record.maxTemperatureNo = quint8(maxSensor + 1);
    record.minTemperature = temperatureByte(pack.temperature(minSensor));
    record.minTemperatureNo = quint8(minSensor + 1);
    for (int i = 0; i < PackModel::SensorCount; ++i)
        record.temperatures[size_t(i)] = temperatureByte(pack.temperature(i));
    record.relays
        = { quint8(pack.relay(PackModel::Precharge)), quint8(pack.relay(PackModel::Charge)),
              quint8(pack.relay(PackModel::Discharge)), quint8(pack.relay(PackModel::Main2nd)) };
    record.faultId = faultId;
    record.alarmLevel = level;
    return record;
}
