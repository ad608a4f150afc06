#pragma once

#include "records/trendchannel.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

#include <array>

class CanService;
class SignalValues;

// The bank at a glance: one row per battery heard on the bus, in the order they were first
// heard, with its values as the store holds them at the last refresh(). A view sorts it through
// a proxy on SortRole, which gives every cell as a number (or a text for the firmware).
//
// Among the batteries online (three or more, so that a median says who stands apart), every
// value further from the bank's median than its column's threshold (outlierThreshold) is marked
// (IsOutlierRole, a background and a tool tip saying by how much): the pack out of balance, the
// pack that lags. Protection and alarm counts above 0 are marked red and yellow, with the
// conditions named in the tool tip. A battery offline shows the values last heard, greyed, with
// the time it was last heard in the Online column. summary() sums the bank up.
//
// The firmware version is the one the CAN service's record holds for the battery, when
// something (the firmware page) has read it; the model never sends a command itself.
class BankTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        Id,
        Online,
        StateOfCharge,
        Voltage,
        Current,
        MaxCellVoltage,
        MinCellVoltage,
        Spread,
        MaxTemperature,
        Protections,
        Alarms,
        Firmware,
        ColumnCount
    };
    enum Role { SortRole = Qt::UserRole, DeviceIdRole, IsOutlierRole };

    // service may be null: the firmware column then stays empty.
    BankTableModel(const SignalValues *store, const CanService *service, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A text field of a device record (firmware version, battery code) as shown: up to its
    // first NUL, without surrounding blanks.
    static QString recordText(const QByteArray &bytes);
    // The battery of a row; -1 outside the rows.
    int deviceId(int row) const;
    // How far from the median a value of the column stands out, in the unit it is shown in; 0
    // for a column that is not compared.
    static double outlierThreshold(int column);
    // The bank in one line: batteries online, total current and power, lowest and highest cell
    // with battery and cell number, highest temperature; of the batteries online.
    QString summary() const;

public slots:
    // Reads every battery heard from the store again; new batteries become new last rows.
    void refresh();

private:
    struct Row
    {
        int devId = 0;
        bool online = false;
        // When it was last heard live; 0 when never.
        qint64 lastLiveMs = 0;
        TrendChannel::Values values {};
        int maxCellNumber = 0;
        int minCellNumber = 0;
        int maxTemperatureNumber = 0;
        QStringList protections;
        QStringList alarms;
        QString firmware;
        // By column: how far the value stands from the bank's median, when beyond the column's
        // threshold; NaN otherwise.
        std::array<double, ColumnCount> outlierBy {};
    };

    Row readRow(int devId) const;
    // Marks, among the rows online, the values of a column beyond its threshold from the median.
    void markOutliers(int column);
    QVariant number(const Row &row, int column) const;
    QString text(const Row &row, int column) const;
    QVariant background(const Row &row, int column) const;
    QString toolTip(const Row &row, int column) const;

    const SignalValues *m_store;
    const CanService *m_service;
    QVector<Row> m_rows;
    // By column, the median of the last refresh, for the tool tips.
    std::array<double, ColumnCount> m_medians {};
};
