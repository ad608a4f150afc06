#pragma once

#include "buscapacity.h"
#include "simoptions.h"

#include <QCanBusFrame>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QVector>

#include <memory>

class BurstSource;
class QCanBusDevice;
class SignalValues;
class QTimer;
class SimBattery;
class SlcanAdapter;
class ThresholdSetting;

// Joins the bus (or, with --slcan, plays a serial-line adapter the host opens), plays the batteries and stands between them and the bus: requests go to the
// battery they address, upgrade frames to every battery, and frames going out pass the fault
// injection (dropped, late, or silenced). Every frame, the host's and the batteries' own, goes
// through the bus model (BusCapacity at --bitrate): the host (every frame heard from the
// virtual bus, from the moment it is heard) and each battery are nodes with a transmit queue,
// and a frame takes effect when it has won the bus and been carried: a host frame then reaches
// the batteries, a battery frame is written to the virtual bus. A frame that finds its node's
// queue full is dropped there, so a host frame lost that way reaches no battery. The counts and
// queue peaks are printed every second with --verbose, and at the end (printSummary()). The
// faults of the traffic itself (BusFaults: duplicated replies, a wrong sender, stray device
// numbers, a burst past the capacity) are played here too.
class BmsSimulator : public QObject
{
    Q_OBJECT

public:
    explicit BmsSimulator(const SimOptions &options, QObject *parent = nullptr);
    ~BmsSimulator() override;

    // Connects to the bus and starts the batteries; false with the reason printed when the
    // parameter set beside the program is missing or incomplete, or the bus cannot be joined.
    bool start();
    // "bms-sim: bus summary: ..." on standard output: the bus's bit rate, the seconds since
    // start, frames offered and dropped in all and per second, by the host and the batteries,
    // the bus's load and its busiest second; then "bms-sim: bus queues: ...", per node its
    // queue's peak and depth, the frames it dropped and the longest a frame waited.
    void printSummary() const;

private slots:
    void OnFramesReceived();
    void OnBusSecond();
    void OnBusProgress();
    void OnDelivery();

private:
    // The bus model's node of the host, the batteries' nodes following in m_batteries' order.
    static constexpr int HostNode = 0;
    // The batteries' frames that the bus model carried go to the virtual bus together, at most
    // this long after the first of them, as a USB adapter hands its host what it buffered in
    // batches, some milliseconds apart. Every write to the virtual bus travels as a segment of
    // its own and wakes every program listening: frame by frame, 28 batteries would wake each
    // listener about 800 times a second. The bus model's timing is untouched.
    static constexpr int DeliveryMs = 10;

    // The batteries answer parameter reads with the set's values: false, with *error naming the
    // file and the fix, when setting/threshold.cfg does not hold the whole set.
    bool parametersLoaded(QString *error);
    void addBattery(int devId);
    void send(SimBattery *battery, quint32 id, const QByteArray &data);
    void offer(int node, const QCanBusFrame &frame);
    void scheduleProgress();
    void deliverToBatteries(const QCanBusFrame &frame);
    QString queueReport(BusCapacity::Span span) const;
    void sendReply(SimBattery *battery, quint32 id, const QByteArray &data, int replyGroup);
    // How often each of the battery's replies goes out (twice with --duplicate-replies).
    int replyCopies(const SimBattery *battery) const;
    bool isSilent() const;
    void trace(const char *direction, quint32 id, const QByteArray &data) const;

    const SimOptions m_options;
    std::unique_ptr<SignalValues> m_catalogue;
    std::unique_ptr<ThresholdSetting> m_parameters;
    std::unique_ptr<QCanBusDevice> m_bus;
    // m_bus, with --slcan.
    SlcanAdapter *m_slcanAdapter = nullptr;
    QList<SimBattery *> m_batteries;
    QElapsedTimer m_sinceStart;
    BusCapacity m_capacity;
    // Fires when the bus model next ends or starts a frame.
    QTimer *m_progressTimer = nullptr;
    // Carried by the bus model, not yet written to the virtual bus (DeliveryMs).
    QVector<QCanBusFrame> m_carried;
    QTimer *m_deliveryTimer = nullptr;
    QTimer *m_secondTimer = nullptr;
    qint64 m_busiestSecondFrames = 0;
    BurstSource *m_burst = nullptr;
    // Per battery, the reply group last decided on and whether it is dropped.
    QHash<SimBattery *, QPair<int, bool>> m_dropDecisions;
};
