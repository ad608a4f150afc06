#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

// What a test reads back of a file the program saved.
namespace SavedLines {

// The file's lines split at LF, with whatever else ends them (the CR of CR LF) kept; a last
// empty line, after the final LF, is left out. Empty when the file cannot be read.
inline QList<QByteArray> fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The lines of a CSV file without their CR LF; empty when the file cannot be read or a line does
// not end in CR LF.
inline QList<QByteArray> csvLines(const QString &path)
{
    QList<QByteArray> lines = fileLines(path);
    for (QByteArray &line : lines) {
        if (!line.endsWith('\r'))
            return {};
        line.chop(1);
    }
    return lines;
}

// The records of a file that holds one in hex per line, as bms-sim's --history-dump writes a
// battery's history log.
inline QList<QByteArray> hexRecords(const QString &path)
{
    QList<QByteArray> records;
    for (const QByteArray &line : fileLines(path)) {
        if (!line.isEmpty())
            records.append(QByteArray::fromHex(line));
    }
    return records;
}

// The cells of a CSV line that needed no quoting.
inline QStringList cells(const QByteArray &line)
{
    return QString::fromUtf8(line).split(QLatin1Char(','));
}

} // namespace SavedLines
