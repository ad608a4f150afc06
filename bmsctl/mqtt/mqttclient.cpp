#include "mqttclient.h"

#include <QMetaObject>

#include <mosquitto.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

// The library is set up once per process and put away at its end.
void initLibrary()
{
    struct Library
    {
        Library() { mosquitto_lib_init(); }
        ~Library() { mosquitto_lib_cleanup(); }
    };
    static Library library;
}

// The text of a library result; errnoValue is errno as it was right after the call.
QString errorText(int result, int errnoValue)
{
    switch (result) {
    case MOSQ_ERR_ERRNO:
        return QString::fromLocal8Bit(std::strerror(errnoValue));
    case MOSQ_ERR_KEEPALIVE:
        return QStringLiteral("no answer within the keep-alive time");
    case MOSQ_ERR_CONN_LOST:
        return QString(); // says no more than "lost" or "could not connect"
    default:
        return QString::fromUtf8(mosquitto_strerror(result));
    }
}

constexpr int SocketCheckMs = 250;

QString withDetail(const QString &reason, const QString &detail)
{
    return detail.isEmpty() ? reason : QStringLiteral("%1 (%2)").arg(reason, detail);
}

} // namespace

// One connection attempt: the library's client, its network thread and what the callbacks
// need. The callbacks run in the library's threads and reach the client only by posting.
struct MqttAttempt
{
    MqttClient *client;
    int number;
    mosquitto *handle = nullptr;
    bool threadStarted = false;
    std::atomic<int> unconfirmed { 0 };

    template <typename Call> void post(Call &&call)
    {
        QMetaObject::invokeMethod(client, std::forward<Call>(call), Qt::QueuedConnection);
    }

    static MqttAttempt *of(void *object) { return static_cast<MqttAttempt *>(object); }

    static void onConnect(
        mosquitto *, void *object, int reasonCode, int, const mosquitto_property *)
    {
        MqttAttempt *attempt = of(object);
        attempt->post([client = attempt->client, number = attempt->number, reasonCode] {
            client->onConnack(number, reasonCode);
        });
    }

    static void onDisconnect(
        mosquitto *handle, void *object, int result, const mosquitto_property *)
    {
        const int errnoValue = errno;
        // The library would try again by itself after some failures; the client decides that.
        // A disconnect asked for in a callback ends the library's network loop.
        mosquitto_disconnect(handle);
        MqttAttempt *attempt = of(object);
        attempt->post(
            [client = attempt->client, number = attempt->number,
                text = errorText(result, errnoValue)] { client->onDisconnect(number, text); });
    }

    static void onPublish(mosquitto *, void *object, int, int, const mosquitto_property *)
    {
        MqttAttempt *attempt = of(object);
        attempt->unconfirmed.fetch_sub(1);
        attempt->post([client = attempt->client] { emit client->delivered(); });
    }

    static void onMessage(
        mosquitto *, void *object, const mosquitto_message *message, const mosquitto_property *)
    {
        MqttAttempt *attempt = of(object);
        attempt->post([client = attempt->client, number = attempt->number,
                          topic = QString::fromUtf8(message->topic),
                          payload = QByteArray(
                              static_cast<const char *>(message->payload), message->payloadlen)] {
            if (client->m_attempt && client->m_attempt->number == number)
                emit client->messageReceived(topic, payload);
        });
    }

    static void onLog(mosquitto *, void *object, int level, const char *text)
    {
        if (!(level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)))
            return;
        MqttAttempt *attempt = of(object);
        attempt->post([client = attempt->client, number = attempt->number,
                          line = QString::fromUtf8(text)] { client->onLog(number, line); });
    }
};

