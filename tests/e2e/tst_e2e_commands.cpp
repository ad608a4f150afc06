#include "e2efixture.h"

#include "records/historyrecordcodec.h"

#include <QDateTime>
#include <QSignalSpy>

// Four batteries played by bms-sim; the program's service and store against them.
class TestE2eCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void batteriesAreDiscoveredAndDecoded();
    void everyBatteryGetsItsClockSet();
    void identityStringsAreWrittenAndReadBack();
    void firmwareVersionIsRead();
    void parametersRoundTripThroughTheirOffsets_data();
    void parametersRoundTripThroughTheirOffsets();
    void relayFollowsTheRelayCommand();
    void historyLogIsReadOutWholeWithGoodCrcs();

private:
    SimProcess m_sim;
};

void TestE2eCommands::initTestCase()
{
    QVERIFY(E2e::startAndOpen(m_sim, { "--packs", "1,2,3,12", "--speed", "60" }));
    QVERIFY2(E2e::waitForDevices({ 1, 2, 3, 12 }), m_sim.output().constData());
}

void TestE2eCommands::cleanupTestCase()
{
    CanService::instance()->closeService();
    m_sim.stop();
}

void TestE2eCommands::batteriesAreDiscoveredAndDecoded()
{
    for (int devId : { 1, 2, 3, 12 }) {
        // Online once a status frame has been accepted.
        QTRY_VERIFY_WITH_TIMEOUT(E2e::status(devId) != 3, 5000);
        SignalValues *store = SignalValues::instance();
        const float packVoltage = store->value(devId, Signal::SumVolt).toFloat();
        QVERIFY2(
            packVoltage > 40.0f && packVoltage < 60.0f, qPrintable(QString::number(packVoltage)));
        // Cell voltages come every half second.
        QTRY_VERIFY_WITH_TIMEOUT(store->value(devId, Signal::Volt16).toFloat() > 2.5f, 2000);
        const float cell = store->value(devId, Signal::Volt1).toFloat();
        QVERIFY2(cell > 2.5f && cell < 3.8f, qPrintable(QString::number(cell)));
        QCOMPARE(store->value(devId, Signal::RatedCapacity).toFloat(), 100.0f);
        const int temperature = store->value(devId, Signal::Temp1).toInt();
        QVERIFY(temperature > 0 && temperature < 60);
        QTRY_VERIFY_WITH_TIMEOUT(store->value(devId, Signal::LifeCounter).toUInt() > 0, 2000);
    }
    QVERIFY(!SignalValues::instance()->knownDevices().contains(0));
}

void TestE2eCommands::everyBatteryGetsItsClockSet()
{
    for (uchar devId : { 1, 2, 3, 12 }) {
        QTRY_VERIFY_WITH_TIMEOUT(!CanService::instance()->isRtcSyncPending(devId), 10000);
        QDateTime clock;
        QCOMPARE(CanService::instance()->readDeviceTime(devId, clock), 0);
        // The simulator starts its clocks in 2021; the service set them to the PC's time.
        QVERIFY2(
            qAbs(clock.secsTo(QDateTime::currentDateTime())) <= 5, qPrintable(clock.toString()));
    }
}

void TestE2eCommands::identityStringsAreWrittenAndReadBack()
{
    CanService *service = CanService::instance();
    QCOMPARE(service->writeBatteryCode(2, "QM20210520001"), 0);
    QCOMPARE(service->writeModelCode(2, "ZK-LFP-16S100AH-B"), 0);
    QByteArray battery;
    QByteArray model;
    QCOMPARE(service->readBatteryCode(2, battery), 0);
    QCOMPARE(service->readModelCode(2, model), 0);
    QCOMPARE(battery, QByteArray("QM20210520001").leftJustified(32, '\0'));
    QCOMPARE(model, QByteArray("ZK-LFP-16S100AH-B").leftJustified(32, '\0'));

    // The other batteries keep their own.
    QByteArray other;
    QCOMPARE(service->readBatteryCode(3, other), 0);
    QVERIFY(other != battery);
}

void TestE2eCommands::firmwareVersionIsRead()
{
    QByteArray version;
    QCOMPARE(CanService::instance()->readFirmwareVersion(12, version), 0);
    QCOMPARE(version.size(), 15);
    QVERIFY(version.startsWith("ZK-BMS V"));
}

void TestE2eCommands::parametersRoundTripThroughTheirOffsets_data()
{
    QTest::addColumn<int>("paramId");
    QTest::addColumn<int>("value");
    QTest::newRow("cell over-charge alarm, mV") << 1 << 3600;
    QTest::newRow("charge high temperature, offset 40") << 37 << 48;
    QTest::newRow("discharge low temperature below zero, offset 40") << 55 << -15;
    QTest::newRow("SOC setting") << 74 << 65;
}

void TestE2eCommands::parametersRoundTripThroughTheirOffsets()
{
    QFETCH(int, paramId);
    QFETCH(int, value);
    CanService *service = CanService::instance();
    QCOMPARE(service->writeParameter(3, uchar(paramId), value), 0);
    int readBack = 0;
    QCOMPARE(service->readParameter(3, uchar(paramId), readBack), 0);
    QCOMPARE(readBack, value);
}

void TestE2eCommands::relayFollowsTheRelayCommand()
{
    SignalValues *store = SignalValues::instance();
    QCOMPARE(CanService::instance()->setRelay(1, 1, 0), 0); // charge relay off
    QTRY_COMPARE_WITH_TIMEOUT(store->value(1, Signal::ChargeRelay).toUInt(), 0u, 3000);
    QCOMPARE(CanService::instance()->setRelay(1, 1, 1), 0);
    QTRY_COMPARE_WITH_TIMEOUT(store->value(1, Signal::ChargeRelay).toUInt(), 1u, 3000);
}

void TestE2eCommands::historyLogIsReadOutWholeWithGoodCrcs()
{
    CanService *service = CanService::instance();
    uint count = 0;
    QCOMPARE(service->readHistoryEventCount(12, count), 0);
    QVERIFY2(count >= 20, qPrintable(QString::number(count)));

    QSignalSpy records(service, &CanService::newData);
    QCOMPARE(service->startHistoryEventTransfer(12), 0);
    QTRY_VERIFY_WITH_TIMEOUT(uint(records.size()) >= count, 15000);
    QCOMPARE(uint(records.size()), count);
    for (const QList<QVariant> &record : qAsConst(records)) {
        QCOMPARE(record.at(0).value<uchar>(), uchar(12));
        const QByteArray data = record.at(1).toByteArray();
        QCOMPARE(data.size(), HistoryRecordCodec::Size);
        QVERIFY(HistoryRecordCodec::hasValidChecksum(data));
        QCOMPARE(int(HistoryRecordCodec::devIdOf(data)), 12);
    }
    QCOMPARE(service->stopHistoryEventTransfer(12), 0);
}

QTEST_GUILESS_MAIN(TestE2eCommands)
#include "tst_e2e_commands.moc"
