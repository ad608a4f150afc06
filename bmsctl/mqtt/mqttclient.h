#pragma once

#include "mqtt/brokeraddress.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

struct MqttAttempt;

// The one door to the Mosquitto client library (libmosquitto): nothing else in bmsctl sees its
// API. It speaks MQTT 5, with TLS when the address asks for it, and leaves the network to the
// library's own thread (mosquitto_loop_start).
//
// One connection attempt at a time, and no reconnecting of its own: open() makes a fresh
// library client and its network thread; the attempt ends in connected() and later closed(), or
// in closed() alone. The broker's name is looked up, and the TCP connection made, in a thread
// of the attempt's own (the library does both in the calling thread, and a name server that
// does not answer would hold this thread for its whole timeout); the library is given the name,
// not the address, so that TLS checks the certificate against the name. The library would reconnect by itself after some failures and not after
// others (a refused password, a TLS failure, a broker absent at the first attempt); so every
// end is told and the caller decides when to try again (BrokerLink).
//
// Threads: the library calls its callbacks from its network thread (and a few from the thread
// that called it). They touch nothing of this object but the attempt's atomics; everything else
// is handed to the thread this object lives in with queued invocations, in the order the
// callbacks came, and carries the number of its attempt, so that news of an attempt already
// ended is dropped. An attempt given up while its connecting thread still waits is left to that
// thread, which puts the library's client away when it is done and tells nobody. Every public
// method is for this object's thread only.
//
// An end never waits long: the network thread is given CloseWaitMs to send DISCONNECT and end,
// then cancelled, so that a broker that stopped reading cannot hold the program.
//
// After some failures (a TLS handshake refused in the network thread) the library closes its
// socket and ends its thread without a callback; a look at its socket a few times a second
// tells.
class MqttClient : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        BrokerAddress broker;
        QString clientId;
        QString username;
        QByteArray password; // never shown
        // TLS: the CA to trust (the system's when empty) and a client certificate with its key.
        QString caFile;
        QString certFile;
        QString keyFile;
        // Published by the broker when the connection dies without a DISCONNECT (retained).
        QString willTopic;
        QByteArray willPayload;
        int keepAliveSeconds = 30;
    };

    static constexpr int CloseWaitMs = 1000;
    static constexpr int MaxTopicBytes = 65535;

    enum class State { Closed, Connecting, Connected };

    explicit MqttClient(const Settings &settings, QObject *parent = nullptr);
    // Ends the attempt under way as close() does.
    ~MqttClient() override;

    // Starts an attempt; nothing happens when one is under way.
    void open();
    // A polite end: DISCONNECT, so that the broker does not publish the will. closed() is not
    // emitted for it.
    void close();
    State state() const { return m_state; }

    // Why a broker or the library would not take a message published under this topic (a
    // wildcard, a control character, a first level of $ that brokers keep for themselves, more
    // than MQTT's 65,535 bytes); empty when it is fit.
    static QString topicProblem(const QString &topic);

    // Hands a message to the network thread. False when not connected or refused by the library.
    bool publish(const QString &topic, const QByteArray &payload, int qos, bool retain);
    bool subscribe(const QString &filter, int qos);
    // Messages handed over in this connection and not yet confirmed: written to the network for
    // QoS 0, acknowledged by the broker for QoS 1.
    int unconfirmed() const;

signals:
    void connected();
    // The attempt or the connection ended: "refused the connection: ...", "could not connect:
    // ...", "lost the connection: ...".
    void closed(const QString &reason);
    void messageReceived(const QString &topic, const QByteArray &payload);
    // A message counted by unconfirmed() was confirmed: written for QoS 0, acknowledged by the
    // broker for QoS 1.
    void delivered();

private:
    // The library's callbacks, defined with it in the .cpp.
    friend struct MqttAttempt;

    // What the callbacks hand over, in this object's thread.
    void onConnectStarted(int attempt, int result, int errnoValue);
    void onConnack(int attempt, int reasonCode);
    void onDisconnect(int attempt, const QString &text);
    void checkSocket();
    void ended(const QString &text);
    void onLog(int attempt, const QString &line);

    void endAttempt(bool force);
    void fail(const QString &reason);

    Settings m_settings;
    std::shared_ptr<MqttAttempt> m_attempt;
    int m_attempts = 0;
    State m_state = State::Closed;
    // The library's last error line in this attempt (OpenSSL's reason for a failed handshake).
    QString m_errorDetail;
    QTimer m_socketCheck;
    int m_socketGoneChecks = 0;
};
