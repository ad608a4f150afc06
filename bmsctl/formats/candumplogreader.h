#pragma once

#include "formats/loggedframe.h"

#include <QList>
#include <QString>

// Reads a whole candump log (see CandumpLine). A line that does not parse is skipped and kept
// with its number and the reason, so that the rest is still used and the caller can say what was
// left out; empty lines are no frames and no faults.
class CandumpLogReader
{
public:
    struct SkippedLine
    {
        int number = 0; // 1-based
        QString reason;
    };

    // False when the file cannot be read at all (errorString() says why).
    bool read(const QString &path);

    const QList<LoggedFrame> &frames() const { return m_frames; }
    const QList<SkippedLine> &skipped() const { return m_skipped; }
    QString errorString() const { return m_error; }

private:
    QList<LoggedFrame> m_frames;
    QList<SkippedLine> m_skipped;
    QString m_error;
};
