#pragma once

#include "buscapacity.h"
#include "simoptions.h"

#include <QCanBusFrame>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>

#include <memory>

class BurstSource;
class QCanBusDevice;
class SignalValues;
class QTimer;
class SimBattery;
class ThresholdSetting;

// Joins the bus, plays the batteries and stands between them and the bus: requests go to the
// battery they address, upgrade frames to every battery, and frames going out pass the fault
// injection (dropped, late, or silenced). Every frame seen on the bus, the host's and the
// batteries' own, takes its share of the bus's capacity (BusCapacity at --bitrate); a frame
// beyond it is dropped: a host frame then reaches no battery, a battery frame is not sent. The
// counts are printed every second with --verbose, and at the end (printSummary()). The faults of
// the traffic itself (BusFaults: duplicated replies, a wrong sender, stray device numbers, a
// burst past the capacity) are played here too.
class BmsSimulator : public QObject
{
    Q_OBJECT

public:
    explicit BmsSimulator(const SimOptions &options, QObject *parent = nullptr);
    ~BmsSimulator() override;

    // Connects to the bus and starts the batteries; false with the reason printed when the bus
    // cannot be joined.
    bool start();
    // "bms-sim: bus summary: ..." on standard output: the bus's bit rate, the seconds since
    // start, frames offered and dropped in all and per second, by the host and the batteries,
    // the bus's load and its busiest second.
    void printSummary() const;

private slots:
    void OnFramesReceived();
    void OnBusSecond();

private:
    void addBattery(int devId);
    void send(SimBattery *battery, quint32 id, const QByteArray &data);
    bool carries(const QCanBusFrame &frame, BusCapacity::Source source);
    void sendReply(SimBattery *battery, quint32 id, const QByteArray &data, int replyGroup);
    bool isSilent() const;
    void trace(const char *direction, quint32 id, const QByteArray &data) const;

    const SimOptions m_options;
    std::unique_ptr<SignalValues> m_catalogue;
    std::unique_ptr<ThresholdSetting> m_parameters;
    std::unique_ptr<QCanBusDevice> m_bus;
    QList<SimBattery *> m_batteries;
    QElapsedTimer m_sinceStart;
    BusCapacity m_capacity;
    QTimer *m_secondTimer = nullptr;
    BusCapacity::Counts m_countsAtLastSecond;
    qint64 m_busiestSecondFrames = 0;
    BurstSource *m_burst = nullptr;
    // Per battery, the reply group last decided on and whether it is dropped.
    QHash<SimBattery *, QPair<int, bool>> m_dropDecisions;
};
