#include "can/canservice.h"
#include "support/capturedestination.h"
#include "support/fakebootloader.h"
#include "support/testfirmware.h"
#include "ui/uifirmware.h"
#include "ui/uifirmwareupdatedialog.h"
#include "uitestsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The firmware page: what START does with what was confirmed, the refusals, the result label,
// and a whole serial upgrade through the page's worker thread against a boot loader the test
// plays on a pseudo-terminal. No CAN bus: the identity fields are left to the end-to-end test.
class TestUiFirmware : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void refusals_data();
    void refusals();
    void fileChangedOrGoneSinceConfirmed_data();
    void fileChangedOrGoneSinceConfirmed();
    void s19AfterBinSwitchesToCan();
    void serialUpgradeThroughTheWorkerThread();
    void stopUpgradingEndsTheSerialUpgrade();
    void portThatDoesNotOpenShowsFailed();
    void selectFileTakesTheDialogsImage();
    void refusedFileIsToldInTheLog();
    void noBatteryNoIdentityRead();
    void canUpgradeNamesBatteriesOutOfStep_data();
    void canUpgradeNamesBatteriesOutOfStep();

private:
    QString write(const QString &name, const QByteArray &content);
    QString logText() const { return m_page->textLog()->toPlainText(); }
    void clickStart() { QTest::mouseClick(m_page->startButton(), Qt::LeftButton); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<UiFirmware> m_page;
    QSharedPointer<CaptureDestination> m_log;
};

namespace {

const QByteArray Bin = TestFirmware::bin(1000, "ZK100", "ZK-BMS V3.0.01");
const QByteArray S19 = TestFirmware::s19(200, "ZK100", "ZK-BMS V3.0.01");

} // namespace

void TestUiFirmware::initTestCase()
{
    // The page asks for the CAN service; it stays closed.
    CanService::instance();
}

void TestUiFirmware::init()
{
    m_log = CaptureDestination::attach();
    m_dir.reset(new QTemporaryDir);
    m_page.reset(new UiFirmware);
    m_page->show();
}

void TestUiFirmware::cleanup()
{
    m_page.reset();
    m_dir.reset();
    CanService::instance()->stopUpgrading();
    CaptureDestination::detach(m_log);
}

QString TestUiFirmware::write(const QString &name, const QByteArray &content)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

void TestUiFirmware::refusals_data()
{
    QTest::addColumn<QString>("confirmed"); // "", "bin", "empty bin" or "empty s19"
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("text");
    QTest::newRow("no image confirmed")
        << ""
        << "ttyS9"
        << "UiFirmware::OnClickStart: Please select a upgrade file first.";
    QTest::newRow("serial path without a port")
        << "bin"
        << ""
        << "UiFirmware::upgradeByUart: Please select a com port first.";
    QTest::newRow("serial path with an empty image")
        << "empty bin"
        << "ttyS9"
        << "UiFirmware::upgradeByUart: Please select a upgrade file first.";
    QTest::newRow("CAN path without records")
        << "empty s19"
        << ""
        << "UiFirmware::upgradeByCan: Please select a upgrade file first.";
}

void TestUiFirmware::refusals()
{
    QFETCH(QString, confirmed);
    QFETCH(QString, port);
    QFETCH(QString, text);
    const QString path = write(QStringLiteral("image.bin"), Bin);
    if (confirmed == QLatin1String("bin"))
        m_page->OnConfirmPath(path, Bin);
    else if (confirmed == QLatin1String("empty bin"))
        m_page->OnConfirmPath(path, QByteArray());
    else if (confirmed == QLatin1String("empty s19"))
        m_page->OnConfirmPath(path, QStringList(), 0u, QByteArray());
    m_page->OnNewComPort(port);
    clickStart();
    QCOMPARE(logText().trimmed(), text);
    QCOMPARE(m_page->resultLabel()->text(), QStringLiteral("FAILED"));
    QCOMPARE(m_page->resultLabel()->styleSheet(), QStringLiteral("color:red;"));
    QCOMPARE(m_log->linesContaining(text).size(), 1);
    QCOMPARE(CanService::instance()->upgradeState(), CanService::US_IDLE);
}

