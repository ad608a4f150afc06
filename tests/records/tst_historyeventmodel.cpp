// The history event model against batteries played in-process behind the CAN service (the
// scripted bus under a real CanDevice and CanService), and against records handed straight to
// it as the service's newData signal.

#include "can/adaptertype.h"
#include "canservice/playedbms.h"
#include "canservice/scriptedbus.h"
#include "historyrecords.h"
#include "support/capturedestination.h"
#include "support/failingfiles.h"
#include "support/parameterset.h"
#include "support/savedlines.h"

#include "can/candevice.h"
#include "can/canservice.h"
#include "records/historyeventmodel.h"
#include "records/historyreadout.h"
#include "signals/signalvalues.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using HistoryRecords::rowOf;
using HistoryRecords::sample;
using HistoryRecords::sealed;

namespace {

using SavedLines::fileLines;

QList<int> ints(const QSignalSpy &spy)
{
    QList<int> values;
    for (const QList<QVariant> &arguments : spy)
        values.append(arguments.at(0).toInt());
    return values;
}

} // namespace

class TestHistoryEventModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void headersAreTheColumnNames();
    void receiving_data();
    void receiving();
    void recordsNobodyAskedForAreNoRows();
    void swappedChecksumLine();
    void readOutThroughTheService();
    void zeroEventsStillStartsTheTransferAndEmptiesTheTable();
    void silentBatteryChangesNothing();
    void badChecksumsAreDroppedAndTheReadOutStillCompletes();
    void anotherBatterysRecordsAreCountedAndTheReadOutStillCompletes();
    void floodOfDamagedRecordsIsLoggedInMeasure();
    void stalledTransferKeepsItsRowsAndResumes();
    void lastRecordCutShortIsDroppedAndTheReadOutCompletes();
    void stopKeepsTheRows();
    void deleteRemovesTheRowsWhateverTheBatterySays();
    void saveWritesHeaderAndEveryRow();
    void saveWritesTheRowsAsTheyWereWhenAsked();
    void saveFailures_data();
    void saveFailures();

private:
    HistoryReadout *readout() const { return m_model->readout(); }
    void transfer(int devId, const QList<QByteArray> &records, quint32 count);

    ScriptedBus *m_bus = nullptr; // owned by the service's device
    std::unique_ptr<PlayedBms> m_bms;
    std::unique_ptr<CanService> m_service;
    std::unique_ptr<HistoryEventModel> m_model;
    QSharedPointer<CaptureDestination> m_capture;
    QTemporaryDir m_dir;
};

void TestHistoryEventModel::initTestCase()
{
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    SignalValues::instance();
    QVERIFY(m_dir.isValid());
}

