#pragma once

#include "historylog.h"
#include "packmodel.h"

#include "can/canframe.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QObject>

#include <functional>

class AbstractSignalValue;
class QTimer;
class SimBootLoader;
class ThresholdSetting;
struct SimOptions;

// One BMS on the bus: broadcasts its pack's values and answers the host's commands from the
// battery's side. Frames leave through broadcast() and reply(), and its boot loader's answers
// through bootLoader()->answer(); the simulator decides whether and when they reach the bus.
// While the boot loader runs (from an upgrade's request to its good finish), the battery
// neither broadcasts nor answers commands.
class SimBattery : public QObject
{
    Q_OBJECT

public:
    SimBattery(quint8 devId, const SimOptions &options, const AbstractSignalValue &catalogue,
        const ThresholdSetting &parameters, QObject *parent = nullptr);

    quint8 devId() const { return m_devId; }
    const PackModel &pack() const { return m_pack; }

    // Takes a new firmware image, as its boot loader does after a good upgrade: from now on the
    // battery reports version (15 bytes) as its firmware version.
    void installFirmware(const QByteArray &version);

    // A command frame from the host (identifier 0x18 | code | destination | 0x80) addressed
    // to this battery, or to 0x1F for the set-device-number command.
    void handleRequest(quint32 id, const QByteArray &data);
    // One of the host's upgrade frames (SimBootLoader::isUpgradeFrame()); they reach every
    // battery.
    void handleUpgradeFrame(quint32 id, const QByteArray &data);
    SimBootLoader *bootLoader() const { return m_bootLoader; }
    bool isInBootLoader() const;
    // How many of its frames the battery's transmit queue takes now. A history transfer sends a
    // record only when all its frames fit, as a BMS waits for room in its transmit buffer rather
    // than lose its own records; its broadcasts are sent regardless. Unset: always room.
    void setTransmitRoom(std::function<int()> room) { m_transmitRoom = std::move(room); }

signals:
    void broadcast(quint32 id, const QByteArray &data);
    // replyGroup numbers the frames of one answer, so that a dropped answer is dropped whole.
    void reply(quint32 id, const QByteArray &data, int replyGroup);

private slots:
    void OnModelTick();
    void OnFastBroadcast();
    void OnSlowBroadcast();
    void OnStatisticsBroadcast();
    void OnTransferTick();

private:
    void sendFrame(quint32 frameKey, const QHash<int, double> &values);
    void sendReply(const CanFrame &frame);
    // Every part of text, in order, as the read with code is answered.
    void answerParts(quint8 code, const QByteArray &text);
    void writeParameter(quint8 paramId, quint32 wireValue);
    void applyLimits();
    QDateTime clock() const;
    QHash<int, double> broadcastValues() const;

    quint8 m_devId;
    const SimOptions &m_options;
    const AbstractSignalValue &m_catalogue;
    const ThresholdSetting &m_parameters;
    PackModel m_pack;
    HistoryLog m_history;

    // The BMS clock: the time it was last set to, and when (in PC time).
    QDateTime m_clockSetTo;
    QDateTime m_clockSetAt;

    QByteArray m_firmwareVersion;
    QByteArray m_batteryCode;
    QByteArray m_modelCode;
    QByteArray m_codeBeingWritten[2];
    QHash<quint8, quint32> m_parameterWire; // paramId -> wire value

    quint8 m_lifeCounter = 0;
    int m_replyGroup = 0;
    std::array<int, PackModel::GroupCount> m_loggedLevels {};
    int m_transferNext = -1; // next record of a running transfer, -1 when none runs
    QTimer *m_transferTimer = nullptr;
    SimBootLoader *m_bootLoader = nullptr;
    std::function<int()> m_transmitRoom;
};
