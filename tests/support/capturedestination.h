#pragma once

#include "log/destination.h"
#include "log/logger.h"
#include "log/logmessage.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

// A log destination that keeps every message it is given (from any thread), so that tests can
// check text, level and order. attach() adds one to the logger at level Trace; detach() it
// again in cleanup(): the logger is shared by the whole test process.
class CaptureDestination : public QsLogging::Destination
{
public:
    static QSharedPointer<CaptureDestination> attach()
    {
        QSharedPointer<CaptureDestination> capture(new CaptureDestination);
        QsLogging::Logger::instance().setLoggingLevel(QsLogging::TraceLevel);
        QsLogging::Logger::instance().addDestination(capture);
        return capture;
    }
    static void detach(const QSharedPointer<CaptureDestination> &capture)
    {
        QsLogging::Logger::instance().removeDestination(capture);
    }

    void write(const QsLogging::LogMessage &message) override
    {
        QMutexLocker lock(&m_mutex);
        m_messages.append(message);
    }
    bool isValid() override { return true; }
    QString type() const override { return QStringLiteral("capture"); }

    QList<QsLogging::LogMessage> messages() const
    {
        QMutexLocker lock(&m_mutex);
        return m_messages;
    }

    // The message texts, each with its level: "WARN |CanDevice::init: ...".
    QStringList lines() const
    {
        QStringList result;
        for (const QsLogging::LogMessage &message : messages())
            result.append(QsLogging::levelText(message.level) + QLatin1Char('|') + message.message);
        return result;
    }

    // Messages whose text contains part, in the order they were logged.
    QList<QsLogging::LogMessage> linesContaining(const QString &part) const
    {
        QList<QsLogging::LogMessage> found;
        for (const QsLogging::LogMessage &message : messages()) {
            if (message.message.contains(part))
                found.append(message);
        }
        return found;
    }
    int count(const QString &part) const { return linesContaining(part).size(); }

    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_messages.clear();
    }

private:
    mutable QMutex m_mutex;
    QList<QsLogging::LogMessage> m_messages;
};
