#pragma once

#include <QString>

namespace QsLogging {

// In increasing order of importance; a logger at level L passes statements at L and above.
enum Level {
    TraceLevel = 0,
    DebugLevel,
    InfoLevel,
    WarnLevel,
    ErrorLevel,
    FatalLevel,
    OffLevel,
};

// The five-character text that starts every log line ("INFO " and "WARN " end in a blank).
QString levelText(Level level);

} // namespace QsLogging
