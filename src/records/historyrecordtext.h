#pragma once

#include <QString>
#include <QStringList>

struct HistoryRecord;

// A history record as the history events table and its CSV file show it: 47 cells, Date and
// Time without leading zeros ("2021-5-7", "9:3:0"), the scaled numbers with a fixed number of
// decimals, temperatures in degrees, relays "On" or "Off" and the fault by its name.
class HistoryRecordText
{
public:
    static constexpr int ColumnCount = 47;

    // The column names, the table's and the CSV file's header.
    static const QStringList &columnNames();
    // A column name, a relay state or a fault name as the table shows it, in the language of
    // the translator installed; the text itself for any other.
    static QString translated(const QString &text);
    // The name of a fault id; empty for ids not in the table.
    static QString faultText(int faultId);
    // The cells of record, SlaveNo being slaveNo: the battery it was read from.
    static QStringList cells(const HistoryRecord &record, int slaveNo);
};
