#include "e2efixture.h"

#include "support/capturedestination.h"

#include <QElapsedTimer>

// Replies that come late, twice or under the wrong device number (bms-sim --reply-delay,
// --duplicate-replies, --reply-as, for battery 2), and batteries under device numbers 28 and
// above (--stray-packs). What must hold: every command ends with a result that says what
// happened, within about a second; a battery's record only ever holds what that battery said;
// the battery beside it is served as ever. Each case has a simulator and a service of its own.
namespace {

constexpr int ParamId = 1; // cell over-charge alarm, first in the parameter set
constexpr int Written = 3600; // the shipped value is 3650

QByteArray serialOf(int devId)
{
    QByteArray code = "QM2024" + QByteArray::number(100000 + devId);
    code.append(QByteArray(32 - code.size(), '\0'));
    return code;
}

} // namespace

class TestE2eReplies : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void faultyReplies_data();
    void faultyReplies();
    void strayDeviceNumbersAreIgnored();

private:
    QSharedPointer<CaptureDestination> m_log;
};

void TestE2eReplies::initTestCase()
{
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    m_log = CaptureDestination::attach();
}

void TestE2eReplies::cleanupTestCase()
{
    CaptureDestination::detach(m_log);
}

void TestE2eReplies::faultyReplies_data()
{
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<int>("result"); // of each command to battery 2
    QTest::addColumn<int>("minimumMs"); // each command took at least ...
    QTest::addColumn<int>("maximumMs"); // ... and at most
    QTest::addColumn<bool>("eventuallyStored"); // the write lands in battery 2's record

    QTest::newRow("late by 300 ms: answered within the wait")
        << QStringList { "--reply-delay", "300" } << 0 << 300 << 900 << true;
    QTest::newRow("late by 1500 ms: no reply, the late one stored when it comes")
        << QStringList { "--reply-delay", "1500" } << -1 << 950 << 1600 << true;
    QTest::newRow("twice: taken once")
        << QStringList { "--duplicate-replies" } << 0 << 0 << 900 << true;
    QTest::newRow("under number 9: no reply, nothing stored as battery 2's")
        << QStringList { "--reply-as", "9" } << -1 << 950 << 1600 << false;
}

void TestE2eReplies::faultyReplies()
{
    QFETCH(QStringList, fault);
    QFETCH(int, result);
    QFETCH(int, minimumMs);
    QFETCH(int, maximumMs);
    QFETCH(bool, eventuallyStored);

    SimProcess sim;
    QVERIFY(sim.start(QStringList { "--packs", "1,2", "--fault-packs", "2" } + fault));
    const std::unique_ptr<CanService> service = E2e::serviceOn(sim);
    QVERIFY(service);
    QTRY_VERIFY_WITH_TIMEOUT(E2e::status(1) != 3 && E2e::status(2) != 3, 3000);

    QElapsedTimer elapsed;
    const auto timed = [&](int commandResult) {
        const qint64 ms = elapsed.elapsed();
        if (ms < minimumMs || ms > maximumMs)
            qWarning("took %lld ms", ms);
        return commandResult == result && ms >= minimumMs && ms <= maximumMs;
    };
    elapsed.start();
    QVERIFY(timed(service->writeParameter(2, ParamId, Written)));
    int value = 0;
    elapsed.start();
    QVERIFY(timed(service->readParameter(2, ParamId, value)));
    if (result == 0)
        QCOMPARE(value, Written);
    QByteArray serial;
    elapsed.start();
    QVERIFY(timed(service->readBatteryCode(2, serial)));
    if (result == 0)
        QCOMPARE(serial, serialOf(2));

    // What battery 2 holds is what it said, once its answers are in; nothing else.
    if (eventuallyStored) {
        QTRY_COMPARE(service->deviceRecord(2).parameterValues.at(0), Written);
        QTRY_VERIFY(service->deviceRecord(2).batteryCode.isComplete());
        QCOMPARE(service->deviceRecord(2).batteryCode.bytes(), serialOf(2));
    } else {
        QTest::qWait(300);
        QCOMPARE(service->deviceRecord(2).parameterValues.at(0), 0);
        QVERIFY(!service->deviceRecord(2).batteryCode.isComplete());
    }

    // The battery beside it is served as ever, and a late or doubled answer ends no wait of
    // the next command.
    elapsed.start();
    QCOMPARE(service->readParameter(1, ParamId, value), 0);
    QCOMPARE(value, 3650);
    QVERIFY(elapsed.elapsed() < 900);
    QCOMPARE(service->deviceRecord(1).parameterValues.at(0), 3650);
}

void TestE2eReplies::strayDeviceNumbersAreIgnored()
{
    SimProcess sim;
    QVERIFY(sim.start({ "--packs", "11", "--stray-packs", "28,30,255" }));
    const std::unique_ptr<CanService> service = E2e::serviceOn(sim);
    QVERIFY(service);
    m_log->clear();
    SignalValues *store = SignalValues::instance();
    QTRY_VERIFY_WITH_TIMEOUT(E2e::status(11) != 3, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(
        m_log->count(QStringLiteral("PC time sync to device success: 11 ")), 1, 3000);

    // A few seconds of their broadcasts: none is a battery, nothing of theirs is kept.
    QElapsedTimer elapsed;
    elapsed.start();
    QTest::qWait(2000);
    for (uchar devId : store->knownDevices())
        QVERIFY2(devId < BatteryBank::DeviceCount, qPrintable(QString::number(devId)));
    for (int devId : { 28, 30, 255 })
        QVERIFY(!store->value(devId, Signal::SysStatus).isValid());
    QCOMPARE(m_log->count(QStringLiteral("PC time sync to device success")), 1);

    // Asked directly, number 30 answers: the wait ends, but there is no record to fill.
    int value = 0;
    QCOMPARE(service->readParameter(30, ParamId, value), -2);
    QDateTime clock;
    QCOMPARE(service->readDeviceTime(30, clock), -2);
    QCOMPARE(service->readParameter(11, ParamId, value), 0);
    QCOMPARE(value, 3650);

    // Noted in the log, at most once a second for each number.
    const int seconds = int(elapsed.elapsed() / 1000) + 1;
    for (int devId : { 28, 30, 255 }) {
        const int lines
            = m_log->count(QStringLiteral("recv too large slave number: %1 ").arg(devId));
        QVERIFY2(lines >= 1 && lines <= seconds + 1, qPrintable(QString::number(lines)));
    }
}

QTEST_GUILESS_MAIN(TestE2eReplies)
#include "tst_e2e_replies.moc"
