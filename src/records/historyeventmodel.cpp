#include "historyeventmodel.h"

#include "csvsavejob.h"
#include "historyreadout.h"
#include "historyrecordtext.h"

#include "can/canservice.h"

#include <QFont>

namespace {

const QString FontFamily = QStringLiteral("Microsoft YaHei");
constexpr int FontPointSize = 10;
// The four relay states, the fault name and the alarm level close each row.
constexpr int FirstWordColumn = HistoryRecordText::ColumnCount - 6;
constexpr int AlarmLevelColumn = HistoryRecordText::ColumnCount - 1;

} // namespace

HistoryEventModel::HistoryEventModel(QObject *parent)
    : HistoryEventModel(CanService::instance(), parent)
{ }

HistoryEventModel::HistoryEventModel(CanService *service, QObject *parent)
    : QAbstractTableModel(parent)
    , m_readout(new HistoryReadout(service, this))
{
    connect(m_readout, &HistoryReadout::announced, this, &HistoryEventModel::OnAnnounced);
    connect(m_readout, &HistoryReadout::restarted, this, &HistoryEventModel::removeAllRows);
    connect(m_readout, &HistoryReadout::recordRead, this, &HistoryEventModel::OnRecordRead);
}

// The save jobs are children; each waits for its file as it goes.
HistoryEventModel::~HistoryEventModel() = default;

int HistoryEventModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int HistoryEventModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : HistoryRecordText::ColumnCount;
}

QVariant HistoryEventModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size()
        || index.column() >= HistoryRecordText::ColumnCount)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole: {
        // The relay states and the fault name are words; the other cells numbers.
        const QString cell = m_rows.at(index.row()).value(index.column());
        return index.column() >= FirstWordColumn && index.column() != AlarmLevelColumn
            ? HistoryRecordText::translated(cell)
            : cell;
    }
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
    if (section < 0 || section >= HistoryRecordText::ColumnCount)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return HistoryRecordText::translated(HistoryRecordText::columnNames().at(section));
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
    m_readout->start(deviceId);
}

void HistoryEventModel::OnStopRecording()
{
    m_readout->stop();
}

void HistoryEventModel::OnClearRecordingData()
{
    m_readout->clear();
}

void HistoryEventModel::OnSaveRecordingData(QString path)
{
    const QVector<QStringList> rows = m_rows;
    auto *job = new CsvSaveJob(
        path, HistoryRecordText::columnNames(), rows.size(),
        [rows](int row) { return rows.at(row); }, this);
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

void HistoryEventModel::OnAnnounced(int count)
{
    emit newProgressRange(count);
    emit newProgressValue(0);
}

void HistoryEventModel::OnRecordRead(const HistoryRecord &record)
{
    emit newProgressValue(m_readout->receivedCount());
    beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size());
    m_rows.append(HistoryRecordText::cells(record, m_readout->deviceId()));
    endInsertRows();
}

void HistoryEventModel::removeAllRows()
{
    if (m_rows.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_rows.size() - 1);
    m_rows.clear();
    endRemoveRows();
}
