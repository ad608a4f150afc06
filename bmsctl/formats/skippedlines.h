#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

class Console;

// What a reader left out of a log and why. The first few places are kept with their reasons and
// the rest only counted, so that a log of millions of bad lines costs no more than one of twenty.
// A place is a line number in a text log, a byte offset in a binary one.
class SkippedLines
{
public:
    static constexpr int ShownInFull = 20;

    struct Place
    {
        QString where; // "12" (a line) or "offset 4096"
        QString reason;
    };

    void add(const QString &where, const QString &reason);
    void addLine(qint64 number, const QString &reason) { add(QString::number(number), reason); }
    void clear();

    qint64 count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    const QList<Place> &shown() const { return m_shown; }

    // "FILE:12: skipped: <reason>" for those kept, then "FILE: N more skipped".
    void report(Console &console, const QString &path) const;

private:
    QList<Place> m_shown;
    qint64 m_count = 0;
};
