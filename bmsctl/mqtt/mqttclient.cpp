#include "mqttclient.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>

#include <mosquitto.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

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
// need. The callbacks run in the library's threads and reach the client only by posting, and
// only while the client still holds the attempt (client is cleared under the mutex when it gives
// the attempt up).
struct MqttAttempt
{
    MqttAttempt(MqttClient *owner, int attemptNumber)
        : client(owner)
        , number(attemptNumber)
    { }

    std::mutex mutex;
    // Read by the library's threads, cleared by the client's under mutex.
    std::atomic<MqttClient *> client;
    const int number;
    mosquitto *handle = nullptr;
    bool connecting = false; // the connecting thread runs; guarded by mutex
    bool threadStarted = false;
    std::atomic<int> unconfirmed { 0 };
    std::atomic<bool> disconnected { false };

    template <typename Call> void post(Call &&call)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (MqttClient *target = client)
            QMetaObject::invokeMethod(target, std::forward<Call>(call), Qt::QueuedConnection);
    }

    // The connecting thread: the name lookup and the TCP connection, then the news of it.
    static void connect(std::shared_ptr<MqttAttempt> attempt, const QByteArray &host, int port,
        int keepAliveSeconds)
    {
        const int result
            = mosquitto_connect_async(attempt->handle, host.constData(), port, keepAliveSeconds);
        const int errnoValue = errno;
        std::unique_lock<std::mutex> lock(attempt->mutex);
        attempt->connecting = false;
        if (MqttClient *client = attempt->client) {
            QMetaObject::invokeMethod(
                client,
                [client, number = attempt->number, result, errnoValue] {
                    client->onConnectStarted(number, result, errnoValue);
                },
                Qt::QueuedConnection);
            return;
        }
        // Given up while connecting: nobody else holds the library's client any more.
        lock.unlock();
        mosquitto_destroy(attempt->handle);
    }

    static MqttAttempt *of(void *object) { return static_cast<MqttAttempt *>(object); }

    static void onConnect(
        mosquitto *, void *object, int reasonCode, int, const mosquitto_property *)
    {
        MqttAttempt *attempt = of(object);
        attempt->post([client = attempt->client.load(), number = attempt->number, reasonCode] {
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
        attempt->disconnected = true;
        attempt->post(
            [client = attempt->client.load(), number = attempt->number,
                text = errorText(result, errnoValue)] { client->onDisconnect(number, text); });
    }

    static void onPublish(mosquitto *, void *object, int, int, const mosquitto_property *)
    {
        MqttAttempt *attempt = of(object);
        attempt->unconfirmed.fetch_sub(1);
        attempt->post([client = attempt->client.load()] { emit client->delivered(); });
    }

    static void onMessage(
        mosquitto *, void *object, const mosquitto_message *message, const mosquitto_property *)
    {
        MqttAttempt *attempt = of(object);
        attempt->post([client = attempt->client.load(), number = attempt->number,
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
        attempt->post([client = attempt->client.load(), number = attempt->number,
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
    m_attempt = std::make_shared<MqttAttempt>(this, ++m_attempts);
    m_state = State::Connecting;
    MqttAttempt *attempt = m_attempt.get();
    // Told in order after the library's log lines, which may give the reason.
    const auto failNow = [attempt](const QString &reason) {
        attempt->post([client = attempt->client.load(), number = attempt->number, reason] {
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

    attempt->connecting = true;
    std::thread(&MqttAttempt::connect, m_attempt, m_settings.broker.host.toUtf8(),
        m_settings.broker.port, m_settings.keepAliveSeconds)
        .detach();
}

void MqttClient::onConnectStarted(int attempt, int result, int errnoValue)
{
    if (!m_attempt || m_attempt->number != attempt)
        return;
    if (result != MOSQ_ERR_SUCCESS) {
        fail(withDetail(QStringLiteral("could not connect: %1").arg(errorText(result, errnoValue)),
            m_errorDetail));
        return;
    }
    result = mosquitto_loop_start(m_attempt->handle);
    if (result != MOSQ_ERR_SUCCESS) {
        fail(QStringLiteral("the MQTT library started no network thread: %1")
                 .arg(errorText(result, errno)));
        return;
    }
    m_attempt->threadStarted = true;
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

QString MqttClient::topicProblem(const QString &topic)
{
    if (topic.contains(QLatin1Char('+')) || topic.contains(QLatin1Char('#')))
        return QStringLiteral("holds a wildcard (+ or #)");
    for (const QChar c : topic) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("holds a control character (U+%1)")
                .arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    if (topic.startsWith(QLatin1Char('$')))
        return QStringLiteral("begins with $, which brokers keep for their own topics");
    const QByteArray bytes = topic.toUtf8();
    if (bytes.size() > MaxTopicBytes)
        return QStringLiteral("is longer than MQTT's %1 bytes").arg(MaxTopicBytes);
    if (bytes.isEmpty()
        || mosquitto_validate_utf8(bytes.constData(), bytes.size()) != MOSQ_ERR_SUCCESS
        || mosquitto_pub_topic_check2(bytes.constData(), size_t(bytes.size())) != MOSQ_ERR_SUCCESS)
        return QStringLiteral("is refused by the MQTT library");
    return QString();
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
    else if (wasConnected)
        // The broker closed it without a word, as brokers drop a client when another connects
        // with its client id: naming the id lets the user find the other one.
        reason += QStringLiteral(": the broker closed it (as it does when another client "
                                 "connects with the client id %1)")
                      .arg(m_settings.clientId);
    else if (m_errorDetail.isEmpty())
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
    const std::shared_ptr<MqttAttempt> attempt = std::move(m_attempt);
    {
        std::lock_guard<std::mutex> lock(attempt->mutex);
        attempt->client = nullptr;
        if (attempt->connecting)
            return; // the connecting thread puts the library's client away
    }
    mosquitto *handle = attempt->handle;
    if (!handle)
        return;
    mosquitto_disconnect(handle);
    if (attempt->threadStarted) {
        // DISCONNECT is written and the thread ends at once unless the broker stopped reading;
        // a thread whose socket is gone has ended already.
        const auto ended
            = [&] { return attempt->disconnected.load() || mosquitto_socket(handle) < 0; };
        const QDeadlineTimer deadline(force ? 0 : CloseWaitMs);
        while (!ended() && !deadline.hasExpired())
            QThread::msleep(10);
        mosquitto_loop_stop(handle, !ended());
    }
    mosquitto_destroy(handle);
}

void MqttClient::fail(const QString &reason)
{
    endAttempt(false);
    m_state = State::Closed;
    emit closed(reason);
}
