#pragma once

#include "mqtt/mqttclient.h"
#include "mqtt/outbox.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

class Console;

// The gateway's side of the broker: a connection kept up for as long as the gateway runs, and
// the messages waiting for it.
//
// A broker that is not there, refuses, or is lost is told on standard error once per change and
// tried again after 1, 2, 4 ... seconds, at most retryMaxMs apart, while the messages wait in the
// outbox; the wait starts again from one second only once a connection has lasted StableMs, so
// that a broker that accepts and then drops every connection is not hammered (bounded: see Outbox). Connected, the outbox is handed to the client, at most
// MaxUnconfirmed messages ahead of what the network has taken, so that a slow broker fills the
// bounded outbox rather than the library's queue. Without retrying (--once) the first failure
// ends it: failed() is then true.
//
// Retained messages go with QoS 1, state messages with QoS 0. A message counts as published
// once the library confirms it: acknowledged by the broker for QoS 1, written to the network
// for QoS 0.
class BrokerLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxUnconfirmed = 100;
    static constexpr int FirstRetryMs = 1000;
    static constexpr int StableMs = 30000;

    struct Settings
    {
        MqttClient::Settings client;
        int stateQueue = 600;
        int retryMaxMs = 30000;
        bool retry = true;
    };

    BrokerLink(const Settings &settings, Console &console, QObject *parent = nullptr);

    void start();
    // Waits up to timeoutMs for what waits to be delivered, then disconnects politely (in at most
    // MqttClient::CloseWaitMs more). The messages that were not delivered: 0 when all were.
    int stop(int timeoutMs);

    void publishRetained(const QString &topic, const QByteArray &payload);
    void publishState(const QString &topic, const QByteArray &payload);
    // Subscribed at every connection.
    void addSubscription(const QString &filter);

    bool isConnected() const { return m_client.state() == MqttClient::State::Connected; }
    bool failed() const { return m_failed; }
    // Nothing waits and nothing is unconfirmed.
    bool isIdle() const { return m_outbox.isEmpty() && m_client.unconfirmed() == 0; }
    qint64 published() const { return m_published; }
    // Messages waiting or handed over and not confirmed.
    int undelivered() const { return m_outbox.size() + m_client.unconfirmed(); }
    qint64 dropped() const { return m_dropped; }

signals:
    // Each time the connection is made: what is retained is to be put again, since a broker that
    // restarted may have forgotten it.
    void connected();
    void messageReceived(const QString &topic, const QByteArray &payload);

private:
    void onConnected();
    void onDelivered();
    void onClosed(const QString &reason);
    void flush();
    void tell(const QString &message);

    Settings m_settings;
    Console &m_console;
    MqttClient m_client;
    Outbox m_outbox;
    QTimer m_retryTimer;
    QElapsedTimer m_connectedFor;
    QStringList m_subscriptions;
    int m_failures = 0;
    bool m_failed = false;
    bool m_stopping = false;
    bool m_everConnected = false;
    QString m_told;
    qint64 m_published = 0;
    qint64 m_dropped = 0;
    qint64 m_droppedTold = 0;
};
