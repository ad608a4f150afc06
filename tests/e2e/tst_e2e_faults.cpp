#include "e2efixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

// Battery 2 never answers (the simulator drops all its replies); battery 1 answers normally.
class TestE2eFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void droppedRepliesGiveNoReplyAfterAboutASecond();
    void otherCommandsRunDuringTheWaitUndisturbed();
    void clockSyncKeepsRetryingTheSilentBattery();

private:
    SimProcess m_sim;
};

void TestE2eFaults::initTestCase()
{
    QVERIFY(E2e::startAndOpen(
        m_sim, { "--packs", "1,2", "--fault-packs", "2", "--drop-replies", "1" }));
    QVERIFY(E2e::waitForDevices({ 1, 2 }));
}

void TestE2eFaults::droppedRepliesGiveNoReplyAfterAboutASecond()
{
    QByteArray version;
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(CanService::instance()->readFirmwareVersion(2, version), -1);
    QVERIFY2(elapsed.elapsed() >= 950 && elapsed.elapsed() < 3000,
        qPrintable(QString::number(elapsed.elapsed())));
    int value = 0;
    QCOMPARE(CanService::instance()->readParameter(2, 1, value), -1);
    QCOMPARE(CanService::instance()->writeParameter(2, 1, 3600), -1);
}

void TestE2eFaults::otherCommandsRunDuringTheWaitUndisturbed()
{
    CanService *service = CanService::instance();
    int nestedResult = 1;
    QByteArray nestedVersion;
    // Fired from inside battery 2's wait, as a click or timer would be.
    QTimer::singleShot(200, [&] { nestedResult = service->readFirmwareVersion(1, nestedVersion); });
    QByteArray version;
    QCOMPARE(service->readBatteryCode(2, version), -1);
    QCOMPARE(nestedResult, 0);
    QVERIFY(nestedVersion.startsWith("ZK-BMS V"));

    int value = 0;
    QCOMPARE(service->readParameter(1, 37, value), 0);
    QCOMPARE(value, 50); // the shipped default, 90 on the wire with offset 40
}

void TestE2eFaults::clockSyncKeepsRetryingTheSilentBattery()
{
    CanService *service = CanService::instance();
    QTRY_VERIFY_WITH_TIMEOUT(!service->isRtcSyncPending(1), 10000);
    // Battery 2 is online (it broadcasts) but never acknowledges its clock: it stays queued.
    QVERIFY(E2e::status(2) != 3);
    QVERIFY(service->isRtcSyncPending(2));
    // Three more ticks of the clock-sync timer: each starts a pass or finds the last one still
    // waiting for battery 2, so at least one whole pass has asked it again meanwhile.
    auto *syncTimer = service->findChild<QTimer *>(QStringLiteral("rtcSyncTimer"));
    QVERIFY(syncTimer);
    QSignalSpy ticks(syncTimer, &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 3, 10000);
    QVERIFY(service->isRtcSyncPending(2));
}

QTEST_GUILESS_MAIN(TestE2eFaults)
#include "tst_e2e_faults.moc"
