#include "e2efixture.h"

#include <QSignalSpy>

// A battery that falls silent goes offline, and comes back with its clock set again.
class TestE2eOffline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void silentBatteryGoesOfflineAndComesBack();

private:
    SimProcess m_sim;
};

void TestE2eOffline::initTestCase()
{
    QVERIFY(E2e::startAndOpen(m_sim,
        { "--packs", "5,6", "--fault-packs", "5", "--silent-after", "3", "--silent-for", "6" }));
    QVERIFY(E2e::waitForDevices({ 5, 6 }));
}

void TestE2eOffline::silentBatteryGoesOfflineAndComesBack()
{
    SignalValues *store = SignalValues::instance();
    CanService *service = CanService::instance();
    QTRY_VERIFY_WITH_TIMEOUT(E2e::status(5) != 3, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!service->isRtcSyncPending(5), 5000);

    // Battery 5 falls silent three seconds after the simulator started: its life counter stands
    // while battery 6's, which moves every 200 ms, changes three times.
    const auto lifeCounter
        = [store](int devId) { return store->value(devId, Signal::LifeCounter).toUInt(); };
    const auto lifeCounterStands = [&] {
        const uint before = lifeCounter(5);
        for (int change = 0; change < 3; ++change) {
            const uint other = lifeCounter(6);
            if (!QTest::qWaitFor([&] { return lifeCounter(6) != other; }, 2000))
                return false;
        }
        return before == lifeCounter(5);
    };
    QVERIFY(QTest::qWaitFor(lifeCounterStands, 8000));

    // Ten ticks of the offline timer without a life-counter change, then the offline status.
    // The ticks are driven here, faster than the timer's own, each after a new life counter of
    // battery 6 has been served, so that battery 6 stays online.
    for (int tick = 0; tick <= SignalValues::StaleTicks; ++tick) {
        store->OnTimerTimeout();
        const uint other = lifeCounter(6);
        QTRY_VERIFY(lifeCounter(6) != other);
    }
    QCOMPARE(E2e::status(5), 3);
    QVERIFY(E2e::status(6) != 3);

    // Silence ends; the moving life counter and the next status frame bring it back.
    QSignalSpy reconnects(store, &SignalValues::deviceReconnect);
    QTRY_VERIFY_WITH_TIMEOUT(E2e::status(5) != 3, 10000);
    QVERIFY(reconnects.contains({ QVariant::fromValue(uchar(5)) }));
    // Coming back online queues it for a clock setting, which the service then does.
    QTRY_VERIFY_WITH_TIMEOUT(!service->isRtcSyncPending(5), 5000);
}

QTEST_GUILESS_MAIN(TestE2eOffline)
#include "tst_e2e_offline.moc"
