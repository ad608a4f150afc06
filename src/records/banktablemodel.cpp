#include "banktablemodel.h"

#include "can/canservice.h"
#include "signals/alarmset.h"
#include "signals/signalvalues.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The fewest batteries online for which one can stand apart from the others.
constexpr int OutlierMinimum = 3;
const QColor OutlierBackground(0xFF, 0xC8, 0x6E);
const QColor ProtectionBackground(0xF2, 0x6B, 0x6B);
const QColor AlarmBackground(0xFF, 0xE0, 0x4A);
const QColor LastHeardForeground(0x9A, 0x9A, 0x9A);

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("hh:mm:ss"));
}

QString idText(int devId)
{
    return QStringLiteral("%1").arg(devId, 2, 10, QLatin1Char('0'));
}

// A column's channel, the factor it is shown with, its decimals, and how far from the bank's
// median (in the unit shown) a value stands out: a state of charge 10 % apart is a pack that
// lags, a spread 20 mV wider a pack out of balance.
struct Shown
{
    TrendChannel::Id channel;
    double factor;
    int decimals;
    double threshold;
};

bool shownAs(int column, Shown &shown)
{
    using namespace TrendChannel;
    switch (column) {
    case BankTableModel::StateOfCharge:
        shown = { StateOfCharge, 1.0, 1, 10.0 };
        return true;
    case BankTableModel::Voltage:
        shown = { PackVoltage, 1.0, 1, 1.0 };
        return true;
    case BankTableModel::Current:
        shown = { Current, 1.0, 1, 10.0 };
        return true;
    case BankTableModel::MaxCellVoltage:
        shown = { MaxCellVoltage, 1.0, 3, 0.05 };
        return true;
    case BankTableModel::MinCellVoltage:
        shown = { MinCellVoltage, 1.0, 3, 0.05 };
        return true;
    case BankTableModel::Spread:
        shown = { CellVoltageSpread, 1000.0, 0, 20.0 };
        return true;
    case BankTableModel::MaxTemperature:
        shown = { MaxCellTemperature, 1.0, 0, 5.0 };
        return true;
    default:
        return false;
    }
}

} // namespace

BankTableModel::BankTableModel(
    const SignalValues *store, const CanService *service, QObject *parent)
    : QAbstractTableModel(parent)
    , m_store(store)
    , m_service(service)
{ }

int BankTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int BankTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BankTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Row &row = m_rows.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return text(row, column);
    case SortRole:
        return number(row, column);
    case DeviceIdRole:
        return row.devId;
    case IsOutlierRole:
        return !std::isnan(row.outlierBy[size_t(column)]);
    case Qt::BackgroundRole:
        return background(row, column);
    case Qt::ForegroundRole:
        return row.online ? QVariant() : QVariant(QBrush(LastHeardForeground));
    case Qt::ToolTipRole: {
        const QString tip = toolTip(row, column);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::TextAlignmentRole:
        return column == Firmware ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                  : int(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant BankTableModel::background(const Row &row, int column) const
{
    if (!std::isnan(row.outlierBy[size_t(column)]))
        return QBrush(OutlierBackground);
    if (column == Protections && !row.protections.isEmpty())
        return QBrush(ProtectionBackground);
    if (column == Alarms && !row.alarms.isEmpty())
        return QBrush(AlarmBackground);
    return QVariant();
}

QString BankTableModel::toolTip(const Row &row, int column) const
{
    QStringList lines;
    const double by = row.outlierBy[size_t(column)];
    Shown shown {};
    if (!std::isnan(by) && shownAs(column, shown)) {
        lines << tr("%1 from the bank's median of %2: more than %3 apart")
                     .arg(QString::number(by, 'f', shown.decimals),
                         QString::number(m_medians[size_t(column)], 'f', shown.decimals),
                         QString::number(shown.threshold));
    }
    if (column == Protections && !row.protections.isEmpty())
        lines << tr("In protection: %1").arg(row.protections.join(QStringLiteral(", ")));
    if (column == Alarms && !row.alarms.isEmpty())
        lines << tr("In alarm: %1").arg(row.alarms.join(QStringLiteral(", ")));
    if (!row.online && (column == Online || !lines.isEmpty())) {
        lines << (row.lastLiveMs > 0 ? tr("Offline: the values are those last heard, at %1")
                                           .arg(timeText(row.lastLiveMs))
                                     : tr("Offline: never heard live"));
    }
    return lines.join(QLatin1Char('\n'));
}

QVariant BankTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Id:
        return tr("ID");
    case Online:
        return tr("Online");
    case StateOfCharge:
        return tr("SOC (%)");
    case Voltage:
        return tr("Voltage (V)");
    case Current:
        return tr("Current (A)");
    case MaxCellVoltage:
        return tr("Max. cell (V)");
    case MinCellVoltage:
        return tr("Min. cell (V)");
    case Spread:
        return tr("Spread (mV)");
    case MaxTemperature:
        return tr("Max. temp. (℃)");
    case Protections:
        return tr("Protections");
    case Alarms:
        return tr("Alarms");
    case Firmware:
        return tr("Firmware");
    default:
        return QVariant();
    }
}

