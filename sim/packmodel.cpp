#include "packmodel.h"

#include "signals/signalindex.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double ChargeCurrentA = 50.0;
constexpr double DischargeCurrentA = -60.0;
constexpr double CellResistanceOhm = 0.0009;
constexpr double AmbientC = 25.0;
constexpr double RestSeconds = 300.0;

} // namespace

PackModel::PackModel(quint32 seed)
    : m_random(seed)
{
    for (double &spread : m_cellSpread)
        spread = (m_random.generateDouble() - 0.4) * 0.02;
    for (double &spread : m_sensorSpread)
        spread = (m_random.generateDouble() - 0.5) * 3.0;
    m_soc = 30.0 + m_random.generateDouble() * 60.0;
    m_phase = m_random.bounded(2) ? Charging : Discharging;
    for (size_t i = 0; i < m_temps.size(); ++i)
        m_temps[i] = AmbientC + m_sensorSpread[i];

    // Defaults close to the shipped threshold.cfg, until the parameter values arrive.
    setLimits(CellOverCharge, { 3650, 3400, 3750, 3400 });
    setLimits(SystemOverCharge, { 57600, 54400, 59200, 54400 });
    setLimits(CellOverDischarge, { 2800, 3000, 2500, 2900 });
    setLimits(SystemOverDischarge, { 44800, 48000, 40000, 46400 });
    setLimits(ChargeOverCurrent, { 105, 100, 110, 100 });
    setLimits(DischargeOverCurrent, { 110, 100, 120, 100 });
    setLimits(ChargeHighTemp, { 50, 45, 55, 50 });
    setLimits(ChargeLowTemp, { 2, 5, 0, 5 });
    setLimits(DischargeHighTemp, { 55, 50, 60, 55 });
    setLimits(DischargeLowTemp, { -10, -5, -20, -10 });
    setLimits(CellDifferential, { 300, 150, 500, 200 });
    setLimits(TempDifferential, { 10, 8, 15, 10 });
    updateCells();
}

void PackModel::advance(double seconds)
{
    m_phaseSeconds += seconds;
    updatePhase();

    const double targetCurrent = [this] {
        switch (m_phase) {
        case Charging:
            return relay(Main2nd) && relay(Charge) ? ChargeCurrentA : 0.0;
        case Discharging:
            return relay(Main2nd) && relay(Discharge) ? DischargeCurrentA : 0.0;
        default:
            return 0.0;
        }
    }();
    // A little ripple so that the current never looks frozen.
    m_current
        = targetCurrent == 0.0 ? 0.0 : targetCurrent + (m_random.generateDouble() - 0.5) * 0.6;

    const double hours = seconds / 3600.0;
    m_soc = std::clamp(m_soc + m_current * hours / RatedCapacityAh * 100.0, 0.0, 100.0);
    const double energyWh = packVoltage() * m_current * hours;
    if (energyWh < 0)
        m_dischargedWh -= energyWh;
    else
        m_chargedWh += energyWh;

    updateCells();
    updateTemperatures(seconds);
    updateLevels();

    const double maxTemp = *std::max_element(m_temps.begin(), m_temps.end());
    const size_t bucket = maxTemp < 0 ? 0
        : maxTemp < 10                ? 1
        : maxTemp < 15                ? 2
        : maxTemp < 45                ? 3
        : maxTemp < 65                ? 4
                                      : 5;
    m_statHours[bucket] += hours;
}

void PackModel::updatePhase()
{
    switch (m_phase) {
    case Charging:
        if (m_soc >= 98.0)
            m_phase = RestAfterCharge, m_phaseSeconds = 0;
        break;
    case RestAfterCharge:
        if (m_phaseSeconds >= RestSeconds)
            m_phase = Discharging, m_phaseSeconds = 0;
        break;
    case Discharging:
        if (m_soc <= 12.0)
            m_phase = RestAfterDischarge, m_phaseSeconds = 0;
        break;
    case RestAfterDischarge:
        if (m_phaseSeconds >= RestSeconds)
            m_phase = Charging, m_phaseSeconds = 0;
        break;
    }
}

