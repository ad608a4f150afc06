#pragma once

#include "simoptions.h"

#include <QCanBusFrame>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>

#include <memory>

class QCanBusDevice;
class SignalValues;
class SimBattery;
class ThresholdSetting;

// Joins the bus, plays the batteries and stands between them and the bus: requests go to the
// battery they address, and frames going out pass the fault injection (dropped, late, or
// silenced).
class BmsSimulator : public QObject
{
    Q_OBJECT

public:
    explicit BmsSimulator(const SimOptions &options, QObject *parent = nullptr);
    ~BmsSimulator() override;

    // Connects to the bus and starts the batteries; false with the reason printed when the bus
    // cannot be joined.
    bool start();

private slots:
    void OnFramesReceived();

private:
    void send(SimBattery *battery, quint32 id, const QByteArray &data);
    void sendReply(SimBattery *battery, quint32 id, const QByteArray &data, int replyGroup);
    bool isSilent() const;
    void trace(const char *direction, quint32 id, const QByteArray &data) const;

    const SimOptions m_options;
    std::unique_ptr<SignalValues> m_catalogue;
    std::unique_ptr<ThresholdSetting> m_parameters;
    std::unique_ptr<QCanBusDevice> m_bus;
    QList<SimBattery *> m_batteries;
    QElapsedTimer m_sinceStart;
    // Per battery, the reply group last decided on and whether it is dropped.
    QHash<SimBattery *, QPair<int, bool>> m_dropDecisions;
};
