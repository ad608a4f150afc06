#include "canservice.h"

#include "can/candevice.h"
#include "can/canupgradesession.h"
#include "can/clocksyncscheduler.h"
#include "can/commandcodec.h"
#include "can/frameinbox.h"
#include "log/frametranscript.h"
#include "log/logger.h"
#include "signals/batterybank.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

using namespace CommandProtocol;

namespace {

constexpr int FrameDataSize = 8;

bool isDeviceInRange(uint devId)
{
    return devId <= uint(BatteryBank::MaxDeviceId);
}

// The single instance, once made, and the upgrade session start-up provides for it.
CanService *s_instance = nullptr;
CanUpgradeSession *s_providedUpgrade = nullptr;

} // namespace

CanService *CanService::instance()
{
    static CanService *const service = [] {
        auto *created = new CanService(new CanDevice, s_providedUpgrade);
        s_providedUpgrade = nullptr;
        s_instance = created;
        // The service itself is never destroyed. Its worker thread must still not outlive the
        // application object: the adapter's sockets and timers would then be served by a thread
        // whose Qt is being torn down. The program ends by exit() and never gets here; tests
        // and tools that let their application object go do.
        qAddPostRoutine(&CanService::stopWorkerThread);
        return created;
    }();
    return service;
}

void CanService::provideUpgradeSession(CanUpgradeSession *upgrade)
{
    if (s_instance)
        s_instance->setUpgradeSession(upgrade);
    else
        s_providedUpgrade = upgrade;
}

void CanService::stopWorkerThread()
{
    QThread *thread = instance()->m_thread;
    thread->quit();
    thread->wait();
}

CanService::CanService(CanDevice *device, CanUpgradeSession *upgrade, QObject *parent)
    : QObject(parent)
    , m_thread(new QThread(this))
    , m_device(device)
    , m_inbox(new FrameInbox(this))
    , m_clockSync(new ClockSyncScheduler(
          [this](quint8 devId) {
              if (setDeviceTime(devId, QDateTime::currentDateTime()) != Success)
                  return false;
              QLOG_INFO() << "CanService::OnUpdateRTCDevs: PC time sync to device success:"
                          << int(devId);
              return true;
          },
          this))
{
    qRegisterMetaType<CanService::UpgradeState>();
    m_history.reserve(BatteryBank::DeviceCount);
    for (uchar devId = 0; devId < BatteryBank::DeviceCount; ++devId) {
        m_history.emplace_back([this, devId](const QByteArray &record, quint16 missing) {
            if (missing == 0)
                emit newData(devId, record);
            else
                emit incompleteHistoryRecord(devId, record, missing);
        });
    }

    m_thread->setObjectName(QStringLiteral("CanWorker"));
    m_thread->start(QThread::InheritPriority);
    m_device->moveToThread(m_thread);
    // The adapter has no parent: it must die in its own thread, as the thread ends.
    connect(m_thread, &QThread::finished, m_device, &QObject::deleteLater);

    // The frames come over from the worker thread through the inbox. The signal store is
    // connected first, so for every frame it has registered the battery (and announced a
    // reconnect) before the service looks at the frame.
    connect(m_device, &CanDevice::newData, m_inbox, &FrameInbox::put, Qt::DirectConnection);
    SignalValues *store = SignalValues::instance();
    connect(m_inbox, &FrameInbox::frameArrived, store, &SignalValues::OnNewCanFrame);
    connect(store, &SignalValues::deviceReconnect, this, &CanService::OnDeviceReconnect);
    connect(m_inbox, &FrameInbox::frameArrived, this, &CanService::OnNewCanFrame);
    connect(m_device, &CanDevice::transmitFailed, this, &CanService::OnTransmitFailed);

    if (upgrade)
        setUpgradeSession(upgrade);
}

void CanService::setUpgradeSession(CanUpgradeSession *upgrade)
{
    delete m_upgrade;
    m_upgrade = upgrade;
    m_upgrade->setParent(this);
    connect(m_upgrade, &CanUpgradeSession::sendFrame, this, &CanService::sendFrame);
    m_upgrade->setBacklog([this] { return framesNotYetTaken(); });
    connect(m_upgrade, &UpgradeSession::newData, this, &CanService::newUpgradeData);
    connect(m_upgrade, &UpgradeSession::newState, this, &CanService::newUpgradeState);
    connect(m_upgrade, &UpgradeSession::upgradeProgress, this, &CanService::upgradeProgress);
    connect(m_upgrade, &UpgradeSession::upgradeResult, this, &CanService::upgradeFinished);
    connect(m_upgrade, &CanUpgradeSession::bootAnswersCollected, this,
        &CanService::bootAnswersCollected);
    connect(m_upgrade, &CanUpgradeSession::leftInBootLoaders, this, &CanService::leftInBootLoaders);
    connect(m_upgrade, &CanUpgradeSession::rosterJudged, this, &CanService::rosterJudged);
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
    m_replies.setBusOpen(invoked && result >= 0);
    if (!invoked || result < 0) {
        QLOG_WARN() << "CanService::initService: failed to open can device.";
        return -1;
    }
    if (m_upgrade)
        m_upgrade->setBusBitRate(baud * 1000);
    return 0;
}

