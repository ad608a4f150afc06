// bmsctl flash against bms-sim: an image over CAN taken by every battery, one over the serial
// boot loader taken by the battery on the cable, a battery kept out of its boot loader that
// --expect names (the flash stops before the erase; without it, the battery is left out),
// batteries left in their boot loaders by a failure or a killed flash and brought back by the
// next, the images and command lines refused (or only checked, --check) before anything
// is sent, Ctrl-C, which abandons an upgrade at once only before the erase, and a flash started
// while another runs, which does not start.

#include "support/parameterset.h"
#include "support/simprocess.h"
#include "support/testfirmware.h"

#include "bmsctlrun.h"
#include "cli/idlist.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

class TestBmsctlFlash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void everyBatteryTakesAnImageOverCan();
    void checkedOrRefusedBeforeAnythingIsSent_data();
    void checkedOrRefusedBeforeAnythingIsSent();
    void theBatteryOnTheCableTakesAnImageOverSerial();
    void anExpectedBatteryOutsideItsBootLoaderFails();
    void ctrlCAfterTheEraseOnlyWarns_data();
    void ctrlCAfterTheEraseOnlyWarns();
    void batteriesOutOfStepWithTheBootRequest_data();
    void batteriesOutOfStepWithTheBootRequest();
    void aFlashWhileAnotherRunsDoesNotStart();

private:
    static QString busOf(SimProcess &sim) { return "virtualcan:" + sim.interfaceName(); }
    QString write(const QString &name, const QByteArray &content) const
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return QString();
        return file.fileName();
    }
    static QJsonObject batteryOf(const BmsctlRun &run, int devId)
    {
        const QJsonArray batteries
            = QJsonDocument::fromJson(run.out.toUtf8()).object().value("batteries").toArray();
        for (const QJsonValue &battery : batteries) {
            if (battery.toObject().value("id").toInt() == devId)
                return battery.toObject();
        }
        return QJsonObject();
    }

    QTemporaryDir m_dir;
    // Three batteries whose boot loaders take every good image; it prints what it hears.
    SimProcess m_bank;
    // The first battery's serial boot loader, and a second battery kept out of its boot loader.
    SimProcess m_bench;
    // A battery whose boot loader never answers: an upgrade stays at its request.
    SimProcess m_deaf;
};

void TestBmsctlFlash::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    QVERIFY2(m_bank.start({ "--packs", "1,2,3", "--verbose" }), m_bank.output().constData());
    QVERIFY2(m_bench.start({ "--packs", "1,2", "--uart", "--boot-silent", "--fault-packs", "2",
                 "--verbose" }),
        m_bench.output().constData());
    QVERIFY2(!m_bench.uartPath().isEmpty(), m_bench.output().constData());
    QVERIFY2(m_deaf.start({ "--packs", "1", "--boot-silent", "--verbose" }),
        m_deaf.output().constData());
}

void TestBmsctlFlash::cleanupTestCase()
{
    m_bank.stop();
    m_bench.stop();
    m_deaf.stop();
}

void TestBmsctlFlash::everyBatteryTakesAnImageOverCan()
{
    // 1 KiB in 32 records: about a third of a second at the data step's pace.
    const QString image
        = write("bms-v3.1.00.s19", TestFirmware::s19(1024, "ZK100\x07\x01", "ZK-BMS V3.1.00"));
    const BmsctlRun flash
        = BmsctlRun::run({ "flash", image, "--bus", busOf(m_bank), "--expect", "1-3", "--json" });
    QVERIFY2(flash.exitCode == 0, flash.said());
    // What the refused images below must not make it hear.
    QVERIFY(m_bank.output().contains("recv 0x0001ff00"));
    for (int devId : { 1, 2, 3 }) {
        const QJsonObject battery = batteryOf(flash, devId);
        QCOMPARE(battery.value("before").toString(), QStringLiteral("ZK-BMS V2.3.07"));
        QCOMPARE(battery.value("after").toString(), QStringLiteral("ZK-BMS V3.1.00"));
        QVERIFY(battery.value("runsImage").toBool());
        QVERIFY2(m_bank.output().contains(QByteArray("battery ") + QByteArray::number(devId)
                     + " left its boot loader with firmware ZK-BMS V3.1.00"),
            m_bank.output().right(2000).constData());
    }
}

