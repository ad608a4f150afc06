#pragma once

#include "loggedframe.h"

#include <QFile>
#include <QString>

// Writes frames to a candump log (see CandumpLine), one line each. The file is flushed every
// flushEvery frames and on close, so that a recording cut short by a crash keeps what came
// before; a write that fails is remembered and reported by close().
class CandumpLogWriter
{
public:
    static constexpr int FlushEvery = 256;

    // Creates or empties the file; false with errorString() when it cannot.
    bool open(const QString &path);
    void write(const LoggedFrame &frame);
    // Flushes and closes; false if any write failed.
    bool close();

    qint64 framesWritten() const { return m_written; }
    QString errorString() const { return m_error; }

private:
    QFile m_file;
    qint64 m_written = 0;
    bool m_failed = false;
    QString m_error;
};
