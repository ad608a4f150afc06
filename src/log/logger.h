#pragma once

#include "destination.h"
#include "level.h"

#include <QDebug>
#include <QMutex>
#include <QVector>

#include <atomic>

namespace QsLogging {

class LogMessage;

// The process-wide logger: a level filter and the destinations every passing line goes to.
// Any thread may log; one mutex is held for a whole write, so lines never interleave and every
// destination sees the same order. The level is read without the mutex.
class Logger
{
public:
    static Logger &instance();

    void setLoggingLevel(Level newLevel);
    Level loggingLevel() const;

    void addDestination(DestinationPtr destination);
    void removeDestination(const DestinationPtr &destination);
    bool hasDestinationOfType(const char *type) const;

    void write(const LogMessage &message);
    // For the moment before the process ends at once: waits for a write in progress to finish
    // and keeps every later one waiting, so that no line is left half written.
    void holdForExit();

    // One statement: items streamed into it are each followed by a blank, strings are quoted,
    // and the finished line goes to the logger when the statement ends.
    class Helper
    {
    public:
        explicit Helper(Level level);
        ~Helper();
        QDebug &stream() { return m_qtDebug; }

    private:
        Q_DISABLE_COPY(Helper)
        Level m_level;
        QString m_buffer;
        QDebug m_qtDebug;
    };

private:
    Logger();
    Q_DISABLE_COPY(Logger)

    mutable QMutex m_mutex;
    std::atomic<int> m_level { InfoLevel };
    QVector<DestinationPtr> m_destinations;
};

} // namespace QsLogging

#define QLOG_AT_LEVEL(level)                                                                       \
    if (QsLogging::Logger::instance().loggingLevel() > (level)) {                                  \
    } else                                                                                         \
        QsLogging::Logger::Helper(level).stream()

#define QLOG_TRACE() QLOG_AT_LEVEL(QsLogging::TraceLevel)
#define QLOG_DEBUG() QLOG_AT_LEVEL(QsLogging::DebugLevel)
#define QLOG_INFO() QLOG_AT_LEVEL(QsLogging::InfoLevel)
#define QLOG_WARN() QLOG_AT_LEVEL(QsLogging::WarnLevel)
#define QLOG_ERROR() QLOG_AT_LEVEL(QsLogging::ErrorLevel)
#define QLOG_FATAL() QLOG_AT_LEVEL(QsLogging::FatalLevel)