void TestBmsctlFlash::checkedOrRefusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    // The fourth line's record checksum, its last byte, is one off.
    QByteArray broken = TestFirmware::s19(1024, "ZK100\x07\x01", "ZK-BMS V9.9.99");
    QList<QByteArray> lines = broken.split('\n');
    QByteArray &fourth = lines[3];
    const int checksumAt = fourth.size() - 3;
    fourth[checksumAt] = fourth.at(checksumAt) == '0' ? '1' : '0';
    broken = lines.join('\n');
    QTest::newRow("a record that does not verify")
        << QStringList { write("broken.s19", broken) } << 1
        << "broken.s19:4: record checksum mismatch; nothing sent";
    QTest::newRow("no such file") << QStringList { m_dir.filePath("gone.s19") } << 1
                                  << "gone.s19: no such file; nothing sent";
    const QString bin = write("bms.bin", TestFirmware::bin(600, "ZK100", "ZK-BMS V9.9.99"));
    QTest::newRow("a serial port that does not open") << QStringList { "--serial",
        m_dir.filePath("no-port"), bin } << 1 << "cannot open the serial port";
    QTest::newRow("a .bin over CAN") << QStringList { bin } << 2 << "give --serial PORT";
    QTest::newRow("--check, a good .s19")
        << QStringList { "--check", write("good.s19", TestFirmware::s19(1024, "ZK100", "V9")) } << 0
        << "32, each verified";
    QTest::newRow("--check, a good .bin") << QStringList { "--check", bin } << 0 << "600 bytes";
    const QByteArray image = TestFirmware::s19(1024, "ZK100", "ZK-BMS V9.9.99", "\n");
    QTest::newRow("--check, a record 128 MB past the rest") << QStringList {
        "--check", write("far.s19", image + SRecord { '3', 0x10000000, "far" }.toLine())
    } << 0 << "0x08000000-0x080003FF (1024 bytes), 0x10000000-0x10000002 (3 bytes)";
    QTest::newRow("an address loaded again with other data")
        << QStringList { write("overlap.s19", image + SRecord { '3', 0x08000100, "x" }.toLine()) }
        << 1 << "overlap.s19:35: loads 0x08000100 again with other data; nothing sent";
    QTest::newRow("an image too short for its version")
        << QStringList { write("short.s19", TestFirmware::s19(12, "ZK100", "ZK-BMS V9.9.99")) } << 1
        << "short.s19:2: the image does not hold all of the firmware version";
    QTest::newRow("--check, a record that does not verify") << QStringList { "--check",
        m_dir.filePath("broken.s19") } << 1 << "broken.s19:4: record checksum mismatch";
}

void TestBmsctlFlash::checkedOrRefusedBeforeAnythingIsSent()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QByteArray request = "recv 0x0001ff00";
    const int requestsBefore = m_bank.output().count(request);

    const BmsctlRun flash
        = BmsctlRun::run(QStringList { "flash", "--bus", busOf(m_bank) } + arguments);
    QVERIFY2(flash.exitCode == exitCode, flash.said());
    QVERIFY2((flash.out + flash.err).contains(message), flash.said());
    QCOMPARE(m_bank.output().count(request), requestsBefore);
}

void TestBmsctlFlash::theBatteryOnTheCableTakesAnImageOverSerial()
{
    const QString image
        = write("bms-v3.0.01.bin", TestFirmware::bin(600, "ZK100", "ZK-BMS V3.0.01"));
    const BmsctlRun flash = BmsctlRun::run({ "flash", "--serial", m_bench.uartPath(), image,
        "--bus", busOf(m_bench), "--expect", "1", "--json" });
    QVERIFY2(flash.exitCode == 0, flash.said());
    QCOMPARE(batteryOf(flash, 1).value("after").toString(), QStringLiteral("ZK-BMS V3.0.01"));
    QVERIFY(batteryOf(flash, 1).value("runsImage").toBool());
    // The other battery is read back as it is.
    QCOMPARE(batteryOf(flash, 2).value("after").toString(), QStringLiteral("ZK-BMS V2.3.07"));
    QVERIFY(!batteryOf(flash, 2).value("runsImage").toBool());
}

