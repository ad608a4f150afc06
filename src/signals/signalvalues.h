#pragma once

#include "signals/abstractsignalvalue.h"
#include "signals/batterybank.h"

#include <QHash>
#include <QList>
#include <QVariant>
#include <QVector>

#include <array>

class QTimer;

// The live store of every battery's broadcast values, and the judge of which batteries are on
// the bus. Frames are decoded through the catalogue into one vector of 210 values per device
// id; pages read them with value() on their own timers, and only two things are announced: a
// device seen for the first time (newDeviceId) and a device coming back online
// (deviceReconnect, which the CAN service answers by setting the battery's clock).
//
// A device is online while its life counter moves. The offline timer counts, per device id,
// the seconds since the life counter last changed; at 10 the device's status frames are no
// longer believed, and on the next tick its status is written as 3 (offline). Only a new life
// counter value followed by a status frame brings it back.
//
// Lives in the GUI thread: frames arrive there from the CAN worker through the CAN service's
// frame inbox, so decoding, the timer and every reader are serialised without a lock.
class SignalValues : public AbstractSignalValue
{
    Q_OBJECT
public:
    // Ticks without a life-counter change after which status frames are ignored; the tick
    // after that writes the offline status.
    static constexpr int StaleTicks = 10;
    static constexpr int OfflineCheckIntervalMs = 1000;
    // What SysStatus holds for a device judged offline, and before its first status frame.
    static constexpr uint OfflineStatus = 3;

    // The process-wide store, created on the first call in the calling thread (start-up calls
    // it early, from the GUI thread) and never destroyed.
    static SignalValues *instance();

    // A store of its own, for tests and tools; the application uses instance().
    explicit SignalValues(QObject *parent = nullptr);
    ~SignalValues() override;

    // The stored value: float for real signals, uint for integer signals, int 0 (int 3 for
    // SysStatus) before the signal first arrives. Invalid for a device id outside 0..27 or an
    // index outside 0..209.
    QVariant value(int devId, int index) const override;
    // Device ids in the order their first frame arrived.
    const QList<uchar> &knownDevices() const { return m_knownDevices; }
    // When the device was last heard live (its life counter moved), in milliseconds since the
    // epoch by the PC's clock; 0 when never. What it shows while offline is from then.
    qint64 lastLiveMs(int devId) const;

signals:
    void newDeviceId(uchar devId);
    void deviceReconnect(uchar devId);

public slots:
    // The bus was closed: nobody is online any more, but the last values stay readable.
    void OnCanDeviceClose();
    // Frames shorter than 8 bytes and device ids above 27 are dropped; frames of any other
    // key register their device without decoding anything (command replies among them).
    void OnNewCanFrame(ulong id, const QByteArray &data, ulong timeStamp) override;
    void OnTimerTimeout();

private:
    Q_DISABLE_COPY(SignalValues)

    void decode(int devId, QVector<QVariant> &values, const QVector<SignalDefinition> &frame,
        const QByteArray &data);
    // The life-counter and status rules; false when the value must not be stored.
    bool acceptInteger(int devId, const QVector<QVariant> &values, int index, uint value);
    QVector<QVariant> &deviceValues(int devId);

    QHash<int, QVector<QVariant>> m_values;
    QList<uchar> m_knownDevices;
    QTimer *m_offlineTimer = nullptr;
    std::array<int, BatteryBank::DeviceCount> m_staleTicks {};
    std::array<qint64, BatteryBank::DeviceCount> m_lastLiveMs {};
};
