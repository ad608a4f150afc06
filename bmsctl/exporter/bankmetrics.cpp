#include "bankmetrics.h"

#include "bank/bankmodel.h"

#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <cmath>

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

// One family with its series added one by one.
class FamilyBuilder
{
public:
    FamilyBuilder(const char *name, const char *help, MetricType type = MetricType::Gauge)
    {
        m_family.name = name;
        m_family.help = help;
        m_family.type = type;
    }

    void add(std::vector<ClientMetric::Label> labels, double value)
    {
        ClientMetric metric;
        metric.label = std::move(labels);
        if (m_family.type == MetricType::Counter)
            metric.counter.value = value;
        else
            metric.gauge.value = value;
        m_family.metric.push_back(std::move(metric));
    }

    MetricFamily take() { return std::move(m_family); }

private:
    MetricFamily m_family;
};

// The value as the battery sent it: the store's floats, widened, would read 74.30000305.
double number(const SignalValues &store, int devId, int index)
{
    return QString::number(store.value(devId, index).toFloat(), 'g', 7).toDouble();
}

} // namespace

BankMetrics::BankMetrics(const QString &site)
    : m_site(site.toStdString())
{ }

void BankMetrics::update(const BankModel &bank, double framesHeard, double busLoad)
{
    const SignalValues &store = bank.store();
    FamilyBuilder up("bms_up", "1 while the battery's life counter moves, else 0");
    FamilyBuilder soc("bms_state_of_charge_percent", "State of charge");
    FamilyBuilder voltage("bms_voltage_volts", "Pack voltage");
    FamilyBuilder current("bms_current_amperes", "Pack current, positive while charging");
    FamilyBuilder power("bms_power_watts", "Pack power, signed as the current");
    FamilyBuilder cells("bms_cell_voltage_volts", "Cell voltage");
    FamilyBuilder temperatures("bms_temperature_celsius", "Temperature sensor");
    FamilyBuilder protections("bms_protections_active", "Protections active");
    FamilyBuilder alarms("bms_alarms_active", "Alarms active");
    FamilyBuilder relays("bms_relay_closed", "1 while the relay is closed");
    FamilyBuilder energy("bms_discharge_energy_watt_hours_total",
        "Lifetime discharge energy counted by the battery", MetricType::Counter);
    const std::vector<std::pair<const char *, int>> relaySignals { { "main", Signal::Main2ndRelay },
        { "charge", Signal::ChargeRelay }, { "discharge", Signal::DischargeRelay },
        { "precharge", Signal::PrechargeRelay } };

    for (int devId : bank.batteries()) {
        const LifeWatch::Verdict verdict = bank.verdict(devId);
        if (verdict == LifeWatch::Verdict::Unjudged)
            continue;
        const std::vector<ClientMetric::Label> labels { { "battery", std::to_string(devId) },
            { "site", m_site } };
        up.add(labels, verdict == LifeWatch::Verdict::Online ? 1 : 0);
        if (verdict != LifeWatch::Verdict::Online)
            continue;
        soc.add(labels, number(store, devId, Signal::SOC));
        voltage.add(labels, number(store, devId, Signal::SumVolt));
        current.add(labels, number(store, devId, Signal::Curr));
        power.add(labels, std::round(BankModel::powerKw(store, devId) * 10000.0) / 10.0);
        protections.add(labels, BankModel::protections(store, devId));
        alarms.add(labels, BankModel::alarms(store, devId));
        energy.add(labels, BankModel::dischargeEnergyKwh(store, devId) * 1000.0);
        const auto labelled = [&](const char *name, const std::string &value) {
            std::vector<ClientMetric::Label> more = labels;
            more.push_back({ name, value });
            return more;
        };
        for (int cell = 0; cell < bank.cellCount(devId); ++cell)
            cells.add(labelled("cell", std::to_string(cell + 1)),
                number(store, devId, Signal::Volt1 + cell));
        for (int sensor = 0; sensor < bank.sensorCount(devId); ++sensor)
            temperatures.add(labelled("sensor", std::to_string(sensor + 1)),
                number(store, devId, Signal::Temp1 + sensor));
        for (const auto &[relay, signal] : relaySignals)
            relays.add(labelled("relay", relay), store.value(devId, signal).toUInt() != 0 ? 1 : 0);
    }

    const std::vector<ClientMetric::Label> site { { "site", m_site } };
    FamilyBuilder frames("bms_exporter_frames_received_total",
        "CAN frames the exporter heard on the bus", MetricType::Counter);
    frames.add(site, framesHeard);
    FamilyBuilder load("bms_exporter_bus_load_ratio",
        "Share of the bus's bit times the frames heard took over the last update");
    load.add(site, busLoad);

    std::vector<MetricFamily> snapshot;
    for (FamilyBuilder *family : { &up, &soc, &voltage, &current, &power, &cells, &temperatures,
             &protections, &alarms, &relays, &energy, &frames, &load })
        snapshot.push_back(family->take());
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_snapshot.swap(snapshot);
}

std::vector<prometheus::MetricFamily> BankMetrics::Collect() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_snapshot;
}
