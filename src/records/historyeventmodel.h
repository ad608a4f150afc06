#pragma once

#include "log/logthrottle.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QVector>

class CanService;
class CsvSaveJob;
class QTimer;

// The history event log of one BMS, read out over CAN, checked, shown as a table and saved as
// CSV. Every entry of the log is a 78-byte snapshot of the pack taken when an alarm or a
// protection occurred; the CAN service assembles each one from twelve transfer frames and hands
// it over through its newData signal.
//
// Record layout (multi-byte fields big-endian, unsigned):
//
//     0-2   year-2000, month, day         -> Date "2021-5-7"
//     3-5   hour, minute, second          -> Time "9:3:0"
//     6     (not used)
//     7     the sending BMS's id           checked against the sender, not shown
//           SlaveNo: the id this model reads (not taken from the record)
//     8-9   SumVolt x 0.1                 10-11  Curr x 0.1 - 3000
//     12-13 RemainCapacity x 0.01         14-15  SOC x 0.1          16-17  SOH x 0.1
//     18-19 DiffVolt x 0.001              20-21  MaxCellV x 0.001   22  MaxCellVNo.
//     23-24 MinCellV x 0.001              25     MinCellVNo.
//     26-57 Volt1 .. Volt16 x 0.001
//     58-61 MaxCellT - 40, MaxCellTNo., MinCellT - 40, MinCellTNo.
//     62-69 Temp1 .. Temp8 - 40
//     70-73 PrechargeRelay, ChargeRelay, DischargeRelay, PosRelay: "On" for 1, else "Off"
//     74    FaultsID: the fault's text   75  AlarmLevel
//     76-77 CRC-16/MODBUS of all bytes before it, low byte first
//
// Scaled values are computed in single precision and printed with a fixed number of decimals.
//
// A read-out: OnStartRecording asks the BMS how many events it holds, starts the transfer and
// then takes the records as they come; the transfer has no end of its own on the host side.
// This model watches it: once every announced record has come (or been dropped, as damaged or
// as another battery's) it is complete, and when nothing comes for TransferIdleMs before that,
// it is reported stalled (the BMS went quiet or offline). Rows already read are never dropped
// by either.
// Records are taken only while a read-out runs, so the rows never outnumber the events the BMS
// announced; records that come at other times (another tool reading the history on the same
// bus, a BMS sending it unasked) are ignored.
//
// Everything runs on the GUI thread, except the CSV writing (CsvSaveJob).
class HistoryEventModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int RecordSize = 78;
    static constexpr int ColumnCount = 47;
    // Records up to this size are not even looked at.
    static constexpr int IgnoredRecordSize = 9;
    // A transfer that brings nothing new for this long has stalled.
    static constexpr int TransferIdleMs = 3000;

    enum TransferState {
        Idle, // nothing read yet, or the rows were deleted
        Reading, // records are coming
        Complete, // every announced record came (some may have been dropped)
        Stopped, // STOP before the end
        Stalled, // nothing came for TransferIdleMs before the end
    };
    Q_ENUM(TransferState)

    explicit HistoryEventModel(QObject *parent = nullptr);
    // A model on a CAN service of the caller's (tests); the application's otherwise.
    explicit HistoryEventModel(CanService *service, QObject *parent = nullptr);
    ~HistoryEventModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The 47 column names, the table's and the CSV file's header.
    static const QStringList &columnNames();
    // The fault text of a fault id; empty for ids not in the table.
    static QString faultText(int faultId);
    // The 47 cells of a record of at least RecordSize bytes, SlaveNo being slaveNo.
    static QStringList formatRecord(const QByteArray &record, int slaveNo);
    // CRC-16/MODBUS over all but the last two bytes, compared with those two (low byte first).
    static bool hasValidChecksum(const QByteArray &record);

    int deviceId() const { return m_deviceId; }
    const QStringList &row(int row) const { return m_rows.at(row); }
    TransferState transferState() const { return m_state; }
    // Events the BMS said it holds, records taken as rows, records dropped as damaged (bad
    // check sum, too short or frames lost on the way), and sound records dropped because their
    // byte 7 names another battery than the one that sent them, all of the current read-out.
    int expectedCount() const { return m_expected; }
    int receivedCount() const { return m_received; }
    int droppedCount() const { return m_dropped; }
    int wrongBatteryCount() const { return m_wrongBattery; }
    // Records of the read-out taken or dropped for any reason; complete at expectedCount().
    int accountedCount() const { return m_received + m_dropped + m_wrongBattery; }
    // Lines about dropped records a second, in all and for each reason; the next line written
    // says how many were held back.
    static constexpr int DropLinesPerSecond = 20;
    static constexpr int DropLinesPerReasonPerSecond = DropLinesPerSecond / 2;
    bool isSaving() const;

signals:
    void savingDataError(QString error);
    // The file is complete at path.
    void savingDataFinished(QString path);
    void newProgressRange(int range);
    void newProgressValue(int value);
    // The state or one of the counts of the read-out changed.
    void transferChanged();

public slots:
    void OnStartRecording(int deviceId);
    void OnStopRecording();
    // Writes the header and every row as they are now; the file is written in the background
    // and the outcome comes as savingDataFinished or savingDataError.
    void OnSaveRecordingData(QString path);
    void OnClearRecordingData();

private slots:
    void OnNewHistoryEvent(uchar slave, QByteArray data);
    void OnIncompleteHistoryEvent(uchar slave, QByteArray data, quint16 missing);
    void OnTransferIdle();

private:
    void removeAllRows();
    // A new read-out of expected events, nothing of it accounted for yet.
    void resetCounts(int expected);
    void setState(TransferState state);
    // A read-out started here is taking records (it may have stalled).
    bool isReading() const { return m_state == Reading || m_state == Stalled; }
    // One more record dropped, counted in *counter.
    void countDropped(int *counter);
    // Complete once every announced record is accounted for.
    void checkComplete();

    CanService *m_service = nullptr;
    QVector<QStringList> m_rows;
    int m_deviceId = 0;
    int m_expected = 0;
    int m_received = 0;
    int m_dropped = 0;
    int m_wrongBattery = 0;
    TransferState m_state = Idle;
    QTimer *m_idleTimer = nullptr;
    QList<CsvSaveJob *> m_saves;
    // The lines about dropped records, one key per reason: a battery that sends damaged records
    // could otherwise write hundreds a second.
    enum DropReason : quint32 { BadChecksum, OtherBattery, TooShort, FramesMissing };
    QsLogging::LogThrottle m_dropLog { DropLinesPerReasonPerSecond, DropLinesPerSecond };
};
