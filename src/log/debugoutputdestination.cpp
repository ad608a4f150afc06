#include "debugoutputdestination.h"

#include "logmessage.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cstdio>
#endif

namespace QsLogging {

const char *const DebugOutputDestination::Type = "console";

void DebugOutputDestination::write(const LogMessage &message)
{
#ifdef Q_OS_WIN
    const QString line = message.formatted + QLatin1Char('\n');
    OutputDebugStringW(reinterpret_cast<const wchar_t *>(line.utf16()));
#else
    const QByteArray line = message.formatted.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
#endif
}

bool DebugOutputDestination::isValid()
{
    return true;
}

QString DebugOutputDestination::type() const
{
    return QString::fromLatin1(Type);
}

} // namespace QsLogging