QString BankTableModel::recordText(const QByteArray &bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromLatin1(nul < 0 ? bytes : bytes.left(nul)).trimmed();
}

int BankTableModel::deviceId(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).devId : -1;
}

void BankTableModel::refresh()
{
    const QList<uchar> &heard = m_store->knownDevices();
    if (heard.size() > m_rows.size()) {
        beginInsertRows(QModelIndex(), m_rows.size(), heard.size() - 1);
        for (int i = m_rows.size(); i < heard.size(); ++i)
            m_rows.append(readRow(heard.at(i)));
        endInsertRows();
    }
    for (Row &row : m_rows)
        row = readRow(row.devId);
    for (int column = 0; column < ColumnCount; ++column)
        markOutliers(column);
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows.size() - 1, ColumnCount - 1));
}

BankTableModel::Row BankTableModel::readRow(int devId) const
{
    Row row;
    row.devId = devId;
    row.online = m_store->value(devId, Signal::SysStatus).toUInt() != SignalValues::OfflineStatus;
    row.lastLiveMs = m_store->lastLiveMs(devId);
    row.values = TrendChannel::read(*m_store, devId);
    row.maxCellNumber = m_store->value(devId, Signal::MaxCellVNo).toInt();
    row.minCellNumber = m_store->value(devId, Signal::MinCellVNo).toInt();
    row.maxTemperatureNumber = m_store->value(devId, Signal::MaxCellTNo).toInt();
    row.protections = AlarmSet::activeNames(*m_store, devId, AlarmSet::ProtectionLevel);
    row.alarms = AlarmSet::activeNames(*m_store, devId, AlarmSet::AlarmLevel);
    if (m_service)
        row.firmware = recordText(m_service->deviceRecord(uchar(devId)).firmwareVersion.bytes());
    row.outlierBy.fill(std::numeric_limits<double>::quiet_NaN());
    return row;
}

double BankTableModel::outlierThreshold(int column)
{
    Shown shown {};
    return shownAs(column, shown) ? shown.threshold : 0;
}

void BankTableModel::markOutliers(int column)
{
    Shown shown {};
    if (!shownAs(column, shown))
        return;
    const auto valueOf = [&](const Row &row) { return row.values[shown.channel] * shown.factor; };
    QVector<double> values;
    for (const Row &row : qAsConst(m_rows)) {
        if (row.online && !std::isnan(valueOf(row)))
            values.append(valueOf(row));
    }
    if (values.size() < OutlierMinimum)
        return;
    std::sort(values.begin(), values.end());
    const int middle = values.size() / 2;
    const double median
        = values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2;
    m_medians[size_t(column)] = median;
    // A hair's room, so that a value exactly at the threshold, as shown, is not marked.
    const double threshold = shown.threshold + std::pow(10.0, -shown.decimals) / 2;
    for (Row &row : m_rows) {
        const double by = valueOf(row) - median;
        if (row.online && std::abs(by) > threshold)
            row.outlierBy[size_t(column)] = by;
    }
}

