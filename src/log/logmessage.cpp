#include "logmessage.h"

namespace QsLogging {

LogMessage::LogMessage(const QString &message, const QDateTime &timeUtc, Level level)
    : message(message)
    , time(timeUtc)
    , level(level)
    , formatted(QStringLiteral("%1 %2 %3")
                    .arg(levelText(level),
                        timeUtc.toLocalTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz")),
                        message))
{ }

} // namespace QsLogging