void TestHistoryEventModel::init()
{
    m_bms.reset(new PlayedBms);
    m_bus = new ScriptedBus;
    m_bus->setResponder(m_bms->responder());
    m_service.reset(new CanService(new CanDevice(m_bus)));
    QCOMPARE(m_service->initService(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    m_model.reset(new HistoryEventModel(m_service.get()));
    m_capture = CaptureDestination::attach();
}

void TestHistoryEventModel::cleanup()
{
    CaptureDestination::detach(m_capture);
    m_model.reset();
    m_bus->setResponder(nullptr);
    m_service.reset();
    m_bus = nullptr;
    m_bms.reset();
}

// The played battery holds these records and says it holds count; then a read-out of devId.
void TestHistoryEventModel::transfer(int devId, const QList<QByteArray> &records, quint32 count)
{
    m_bms->update([&](PlayedBms &bms) {
        bms.historyRecords = records;
        bms.historyCount = count;
    });
    m_model->OnStartRecording(devId);
}

void TestHistoryEventModel::headersAreTheColumnNames()
{
    QCOMPARE(m_model->columnCount(), HistoryRecordText::ColumnCount);
    for (int column = 0; column < HistoryRecordText::ColumnCount; ++column) {
        QCOMPARE(m_model->headerData(column, Qt::Horizontal).toString(),
            HistoryRecordText::columnNames().at(column));
    }
}

void TestHistoryEventModel::receiving_data()
{
    QTest::addColumn<int>("slave");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("dropped");
    QTest::addColumn<QString>("logStart");

    QByteArray swapped = sample(5);
    std::swap(swapped.data()[76], swapped.data()[77]);
    QByteArray wrongSender = sample(5);
    wrongSender[7] = 6;

    QTest::newRow("a good record is a row") << 5 << sample(5) << 1 << 0 << QString();
    QTest::newRow("a 9-byte record is ignored without a log")
        << 5 << sealed(sample(5).left(9)) << 0 << 0 << QString();
    QTest::newRow("a record of another battery is ignored")
        << 6 << sample(6) << 0 << 0 << QString();
    QTest::newRow("byte 7 disagreeing with the sender is logged, not counted as damaged")
        << 5 << sealed(wrongSender) << 0 << 0
        << QStringLiteral(
               "WARN |HistoryEventModel::OnNewHistoryEvent: record of slave 6 from slave: 5 ; "
               "data: ");
    QTest::newRow("swapped check sum bytes are logged and dropped")
        << 5 << swapped << 0 << 1
        << QStringLiteral(
               "WARN |HistoryEventModel::OnNewHistoryEvent: check sum error for slave: ");
    QTest::newRow("a short record with a good check sum is logged and dropped")
        << 5 << sealed(sample(5).left(40)) << 0 << 1
        << QStringLiteral("WARN |HistoryEventModel::OnNewHistoryEvent: record too short from "
                          "slave: 5 ; size: 40 ; data: ");
    QTest::newRow("a 10-byte record fails its check sum")
        << 5 << sample(5).left(10) << 0 << 1
        << QStringLiteral(
               "WARN |HistoryEventModel::OnNewHistoryEvent: check sum error for slave: ");
}

void TestHistoryEventModel::receiving()
{
    QFETCH(int, slave);
    QFETCH(QByteArray, record);
    QFETCH(int, rows);
    QFETCH(int, dropped);
    QFETCH(QString, logStart);

    transfer(5, {}, 1); // the battery announces a record and sends none
    m_capture->clear();
    QSignalSpy progress(m_model.get(), &HistoryEventModel::newProgressValue);
    emit m_service->newData(uchar(slave), record);

    QCOMPARE(m_model->rowCount(), rows);
    QCOMPARE(readout()->receivedCount(), rows);
    QCOMPARE(readout()->droppedCount(), dropped);
    QCOMPARE(ints(progress), rows ? QList<int> { 1 } : QList<int>());
    const QStringList lines = m_capture->lines();
    if (logStart.isEmpty()) {
        QCOMPARE(lines, QStringList());
    } else {
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.at(0).startsWith(logStart), qPrintable(lines.at(0)));
        QVERIFY(lines.at(0).endsWith(
            QStringLiteral("\"%1\" ").arg(QString::fromLatin1(record.toHex(' ')))));
    }
}

void TestHistoryEventModel::recordsNobodyAskedForAreNoRows()
{
    // Another tool reads battery 4's history on the same bus: before this model's read-out,
    // and after it is complete.
    emit m_service->newData(0, sample(0));
    transfer(4, {}, 0);
    emit m_service->newData(4, sample(4));
    QCOMPARE(m_model->rowCount(), 0);
}

void TestHistoryEventModel::swappedChecksumLine()
{
    // A record whose CRC-16/MODBUS is 0xa5c3 is stored c3 a5; swapped it reads a5 c3. The log
    // gives the stored bytes read big-endian and the computed CRC byte-swapped to match.
    QByteArray record = sample(5);
    const quint16 crc = HistoryRecordCodec::computedChecksum(record);
    std::swap(record.data()[76], record.data()[77]);
    transfer(5, {}, 2);
    m_capture->clear();
    emit m_service->newData(5, record);
    const QString expected = QStringLiteral(
        "WARN |HistoryEventModel::OnNewHistoryEvent: check sum error for slave: 5 ; recv: %1 ; "
        "calced: %2 ; data: \"%3\" ")
                                 .arg(QString::number(crc, 16))
                                 .arg(QString::number(quint16((crc << 8) | (crc >> 8)), 16))
                                 .arg(QString::fromLatin1(record.toHex(' ')));
    QCOMPARE(m_capture->lines(), QStringList { expected });
    QCOMPARE(m_model->rowCount(), 0);

    // Leading zeros are not printed: a stored 00 0f reads f.
    QByteArray zeros = sample(5);
    zeros[76] = 0x00;
    zeros[77] = 0x0f;
    m_capture->clear();
    emit m_service->newData(5, zeros);
    QVERIFY2(m_capture->lines().value(0).contains(QStringLiteral("; recv: f ; calced: ")),
        qPrintable(m_capture->lines().value(0)));
}

void TestHistoryEventModel::readOutThroughTheService()
{
    const QList<QByteArray> records = { sample(4, 0), sample(4, 1), sample(4, 2) };
    QSignalSpy range(m_model.get(), &HistoryEventModel::newProgressRange);
    QSignalSpy progress(m_model.get(), &HistoryEventModel::newProgressValue);
    transfer(4, records, 3);
    QCOMPARE(ints(range), QList<int> { 3 });
    QCOMPARE(readout()->state(), HistoryReadout::Reading);
    QVERIFY(m_capture->lines().contains(
        QStringLiteral("DEBUG|HistoryEventModel::OnStartRecording: transfering data. ")));

    QTRY_COMPARE(readout()->state(), HistoryReadout::Complete);
    QCOMPARE(ints(progress), QList<int>({ 0, 1, 2, 3 }));
    QCOMPARE(m_model->rowCount(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(m_model->row(i), rowOf(records.at(i), 4));
    QCOMPARE(readout()->deviceId(), 4);
    QCOMPARE(readout()->expectedCount(), 3);
    QVERIFY(m_bus->transmittedText().contains(QStringLiteral("18440480: 01")));
    QVERIFY(m_bus->transmittedText().contains(QStringLiteral("18450480: 01 01")));
}

void TestHistoryEventModel::zeroEventsStillStartsTheTransferAndEmptiesTheTable()
{
    transfer(4, { sample(4) }, 1);
    QTRY_COMPARE(m_model->rowCount(), 1);

    QSignalSpy range(m_model.get(), &HistoryEventModel::newProgressRange);
    QSignalSpy removed(m_model.get(), &QAbstractItemModel::rowsRemoved);
    m_bus->clearTransmitted();
    transfer(4, {}, 0);
    QCOMPARE(ints(range), QList<int> { 0 });
    QTRY_COMPARE(m_bus->transmittedText(), QStringList({ "18440480: 01", "18450480: 01 01" }));
    QCOMPARE(m_model->rowCount(), 0);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(readout()->state(), HistoryReadout::Complete);
}

void TestHistoryEventModel::silentBatteryChangesNothing()
{
    transfer(4, { sample(4) }, 1);
    QTRY_COMPARE(m_model->rowCount(), 1);
    m_bms->update([](PlayedBms &bms) { bms.silent.insert(4); });
    QSignalSpy range(m_model.get(), &HistoryEventModel::newProgressRange);
    QSignalSpy changed(readout(), &HistoryReadout::changed);
    m_bus->clearTransmitted();
    m_capture->clear();
    m_model->OnStartRecording(4);
    QCOMPARE(range.size(), 0);
    QCOMPARE(changed.size(), 0);
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_bus->transmittedText(), QStringList { "18440480: 01" });
    QCOMPARE(m_capture->lines().filter(QStringLiteral("HistoryEventModel")), QStringList());
}

void TestHistoryEventModel::badChecksumsAreDroppedAndTheReadOutStillCompletes()
{
    QByteArray bad = sample(7, 1);
    bad[40] = char(bad.at(40) ^ 0x01);
    transfer(7, { sample(7, 0), bad, sample(7, 2), sample(7, 3) }, 4);
    QTRY_COMPARE(readout()->state(), HistoryReadout::Complete);
    QCOMPARE(m_model->rowCount(), 3);
    QCOMPARE(readout()->receivedCount(), 3);
    QCOMPARE(readout()->droppedCount(), 1);
    QCOMPARE(m_model->row(1), rowOf(sample(7, 2), 7));
    QCOMPARE(m_capture->count(QStringLiteral("check sum error for slave: 7 ")), 1);
}

void TestHistoryEventModel::anotherBatterysRecordsAreCountedAndTheReadOutStillCompletes()
{
    // Battery 7 sends a sound record whose byte 7 names battery 8: not a row, not damaged, but
    // accounted for, so that the read-out ends when the last record has come.
    transfer(7, { sample(7, 0), sample(8, 1), sample(7, 2) }, 3);
    QTRY_COMPARE(readout()->state(), HistoryReadout::Complete);
    QCOMPARE(m_model->rowCount(), 2);
    QCOMPARE(readout()->droppedCount(), 0);
    QCOMPARE(readout()->wrongBatteryCount(), 1);
    QCOMPARE(m_capture->count(QStringLiteral("record of slave 8 from slave: 7 ")), 1);

    // A new read-out counts afresh.
    transfer(7, { sample(7, 0) }, 1);
    QCOMPARE(readout()->wrongBatteryCount(), 0);
    QTRY_COMPARE(readout()->state(), HistoryReadout::Complete);
}

void TestHistoryEventModel::floodOfDamagedRecordsIsLoggedInMeasure()
{
    // A battery sending damaged records faster than anyone reads the log: every one is
    // counted, only the first lines of the second are written.
    const int flood = 3 * HistoryReadout::DropLinesPerSecond;
    transfer(5, {}, flood + 1);
    m_capture->clear();
    QByteArray bad = sample(5);
    bad[40] = char(bad.at(40) ^ 0x01);
    for (int record = 0; record < flood; ++record)
        emit m_service->newData(uchar(5), bad);
    QCOMPARE(readout()->droppedCount(), flood);
    const int written = m_capture->count(QStringLiteral("check sum error for slave: 5 "));
    QVERIFY2(written >= HistoryReadout::DropLinesPerReasonPerSecond && written < flood,
        qPrintable(QString::number(written)));
}

void TestHistoryEventModel::stalledTransferKeepsItsRowsAndResumes()
{
    // The battery says 5 and sends 3.
    const QList<QByteArray> records
        = { sample(9, 0), sample(9, 1), sample(9, 2), sample(9, 3), sample(9, 4) };
    transfer(9, records.mid(0, 3), 5);
    QTRY_COMPARE(m_model->rowCount(), 3);
    QCOMPARE(readout()->state(), HistoryReadout::Reading);
    auto *idle = readout()->findChild<QTimer *>();
    QVERIFY(idle && idle->isActive());
    QCOMPARE(idle->interval(), HistoryReadout::TransferIdleMs);

    QVERIFY(QMetaObject::invokeMethod(readout(), "OnTransferIdle"));
    QCOMPARE(readout()->state(), HistoryReadout::Stalled);
    QCOMPARE(m_model->rowCount(), 3);
    QCOMPARE(m_capture->lines().filter(QStringLiteral("HistoryEventModel::OnTransferIdle")),
        QStringList { QStringLiteral("WARN |HistoryEventModel::OnTransferIdle: no record from "
                                     "slave: 9 for 3000 ms; received: 3 ; dropped: 0 ; "
                                     "expected: 5 ") });

    // The rest comes after all.
    for (int i = 3; i < 5; ++i)
        m_bus->inject(CommandCodec::historyFrames(9, records.at(i)));
    QTRY_COMPARE(readout()->state(), HistoryReadout::Complete);
    QCOMPARE(m_model->rowCount(), 5);
    QVERIFY(!idle->isActive());
}

void TestHistoryEventModel::lastRecordCutShortIsDroppedAndTheReadOutCompletes()
{
    // The battery announces 3 and sends them, but the last frame of the last one never comes.
    transfer(8, { sample(8, 0), sample(8, 1) }, 3);
    QTRY_COMPARE(m_model->rowCount(), 2);
    QList<ScriptedBus::Frame> last = CommandCodec::historyFrames(8, sample(8, 2));
    last.removeLast();
    m_bus->inject(last);
    QTest::qWait(50);
    QCOMPARE(readout()->state(), HistoryReadout::Reading);

    // The read-out goes quiet: the half record is dropped, named, and the read-out complete.
    QVERIFY(QMetaObject::invokeMethod(readout(), "OnTransferIdle"));
    QCOMPARE(readout()->state(), HistoryReadout::Complete);
    QCOMPARE(readout()->receivedCount(), 2);
    QCOMPARE(readout()->droppedCount(), 1);
    const QStringList lines
        = m_capture->lines().filter(QStringLiteral("WARN |HistoryEventModel::"));
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.at(0).startsWith(QStringLiteral(
                 "WARN |HistoryEventModel::OnIncompleteHistoryEvent: incomplete record from slave: "
                 "8 ; frames missing: \"11\" ; data: ")),
        qPrintable(lines.at(0)));
}

void TestHistoryEventModel::stopKeepsTheRows()
{
    transfer(3, { sample(3, 0), sample(3, 1) }, 10);
    QTRY_COMPARE(m_model->rowCount(), 2);
    m_bus->clearTransmitted();
    m_model->OnStopRecording();
    QCOMPARE(m_bus->transmittedText(), QStringList { "18450380: 01 02" });
    QCOMPARE(m_model->rowCount(), 2);
    QCOMPARE(readout()->state(), HistoryReadout::Stopped);
}

void TestHistoryEventModel::deleteRemovesTheRowsWhateverTheBatterySays()
{
    transfer(3, { sample(3, 0), sample(3, 1) }, 2);
    QTRY_COMPARE(m_model->rowCount(), 2);
    m_bms->update([](PlayedBms &bms) { bms.silent.insert(3); });
    m_bus->clearTransmitted();
    m_model->OnClearRecordingData();
    QCOMPARE(m_bus->transmittedText(), QStringList { "18460380: 01 01" });
    QCOMPARE(m_model->rowCount(), 0);
    QCOMPARE(readout()->state(), HistoryReadout::Idle);
    QCOMPARE(readout()->expectedCount(), 0);
}

void TestHistoryEventModel::saveWritesHeaderAndEveryRow()
{
    QList<QByteArray> records;
    for (int i = 0; i < 6; ++i)
        records.append(sample(2, i));
    transfer(2, records, 6);
    QTRY_COMPARE(readout()->state(), HistoryReadout::Complete);

    const QString path = m_dir.filePath(QStringLiteral("events.csv"));
    QSignalSpy finished(m_model.get(), &HistoryEventModel::savingDataFinished);
    m_model->OnSaveRecordingData(path);
    QVERIFY(m_model->isSaving());
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.at(0).at(0).toString(), path);
    QVERIFY(!m_model->isSaving());

    const QList<QByteArray> lines = fileLines(path);
    QCOMPARE(lines.size(), 1 + 6);
    for (const QByteArray &line : lines) {
        QVERIFY(line.endsWith('\r'));
        QCOMPARE(line.split(',').size(), 47);
    }
    QCOMPARE(QString::fromUtf8(lines.at(0).chopped(1)),
        HistoryRecordText::columnNames().join(QLatin1Char(',')));
    QCOMPARE(QString::fromUtf8(lines.at(1).chopped(1)),
        HistoryRecords::sampleCells(2).join(QLatin1Char(',')));
}

