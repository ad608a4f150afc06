#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Rows of text under a header, printed with the columns lined up for a person to read: two
// blanks between columns, numbers (columns marked right-aligned) flush right.
//
//     ID  Serial        Drift
//      1  QM2024100001  +2 s
class Table
{
public:
    explicit Table(const QStringList &header);

    void setRightAligned(int column, bool right = true);
    // Missing cells print empty; extra cells are dropped.
    void addRow(const QStringList &cells);
    int rowCount() const { return m_rows.size(); }

    // One line per row, the header first, each ending in a newline; trailing blanks removed.
    QString render() const;

private:
    QStringList m_header;
    QList<QStringList> m_rows;
    QList<bool> m_rightAligned;
};
