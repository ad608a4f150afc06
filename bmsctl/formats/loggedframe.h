#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// One CAN frame as a traffic log keeps it: when it was seen (microseconds since the Unix epoch,
// UTC), on which interface, and the frame itself.
struct LoggedFrame
{
    qint64 timeUs = 0;
    QString interfaceName;
    quint32 id = 0;
    bool extended = true;
    QByteArray data;
    // Where in the log it was read: the line (1-based) of a text log, the byte offset of its
    // object in a binary one; 0 when not read from a log.
    qint64 line = 0;
};
