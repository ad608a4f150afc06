#include "e2efixture.h"

#include "support/capturedestination.h"
#include "support/testfirmware.h"

#include "can/canbusfactory.h"
#include "upgrade/imageversion.h"

#include <QSignalSpy>

// The essential runs on each kind of adapter, against bms-sim: Qt's virtual bus, and a
// serial-line (slcan) adapter that the simulator plays on a pseudo-terminal. Four batteries
// broadcast their live values, answer a command, and take a firmware image over CAN.
class TestE2eAdapters : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void essentialRuns_data();
    void essentialRuns();
    void slcanAdapterFaultsAreReported_data();
    void slcanAdapterFaultsAreReported();

private:
    QSharedPointer<CaptureDestination> m_log;
};

void TestE2eAdapters::initTestCase()
{
    m_log = CaptureDestination::attach();
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
}

void TestE2eAdapters::essentialRuns_data()
{
    QTest::addColumn<bool>("slcan");
    QTest::newRow("virtualcan") << false;
    QTest::newRow("slcan") << true;
}

void TestE2eAdapters::essentialRuns()
{
    QFETCH(bool, slcan);
    const QList<uchar> packs { 1, 2, 3, 4 };
    SimProcess sim;
    QStringList arguments { "--packs", "1,2,3,4" };
    if (slcan)
        arguments << "--slcan";
    QVERIFY2(sim.start(arguments), sim.output().constData());
    const CanBusConfig config = slcan
        ? CanBusConfig(CanBusConfig::slcanPlugin(), sim.slcanPath())
        : CanBusConfig(CanBusConfig::defaultPlugin(), sim.interfaceName());
    std::unique_ptr<CanService> service(
        new CanService(new CanDevice(CanBusFactory::create(config)), new CanUpgrade));
    QVERIFY2(E2e::openBus(*service) == 0 || E2e::openBus(*service) == 0, sim.output().constData());

    // Live values: every battery's life counter moves.
    SignalValues *store = SignalValues::instance();
    QVERIFY(E2e::waitForDevices(packs));
    for (uchar devId : packs) {
        const uint life = store->value(devId, Signal::LifeCounter).toUInt();
        QTRY_VERIFY_WITH_TIMEOUT(store->value(devId, Signal::LifeCounter).toUInt() != life, 3000);
    }

    // A command and its reply.
    QByteArray version;
    QCOMPARE(service->readFirmwareVersion(3, version), 0);
    QVERIFY(version.startsWith("ZK-BMS"));

    // A firmware image to all four over CAN.
    // The version field holds 15 characters.
    const QByteArray release = slcan ? "V7.7.1-SLCAN001" : "V7.7.1-VIRTCAN1";
    const TestFirmware::CanUpgradeInputs image
        = TestFirmware::canUpgradeInputs(TestFirmware::s19(2048, "ZK100\x07\x01", release));
    QSignalSpy finished(service.get(), &CanService::upgradeFinished);
    QCOMPARE(service->startUpgrading(image.s19Data, image.chkSum, image.bootVersion), 0);
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    for (uchar devId : packs) {
        QCOMPARE(service->readFirmwareVersion(devId, version), 0);
        QCOMPARE(version, release);
    }
    service->closeService();
}

void TestE2eAdapters::slcanAdapterFaultsAreReported_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("logged");
    QTest::newRow("refuses the bit rate") << "refuse" << false << "the adapter refused S5";
    QTest::newRow("drops characters") << "drop" << true << "sent a line that is no slcan";
    QTest::newRow("goes away mid-line") << "hangup" << true << "CanDevice: lost the adapter";
}

void TestE2eAdapters::slcanAdapterFaultsAreReported()
{
    QFETCH(QString, fault);
    QFETCH(bool, opens);
    QFETCH(QString, logged);
    SimProcess sim;
    QVERIFY2(sim.start({ "--packs", "1,2,3,4", "--slcan-fault", fault }), sim.output().constData());
    m_log->clear();
    std::unique_ptr<CanService> service(
        new CanService(new CanDevice(CanBusFactory::create(
                           CanBusConfig(CanBusConfig::slcanPlugin(), sim.slcanPath()))),
            new CanUpgrade));
    QCOMPARE(E2e::openBus(*service) == 0, opens);
    // Within the 200 lines after which the adapter hangs up, or the 50 of a dropped character.
    QTRY_VERIFY_WITH_TIMEOUT(m_log->count(logged) > 0, 5000);
    service->closeService();
}

QTEST_GUILESS_MAIN(TestE2eAdapters)
#include "tst_e2e_adapters.moc"
