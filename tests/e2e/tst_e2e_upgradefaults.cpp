#include "e2efixture.h"

#include "support/testfirmware.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <memory>

// Boot loaders of bms-sim that refuse a step, answer wrongly or never answer: the upgrade fails
// once, with the step's text (past the boot request: naming every battery that left, once all
// have), names the batteries it left in their boot loaders, and leaves the service idle. One that hears only a later boot request is waited for. Each case has a simulator of its own, and so a service of its own on that bus
// (the single instance stays on the first bus it opened).
class TestE2eUpgradeFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void failingBootLoader_data();
    void failingBootLoader();
};

void TestE2eUpgradeFaults::initTestCase()
{
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
}

void TestE2eUpgradeFaults::failingBootLoader_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minimumMs");
    QTest::addColumn<QList<int>>("left"); // named as left in their boot loaders
    const QList<int> none;
    const QList<int> both { 1, 2 };

    QTest::newRow("request refused") << QStringList { "--boot-refuse", "request" }
                                     << "failed at state: US_REQUEST_BOOT." << 0 << none;
    QTest::newRow("inquire refused") << QStringList { "--boot-refuse", "inquire" }
                                     << "2 of 2 batteries left the upgrade: battery 1 refused the "
                                        "inquire; battery 2 refused the inquire."
                                     << 0 << both;
    QTest::newRow("erase refused") << QStringList { "--boot-refuse", "erase" }
                                   << "2 of 2 batteries left the upgrade: battery 1 refused the "
                                      "erase; battery 2 refused the erase."
                                   << 0 << both;
    QTest::newRow("a record refused") << QStringList { "--boot-refuse", "data" }
                                      << "2 of 2 batteries left the upgrade: battery 1 refused the "
                                         "data; battery 2 refused the data."
                                      << 0 << both;
    QTest::newRow("finish refused") << QStringList { "--boot-refuse", "finish" }
                                    << "2 of 2 batteries left the upgrade: battery 1 refused the "
                                       "finish; battery 2 refused the finish."
                                    << 0 << both;
    // The boot version comes back with a byte changed.
    QTest::newRow("corrupt answers")
        << QStringList { "--boot-corrupt" } << "failed at state: US_REQUEST_BOOT." << 0 << none;
    // Four requests, 2 s apart.
    QTest::newRow("boot loader silent")
        << QStringList { "--boot-silent" } << "time out at state: US_REQUEST_BOOT." << 7500 << none;
    // Battery 2 hears the third request: about 4 s in; no failure, nobody left.
    QTest::newRow("a battery late to the boot request is waited for")
        << QStringList { "--boot-ignore-requests", "2", "--fault-packs", "2" } << QString() << 4000
        << none;
}

void TestE2eUpgradeFaults::failingBootLoader()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, text);
    QFETCH(int, minimumMs);
    QFETCH(QList<int>, left);

    SimProcess sim;
    QVERIFY(sim.start(QStringList { "--packs", "1,2" } + arguments));
    const std::unique_ptr<CanService> owned = E2e::serviceOn(sim);
    QVERIFY(owned);
    CanService &service = *owned;
    // Both online, hence expected to answer the boot request.
    QTRY_VERIFY_WITH_TIMEOUT(CanService::onlineDevices() == QList<int>({ 1, 2 }), 5000);

    const TestFirmware::CanUpgradeInputs image = TestFirmware::canUpgradeInputs(
        TestFirmware::s19(1024, "ZK100\x07\x01", "V7.7.7-E2E-TEST"));
    QSignalSpy finished(&service, &CanService::upgradeFinished);
    QSignalSpy failures(&service, &CanService::newUpgradeState);
    QSignalSpy leftInBootLoaders(&service, &CanService::leftInBootLoaders);
    QSignalSpy collected(&service, &CanService::bootAnswersCollected);
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(service.startUpgrading(image.s19Data, image.chkSum, image.bootVersion), 0);
    QVERIFY(finished.wait(15000));
    QVERIFY2(elapsed.elapsed() >= minimumMs, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(finished.at(0).at(0).toBool(), text.isEmpty());
    QCOMPARE(failures.isEmpty() ? QString() : failures.last().at(0).toString(), text);
    const int texts = failures.count();
    QCOMPARE(service.upgradeState(), CanService::US_IDLE);
    QCOMPARE(leftInBootLoaders.count(), int(!left.isEmpty()));
    if (!left.isEmpty())
        QCOMPARE(leftInBootLoaders.at(0).at(0).value<QList<int>>(), left);
    // Whoever answered the boot request was expected: nobody is missing.
    if (!collected.isEmpty())
        QCOMPARE(collected.at(0).at(1).value<QList<int>>(), QList<int>());
    // Answers still on their way change nothing.
    QVERIFY(!finished.wait(300));
    QCOMPARE(failures.count(), texts);
}

QTEST_GUILESS_MAIN(TestE2eUpgradeFaults)
#include "tst_e2e_upgradefaults.moc"
