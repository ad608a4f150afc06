#include "signalvalues.h"

#include "log/logger.h"
#include "signals/signalindex.h"

#include <QDateTime>
#include <QTimer>

#include <limits>

SignalValues *SignalValues::instance()
{
    static SignalValues *const store = new SignalValues;
    return store;
}

SignalValues::SignalValues(QObject *parent)
    : AbstractSignalValue(parent)
{
    // Every device starts offline: the first status frame it sends then counts as coming online
    // and gets its clock set.
    QVector<QVariant> initial(Signal::Count, QVariant(0));
    initial[Signal::SysStatus] = QVariant(int(OfflineStatus));
    for (int devId = 0; devId < BatteryBank::DeviceCount; ++devId)
        m_values.insert(devId, initial);

    m_offlineTimer = new QTimer(this);
    m_offlineTimer->setInterval(OfflineCheckIntervalMs);
    connect(m_offlineTimer, &QTimer::timeout, this, &SignalValues::OnTimerTimeout);
    m_offlineTimer->start();
}

SignalValues::~SignalValues() = default;

QVariant SignalValues::value(int devId, int index) const
{
    const auto it = m_values.constFind(devId);
    if (it == m_values.cend() || uint(index) >= uint(it->size()))
        return QVariant();
    return it->at(index);
}

qint64 SignalValues::lastLiveMs(int devId) const
{
    return uint(devId) < m_lastLiveMs.size() ? m_lastLiveMs[size_t(devId)] : 0;
}

void SignalValues::OnCanDeviceClose()
{
    for (int devId = 0; devId < BatteryBank::DeviceCount; ++devId)
        deviceValues(devId)[Signal::SysStatus] = QVariant(int(OfflineStatus));
}

void SignalValues::OnNewCanFrame(ulong id, const QByteArray &data, ulong /*timeStamp*/)
{
    const ulong devId = id & 0xFF;
    if (devId > ulong(BatteryBank::MaxDeviceId) || data.size() < PayloadSize)
        return;
    QVector<QVariant> &values = deviceValues(int(devId));

    // Where ulong is 64 bits wide, an identifier of 40 bits or more has a key no catalogue key
    // equals; cutting that key to 32 bits would wrongly turn it into one.
    const quint64 key = quint64(id) >> 8;
    if (key <= std::numeric_limits<quint32>::max())
        decode(int(devId), values, definitions(quint32(key)), data);

    if (!m_knownDevices.contains(uchar(devId))) {
        m_knownDevices.append(uchar(devId));
        emit newDeviceId(uchar(devId));
    }
}

void SignalValues::OnTimerTimeout()
{
    for (int devId = 0; devId < BatteryBank::DeviceCount; ++devId) {
        if (m_staleTicks[devId] < StaleTicks)
            ++m_staleTicks[devId];
        else
            deviceValues(devId)[Signal::SysStatus] = QVariant(int(OfflineStatus));
    }
}

void SignalValues::decode(int devId, QVector<QVariant> &values,
    const QVector<SignalDefinition> &frame, const QByteArray &data)
{
    if (frame.isEmpty())
        return;
    const quint64 word = payloadWord(data);
    for (const SignalDefinition &definition : frame) {
        const double physical = scale(extractRaw(word, definition), definition);
        switch (definition.kind) {
        case SignalKind::Real:
            values[definition.index] = QVariant(float(physical));
            break;
        case SignalKind::Integer: {
            // Truncate, then keep the low 32 bits: -40 degrees is stored as 4294967256 and
            // reads back as -40 through toInt().
            const uint stored = uint(quint64(qint64(physical)));
            if (acceptInteger(devId, values, definition.index, stored))
                values[definition.index] = QVariant(stored);
            break;
        }
        default:
            QLOG_WARN() << "SignalValues::OnNewCanFrame: unknow event type: "
                        << int(definition.kind);
            break;
        }
    }
}

bool SignalValues::acceptInteger(int devId, const QVector<QVariant> &values, int index, uint value)
{
    if (index == Signal::LifeCounter) {
        // Compared as variants on purpose: before the first life-counter frame the stored
        // value is int 0, so a battery whose counter starts at 0 has not yet shown it moves.
        if (QVariant(value) != values.at(index)) {
            m_staleTicks[devId] = 0;
            m_lastLiveMs[size_t(devId)] = QDateTime::currentMSecsSinceEpoch();
        }
        return true;
    }
    if (index == Signal::SysStatus) {
        // A battery whose life counter stands still may be a hung BMS repeating its last
        // frame; its status is not believed until the counter moves again.
        if (m_staleTicks[devId] >= StaleTicks)
            return false;
        if (value != OfflineStatus && values.at(index) == QVariant(int(OfflineStatus)))
            emit deviceReconnect(uchar(devId));
    }
    return true;
}

QVector<QVariant> &SignalValues::deviceValues(int devId)
{
    auto it = m_values.find(devId);
    if (it == m_values.end())
        it = m_values.insert(devId, QVector<QVariant>(Signal::Count, QVariant(0)));
    return it.value();
}
