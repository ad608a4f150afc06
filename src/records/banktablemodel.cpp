#include "banktablemodel.h"

#include "can/canservice.h"
#include "signals/alarmset.h"
#include "signals/signalvalues.h"

#include <QBrush>
#include <QColor>

#include <algorithm>
#include <cmath>

namespace {

// The fewest batteries online for which one can stand apart from the others.
constexpr int OutlierMinimum = 3;
const QColor OutlierBackground(0xFF, 0xC8, 0x6E);

QString firmwareText(const QByteArray &bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromLatin1(nul < 0 ? bytes : bytes.left(nul)).trimmed();
}

// A column's channel, the factor it is shown with and its decimals.
struct Shown
{
    TrendChannel::Id channel;
    double factor;
    int decimals;
};

bool shownAs(int column, Shown &shown)
{
    using namespace TrendChannel;
    switch (column) {
    case BankTableModel::StateOfCharge:
        shown = { StateOfCharge, 1.0, 1 };
        return true;
    case BankTableModel::Voltage:
        shown = { PackVoltage, 1.0, 1 };
        return true;
    case BankTableModel::Current:
        shown = { Current, 1.0, 1 };
        return true;
    case BankTableModel::MaxCellVoltage:
        shown = { MaxCellVoltage, 1.0, 3 };
        return true;
    case BankTableModel::MinCellVoltage:
        shown = { MinCellVoltage, 1.0, 3 };
        return true;
    case BankTableModel::Spread:
        shown = { CellVoltageSpread, 1000.0, 0 };
        return true;
    case BankTableModel::MaxTemperature:
        shown = { MaxCellTemperature, 1.0, 0 };
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
    const bool outlier
        = (column == StateOfCharge && row.socOutlier) || (column == Spread && row.spreadOutlier);
    switch (role) {
    case Qt::DisplayRole:
        return text(row, column);
    case SortRole:
        return number(row, column);
    case DeviceIdRole:
        return row.devId;
    case IsOutlierRole:
        return outlier;
    case Qt::BackgroundRole:
        return outlier ? QVariant(QBrush(OutlierBackground)) : QVariant();
    case Qt::TextAlignmentRole:
        return column == Firmware ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                  : int(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return QVariant();
    }
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
    markOutliers(TrendChannel::StateOfCharge, &Row::socOutlier);
    markOutliers(TrendChannel::CellVoltageSpread, &Row::spreadOutlier);
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows.size() - 1, ColumnCount - 1));
}

BankTableModel::Row BankTableModel::readRow(int devId) const
{
    Row row;
    row.devId = devId;
    row.online = m_store->value(devId, Signal::SysStatus).toUInt() != SignalValues::OfflineStatus;
    row.values = TrendChannel::read(*m_store, devId);
    const QList<int> levels = AlarmSet::levelSignals();
    row.protections = AlarmSet::protectionCount(*m_store, devId, levels, AlarmSet::flagSignals());
    row.alarms = AlarmSet::alarmCount(*m_store, devId, levels);
    if (m_service)
        row.firmware = firmwareText(m_service->deviceRecord(uchar(devId)).firmwareVersion.bytes());
    return row;
}

void BankTableModel::markOutliers(TrendChannel::Id channel, bool Row::*mark)
{
    QVector<float> values;
    for (Row &row : m_rows) {
        row.*mark = false;
        if (row.online && !std::isnan(row.values[channel]))
            values.append(row.values[channel]);
    }
    if (values.size() < OutlierMinimum)
        return;
    std::sort(values.begin(), values.end());
    const int middle = values.size() / 2;
    const double median = values.size() % 2
        ? values.at(middle)
        : (double(values.at(middle - 1)) + values.at(middle)) / 2;
    const auto distance = [&](const Row &row) { return std::abs(row.values[channel] - median); };
    double furthest = 0;
    for (const Row &row : qAsConst(m_rows)) {
        if (row.online && !std::isnan(row.values[channel]))
            furthest = std::max(furthest, distance(row));
    }
    if (furthest <= 0)
        return;
    for (Row &row : m_rows)
        row.*mark = row.online && distance(row) == furthest;
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
        return row.protections;
    case Alarms:
        return row.alarms;
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
        return QStringLiteral("%1").arg(row.devId, 2, 10, QLatin1Char('0'));
    case Online:
        return row.online ? tr("Online") : tr("Offline");
    case Protections:
        return QString::number(row.protections);
    case Alarms:
        return QString::number(row.alarms);
    default:
        return row.firmware;
    }
}
