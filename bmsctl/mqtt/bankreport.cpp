#include "bankreport.h"

#include <QJsonArray>

namespace {

ReportedValue described(const char *key, const char *name, const char *unit = "",
    const char *deviceClass = "", const char *stateClass = "measurement")
{
    ReportedValue value;
    value.key = value.objectId = QString::fromLatin1(key);
    value.name = QString::fromLatin1(name);
    value.unit = QString::fromUtf8(unit);
    value.deviceClass = QString::fromLatin1(deviceClass);
    value.stateClass = QString::fromLatin1(stateClass);
    return value;
}

} // namespace

BankReport::BankReport()
    : m_values {
        described("batteries_online", "Batteries online"),
        described("batteries_heard", "Batteries heard"),
        described("soc", "State of charge", "%", "battery"),
        described("current", "Current", "A", "current"),
        described("power", "Power", "kW", "power"),
        described("voltage", "Voltage", "V", "voltage"),
        described("cell_voltage_max", "Highest cell voltage", "V", "voltage"),
        described("cell_voltage_max_battery", "Battery of the highest cell"),
        described("cell_voltage_max_cell", "Cell of the highest voltage"),
        described("cell_voltage_min", "Lowest cell voltage", "V", "voltage"),
        described("cell_voltage_min_battery", "Battery of the lowest cell"),
        described("cell_voltage_min_cell", "Cell of the lowest voltage"),
        described("cell_voltage_spread", "Cell voltage spread", "V", "voltage"),
        described("temperature_max", "Highest temperature", "°C", "temperature"),
        described("temperature_max_battery", "Battery of the highest temperature"),
        described("protections", "Batteries in protection"),
        described("alarms", "Batteries in alarm"),
        described("discharge_energy", "Discharge energy", "kWh", "energy", "total_increasing"),
    }
{ }

QJsonObject BankReport::state(const BankModel::Figures &figures, const QDateTime &time)
{
    QJsonObject state;
    state.insert(QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs));
    state.insert(QStringLiteral("batteries_online"), figures.online.size());
    state.insert(QStringLiteral("batteries_heard"), figures.heard);
    QJsonArray offline;
    for (int devId : figures.offline)
        offline.append(devId);
    state.insert(QStringLiteral("batteries_offline"), offline);
    state.insert(
        QStringLiteral("discharge_energy"), BatteryReport::rounded(figures.dischargeEnergy, 3));
    const bool any = !figures.online.isEmpty();
    const auto put = [&](const QString &key, const QJsonValue &value) {
        state.insert(key, any ? value : QJsonValue());
    };
    put(QStringLiteral("soc"), BatteryReport::rounded(figures.soc, 1));
    put(QStringLiteral("soc_weighting"),
        figures.socWeighted ? QStringLiteral("capacity") : QStringLiteral("mean"));
    put(QStringLiteral("current"), BatteryReport::rounded(figures.current, 1));
    put(QStringLiteral("power"), BatteryReport::rounded(figures.power, 3));
    put(QStringLiteral("voltage"), BatteryReport::rounded(figures.voltage, 2));
    // The value, its battery and, for cells, the cell's number.
    const auto extreme
        = [&](const QString &key, const BankModel::Extreme &extreme, int decimals, bool cell) {
              put(key, BatteryReport::rounded(extreme.value, decimals));
              put(key + QStringLiteral("_battery"), extreme.battery);
              if (cell)
                  put(key + QStringLiteral("_cell"), extreme.number);
          };
    extreme(QStringLiteral("cell_voltage_max"), figures.cellVoltageMax, 3, true);
    extreme(QStringLiteral("cell_voltage_min"), figures.cellVoltageMin, 3, true);
    extreme(QStringLiteral("temperature_max"), figures.temperatureMax, 0, false);
    put(QStringLiteral("cell_voltage_spread"),
        BatteryReport::rounded(figures.cellVoltageSpread, 3));
    put(QStringLiteral("protections"), figures.protections);
    put(QStringLiteral("alarms"), figures.alarms);
    return state;
}
