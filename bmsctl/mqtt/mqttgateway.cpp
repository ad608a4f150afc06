#include "mqttgateway.h"

#include "bus/bussession.h"
#include "mqtt/brokerlink.h"

#include "can/canservice.h"
#include "can/frameinbox.h"
#include "signals/signalvalues.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");

} // namespace

MqttGateway::MqttGateway(
    const Options &options, BusSession &session, BrokerLink &link, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_session(session)
    , m_link(link)
    , m_report(*session.store(), options.extraSignals)
    , m_bank(*session.store(), session.monitor(), options.ids)
{
    m_discoveryAnswer.setSingleShot(true);
    connect(&m_discoveryAnswer, &QTimer::timeout, this, &MqttGateway::answerDiscovery);
    m_publishTimer.setInterval(options.intervalMs);
    connect(&m_publishTimer, &QTimer::timeout, this, &MqttGateway::publishRound);
    m_lifeTimer.setInterval(LifeCheckMs);
    connect(&m_lifeTimer, &QTimer::timeout, this, &MqttGateway::checkLives);
    connect(&m_link, &BrokerLink::connected, this, &MqttGateway::publishRetainedState);
    connect(&m_link, &BrokerLink::messageReceived, this, &MqttGateway::onMessage);
    if (options.discovery)
        m_link.addSubscription(Discovery::statusTopic(options.discoveryPrefix));
}

void MqttGateway::start(bool publishing)
{
    m_session.service()->inbox()->setBatchInterval(FrameBatchMs);
    m_clock.start();
    m_lifeTimer.start();
    if (publishing)
        m_publishTimer.start();
}

void MqttGateway::publishRound()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int devId : m_bank.batteries()) {
        Battery &battery = m_batteries[devId];
        m_link.publishState(m_options.topics.state(devId),
            QJsonDocument(m_report.state(devId, m_bank.isOnline(devId), now))
                .toJson(QJsonDocument::Compact));
        const QByteArray alarms
            = QJsonDocument(QJsonArray::fromStringList(m_report.activeAlarms(devId)))
                  .toJson(QJsonDocument::Compact);
        if (alarms != battery.alarms) {
            battery.alarms = alarms;
            m_link.publishRetained(m_options.topics.alarms(devId), alarms);
        }
    }
    m_link.publishState(m_options.topics.bankState(),
        QJsonDocument(BankReport::state(m_bank.figures(), now)).toJson(QJsonDocument::Compact));
}

void MqttGateway::publishEvents()
{
    const QString time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    for (const AlarmWatch::Event &event :
        m_alarms.look(*m_session.store(), m_bank.onlineBatteries())) {
        QJsonObject message {
            { QStringLiteral("time"), time },
            { QStringLiteral("battery"), event.battery },
            { QStringLiteral("kind"),
                event.protection ? QStringLiteral("protection") : QStringLiteral("alarm") },
            { QStringLiteral("name"), event.name },
            { QStringLiteral("active"), event.active },
        };
        if (!event.subject.isEmpty()) {
            message.insert(event.subject, event.number);
            // Millivolts and whole degrees are what the batteries send.
            message.insert(QStringLiteral("value"), BatteryReport::rounded(event.value, 3));
            message.insert(QStringLiteral("unit"), event.unit);
        }
        m_link.publishState(
            m_options.topics.events(), QJsonDocument(message).toJson(QJsonDocument::Compact));
    }
}

void MqttGateway::checkLives()
{
    const qint64 nowMs = m_clock.elapsed();
    m_bank.checkLives(nowMs);
    publishEvents();
    int unidentified = -1;
    for (int devId : m_bank.batteries()) {
        Battery &battery = m_batteries[devId];
        const LifeWatch::Verdict verdict = m_bank.verdict(devId);
        if (verdict == LifeWatch::Verdict::Unjudged)
            continue;
        const QByteArray availability = verdict == LifeWatch::Verdict::Online ? Online : Offline;
        if (availability != battery.availability) {
            battery.availability = availability;
            m_link.publishRetained(m_options.topics.availability(devId), availability);
        }
        if (m_options.discovery && !battery.identified && unidentified < 0
            && verdict == LifeWatch::Verdict::Online && nowMs >= battery.identityDueMs)
            unidentified = devId;
    }
    // After the loop: the read lets this slot run again, nested, while it waits.
    if (unidentified >= 0)
        readIdentity(unidentified);
}

