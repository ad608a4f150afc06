#pragma once

#include "can/canframe.h"
#include "can/devicerecord.h"
#include "can/devicerecordtable.h"
#include "can/historyassembler.h"
#include "can/replypattern.h"
#include "can/replywaiter.h"
#include "log/logthrottle.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QStringList>

#include <vector>

#include <atomic>

class CanDevice;
class CanUpgradeSession;
class ClockSyncScheduler;
class FrameInbox;
class QThread;
class UpgradeSession;

// The single gateway between the pages and the CAN bus: opens and closes the adapter, sends the
// host's commands to the batteries and waits for their replies. Each of its other jobs has a
// class of its own, which the service ties together:
//   CommandCodec        the command frames and their replies, both ways
//   ReplyWaiter         the wait for a reply, about a second, other slots running meanwhile
//   DeviceRecordTable   the last replies of each battery, in its DeviceRecord
//   HistoryAssembler    history event records from their twelve frames, one per battery
//   ClockSyncScheduler  the clock of every battery that comes (back) online set to the PC's
//   CanUpgradeSession   the firmware upgrade over CAN, handed to the service at start-up (the
//                       program's is CanUpgrade of upgrade/); the service forwards its upgrade
//                       methods and tick to it, passes its signals on and carries its frames
//   FrameTranscript     the Send and Recv lines of the log (log/)
//
// Command identifiers, 29 bits, read as four bytes from the most significant:
//
//     28      24 23            16 15             8 7              0
//    +----------+----------------+----------------+----------------+
//    |   0x18   |  command code  |  destination   |     source     |
//    +----------+----------------+----------------+----------------+
//    request to battery d:   0x18 | code | d    | 0x80 (the host)
//    reply from battery d:   0x18 | code | 0x80 | d
//
// The one exception is the set-device-number request, which goes to destination 0x1F whatever
// the battery's current number, since the point is that the host may not know it. Upgrade
// frames use plain identifiers 0x1FF00, 0x20000 .. 0x50000 without addresses.
//
// Threads: the service, its device records, its reply waits, its timers and every method and
// slot below belong to the GUI thread. The adapter (CanDevice) lives in the service's worker
// thread and is reached only through queued meta-calls by slot name: open() and close()
// blocking, writeData() posted. Received frames come back through a FrameInbox, whose lock is
// the only one: nothing else is shared between the threads.
//
// The commands that wait for a reply run a local event loop (see ReplyWaiter). While one
// waits, the GUI thread keeps serving timers, clicks and received frames, so any slot here or
// in a page may run in the middle of an operation, including further commands with waits of
// their own. Replies are matched to patterns, never to callers.
class CanService : public QObject
{
    Q_OBJECT

public:
    // Result codes of the command operations.
    enum CommandResult {
        Success = 0,
        NoReply = -1, // nothing matching came within the wait, or the device number was refused
        Incomplete = -2, // the reply came but lacked parts, or the device number is out of range
        Upgrading = -10, // refused: a firmware upgrade over CAN is running
    };

    enum UpgradeState {
        US_IDLE = 0,
        US_REQUEST_BOOT,
        US_INQUIRE_BOOT,
        US_ERASER_FLASH,
        US_SEND_DATA,
        US_UPGRADE_FINISH,
    };
    Q_ENUM(UpgradeState)

    // Receive lines logged per reply identifier and second; a history transfer or a parameter
    // read-out stays well below it. In all, whatever the identifiers, at most twice that.
    static constexpr int RecvLinesPerSecond = 50;
    static constexpr int RecvLinesInAllPerSecond = 2 * RecvLinesPerSecond;
    // "recv too large slave number" lines a second: one per number, this many in all.
    static constexpr int TooLargeSlaveLinesPerSecond = 3;

    // The process-wide service, created on the first call (from the GUI thread) and never
    // destroyed.
    static CanService *instance();
    // The upgrade session of the process-wide service, which takes it over (it must have no
    // parent): kept for instance()'s first call, or handed to the service at once when it
    // exists. Start-up calls it before anything asks for the service.
    static void provideUpgradeSession(CanUpgradeSession *upgrade);

