#include "report.h"

#include "cli/console.h"
#include "cli/table.h"

#include <QJsonArray>

Report::Row &Report::Row::cell(const QString &key, const QString &text)
{
    return cell(key, text, QJsonValue(text));
}

Report::Row &Report::Row::cell(const QString &key, qint64 number)
{
    return cell(key, QString::number(number), QJsonValue(number));
}

Report::Row &Report::Row::cell(const QString &key, const QString &text, const QJsonValue &json)
{
    return this->text(key, text).field(key, json);
}

Report::Row &Report::Row::text(const QString &key, const QString &text)
{
    m_texts.insert(key, text);
    return *this;
}

Report::Row &Report::Row::field(const QString &key, const QJsonValue &json)
{
    m_json.insert(key, json);
    return *this;
}

Report::Report(const QString &rowsKey, const QList<Column> &columns)
    : m_rowsKey(rowsKey)
    , m_columns(columns)
{ }

Report::Row &Report::addRow()
{
    m_rows.emplace_back();
    return m_rows.back();
}

void Report::setField(const QString &key, const QJsonValue &value)
{
    m_fields.insert(key, value);
}

void Report::addHeading(const QString &line)
{
    m_headings.append(line);
}

void Report::addLine(const QString &line)
{
    m_lines.append(line);
}

QString Report::text() const
{
    QString text;
    for (const QString &line : m_headings)
        text += line + QLatin1Char('\n');
    if (!m_columns.isEmpty() && !(m_omitEmptyTable && m_rows.empty())) {
        QStringList titles;
        for (const Column &column : m_columns)
            titles.append(column.title);
        Table table(titles);
        for (int i = 0; i < m_columns.size(); ++i)
            table.setRightAligned(i, m_columns.at(i).alignment == Right);
        for (const Row &row : m_rows) {
            QStringList cells;
            for (const Column &column : m_columns)
                cells.append(row.m_texts.value(column.key));
            table.addRow(cells);
        }
        text += table.render();
    }
    for (const QString &line : m_lines)
        text += line + QLatin1Char('\n');
    return text;
}

QJsonObject Report::json() const
{
    QJsonObject root = m_fields;
    if (!m_columns.isEmpty()) {
        QJsonArray rows;
        for (const Row &row : m_rows)
            rows.append(row.m_json);
        root.insert(m_rowsKey, rows);
    }
    return root;
}

void Report::print(Console &console, bool json) const
{
    if (json)
        console.printJson(this->json());
    else
        console.print(text());
}
