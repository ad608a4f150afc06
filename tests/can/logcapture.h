#pragma once

#include "log/destination.h"
#include "log/logger.h"
#include "log/logmessage.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

// Collects the log lines of a test (from any thread) so that it can check text, level and
// order. attach() adds it to the logger at level Trace; detach() removes it.
class LogCapture : public QsLogging::Destination
{
public:
    struct Line
    {
        QsLogging::Level level;
        QString text;
    };

    static QSharedPointer<LogCapture> attach()
    {
        QSharedPointer<LogCapture> capture(new LogCapture);
        QsLogging::Logger::instance().setLoggingLevel(QsLogging::TraceLevel);
        QsLogging::Logger::instance().addDestination(capture);
        return capture;
    }
    static void detach(const QSharedPointer<LogCapture> &capture)
    {
        QsLogging::Logger::instance().removeDestination(capture);
    }

    void write(const QsLogging::LogMessage &message) override
    {
        QMutexLocker lock(&m_mutex);
        m_lines.append({ message.level, message.message });
    }
    bool isValid() override { return true; }
    QString type() const override { return QStringLiteral("capture"); }

    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }
    QVector<Line> lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    // Lines whose text contains part.
    QVector<Line> linesContaining(const QString &part) const
    {
        QVector<Line> found;
        for (const Line &line : lines()) {
            if (line.text.contains(part))
                found.append(line);
        }
        return found;
    }
    int count(const QString &part) const { return linesContaining(part).size(); }

private:
    mutable QMutex m_mutex;
    QVector<Line> m_lines;
};
