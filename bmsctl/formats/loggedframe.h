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
    int line = 0; // the line of the log it was read from, 1-based; 0 when not read from one
};
