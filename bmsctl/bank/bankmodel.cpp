#include "bankmodel.h"

#include "bus/busmonitor.h"

#include "signals/alarmset.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

namespace {

double number(const AbstractSignalValue &store, int devId, int index)
{
    return double(store.value(devId, index).toFloat());
}

} // namespace

BankModel::BankModel(const SignalValues &store, const BusMonitor &monitor, const QList<int> &ids)
    : m_store(store)
    , m_monitor(monitor)
    , m_ids(ids)
{
    for (quint32 key : store.frameKeys()) {
        for (const SignalDefinition &definition : store.definitions(key))
            m_frameOfSignal.insert(definition.index, key);
    }
}

int BankModel::countOf(int devId, int countSignal, int first, int count) const
{
    const int reported = m_store.value(devId, countSignal).toInt();
    if (reported >= 1 && reported <= count)
        return reported;
    const QSet<quint32> sent = m_monitor.traffic(devId).frameKinds;
    int heard = 0;
    while (heard < count && sent.contains(m_frameOfSignal.value(first + heard)))
        ++heard;
    return heard;
}

int BankModel::cellCount(int devId) const
{
    return countOf(devId, Signal::Count76, Signal::Volt1, Signal::Volt32 - Signal::Volt1 + 1);
}

int BankModel::sensorCount(int devId) const
{
    return countOf(devId, Signal::Byte77, Signal::Temp1, Signal::Temp8 - Signal::Temp1 + 1);
}

QList<int> BankModel::batteries() const
{
    QList<int> batteries;
    for (int devId : m_monitor.devices()) {
        if (!m_monitor.traffic(devId).frameKinds.isEmpty()
            && (m_ids.isEmpty() || m_ids.contains(devId)))
            batteries.append(devId);
    }
    return batteries;
}

void BankModel::checkLives(qint64 nowMs)
{
    m_nowMs = nowMs;
    for (int devId : batteries())
        m_lives.observe(devId, m_store.value(devId, Signal::LifeCounter), nowMs);
}

QList<int> BankModel::onlineBatteries() const
{
    QList<int> online;
    for (int devId : batteries()) {
        if (isOnline(devId))
            online.append(devId);
    }
    return online;
}

BankModel::Figures BankModel::figures() const
{
    Figures figures;
    const QList<int> heard = batteries();
    figures.heard = heard.size();
    double capacity = 0;
    double chargeHeld = 0;
    bool everyCapacity = true;
    for (int devId : heard) {
        figures.dischargeEnergy += dischargeEnergyKwh(m_store, devId);
        if (!isOnline(devId)) {
            figures.offline.append(devId);
            continue;
        }
        const bool first = figures.online.isEmpty();
        figures.online.append(devId);
        const double soc = number(m_store, devId, Signal::SOC);
        const double rated = number(m_store, devId, Signal::RatedCapacity);
        everyCapacity = everyCapacity && rated > 0;
        capacity += rated;
        chargeHeld += soc * rated;
        figures.soc += soc;
        figures.current += number(m_store, devId, Signal::Curr);
        figures.power += powerKw(m_store, devId);
        figures.voltage += number(m_store, devId, Signal::SumVolt);
        const auto extreme = [&](Extreme *extreme, int valueIndex, int numberIndex, bool highest) {
            const double value = number(m_store, devId, valueIndex);
            if (first || (highest ? value > extreme->value : value < extreme->value))
                *extreme = { value, devId, m_store.value(devId, numberIndex).toInt() };
        };
        extreme(&figures.cellVoltageMax, Signal::MaxCellV, Signal::MaxCellVNo, true);
        extreme(&figures.cellVoltageMin, Signal::MinCellV, Signal::MinCellVNo, false);
        extreme(&figures.temperatureMax, Signal::MaxCellT, Signal::MaxCellTNo, true);
        figures.protections += protections(m_store, devId) > 0;
        figures.alarms += alarms(m_store, devId) > 0;
    }
    const int online = figures.online.size();
    if (online > 0) {
        figures.socWeighted = everyCapacity;
        figures.soc = everyCapacity ? chargeHeld / capacity : figures.soc / online;
        figures.voltage /= online;
        figures.cellVoltageSpread = figures.cellVoltageMax.value - figures.cellVoltageMin.value;
    }
    return figures;
}

double BankModel::powerKw(const AbstractSignalValue &store, int devId)
{
    return number(store, devId, Signal::SumVolt) * number(store, devId, Signal::Curr) / 1000.0;
}

double BankModel::cellVoltageSpread(const AbstractSignalValue &store, int devId)
{
    return number(store, devId, Signal::MaxCellV) - number(store, devId, Signal::MinCellV);
}

double BankModel::dischargeEnergyKwh(const AbstractSignalValue &store, int devId)
{
    // Whole: past 2^24 Wh a float would round the counter.
    return store.value(devId, Signal::TotalDischargeEnergy).toDouble() / 1000.0;
}

int BankModel::protections(const AbstractSignalValue &store, int devId)
{
    static const QList<int> levels = AlarmSet::levelSignals();
    static const QList<int> flags = AlarmSet::flagSignals();
    return AlarmSet::protectionCount(store, devId, levels, flags);
}

int BankModel::alarms(const AbstractSignalValue &store, int devId)
{
    static const QList<int> levels = AlarmSet::levelSignals();
    return AlarmSet::alarmCount(store, devId, levels);
}
