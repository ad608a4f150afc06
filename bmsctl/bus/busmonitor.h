#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>

class AbstractSignalValue;

// What was heard on the bus since counting began: for each battery the broadcast frame kinds it
// sent and how its life counter moved, and for the bus as a whole the frames and, when asked, the
// bit times they took (CanFrameBits). Counting bit times rebuilds every frame bit by bit, the
// largest part of what this program spends on a busy bus, so only the bus load of scan asks.
//
// A battery counts as heard by the window's own rule (SignalValues): any frame whose
// identifier's low byte is a device number of the bank, broadcast or reply.
class BusMonitor
{
public:
    // What a battery's life counter did while it was watched.
    enum class LifeCounter {
        Absent, // no frame that carries it
        Standing, // it came, but never changed: the window judges such a battery offline
        Moving,
    };

    struct DeviceTraffic
    {
        int frames = 0;
        QSet<quint32> frameKinds; // broadcast frame keys of the catalogue
        int lifeCounterFrames = 0;
        int lifeCounterChanges = 0;
        int lastLifeCounter = -1;
    };

    enum class BitTimes { Uncounted, Counted };

    explicit BusMonitor(const AbstractSignalValue &catalogue);

    // Forgets everything and starts counting now.
    void restart(BitTimes bitTimes = BitTimes::Uncounted);
    // Every received frame, in order; frames from the host's own address count for the bus only.
    void addFrame(quint32 id, bool extended, const QByteArray &data);

    // Device ids heard, in ascending order.
    QList<int> devices() const;
    bool heard(int devId) const { return m_devices.contains(devId); }
    DeviceTraffic traffic(int devId) const { return m_devices.value(devId); }
    static LifeCounter lifeCounter(const DeviceTraffic &traffic);
    // The catalogue's frame kinds the battery did not send.
    QList<quint32> missingFrameKinds(int devId) const;

    qint64 frames() const { return m_frames; }
    // 0 unless the bit times are counted.
    qint64 bits() const { return m_bits; }
    qint64 elapsedMs() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }

private:
    const AbstractSignalValue &m_catalogue;
    QHash<int, DeviceTraffic> m_devices;
    qint64 m_frames = 0;
    qint64 m_bits = 0;
    BitTimes m_bitTimes = BitTimes::Uncounted;
    QElapsedTimer m_clock;
};
