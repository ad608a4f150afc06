#pragma once

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

class Console;

// A command's result, made once and printed either way --json asks: for a person as lines of
// text around a table whose columns line up (Table), for a script as one JSON document.
//
//     Report report(QStringLiteral("batteries"),
//         { { QStringLiteral("ID"), QStringLiteral("id"), Report::Right },
//             { QStringLiteral("Serial"), QStringLiteral("serial") } });
//     report.addRow().cell(QStringLiteral("id"), 1).cell(QStringLiteral("serial"), serial);
//     report.addLine(QStringLiteral("1 battery heard."));       // text only
//     report.setField(QStringLiteral("heard"), 1);               // JSON only
//     report.print(console, line.json());
//
// prints the table and the line, or {"batteries": [{"id": 1, "serial": "QM2024100001"}],
// "heard": 1} (indented).
//
// A column is named once, with the key its cells have in a row's JSON object. A cell shows a
// text in the table and a value in JSON, the same one unless told otherwise; a row may carry
// values the table has no column for. A report without columns is a line of text or one JSON
// object of fields.
class Report
{
public:
    enum Alignment { Left, Right };

    struct Column
    {
        QString title;
        QString key;
        Alignment alignment = Left;
    };

    class Row
    {
    public:
        // The text in the table and the same text in JSON.
        Row &cell(const QString &key, const QString &text);
        // A number, in the table as digits.
        Row &cell(const QString &key, qint64 number);
        // Another value in JSON than the table shows: null for "(no reply)", a number of seconds
        // for "-00:04:10".
        Row &cell(const QString &key, const QString &text, const QJsonValue &json);
        // A text in the table only.
        Row &text(const QString &key, const QString &text);
        // A value in JSON only.
        Row &field(const QString &key, const QJsonValue &json);

    private:
        friend class Report;
        QHash<QString, QString> m_texts;
        QJsonObject m_json;
    };

    // Fields and lines only, no table.
    Report() = default;
    // A table; in JSON its rows are the array at rowsKey ("batteries", "changes").
    Report(const QString &rowsKey, const QList<Column> &columns);

    // A new row at the end; the reference lives until the next row is added.
    Row &addRow();
    int rowCount() const { return int(m_rows.size()); }
    // A table without rows is left out, header and all, instead of printed as a header alone.
    void omitEmptyTable() { m_omitEmptyTable = true; }

    // A value of the JSON document beside the rows.
    void setField(const QString &key, const QJsonValue &value);
    // Lines of the text before the table and after it.
    void addHeading(const QString &line);
    void addLine(const QString &line);

    QString text() const;
    QJsonObject json() const;
    // To standard output: json() indented, or text().
    void print(Console &console, bool json) const;

private:
    QString m_rowsKey;
    QList<Column> m_columns;
    std::vector<Row> m_rows;
    bool m_omitEmptyTable = false;
    QJsonObject m_fields;
    QStringList m_headings;
    QStringList m_lines;
};
