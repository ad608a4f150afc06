#include "level.h"

namespace QsLogging {

QString levelText(Level level)
{
    switch (level) {
    case TraceLevel:
        return QStringLiteral("TRACE");
    case DebugLevel:
        return QStringLiteral("DEBUG");
    case InfoLevel:
        return QStringLiteral("INFO ");
    case WarnLevel:
        return QStringLiteral("WARN ");
    case ErrorLevel:
        return QStringLiteral("ERROR");
    case FatalLevel:
        return QStringLiteral("FATAL");
    case OffLevel:
        break;
    }
    return QString();
}

} // namespace QsLogging