void TestBmsctlFlash::anExpectedBatteryOutsideItsBootLoaderFails()
{
    // Battery 2 never enters its boot loader: the flash stops before the erase, battery 1 waits
    // in its boot loader with its flash intact.
    const QString image
        = write("bms-v3.2.00.s19", TestFirmware::s19(1024, "ZK100\x07\x01", "ZK-BMS V3.2.00"));
    const BmsctlRun flash
        = BmsctlRun::run({ "flash", image, "--bus", busOf(m_bench), "--expect", "1,2" });
    QVERIFY2(flash.exitCode == 1, flash.said());
    QVERIFY2(flash.err.contains("battery 2 (--expect) did not answer the boot request after 4 "
                                "tries: stopped before the erase, nothing erased")
            && flash.err.contains("battery 1 waits in its boot loader with intact flash"),
        flash.said());
    QVERIFY(!m_bench.output().contains("recv 0x00030000"));

    // Without battery 2 expected: named, left out, and it still runs what it ran; battery 1,
    // silent in its boot loader, counts as present and comes back with the image.
    const BmsctlRun again
        = BmsctlRun::run({ "flash", image, "--bus", busOf(m_bench), "--expect", "1", "--json" });
    QVERIFY2(again.exitCode == 0
            && again.err.contains(
                "battery 2 did not answer the boot request: left out, it keeps its firmware"),
        again.said());
    QCOMPARE(batteryOf(again, 1).value("after").toString(), QStringLiteral("ZK-BMS V3.2.00"));
    QCOMPARE(batteryOf(again, 2).value("after").toString(), QStringLiteral("ZK-BMS V2.3.07"));
}

void TestBmsctlFlash::ctrlCAfterTheEraseOnlyWarns_data()
{
    QTest::addColumn<bool>("deaf"); // m_deaf: its boot loader never answers, no erase follows
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("times");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString warning = "interrupt again (Ctrl-C) to abandon it anyway";
    QTest::newRow("Ctrl-C after the erase") << false << SIGINT << 1 << 0 << warning;
    QTest::newRow("SIGTERM after the erase") << false << SIGTERM << 1 << 0 << warning;
    QTest::newRow("Ctrl-C twice after the erase")
        << false << SIGINT << 2 << 1 << "abandoned after the erase";
    QTest::newRow("Ctrl-C before the erase") << true << SIGINT << 1 << 1 << "nothing erased";
}

void TestBmsctlFlash::ctrlCAfterTheEraseOnlyWarns()
{
    QFETCH(bool, deaf);
    QFETCH(int, signal);
    QFETCH(int, times);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    // 8 KiB: over two seconds of data after the erase.
    const QString image
        = write("bms-v3.3.00.s19", TestFirmware::s19(8192, "ZK100\x07\x01", "ZK-BMS V3.3.00"));
    SimProcess &sim = deaf ? m_deaf : m_bank;
    const QByteArray step = deaf ? "recv 0x0001ff00" : "recv 0x00030000";
    const int before = sim.output().count(step);
    QList<BmsctlRun::Interrupt> interrupts {
        { [&](const QString &) { return sim.output().count(step) > before; }, signal }
    };
    if (times == 2)
        interrupts.append({ [](const QString &err) { return err.contains("anyway"); }, signal });
    const BmsctlRun flash = BmsctlRun::run({ "flash", image, "--bus", busOf(sim) }, interrupts);
    QVERIFY2(flash.exitCode == exitCode && flash.err.contains(message), flash.said());
}