    // A service around the given adapter object, which it takes over: the adapter must have no
    // parent; it is moved into the service's worker thread and deleted when that thread ends.
    // instance() passes the real adapter; tests pass one built on a fake vendor library.
    // upgrade: the session the upgrade methods go to, taken over like the adapter; without one
    // nothing is upgraded (startUpgrading() returns -1) and the state stays US_IDLE.
    explicit CanService(
        CanDevice *device, CanUpgradeSession *upgrade = nullptr, QObject *parent = nullptr);
    // Stops the worker thread and with it the adapter. Must not be called while one of the
    // service's own operations is waiting.
    ~CanService() override;

    // Opens the adapter (blocking until the worker thread has done so). 0 or -1.
    int initService(int canTypeId, int canId, bool isExtern, int canChannel, int baud);
    // Fails a running upgrade, closes the adapter (blocking), then tells the signal store that
    // every battery is gone.
    void closeService();
    // Posts one frame to the adapter; a closed adapter drops it and reports it lost.
    void sendFrame(ulong id, const QByteArray &data);
    // Frames posted to the adapter's thread that it has not taken yet: a few at most, unless a
    // busy machine keeps that thread from running.
    int framesNotYetTaken() const { return m_framesNotYetTaken.load(); }
    // Waits about a second for a frame that matches the pattern (ReplyWaiter): Success or
    // NoReply. Other slots run during the wait (see the class comment). While the bus is closed,
    // or once it closes during the wait, NoReply comes without waiting.
    int waitForReply(const ReplyPattern &pattern);

    // Commands. Every one returns a CommandResult; those that wait return after the reply, or
    // after about a second without one.
    int setRelay(uchar devId, uchar relay, uchar on);
    int setDeviceId(uchar newId);
    int setDeviceTime(uchar devId, const QDateTime &time);
    int readDeviceTime(uchar devId, QDateTime &time);
    int readFirmwareVersion(uchar devId, QByteArray &version);
    int readBatteryCode(uchar devId, QByteArray &code);
    int readModelCode(uchar devId, QByteArray &code);
    int writeBatteryCode(uchar devId, const QByteArray &code);
    int writeModelCode(uchar devId, const QByteArray &code);
    // value is in display units; the parameter table's offset is applied on the wire.
    int readParameter(uchar devId, uchar paramId, int &value);
    int writeParameter(uchar devId, uchar paramId, int value);
    int clearHistoryEnergy(uchar devId);
    int readHistoryEventCount(uchar devId, uint &count);
    // Returns at once; the records arrive through newData(devId, record).
    int startHistoryEventTransfer(uchar devId);
    int stopHistoryEventTransfer(uchar devId);
    int clearHistoryEvents(uchar devId);

    // The read-out of battery devId is over (it went quiet or was stopped): a record still
    // under construction will not be completed, and is reported through
    // incompleteHistoryRecord().
    void closeHistoryRecord(uchar devId);

    // Whether the battery's clock still has to be set.
    bool isRtcSyncPending(uchar devId) const;
    // The battery's record as it stands now (a copy); an initial record for numbers above 27.
    DeviceRecord deviceRecord(uchar devId) const;
    // The adapter; it lives in the worker thread: call nothing on it directly.
    CanDevice *device() const { return m_device; }
    // Every raw frame the adapter receives, in this object's thread and in order, after the
    // signal store and the service have seen it: for those who want them all (connect directly).
    FrameInbox *inbox() const { return m_inbox; }

