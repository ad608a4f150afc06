#include "e2efixture.h"

#include "records/historyrecords.h"
#include "support/capturedestination.h"
#include "support/savedlines.h"
#include "ui/filedialoganswer.h"

#include "records/historyeventmodel.h"
#include "records/historyreadout.h"
#include "records/realtimerecordingtablemodel.h"
#include "resource/resources.h"
#include "ui/uihistoryevents.h"
#include "ui/uilogshistory.h"
#include "ui/uirealtimerecording.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

// The record pages against bms-sim, through the program's own CAN service and signal store.
// Battery 1 holds a clean log of 48 events. Battery 2 sends half its records with a broken
// check sum and stops after 15 records, the way a battery that goes quiet or offline in the
// middle of a read-out looks to the program. After each transfer the simulator writes the log
// it holds, which the saved files are compared with.
namespace {

using SavedLines::cells;
using SavedLines::csvLines;

constexpr int EventCount = 48;
constexpr int CutAfter = 15;

} // namespace

class TestE2eRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void wholeLogIsReadSavedAndMatchesTheSimulator();
    void damagedAndCutShortReadOutKeepsWhatCame();
    void liveValuesAreRecordedAndSaved();

private:
    QList<QByteArray> simulatorLog(int devId) const;
    UiHistoryEvents *events() const { return m_logs->historyEvents(); }

    QTemporaryDir m_dir;
    SimProcess m_sim;
    std::unique_ptr<UiLogsHistory> m_logs;
    QSharedPointer<CaptureDestination> m_capture;
};

void TestE2eRecords::initTestCase()
{
    Resources::init();
    QVERIFY(m_dir.isValid());
    QVERIFY(E2e::startAndOpen(m_sim,
        { "--packs", "1,2", "--speed", "1", "--history-events", QString::number(EventCount),
            "--history-dump", m_dir.path(), "--fault-packs", "2", "--bad-crc", "0.5",
            "--history-stop-after", QString::number(CutAfter) }));
    QVERIFY2(E2e::waitForDevices({ 1, 2 }), m_sim.output().constData());
    m_logs.reset(new UiLogsHistory);
    m_capture = CaptureDestination::attach();
    // Warnings are what the tests look for; the frame transcript would only bury them.
    QsLogging::Logger::instance().setLoggingLevel(QsLogging::InfoLevel);
}

void TestE2eRecords::cleanupTestCase()
{
    CaptureDestination::detach(m_capture);
    m_logs.reset();
    CanService::instance()->closeService();
    m_sim.stop();
}

// The records the simulator holds for a battery, as it wrote them after the last transfer.
QList<QByteArray> TestE2eRecords::simulatorLog(int devId) const
{
    return SavedLines::hexRecords(m_dir.filePath(QStringLiteral("history-%1.hex").arg(devId)));
}

void TestE2eRecords::wholeLogIsReadSavedAndMatchesTheSimulator()
{
    emit m_logs->showMonitorData(1);
    events()->readButton()->click();
    const HistoryReadout *readout = events()->model()->readout();
    QTRY_COMPARE_WITH_TIMEOUT(readout->state(), HistoryReadout::Complete, 10000);
    QCOMPARE(readout->expectedCount(), EventCount);
    QCOMPARE(readout->droppedCount(), 0);
    QCOMPARE(events()->statusLabel()->text(), QStringLiteral("48 of 48 events read."));
    QTRY_VERIFY(QFile::exists(m_dir.filePath(QStringLiteral("history-1.hex"))));

    const QString path = m_dir.filePath(QStringLiteral("battery1.csv"));
    {
        FileDialogAnswer answer(path);
        events()->saveButton()->click();
        QTRY_COMPARE(events()->statusLabel()->text(),
            QStringLiteral("48 of 48 events read.    Saved ") + path);
    }

    const QList<QByteArray> log = simulatorLog(1);
    const QList<QByteArray> lines = csvLines(path);
    QCOMPARE(log.size(), EventCount);
    QCOMPARE(lines.size(), 1 + EventCount);
    QCOMPARE(cells(lines.at(0)), HistoryRecordText::columnNames());
    for (int i = 0; i < EventCount; ++i) {
        const QByteArray &record = log.at(i);
        QVERIFY(HistoryRecordCodec::hasValidChecksum(record));
        const QStringList row = cells(lines.at(1 + i));
        QCOMPARE(row, HistoryRecords::rowOf(record, 1));
        QCOMPARE(row.at(2), QStringLiteral("1"));
        QVERIFY2(!row.at(45).isEmpty(), "every simulated fault id is a known one");
    }
}