MqttClient::MqttClient(const Settings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{
    initLibrary();
    m_socketCheck.setInterval(SocketCheckMs);
    connect(&m_socketCheck, &QTimer::timeout, this, &MqttClient::checkSocket);
}

MqttClient::~MqttClient()
{
    close();
}

void MqttClient::open()
{
    if (m_attempt)
        return;
    m_errorDetail.clear();
    m_attempt.reset(new MqttAttempt { this, ++m_attempts });
    m_state = State::Connecting;
    MqttAttempt *attempt = m_attempt.get();
    // Told in order after the library's log lines, which may give the reason.
    const auto failNow = [attempt](const QString &reason) {
        attempt->post([client = attempt->client, number = attempt->number, reason] {
            if (client->m_attempt && client->m_attempt->number == number)
                client->fail(withDetail(reason, client->m_errorDetail));
        });
    };

    const QByteArray clientId = m_settings.clientId.toUtf8();
    mosquitto *handle = mosquitto_new(clientId.constData(), true, attempt);
    if (!handle) {
        failNow(QStringLiteral("the MQTT library made no client: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    attempt->handle = handle;
    mosquitto_int_option(handle, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_connect_v5_callback_set(handle, &MqttAttempt::onConnect);
    mosquitto_disconnect_v5_callback_set(handle, &MqttAttempt::onDisconnect);
    mosquitto_publish_v5_callback_set(handle, &MqttAttempt::onPublish);
    mosquitto_message_v5_callback_set(handle, &MqttAttempt::onMessage);
    mosquitto_log_callback_set(handle, &MqttAttempt::onLog);

    if (!m_settings.username.isEmpty()) {
        mosquitto_username_pw_set(handle, m_settings.username.toUtf8().constData(),
            m_settings.password.isEmpty() ? nullptr : m_settings.password.constData());
    }
    if (!m_settings.willTopic.isEmpty()) {
        mosquitto_will_set(handle, m_settings.willTopic.toUtf8().constData(),
            m_settings.willPayload.size(), m_settings.willPayload.constData(), 1, true);
    }
    if (m_settings.broker.tls) {
        const QByteArray caFile = m_settings.caFile.toLocal8Bit();
        const QByteArray certFile = m_settings.certFile.toLocal8Bit();
        const QByteArray keyFile = m_settings.keyFile.toLocal8Bit();
        const auto orNull
            = [](const QByteArray &path) { return path.isEmpty() ? nullptr : path.constData(); };
        int result = MOSQ_ERR_SUCCESS;
        if (caFile.isEmpty())
            result = mosquitto_int_option(handle, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        if (result == MOSQ_ERR_SUCCESS && (!caFile.isEmpty() || !certFile.isEmpty())) {
            // Without a CA file of its own the system's CA folder stands in for it.
            result = mosquitto_tls_set(handle, orNull(caFile),
                caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, orNull(certFile), orNull(keyFile),
                nullptr);
        }
        if (result != MOSQ_ERR_SUCCESS) {
            failNow(
                QStringLiteral("the TLS settings were refused: %1").arg(errorText(result, errno)));
            return;
        }
    }

    int result = mosquitto_connect_async(handle, m_settings.broker.host.toUtf8().constData(),
        m_settings.broker.port, m_settings.keepAliveSeconds);
    if (result != MOSQ_ERR_SUCCESS) {
        failNow(QStringLiteral("could not connect: %1").arg(errorText(result, errno)));
        return;
    }
    result = mosquitto_loop_start(handle);
    if (result != MOSQ_ERR_SUCCESS) {
        failNow(QStringLiteral("the MQTT library started no network thread: %1")
                    .arg(errorText(result, errno)));
        return;
    }
    attempt->threadStarted = true;
    m_socketGoneChecks = 0;
    m_socketCheck.start();
}

void MqttClient::close()
{
    // A network thread still connecting may sit in the TLS handshake until the keep-alive ends
    // it; only a connected one is sure to end at once on DISCONNECT.
    endAttempt(m_state != State::Connected);
    m_state = State::Closed;
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, int qos, bool retain)
{
    if (m_state != State::Connected)
        return false;
    // Counted first: the network thread may confirm the message before the call returns.
    m_attempt->unconfirmed.fetch_add(1);
    const int result = mosquitto_publish_v5(m_attempt->handle, nullptr, topic.toUtf8().constData(),
        payload.size(), payload.constData(), qos, retain, nullptr);
    if (result != MOSQ_ERR_SUCCESS) {
        m_attempt->unconfirmed.fetch_sub(1);
        return false;
    }
    return true;
}

bool MqttClient::subscribe(const QString &filter, int qos)
{
    return m_state == State::Connected
        && mosquitto_subscribe_v5(
               m_attempt->handle, nullptr, filter.toUtf8().constData(), qos, 0, nullptr)
        == MOSQ_ERR_SUCCESS;
}

int MqttClient::unconfirmed() const
{
    return m_state == State::Connected ? m_attempt->unconfirmed.load() : 0;
}

void MqttClient::onConnack(int attempt, int reasonCode)
{
    if (!m_attempt || m_attempt->number != attempt)
        return;
    if (reasonCode != 0) {
        fail(QStringLiteral("refused the connection: %1")
                 .arg(QString::fromUtf8(mosquitto_reason_string(reasonCode))));
        return;
    }
    m_state = State::Connected;
    emit connected();
}

void MqttClient::onDisconnect(int attempt, const QString &text)
{
    if (m_attempt && m_attempt->number == attempt)
        ended(text);
}

void MqttClient::checkSocket()
{
    // Twice in a row, so that a callback on its way is heard first.
    if (m_attempt && mosquitto_socket(m_attempt->handle) < 0) {
        if (++m_socketGoneChecks >= 2)
            ended(QString());
    } else {
        m_socketGoneChecks = 0;
    }
}

void MqttClient::ended(const QString &text)
{
    const bool wasConnected = m_state == State::Connected;
    QString reason = wasConnected ? QStringLiteral("lost the connection")
                                  : QStringLiteral("could not connect");
    if (!text.isEmpty())
        reason += QStringLiteral(": ") + text;
    else if (!wasConnected && m_errorDetail.isEmpty())
        reason += QStringLiteral(": the broker closed the connection");
    fail(withDetail(reason, m_errorDetail));
}

void MqttClient::onLog(int attempt, const QString &line)
{
    if (m_attempt && m_attempt->number == attempt)
        m_errorDetail = line;
}

void MqttClient::endAttempt(bool force)
{
    m_socketCheck.stop();
    if (!m_attempt)
        return;
    if (mosquitto *handle = m_attempt->handle) {
        mosquitto_disconnect(handle);
        if (m_attempt->threadStarted)
            mosquitto_loop_stop(handle, force);
        mosquitto_destroy(handle);
    }
    m_attempt.reset();
}

void MqttClient::fail(const QString &reason)
{
    endAttempt(false);
    m_state = State::Closed;
    emit closed(reason);
}