double PackModel::openCircuitVoltage(double soc)
{
    // LFP: steep at both ends, nearly flat in between.
    static const double points[][2]
        = { { 0, 2.80 }, { 5, 3.05 }, { 10, 3.18 }, { 20, 3.24 }, { 40, 3.27 }, { 60, 3.29 },
              { 80, 3.32 }, { 90, 3.34 }, { 95, 3.38 }, { 98, 3.45 }, { 100, 3.55 } };
    for (size_t i = 1; i < std::size(points); ++i) {
        if (soc <= points[i][0]) {
            const double t = (soc - points[i - 1][0]) / (points[i][0] - points[i - 1][0]);
            return points[i - 1][1] + t * (points[i][1] - points[i - 1][1]);
        }
    }
    return points[std::size(points) - 1][1];
}

void PackModel::updateCells()
{
    const double ocv = openCircuitVoltage(m_soc);
    // The spread opens up towards the ends of the curve, as it does in a real pack.
    const double edge = m_soc > 90 ? (m_soc - 90) / 10 : m_soc < 15 ? (15 - m_soc) / 15 : 0;
    for (size_t i = 0; i < m_cells.size(); ++i) {
        m_cells[i] = ocv + m_current * CellResistanceOhm + m_cellSpread[i] * (1 + 4 * edge)
            + (m_random.generateDouble() - 0.5) * 0.002;
    }
}

void PackModel::updateTemperatures(double seconds)
{
    const double target = AmbientC + std::abs(m_current) * 0.12;
    const double rate = 1.0 - std::exp(-seconds / 600.0);
    for (size_t i = 0; i < m_temps.size(); ++i)
        m_temps[i] += (target + m_sensorSpread[i] - m_temps[i]) * rate;
}

double PackModel::groupQuantity(Group group) const
{
    const auto [minCell, maxCell] = std::minmax_element(m_cells.begin(), m_cells.end());
    const auto [minTemp, maxTemp] = std::minmax_element(m_temps.begin(), m_temps.end());
    switch (group) {
    case CellOverCharge:
    case CellOverDischarge:
        return group == CellOverCharge ? *maxCell * 1000 : *minCell * 1000;
    case SystemOverCharge:
    case SystemOverDischarge:
        return packVoltage() * 1000;
    case ChargeOverCurrent:
        return std::max(m_current, 0.0);
    case DischargeOverCurrent:
        return std::max(-m_current, 0.0);
    case ChargeHighTemp:
    case DischargeHighTemp:
        return *maxTemp;
    case ChargeLowTemp:
    case DischargeLowTemp:
        return *minTemp;
    case CellDifferential:
        return (*maxCell - *minCell) * 1000;
    case TempDifferential:
        return *maxTemp - *minTemp;
    case GroupCount:
        break;
    }
    return 0;
}

void PackModel::updateLevels()
{
    for (int g = 0; g < GroupCount; ++g) {
        const Group group = Group(g);
        const Limits &limits = m_limits[size_t(g)];
        // Charge-only and discharge-only groups watch only while that current flows.
        const bool charging = m_current > 0.5;
        const bool discharging = m_current < -0.5;
        if (((group == ChargeHighTemp || group == ChargeLowTemp) && !charging)
            || ((group == DischargeHighTemp || group == DischargeLowTemp) && !discharging)) {
            m_levels[size_t(g)] = 0;
            continue;
        }
        // A group whose protection lies below its alarm watches for falling values.
        const bool falling = limits.protection < limits.alarm;
        const double value = groupQuantity(group);
        const auto beyond
            = [falling, value](double limit) { return falling ? value <= limit : value >= limit; };
        int &level = m_levels[size_t(g)];
        if (beyond(limits.protection))
            level = 2;
        else if (level == 2 && !beyond(limits.protectionRecover))
            level = beyond(limits.alarm) ? 1 : 0;
        else if (level < 2 && beyond(limits.alarm))
            level = 1;
        else if (level == 1 && !beyond(limits.alarmRecover))
            level = 0;
    }
}