void MqttGateway::readIdentities()
{
    for (int devId : m_bank.batteries()) {
        if (!m_batteries.value(devId).identified)
            readIdentity(devId);
    }
}

void MqttGateway::readIdentity(int devId)
{
    if (m_readingIdentity || m_stopped)
        return;
    m_readingIdentity = true;
    const BatteryIdentity identity = BatteryIdentity::read(m_session.service(), devId);
    m_readingIdentity = false;
    Battery &battery = m_batteries[devId];
    if (!identity.answered()) {
        battery.identityDueMs = m_clock.elapsed() + IdentityRetryMs;
        return;
    }
    battery.identity = identity;
    battery.identified = true;
    publishDiscovery(devId);
}

void MqttGateway::publishBankDiscovery()
{
    if (!m_options.discovery || m_stopped)
        return;
    for (const Discovery::Message &config : Discovery::bank(
             m_options.discoveryPrefix, m_options.topics, m_options.site, m_bankReport.values()))
        m_link.publishRetained(config.topic, config.payload);
}

void MqttGateway::publishDiscovery(int devId)
{
    const Battery battery = m_batteries.value(devId);
    if (!battery.identified || m_stopped)
        return;
    const QList<Discovery::Message> configs = Discovery::battery(m_options.discoveryPrefix,
        m_options.topics, m_options.site, devId, battery.identity, m_report.values());
    for (const Discovery::Message &config : configs)
        m_link.publishRetained(config.topic, config.payload);
}

void MqttGateway::publishRetainedState()
{
    if (m_stopped)
        return;
    m_link.publishRetained(m_options.topics.status(), Online);
    publishBankDiscovery();
    for (auto it = m_batteries.cbegin(); it != m_batteries.cend(); ++it) {
        if (!it->availability.isEmpty())
            m_link.publishRetained(m_options.topics.availability(it.key()), it->availability);
        if (!it->alarms.isEmpty())
            m_link.publishRetained(m_options.topics.alarms(it.key()), it->alarms);
        publishDiscovery(it.key());
    }
}

void MqttGateway::onMessage(const QString &topic, const QByteArray &payload)
{
    // Home Assistant (re)started: it wants the configurations again. Nothing else that comes
    // from the broker is looked at.
    if (!m_options.discovery || topic != Discovery::statusTopic(m_options.discoveryPrefix)
        || payload.trimmed() != Online || m_discoveryAnswer.isActive())
        return;
    const qint64 sinceLast
        = m_discoveryAnswered.isValid() ? m_discoveryAnswered.elapsed() : qint64(DiscoveryAnswerMs);
    m_discoveryAnswer.start(int(qMax<qint64>(0, DiscoveryAnswerMs - sinceLast)));
}

void MqttGateway::answerDiscovery()
{
    m_discoveryAnswered.start();
    publishBankDiscovery();
    for (auto it = m_batteries.cbegin(); it != m_batteries.cend(); ++it)
        publishDiscovery(it.key());
}

void MqttGateway::stop()
{
    m_publishTimer.stop();
    m_lifeTimer.stop();
    m_discoveryAnswer.stop();
    for (auto it = m_batteries.begin(); it != m_batteries.end(); ++it) {
        if (!it->availability.isEmpty()) {
            it->availability = Offline;
            m_link.publishRetained(m_options.topics.availability(it.key()), Offline);
        }
    }
    m_link.publishRetained(m_options.topics.status(), Offline);
    m_stopped = true;
}