QString BankTableModel::summary() const
{
    int online = 0;
    double current = 0;
    double powerKw = 0;
    const Row *lowest = nullptr;
    const Row *highest = nullptr;
    const Row *hottest = nullptr;
    const auto better = [](const Row *best, const Row &row, TrendChannel::Id channel, bool low) {
        const float value = row.values[channel];
        if (std::isnan(value))
            return best;
        if (!best || (low ? value < best->values[channel] : value > best->values[channel]))
            return &row;
        return best;
    };
    for (const Row &row : m_rows) {
        if (!row.online)
            continue;
        ++online;
        if (!std::isnan(row.values[TrendChannel::Current])) {
            current += row.values[TrendChannel::Current];
            if (!std::isnan(row.values[TrendChannel::PackVoltage]))
                powerKw += double(row.values[TrendChannel::Current])
                    * row.values[TrendChannel::PackVoltage] / 1000;
        }
        lowest = better(lowest, row, TrendChannel::MinCellVoltage, true);
        highest = better(highest, row, TrendChannel::MaxCellVoltage, false);
        hottest = better(hottest, row, TrendChannel::MaxCellTemperature, false);
    }
    QStringList parts = { tr("Online %1 of %2").arg(online).arg(m_rows.size()) };
    if (online > 0) {
        parts << tr("current %1 A").arg(current, 0, 'f', 1)
              << tr("power %1 kW").arg(powerKw, 0, 'f', 2);
    }
    if (lowest) {
        parts << tr("lowest cell %1 V (%2, cell %3)")
                     .arg(QString::number(lowest->values[TrendChannel::MinCellVoltage], 'f', 3),
                         idText(lowest->devId), QString::number(lowest->minCellNumber));
    }
    if (highest) {
        parts << tr("highest cell %1 V (%2, cell %3)")
                     .arg(QString::number(highest->values[TrendChannel::MaxCellVoltage], 'f', 3),
                         idText(highest->devId), QString::number(highest->maxCellNumber));
    }
    if (hottest) {
        parts << tr("highest temperature %1 ℃ (%2, sensor %3)")
                     .arg(
                         QString::number(hottest->values[TrendChannel::MaxCellTemperature], 'f', 0),
                         idText(hottest->devId), QString::number(hottest->maxTemperatureNumber));
    }
    return parts.join(QStringLiteral(" · "));
}

QVariant BankTableModel::number(const Row &row, int column) const
{
    Shown shown {};
    if (shownAs(column, shown)) {
        const float value = row.values[shown.channel];
        return std::isnan(value) ? QVariant() : QVariant(value * shown.factor);
    }
    switch (column) {
    case Id:
        return row.devId;
    case Online:
        return row.online;
    case Protections:
        return row.protections.size();
    case Alarms:
        return row.alarms.size();
    default:
        return row.firmware;
    }
}

QString BankTableModel::text(const Row &row, int column) const
{
    Shown shown {};
    if (shownAs(column, shown)) {
        const float value = row.values[shown.channel];
        return std::isnan(value) ? QString()
                                 : QString::number(value * shown.factor, 'f', shown.decimals);
    }
    switch (column) {
    case Id:
        return idText(row.devId);
    case Online:
        if (row.online)
            return tr("Online");
        return row.lastLiveMs > 0 ? tr("last seen %1").arg(timeText(row.lastLiveMs))
                                  : tr("Offline");
    case Protections:
        return QString::number(row.protections.size());
    case Alarms:
        return QString::number(row.alarms.size());
    default:
        return row.firmware;
    }
}
