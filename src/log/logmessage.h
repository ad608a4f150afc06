#pragma once

#include "level.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>

namespace QsLogging {

// One log statement, formatted once when it is made so that every destination writes the same
// line: "<level text> <local time yyyy-MM-ddThh:mm:ss.zzz> <message>".
class LogMessage
{
public:
    LogMessage() = default;
    LogMessage(const QString &message, const QDateTime &timeUtc, Level level);

    QString message;
    QDateTime time; // UTC
    Level level = TraceLevel;
    QString formatted;
};

} // namespace QsLogging

Q_DECLARE_METATYPE(QsLogging::LogMessage)
