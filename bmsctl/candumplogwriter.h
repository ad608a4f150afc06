#pragma once

#include "loggedframe.h"

#include <QFile>
#include <QString>

// Writes frames to a candump log (see CandumpLine), one line each. Every line goes to the system
// as it is written, unbuffered, so that a recording cut short, even by a kill, keeps every frame
// that came before; a write that fails is remembered and reported by close().
class CandumpLogWriter
{
public:
    // Creates the file, or empties an existing one when overwrite; false with errorString()
    // when it cannot (an existing file without overwrite included).
    bool open(const QString &path, bool overwrite);
    void write(const LoggedFrame &frame);
    // Closes; false if any write failed.
    bool close();

    qint64 framesWritten() const { return m_written; }
    QString errorString() const { return m_error; }

private:
    QFile m_file;
    qint64 m_written = 0;
    bool m_failed = false;
    QString m_error;
};
