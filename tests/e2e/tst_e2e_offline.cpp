#include "e2efixture.h"

#include "support/capturedestination.h"

#include <QElapsedTimer>
#include <QSignalSpy>

// A battery that falls silent (bms-sim --silent-after/--silent-for) beside one that keeps
// talking. A short silence costs only the commands sent during it; a long one takes the battery
// offline, and it comes back with its moving life counter and gets its clock set again. Each
// case has a simulator and a service of its own, and batteries of its own in the shared store.
class TestE2eOffline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void silentBattery_data();
    void silentBattery();

private:
    QSharedPointer<CaptureDestination> m_log;
};

void TestE2eOffline::initTestCase()
{
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    m_log = CaptureDestination::attach();
    // The frame transcript is not what these cases look at.
    QsLogging::Logger::instance().setLoggingLevel(QsLogging::InfoLevel);
}

void TestE2eOffline::cleanupTestCase()
{
    CaptureDestination::detach(m_log);
}

void TestE2eOffline::silentBattery_data()
{
    QTest::addColumn<int>("silent"); // the battery that falls silent
    QTest::addColumn<int>("talking"); // its neighbour, which never does
    QTest::addColumn<int>("silentForS");
    QTest::addColumn<bool>("goesOffline");
    QTest::newRow("3 s: stays online, its clock is not set again") << 5 << 6 << 3 << false;
    QTest::newRow("15 s: offline, then back online with its clock set again")
        << 7 << 8 << 15 << true;
}

void TestE2eOffline::silentBattery()
{
    QFETCH(int, silent);
    QFETCH(int, talking);
    QFETCH(int, silentForS);
    QFETCH(bool, goesOffline);
    const int silentAfterS = 3;

    SimProcess sim;
    QVERIFY(sim.start({ "--packs", QStringLiteral("%1,%2").arg(silent).arg(talking),
        "--fault-packs", QString::number(silent), "--silent-after", QString::number(silentAfterS),
        "--silent-for", QString::number(silentForS) }));
    const std::unique_ptr<CanService> service = E2e::serviceOn(sim);
    QVERIFY(service);
    SignalValues *store = SignalValues::instance();
    const QString clockSet = QStringLiteral("PC time sync to device success: %1 ").arg(silent);

    // Online, and its clock set, before the silence begins.
    QTRY_VERIFY_WITH_TIMEOUT(E2e::status(silent) != 3 && E2e::status(talking) != 3, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(m_log->count(clockSet), 1, 3000);
    QVERIFY(!service->isRtcSyncPending(silent));

    // Watch the status and the reconnects from here on, every 100 ms.
    QSignalSpy reconnects(store, &SignalValues::deviceReconnect);
    bool seenOffline = false;
    bool neighbourOffline = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        seenOffline = seenOffline || E2e::status(silent) == 3;
        neighbourOffline = neighbourOffline || E2e::status(talking) == 3;
    });
    watch.start(100);

    const auto lifeCounterStands = [store, silent] {
        const uint before = store->value(silent, Signal::LifeCounter).toUInt();
        QTest::qWait(500);
        return before == store->value(silent, Signal::LifeCounter).toUInt();
    };
    QVERIFY(QTest::qWaitFor(lifeCounterStands, silentAfterS * 1000 + 3000));
    QElapsedTimer silence;
    silence.start();

    // During the silence a command to it finds no reply; its neighbour answers as ever.
    int value = 0;
    QCOMPARE(service->readParameter(uchar(silent), 1, value), -1);
    QCOMPARE(service->readParameter(uchar(talking), 1, value), 0);
    QCOMPARE(value, 3650);

    if (goesOffline) {
        // The eleventh tick of the store's own timer without a life-counter change.
        QTRY_VERIFY_WITH_TIMEOUT(E2e::status(silent) == 3, 13000);
        QVERIFY2(silence.elapsed() >= 9000, qPrintable(QString::number(silence.elapsed())));
    }
    const auto lifeCounterMoves = [store, silent] {
        const uint before = store->value(silent, Signal::LifeCounter).toUInt();
        QTest::qWait(300);
        return before != store->value(silent, Signal::LifeCounter).toUInt();
    };
    QVERIFY(QTest::qWaitFor(lifeCounterMoves, silentForS * 1000 + 3000));
    QTRY_VERIFY_WITH_TIMEOUT(E2e::status(silent) != 3, 2000);

    QCOMPARE(seenOffline, goesOffline);
    QVERIFY(!neighbourOffline);
    const bool reconnected = reconnects.contains({ QVariant::fromValue(uchar(silent)) });
    QCOMPARE(reconnected, goesOffline);
    // Back online means a clock setting, which the service then does; a battery that never went
    // offline keeps its clock.
    if (goesOffline)
        QTRY_COMPARE_WITH_TIMEOUT(m_log->count(clockSet), 2, 5000);
    else
        QTest::qWait(1500);
    QCOMPARE(m_log->count(clockSet), goesOffline ? 2 : 1);
    QVERIFY(!service->isRtcSyncPending(silent));
    QDateTime clock;
    QCOMPARE(service->readDeviceTime(uchar(silent), clock), 0);
    QVERIFY2(qAbs(clock.secsTo(QDateTime::currentDateTime())) <= 2, qPrintable(clock.toString()));
    QCOMPARE(service->readParameter(uchar(silent), 1, value), 0);
}

QTEST_GUILESS_MAIN(TestE2eOffline)
#include "tst_e2e_offline.moc"
