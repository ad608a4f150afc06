#pragma once

#include "bank/lifewatch.h"

#include <QHash>
#include <QList>

class AbstractSignalValue;
class BusMonitor;
class SignalValues;

// The bank as the gateways (mqtt, exporter) see it: which batteries it has, whether each is
// online, and the figures derived from what the signal store holds about them, each battery's
// and the bank's, so that every output derives them alike.
//
// A battery belongs to the bank once it has sent one of the catalogue's broadcast frames: other
// frames whose identifier's low byte looks like a device number (an upgrade's frames, which carry
// no battery number at all, or a reply) never make one. Only the batteries of ids count, when it
// names any.
//
// The bank's figures are those of the batteries online; a battery offline keeps its last values
// in the store, which would stand in the sums for ever. The one exception is the discharge
// energy, a lifetime counter that energy views take as a meter: it sums every battery heard, with
// the last count of those offline, so that a battery going offline does not read as a meter
// reset.
class BankModel
{
public:
    // The highest (or lowest) of a value across the bank, and where it is.
    struct Extreme
    {
        double value = 0;
        int battery = -1;
        int number = 0; // the cell or sensor
    };

    struct Figures
    {
        int heard = 0;
        QList<int> online;
        QList<int> offline;
        // Weighted by each battery's rated capacity when every battery online reports one, else
        // the mean.
        double soc = 0;
        bool socWeighted = false;
        double current = 0; // A, the sum
        double power = 0; // kW, the sum, signed as the current
        double voltage = 0; // V, the mean
        Extreme cellVoltageMax;
        Extreme cellVoltageMin;
        double cellVoltageSpread = 0;
        Extreme temperatureMax; // number: the sensor
        int protections = 0; // batteries with any
        int alarms = 0;
        double dischargeEnergy = 0; // kWh
    };

    BankModel(const SignalValues &store, const BusMonitor &monitor, const QList<int> &ids);

    // In ascending order.
    QList<int> batteries() const;

    // Looks at every battery's life counter; a few times a second, on a monotonic clock.
    void checkLives(qint64 nowMs);
    LifeWatch::Verdict verdict(int devId) const { return m_lives.verdict(devId, m_nowMs); }
    bool isOnline(int devId) const { return verdict(devId) == LifeWatch::Verdict::Online; }
    QList<int> onlineBatteries() const;

    // As of the last checkLives().
    Figures figures() const;
    // The cells and temperature sensors the battery has: as many as it reports in its pack
    // frame (Count76, Byte77) when it reports a count that fits, else those whose frames it
    // sent. A pack of 16 cells may send the frames of cells 17 to 32 with 0 in them.
    int cellCount(int devId) const;
    int sensorCount(int devId) const;

    const SignalValues &store() const { return m_store; }

    // One battery's derived values.
    static double powerKw(const AbstractSignalValue &store, int devId);
    static double cellVoltageSpread(const AbstractSignalValue &store, int devId);
    // The lifetime counter the home page shows, which counts watt hours.
    static double dischargeEnergyKwh(const AbstractSignalValue &store, int devId);
    static int protections(const AbstractSignalValue &store, int devId);
    static int alarms(const AbstractSignalValue &store, int devId);

private:
    // How many of count signals from first on the battery has, by the count it reports.
    int countOf(int devId, int countSignal, int first, int count) const;

    const SignalValues &m_store;
    const BusMonitor &m_monitor;
    QList<int> m_ids;
    QHash<int, quint32> m_frameOfSignal;
    LifeWatch m_lives;
    qint64 m_nowMs = 0;
};
