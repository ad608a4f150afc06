#pragma once

#include "command.h"

// bmsctl mqtt: the bank published to an MQTT broker for the owner's monitoring (Home Assistant,
// Grafana, a SCADA system), meant to run unattended beside the bank. Read-only: it subscribes to
// nothing but Home Assistant's status and sends nothing on the bus but the identity reads that
// discovery needs.
class MqttCommand : public Command
{
public:
    static constexpr int DefaultIntervalMs = 1000;
    static constexpr int DefaultStateQueue = 600;
    static constexpr int DefaultRetryMaxS = 30;

    QStringList words() const override { return { QStringLiteral("mqtt") }; }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
