#pragma once

#include "log/destination.h"
#include "log/logmessage.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

// A log destination that keeps every message it is given, so that tests can check what was
// logged. Attach it with QsLogging::Logger::instance().addDestination() and remove it again in
// cleanup(); the logger is shared by the whole test process.
class CaptureDestination : public QsLogging::Destination
{
public:
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

    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_messages.clear();
    }

private:
    mutable QMutex m_mutex;
    QList<QsLogging::LogMessage> m_messages;
};
