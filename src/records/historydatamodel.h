#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

class AbstractSignalValue;
class QTimer;

// The lifetime statistics of the selected battery as an 8 x 6 grid of texts: label columns
// 0, 2 and 4, and beside each the values in the unit of its header (hours, times, kWh). The
// values are broadcast signals the store already holds; once a second the grid is refilled
// from it for the selected battery, whether or not anything changed.
//
// The lifetime discharge energy (93) is a raw count of watt-hours, as the home page reads it
// (divided by a million, in MWh); its label therefore names Wh, not the kWh of its column's
// header, which it shares with the rated capacity in Ah.
//
//          |  Hrs                   | Times                     | kWh
//   row 0  |  -20-0 ℃        98     | Voltage >56.5V        94  | Total Discharge Wh   93
//   row 1  |  0-10 ℃         99     | Voltage <51.0V        95  | Rated Capacity Ah    75
//   row 2  |  10-15 ℃        100    | Charge Relay Protect  96  |
//   row 3  |  15-45 ℃        101    | Discharge Relay Pro.  97  |
//   rows 4-7: 45-65 ℃ 102, >65 ℃ 103, Charge >0.6C 104, Discharge >0.6C 105
//
// Hours and the rated capacity read as "%05.2f" (03.50, never cut: 4567.25), the counters as
// at least four digits (0007) and the energy count as at least six (004321), unscaled.
class HistoryDataModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int RowCount = 8;
    static constexpr int ColumnCount = 6;
    static constexpr int RefreshIntervalMs = 1000;

    explicit HistoryDataModel(QObject *parent = nullptr);

    // Where values are read from; the application's store unless a test gives another.
    void setSignalSource(const AbstractSignalValue *source);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    int deviceId() const { return m_deviceId; }
    QTimer *refreshTimer() const { return m_timer; }

    // The value formats: hours (F), counters (I4) and the energy count (I6).
    static QString hoursText(const QVariant &value);
    static QString countText(const QVariant &value);
    static QString energyText(const QVariant &value);

public slots:
    void Slot_ShowMonitorData(uint devId);

private slots:
    void OnTimerTimeout();

private:
    const AbstractSignalValue *m_source = nullptr;
    QStringList m_header;
    QVector<QStringList> m_grid;
    int m_deviceId = -1;
    QTimer *m_timer = nullptr;
};
