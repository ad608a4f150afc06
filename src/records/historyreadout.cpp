#include "historyreadout.h"

#include "historyrecordcodec.h"

#include "can/canservice.h"
#include "log/logger.h"

#include <QTimer>
#include <QtEndian>

#include <limits>

namespace {

// The record as the log shows it.
QString hex(const QByteArray &data)
{
    return QString::fromLatin1(data.toHex(' '));
}

} // namespace

HistoryReadout::HistoryReadout(CanService *service, QObject *parent)
    : QObject(parent)
    , m_service(service)
{
    connect(m_service, &CanService::newData, this, &HistoryReadout::OnNewHistoryEvent);
    connect(m_service, &CanService::incompleteHistoryRecord, this,
        &HistoryReadout::OnIncompleteHistoryEvent);
    m_idleTimer = new QTimer(this);
    m_idleTimer->setSingleShot(true);
    m_idleTimer->setInterval(TransferIdleMs);
    connect(m_idleTimer, &QTimer::timeout, this, &HistoryReadout::OnTransferIdle);
}

void HistoryReadout::start(int deviceId)
{
    m_deviceId = deviceId;
    uint count = 0;
    if (m_service->readHistoryEventCount(uchar(deviceId), count) != CanService::Success)
        return;
    const int expected = int(qMin<uint>(count, uint(std::numeric_limits<int>::max())));
    resetCounts(expected);
    emit announced(expected);
    emit changed();

    if (m_service->startHistoryEventTransfer(uchar(deviceId)) != CanService::Success) {
        QLOG_WARN() << "HistoryEventModel::OnStartRecording: failed to transfer data.";
        return;
    }
    emit restarted();
    QLOG_DEBUG() << "HistoryEventModel::OnStartRecording: transfering data.";
    setState(Reading);
    m_idleTimer->start();
    checkComplete();
}

void HistoryReadout::stop()
{
    m_service->stopHistoryEventTransfer(uchar(m_deviceId));
    // The last records may have come during the wait for the battery's answer.
    if (isReading()) {
        m_idleTimer->stop();
        setState(Stopped);
    }
}

void HistoryReadout::clear()
{
    m_service->clearHistoryEvents(uchar(m_deviceId));
    emit restarted();
    m_idleTimer->stop();
    resetCounts(0);
    setState(Idle);
    emit changed();
}

void HistoryReadout::OnNewHistoryEvent(uchar slave, QByteArray data)
{
    // Only records of the read-out started here: another tool may read the battery's history on
    // the same bus, or the battery send it unasked, for as long as it likes.
    if (!isReading() || int(slave) != m_deviceId || data.size() <= IgnoredRecordSize)
        return;
    m_idleTimer->start();

    int held = 0;
    if (!HistoryRecordCodec::hasValidChecksum(data)) {
        if (m_dropLog.admit(BadChecksum, &held)) {
            // Both as 16-bit numbers whose high byte is the check sum's low byte, as the stored
            // bytes read.
            QLOG_WARN() << "HistoryEventModel::OnNewHistoryEvent: check sum error for slave:"
                        << int(slave) << "; recv:" << Qt::hex
                        << qbswap(HistoryRecordCodec::storedChecksum(data))
                        << "; calced:" << qbswap(HistoryRecordCodec::computedChecksum(data))
                        << "; data:" << hex(data) << QsLogging::DroppedLines { held };
        }
        countDropped(&m_dropped);
        return;
    }
    const quint8 devId = HistoryRecordCodec::devIdOf(data);
    if (devId != slave) {
        // Another battery's record in this one's log: not a row of it, yet one of the events it
        // announced, so it is counted, or the read-out would never complete.
        if (m_dropLog.admit(OtherBattery, &held)) {
            QLOG_WARN() << "HistoryEventModel::OnNewHistoryEvent: record of slave" << int(devId)
                        << "from slave:" << int(slave) << "; data:" << hex(data)
                        << QsLogging::DroppedLines { held };
        }
        countDropped(&m_wrongBattery);
        return;
    }
    const std::optional<HistoryRecord> record = HistoryRecordCodec::decode(data);
    if (!record) {
        if (m_dropLog.admit(TooShort, &held)) {
            QLOG_WARN() << "HistoryEventModel::OnNewHistoryEvent: record too short from slave:"
                        << int(slave) << "; size:" << data.size() << "; data:" << hex(data)
                        << QsLogging::DroppedLines { held };
        }
        countDropped(&m_dropped);
        return;
    }

    ++m_received;
    emit recordRead(*record);
    if (m_state == Stalled)
        setState(Reading);
    emit changed();
    checkComplete();
}

void HistoryReadout::OnIncompleteHistoryEvent(uchar slave, QByteArray data, quint16 missing)
{
    if (!isReading() || int(slave) != m_deviceId)
        return;
    m_idleTimer->start();
    QStringList sequences;
    for (int sequence = 0; sequence < 16; ++sequence) {
        if (missing & (1u << sequence))
            sequences.append(QString::number(sequence));
    }
    int held = 0;
    if (m_dropLog.admit(FramesMissing, &held)) {
        QLOG_WARN() << "HistoryEventModel::OnIncompleteHistoryEvent: incomplete record from slave:"
                    << int(slave) << "; frames missing:" << sequences.join(QLatin1Char(' '))
                    << "; data:" << hex(data) << QsLogging::DroppedLines { held };
    }
    countDropped(&m_dropped);
}

void HistoryReadout::OnTransferIdle()
{
    if (m_state != Reading)
        return;
    // Nothing came for a while: a record still being put together will not be completed. It
    // may have been the last one the battery announced.
    m_service->closeHistoryRecord(uchar(m_deviceId));
    if (m_state != Reading)
        return;
    QLOG_WARN() << "HistoryEventModel::OnTransferIdle: no record from slave:" << m_deviceId << "for"
                << TransferIdleMs << "ms; received:" << m_received << "; dropped:" << m_dropped
                << "; expected:" << m_expected;
    setState(Stalled);
}

void HistoryReadout::resetCounts(int expected)
{
    m_expected = expected;
    m_received = 0;
    m_dropped = 0;
    m_wrongBattery = 0;
}

void HistoryReadout::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit changed();
}

void HistoryReadout::countDropped(int *counter)
{
    ++*counter;
    if (m_state == Stalled)
        setState(Reading);
    emit changed();
    checkComplete();
}

void HistoryReadout::checkComplete()
{
    if (isReading() && accountedCount() >= m_expected) {
        m_idleTimer->stop();
        setState(Complete);
    }
}