void TestUiFirmware::fileChangedOrGoneSinceConfirmed_data()
{
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QString>("text");
    QTest::newRow("gone") << true << "the upgrade file is gone; please select it again: ";
    QTest::newRow("changed") << false << "the upgrade file has changed since it was chosen";
}

void TestUiFirmware::fileChangedOrGoneSinceConfirmed()
{
    QFETCH(bool, removed);
    QFETCH(QString, text);
    FakeBootLoader fake;
    const QString path = write(QStringLiteral("image.bin"), Bin);
    m_page->OnConfirmPath(path, Bin);
    m_page->OnNewComPort(fake.portName());
    if (removed)
        QVERIFY(QFile::remove(path));
    else
        write(QStringLiteral("image.bin"), TestFirmware::bin(1000, "ZK100", "ZK-BMS V9.9.99"));
    clickStart();
    QVERIFY2(logText().contains(text), qPrintable(logText()));
    QCOMPARE(m_page->resultLabel()->text(), QStringLiteral("FAILED"));
    // Nothing went to the port: a bounded wait that proves nothing comes.
    QVERIFY(!QTest::qWaitFor([&fake] { return !fake.frames().isEmpty(); }, 300));
}

void TestUiFirmware::s19AfterBinSwitchesToCan()
{
    const QString bin = write(QStringLiteral("image.bin"), Bin);
    const QString s19 = write(QStringLiteral("image.s19"), S19);
    const FirmwareImage image = FirmwareImage::parseS19(S19);
    m_page->OnConfirmPath(bin, Bin);
    m_page->OnConfirmPath(s19, image.s19Data, image.chkSum, image.bootVersion);
    QCOMPARE(m_page->pathEdit()->text(), s19);
    m_page->OnNewComPort(QString()); // the serial path would refuse
    clickStart();
    QCOMPARE(m_page->resultLabel()->text(), QStringLiteral("SENDING"));
    QCOMPARE(m_page->resultLabel()->styleSheet(), QStringLiteral("color:black;"));
    QCOMPARE(CanService::instance()->upgradeState(), CanService::US_REQUEST_BOOT);
}

void TestUiFirmware::serialUpgradeThroughTheWorkerThread()
{
    FakeBootLoader fake;
    m_page->OnConfirmPath(write(QStringLiteral("image.bin"), Bin), Bin);
    m_page->OnNewComPort(fake.portName());
    m_page->textLog()->appendPlainText(QStringLiteral("left from before"));
    clickStart();
    QCOMPARE(m_page->resultLabel()->text(), QStringLiteral("SENDING"));
    QVERIFY(!logText().contains(QStringLiteral("left from before")));
    QTRY_COMPARE_WITH_TIMEOUT(m_page->resultLabel()->text(), QStringLiteral("SUCCESS"), 10000);
    QVERIFY(!m_page->isUpgrading());
    QCOMPARE(m_page->progressBar()->value(), 100);
    const QString log = logText();
    QVERIFY(log.contains(QStringLiteral("Send: AA 55 00 50 04 01 00 00 00 26 8F 0D 0A")));
    QVERIFY(log.contains(QStringLiteral("changed baud to 115200.")));
    QVERIFY(log.contains(QStringLiteral("stop upgrading at state: 7")));
    // Each entry is followed by an empty line.
    QVERIFY(log.contains(QStringLiteral("move to next state: 1\n\n")));
    QCOMPARE(fake.subCommands(), (QList<quint16> { 1, 1, 2, 3, 4, 4, 4, 5, 6 }));
}

void TestUiFirmware::stopUpgradingEndsTheSerialUpgrade()
{
    FakeBootLoader fake;
    m_page->OnConfirmPath(write(QStringLiteral("image.bin"), Bin), Bin);
    m_page->OnNewComPort(fake.portName());
    clickStart();
    QTRY_COMPARE(fake.subCommands().size(), 1);
    m_page->stopUpgrading();
    QVERIFY(!m_page->isUpgrading());
    // The request at 115200 baud would follow a second after the first one.
    QVERIFY(!QTest::qWaitFor([&fake] { return fake.subCommands().size() > 1; }, 1500));
}