void CanService::closeService()
{
    // Nothing of an upgrade would reach the boot loader any more; it fails now rather than
    // through the frames the closed adapter drops, or not at all in a step that only waits.
    if (m_upgrade)
        m_upgrade->busClosed();
    m_replies.setBusOpen(false);
    QMetaObject::invokeMethod(m_device, "close", Qt::BlockingQueuedConnection);
    SignalValues::instance()->OnCanDeviceClose();
}

void CanService::sendFrame(ulong id, const QByteArray &data)
{
    ++m_framesNotYetTaken;
    QMetaObject::invokeMethod(
        m_device, "writeData", Qt::QueuedConnection, Q_ARG(ulong, id), Q_ARG(QByteArray, data));
    // Runs in the adapter's thread right after that write (calls posted to one thread run in
    // order). The worker thread is joined before the service goes, so this outlives no service.
    QMetaObject::invokeMethod(
        m_device, [this] { --m_framesNotYetTaken; }, Qt::QueuedConnection);
}

int CanService::waitForReply(const ReplyPattern &pattern)
{
    return m_replies.wait(pattern) == ReplyWaiter::Replied ? Success : NoReply;
}

void CanService::send(const CanFrame &frame)
{
    sendFrame(frame.id, frame.data);
}

void CanService::sendLogged(const CanFrame &frame)
{
    send(frame);
    QLOG_DEBUG() << FrameTranscript::sendLine(frame.id, frame.data);
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
    // What the bus carries besides the upgrade paces the upgrade's data step.
    if (m_upgrade)
        m_upgrade->hear(frameId, data);
    // Content first: when the waiting operation finds its pattern gone, the record must
    // already hold the reply.
    processCanFrame(frameId, data);
    m_replies.release(frameId, data);
}

// data holds at least FrameDataSize bytes (OnNewCanFrame).
void CanService::processCanFrame(quint32 id, const QByteArray &data)
{
    const uint devId = CommandCodec::senderOf(id);
    if (!isDeviceInRange(devId)) {
        // Another device sharing the bus (or noise) can send such frames by the thousand.
        int dropped = 0;
        if (m_tooLargeSlaveLog.admit(devId, &dropped)) {
            QLOG_DEBUG() << "CanService::processCanFrame: recv too large slave number:" << devId
                         << QsLogging::DroppedLines { dropped };
        }
        return;
    }
    // The upgrade's answers are the upgrade's alone.
    if (m_upgrade && m_upgrade->takeAnswer(id, data))
        return;
    if (CommandCodec::hasCode(id, HistoryTransfer))
        m_history[devId].add(data);
    else if (!m_records.store(quint8(devId), id, data))
        return;
    int dropped = 0;
    if (m_recvLog.admit(id, &dropped)) {
        QLOG_DEBUG() << FrameTranscript::recvLine(id, data) << QsLogging::DroppedLines { dropped };
    }
}

void CanService::closeHistoryRecord(uchar devId)
{
    if (isDeviceInRange(devId))
        m_history[devId].close();
}

int CanService::setRelay(uchar devId, uchar relay, uchar on)
{
    send(CommandCodec::setRelay(devId, relay, on));
    return Success;
}

int CanService::setDeviceId(uchar newId)
{
    send(CommandCodec::setDeviceId(newId));
    // The battery answers under its new number.
    return waitForReply(CommandCodec::awaitAcknowledgement(SetDeviceId, newId));
}

int CanService::setDeviceTime(uchar devId, const QDateTime &time)
{
    send(CommandCodec::setTime(devId, time));
    return waitForReply(CommandCodec::awaitAcknowledgement(SetTime, devId));
}

int CanService::readDeviceTime(uchar devId, QDateTime &time)
{
    if (isUpgrading())
        return Upgrading;
    send(CommandCodec::readTime(devId));
    if (waitForReply(CommandCodec::awaitReply(ReadTime, devId)) != Success)
        return NoReply;
    // A reply from a number above 27 ends the wait but has nowhere to be stored.
    if (!isDeviceInRange(devId))
        return Incomplete;
    time = m_records.at(devId).clock;
    return Success;
}

int CanService::readText(uchar devId, quint8 code, QByteArray &out)
{
    if (isUpgrading())
        return Upgrading;
    if (!isDeviceInRange(devId))
        return NoReply;
    m_records.textOf(devId, code).clearParts();
    send(CommandCodec::readText(code, devId));
    // Holes show in the mask once the wait is over.
    if (waitForReply(CommandCodec::awaitLastTextPart(code, devId)) != Success)
        return NoReply;
    // The record may have been touched by nested operations during the wait; read it afresh.
    const PartedField &received = m_records.textOf(devId, code);
    if (!received.isComplete())
        return Incomplete;
    out = received.bytes();
    return Success;
}

int CanService::readFirmwareVersion(uchar devId, QByteArray &version)
{
    return readText(devId, ReadVersion, version);
}

