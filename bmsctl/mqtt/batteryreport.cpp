#include "batteryreport.h"

#include "bank/bankmodel.h"
#include "formats/signalformat.h"

#include "signals/abstractsignalvalue.h"
#include "signals/alarmset.h"
#include "signals/signalindex.h"
#include "signals/signalnames.h"

#include <QCoreApplication>

#include <cmath>

namespace {

using Reader = std::function<QJsonValue(const AbstractSignalValue &, int)>;

Reader signal(int index)
{
    return [index](const AbstractSignalValue &store, int devId) {
        return SignalFormat::json(store, index, store.value(devId, index));
    };
}

Reader relay(int index)
{
    return [index](const AbstractSignalValue &store, int devId) {
        return QJsonValue(store.value(devId, index).toUInt() != 0 ? 1 : 0);
    };
}

// A value BankModel derives for one battery, rounded.
Reader derived(double (*derive)(const AbstractSignalValue &, int), int decimals)
{
    return [derive, decimals](const AbstractSignalValue &store, int devId) {
        return QJsonValue(BatteryReport::rounded(derive(store, devId), decimals));
    };
}

Reader count(int (*counter)(const AbstractSignalValue &, int))
{
    return [counter](const AbstractSignalValue &store, int devId) {
        return QJsonValue(counter(store, devId));
    };
}

// The catalogue's unit as Home Assistant writes it, and the device class that goes with it.
void describeUnit(const QString &catalogueUnit, ReportedValue *value)
{
    static const QHash<QString, QPair<QString, QString>> known {
        { QStringLiteral("V"), { QStringLiteral("V"), QStringLiteral("voltage") } },
        { QStringLiteral("A"), { QStringLiteral("A"), QStringLiteral("current") } },
        { QStringLiteral("%"), { QStringLiteral("%"), QString() } },
        { QStringLiteral("Ah"), { QStringLiteral("Ah"), QString() } },
        { QStringLiteral("℃"), { QStringLiteral("°C"), QStringLiteral("temperature") } },
        { QStringLiteral("hours"), { QStringLiteral("h"), QStringLiteral("duration") } },
    };
    const auto it = known.constFind(catalogueUnit);
    value->unit = it == known.cend() ? catalogueUnit : it->first;
    value->deviceClass = it == known.cend() ? QString() : it->second;
}

} // namespace

double BatteryReport::rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

BatteryReport::BatteryReport(const AbstractSignalValue &store, const QList<int> &extraSignals)
    : m_store(store)
{
    const QString volt = QStringLiteral("V");
    const QString voltage = QStringLiteral("voltage");
    const QString celsius = QStringLiteral("°C");
    const QString temperature = QStringLiteral("temperature");
    m_values = {
        { "soc", {}, "State of charge", "%", "battery", false, signal(Signal::SOC) },
        { "soh", {}, "State of health", "%", "", false, signal(Signal::SOH) },
        { "voltage", {}, "Voltage", volt, voltage, false, signal(Signal::SumVolt) },
        { "current", {}, "Current", "A", "current", false, signal(Signal::Curr) },
        { "power", {}, "Power", "kW", "power", false, derived(BankModel::powerKw, 3) },
        { "cell_voltage_max", {}, "Highest cell voltage", volt, voltage, false,
            signal(Signal::MaxCellV) },
        { "cell_voltage_max_cell", {}, "Cell of the highest voltage", "", "", false,
            signal(Signal::MaxCellVNo) },
        { "cell_voltage_min", {}, "Lowest cell voltage", volt, voltage, false,
            signal(Signal::MinCellV) },
        { "cell_voltage_min_cell", {}, "Cell of the lowest voltage", "", "", false,
            signal(Signal::MinCellVNo) },
        { "cell_voltage_spread", {}, "Cell voltage spread", volt, voltage, false,
            derived(BankModel::cellVoltageSpread, 3) },
        { "temperature_max", {}, "Highest temperature", celsius, temperature, false,
            signal(Signal::MaxCellT) },
        { "temperature_min", {}, "Lowest temperature", celsius, temperature, false,
            signal(Signal::MinCellT) },
        { "main_relay", {}, "Main relay", "", "", true, relay(Signal::Main2ndRelay) },
        { "charge_relay", {}, "Charge relay", "", "", true, relay(Signal::ChargeRelay) },
        { "discharge_relay", {}, "Discharge relay", "", "", true, relay(Signal::DischargeRelay) },
        { "precharge_relay", {}, "Pre-charge relay", "", "", true, relay(Signal::PrechargeRelay) },
        { "protections", {}, "Protections", "", "", false, count(BankModel::protections) },
        { "alarms", {}, "Alarms", "", "", false, count(BankModel::alarms) },
        { "discharge_energy", {}, "Discharge energy", "kWh", "energy", false,
            derived(BankModel::dischargeEnergyKwh, 3), QStringLiteral("total_increasing") },
    };
    for (ReportedValue &value : m_values)
        value.objectId = value.key;
    for (int index : extraSignals) {
        const QString name = SignalNames::name(index);
        ReportedValue value { name, QStringLiteral("signal_") + name.toLower(), name, {}, {}, false,
            signal(index) };
        describeUnit(store.unit(index), &value);
        m_values.append(value);
    }
}

QJsonObject BatteryReport::state(int devId, bool online, const QDateTime &time) const
{
    QJsonObject state;
    state.insert(QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs));
    state.insert(QStringLiteral("id"), devId);
    for (const ReportedValue &value : m_values)
        state.insert(value.key, value.read(m_store, devId));
    state.insert(QStringLiteral("online"), online ? 1 : 0);
    return state;
}

QStringList BatteryReport::activeAlarms(int devId) const
{
    QStringList protections;
    QStringList alarms;
    for (const AlarmSet::Alarm &alarm : AlarmSet::Alarms) {
        const int value = m_store.value(devId, alarm.signal).toInt();
        const QString name = QCoreApplication::translate(AlarmSet::NameContext, alarm.name);
        if (alarm.kind == AlarmSet::Flag ? value == AlarmSet::FlagActive
                                         : value == AlarmSet::ProtectionLevel)
            protections.append(name);
        else if (alarm.kind == AlarmSet::Level && value == AlarmSet::AlarmLevel)
            alarms.append(name);
    }
    return protections + alarms;
}
