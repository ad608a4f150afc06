#include "e2efixture.h"

#include "support/testfirmware.h"
#include "upgrade/uartservice.h"

#include <QSignalSpy>

// bms-sim --boot-refuse STEP, for each step of the serial upgrade: the upgrade stops at that
// step with a failure, and the battery keeps its firmware.
class TestE2eUartRefusals : public QObject
{
    Q_OBJECT

private slots:
    void refusedStepEndsTheUpgrade_data();
    void refusedStepEndsTheUpgrade();
};

void TestE2eUartRefusals::refusedStepEndsTheUpgrade_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text");
    QTest::newRow("version") << "version" << int(UartService::USUS_CHECK_BOOT_VERSION)
                             << "the boot loader's revision  does not match the image's ZK100.";
    QTest::newRow("prepare") << "prepare" << int(UartService::USUS_PREPARE_UPGRADE)
                             << "refused by the boot loader at state: 3.";
    QTest::newRow("start") << "start" << int(UartService::USUS_SEND_START_FRAME)
                           << "refused by the boot loader at state: 4.";
    QTest::newRow("data") << "data" << int(UartService::USUS_SEND_FILE_DATA)
                          << "refused by the boot loader at state: 5.";
    QTest::newRow("end") << "end" << int(UartService::USUS_SEND_END_FRAME)
                         << "refused by the boot loader at state: 6.";
    QTest::newRow("crc") << "crc" << int(UartService::USUS_SEND_CRC)
                         << "refused by the boot loader at state: 7.";
}

void TestE2eUartRefusals::refusedStepEndsTheUpgrade()
{
    QFETCH(QString, step);
    QFETCH(int, state);
    QFETCH(QString, text);
    SimProcess sim;
    QVERIFY(sim.start({ "--packs", "1", "--uart", "--boot-refuse", step }));
    UartService service;
    QSignalSpy result(&service, &UartService::upgradeResult);
    QSignalSpy states(&service, &UartService::newState);
    service.startUpgrading(sim.uartPath(), TestFirmware::bin(1000, "ZK100", "ZK-BMS V3.1.00"));
    QVERIFY2(result.wait(10000), sim.output().constData());
    QCOMPARE(result.at(0).at(0).toBool(), false);
    QStringList texts;
    for (const QList<QVariant> &arguments : qAsConst(states))
        texts << arguments.at(0).toString();
    QVERIFY2(texts.contains(text), qPrintable(texts.join(QLatin1Char('|'))));
    QCOMPARE(texts.last(), QStringLiteral("stop upgrading at state: %1").arg(state));
    QVERIFY(!sim.output().contains("took an image"));
}

QTEST_GUILESS_MAIN(TestE2eUartRefusals)
#include "tst_e2e_uartrefusals.moc"
