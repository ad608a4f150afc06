#include "historylog.h"

#include "packmodel.h"

#include "can/crc16.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

void putWord(QByteArray &record, int offset, double value)
{
    qToBigEndian(quint16(std::clamp(std::lround(value), 0L, 65535L)), record.data() + offset);
}

char temperatureByte(double celsius)
{
    return char(std::clamp(std::lround(celsius) + 40, 0L, 255L));
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

QByteArray HistoryLog::makeRecord(
    const QDateTime &time, const PackModel &pack, quint8 faultId, quint8 level) const
{
    QByteArray record(RecordSize, '\0');
    const QDate date = time.date();
    const QTime clock = time.time();
    record[0] = char(date.year() - 2000);
    record[1] = char(date.month());
    record[2] = char(date.day());
    record[3] = char(clock.hour());
    record[4] = char(clock.minute());
    record[5] = char(clock.second());
    record[DevIdAt] = char(m_devId);

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

    putWord(record, 8, pack.packVoltage() * 10);
    putWord(record, 10, (pack.current() + 3000) * 10);
    putWord(record, 12, pack.soc() * PackModel::RatedCapacityAh);
    putWord(record, 14, pack.soc() * 10);
    putWord(record, 16, 985);
    putWord(record, 18, (pack.cellVoltage(maxCell) - pack.cellVoltage(minCell)) * 1000);
    putWord(record, 20, pack.cellVoltage(maxCell) * 1000);
    record[22] = char(maxCell + 1);
    putWord(record, 23, pack.cellVoltage(minCell) * 1000);
    record[25] = char(minCell + 1);
    for (int i = 0; i < PackModel::CellCount; ++i)
        putWord(record, 26 + 2 * i, pack.cellVoltage(i) * 1000);
    record[58] = temperatureByte(pack.temperature(maxSensor));
    record[59] = char(maxSensor + 1);
    record[60] = temperatureByte(pack.temperature(minSensor));
    record[61] = char(minSensor + 1);
    for (int i = 0; i < PackModel::SensorCount; ++i)
        record[62 + i] = temperatureByte(pack.temperature(i));
    record[70] = char(pack.relay(PackModel::Precharge));
    record[71] = char(pack.relay(PackModel::Charge));
    record[72] = char(pack.relay(PackModel::Discharge));
    record[73] = char(pack.relay(PackModel::Main2nd));
    record[74] = char(faultId);
    record[75] = char(level);
    seal(record);
    return record;
}

void HistoryLog::seal(QByteArray &record)
{
    const quint16 crc = Crc16::modbus(record.constData(), RecordSize - 2);
    record[RecordSize - 2] = char(crc & 0xFF);
    record[RecordSize - 1] = char(crc >> 8);
}
