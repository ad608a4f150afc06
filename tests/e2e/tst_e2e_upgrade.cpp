#include "e2efixture.h"

#include "support/testfirmware.h"

#include "upgrade/imageversion.h"

#include <QRegularExpression>
#include <QSignalSpy>

// An image sent through the program's service to three batteries of bms-sim, on a bus with the
// capacity of 250 kbit/s: every battery takes it and reports the version it carries, also when
// an upgrade cut off in its data step is sent again, and the bus carried every frame.
class TestE2eUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyBatteryTakesTheImage();
    void anUpgradeCutOffIsRecoveredBySendingItAgain();
    void theBusCarriedEveryFrame();

private:
    SimProcess m_sim;
    TestFirmware::CanUpgradeInputs m_image;
};

void TestE2eUpgrade::initTestCase()
{
    QVERIFY(E2e::startAndOpen(m_sim, { "--packs", "1,2,3" }));
    QVERIFY2(E2e::waitForDevices({ 1, 2, 3 }), m_sim.output().constData());
    // 2 KiB in 64 records of 32 bytes: 640 slices, about 0.7 s at the data step's pace.
    m_image = TestFirmware::canUpgradeInputs(
        TestFirmware::s19(2048, "ZK100\x07\x01", "V7.7.7-E2E-TEST"));
    QCOMPARE(m_image.s19Data.size(), 64);
}

void TestE2eUpgrade::everyBatteryTakesTheImage()
{
    CanService *service = CanService::instance();
    QByteArray version;
    QCOMPARE(service->readFirmwareVersion(2, version), 0);
    QVERIFY(version.startsWith("ZK-BMS"));

    QSignalSpy finished(service, &CanService::upgradeFinished);
    QSignalSpy failures(service, &CanService::newUpgradeState);
    QSignalSpy progress(service, &CanService::upgradeProgress);
    QCOMPARE(service->startUpgrading(m_image.s19Data, m_image.chkSum, m_image.bootVersion), 0);
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(failures.count(), 0);
    QCOMPARE(progress.last().at(0).toInt(), 100);

    const QByteArray expected = ImageVersion::ofS19(m_image.s19Data);
    QCOMPARE(expected, QByteArray("V7.7.7-E2E-TEST"));
    for (uchar devId : { 1, 2, 3 }) {
        QCOMPARE(service->readFirmwareVersion(devId, version), 0);
        QCOMPARE(version, expected);
    }
    // Out of their boot loaders, they broadcast again.
    SignalValues *store = SignalValues::instance();
    const uint life = store->value(3, Signal::LifeCounter).toUInt();
    QTRY_VERIFY_WITH_TIMEOUT(store->value(3, Signal::LifeCounter).toUInt() != life, 2000);
}

void TestE2eUpgrade::anUpgradeCutOffIsRecoveredBySendingItAgain()
{
    CanService *service = CanService::instance();
    const TestFirmware::CanUpgradeInputs image = TestFirmware::canUpgradeInputs(
        TestFirmware::s19(2048, "ZK100\x07\x01", "V7.7.8-E2E-TEST"));
    QSignalSpy progress(service, &CanService::upgradeProgress);
    QCOMPARE(service->startUpgrading(image.s19Data, image.chkSum, image.bootVersion), 0);
    // Cut off in the middle of the data, as when the laptop dies.
    QVERIFY(QTest::qWaitFor([&] { return progress.count() >= 20; }, 20000));
    service->stopUpgrading();

    QSignalSpy finished(service, &CanService::upgradeFinished);
    QSignalSpy collected(service, &CanService::bootAnswersCollected);
    QCOMPARE(service->startUpgrading(image.s19Data, image.chkSum, image.bootVersion), 0);
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(collected.at(0).at(0).value<QList<int>>(), QList<int>({ 1, 2, 3 }));
    for (uchar devId : { 1, 2, 3 }) {
        QByteArray version;
        QCOMPARE(service->readFirmwareVersion(devId, version), 0);
        QCOMPARE(version, QByteArray("V7.7.8-E2E-TEST"));
    }
}

void TestE2eUpgrade::theBusCarriedEveryFrame()
{
    CanService::instance()->closeService();
    m_sim.stop();
    const QString output = QString::fromUtf8(m_sim.output());
    const QRegularExpression summary(QStringLiteral(
        "bus summary: 250000 bit/s.*host offered (\\d+) dropped (\\d+); batteries offered (\\d+) "
        "dropped (\\d+)"));
    const QRegularExpressionMatch match = summary.match(output);
    QVERIFY2(match.hasMatch(), qPrintable(output.right(2000)));
    qInfo("%s", qPrintable(match.captured(0)));
    // Every slice, the other steps' frames and the commands went through.
    QVERIFY(match.captured(1).toInt() >= 640 + 4);
    QCOMPARE(match.captured(2).toInt(), 0);
    QVERIFY(match.captured(3).toInt() > 0);
    QCOMPARE(match.captured(4).toInt(), 0);
}

QTEST_GUILESS_MAIN(TestE2eUpgrade)
#include "tst_e2e_upgrade.moc"