void TestUiFirmware::portThatDoesNotOpenShowsFailed()
{
    m_page->OnConfirmPath(write(QStringLiteral("image.bin"), Bin), Bin);
    m_page->OnNewComPort(QStringLiteral("/dev/no-such-port"));
    clickStart();
    QTRY_COMPARE(m_page->resultLabel()->text(), QStringLiteral("FAILED"));
    QVERIFY(
        logText().contains(QStringLiteral("failed to open com port: /dev/no-such-port; error:")));
}

void TestUiFirmware::selectFileTakesTheDialogsImage()
{
    const QString path = write(QStringLiteral("image.bin"), Bin);
    UiTest::DialogCatcher<UiFirmwareUpdateDialog> catcher([path](UiFirmwareUpdateDialog *dialog) {
        QTimer::singleShot(0, dialog, [dialog, path] {
            dialog->choose(path);
            dialog->confirmButton()->click();
        });
    });
    QTest::mouseClick(m_page->selectButton(), Qt::LeftButton);
    QCOMPARE(catcher.shown(), 1);
    QCOMPARE(m_page->pathEdit()->text(), path);
}

void TestUiFirmware::refusedFileIsToldInTheLog()
{
    const QString path = write(QStringLiteral("bad.s19"), "S1051234AABB50\n");
    UiTest::DialogCatcher<UiFirmwareUpdateDialog> catcher([path](UiFirmwareUpdateDialog *dialog) {
        QTimer::singleShot(0, dialog, [dialog, path] {
            dialog->choose(path);
            dialog->confirmButton()->click();
        });
    });
    QTest::mouseClick(m_page->selectButton(), Qt::LeftButton);
    QVERIFY2(logText().contains(QStringLiteral("bad record at line 1: record checksum mismatch")),
        qPrintable(logText()));
    QCOMPARE(m_page->pathEdit()->text(), QString());
}

void TestUiFirmware::noBatteryNoIdentityRead()
{
    // A read would wait for its reply (the bus is closed: about a second each).
    QElapsedTimer elapsed;
    elapsed.start();
    m_page->OnTimerTimeout();
    QVERIFY(elapsed.elapsed() < 500);
    QCOMPARE(m_page->serialNumberEdit()->text(), QString());
    QCOMPARE(m_page->firmwareVersionEdit()->text(), QString());
}

void TestUiFirmware::canUpgradeNamesBatteriesOutOfStep_data()
{
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QList<int>>("answered");
    QTest::addColumn<QList<int>>("missing"); // or, for "left", the batteries left
    QTest::addColumn<QString>("named"); // in the log, or nothing at all when empty

    QTest::newRow("every battery answered the boot request: not a word")
        << "collected" << QList<int> { 1, 2 } << QList<int> {} << "";
    QTest::newRow("the batteries that did not answer, before the upgrade goes on")
        << "collected" << QList<int> { 1, 2 } << QList<int> { 3, 12 } << "BMS 3, 12";
    QTest::newRow("after a failure, the batteries left in their boot loaders")
        << "left" << QList<int> {} << QList<int> { 1, 2, 3 } << "BMS 1, 2, 3";
}

void TestUiFirmware::canUpgradeNamesBatteriesOutOfStep()
{
    QFETCH(QString, signal);
    QFETCH(QList<int>, answered);
    QFETCH(QList<int>, missing);
    QFETCH(QString, named);
    CanService *can = CanService::instance();
    if (signal == QLatin1String("collected"))
        emit can->bootAnswersCollected(answered, missing);
    else
        emit can->leftInBootLoaders(missing);
    if (named.isEmpty()) {
        QCOMPARE(logText(), QString());
        return;
    }
    QVERIFY2(logText().contains(named), qPrintable(logText()));
    QCOMPARE(m_log->linesContaining(named).size(), 1);
}

QTEST_MAIN(TestUiFirmware)
#include "tst_uifirmware.moc"
