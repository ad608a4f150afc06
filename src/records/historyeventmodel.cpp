#include "historyeventmodel.h"

#include "csvsavejob.h"

#include "can/canservice.h"
#include "can/crc16.h"
#include "log/logger.h"

#include <QFont>
#include <QHash>
#include <QTimer>
#include <QtEndian>

#include <limits>

namespace {

const QString FontFamily = QStringLiteral("Microsoft YaHei");
constexpr int FontPointSize = 10;

// Record offsets.
constexpr int YearAt = 0;
constexpr int HourAt = 3;
constexpr int DevIdAt = 7;
constexpr int SumVoltAt = 8;
constexpr int CurrAt = 10;
constexpr int RemainCapacityAt = 12;
constexpr int SocAt = 14;
constexpr int SohAt = 16;
constexpr int DiffVoltAt = 18;
constexpr int MaxCellVAt = 20;
constexpr int MaxCellVNoAt = 22;
constexpr int MinCellVAt = 23;
constexpr int MinCellVNoAt = 25;
constexpr int Volt1At = 26;
constexpr int CellCount = 16;
constexpr int MaxCellTAt = 58;
constexpr int Temp1At = 62;
constexpr int SensorCount = 8;
constexpr int RelaysAt = 70;
constexpr int RelayCount = 4;
constexpr int FaultIdAt = 74;
constexpr int AlarmLevelAt = 75;
constexpr int ChecksumSize = 2;
constexpr int TemperatureOffset = 40;

quint8 byteAt(const QByteArray &record, int offset)
{
    return quint8(record.at(offset));
}

quint16 wordAt(const QByteArray &record, int offset)
{
    return qFromBigEndian<quint16>(record.constData() + offset);
}

// raw x factor + offset in single precision, with a fixed number of decimals.
QString scaled(quint16 raw, float factor, float offset, int decimals)
{
    const float product = float(raw) * factor;
    const float value = product + offset;
    return QString::number(double(value), 'f', decimals);
}

QString temperature(const QByteArray &record, int offset)
{
    return QString::number(int(byteAt(record, offset)) - TemperatureOffset);
}

QString decimal(const QByteArray &record, int offset)
{
    return QString::number(byteAt(record, offset));
}

// The checksum as the log shows it: the stored bytes read big-endian, and the computed one
// with its bytes swapped to match, both as 16-bit numbers.
quint16 storedChecksum(const QByteArray &record)
{
    return qFromBigEndian<quint16>(record.constData() + record.size() - ChecksumSize);
}

quint16 computedChecksum(const QByteArray &record)
{
    const quint16 crc = Crc16::modbus(record.constData(), record.size() - ChecksumSize);
    return quint16((crc << 8) | (crc >> 8));
}

QStringList makeColumnNames()
{
    QStringList names = { QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("SlaveNo"),
        QStringLiteral("SumVolt"), QStringLiteral("Curr"), QStringLiteral("RemainCapacity"),
        QStringLiteral("SOC"), QStringLiteral("SOH"), QStringLiteral("DiffVolt"),
        QStringLiteral("MaxCellV"), QStringLiteral("MaxCellVNo."), QStringLiteral("MinCellV"),
        QStringLiteral("MinCellVNo.") };
    for (int n = 1; n <= CellCount; ++n)
        names.append(QStringLiteral("Volt%1").arg(n));
    names << QStringLiteral("MaxCellT") << QStringLiteral("MaxCellTNo.")
          << QStringLiteral("MinCellT") << QStringLiteral("MinCellTNo.");
    for (int n = 1; n <= SensorCount; ++n)
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

HistoryEventModel::HistoryEventModel(QObject *parent)
    : HistoryEventModel(CanService::instance(), parent)
{ }

HistoryEventModel::HistoryEventModel(CanService *service, QObject *parent)
    : QAbstractTableModel(parent)
    , m_service(service)
{
    connect(m_service, &CanService::newData, this, &HistoryEventModel::OnNewHistoryEvent);
    connect(m_service, &CanService::incompleteHistoryRecord, this,
        &HistoryEventModel::OnIncompleteHistoryEvent);
    m_idleTimer = new QTimer(this);
    m_idleTimer->setSingleShot(true);
    m_idleTimer->setInterval(TransferIdleMs);
    connect(m_idleTimer, &QTimer::timeout, this, &HistoryEventModel::OnTransferIdle);
}

// The save jobs are children; each waits for its file as it goes.
HistoryEventModel::~HistoryEventModel() = default;

const QStringList &HistoryEventModel::columnNames()
{
    static const QStringList names = makeColumnNames();
    return names;
}

QString HistoryEventModel::faultText(int faultId)
{
    return faultTexts().value(faultId);
}

bool HistoryEventModel::hasValidChecksum(const QByteArray &record)
{
    return record.size() > ChecksumSize && storedChecksum(record) == computedChecksum(record);
}

QStringList HistoryEventModel::formatRecord(const QByteArray &record, int slaveNo)
{
    if (record.size() < RecordSize)
        return QStringList();
    QStringList cells;
    cells.reserve(ColumnCount);
    cells << QStringLiteral("%1-%2-%3")
                 .arg(2000 + byteAt(record, YearAt))
                 .arg(byteAt(record, YearAt + 1))
                 .arg(byteAt(record, YearAt + 2));
    cells << QStringLiteral("%1:%2:%3")
                 .arg(byteAt(record, HourAt))
                 .arg(byteAt(record, HourAt + 1))
                 .arg(byteAt(record, HourAt + 2));
    cells << QString::number(slaveNo);
    cells << scaled(wordAt(record, SumVoltAt), 0.1f, 0.0f, 1);
    cells << scaled(wordAt(record, CurrAt), 0.1f, -3000.0f, 1);
    cells << scaled(wordAt(record, RemainCapacityAt), 0.01f, 0.0f, 2);
    cells << scaled(wordAt(record, SocAt), 0.1f, 0.0f, 1);
    cells << scaled(wordAt(record, SohAt), 0.1f, 0.0f, 1);
    cells << scaled(wordAt(record, DiffVoltAt), 0.001f, 0.0f, 3);
    cells << scaled(wordAt(record, MaxCellVAt), 0.001f, 0.0f, 3);
    cells << decimal(record, MaxCellVNoAt);
    cells << scaled(wordAt(record, MinCellVAt), 0.001f, 0.0f, 3);
    cells << decimal(record, MinCellVNoAt);
    for (int n = 0; n < CellCount; ++n)
        cells << scaled(wordAt(record, Volt1At + 2 * n), 0.001f, 0.0f, 3);
    cells << temperature(record, MaxCellTAt) << decimal(record, MaxCellTAt + 1)
          << temperature(record, MaxCellTAt + 2) << decimal(record, MaxCellTAt + 3);
    for (int n = 0; n < SensorCount; ++n)
        cells << temperature(record, Temp1At + n);
    for (int n = 0; n < RelayCount; ++n)
        cells << (byteAt(record, RelaysAt + n) == 1 ? QStringLiteral("On") : QStringLiteral("Off"));
    cells << faultText(byteAt(record, FaultIdAt));
    cells << decimal(record, AlarmLevelAt);
    return cells;
}

int HistoryEventModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int HistoryEventModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryEventModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= ColumnCount)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return m_rows.at(index.row()).value(index.column());
    case Qt::FontRole:
        return QFont(FontFamily, FontPointSize, QFont::Normal);
    default:
        return QVariant();
    }
}

