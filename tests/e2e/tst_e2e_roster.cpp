#include "e2efixture.h"

#include "support/testfirmware.h"

#include "ui/uifirmware.h"
#include "upgrade/firmwareimage.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace {

// bmsctl run as a user runs it, the test's event loop going on meanwhile.
struct BmsctlRun
{
    int exitCode = -1;
    QString out;
    QString err;

    QByteArray said() const
    {
        return QString("exit %1\n%2\n%3").arg(exitCode).arg(out, err).toUtf8();
    }
};

BmsctlRun runBmsctl(const QStringList &arguments)
{
    BmsctlRun run;
    QProcess process;
    process.start(QStringLiteral(BMSCTL_PATH), arguments);
    const bool ended = process.waitForStarted(5000)
        && QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 60000);
    if (!ended) {
        process.kill();
        process.waitForFinished(3000);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
    }
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

// Two batteries of bms-sim, the second of which refuses one step of the upgrade (and every step
// after it), sent an image by the firmware page and then by bmsctl flash: the second is named
// with the step it refused, the first finishes and runs the image, and the upgrade fails. The
// page shows FAILED with a line for each battery, bmsctl exits 1. When neither refuses, both
// finish, and the page reads their versions back. Each step has a simulator of
// its own on the same bus, which the single service closes and opens again; it is closed while
// bmsctl runs, whose upgrade would otherwise be heard as another host's.
class TestE2eRoster : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void aBatteryRefusesAStep_data();
    void aBatteryRefusesAStep();

private:
    SimProcess m_sim;
    QTemporaryDir m_dir;
    std::unique_ptr<UiFirmware> m_page;
};

void TestE2eRoster::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestE2eRoster::cleanupTestCase()
{
    m_page.reset();
    CanService::instance()->closeService();
    m_sim.stop();
}

void TestE2eRoster::aBatteryRefusesAStep_data()
{
    QTest::addColumn<QString>("step"); // the step battery 2 refuses; none: both finish
    for (const char *step : { "inquire", "erase", "data", "finish" })
        QTest::newRow(step) << QString::fromLatin1(step);
    QTest::newRow("none: both finish and report the image's version") << QString();
}

void TestE2eRoster::aBatteryRefusesAStep()
{
    QFETCH(QString, step);
    const bool refused = !step.isEmpty();
    QStringList arguments { "--packs", "1,2" };
    if (refused)
        arguments += QStringList { "--fault-packs", "2", "--boot-refuse", step };
    if (!m_page) {
        QVERIFY(E2e::startAndOpen(m_sim, arguments));
        m_page.reset(new UiFirmware);
    } else {
        m_sim.stop();
        QVERIFY(m_sim.start(arguments));
        QCOMPARE(E2e::openBus(), 0);
    }
    QTRY_VERIFY_WITH_TIMEOUT(CanService::onlineDevices() == QList<int>({ 1, 2 }), 10000);

    const QString version = "V5.0-" + (refused ? step : QStringLiteral("all"));
    const QString path = m_dir.filePath(version + ".s19");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(TestFirmware::s19(1024, "ZK100\x07\x01", version.toLatin1()));
    file.close();
    const FirmwareImage image = FirmwareImage::read(path, FirmwareImage::S19Image);
    QVERIFY(image.isValid());

    // The page: a line for each battery, and a summary; after a good finish, the read-back.
    m_page->OnConfirmPath(path, image.s19Data, image.chkSum, image.bootVersion);
    m_page->OnClickStart();
    QTRY_COMPARE_WITH_TIMEOUT(m_page->resultLabel()->text(),
        refused ? QStringLiteral("FAILED") : QStringLiteral("SUCCESS"), 20000);
    const QStringList lines = refused
        ? QStringList { "battery 2 refused the " + step + ".",
              "1 of 2 batteries left the upgrade: battery 2 refused the " + step + ".",
              "UiFirmware::OnRosterJudged: BMS 1 finished the upgrade.",
              "UiFirmware::OnRosterJudged: BMS 2 refused the " + step + ".",
              "UiFirmware::OnRosterJudged: 1 of 2 BMS finished the upgrade." }
        : QStringList { "UiFirmware::OnRosterJudged: BMS 1 finished the upgrade.",
              "UiFirmware::OnRosterJudged: BMS 2 finished the upgrade.",
              "UiFirmware::OnRosterJudged: 2 of 2 BMS finished the upgrade.",
              "UiFirmware::OnTimerTimeout: BMS 1 runs the image's firmware " + version + ".",
              "UiFirmware::OnTimerTimeout: BMS 2 runs the image's firmware " + version + ".",
              "UiFirmware::OnTimerTimeout: every BMS runs the image's firmware " + version + "." };
    for (const QString &line : lines)
        QTRY_VERIFY2_WITH_TIMEOUT(m_page->textLog()->toPlainText().contains(line),
            qPrintable(line + "\n---\n" + m_page->textLog()->toPlainText().right(3000)), 10000);
    QCOMPARE(m_page->resultLabel()->text(),
        refused ? QStringLiteral("FAILED") : QStringLiteral("SUCCESS"));
    QByteArray reported;
    QTRY_VERIFY_WITH_TIMEOUT(CanService::instance()->readFirmwareVersion(1, reported) == 0
            && QByteArray(reported.constData()) == version.toLatin1(),
        5000);
    CanService::instance()->closeService();

    // bmsctl: battery 2 waits in its boot loader, and answers the boot request from there.
    const BmsctlRun flash = runBmsctl({ "flash", path, "--bus",
        "virtualcan:" + m_sim.interfaceName(), "--expect", "1,2", "--json" });
    QJsonObject batteries[3];
    for (const QJsonValue &battery :
        QJsonDocument::fromJson(flash.out.toUtf8()).object().value("batteries").toArray())
        batteries[qBound(0, battery.toObject().value("id").toInt(), 2)] = battery.toObject();
    QVERIFY2(batteries[1].value("runsImage").toBool(), flash.said());
    if (!refused) {
        QVERIFY2(flash.exitCode == 0 && batteries[2].value("runsImage").toBool(), flash.said());
        return;
    }
    QVERIFY2(flash.exitCode == 1
            && flash.err.contains(
                "1 of 2 batteries left the upgrade: battery 2 refused the " + step)
            && flash.err.contains("battery 2 waits in its boot loader"),
        flash.said());
    QVERIFY2(batteries[2].value("leftInBootLoader").toBool()
            && batteries[2].value("leftTheUpgrade").toString() == "refused the " + step,
        flash.said());
}

QTEST_MAIN(TestE2eRoster)
#include "tst_e2e_roster.moc"
