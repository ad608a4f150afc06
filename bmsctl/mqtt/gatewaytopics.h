#pragma once

#include <QString>

// The gateway's topics under its prefix (bms/<site> unless --prefix):
//
//   <prefix>/status              online, or offline (also the last will)     retained
//   <prefix>/<id>/state          a JSON object per battery and interval
//   <prefix>/<id>/alarms         the active protections and alarms, a list   retained
//   <prefix>/<id>/availability   online or offline, by the life counter      retained
//   <prefix>/bank/state          a JSON object of the bank per interval
//   <prefix>/events              a JSON object per protection or alarm that becomes active or
//                                clears
struct GatewayTopics
{
    QString prefix;

    QString bankState() const { return prefix + QStringLiteral("/bank/state"); }
    QString events() const { return prefix + QStringLiteral("/events"); }
    QString status() const { return prefix + QStringLiteral("/status"); }
    QString state(int devId) const { return battery(devId, QStringLiteral("state")); }
    QString alarms(int devId) const { return battery(devId, QStringLiteral("alarms")); }
    QString availability(int devId) const { return battery(devId, QStringLiteral("availability")); }

private:
    QString battery(int devId, const QString &leaf) const
    {
        return QStringLiteral("%1/%2/%3").arg(prefix).arg(devId).arg(leaf);
    }
};