void TestBmsctlFlash::batteriesOutOfStepWithTheBootRequest_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<bool>("killedInTheDataStep");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("thenExpect"); // a second flash's --expect, which must succeed

    QTest::newRow("a refused record: the battery left in its boot loader is named")
        << QStringList { "--packs", "1,2", "--boot-refuse", "data", "--fault-packs", "2" } << false
        << 1
        << "battery 2 waits in its boot loader with erased or half-written flash: sending the "
           "image again brings it back"
        << QString();
    // Battery 1 answers the request well, battery 2 refuses it: the upgrade ends there, with
    // battery 1 in its boot loader, which is not waited for.
    QTest::newRow("a refused boot request: the battery that answered it is named")
        << QStringList { "--packs", "1,2", "--boot-refuse", "request", "--fault-packs", "2" }
        << false << 1
        << "battery 1 waits in its boot loader with intact flash: sending the image again brings "
           "it back"
        << QString();
    QTest::newRow("killed in the data step: the flash sent again brings every battery back")
        << QStringList { "--packs", "1,2,3" } << true << -1 << QString() << "1-3";
}

void TestBmsctlFlash::batteriesOutOfStepWithTheBootRequest()
{
    QFETCH(QStringList, simArguments);
    QFETCH(bool, killedInTheDataStep);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QString, thenExpect);
    SimProcess sim;
    QVERIFY2(sim.start(simArguments + QStringList { "--verbose" }), sim.output().constData());
    // 4 KiB: over a second of data, time enough to be killed in the middle.
    const QString image
        = write("bms-v3.4.00.s19", TestFirmware::s19(4096, "ZK100\x07\x01", "ZK-BMS V3.4.00"));
    const QStringList flash = { "flash", image, "--bus", busOf(sim), "--json" };

    QElapsedTimer dataStep;
    const auto halfASecondIntoTheData = [&](const QString &) {
        if (!dataStep.isValid() && sim.output().contains("recv 0x00030000"))
            dataStep.start();
        return dataStep.isValid() && dataStep.elapsed() > 500;
    };
    const BmsctlRun first = BmsctlRun::run(flash + QStringList { "--expect", "1,2" },
        killedInTheDataStep ? QList<BmsctlRun::Interrupt> { { halfASecondIntoTheData, SIGKILL } }
                            : QList<BmsctlRun::Interrupt> {});
    QVERIFY2(first.exitCode == exitCode && first.err.contains(message), first.said());
    QVERIFY(sim.output().contains("recv 0x00030000") == !message.contains("intact"));
    if (thenExpect.isEmpty())
        return;

    const BmsctlRun again = BmsctlRun::run(flash + QStringList { "--expect", thenExpect });
    QVERIFY2(again.exitCode == 0, again.said());
    QList<int> expected;
    QString error;
    QVERIFY(IdList::parse(thenExpect, &expected, &error));
    for (int devId : expected) {
        QCOMPARE(batteryOf(again, devId).value("after").toString(), "ZK-BMS V3.4.00");
        QVERIFY(!batteryOf(again, devId).value("leftInBootLoader").toBool());
    }
}

void TestBmsctlFlash::aFlashWhileAnotherRunsDoesNotStart()
{
    // 16 KiB: over five seconds of data, the second flash's whole listening time.
    const QString image
        = write("bms-v3.5.00.s19", TestFirmware::s19(16384, "ZK100\x07\x01", "ZK-BMS V3.5.00"));
    const int erases = m_bank.output().count("recv 0x00030000");
    QProcess first;
    first.start(QStringLiteral(BMSCTL_PATH), { "flash", image, "--bus", busOf(m_bank) });
    QVERIFY(
        QTest::qWaitFor([&] { return m_bank.output().count("recv 0x00030000") > erases; }, 20000));

    const BmsctlRun second = BmsctlRun::run({ "flash", image, "--bus", busOf(m_bank) });
    QVERIFY2(second.exitCode == 1
            && second.err.contains("another host is upgrading on this bus: heard 0x")
            && second.err.contains("; not started"),
        second.said());
    // Nothing of the second reached the bus: the first goes on undisturbed.
    QVERIFY(QTest::qWaitFor([&] { return first.state() == QProcess::NotRunning; }, 60000));
    QVERIFY2(first.exitCode() == 0, first.readAllStandardError().constData());
    QCOMPARE(m_bank.output().count("recv 0x00030000"), erases + 1);
}

QTEST_GUILESS_MAIN(TestBmsctlFlash)
#include "tst_bmsctl_flash.moc"
