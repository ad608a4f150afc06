// The real-time recording model on a signal store of the test's own, fed with broadcast frames
// the way the adapter would feed it; the sampling timer is driven through its slot.

#include "support/failingfiles.h"
#include "support/savedlines.h"

#include "records/realtimerecordingtablemodel.h"
#include "records/recordingsamples.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

using SavedLines::fileLines;

const QDateTime Noon(QDate(2021, 5, 20), QTime(14, 5, 9));

QString text(const QAbstractItemModel &model, int row, int column)
{
    return model.data(model.index(row, column)).toString();
}

} // namespace

class TestRealTimeRecording : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void columnsAndTheirSignals();
    void sampleShowsDateTimeAndId();
    void values_data();
    void values();
    void dateCellIsAlwaysMidnight_data();
    void dateCellIsAlwaysMidnight();
    void recordingTwiceKeepsOneTimer();
    void stopKeepsTheRowsAndClearKeepsRecording();
    void savingWithNoRowsWritesOnlyTheHeader();
    void saveWritesTheRowsTakenWhenAsked();
    void saveFailures_data();
    void saveFailures();
    void samplesGrowInBlocksAndSnapshotsStayPut();

private:
    void sample(int times = 1);
    void send(quint32 frameKey, const QHash<int, double> &values, uchar devId = 3);

    std::unique_ptr<SignalValues> m_store;
    std::unique_ptr<RealTimeRecordingTableModel> m_model;
    QDateTime m_now;
    int m_clockReads = 0;
    QTemporaryDir m_dir;
};

void TestRealTimeRecording::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestRealTimeRecording::init()
{
    m_store.reset(new SignalValues);
    m_model.reset(new RealTimeRecordingTableModel);
    m_model->setSignalSource(m_store.get());
    m_now = Noon;
    m_clockReads = 0;
    m_model->setClock([this] {
        ++m_clockReads;
        return m_now;
    });
}

void TestRealTimeRecording::cleanup()
{
    m_model.reset();
    m_store.reset();
}

void TestRealTimeRecording::sample(int times)
{
    for (int i = 0; i < times; ++i)
        QVERIFY(QMetaObject::invokeMethod(m_model.get(), "OnTimerTimeout"));
}

void TestRealTimeRecording::send(quint32 frameKey, const QHash<int, double> &values, uchar devId)
{
    m_store->OnNewCanFrame(
        FrameKey::identifier(frameKey, devId), m_store->encode(frameKey, values), 0);
}

void TestRealTimeRecording::columnsAndTheirSignals()
{
    const QStringList names = RealTimeRecordingTableModel::columnNames();
    QCOMPARE(names.size(), 66);
    QCOMPARE(m_model->columnCount(), 66);
    QCOMPARE(names.mid(0, 13),
        QStringList({ "Date", "Time", "SlaveNo", "SumVolt", "Curr", "RemainCapacity", "SOC", "SOH",
            "DiffVolt", "MaxCellV", "MaxCellVNo.", "MinCellV", "MinCellVNo." }));
    QCOMPARE(names.at(13), QStringLiteral("Volt1"));
    QCOMPARE(names.at(28), QStringLiteral("Volt16"));
    QCOMPARE(
        names.mid(29, 4), QStringList({ "MaxCellT", "MaxCellTNo.", "MinCellT", "MinCellTNo." }));
    QCOMPARE(names.at(33), QStringLiteral("Temp1"));
    QCOMPARE(names.at(40), QStringLiteral("Temp8"));
    QCOMPARE(names.mid(41),
        QStringList({ "PrechargeRelay", "ChargeRelay", "DischargeRelay", "PosRelay", "CellOverVolt",
            "CellUnderVolt", "PackOverVolt", "PackUnderVolt", "CellDiffVolt", "ChargeHi-Temp",
            "DischargeHi-Temp", "ChargeLo-Temp", "DischargeLo-Temp", "DiffTemp", "ChargeOverCurr",
            "DischargeOverCurr", "AFE-OV", "AFE-UV", "DuplicateSlaveAddrError",
            "Inter-CanCommunError", "Exter-CanCommunError", "Rs485CommunicationError",
            "VoltageDetectError", "TemperatureDetectError", "AFECommunicationError" }));

    // The signal of every column, by its position in the catalogue.
    QList<int> expected = { 0, 1, 63, 2, 3, 73, 69, 70, 71, 72 };
    for (int i = 114; i <= 129; ++i)
        expected << i;
    expected << 64 << 65 << 66 << 67;
    for (int i = 106; i <= 113; ++i)
        expected << i;
    expected << 60 << 58 << 59 << 61 << 16 << 17 << 22 << 23 << 13 << 9 << 10 << 11 << 12 << 14 << 7
             << 8 << 27 << 28 << 34 << 35 << 36 << 37 << 40 << 41 << 38;
    QCOMPARE(m_model->columnSignals().keys().first(), 3);
    QCOMPARE(m_model->columnSignals().values(), expected);
}

