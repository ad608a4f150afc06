#include "canservice.h"

#include "can/candevice.h"
#include "can/canupgrade.h"
#include "can/commandprotocol.h"
#include "log/logger.h"
#include "settings/thresholdsetting.h"
#include "signals/batterybank.h"
#include "signals/signalvalues.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <QTime>
#include <QTimer>
#include <QtEndian>

#include <initializer_list>

using namespace CommandProtocol;

namespace {

constexpr int FrameDataSize = 8;

// The identifier's top 16 bits, which tell the reply frames apart.
constexpr quint32 codeKey(quint8 code)
{
    return (PriorityBits >> 16) | code;
}

bool isDeviceInRange(uint devId)
{
    return devId <= uint(BatteryBank::MaxDeviceId);
}

quint8 byteAt(const QByteArray &data, int index)
{
    return quint8(data.at(index));
}

QByteArray bytes(std::initializer_list<quint8> values)
{
    QByteArray data;
    for (quint8 value : values)
        data.append(char(value));
    return data;
}

QString frameLine(const QString &format, quint32 id, const QByteArray &data)
{
    return format.arg(QTime::currentTime().toString(QStringLiteral("hh:mm:ss:zzz")),
        QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')),
        QString::fromLatin1(data.toHex(' ')));
}

} // namespace

CanService *CanService::instance()
{
    static CanService *const service = [] {
        auto *created = new CanService(new CanDevice);
        // The service itself is never destroyed. Its worker thread must still not outlive the
        // application object: the adapter's sockets and timers would then be served by a thread
        // whose Qt is being torn down. The program ends by exit() and never gets here; tests
        // and tools that let their application object go do.
        qAddPostRoutine(&CanService::stopWorkerThread);
        return created;
    }();
    return service;
}

void CanService::stopWorkerThread()
{
    QThread *thread = instance()->m_thread;
    thread->quit();
    thread->wait();
}

CanService::CanService(CanDevice *device, QObject *parent)
    : QObject(parent)
    , m_settings(new ThresholdSetting(this))
    , m_records(BatteryBank::DeviceCount)
    , m_thread(new QThread(this))
    , m_device(device)
    , m_rtcTimer(new QTimer(this))
    , m_upgrade(new CanUpgrade(this))
{
    qRegisterMetaType<CanService::UpgradeState>();

    m_thread->setObjectName(QStringLiteral("CanWorker"));
    m_thread->start(QThread::InheritPriority);
    m_device->moveToThread(m_thread);
    // The adapter has no parent: it must die in its own thread, as the thread ends.
    connect(m_thread, &QThread::finished, m_device, &QObject::deleteLater);

    // The signal store is connected first, so for every frame it has registered the battery
    // (and announced a reconnect) before the service looks at the frame.
    SignalValues *store = SignalValues::instance();
    connect(m_device, &CanDevice::newData, store, &SignalValues::OnNewCanFrame);
    connect(store, &SignalValues::deviceReconnect, this, &CanService::OnDeviceReconnect);
    connect(m_device, &CanDevice::newData, this, &CanService::OnNewCanFrame);
    connect(m_device, &CanDevice::transmitFailed, this, &CanService::OnTransmitFailed);

    connect(m_upgrade, &CanUpgrade::sendFrame, this, &CanService::sendFrame);
    connect(m_upgrade, &CanUpgrade::newUpgradeData, this, &CanService::newUpgradeData);
    connect(m_upgrade, &CanUpgrade::newUpgradeState, this, &CanService::newUpgradeState);
    connect(m_upgrade, &CanUpgrade::upgradeProgress, this, &CanService::upgradeProgress);
    connect(m_upgrade, &CanUpgrade::upgradeFinished, this, &CanService::upgradeFinished);
    m_rtcTimer->setObjectName(QStringLiteral("rtcSyncTimer"));
    m_rtcTimer->setInterval(RtcSyncIntervalMs);
    connect(m_rtcTimer, &QTimer::timeout, this, &CanService::OnUpdateRTCDevs);
}