int CanService::readBatteryCode(uchar devId, QByteArray &code)
{
    return readText(devId, ReadBatteryCode, code);
}

int CanService::readModelCode(uchar devId, QByteArray &code)
{
    return readText(devId, ReadModelCode, code);
}

int CanService::writeCode(uchar devId, quint8 code, const QByteArray &text)
{
    for (const CanFrame &frame : CommandCodec::writeCode(code, devId, text))
        send(frame);
    return waitForReply(CommandCodec::awaitAcknowledgement(code, devId));
}

int CanService::writeBatteryCode(uchar devId, const QByteArray &code)
{
    return writeCode(devId, WriteBatteryCode, code);
}

int CanService::writeModelCode(uchar devId, const QByteArray &code)
{
    return writeCode(devId, WriteModelCode, code);
}

int CanService::readParameter(uchar devId, uchar paramId, int &value)
{
    if (isUpgrading())
        return Upgrading;
    sendLogged(CommandCodec::readParameter(devId, paramId));
    if (waitForReply(CommandCodec::awaitParameter(devId, paramId)) != Success)
        return NoReply;
    if (!isDeviceInRange(devId))
        return Incomplete;
    value = m_records.parameterValue(devId, paramId);
    return Success;
}

int CanService::writeParameter(uchar devId, uchar paramId, int value)
{
    sendLogged(CommandCodec::writeParameter(devId, paramId, m_records.wireValue(paramId, value)));
    return waitForReply(CommandCodec::awaitParameterAcknowledgement(devId, paramId));
}

int CanService::clearHistoryEnergy(uchar devId)
{
    // Clearing the energy counter is a parameter write to a reserved id, without offset.
    sendLogged(CommandCodec::writeParameter(devId, ClearEnergyParamId, 0));
    return waitForReply(CommandCodec::awaitParameterAcknowledgement(devId, ClearEnergyParamId));
}

int CanService::readHistoryEventCount(uchar devId, uint &count)
{
    // Not refused during an upgrade: the history page's count does not disturb the boot loader.
    send(CommandCodec::readHistoryCount(devId));
    if (waitForReply(CommandCodec::awaitReply(HistoryCount, devId)) != Success)
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
    m_history[devId].start();
    send(CommandCodec::historyTransfer(devId, TransferStart));
    return Success;
}

int CanService::stopHistoryEventTransfer(uchar devId)
{
    send(CommandCodec::historyTransfer(devId, TransferStop));
    return waitForReply(CommandCodec::awaitTransferStop(devId));
}

int CanService::clearHistoryEvents(uchar devId)
{
    send(CommandCodec::clearHistory(devId));
    return waitForReply(CommandCodec::awaitAcknowledgement(ClearHistory, devId));
}

bool CanService::isRtcSyncPending(uchar devId) const
{
    return m_clockSync->isPending(devId);
}

DeviceRecord CanService::deviceRecord(uchar devId) const
{
    return isDeviceInRange(devId) ? m_records.at(devId) : DeviceRecord();
}

void CanService::OnDeviceReconnect(uchar devId)
{
    if (isDeviceInRange(devId))
        m_clockSync->add(devId);
}

void CanService::OnUpdateRTCDevs()
{
    m_clockSync->runPass();
}

int CanService::startUpgrading(
    const QStringList &s19Data, uint chkSum, const QByteArray &bootVersion)
{
    return startUpgrading(s19Data, chkSum, bootVersion, onlineDevices());
}

int CanService::startUpgrading(const QStringList &s19Data, uint chkSum,
    const QByteArray &bootVersion, const QList<int> &expected)
{
    return m_upgrade ? m_upgrade->start(s19Data, chkSum, bootVersion, expected) : -1;
}

QList<int> CanService::onlineDevices()
{
    const SignalValues *store = SignalValues::instance();
    QList<int> online;
    for (uchar devId : store->knownDevices()) {
        if (store->value(devId, Signal::SysStatus).toUInt() != SignalValues::OfflineStatus)
            online.append(devId);
    }
    std::sort(online.begin(), online.end());
    return online;
}

int CanService::upgradeFramesPerSecond() const
{
    return m_upgrade ? m_upgrade->dataFramesPerSecond() : 0;
}

QList<int> CanService::upgradeBootLoaders() const
{
    return m_upgrade ? m_upgrade->inBootLoaders() : QList<int>();
}

UpgradeSession *CanService::upgradeSession() const
{
    return m_upgrade;
}

void CanService::stopUpgrading()
{
    if (m_upgrade)
        m_upgrade->stop();
}

CanService::UpgradeState CanService::upgradeState() const
{
    return m_upgrade ? UpgradeState(m_upgrade->step()) : US_IDLE;
}

void CanService::OnUpgradeTimerTimeOut()
{
    if (m_upgrade)
        m_upgrade->tick();
}

void CanService::OnTransmitFailed(ulong id, const QByteArray &data)
{
    if (m_upgrade)
        m_upgrade->transmitFailed(quint32(id), data);
}
