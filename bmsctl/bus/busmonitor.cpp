#include "busmonitor.h"

#include "can/canframebits.h"

#include "signals/abstractsignalvalue.h"
#include "signals/batterybank.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"

#include <algorithm>

BusMonitor::BusMonitor(const AbstractSignalValue &catalogue)
    : m_catalogue(catalogue)
{
    restart();
}

void BusMonitor::restart(BitTimes bitTimes)
{
    m_bitTimes = bitTimes;
    m_devices.clear();
    m_frames = 0;
    m_bits = 0;
    m_clock.start();
}

void BusMonitor::addFrame(quint32 id, bool extended, const QByteArray &data)
{
    ++m_frames;
    if (m_bitTimes == BitTimes::Counted)
        m_bits += CanFrameBits::bitsOnWire(id, extended, data);

    const int devId = int(id & 0xFF);
    if (devId > BatteryBank::MaxDeviceId)
        return;
    DeviceTraffic &traffic = m_devices[devId];
    ++traffic.frames;
    const quint32 key = id >> 8;
    const QVector<SignalDefinition> &definitions = m_catalogue.definitions(key);
    if (definitions.isEmpty())
        return;
    traffic.frameKinds.insert(key);
    for (const SignalDefinition &definition : definitions) {
        if (definition.index != Signal::LifeCounter)
            continue;
        const int value = int(
            AbstractSignalValue::extractRaw(AbstractSignalValue::payloadWord(data), definition));
        ++traffic.lifeCounterFrames;
        if (traffic.lastLifeCounter >= 0 && value != traffic.lastLifeCounter)
            ++traffic.lifeCounterChanges;
        traffic.lastLifeCounter = value;
    }
}

QList<int> BusMonitor::devices() const
{
    QList<int> ids = m_devices.keys();
    std::sort(ids.begin(), ids.end());
    return ids;
}

BusMonitor::LifeCounter BusMonitor::lifeCounter(const DeviceTraffic &traffic)
{
    if (traffic.lifeCounterFrames == 0)
        return LifeCounter::Absent;
    return traffic.lifeCounterChanges > 0 ? LifeCounter::Moving : LifeCounter::Standing;
}

QList<quint32> BusMonitor::missingFrameKinds(int devId) const
{
    const DeviceTraffic traffic = m_devices.value(devId);
    QList<quint32> missing;
    for (quint32 key : m_catalogue.frameKeys()) {
        if (!traffic.frameKinds.contains(key))
            missing.append(key);
    }
    return missing;
}