QVariant HistoryEventModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (section < 0 || section >= ColumnCount)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return columnNames().at(section);
    case Qt::FontRole:
        return QFont(FontFamily, FontPointSize, QFont::Bold);
    default:
        return QVariant();
    }
}

bool HistoryEventModel::isSaving() const
{
    return !m_saves.isEmpty();
}

void HistoryEventModel::OnStartRecording(int deviceId)
{
    m_deviceId = deviceId;
    uint count = 0;
    if (m_service->readHistoryEventCount(uchar(deviceId), count) != CanService::Success)
        return;
    const int range = int(qMin<uint>(count, uint(std::numeric_limits<int>::max())));
    resetCounts(range);
    emit newProgressRange(range);
    emit newProgressValue(0);
    emit transferChanged();

    if (m_service->startHistoryEventTransfer(uchar(deviceId)) != CanService::Success) {
        QLOG_WARN() << "HistoryEventModel::OnStartRecording: failed to transfer data.";
        return;
    }
    removeAllRows();
    QLOG_DEBUG() << "HistoryEventModel::OnStartRecording: transfering data.";
    setState(Reading);
    m_idleTimer->start();
    checkComplete();
}

void HistoryEventModel::OnStopRecording()
{
    m_service->stopHistoryEventTransfer(uchar(m_deviceId));
    // The last records may have come during the wait for the BMS's answer.
    if (isReading()) {
        m_idleTimer->stop();
        setState(Stopped);
    }
}

void HistoryEventModel::OnClearRecordingData()
{
    m_service->clearHistoryEvents(uchar(m_deviceId));
    removeAllRows();
    m_idleTimer->stop();
    resetCounts(0);
    setState(Idle);
    emit transferChanged();
}

void HistoryEventModel::OnSaveRecordingData(QString path)
{
    const QVector<QStringList> rows = m_rows;
    auto *job = new CsvSaveJob(
        path, columnNames(), rows.size(), [rows](int row) { return rows.at(row); }, this);
    m_saves.append(job);
    connect(job, &CsvSaveJob::finished, this, [this, job](CsvSaveJob::Result result) {
        m_saves.removeOne(job);
        job->deleteLater();
        switch (result) {
        case CsvSaveJob::Saved:
            emit savingDataFinished(job->path());
            break;
        case CsvSaveJob::OpenFailed:
            emit savingDataError(tr("failed to open file: ") + job->path());
            break;
        case CsvSaveJob::WriteFailed:
            emit savingDataError(tr("failed to write file: ") + job->path());
            break;
        }
    });
    job->start();
}

