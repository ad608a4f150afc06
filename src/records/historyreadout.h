#pragma once

#include "historyrecord.h"

#include "log/logthrottle.h"

#include <QByteArray>
#include <QObject>

class CanService;
class QTimer;

// Reading one battery's history event log over CAN: start() asks the battery how many events it
// holds, starts the transfer and then takes the records as the CAN service puts them together;
// each sound one comes out as recordRead, the others are dropped, counted and logged. The
// history events page shows what it reads (HistoryEventModel), and bmsctl history saves it.
//
// The transfer has no end of its own on the host side. The read-out watches it: once every
// announced record has come (or been dropped, as damaged or as another battery's) it is
// complete, and when nothing comes for TransferIdleMs before that, it is stalled (the battery
// went quiet or offline); records that come after that still count.
// Records are taken only while a read-out runs, so that no more are read than the battery
// announced; records that come at other times (another tool reading the log on the same bus, a
// battery sending it unasked) are ignored.
//
// Its log lines name HistoryEventModel, the origin they have always had in the log.
//
// Runs on the GUI thread, where the CAN service emits its records.
class HistoryReadout : public QObject
{
    Q_OBJECT
public:
    // Records up to this size are not even looked at.
    static constexpr int IgnoredRecordSize = 9;
    // A transfer that brings nothing new for this long has stalled.
    static constexpr int TransferIdleMs = 3000;
    // Lines about dropped records a second, in all and for each reason; the next line written
    // says how many were held back.
    static constexpr int DropLinesPerSecond = 20;
    static constexpr int DropLinesPerReasonPerSecond = DropLinesPerSecond / 2;

    enum State {
        Idle, // nothing read yet, or the log was deleted
        Reading, // records are coming
        Complete, // every announced record came (some may have been dropped)
        Stopped, // stop() before the end
        Stalled, // nothing came for TransferIdleMs before the end
    };
    Q_ENUM(State)

    explicit HistoryReadout(CanService *service, QObject *parent = nullptr);

    // Reads deviceId's log. Nothing changes when the battery does not say how many events it
    // holds; when it does, a new read-out is counted (announced), and once the transfer has
    // started the records read before are forgotten (restarted) and the state is Reading.
    void start(int deviceId);
    // Asks the battery to stop sending; what was read stays.
    void stop();
    // Asks the battery to delete its log, whatever it answers, and forgets the read-out.
    void clear();

    int deviceId() const { return m_deviceId; }
    State state() const { return m_state; }
    // Events the battery said it holds, records read, records dropped as damaged (bad check
    // sum, too short or frames lost on the way), and sound records dropped because their
    // devId names another battery than the one that sent them, all of the current read-out.
    int expectedCount() const { return m_expected; }
    int receivedCount() const { return m_received; }
    int droppedCount() const { return m_dropped; }
    int wrongBatteryCount() const { return m_wrongBattery; }
    // Records of the read-out taken or dropped for any reason; complete at expectedCount().
    int accountedCount() const { return m_received + m_dropped + m_wrongBattery; }

signals:
    // The battery holds count events: a new read-out, nothing of it read yet.
    void announced(int count);
    // The records read before are no longer the battery's log as it is being read: the transfer
    // restarted, or the log was deleted.
    void restarted();
    // A sound record of the read-out, receivedCount() counting it.
    void recordRead(const HistoryRecord &record);
    // The state or one of the counts changed.
    void changed();

private slots:
    void OnNewHistoryEvent(uchar slave, QByteArray data);
    void OnIncompleteHistoryEvent(uchar slave, QByteArray data, quint16 missing);
    void OnTransferIdle();

private:
    void resetCounts(int expected);
    void setState(State state);
    // A read-out started here is taking records (it may have stalled).
    bool isReading() const { return m_state == Reading || m_state == Stalled; }
    // One more record dropped, counted in *counter.
    void countDropped(int *counter);
    // Complete once every announced record is accounted for.
    void checkComplete();

    CanService *m_service = nullptr;
    int m_deviceId = 0;
    int m_expected = 0;
    int m_received = 0;
    int m_dropped = 0;
    int m_wrongBattery = 0;
    State m_state = Idle;
    QTimer *m_idleTimer = nullptr;
    // The lines about dropped records, one key per reason: a battery that sends damaged records
    // could otherwise write hundreds a second.
    enum DropReason : quint32 { BadChecksum, OtherBattery, TooShort, FramesMissing };
    QsLogging::LogThrottle m_dropLog { DropLinesPerReasonPerSecond, DropLinesPerSecond };
};