void TestRealTimeRecording::sampleShowsDateTimeAndId()
{
    m_model->OnStartRecording(3);
    QCOMPARE(m_model->rowCount(), 0); // the first sample comes one interval later
    sample();
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_clockReads, 1);
    QCOMPARE(text(*m_model, 0, 0), QStringLiteral("2021-05-20"));
    QCOMPARE(text(*m_model, 0, 1), QStringLiteral("14:05:09"));
    QCOMPARE(m_model->data(m_model->index(0, 2)), QVariant(3));
    const QStringList cells = RealTimeRecordingTableModel::csvCells(m_model->samples().at(0), {});
    QCOMPARE(cells.mid(0, 3), QStringList({ "2021-05-20 00:00:00", "14:05:09", "3" }));
}

void TestRealTimeRecording::values_data()
{
    QTest::addColumn<quint32>("frameKey");
    QTest::addColumn<int>("signal");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("before"); // before the battery sent the signal

    QTest::newRow("a sensor at -5 degrees")
        << quint32(FrameKey::Temperatures) << int(Signal::Temp1) << -5.0 << "Temp1"
        << "-5"
        << "0";
    QTest::newRow("the lowest temperature, -40")
        << quint32(FrameKey::TempExtremes) << int(Signal::MaxCellT) << -40.0 << "MaxCellT"
        << "-40"
        << "0";
    QTest::newRow("a relay that is on")
        << quint32(FrameKey::Relays) << int(Signal::ChargeRelay) << 1.0 << "ChargeRelay"
        << "1"
        << "0";
    QTest::newRow("pack voltage, one decimal")
        << quint32(FrameKey::PackStatus) << int(Signal::SumVolt) << 53.2 << "SumVolt"
        << "53.2"
        << "0.0";
    QTest::newRow("current near zero, as the store keeps it")
        << quint32(FrameKey::PackStatus) << int(Signal::Curr) << 0.0 << "Curr"
        << "0.0"
        << "0.0";
    QTest::newRow("discharge current")
        << quint32(FrameKey::PackStatus) << int(Signal::Curr) << -25.5 << "Curr"
        << "-25.5"
        << "0.0";
    QTest::newRow("remaining capacity, two decimals")
        << quint32(FrameKey::Capacity) << int(Signal::RemainCapacity) << 87.65 << "RemainCapacity"
        << "87.65"
        << "0.00";
    QTest::newRow("a cell voltage, three decimals")
        << quint32(FrameKey::CellVolts13to16) << int(Signal::Volt16) << 3.301 << "Volt16"
        << "3.301"
        << "0.000";
    QTest::newRow("an alarm level")
        << quint32(FrameKey::AlarmLevels) << int(Signal::CellOverVolt) << 2.0 << "CellOverVolt"
        << "2"
        << "0";
    QTest::newRow("a fault flag recorded only here")
        << quint32(FrameKey::Faults) << int(Signal::TemperatureDetectError) << 1.0
        << "TemperatureDetectError"
        << "1"
        << "0";
}

