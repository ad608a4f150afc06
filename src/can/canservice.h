#pragma once

#include "can/devicerecord.h"
#include "can/replypattern.h"
#include "log/logthrottle.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVector>

class CanDevice;
class CanUpgrade;
class QThread;
class QTimer;
class ThresholdSetting;

// The single gateway between the pages and the CAN bus: opens and closes the adapter, sends the
// host's commands to the batteries, waits for their replies and keeps the last replies of each
// battery in a DeviceRecord. It also sets the clock of every battery that comes (back) online
// and runs the firmware upgrade over CAN (its step machine is CanUpgrade's).
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
// Threads: the service, its device records, its reply patterns, its timers and every method
// and slot below belong to the GUI thread. The adapter (CanDevice) lives in the service's
// worker thread and is reached only through queued meta-calls by slot name: open() and close()
// blocking, writeData() posted. Received frames come back through the adapter's newData signal,
// queued, so no data is shared between the threads and nothing here needs a lock.
//
// The commands that wait for a reply run a local event loop (see waitForReply()). While one
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

    // A reply wait is this many cycles of this many milliseconds, about a second in all.
    static constexpr int ReplyWaitCycles = 20;
    static constexpr int ReplyWaitCycleMs = 50;
    static constexpr int RtcSyncIntervalMs = 1000;
    // Receive lines logged per reply identifier and second; a history transfer or a parameter
    // read-out stays well below it.
    static constexpr int RecvLinesPerSecond = 50;

    // The process-wide service, created on the first call (from the GUI thread) and never
    // destroyed.
    static CanService *instance();

    // A service around the given adapter object, which it takes over: the adapter must have no
    // parent; it is moved into the service's worker thread and deleted when that thread ends.
    // instance() passes the real adapter; tests pass one built on a fake vendor library.
    explicit CanService(CanDevice *device, QObject *parent = nullptr);
    // Stops the worker thread and with it the adapter. Must not be called while one of the
    // service's own operations is waiting.
    ~CanService() override;

    // Opens the adapter (blocking until the worker thread has done so). 0 or -1.
    int initService(int canTypeId, int canId, bool isExtern, int canChannel, int baud);
    // Closes the adapter (blocking), then tells the signal store that every battery is gone.
    void closeService();
    // Posts one frame to the adapter; a closed adapter drops it.
    void sendFrame(ulong id, const QByteArray &data);
    // Waits up to ReplyWaitCycles x ReplyWaitCycleMs for a frame that matches the pattern:
    // Success or NoReply. Other slots run during the wait (see the class comment). While the
    // bus is closed, or once it is closed during the wait, NoReply comes without waiting.
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
    // The adapter, for those who want every raw frame as well: connect to its newData() signal
    // (queued, since it lives in the worker thread) and call nothing on it directly.
    CanDevice *device() const { return m_device; }

    // Firmware upgrade over CAN (see CanUpgrade): s19Data holds the image's S1/S2/S3/S5 lines
    // with their line ends, chkSum their signed byte sum, bootVersion the identification the
    // boot loader must answer with (its first 5 bytes). A start while an upgrade runs begins
    // anew. Progress, transcript, failure texts and the result come as the signals below. While
    // the state is not US_IDLE, the clock, string and parameter reads are refused with
    // Upgrading.
    int startUpgrading(const QStringList &s19Data, uint chkSum, const QByteArray &bootVersion);
    // Back to US_IDLE at once, without a signal.
    void stopUpgrading();
    UpgradeState upgradeState() const;

    // "<time> Send: id: 0x<id>; data: <bytes>." and its Recv twin, as written to the log and
    // the upgrade transcript.
    static QString sendLine(quint32 id, const QByteArray &data);
    static QString recvLine(quint32 id, const QByteArray &data);

signals:
    // One complete history event record (DeviceRecord::HistoryRecordSize bytes) of battery
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
    // The adapter refused to transmit a frame (queued from the worker thread); a lost slice of
    // the image ends the upgrade.
    void OnTransmitFailed(ulong id, const QByteArray &data);

private:
    Q_DISABLE_COPY(CanService)

    void processCanFrame(quint32 id, const QByteArray &data);
    void assembleHistoryRecord(uchar devId, DeviceRecord &record, const QByteArray &data);
    void finishHistoryRecord(uchar devId, DeviceRecord &record);
    int readPartedField(
        uchar devId, quint8 code, PartedField DeviceRecord::*field, QByteArray &out);
    int writeCode(uchar devId, quint8 code, const QByteArray &text);
    // Ends the single instance's worker thread, and with it the adapter, as the application
    // object goes away.
    static void stopWorkerThread();
    bool isUpgrading() const { return upgradeState() != US_IDLE; }

    ThresholdSetting *m_settings = nullptr;
    QVector<DeviceRecord> m_records;
    QThread *m_thread = nullptr;
    CanDevice *m_device = nullptr;
    // Between a successful initService() and closeService().
    bool m_busOpen = false;
    // Outstanding waits in the order they began. Equal patterns may be outstanding at once
    // (two pages asking the same battery the same thing); one reply releases the oldest.
    QList<ReplyPattern> m_pendingReplies;
    // Lines that frames from the bus trigger: at most one a second per device number above 27,
    // and a burst a second per reply identifier.
    QsLogging::LogThrottle m_tooLargeSlaveLog { 1 };
    QsLogging::LogThrottle m_recvLog { RecvLinesPerSecond };

    // Batteries whose clock still has to be set, in the order they came online, no duplicates.
    QList<uchar> m_rtcDevs;
    QTimer *m_rtcTimer = nullptr;
    bool m_rtcPassRunning = false;

    CanUpgrade *m_upgrade = nullptr;
};