    // Firmware upgrade over CAN (see CanUpgradeSession): s19Data holds the image's S1/S2/S3/S5
    // lines with their line ends, chkSum their signed byte sum, bootVersion the identification
    // the boot loader must answer with (its first 5 bytes). A start while an upgrade runs begins
    // anew. Progress, transcript, failure texts and the result come as the signals below. While
    // the state is not US_IDLE, the clock, string and parameter reads are refused with
    // Upgrading. The batteries expected to answer the boot request are those online now
    // (onlineDevices()), or those given.
    int startUpgrading(const QStringList &s19Data, uint chkSum, const QByteArray &bootVersion);
    int startUpgrading(const QStringList &s19Data, uint chkSum, const QByteArray &bootVersion,
        const QList<int> &expected);
    // Back to US_IDLE at once, without a signal.
    void stopUpgrading();
    UpgradeState upgradeState() const;
    // The pace the upgrade's data step keeps now, frames a second (0 without a session).
    int upgradeFramesPerSecond() const;
    // Those the last upgrade left in their boot loaders (CanUpgradeSession::inBootLoaders).
    QList<int> upgradeBootLoaders() const;
    // The session the upgrade methods go to (nullptr without one), for a caller that follows
    // its progress and result through the interface, as over any other transport.
    UpgradeSession *upgradeSession() const;
    // The batteries the signal store has heard and holds online, in ascending order.
    static QList<int> onlineDevices();

signals:
    // One complete history event record (CommandProtocol::HistoryRecordSize bytes) of battery
    // slave.
    void newData(uchar slave, QByteArray data);
    // A record of battery slave that lost frames on its way and will not be complete: data is
    // what came of it (zeros elsewhere), missingSequences has bit s set for each sequence s
    // (0 to 11) that never came.
    void incompleteHistoryRecord(uchar slave, QByteArray data, quint16 missingSequences);
    // One transcript line per upgrade frame sent or answer received.
    void newUpgradeData(QString data);
    // Why the upgrade failed: "time out at state: <key>." or "failed at state: <key>.".
    void newUpgradeState(QString state);
    // 0 to 100.
    void upgradeProgress(int value);
    void upgradeFinished(bool success);
    // The answers to the boot request are in: who answered, and who of those expected did not.
    // A receiver connected directly may call stopUpgrading() here, before anything is erased;
    // otherwise the upgrade goes on with those that answered.
    void bootAnswersCollected(QList<int> answered, QList<int> missing);
    // After a failure (upgradeFinished(false) and its text): the batteries that answered the
    // boot request and wait in their boot loaders; sending the image again recovers them.
    void leftInBootLoaders(QList<int> devIds);
    // After an upgrade past the boot request: who of those that answered it finished well, and
    // why each other did not (CanUpgradeSession::rosterJudged).
    void rosterJudged(QList<int> finished, QMap<int, QString> notFinished);

public slots:
    // Every frame the adapter receives, broadcasts included: stores reply content in the
    // device records, then releases the first reply pattern the frame matches.
    void OnNewCanFrame(ulong id, const QByteArray &data, ulong timeStamp);
    // A battery came (back) online: queue it for a clock setting.
    void OnDeviceReconnect(uchar devId);
    // The clock-sync timer: one pass over the batteries still waiting for their clock.
    void OnUpdateRTCDevs();
    // The upgrade's 2 ms tick.
    void OnUpgradeTimerTimeOut();
    // The adapter could not transmit a frame (queued from the worker thread); a lost frame of
    // the upgrade ends it. Other frames are left to their reply waits.
    void OnTransmitFailed(ulong id, const QByteArray &data);

private:
    Q_DISABLE_COPY(CanService)

    void processCanFrame(quint32 id, const QByteArray &data);
    void send(const CanFrame &frame);
    // Sends, and writes the Send line to the log.
    void sendLogged(const CanFrame &frame);
    int readText(uchar devId, quint8 code, QByteArray &out);
    int writeCode(uchar devId, quint8 code, const QByteArray &text);
    // Ends the single instance's worker thread, and with it the adapter, as the application
    // object goes away.
    static void stopWorkerThread();
    bool isUpgrading() const { return upgradeState() != US_IDLE; }
    void setUpgradeSession(CanUpgradeSession *upgrade);

    DeviceRecordTable m_records;
    QThread *m_thread = nullptr;
    CanDevice *m_device = nullptr;
    // Brings the adapter's frames into the GUI thread.
    FrameInbox *m_inbox = nullptr;
    ReplyWaiter m_replies;
    // One per battery number, 0 to 27.
    std::vector<HistoryAssembler> m_history;
    // Lines that frames from the bus trigger, bounded per key and in all (see the constants).
    QsLogging::LogThrottle m_tooLargeSlaveLog { 1, TooLargeSlaveLinesPerSecond };
    QsLogging::LogThrottle m_recvLog { RecvLinesPerSecond, RecvLinesInAllPerSecond };
    ClockSyncScheduler *m_clockSync = nullptr;

    CanUpgradeSession *m_upgrade = nullptr;
    // Counted up by sendFrame(), down in the adapter's thread after each write.
    std::atomic<int> m_framesNotYetTaken { 0 };
};
