#include "discovery.h"

#include "battery/batteryidentity.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString nodeId(const QString &site, int devId)
{
    static const QRegularExpression outside(QStringLiteral("[^A-Za-z0-9_-]"));
    return QStringLiteral("bmsctl_%1_%2")
        .arg(site)
        .arg(devId)
        .replace(outside, QStringLiteral("_"));
}

QJsonObject device(const QString &site, int devId, const BatteryIdentity &identity)
{
    QJsonObject device;
    device.insert(QStringLiteral("identifiers"),
        QJsonArray { identity.serial.isEmpty() ? nodeId(site, devId) : identity.serial });
    device.insert(QStringLiteral("name"), QStringLiteral("%1 battery %2").arg(site).arg(devId));
    if (!identity.model.isEmpty())
        device.insert(QStringLiteral("model"), identity.model);
    if (!identity.firmware.isEmpty())
        device.insert(QStringLiteral("sw_version"), identity.firmware);
    return device;
}

} // namespace

QList<Discovery::Message> Discovery::battery(const QString &discoveryPrefix,
    const GatewayTopics &topics, const QString &site, int devId, const BatteryIdentity &identity,
    const QList<ReportedValue> &values)
{
    const QString node = nodeId(site, devId);
    const QJsonArray availability {
        QJsonObject { { QStringLiteral("topic"), topics.status() } },
        QJsonObject { { QStringLiteral("topic"), topics.availability(devId) } },
    };
    QJsonObject common;
    common.insert(QStringLiteral("availability"), availability);
    common.insert(QStringLiteral("availability_mode"), QStringLiteral("all"));
    common.insert(QStringLiteral("device"), device(site, devId, identity));
    common.insert(QStringLiteral("has_entity_name"), true);

    QList<Message> messages;
    const auto add = [&](const QString &component, const QString &objectId, QJsonObject config) {
        for (auto it = common.constBegin(); it != common.constEnd(); ++it)
            config.insert(it.key(), it.value());
        config.insert(QStringLiteral("unique_id"), QStringLiteral("%1_%2").arg(node, objectId));
        messages.append(
            { QStringLiteral("%1/%2/%3/%4/config").arg(discoveryPrefix, component, node, objectId),
                QJsonDocument(config).toJson(QJsonDocument::Compact) });
    };

    for (const ReportedValue &value : values) {
        QJsonObject config;
        config.insert(QStringLiteral("name"), value.name);
        config.insert(QStringLiteral("state_topic"), topics.state(devId));
        config.insert(
            QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 }}").arg(value.key));
        if (value.binary) {
            config.insert(QStringLiteral("payload_on"), QStringLiteral("1"));
            config.insert(QStringLiteral("payload_off"), QStringLiteral("0"));
            add(QStringLiteral("binary_sensor"), value.objectId, config);
            continue;
        }
        if (!value.unit.isEmpty())
            config.insert(QStringLiteral("unit_of_measurement"), value.unit);
        if (!value.deviceClass.isEmpty())
            config.insert(QStringLiteral("device_class"), value.deviceClass);
        config.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
        add(QStringLiteral("sensor"), value.objectId, config);
    }

    QJsonObject alarms;
    alarms.insert(QStringLiteral("name"), QStringLiteral("Active alarms"));
    alarms.insert(QStringLiteral("state_topic"), topics.alarms(devId));
    // A sensor's state holds at most 255 characters; the whole list is in the topic.
    alarms.insert(QStringLiteral("value_template"),
        QStringLiteral("{{ (value_json | join(', ') if value_json else 'none')[:255] }}"));
    alarms.insert(QStringLiteral("icon"), QStringLiteral("mdi:alert"));
    add(QStringLiteral("sensor"), QStringLiteral("active_alarms"), alarms);
    return messages;
}
