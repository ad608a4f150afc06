#include "e2efixture.h"

#include "records/historyrecords.h"
#include "support/capturedestination.h"
#include "support/savedlines.h"

#include "records/historyeventmodel.h"
#include "records/historyreadout.h"
#include "resource/resources.h"
#include "ui/uihistoryevents.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

// History read-outs of battery 2 (12 events) in which one record is damaged on its way: a frame
// of it missing (bms-sim --history-missing-frame), or the record carrying another battery's
// number (--history-foreign-record), or every frame delivered twice. What must hold: the read-out completes rather than looking
// stalled; the damaged record is dropped, counted, named in the log and told on the page; every
// other record is a row, in the battery's order, exactly as the battery holds it. Records with a
// bad CRC and transfers cut short are tst_e2e_records' cases.
namespace {

constexpr int Events = 12;

} // namespace

class TestE2eHistoryFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void damagedRecord_data();
    void damagedRecord();

private:
    QTemporaryDir m_dir;
    QSharedPointer<CaptureDestination> m_log;
};

void TestE2eHistoryFaults::initTestCase()
{
    Resources::init();
    QVERIFY(m_dir.isValid());
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    m_log = CaptureDestination::attach();
    QsLogging::Logger::instance().setLoggingLevel(QsLogging::InfoLevel);
}

void TestE2eHistoryFaults::cleanupTestCase()
{
    CaptureDestination::detach(m_log);
}

void TestE2eHistoryFaults::damagedRecord_data()
{
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<int>("damaged"); // the record's index in the log, -1 for none
    QTest::addColumn<QString>("logged"); // what the log says about it

    QTest::newRow("frame 5 of record 3 missing") << QStringList { "--history-missing-frame",
        "3:5" } << 3 << QStringLiteral("incomplete record from slave: 2 ; frames missing: \"5\"");
    QTest::newRow("frame 0 of the first record missing") << QStringList { "--history-missing-frame",
        "0:0" } << 0 << QStringLiteral("incomplete record from slave: 2 ");
    QTest::newRow("frame 0 of record 4 missing") << QStringList { "--history-missing-frame",
        "4:0" } << 4 << QStringLiteral("incomplete record from slave: 2 ");
    QTest::newRow("frame 11 of record 6 missing") << QStringList { "--history-missing-frame",
        "6:11" } << 6 << QStringLiteral("incomplete record from slave: 2 ");
    QTest::newRow("frame 11 of the last record missing")
        << QStringList { "--history-missing-frame", QStringLiteral("%1:11").arg(Events - 1) }
        << Events - 1 << QStringLiteral("incomplete record from slave: 2 ");
    QTest::newRow("record 2 carries battery 9's number")
        << QStringList { "--history-foreign-record", "2:9" } << 2
        << QStringLiteral("record of slave 9 from slave: 2 ");
    // CAN delivers a frame twice when the last bit of its end of frame is disturbed.
    QTest::newRow("every frame twice") << QStringList { "--duplicate-replies" } << -1 << QString();
}

void TestE2eHistoryFaults::damagedRecord()
{
    QFETCH(QStringList, fault);
    QFETCH(int, damaged);
    QFETCH(QString, logged);

    SimProcess sim;
    QVERIFY(
        sim.start(QStringList { "--packs", "1,2", "--fault-packs", "2", "--speed", "1",
                      "--history-events", QString::number(Events), "--history-dump", m_dir.path() }
            + fault));
    const std::unique_ptr<CanService> service = E2e::serviceOn(sim);
    QVERIFY(service);
    QTRY_VERIFY_WITH_TIMEOUT(E2e::status(2) != 3, 3000);
    auto *model = new HistoryEventModel(service.get());
    UiHistoryEvents page(model);
    page.Slot_ShowMonitorData(2);
    m_log->clear();

    page.readButton()->click();
    // A last record cut short is known for one once the read-out has gone quiet.
    QTRY_COMPARE_WITH_TIMEOUT(
        model->readout()->state(), HistoryReadout::Complete, HistoryReadout::TransferIdleMs + 5000);
    const int dropped = damaged < 0 ? 0 : 1;
    // A sound record under another battery's number is not damaged, and is said apart.
    const bool otherBattery = fault.first() == QLatin1String("--history-foreign-record");
    const HistoryReadout *readout = model->readout();
    QCOMPARE(readout->expectedCount(), Events);
    QCOMPARE(readout->receivedCount(), Events - dropped);
    QCOMPARE(readout->droppedCount(), otherBattery ? 0 : dropped);
    QCOMPARE(readout->wrongBatteryCount(), otherBattery ? dropped : 0);
    QString status = QStringLiteral("%1 of %2 events read.").arg(Events - dropped).arg(Events);
    if (dropped > 0) {
        status += otherBattery
            ? QStringLiteral(" 1 records of other batteries dropped, see the log.")
            : QStringLiteral(" 1 damaged records dropped, see the log.");
    }
    QCOMPARE(page.statusLabel()->text(), status);
    if (dropped > 0)
        QCOMPARE(m_log->count(logged), 1);
    QCOMPARE(m_log->count(QStringLiteral("HistoryEventModel::")), dropped);

    // Nothing more comes, and what came is the battery's log without the damaged record.
    QTest::qWait(300);
    QCOMPARE(model->rowCount(), Events - dropped);
    const QString dump = m_dir.filePath(QStringLiteral("history-2.hex"));
    QTRY_VERIFY(QFile::exists(dump));
    QList<QByteArray> log = SavedLines::hexRecords(dump);
    QCOMPARE(log.size(), Events);
    if (damaged >= 0)
        log.removeAt(damaged);
    for (int row = 0; row < model->rowCount(); ++row)
        QCOMPARE(model->row(row), HistoryRecords::rowOf(log.at(row), 2));
    QFile::remove(dump);
}

QTEST_MAIN(TestE2eHistoryFaults)
#include "tst_e2e_historyfaults.moc"