CanService::~CanService()
{
    m_thread->quit();
    m_thread->wait();
}

int CanService::initService(int canTypeId, int canId, bool isExtern, int canChannel, int baud)
{
    int result = -1;
    const bool invoked = QMetaObject::invokeMethod(m_device, "open", Qt::BlockingQueuedConnection,
        Q_RETURN_ARG(int, result), Q_ARG(int, canTypeId), Q_ARG(int, canId), Q_ARG(bool, isExtern),
        Q_ARG(int, canChannel), Q_ARG(int, baud));
    // The adapter closes what it had open before it tries again.
    m_busOpen = invoked && result >= 0;
    if (!m_busOpen) {
        QLOG_WARN() << "CanService::initService: failed to open can device.";
        return -1;
    }
    return 0;
}

void CanService::closeService()
{
    m_busOpen = false;
    QMetaObject::invokeMethod(m_device, "close", Qt::BlockingQueuedConnection);
    SignalValues::instance()->OnCanDeviceClose();
}

void CanService::sendFrame(ulong id, const QByteArray &data)
{
    QMetaObject::invokeMethod(
        m_device, "writeData", Qt::QueuedConnection, Q_ARG(ulong, id), Q_ARG(QByteArray, data));
}

int CanService::waitForReply(const ReplyPattern &pattern)
{
    // A closed adapter has dropped the request and hears nothing: no reply can come. Waiting
    // anyway would keep the GUI thread waking every cycle while the pages poll a closed bus.
    if (!m_busOpen)
        return NoReply;
    m_pendingReplies.append(pattern);
    for (int cycle = 0; cycle < ReplyWaitCycles && m_busOpen; ++cycle) {
        // Careful: this runs every pending event of the GUI thread, so any slot of this service
        // or of a page may run here, send its own command and start a wait of its own inside
        // this one. Nothing held across this call may be assumed unchanged afterwards.
        QEventLoop loop;
        auto *cycleTimer = new QTimer(&loop);
        cycleTimer->setSingleShot(true);
        connect(cycleTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
        cycleTimer->start(ReplyWaitCycleMs);
        loop.exec();
        // The reply is only noticed at the end of a cycle. The string reads rely on this: parts
        // that arrive in the same cycle as the awaited last part still count.
        if (!m_pendingReplies.contains(pattern))
            return Success;
    }
    m_pendingReplies.removeOne(pattern);
    return NoReply;
}

void CanService::OnNewCanFrame(ulong id, const QByteArray &data, ulong timeStamp)
{
    Q_UNUSED(timeStamp)
    // The adapter hands over 29-bit identifiers with all eight data bytes, whatever the length
    // code. Anything else did not come from it: dropped whole, so that it can neither spoil a
    // record nor end a wait with content that was never stored.
    if (quint64(id) > 0xFFFFFFFFull || data.size() < FrameDataSize)
        return;
    const auto frameId = quint32(id);
    // Content first: when the waiting operation finds its pattern gone, the record must
    // already hold the reply.
    processCanFrame(frameId, data);
    for (int i = 0; i < m_pendingReplies.size(); ++i) {
        if (m_pendingReplies.at(i).matches(frameId, data)) {
            m_pendingReplies.removeAt(i);
            break;
        }
    }
}

// data holds at least FrameDataSize bytes (OnNewCanFrame).
void CanService::processCanFrame(quint32 id, const QByteArray &data)
{
    const uint devId = id & 0xFFu;
    if (!isDeviceInRange(devId)) {
        // Another device sharing the bus (or noise) can send such frames by the thousand.
        int dropped = 0;
        if (m_tooLargeSlaveLog.admit(devId, &dropped)) {
            QLOG_DEBUG() << "CanService::processCanFrame: recv too large slave number:" << devId
                         << QsLogging::DroppedLines { dropped };
        }
        return;
    }
    DeviceRecord &record = m_records[int(devId)];

    switch (id >> 16) {
    case codeKey(CommandProtocol::HistoryTransfer):
        assembleHistoryRecord(uchar(devId), record, data);
        break;
    case codeKey(CommandProtocol::HistoryCount):
        record.historyEventCount = qFromBigEndian<quint32>(data.constData());
        break;
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
        m_upgrade->processAnswer(id, data);
        return;
    case codeKey(CommandProtocol::ReadTime): {
        // Taken as signed bytes: a month, day or time byte of 0x80 and up makes the clock
        // invalid instead of some plausible-looking time.
        const QDate date(2000 + qint8(data.at(1)), qint8(data.at(2)), qint8(data.at(3)));
        const QTime time(qint8(data.at(4)), qint8(data.at(5)), qint8(data.at(6)));
        record.clock = QDateTime(date, time, Qt::LocalTime);
        break;
    }
    case codeKey(CommandProtocol::ReadVersion):
        record.firmwareVersion.storePart(
            byteAt(data, 0), data.mid(1, DeviceRecord::VersionPartSize));
        break;
    case codeKey(CommandProtocol::ReadBatteryCode):
        record.batteryCode.storePart(byteAt(data, 0), data.mid(1, DeviceRecord::CodePartSize));
        break;
    case codeKey(CommandProtocol::ReadModelCode):
        record.modelCode.storePart(byteAt(data, 0), data.mid(1, DeviceRecord::CodePartSize));
        break;
    case codeKey(CommandProtocol::ReadParameter): {
        const int index = m_settings->indexOfParam(byteAt(data, 0));
        if (index >= 0) {
            const quint32 wire = qFromBigEndian<quint32>(data.constData() + 1);
            record.parameterValues[index] = qint32(wire - m_settings->items().at(index).offset);
        }
        break;
    }
    case codeKey(CommandProtocol::ReadHardware):
        break;
    default:
        return;
    }
    int dropped = 0;
    if (m_recvLog.admit(id, &dropped)) {
        QLOG_DEBUG() << recvLine(id, data) << QsLogging::DroppedLines { dropped };
    }
}

// A record travels as twelve frames, sequences 0 to 11 (HistoryBytesPerFrame bytes each, the
// last one byte). A record is complete when every sequence came for it; then it is emitted as
// newData(). One that lost frames is reported through incompleteHistoryRecord() as soon as that
// is certain: at its sequence 11, at the next record's sequence 0, or when the read-out is over
// (closeHistoryRecord()). Frames that come without their record's sequence 0 start a record
// whose beginning was lost, except before the transfer's first record: there they are the tail
// of a transfer that was under way when this one started (the list was emptied, the frames in
// flight still came), and are dropped, unless they are a whole record but for its sequence 0.
void CanService::assembleHistoryRecord(uchar devId, DeviceRecord &record, const QByteArray &data)
{
    const int sequence = byteAt(data, 0);
    // Other sequence numbers, the stop acknowledgement 0xFF among them, carry no record.
    if (sequence > LastHistorySequence)
        return;
    // CAN delivers a frame twice when the last bit of its end of frame is disturbed; within a
    // transfer no two frames in a row are the same otherwise, since each has the sequence after
    // the one before.
    const QByteArray frame = data.left(1 + HistoryBytesPerFrame);
    if (frame == record.lastHistoryFrame)
        return;
    record.lastHistoryFrame = frame;

    if (sequence == 0)
        finishHistoryRecord(devId, record);
    if (record.historyFramesSeen == 0)
        record.historyRecords.append(QByteArray(DeviceRecord::HistoryRecordSize, '\0'));
    QByteArray &current = record.historyRecords.last();
    if (sequence < LastHistorySequence)
        current.replace(sequence * HistoryBytesPerFrame, HistoryBytesPerFrame,
            data.mid(1, HistoryBytesPerFrame));
    else
        current[DeviceRecord::HistoryRecordSize - 1] = data.at(1);
    record.historyFramesSeen |= quint16(1u << sequence);
    if (sequence == LastHistorySequence)
        finishHistoryRecord(devId, record);
}

void CanService::finishHistoryRecord(uchar devId, DeviceRecord &record)
{
    constexpr quint16 allSequences = (1u << (LastHistorySequence + 1)) - 1u;
    const quint16 seen = record.historyFramesSeen;
    if (seen == 0)
        return;
    record.historyFramesSeen = 0;
    // A copy: a receiver may start a new transfer, and so empty the list, while it runs.
    const QByteArray assembled = record.historyRecords.last();
    if (seen == allSequences) {
        emit newData(devId, assembled);
        return;
    }
    const bool firstOfTransfer = record.historyRecords.size() == 1;
    if (firstOfTransfer && (seen & 1u) == 0 && (seen | 1u) != allSequences) {
        record.historyRecords.removeLast();
        return;
    }
    emit incompleteHistoryRecord(devId, assembled, quint16(~seen & allSequences));
}

void CanService::closeHistoryRecord(uchar devId)
{
    if (isDeviceInRange(devId))
        finishHistoryRecord(devId, m_records[devId]);
}

int CanService::setRelay(uchar devId, uchar relay, uchar on)
{
    sendFrame(requestId(CommandProtocol::SetRelay, devId), bytes({ relay, on, 0, 0, 0, 0, 0, 0 }));
    return Success;
}

int CanService::setDeviceId(uchar newId)
{
    sendFrame(requestId(CommandProtocol::SetDeviceId, SetDeviceIdDestination), bytes({ newId }));
    // The battery answers under its new number.
    return waitForReply(
        ReplyPattern::forReply(replyId(CommandProtocol::SetDeviceId, newId), Acknowledged));
}

int CanService::setDeviceTime(uchar devId, const QDateTime &time)
{
    const QDateTime local = time.toLocalTime();
    const QDate date = local.date();
    const QTime clock = local.time();
    sendFrame(requestId(CommandProtocol::SetTime, devId),
        bytes({ quint8(date.year() - 2000), quint8(date.month()), quint8(date.day()),
            quint8(clock.hour()), quint8(clock.minute()), quint8(clock.second()) }));
    return waitForReply(
        ReplyPattern::forReply(replyId(CommandProtocol::SetTime, devId), Acknowledged));
}

int CanService::readDeviceTime(uchar devId, QDateTime &time)
{
    if (isUpgrading())
        return Upgrading;
    sendFrame(requestId(CommandProtocol::ReadTime, devId), bytes({ 0x01, 0x10 }));
    if (waitForReply(ReplyPattern::forReply(replyId(CommandProtocol::ReadTime, devId))) != Success)
        return NoReply;
    // A reply from a number above 27 ends the wait but has nowhere to be stored.
    if (!isDeviceInRange(devId))
        return Incomplete;
    time = m_records.at(devId).clock;
    return Success;
}

int CanService::readPartedField(
    uchar devId, quint8 code, PartedField DeviceRecord::*field, QByteArray &out)
{
    if (isUpgrading())
        return Upgrading;
    if (!isDeviceInRange(devId))
        return NoReply;
    PartedField &parts = m_records[devId].*field;
    parts.clearParts();
    sendFrame(requestId(code, devId), QByteArray());
    // The battery sends its parts in order, so the last part closes the answer; holes show in
    // the mask once the wait is over.
    const ReplyPattern lastPart
        = ReplyPattern::forReply(replyId(code, devId), quint8(parts.partCount()));
    if (waitForReply(lastPart) != Success)
        return NoReply;
    // The record may have been touched by nested operations during the wait; read it afresh.
    const PartedField &received = m_records.at(devId).*field;
    if (!received.isComplete())
        return Incomplete;
    out = received.bytes();
    return Success;
}

int CanService::readFirmwareVersion(uchar devId, QByteArray &version)
{
    return readPartedField(
        devId, CommandProtocol::ReadVersion, &DeviceRecord::firmwareVersion, version);
}

int CanService::readBatteryCode(uchar devId, QByteArray &code)
{
    return readPartedField(
        devId, CommandProtocol::ReadBatteryCode, &DeviceRecord::batteryCode, code);
}

int CanService::readModelCode(uchar devId, QByteArray &code)
{
    return readPartedField(devId, CommandProtocol::ReadModelCode, &DeviceRecord::modelCode, code);
}

int CanService::writeCode(uchar devId, quint8 code, const QByteArray &text)
{
    for (int part = 1; part <= DeviceRecord::CodeParts; ++part) {
        QByteArray frame(1 + DeviceRecord::CodePartSize, '\0');
        frame[0] = char(part);
        const int start = (part - 1) * DeviceRecord::CodePartSize;
        for (int i = 0; i < DeviceRecord::CodePartSize && start + i < text.size(); ++i)
            frame[1 + i] = text.at(start + i);
        sendFrame(requestId(code, devId), frame);
    }
    return waitForReply(ReplyPattern::forReply(replyId(code, devId), Acknowledged));
}

int CanService::writeBatteryCode(uchar devId, const QByteArray &code)
{
    return writeCode(devId, CommandProtocol::WriteBatteryCode, code);
}

int CanService::writeModelCode(uchar devId, const QByteArray &code)
{
    return writeCode(devId, CommandProtocol::WriteModelCode, code);
}

int CanService::readParameter(uchar devId, uchar paramId, int &value)
{
    if (isUpgrading())
        return Upgrading;
    const quint32 id = requestId(CommandProtocol::ReadParameter, devId);
    const QByteArray request = bytes({ paramId });
    sendFrame(id, request);
    QLOG_DEBUG() << sendLine(id, request);
    if (waitForReply(
            ReplyPattern::forReply(replyId(CommandProtocol::ReadParameter, devId), paramId))
        != Success)
        return NoReply;
    if (!isDeviceInRange(devId))
        return Incomplete;
    // An id outside the table has no stored position; it reads as 0.
    const int index = m_settings->indexOfParam(paramId);
    value = index >= 0 ? m_records.at(devId).parameterValues.at(index) : 0;
    return Success;
}

int CanService::writeParameter(uchar devId, uchar paramId, int value)
{
    // The BMS keeps unsigned registers; the offset lifts signed display values (temperatures)
    // into them, wrapping at 32 bits like the BMS does.
    const int index = m_settings->indexOfParam(paramId);
    const quint32 wire = index >= 0 ? quint32(value) + m_settings->items().at(index).offset : 0u;
    const quint32 id = requestId(CommandProtocol::WriteParameter, devId);
    QByteArray request(1 + int(sizeof wire), '\0');
    request[0] = char(paramId);
    qToBigEndian(wire, request.data() + 1);
    sendFrame(id, request);
    QLOG_DEBUG() << sendLine(id, request);
    return waitForReply(ReplyPattern::forReply(
        replyId(CommandProtocol::WriteParameter, devId), paramId, Acknowledged));
}

int CanService::clearHistoryEnergy(uchar devId)
{
    // Clearing the energy counter is a parameter write to a reserved id, without offset.
    const quint32 id = requestId(CommandProtocol::WriteParameter, devId);
    const QByteArray request = bytes({ ClearEnergyParamId, 0, 0, 0, 0 });
    sendFrame(id, request);
    QLOG_DEBUG() << sendLine(id, request);
    return waitForReply(ReplyPattern::forReply(
        replyId(CommandProtocol::WriteParameter, devId), ClearEnergyParamId, Acknowledged));
}

int CanService::readHistoryEventCount(uchar devId, uint &count)
{
    // Not refused during an upgrade: the history page's count does not disturb the boot loader.
    sendFrame(requestId(CommandProtocol::HistoryCount, devId), bytes({ 0x01 }));
    if (waitForReply(ReplyPattern::forReply(replyId(CommandProtocol::HistoryCount, devId)))
        != Success)
        return NoReply;
    if (!isDeviceInRange(devId))
        return Incomplete;
    count = m_records.at(devId).historyEventCount;
    return Success;
}

int CanService::startHistoryEventTransfer(uchar devId)
{
    if (!isDeviceInRange(devId))
        return NoReply;
    DeviceRecord &record = m_records[devId];
    record.historyRecords.clear();
    record.historyFramesSeen = 0;
    record.lastHistoryFrame.clear();
    sendFrame(requestId(CommandProtocol::HistoryTransfer, devId), bytes({ 0x01, TransferStart }));
    return Success;
}

int CanService::stopHistoryEventTransfer(uchar devId)
{
    sendFrame(requestId(CommandProtocol::HistoryTransfer, devId), bytes({ 0x01, TransferStop }));
    return waitForReply(
        ReplyPattern::forReply(replyId(CommandProtocol::HistoryTransfer, devId), TransferStopAck));
}

int CanService::clearHistoryEvents(uchar devId)
{
    sendFrame(requestId(CommandProtocol::ClearHistory, devId), bytes({ 0x01, 0x01 }));
    return waitForReply(
        ReplyPattern::forReply(replyId(CommandProtocol::ClearHistory, devId), Acknowledged));
}

bool CanService::isRtcSyncPending(uchar devId) const
{
    return m_rtcDevs.contains(devId);
}

DeviceRecord CanService::deviceRecord(uchar devId) const
{
    return isDeviceInRange(devId) ? m_records.at(devId) : DeviceRecord();
}

void CanService::OnDeviceReconnect(uchar devId)
{
    if (!isDeviceInRange(devId))
        return;
    if (!m_rtcDevs.contains(devId))
        m_rtcDevs.append(devId);
    if (!m_rtcTimer->isActive())
        m_rtcTimer->start();
}

void CanService::OnUpdateRTCDevs()
{
    // Each setDeviceTime() waits, and batteries keep coming online meanwhile: OnDeviceReconnect
    // runs inside the waits and adds to m_rtcDevs. The pass therefore walks a copy taken now;
    // newcomers are left to the next pass, which the timer still running guarantees.
    if (m_rtcPassRunning)
        return;
    m_rtcPassRunning = true;
    const QList<uchar> pass = m_rtcDevs;
    for (uchar devId : pass) {
        if (!m_rtcDevs.contains(devId))
            continue;
        if (setDeviceTime(devId, QDateTime::currentDateTime()) == Success) {
            QLOG_INFO() << "CanService::OnUpdateRTCDevs: PC time sync to device success:"
                        << int(devId);
            m_rtcDevs.removeAll(devId);
        }
    }
    m_rtcPassRunning = false;
    if (m_rtcDevs.isEmpty())
        m_rtcTimer->stop();
}

int CanService::startUpgrading(
    const QStringList &s19Data, uint chkSum, const QByteArray &bootVersion)
{
    return m_upgrade->start(s19Data, chkSum, bootVersion);
}

void CanService::stopUpgrading()
{
    m_upgrade->stop();
}

CanService::UpgradeState CanService::upgradeState() const
{
    return m_upgrade->state();
}

void CanService::OnUpgradeTimerTimeOut()
{
    m_upgrade->OnTimerTimeOut();
}

void CanService::OnTransmitFailed(ulong id, const QByteArray &data)
{
    m_upgrade->OnTransmitFailed(quint32(id), data);
}

QString CanService::sendLine(quint32 id, const QByteArray &data)
{
    return frameLine(tr("%1 Send: id: 0x%2; data: %3."), id, data);
}

QString CanService::recvLine(quint32 id, const QByteArray &data)
{
    return frameLine(tr("%1 Recv: id: 0x%2; data: %3."), id, data);
}