void TestRealTimeRecording::values()
{
    QFETCH(quint32, frameKey);
    QFETCH(int, signal);
    QFETCH(double, value);
    QFETCH(QString, column);
    QFETCH(QString, shown);
    QFETCH(QString, before);

    const int index = RealTimeRecordingTableModel::columnNames().indexOf(column);
    QVERIFY(index >= 3);
    // Nothing received yet: reals read 0 with their decimals, integers 0.
    m_model->OnStartRecording(3);
    sample();
    QCOMPARE(text(*m_model, 0, index), before);

    send(frameKey, { { signal, value } });
    send(frameKey, { { signal, value + 1 } }, 4); // another battery's
    sample();
    QCOMPARE(text(*m_model, 1, index), shown);

    const QString path = m_dir.filePath(QStringLiteral("values.csv"));
    QSignalSpy finished(m_model.get(), &RealTimeRecordingTableModel::savingDataFinished);
    m_model->OnSaveRecordingData(path);
    QVERIFY(finished.wait(5000));
    const QList<QByteArray> lines = fileLines(path);
    QCOMPARE(lines.size(), 3);
    const QList<QByteArray> cells = lines.at(2).chopped(1).split(',');
    QCOMPARE(cells.size(), 66);
    QCOMPARE(QString::fromUtf8(cells.at(index)), shown);
}

void TestRealTimeRecording::dateCellIsAlwaysMidnight_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("dateCell");
    QTest::addColumn<QString>("timeCell");
    QTest::newRow("midnight itself")
        << QDateTime(QDate(2024, 2, 29), QTime(0, 0, 0, 500)) << "2024-02-29 00:00:00"
        << "00:00:00";
    QTest::newRow("last second of the day")
        << QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59, 999)) << "2023-12-31 00:00:00"
        << "23:59:59";
    QTest::newRow("afternoon") << Noon << "2021-05-20 00:00:00"
                               << "14:05:09";
}

void TestRealTimeRecording::dateCellIsAlwaysMidnight()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, dateCell);
    QFETCH(QString, timeCell);
    m_now = now;
    sample();
    QCOMPARE(text(*m_model, 0, 0), now.date().toString(QStringLiteral("yyyy-MM-dd")));
    const QStringList cells = RealTimeRecordingTableModel::csvCells(m_model->samples().at(0), {});
    QCOMPARE(cells.at(0), dateCell);
    QCOMPARE(cells.at(1), timeCell);
    // One reading of the clock gives both, so date and time always belong together.
    QCOMPARE(m_clockReads, 1);
}

void TestRealTimeRecording::recordingTwiceKeepsOneTimer()
{
    QTimer *timer = m_model->recordingTimer();
    QCOMPARE(timer->interval(), 2000);
    QVERIFY(!m_model->isRecording());
    m_model->OnStartRecording(3);
    QVERIFY(timer->isActive());
    // A coarse timer may be due up to 5 % early: margins well beyond that.
    QTRY_VERIFY(timer->remainingTime() < 1500);
    m_model->OnStartRecording(5);
    QVERIFY(timer->remainingTime() > 1700);
    QCOMPARE(m_model->findChildren<QTimer *>().size(), 1);
    QCOMPARE(m_model->deviceId(), 5);
    QCOMPARE(m_model->rowCount(), 0);
    // The timer is what samples.
    QTRY_COMPARE_WITH_TIMEOUT(m_model->rowCount(), 1, 5000);
    QCOMPARE(m_model->data(m_model->index(0, 2)), QVariant(5));
}

void TestRealTimeRecording::stopKeepsTheRowsAndClearKeepsRecording()
{
    m_model->OnStartRecording(3);
    sample(3);
    m_model->OnStopRecording();
    QVERIFY(!m_model->isRecording());
    QCOMPARE(m_model->rowCount(), 3);

    m_model->OnStartRecording(4);
    QSignalSpy removed(m_model.get(), &QAbstractItemModel::rowsRemoved);
    m_model->OnClearRecordingData();
    QCOMPARE(m_model->rowCount(), 0);
    QCOMPARE(removed.size(), 1);
    QVERIFY(m_model->isRecording());
    m_model->OnClearRecordingData(); // nothing to clear: nothing happens
    QCOMPARE(removed.size(), 1);
    sample();
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->headerData(0, Qt::Vertical).toInt(), 1);
    QCOMPARE(m_model->data(m_model->index(0, 2)), QVariant(4));
}