void TestHistoryEventModel::saveWritesTheRowsAsTheyWereWhenAsked()
{
    transfer(2, { sample(2, 0), sample(2, 1) }, 2);
    QTRY_COMPARE(readout()->state(), HistoryReadout::Complete);
    const QString path = m_dir.filePath(QStringLiteral("snapshot.csv"));
    QSignalSpy finished(m_model.get(), &HistoryEventModel::savingDataFinished);
    m_model->OnSaveRecordingData(path);
    m_model->OnClearRecordingData(); // waits for the battery, and the file may be done meanwhile
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(fileLines(path).size(), 3);
}

void TestHistoryEventModel::saveFailures_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("diskFull");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing folder")
        << m_dir.filePath(QStringLiteral("missing")) << false << "failed to open file: ";
    const QString unwritable = FailingFiles::unwritableFolder(m_dir);
    if (!unwritable.isEmpty())
        QTest::newRow("folder not writable") << unwritable << false << "failed to open file: ";
    QTest::newRow("full disk") << m_dir.path() << true << "failed to write file: ";
}

void TestHistoryEventModel::saveFailures()
{
    QFETCH(QString, folder);
    QFETCH(bool, diskFull);
    QFETCH(QString, message);
    QList<QByteArray> records;
    for (int i = 0; i < 40; ++i)
        records.append(sample(2, i));
    transfer(2, records, 40);
    QTRY_COMPARE(readout()->state(), HistoryReadout::Complete);

    const QString path = folder + QStringLiteral("/events.csv");
    if (diskFull) {
        QFile previous(path);
        QVERIFY(previous.open(QIODevice::WriteOnly | QIODevice::Truncate));
        previous.write("previous\r\n");
    }
    QSignalSpy error(m_model.get(), &HistoryEventModel::savingDataError);
    QSignalSpy finished(m_model.get(), &HistoryEventModel::savingDataFinished);
    {
        FailingFiles::DiskFullAfter limit(diskFull ? 4096 : 1 << 30);
        m_model->OnSaveRecordingData(path);
        QTRY_COMPARE(error.size() + finished.size(), 1);
    }
    QCOMPARE(error.at(0).at(0).toString(), message + path);
    QCOMPARE(finished.size(), 0);
    QCOMPARE(m_model->rowCount(), 40);
    if (diskFull)
        QCOMPARE(fileLines(path), QList<QByteArray> { "previous\r" });
}

QTEST_GUILESS_MAIN(TestHistoryEventModel)
#include "tst_historyeventmodel.moc"
