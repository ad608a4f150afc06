#include "brokerlink.h"

#include "cli/console.h"

#include <QEventLoop>

BrokerLink::BrokerLink(const Settings &settings, Console &console, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_console(console)
    , m_client(settings.client)
    , m_outbox(settings.stateQueue)
{
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, &m_client, &MqttClient::open);
    connect(&m_client, &MqttClient::connected, this, &BrokerLink::onConnected);
    connect(&m_client, &MqttClient::closed, this, &BrokerLink::onClosed);
    connect(&m_client, &MqttClient::delivered, this, &BrokerLink::onDelivered);
    connect(&m_client, &MqttClient::messageReceived, this, &BrokerLink::messageReceived);
}

void BrokerLink::start()
{
    m_client.open();
}

int BrokerLink::stop(int timeoutMs)
{
    m_stopping = true;
    m_retryTimer.stop();
    flush();
    if (isConnected() && !isIdle()) {
        // Not EventWait: a stop mostly follows Ctrl-C or SIGTERM, which would end that at once.
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(&m_client, &MqttClient::closed, &loop, &QEventLoop::quit);
        connect(&m_client, &MqttClient::delivered, &loop, [this, &loop] {
            if (isIdle())
                loop.quit();
        });
        deadline.start(timeoutMs);
        loop.exec();
    }
    const int undelivered = isConnected() && isIdle() ? 0 : qMax(1, this->undelivered());
    m_client.close();
    return undelivered;
}

void BrokerLink::publishRetained(const QString &topic, const QByteArray &payload)
{
    m_outbox.putRetained(topic, payload);
    flush();
}

void BrokerLink::publishState(const QString &topic, const QByteArray &payload)
{
    m_outbox.putState(topic, payload);
    m_dropped += m_outbox.takeDropped();
    flush();
}

void BrokerLink::addSubscription(const QString &filter)
{
    m_subscriptions.append(filter);
    if (isConnected())
        m_client.subscribe(filter, 1);
}

void BrokerLink::onConnected()
{
    m_connectedFor.start();
    QString message = QStringLiteral("%1 %2").arg(
        m_everConnected ? QStringLiteral("connected again to") : QStringLiteral("connected to"),
        m_settings.client.broker.text());
    if (m_dropped > m_droppedTold) {
        message += QStringLiteral("; %1 state messages dropped while it was away")
                       .arg(m_dropped - m_droppedTold);
        m_droppedTold = m_dropped;
    }
    tell(message);
    m_everConnected = true;
    for (const QString &filter : qAsConst(m_subscriptions))
        m_client.subscribe(filter, 1);
    emit connected();
    flush();
}

void BrokerLink::onDelivered()
{
    ++m_published;
    flush();
}

void BrokerLink::onClosed(const QString &reason)
{
    if (m_connectedFor.isValid() && m_connectedFor.elapsed() >= StableMs)
        m_failures = 0;
    m_connectedFor.invalidate();
    const QString message
        = QStringLiteral("broker %1: %2").arg(m_settings.client.broker.text(), reason);
    if (!m_settings.retry || m_stopping) {
        m_failed = !m_stopping;
        tell(message);
        return;
    }
    tell(QStringLiteral("%1; trying again, at most %2 s apart")
             .arg(message)
             .arg(m_settings.retryMaxMs / 1000.0));
    const int delayMs
        = int(qMin<qint64>(m_settings.retryMaxMs, qint64(FirstRetryMs) << qMin(m_failures, 20)));
    ++m_failures;
    m_retryTimer.start(delayMs);
}

void BrokerLink::flush()
{
    while (!m_outbox.isEmpty() && isConnected() && m_client.unconfirmed() < MaxUnconfirmed) {
        const Outbox::Message &message = m_outbox.front();
        if (!m_client.publish(
                message.topic, message.payload, message.retained ? 1 : 0, message.retained))
            return;
        m_outbox.popFront();
    }
}

void BrokerLink::tell(const QString &message)
{
    if (message == m_told)
        return;
    m_told = message;
    m_console.note(message);
}