void TestE2eRecords::damagedAndCutShortReadOutKeepsWhatCame()
{
    emit m_logs->showMonitorData(2);
    m_capture->clear();
    events()->readButton()->click();
    HistoryEventModel *model = events()->model();
    const HistoryReadout *readout = model->readout();
    QVERIFY(readout->expectedCount() > CutAfter);
    // The battery goes quiet after 15 records; three seconds later the read-out is stalled.
    QTRY_COMPARE_WITH_TIMEOUT(readout->state(), HistoryReadout::Stalled, 10000);
    QCOMPARE(readout->receivedCount() + readout->droppedCount(), CutAfter);
    // One line a damaged record, but no more than the log's bound for the reason in the second
    // the records come in: half of 15 records damaged at random is more than 10 one time in 17.
    const int checksumLines = m_capture->count(QStringLiteral("check sum error for slave: 2 "));
    QVERIFY(checksumLines <= readout->droppedCount());
    QVERIFY(checksumLines
        >= qMin(readout->droppedCount(), HistoryReadout::DropLinesPerReasonPerSecond));
    QCOMPARE(m_capture->count(QStringLiteral("HistoryEventModel::OnTransferIdle: no record")), 1);
    QString expected = QStringLiteral("The BMS stopped sending after %1 of %2 events.")
                           .arg(readout->receivedCount())
                           .arg(readout->expectedCount());
    if (readout->droppedCount() > 0)
        expected += QStringLiteral(" %1 damaged records dropped, see the log.")
                        .arg(readout->droppedCount());
    QCOMPARE(events()->statusLabel()->text(), expected);

    // What came is kept, in the battery's order, and saved.
    QTRY_VERIFY(QFile::exists(m_dir.filePath(QStringLiteral("history-2.hex"))));
    const QList<QByteArray> log = simulatorLog(2).mid(0, CutAfter);
    int next = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        while (next < log.size() && HistoryRecords::rowOf(log.at(next), 2) != model->row(row))
            ++next;
        QVERIFY2(
            next < log.size(), qPrintable(QStringLiteral("row %1 is not in the log").arg(row)));
        ++next;
    }
    const QString path = m_dir.filePath(QStringLiteral("battery2.csv"));
    FileDialogAnswer answer(path);
    events()->saveButton()->click();
    QTRY_VERIFY(events()->statusLabel()->text().endsWith(QStringLiteral("Saved ") + path));
    QCOMPARE(csvLines(path).size(), 1 + model->rowCount());
}

void TestE2eRecords::liveValuesAreRecordedAndSaved()
{
    UiRealTimeRecording *page = m_logs->realTimeRecording();
    RealTimeRecordingTableModel *model = page->model();
    emit m_logs->showMonitorData(1);
    page->recordButton()->click();
    // Every two seconds a sample, from the recording's own timer.
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 3, 10000);
    page->stopButton()->click();

    const QString path = m_dir.filePath(QStringLiteral("live.csv"));
    FileDialogAnswer answer(path);
    page->saveButton()->click();
    QTRY_COMPARE(page->statusLabel()->text(), QStringLiteral("Saved ") + path);
    const QList<QByteArray> lines = csvLines(path);
    QCOMPARE(lines.size(), 1 + 3);
    QCOMPARE(cells(lines.at(0)), RealTimeRecordingTableModel::columnNames());
    for (int i = 1; i <= 3; ++i) {
        const QStringList row = cells(lines.at(i));
        QCOMPARE(row.size(), 66);
        QVERIFY2(row.at(0).endsWith(QStringLiteral(" 00:00:00")), qPrintable(row.at(0)));
        const QDate date = QDate::fromString(row.at(0).left(10), QStringLiteral("yyyy-MM-dd"));
        QVERIFY2(qAbs(date.daysTo(QDate::currentDate())) <= 1, qPrintable(row.at(0)));
        QCOMPARE(row.at(2), QStringLiteral("1"));
        const double packVoltage = row.at(3).toDouble();
        QVERIFY2(packVoltage > 40 && packVoltage < 60, qPrintable(row.at(3)));
        const double cell1 = row.at(13).toDouble();
        QVERIFY2(cell1 > 2.5 && cell1 < 3.8, qPrintable(row.at(13)));
        QCOMPARE(row.at(13).section(QLatin1Char('.'), 1).size(), 3);
        QCOMPARE(row.at(10).contains(QLatin1Char('.')), false); // a cell number
        // What the table showed is what was saved.
        for (int column = 3; column < 66; ++column) {
            QCOMPARE(row.at(column), model->data(model->index(i - 1, column)).toString());
        }
    }
}

QTEST_MAIN(TestE2eRecords)
#include "tst_e2e_records.moc"
