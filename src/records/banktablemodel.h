#pragma once

#include "records/trendchannel.h"

#include <QAbstractTableModel>
#include <QVector>

class CanService;
class SignalValues;

// The bank at a glance: one row per battery heard on the bus, in the order they were first
// heard, with its live values as the store holds them at the last refresh(). A view sorts it
// through a proxy on SortRole, which gives every cell as a number (or a text for the firmware).
//
// Among the batteries online (three or more, so that a median says who stands apart), the
// state of charge and the cell voltage spread furthest from the bank's median are marked
// (IsOutlierRole, and a background): the pack out of balance, the pack that lags. Ties are all
// marked; a bank where every value is the same marks none.
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

    // The battery of a row; -1 outside the rows.
    int deviceId(int row) const;

public slots:
    // Reads every battery heard from the store again; new batteries become new last rows.
    void refresh();

private:
    struct Row
    {
        int devId = 0;
        bool online = false;
        TrendChannel::Values values {};
        int protections = 0;
        int alarms = 0;
        QString firmware;
        bool socOutlier = false;
        bool spreadOutlier = false;
    };

    Row readRow(int devId) const;
    // Marks, among the rows online, those whose channel stands furthest from the median.
    void markOutliers(TrendChannel::Id channel, bool Row::*mark);
    QVariant number(const Row &row, int column) const;
    QString text(const Row &row, int column) const;

    const SignalValues *m_store;
    const CanService *m_service;
    QVector<Row> m_rows;
};
