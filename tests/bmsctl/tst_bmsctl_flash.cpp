// bmsctl flash against bms-sim: an image over CAN taken by every battery, one over the serial
// boot loader taken by the battery on the cable, a battery kept out of its boot loader that
// --expect names, and the images and command lines refused before anything is sent.

#include "support/parameterset.h"
#include "support/simprocess.h"
#include "support/testfirmware.h"

#include "bmsctlrun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

class TestBmsctlFlash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void everyBatteryTakesAnImageOverCan();
    void refusedBeforeAnythingIsSent_data();
    void refusedBeforeAnythingIsSent();
    void theBatteryOnTheCableTakesAnImageOverSerial();
    void anExpectedBatteryOutsideItsBootLoaderFails();

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
};

void TestBmsctlFlash::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    QVERIFY2(m_bank.start({ "--packs", "1,2,3", "--verbose" }), m_bank.output().constData());
    QVERIFY2(m_bench.start({ "--packs", "1,2", "--uart", "--boot-silent", "--fault-packs", "2" }),
        m_bench.output().constData());
    QVERIFY2(!m_bench.uartPath().isEmpty(), m_bench.output().constData());
}

void TestBmsctlFlash::cleanupTestCase()
{
    m_bank.stop();
    m_bench.stop();
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

void TestBmsctlFlash::refusedBeforeAnythingIsSent_data()
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
}

void TestBmsctlFlash::refusedBeforeAnythingIsSent()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QByteArray request = "recv 0x0001ff00";
    const int requestsBefore = m_bank.output().count(request);

    const BmsctlRun flash
        = BmsctlRun::run(QStringList { "flash", "--bus", busOf(m_bank) } + arguments);
    QVERIFY2(flash.exitCode == exitCode, flash.said());
    QVERIFY2(flash.err.contains(message), flash.said());
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
    // Battery 2 never enters its boot loader; battery 1 takes the image for both.
    const QString image
        = write("bms-v3.2.00.s19", TestFirmware::s19(1024, "ZK100\x07\x01", "ZK-BMS V3.2.00"));
    const BmsctlRun flash
        = BmsctlRun::run({ "flash", image, "--bus", busOf(m_bench), "--expect", "1,2" });
    QVERIFY2(flash.exitCode == 1, flash.said());
    QVERIFY2(flash.out.contains("  ZK-BMS V3.2.00  runs the image\n")
            && flash.out.contains(" 2  ZK-BMS V2.3.07  ZK-BMS V2.3.07  FAILED: unchanged\n"),
        flash.said());
    QVERIFY2(flash.err.contains("battery 2 does not run the image's version ZK-BMS V3.2.00"),
        flash.said());
}

QTEST_GUILESS_MAIN(TestBmsctlFlash)
#include "tst_bmsctl_flash.moc"
