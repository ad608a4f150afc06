#pragma once

#include <QHash>
#include <QRandomGenerator>

#include <array>

// A small model of a 16-cell LFP pack of 100 Ah: it charges and discharges in a cycle, its SOC
// integrates the current, its cells and sensors follow current and SOC with some spread, and
// its relays decide whether current can flow. Thresholds come from the BMS's parameter values
// (display units of setting/threshold.cfg) and raise the two-bit alarm levels.
class PackModel
{
public:
    static constexpr int CellCount = 16;
    static constexpr int SensorCount = 8;
    static constexpr double RatedCapacityAh = 100.0;

    // The relays as the relay command numbers them.
    enum Relay { Main2nd = 0, Charge = 1, Discharge = 2, Precharge = 3 };

    // One protection group of threshold.cfg: a quantity and its alarm and protection limits.
    struct Limits
    {
        double alarm = 0;
        double alarmRecover = 0;
        double protection = 0;
        double protectionRecover = 0;
    };
    // The twelve groups in the order of threshold.cfg.
    enum Group {
        CellOverCharge,
        SystemOverCharge,
        CellOverDischarge,
        SystemOverDischarge,
        ChargeOverCurrent,
        DischargeOverCurrent,
        ChargeHighTemp,
        ChargeLowTemp,
        DischargeHighTemp,
        DischargeLowTemp,
        CellDifferential,
        TempDifferential,
        GroupCount
    };

    explicit PackModel(quint32 seed);

    // Moves the model on by this many simulated seconds.
    void advance(double seconds);

    void setRelay(int relay, bool on);
    bool relay(int relay) const { return m_relays.at(size_t(relay)); }
    void setLimits(Group group, const Limits &limits) { m_limits[size_t(group)] = limits; }

    double soc() const { return m_soc; }
    double current() const { return m_current; } // A, charging positive
    double packVoltage() const;
    double cellVoltage(int cell) const { return m_cells.at(size_t(cell)); }
    double temperature(int sensor) const { return m_temps.at(size_t(sensor)); }
    int status() const; // 0 static, 1 charging, 2 discharging
    // Alarm level of a group: 0 none, 1 alarm, 2 protection.
    int level(Group group) const { return m_levels.at(size_t(group)); }

    // Every broadcast value the model knows, by signal index, in physical units.
    QHash<int, double> signalValues() const;

    // Lifetime energy counters, kept in watt-hours.
    double dischargedWh() const { return m_dischargedWh; }
    void clearHistoryEnergy();

private:
    enum Phase { Charging, RestAfterCharge, Discharging, RestAfterDischarge };

    void updatePhase();
    void updateCells();
    void updateTemperatures(double seconds);
    void updateLevels();
    double groupQuantity(Group group) const;
    static double openCircuitVoltage(double soc);

    QRandomGenerator m_random;
    Phase m_phase = Discharging;
    double m_phaseSeconds = 0;
    double m_soc = 80.0;
    double m_current = 0;
    std::array<bool, 4> m_relays { true, true, true, false };
    std::array<double, CellCount> m_cellSpread {};
    std::array<double, CellCount> m_cells {};
    std::array<double, SensorCount> m_sensorSpread {};
    std::array<double, SensorCount> m_temps {};
    std::array<Limits, GroupCount> m_limits {};
    std::array<int, GroupCount> m_levels {};
    double m_dischargedWh = 12345678;
    double m_chargedWh = 13012345;
    std::array<double, 8> m_statHours { 12.5, 310.25, 420.5, 630.75, 102.0, 3.5, 96.25, 88.0 };
};
