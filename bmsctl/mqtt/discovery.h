#pragma once

#include "mqtt/batteryreport.h"
#include "mqtt/gatewaytopics.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct BatteryIdentity;

// Home Assistant's MQTT discovery for one battery: a device named after the site and the
// battery's number, identified by its serial code and describing its model and firmware, with one
// entity per value of the state message (a binary sensor for the relays, a sensor for the rest,
// each with its unit, device class and state class) and one for the list of active alarms.
// Every entity is available while the gateway's status and the battery's availability both say
// online.
//
// Configurations are published retained under
// <discovery prefix>/<sensor|binary_sensor>/<node>/<object id>/config, node being
// bmsctl_<site>_<id> with every character outside [A-Za-z0-9_-] made '_'.
class Discovery
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
    };

    static constexpr const char *DefaultPrefix = "homeassistant";

    // Where Home Assistant says "online" when it starts, asking for the configurations again.
    static QString statusTopic(const QString &discoveryPrefix)
    {
        return discoveryPrefix + QStringLiteral("/status");
    }

    static QString configTopic(const QString &discoveryPrefix, const QString &component,
        const QString &node, const QString &objectId);

    static QList<Message> battery(const QString &discoveryPrefix, const GatewayTopics &topics,
        const QString &site, int devId, const BatteryIdentity &identity,
        const QList<ReportedValue> &values);
    // The bank as one device, "<site> bank" (node bmsctl_<site>_bank), its entities reading
    // <prefix>/bank/state and available while the gateway is.
    static QList<Message> bank(const QString &discoveryPrefix, const GatewayTopics &topics,
        const QString &site, const QList<ReportedValue> &values);
};
