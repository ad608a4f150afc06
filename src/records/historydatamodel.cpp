#include "historydatamodel.h"

#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QFont>
#include <QTimer>

namespace {

enum Format { Hours, Count, Energy };

struct ValueCell
{
    int signal;
    int row;
    int column;
    Format format;
};

// In the order the refresh reads them.
const ValueCell ValueCells[] = {
    { Signal::StatHours1, 0, 1, Hours },
    { Signal::StatCount1, 0, 3, Count },
    { Signal::TotalDischargeEnergy, 0, 5, Energy },
    { Signal::StatHours2, 1, 1, Hours },
    { Signal::StatCount2, 1, 3, Count },
    { Signal::RatedCapacity, 1, 5, Hours },
    { Signal::StatHours3, 2, 1, Hours },
    { Signal::StatCount3, 2, 3, Count },
    { Signal::StatHours4, 3, 1, Hours },
    { Signal::StatCount4, 3, 3, Count },
    { Signal::StatHours5, 4, 1, Hours },
    { Signal::StatHours6, 5, 1, Hours },
    { Signal::StatHours7, 6, 1, Hours },
    { Signal::StatHours8, 7, 1, Hours },
};

// Rows of each value column: hours 0-7, counters 0-3, energy and capacity 0-1.
const int LastRowOfColumn[HistoryDataModel::ColumnCount] = { -1, 7, -1, 3, -1, 1 };

const QString FontFamily = QStringLiteral("Microsoft YaHei");
constexpr int HeaderPointSize = 15;

} // namespace

HistoryDataModel::HistoryDataModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_source(SignalValues::instance())
{
    m_header = QStringList { QString(), tr("Hrs"), QString(), tr("Times"), QString(), tr("kWh") };
    const QString zero = QStringLiteral("0");
    m_grid = {
        { tr("-20-0 ℃"), zero, tr("Voltage >56.5V"), zero, tr("Total Discharge Wh"), zero },
        { tr("0-10 ℃"), zero, tr("Voltage <51.0V"), zero, tr("Rated Capacity Ah"), zero },
        { tr("10-15 ℃"), zero, tr("Charge Relay Protect"), zero, QString(), QString() },
        { tr("15-45 ℃"), zero, tr("Discharge Relay Protect"), zero, QString(), QString() },
        { tr("45-65 ℃"), zero, QString(), QString(), QString(), QString() },
        { tr(">65 ℃"), zero, QString(), QString(), QString(), QString() },
        { tr("Charge >0.6C"), zero, QString(), QString(), QString(), QString() },
        { tr("Discharge >0.6C"), zero, QString(), QString(), QString(), QString() },
    };

    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &HistoryDataModel::OnTimerTimeout);
    m_timer->start();
}

void HistoryDataModel::setSignalSource(const AbstractSignalValue *source)
{
    m_source = source;
}

QString HistoryDataModel::hoursText(const QVariant &value)
{
    return QStringLiteral("%1").arg(double(value.toFloat()), 5, 'f', 2, QLatin1Char('0'));
}

// The counters are unsigned on the wire and in the store, and shown so: a count never reads
// negative, however large.
QString HistoryDataModel::countText(const QVariant &value)
{
    return QStringLiteral("%1").arg(value.toUInt(), 4, 10, QLatin1Char('0'));
}

QString HistoryDataModel::energyText(const QVariant &value)
{
    return QStringLiteral("%1").arg(value.toUInt(), 6, 10, QLatin1Char('0'));
}

int HistoryDataModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid.size();
}

int HistoryDataModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_header.size();
}

QVariant HistoryDataModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_grid.size() || index.column() >= m_header.size())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return m_grid.at(index.row()).at(index.column());
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return QVariant();
    }
}

QVariant HistoryDataModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_header.size())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return m_header.at(section);
    case Qt::FontRole:
        return QFont(FontFamily, HeaderPointSize, QFont::Bold);
    default:
        return QVariant();
    }
}

void HistoryDataModel::Slot_ShowMonitorData(uint devId)
{
    m_deviceId = int(devId);
}

void HistoryDataModel::OnTimerTimeout()
{
    if (m_deviceId < 0 || !m_source)
        return;
    for (const ValueCell &cell : ValueCells) {
        const QVariant value = m_source->value(m_deviceId, cell.signal);
        QString text;
        switch (cell.format) {
        case Hours:
            text = hoursText(value);
            break;
        case Count:
            text = countText(value);
            break;
        case Energy:
            text = energyText(value);
            break;
        }
        m_grid[cell.row][cell.column] = text;
    }
    for (int column = 0; column < ColumnCount; ++column) {
        if (LastRowOfColumn[column] >= 0)
            emit dataChanged(index(0, column), index(LastRowOfColumn[column], column));
    }
}
