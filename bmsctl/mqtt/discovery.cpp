#include "discovery.h"

#include "battery/batteryidentity.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString nodeId(const QString &site, const QString &part)
{
    static const QRegularExpression outside(QStringLiteral("[^A-Za-z0-9_-]"));
    return QStringLiteral("bmsctl_%1_%2").arg(site, part).replace(outside, QStringLiteral("_"));
}

QJsonObject batteryDevice(
    const QString &site, int devId, const QString &node, const BatteryIdentity &identity)
{
    QJsonObject device;
    device.insert(QStringLiteral("identifiers"),
        QJsonArray { identity.serial.isEmpty() ? node : identity.serial });
    device.insert(QStringLiteral("name"), QStringLiteral("%1 battery %2").arg(site).arg(devId));
    if (!identity.model.isEmpty())
        device.insert(QStringLiteral("model"), identity.model);
    if (!identity.firmware.isEmpty())
        device.insert(QStringLiteral("sw_version"), identity.firmware);
    return device;
}

// What every entity of a device says: which device, and when it is available.
QJsonObject common(const QJsonObject &device, const QJsonArray &availability)
{
    QJsonObject config;
    config.insert(QStringLiteral("availability"), availability);
    config.insert(QStringLiteral("availability_mode"), QStringLiteral("all"));
    config.insert(QStringLiteral("device"), device);
    config.insert(QStringLiteral("has_entity_name"), true);
    return config;
}

// The entities of one device: one per value of its state message, each available as the
// availability topics say.
QList<Discovery::Message> entities(const QString &discoveryPrefix, const QString &node,
    const QJsonObject &device, const QString &stateTopic, const QJsonArray &availability,
    const QList<ReportedValue> &values)
{
    QList<Discovery::Message> messages;
    for (const ReportedValue &value : values) {
        QJsonObject config = common(device, availability);
        config.insert(QStringLiteral("name"), value.name);
        config.insert(QStringLiteral("state_topic"), stateTopic);
        config.insert(
            QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 }}").arg(value.key));
        config.insert(
            QStringLiteral("unique_id"), QStringLiteral("%1_%2").arg(node, value.objectId));
        QString component = QStringLiteral("binary_sensor");
        if (value.binary) {
            config.insert(QStringLiteral("payload_on"), QStringLiteral("1"));
            config.insert(QStringLiteral("payload_off"), QStringLiteral("0"));
        } else {
            component = QStringLiteral("sensor");
            if (!value.unit.isEmpty())
                config.insert(QStringLiteral("unit_of_measurement"), value.unit);
            if (!value.deviceClass.isEmpty())
                config.insert(QStringLiteral("device_class"), value.deviceClass);
            config.insert(QStringLiteral("state_class"), value.stateClass);
        }
        messages.append({ Discovery::configTopic(discoveryPrefix, component, node, value.objectId),
            QJsonDocument(config).toJson(QJsonDocument::Compact) });
    }
    return messages;
}

} // namespace

QString Discovery::configTopic(const QString &discoveryPrefix, const QString &component,
    const QString &node, const QString &objectId)
{
    return QStringLiteral("%1/%2/%3/%4/config").arg(discoveryPrefix, component, node, objectId);
}

QList<Discovery::Message> Discovery::battery(const QString &discoveryPrefix,
    const GatewayTopics &topics, const QString &site, int devId, const BatteryIdentity &identity,
    const QList<ReportedValue> &values)
{
    const QString node = nodeId(site, QString::number(devId));
    const QJsonArray availability {
        QJsonObject { { QStringLiteral("topic"), topics.status() } },
        QJsonObject { { QStringLiteral("topic"), topics.availability(devId) } },
    };
    const QJsonObject device = batteryDevice(site, devId, node, identity);
    QList<Message> messages
        = entities(discoveryPrefix, node, device, topics.state(devId), availability, values);

    QJsonObject alarms = common(device, availability);
    alarms.insert(QStringLiteral("unique_id"), node + QStringLiteral("_active_alarms"));
    alarms.insert(QStringLiteral("name"), QStringLiteral("Active alarms"));
    alarms.insert(QStringLiteral("state_topic"), topics.alarms(devId));
    // A sensor's state holds at most 255 characters; the whole list is in the topic.
    alarms.insert(QStringLiteral("value_template"),
        QStringLiteral("{{ (value_json | join(', ') if value_json else 'none')[:255] }}"));
    alarms.insert(QStringLiteral("icon"), QStringLiteral("mdi:alert"));
    messages.append({ configTopic(discoveryPrefix, QStringLiteral("sensor"), node,
                          QStringLiteral("active_alarms")),
        QJsonDocument(alarms).toJson(QJsonDocument::Compact) });
    return messages;
}

QList<Discovery::Message> Discovery::bank(const QString &discoveryPrefix,
    const GatewayTopics &topics, const QString &site, const QList<ReportedValue> &values)
{
    const QString node = nodeId(site, QStringLiteral("bank"));
    QJsonObject device;
    device.insert(QStringLiteral("identifiers"), QJsonArray { node });
    device.insert(QStringLiteral("name"), QStringLiteral("%1 bank").arg(site));
    const QJsonArray availability { QJsonObject { { QStringLiteral("topic"), topics.status() } } };
    return entities(discoveryPrefix, node, device, topics.bankState(), availability, values);
}