void PackModel::setRelay(int relay, bool on)
{
    if (relay >= 0 && relay < int(m_relays.size()))
        m_relays[size_t(relay)] = on;
}

double PackModel::packVoltage() const
{
    double sum = 0;
    for (double cell : m_cells)
        sum += cell;
    return sum;
}

int PackModel::status() const
{
    return m_current > 0.5 ? 1 : m_current < -0.5 ? 2 : 0;
}

void PackModel::clearHistoryEnergy()
{
    m_dischargedWh = 0;
    m_chargedWh = 0;
}

QHash<int, double> PackModel::signalValues() const
{
    using namespace Signal;
    QHash<int, double> values;
    values[SumVolt] = packVoltage();
    values[Curr] = m_current;
    values[SOC] = m_soc;
    values[SOH] = 98.5;
    values[SysStatus] = status();

    static const Index levelSignals[GroupCount] = { CellOverVolt, PackOverVolt, CellUnderVolt,
        PackUnderVolt, ChargeOverCurr, DischargeOverCurr, ChargeHiTemp, ChargeLoTemp,
        DischargeHiTemp, DischargeLoTemp, CellDiffVolt, DiffTemp };
    for (int g = 0; g < GroupCount; ++g)
        values[levelSignals[g]] = m_levels[size_t(g)];

    const auto [minCell, maxCell] = std::minmax_element(m_cells.begin(), m_cells.end());
    const auto [minTemp, maxTemp] = std::minmax_element(m_temps.begin(), m_temps.end());
    // The AFE reports its own over- and under-voltage a little beyond the protection limits.
    values[AfeOv] = *maxCell * 1000 >= m_limits[CellOverCharge].protection + 100 ? 1 : 0;
    values[AfeUv] = *minCell * 1000 <= m_limits[CellOverDischarge].protection - 100 ? 1 : 0;

    values[Main2ndRelay] = relay(Main2nd);
    values[ChargeRelay] = relay(Charge);
    values[DischargeRelay] = relay(Discharge);
    values[PrechargeRelay] = relay(Precharge);
    values[PosRelay] = relay(Main2nd);

    values[RemainCapacity] = m_soc * RatedCapacityAh / 100.0;
    values[MaxCellT] = std::round(*maxTemp);
    values[MaxCellTNo] = double(maxTemp - m_temps.begin() + 1);
    values[MinCellT] = std::round(*minTemp);
    values[MinCellTNo] = double(minTemp - m_temps.begin() + 1);
    values[MaxCellV] = *maxCell;
    values[MaxCellVNo] = double(maxCell - m_cells.begin() + 1);
    values[MinCellV] = *minCell;
    values[MinCellVNo] = double(minCell - m_cells.begin() + 1);
    values[DiffVolt] = *maxCell - *minCell;

    values[Voltage74] = 51.2;
    values[RatedCapacity] = RatedCapacityAh;
    values[Count76] = CellCount;
    values[Byte77] = SensorCount;

    values[DateYear88] = 2021;
    values[DateMonth89] = 5;
    values[DateDay90] = 20;

    values[Total92] = std::floor(m_chargedWh);
    values[TotalDischargeEnergy] = std::floor(m_dischargedWh);
    values[StatCount1] = 3;
    values[StatCount2] = 7;
    values[StatCount3] = 1;
    values[StatCount4] = 2;
    for (int i = 0; i < 8; ++i)
        values[StatHours1 + i] = std::min(m_statHours[size_t(i)], 655.35);

    for (int i = 0; i < SensorCount; ++i)
        values[Temp1 + i] = std::round(m_temps[size_t(i)]);
    for (int i = 0; i < CellCount; ++i)
        values[Volt1 + i] = m_cells[size_t(i)];
    return values;
}
