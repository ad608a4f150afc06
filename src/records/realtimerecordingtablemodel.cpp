#include "realtimerecordingtablemodel.h"

#include "csvsavejob.h"

#include "signals/abstractsignalvalue.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QFont>
#include <QTimer>

#include <cstring>

namespace {

const QString FontFamily = QStringLiteral("Microsoft YaHei");
constexpr int FontPointSize = 10;

struct Column
{
    const char *name;
    int signal;
};

// Columns 3 to 65 and the signal each one shows.
// clang-format off
const Column ValueColumns[] = {
    { "SumVolt", Signal::SumVolt }, { "Curr", Signal::Curr },
    { "RemainCapacity", Signal::RemainCapacity }, { "SOC", Signal::SOC }, { "SOH", Signal::SOH },
    { "DiffVolt", Signal::DiffVolt }, { "MaxCellV", Signal::MaxCellV },
    { "MaxCellVNo.", Signal::MaxCellVNo }, { "MinCellV", Signal::MinCellV },
    { "MinCellVNo.", Signal::MinCellVNo },
    { "Volt1", Signal::Volt1 }, { "Volt2", Signal::Volt2 }, { "Volt3", Signal::Volt3 },
    { "Volt4", Signal::Volt4 }, { "Volt5", Signal::Volt5 }, { "Volt6", Signal::Volt6 },
    { "Volt7", Signal::Volt7 }, { "Volt8", Signal::Volt8 }, { "Volt9", Signal::Volt9 },
    { "Volt10", Signal::Volt10 }, { "Volt11", Signal::Volt11 }, { "Volt12", Signal::Volt12 },
    { "Volt13", Signal::Volt13 }, { "Volt14", Signal::Volt14 }, { "Volt15", Signal::Volt15 },
    { "Volt16", Signal::Volt16 },
    { "MaxCellT", Signal::MaxCellT }, { "MaxCellTNo.", Signal::MaxCellTNo },
    { "MinCellT", Signal::MinCellT }, { "MinCellTNo.", Signal::MinCellTNo },
    { "Temp1", Signal::Temp1 }, { "Temp2", Signal::Temp2 }, { "Temp3", Signal::Temp3 },
    { "Temp4", Signal::Temp4 }, { "Temp5", Signal::Temp5 }, { "Temp6", Signal::Temp6 },
    { "Temp7", Signal::Temp7 }, { "Temp8", Signal::Temp8 },
    { "PrechargeRelay", Signal::PrechargeRelay }, { "ChargeRelay", Signal::ChargeRelay },
    { "DischargeRelay", Signal::DischargeRelay }, { "PosRelay", Signal::PosRelay },
    { "CellOverVolt", Signal::CellOverVolt }, { "CellUnderVolt", Signal::CellUnderVolt },
    { "PackOverVolt", Signal::PackOverVolt }, { "PackUnderVolt", Signal::PackUnderVolt },
    { "CellDiffVolt", Signal::CellDiffVolt }, { "ChargeHi-Temp", Signal::ChargeHiTemp },
    { "DischargeHi-Temp", Signal::DischargeHiTemp }, { "ChargeLo-Temp", Signal::ChargeLoTemp },
    { "DischargeLo-Temp", Signal::DischargeLoTemp }, { "DiffTemp", Signal::DiffTemp },
    { "ChargeOverCurr", Signal::ChargeOverCurr },
    { "DischargeOverCurr", Signal::DischargeOverCurr },
    { "AFE-OV", Signal::AfeOv }, { "AFE-UV", Signal::AfeUv },
    { "DuplicateSlaveAddrError", Signal::DuplicateSlaveAddrError },
    { "Inter-CanCommunError", Signal::InterCanCommunError },
    { "Exter-CanCommunError", Signal::ExterCanCommunError },
    { "Rs485CommunicationError", Signal::Rs485CommunicationError },
    { "VoltageDetectError", Signal::VoltageDetectError },
    { "TemperatureDetectError", Signal::TemperatureDetectError },
    { "AFECommunicationError", Signal::AFECommunicationError },
};
// clang-format on
static_assert(sizeof(ValueColumns) / sizeof(ValueColumns[0]) == RecordingSample::ValueCount,
    "one value column per stored value");

QStringList makeColumnNames()
{
    QStringList names
        = { QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("SlaveNo") };
    for (const Column &column : ValueColumns)
        names.append(QLatin1String(column.name));
    return names;
}

quint32 floatBits(float value)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

float bitsFloat(quint32 bits)
{
    float value = 0;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// An integer signal as its signed 32-bit value: the store keeps integers unsigned.
qint32 signedValue(const QVariant &value)
{
    return value.type() == QVariant::UInt ? qint32(value.toUInt()) : value.toInt();
}

QTime timeOf(const RecordingSample &sample)
{
    return QTime::fromMSecsSinceStartOfDay(sample.msecsOfDay);
}

} // namespace

RealTimeRecordingTableModel::RealTimeRecordingTableModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_source(SignalValues::instance())
    , m_clock([] { return QDateTime::currentDateTime(); })
{
    for (int k = 0; k < RecordingSample::ValueCount; ++k)
        m_columnSignals.insert(FirstValueColumn + k, ValueColumns[k].signal);
    updateFormats();

    m_timer = new QTimer(this);
    m_timer->setInterval(SampleIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &RealTimeRecordingTableModel::OnTimerTimeout);
}

// The save jobs are children; each waits for its file as it goes.
RealTimeRecordingTableModel::~RealTimeRecordingTableModel() = default;

void RealTimeRecordingTableModel::setSignalSource(const AbstractSignalValue *source)
{
    m_source = source;
    updateFormats();
    if (!m_samples.isEmpty())
        emit dataChanged(index(0, FirstValueColumn), index(rowCount() - 1, ColumnCount - 1));
}

void RealTimeRecordingTableModel::setClock(std::function<QDateTime()> clock)
{
    m_clock = std::move(clock);
}

void RealTimeRecordingTableModel::updateFormats()
{
    if (!m_source)
        return;
    QHash<int, bool> real;
    for (quint32 key : m_source->frameKeys()) {
        for (const SignalDefinition &definition : m_source->definitions(key))
            real.insert(definition.index, definition.kind == SignalKind::Real);
    }
    for (int k = 0; k < RecordingSample::ValueCount; ++k) {
        const int signal = m_columnSignals.value(FirstValueColumn + k);
        m_formats[size_t(k)] = { real.value(signal), m_source->decimals(signal) };
    }
}

const QStringList &RealTimeRecordingTableModel::columnNames()
{
    static const QStringList names = makeColumnNames();
    return names;
}

QString RealTimeRecordingTableModel::valueText(quint32 value, const ValueFormat &format)
{
    if (format.real)
        return QString::number(double(bitsFloat(value)), 'f', format.decimals);
    return QString::number(double(qint32(value)), 'f', format.decimals);
}

QStringList RealTimeRecordingTableModel::csvCells(
    const RecordingSample &sample, const ValueFormats &formats)
{
    QStringList cells;
    cells.reserve(ColumnCount);
    // The date at midnight, whatever the time zone makes of local midnight that day.
    cells << QDateTime(QDate::fromJulianDay(sample.julianDay), QTime(0, 0), Qt::UTC)
                 .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    cells << timeOf(sample).toString();
    cells << QString::number(sample.devId);
    for (int k = 0; k < RecordingSample::ValueCount; ++k)
        cells << valueText(sample.values[size_t(k)], formats[size_t(k)]);
    return cells;
}

int RealTimeRecordingTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_samples.size();
}

int RealTimeRecordingTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RealTimeRecordingTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_samples.size() || index.column() >= ColumnCount)
        return QVariant();
    if (role == Qt::FontRole)
        return QFont(FontFamily, FontPointSize, QFont::Normal);
    if (role != Qt::DisplayRole)
        return QVariant();
    const RecordingSample &sample = m_samples.at(index.row());
    switch (index.column()) {
    case 0:
        return QDate::fromJulianDay(sample.julianDay).toString(QStringLiteral("yyyy-MM-dd"));
    case 1:
        return timeOf(sample).toString(QStringLiteral("hh:mm:ss"));
    case 2:
        return sample.devId;
    default: {
        const int k = index.column() - FirstValueColumn;
        return valueText(sample.values[size_t(k)], m_formats[size_t(k)]);
    }
    }
}

QVariant RealTimeRecordingTableModel::headerData(
    int section, Qt::Orientation orientation, int role) const
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

bool RealTimeRecordingTableModel::isRecording() const
{
    return m_timer->isActive();
}

bool RealTimeRecordingTableModel::isSaving() const
{
    return !m_saves.isEmpty();
}

void RealTimeRecordingTableModel::OnStartRecording(int deviceId)
{
    m_deviceId = deviceId;
    // start() on a running timer restarts its interval: still one timer.
    m_timer->start();
}

void RealTimeRecordingTableModel::OnStopRecording()
{
    m_timer->stop();
}

void RealTimeRecordingTableModel::OnClearRecordingData()
{
    if (m_samples.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_samples.size() - 1);
    m_samples.clear();
    endRemoveRows();
}

void RealTimeRecordingTableModel::OnTimerTimeout()
{
    // One reading of the clock for both cells, so that a sample near midnight cannot pair the
    // old day with the new day's time.
    const QDateTime now = m_clock();
    RecordingSample sample;
    sample.julianDay = qint32(now.date().toJulianDay());
    sample.msecsOfDay = now.time().msecsSinceStartOfDay();
    sample.devId = m_deviceId;
    for (auto it = m_columnSignals.cbegin(); it != m_columnSignals.cend(); ++it) {
        const int k = it.key() - FirstValueColumn;
        const QVariant value = m_source ? m_source->value(m_deviceId, it.value()) : QVariant(0);
        sample.values[size_t(k)]
            = m_formats[size_t(k)].real ? floatBits(value.toFloat()) : quint32(signedValue(value));
    }
    beginInsertRows(QModelIndex(), m_samples.size(), m_samples.size());
    m_samples.append(sample);
    endInsertRows();
}

void RealTimeRecordingTableModel::OnSaveRecordingData(QString path)
{
    const RecordingSamples snapshot = m_samples;
    const ValueFormats formats = m_formats;
    auto *job = new CsvSaveJob(
        path, columnNames(), snapshot.size(),
        [snapshot, formats](int row) { return csvCells(snapshot.at(row), formats); }, this);
    m_saves.append(job);
    connect(job, &CsvSaveJob::finished, this, [this, job](CsvSaveJob::Result result) {
        m_saves.removeOne(job);
        job->deleteLater();
        if (result == CsvSaveJob::Saved)
            emit savingDataFinished(job->path());
        else if (result == CsvSaveJob::OpenFailed)
            emit savingDataError(tr("failed to open file: ") + job->path());
        else
            emit savingDataError(tr("failed to write file: ") + job->path());
    });
    job->start();
}
