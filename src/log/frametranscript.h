#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// The line that stands for one CAN frame in the log and in the upgrade transcript, both texts
// through translation:
//
//   "<hh:mm:ss:zzz> Send: id: 0x<identifier, 8 lower-case digits>; data: <ByteText::hexPairs>."
//   "<hh:mm:ss:zzz> Recv: id: 0x<...>; data: <...>."
class FrameTranscript
{
    Q_DECLARE_TR_FUNCTIONS(FrameTranscript)

public:
    static QString sendLine(quint32 id, const QByteArray &data);
    static QString recvLine(quint32 id, const QByteArray &data);
};
