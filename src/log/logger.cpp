#include "logger.h"

#include "logmessage.h"

#include <QMutexLocker>

namespace QsLogging {

Logger &Logger::instance()
{
    // Never destroyed: threads still running at exit may log.
    static Logger *const logger = new Logger;
    return *logger;
}

Logger::Logger()
{
    qRegisterMetaType<LogMessage>("QsLogging::LogMessage");
}

void Logger::setLoggingLevel(Level newLevel)
{
    m_level.store(newLevel);
}

Level Logger::loggingLevel() const
{
    return static_cast<Level>(m_level.load());
}

void Logger::addDestination(DestinationPtr destination)
{
    QMutexLocker lock(&m_mutex);
    m_destinations.append(std::move(destination));
}

void Logger::removeDestination(const DestinationPtr &destination)
{
    QMutexLocker lock(&m_mutex);
    m_destinations.removeAll(destination);
}

bool Logger::hasDestinationOfType(const char *type) const
{
    QMutexLocker lock(&m_mutex);
    const QString wanted = QString::fromLatin1(type);
    for (const DestinationPtr &destination : m_destinations) {
        if (destination->type() == wanted)
            return true;
    }
    return false;
}

void Logger::write(const LogMessage &message)
{
    QMutexLocker lock(&m_mutex);
    for (const DestinationPtr &destination : qAsConst(m_destinations))
        destination->write(message);
}

void Logger::holdForExit()
{
    // Never unlocked: the process ends right after.
    m_mutex.lock();
}

Logger::Helper::Helper(Level level)
    : m_level(level)
    , m_qtDebug(&m_buffer)
{ }

Logger::Helper::~Helper()
{
    Logger::instance().write(LogMessage(m_buffer, QDateTime::currentDateTimeUtc(), m_level));
}

} // namespace QsLogging
