#include "frametranscript.h"

#include "bytetext.h"

#include <QTime>

namespace {

QString frameLine(const QString &format, quint32 id, const QByteArray &data)
{
    return format.arg(QTime::currentTime().toString(QStringLiteral("hh:mm:ss:zzz")),
        QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')), ByteText::hexPairs(data));
}

} // namespace

QString FrameTranscript::sendLine(quint32 id, const QByteArray &data)
{
    return frameLine(tr("%1 Send: id: 0x%2; data: %3."), id, data);
}

QString FrameTranscript::recvLine(quint32 id, const QByteArray &data)
{
    return frameLine(tr("%1 Recv: id: 0x%2; data: %3."), id, data);
}
