#pragma once

#include <QString>
#include <QVector>

// The names of the parameter groups and items that threshold.cfg refers to by id (its groupNameId
// and nameId fields): the table compiled into the program as ":/resource/language/language.csv",
// a GB2312 text with the header line "Id,Chinese,English". An entry's id is its 1-based position
// after the header; ids 1 to 13 are group titles, 14 to 28 item names.
class ParameterNameTable
{
public:
    static QString resourcePath() { return QStringLiteral(":/resource/language/language.csv"); }

    // The compiled-in table.
    ParameterNameTable();
    // The table in the file at path; empty when it cannot be read.
    explicit ParameterNameTable(const QString &path);

    int size() const { return m_entries.size(); }
    // Empty for an id outside 1..size().
    QString english(quint32 id) const;
    QString chinese(quint32 id) const;

private:
    struct Entry
    {
        QString chinese;
        QString english;
    };
    void load(const QString &path);

    QVector<Entry> m_entries;
};
