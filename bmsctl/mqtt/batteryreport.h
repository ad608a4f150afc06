#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class AbstractSignalValue;

// One value of the state message, with what Home Assistant needs to show it.
struct ReportedValue
{
    QString key; // in the state message: "soc", "cell_voltage_max", "Volt1"
    // Home Assistant's object id, unique within the device: the key for the gateway's own values,
    // "signal_<name>" for catalogue signals, whose names may match one ("SOC" and "soc").
    QString objectId;
    QString name; // for people: "State of charge"
    QString unit; // as Home Assistant writes it ("°C", not "℃"); empty for none
    QString deviceClass; // Home Assistant's sensor device class; empty for none
    bool binary = false; // 0 or 1: a binary sensor
    // Absent for the bank's values, which BankReport writes from the bank's figures.
    std::function<QJsonValue(const AbstractSignalValue &store, int devId)> read;
    // Home Assistant's state class: total_increasing for the energy counters, which its energy
    // view takes as meters.
    QString stateClass = QStringLiteral("measurement");
};

// What the gateway tells about one battery, read from the signal store: the state message
// (time, the values below, online) and the names of its active protections and alarms. The
// values are the pack figures, the cell-voltage and temperature extremes, the four relays, the
// protection and alarm counts and the lifetime discharge energy, then the catalogue signals
// asked for by name. What is derived from several signals is derived by BankModel. Protections
// and alarms are counted and named by the window's own definitions (AlarmSet).
class BatteryReport
{
public:
    BatteryReport(const AbstractSignalValue &store, const QList<int> &extraSignals);

    // A figure to the decimals its message gives it.
    static double rounded(double value, int decimals);

    const QList<ReportedValue> &values() const { return m_values; }
    QJsonObject state(int devId, bool online, const QDateTime &time) const;
    // The protections' names, then the alarms' ("protections" of the state says how many of
    // them are protections).
    QStringList activeAlarms(int devId) const;

private:
    const AbstractSignalValue &m_store;
    QList<ReportedValue> m_values;
};