void TestRealTimeRecording::savingWithNoRowsWritesOnlyTheHeader()
{
    const QString path = m_dir.filePath(QStringLiteral("empty.csv"));
    QSignalSpy finished(m_model.get(), &RealTimeRecordingTableModel::savingDataFinished);
    m_model->OnSaveRecordingData(path);
    QVERIFY(finished.wait(5000));
    QCOMPARE(fileLines(path),
        QList<QByteArray> { RealTimeRecordingTableModel::columnNames().join(',').toUtf8() + '\r' });
}

void TestRealTimeRecording::saveWritesTheRowsTakenWhenAsked()
{
    // More rows than one block holds, then the table moves on while the file is written.
    m_model->OnStartRecording(3);
    const int rows = RecordingSamples::BlockSize + 200;
    for (int i = 0; i < rows; ++i) {
        m_now = Noon.addSecs(2 * i);
        sample();
    }
    const QString path = m_dir.filePath(QStringLiteral("snapshot.csv"));
    QSignalSpy finished(m_model.get(), &RealTimeRecordingTableModel::savingDataFinished);
    m_model->OnSaveRecordingData(path);
    QVERIFY(m_model->isSaving());
    sample(1000);
    m_model->OnClearRecordingData();
    sample(5);
    QVERIFY(finished.wait(10000));
    QVERIFY(!m_model->isSaving());

    const QList<QByteArray> lines = fileLines(path);
    QCOMPARE(lines.size(), 1 + rows);
    for (int i : { 0, RecordingSamples::BlockSize - 1, RecordingSamples::BlockSize, rows - 1 }) {
        const QByteArray expected
            = "2021-05-20 00:00:00," + Noon.addSecs(2 * i).time().toString().toLatin1() + ",3,0.0,";
        QVERIFY2(lines.at(1 + i).startsWith(expected), lines.at(1 + i).constData());
    }
}

void TestRealTimeRecording::saveFailures_data()
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

void TestRealTimeRecording::saveFailures()
{
    QFETCH(QString, folder);
    QFETCH(bool, diskFull);
    QFETCH(QString, message);
    sample(50);
    const QString path = folder + QStringLiteral("/recording.csv");
    QSignalSpy error(m_model.get(), &RealTimeRecordingTableModel::savingDataError);
    QSignalSpy finished(m_model.get(), &RealTimeRecordingTableModel::savingDataFinished);
    {
        FailingFiles::DiskFullAfter limit(diskFull ? 4096 : 1 << 30);
        m_model->OnSaveRecordingData(path);
        QTRY_COMPARE(error.size() + finished.size(), 1);
    }
    QCOMPARE(error.at(0).at(0).toString(), message + path);
    QCOMPARE(m_model->rowCount(), 50);
    QVERIFY(!QFile::exists(path));
}

void TestRealTimeRecording::samplesGrowInBlocksAndSnapshotsStayPut()
{
    RecordingSamples samples;
    const auto make = [](int i) {
        RecordingSample s;
        s.devId = i;
        s.values[62] = quint32(i * 7);
        return s;
    };
    for (int i = 0; i < RecordingSamples::BlockSize; ++i)
        samples.append(make(i));
    QCOMPARE(samples.storageBytes(), qint64(sizeof(RecordingSample)) * RecordingSamples::BlockSize);
    const RecordingSamples snapshot = samples;
    samples.append(make(RecordingSamples::BlockSize));
    QCOMPARE(samples.size(), RecordingSamples::BlockSize + 1);
    QCOMPARE(snapshot.size(), RecordingSamples::BlockSize);
    QCOMPARE(samples.at(RecordingSamples::BlockSize).devId, RecordingSamples::BlockSize);
    samples.clear();
    QCOMPARE(samples.size(), 0);
    QCOMPARE(samples.storageBytes(), 0);
    QCOMPARE(snapshot.at(RecordingSamples::BlockSize - 1).devId, RecordingSamples::BlockSize - 1);
    QCOMPARE(snapshot.at(100).values[62], 700u);
}

QTEST_GUILESS_MAIN(TestRealTimeRecording)
#include "tst_realtimerecording.moc"
