#include "table.h"

namespace {

constexpr int ColumnGap = 2;

} // namespace

Table::Table(const QStringList &header)
    : m_header(header)
{
    for (int i = 0; i < header.size(); ++i)
        m_rightAligned.append(false);
}

void Table::setRightAligned(int column, bool right)
{
    if (column >= 0 && column < m_rightAligned.size())
        m_rightAligned[column] = right;
}

void Table::addRow(const QStringList &cells)
{
    QStringList row = cells.mid(0, m_header.size());
    while (row.size() < m_header.size())
        row.append(QString());
    m_rows.append(row);
}

QString Table::render() const
{
    QList<int> widths;
    for (const QString &title : m_header)
        widths.append(title.size());
    for (const QStringList &row : m_rows) {
        for (int i = 0; i < row.size(); ++i)
            widths[i] = qMax(widths.at(i), row.at(i).size());
    }

    QString text;
    const auto addLine = [&](const QStringList &cells) {
        QString line;
        for (int i = 0; i < cells.size(); ++i) {
            if (i > 0)
                line += QString(ColumnGap, QLatin1Char(' '));
            line += m_rightAligned.at(i) ? cells.at(i).rightJustified(widths.at(i))
                                         : cells.at(i).leftJustified(widths.at(i));
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        text += line + QLatin1Char('\n');
    };
    addLine(m_header);
    for (const QStringList &row : m_rows)
        addLine(row);
    return text;
}
