#include "historyrecordcodec.h"

#include "can/crc16.h"

#include <QtEndian>

#include <type_traits>

namespace {

constexpr int ChecksumSize = 2;
constexpr int DevIdAt = 7;

// Hands every field of record to visit, in the order of their bytes: the one list of the layout
// that encoding and decoding both walk.
template <typename Record, typename Visit> void forEachField(Record &record, Visit &&visit)
{
    visit(record.year);
    visit(record.month);
    visit(record.day);
    visit(record.hour);
    visit(record.minute);
    visit(record.second);
    visit(record.spare);
    visit(record.devId);
    visit(record.packVoltage);
    visit(record.current);
    visit(record.remainingCapacity);
    visit(record.soc);
    visit(record.soh);
    visit(record.cellDifference);
    visit(record.maxCellVoltage);
    visit(record.maxCellNo);
    visit(record.minCellVoltage);
    visit(record.minCellNo);
    for (auto &voltage : record.cellVoltages)
        visit(voltage);
    visit(record.maxTemperature);
    visit(record.maxTemperatureNo);
    visit(record.minTemperature);
    visit(record.minTemperatureNo);
    for (auto &temperature : record.temperatures)
        visit(temperature);
    for (auto &relay : record.relays)
        visit(relay);
    visit(record.faultId);
    visit(record.alarmLevel);
}

} // namespace

QByteArray HistoryRecordCodec::encode(const HistoryRecord &record)
{
    QByteArray bytes(Size, '\0');
    char *at = bytes.data();
    forEachField(record, [&at](auto value) {
        qToBigEndian(value, at);
        at += sizeof(value);
    });
    Q_ASSERT(at == bytes.data() + Size - ChecksumSize);
    seal(bytes);
    return bytes;
}

std::optional<HistoryRecord> HistoryRecordCodec::decode(const QByteArray &bytes)
{
    if (bytes.size() < Size)
        return std::nullopt;
    HistoryRecord record;
    const char *at = bytes.constData();
    forEachField(record, [&at](auto &value) {
        value = qFromBigEndian<std::remove_reference_t<decltype(value)>>(at);
        at += sizeof(value);
    });
    return record;
}

quint16 HistoryRecordCodec::storedChecksum(const QByteArray &bytes)
{
    return qFromLittleEndian<quint16>(bytes.constData() + bytes.size() - ChecksumSize);
}

quint16 HistoryRecordCodec::computedChecksum(const QByteArray &bytes)
{
    return Crc16::modbus(bytes.constData(), bytes.size() - ChecksumSize);
}

bool HistoryRecordCodec::hasValidChecksum(const QByteArray &bytes)
{
    return bytes.size() > ChecksumSize && storedChecksum(bytes) == computedChecksum(bytes);
}

void HistoryRecordCodec::seal(QByteArray &bytes)
{
    qToLittleEndian(computedChecksum(bytes), bytes.data() + bytes.size() - ChecksumSize);
}

quint8 HistoryRecordCodec::devIdOf(const QByteArray &bytes)
{
    return quint8(bytes.at(DevIdAt));
}
