#include "support/fakebootloader.h"
#include "support/testfirmware.h"
#include "upgrade/canupgrade.h"
#include "upgrade/uartservice.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

// Both upgrades as a caller sees them through UpgradeSession alone, once each has been started
// with its own inputs: each in a worker thread, reached by queued calls from this one.
class TestUpgradeSession : public QObject
{
    Q_OBJECT

private slots:
    void stopByNameEndsARunningSessionSilently_data();
    void stopByNameEndsARunningSessionSilently();
};

namespace {

// The session's step, read in its own thread.
int stepOf(UpgradeSession *session)
{
    int step = -1;
    QMetaObject::invokeMethod(
        session, [session] { return session->step(); }, Qt::BlockingQueuedConnection, &step);
    return step;
}

} // namespace

void TestUpgradeSession::stopByNameEndsARunningSessionSilently_data()
{
    QTest::addColumn<bool>("serial");
    QTest::newRow("over CAN") << false;
    QTest::newRow("over the serial port") << true;
}

void TestUpgradeSession::stopByNameEndsARunningSessionSilently()
{
    QFETCH(bool, serial);
    FakeBootLoader boot;
    boot.silence(0);
    auto *uart = serial ? new UartService : nullptr;
    auto *can = serial ? nullptr : new CanUpgrade;
    UpgradeSession *session = serial ? static_cast<UpgradeSession *>(uart) : can;
    QThread worker;
    session->moveToThread(&worker);
    worker.start();
    // The session goes with the thread's last deferred deletions.
    const auto finish = qScopeGuard([&] {
        session->deleteLater();
        worker.quit();
        worker.wait();
    });
    QSignalSpy results(session, &UpgradeSession::upgradeResult);
    QMetaObject::invokeMethod(
        session,
        [&] {
            if (uart)
                uart->startUpgrading(boot.portName(), TestFirmware::bin(100, "ZK100", "V3.0"));
            else
                can->start({ QStringLiteral("S5030003F9\r\n") }, 0, "ZK100", { 3 });
        },
        Qt::BlockingQueuedConnection);
    QTRY_VERIFY(stepOf(session) > 0);

    QVERIFY(QMetaObject::invokeMethod(session, "stop", Qt::BlockingQueuedConnection));
    QCOMPARE(stepOf(session), 0);
    QCOMPARE(results.count(), 0);
}

QTEST_GUILESS_MAIN(TestUpgradeSession)
#include "tst_upgradesession.moc"