void HistoryEventModel::OnNewHistoryEvent(uchar slave, QByteArray data)
{
    // Only records of the read-out this model started: another tool may read the battery's
    // history on the same bus, or the battery send it unasked, for as long as it likes.
    if (!isReading() || int(slave) != m_deviceId || data.size() <= IgnoredRecordSize)
        return;
    m_idleTimer->start();

    const quint16 stored = storedChecksum(data);
    const quint16 computed = computedChecksum(data);
    int held = 0;
    if (stored != computed) {
        if (m_dropLog.admit(BadChecksum, &held)) {
            QLOG_WARN() << "HistoryEventModel::OnNewHistoryEvent: check sum error for slave:"
                        << int(slave) << "; recv:" << Qt::hex << stored << "; calced:" << computed
                        << "; data:" << QString::fromLatin1(data.toHex(' '))
                        << QsLogging::DroppedLines { held };
        }
        countDropped(&m_dropped);
        return;
    }
    if (byteAt(data, DevIdAt) != slave) {
        // Another battery's record in this one's log: not a row of it, yet one of the events it
        // announced, so it is counted, or the read-out would never complete.
        if (m_dropLog.admit(OtherBattery, &held)) {
            QLOG_WARN() << "HistoryEventModel::OnNewHistoryEvent: record of slave"
                        << int(byteAt(data, DevIdAt)) << "from slave:" << int(slave)
                        << "; data:" << QString::fromLatin1(data.toHex(' '))
                        << QsLogging::DroppedLines { held };
        }
        countDropped(&m_wrongBattery);
        return;
    }
    if (data.size() < RecordSize) {
        if (m_dropLog.admit(TooShort, &held)) {
            QLOG_WARN() << "HistoryEventModel::OnNewHistoryEvent: record too short from slave:"
                        << int(slave) << "; size:" << data.size()
                        << "; data:" << QString::fromLatin1(data.toHex(' '))
                        << QsLogging::DroppedLines { held };
        }
        countDropped(&m_dropped);
        return;
    }

    const QStringList cells = formatRecord(data, m_deviceId);
    ++m_received;
    emit newProgressValue(m_received);
    beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size());
    m_rows.append(cells);
    endInsertRows();
    if (m_state == Stalled)
        setState(Reading);
    emit transferChanged();
    checkComplete();
}

void HistoryEventModel::OnIncompleteHistoryEvent(uchar slave, QByteArray data, quint16 missing)
{
    if (!isReading() || int(slave) != m_deviceId)
        return;
    m_idleTimer->start();
    QStringList sequences;
    for (int sequence = 0; sequence < 16; ++sequence) {
        if (missing & (1u << sequence))
            sequences.append(QString::number(sequence));
    }
    int held = 0;
    if (m_dropLog.admit(FramesMissing, &held)) {
        QLOG_WARN() << "HistoryEventModel::OnIncompleteHistoryEvent: incomplete record from slave:"
                    << int(slave) << "; frames missing:" << sequences.join(QLatin1Char(' '))
                    << "; data:" << QString::fromLatin1(data.toHex(' '))
                    << QsLogging::DroppedLines { held };
    }
    countDropped(&m_dropped);
}

void HistoryEventModel::OnTransferIdle()
{
    if (m_state != Reading)
        return;
    // Nothing came for a while: a record still being put together will not be completed. It
    // may have been the last one the battery announced.
    m_service->closeHistoryRecord(uchar(m_deviceId));
    if (m_state != Reading)
        return;
    QLOG_WARN() << "HistoryEventModel::OnTransferIdle: no record from slave:" << m_deviceId << "for"
                << TransferIdleMs << "ms; received:" << m_received << "; dropped:" << m_dropped
                << "; expected:" << m_expected;
    setState(Stalled);
}

void HistoryEventModel::resetCounts(int expected)
{
    m_expected = expected;
    m_received = 0;
    m_dropped = 0;
    m_wrongBattery = 0;
}

void HistoryEventModel::removeAllRows()
{
    if (m_rows.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_rows.size() - 1);
    m_rows.clear();
    endRemoveRows();
}

void HistoryEventModel::setState(TransferState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit transferChanged();
}

void HistoryEventModel::countDropped(int *counter)
{
    ++*counter;
    if (m_state == Stalled)
        setState(Reading);
    emit transferChanged();
    checkComplete();
}

void HistoryEventModel::checkComplete()
{
    if (isReading() && accountedCount() >= m_expected) {
        m_idleTimer->stop();
        setState(Complete);
    }
}
