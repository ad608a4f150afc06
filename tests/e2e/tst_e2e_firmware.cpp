#include "e2efixture.h"

#include "app/startup.h"

#include "resource/resources.h"
#include "support/testfirmware.h"
#include "ui/mainwidger.h"
#include "ui/uifirmware.h"
#include "ui/uifirmwareupdatedialog.h"
#include "ui/uimainleft.h"
#include "ui/uimaintop.h"
#include "ui/uitestsupport.h"
#include <QApplication>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>

#include <memory>

// A firmware upgrade the way an engineer runs it: the whole program against bms-sim, whose
// first battery also plays its boot loader on a pseudo-terminal. The FIRMWARE page shows the
// battery's identity read over CAN, takes an image through its dialog, sends a .bin over the
// serial port picked in the top bar or an .s19 over CAN, and shows the new version the battery
// then reports.
//
// With UPPER_SCREENSHOT_DIR set (and a real display, e.g. under xvfb-run with
// QT_QPA_PLATFORM=xcb) the successful upgrade uses a larger image and the screen is saved
// while it is sending and once it has succeeded: firmware-sending.png, firmware-success.png
// (and firmware-dialog.png, the update dialog with the image chosen).
class TestE2eFirmware : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void identityIsReadFromTheSelectedBattery();
    void refusedBootVersionEndsInFailed();
    void uartUpgradeEndsInSuccessWithTheNewVersion();
    void canUpgradeWithAnotherBootVersionEndsInFailed();
    void canUpgradeEndsInSuccessWithTheNewVersion();

private:
    // Writes an image into the test's folder and returns its path.
    QString writeImage(const QString &name, const QByteArray &content);
    // Confirms the image through the page's dialog, as Select File, "..." and CONFIRM would.
    void selectImage(const QString &path);
    // Picks the simulator's port in the top bar and presses START at once (the top bar
    // rebuilds its list from the system's ports every second, and a pseudo-terminal is not
    // among them).
    void startOnSimulatorPort();
    void screenshot(const QString &name);
    UiFirmware *page() const { return m_window->firmware(); }

    SimProcess m_sim;
    QTemporaryDir m_dir;
    std::unique_ptr<MainWidger> m_window;
};

void TestE2eFirmware::initTestCase()
{
    Resources::init();
    // Looking as the program does.
    Startup::substituteFonts();
    Startup::loadStyleSheet(*qApp);
    QsLogging::Logger::instance().setLoggingLevel(QsLogging::InfoLevel);
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    QVERIFY(m_sim.start({ "--packs", "1", "--uart" }));
    QVERIFY2(!m_sim.uartPath().isEmpty(), m_sim.output().constData());

    // The CAN service the window is given runs its upgrade as start-up provides it.
    CanService::provideUpgradeSession(new CanUpgrade);
    m_window.reset(new MainWidger(SignalValues::instance(), CanService::instance()));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTest::mouseClick(m_window->mainLeft()->openCanButton(), Qt::LeftButton);
    QVERIFY(m_window->mainLeft()->isBusOpen());
    QTRY_COMPARE_WITH_TIMEOUT(
        m_window->mainTop()->batteryCombo()->currentText(), QStringLiteral("01"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(page()->currentDevice(), 1, 3000);
    QTest::mouseClick(m_window->mainLeft()->entryButton(UiMainLeft::Firmware), Qt::LeftButton);
    QCOMPARE(m_window->stack()->currentWidget(), page());
}

void TestE2eFirmware::cleanupTestCase()
{
    if (m_window)
        QTest::mouseClick(m_window->mainLeft()->closeCanButton(), Qt::LeftButton);
    m_window.reset();
    m_sim.stop();
}

void TestE2eFirmware::selectImage(const QString &path)
{
    UiTest::DialogCatcher<UiFirmwareUpdateDialog> catcher(
        [this, path](UiFirmwareUpdateDialog *dialog) {
            QTimer::singleShot(0, dialog, [this, dialog, path] {
                dialog->choose(path);
                screenshot(QStringLiteral("firmware-dialog.png"));
                dialog->confirmButton()->click();
            });
        });
    QTest::mouseClick(page()->selectButton(), Qt::LeftButton);
    QCOMPARE(page()->pathEdit()->text(), path);
}

void TestE2eFirmware::startOnSimulatorPort()
{
    // The pseudo-terminal reaches the top bar's list as it does when run.sh starts the program.
    qputenv("UPPER_SERIAL_PORTS", m_sim.uartPath().toLocal8Bit());
    // Listed as the system's ports are, by its name under /dev.
    const QString name = m_sim.uartPath().mid(QStringLiteral("/dev/").size());
    QComboBox *ports = m_window->mainTop()->comPortCombo();
    QTRY_VERIFY(ports->findText(name) >= 0);
    ports->setCurrentText(name);
    QCOMPARE(page()->comPort(), name);
    QTest::mouseClick(page()->startButton(), Qt::LeftButton);
    QCOMPARE(page()->resultLabel()->text(), QStringLiteral("SENDING"));
}

QString TestE2eFirmware::writeImage(const QString &name, const QByteArray &content)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

void TestE2eFirmware::screenshot(const QString &name)
{
    const QString dir = qEnvironmentVariable("UPPER_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QCoreApplication::processEvents();
    QProcess::execute(QStringLiteral("import"),
        { QStringLiteral("-window"), QStringLiteral("root"), dir + QLatin1Char('/') + name });
}

void TestE2eFirmware::identityIsReadFromTheSelectedBattery()
{
    QTRY_VERIFY_WITH_TIMEOUT(!page()->serialNumberEdit()->text().isEmpty(), 5000);
    QVERIFY(!page()->modelNumberEdit()->text().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(
        page()->firmwareVersionEdit()->text(), QStringLiteral("ZK-BMS V2.3.07"), 5000);
}

void TestE2eFirmware::refusedBootVersionEndsInFailed()
{
    // The boot loader answers ZK100; this image was built for ZK999.
    const QString path = m_dir.filePath(QStringLiteral("other-board.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(TestFirmware::bin(2000, "ZK999", "ZK-BMS V9.0.00"));
    file.close();
    selectImage(path);
    startOnSimulatorPort();
    QTRY_COMPARE_WITH_TIMEOUT(page()->resultLabel()->text(), QStringLiteral("FAILED"), 10000);
    QCOMPARE(page()->resultLabel()->styleSheet(), QStringLiteral("color:red;"));
    QVERIFY(page()->textLog()->toPlainText().contains(
        QStringLiteral("the boot loader's revision ZK100 does not match the image's ZK999.")));
    // The battery keeps its firmware: the next identity read still brings the old version.
    page()->firmwareVersionEdit()->clear();
    QTRY_COMPARE_WITH_TIMEOUT(
        page()->firmwareVersionEdit()->text(), QStringLiteral("ZK-BMS V2.3.07"), 5000);
}

void TestE2eFirmware::uartUpgradeEndsInSuccessWithTheNewVersion()
{
    const bool shots = !qEnvironmentVariableIsEmpty("UPPER_SCREENSHOT_DIR");
    const QString path = m_dir.filePath(QStringLiteral("bms-v3.0.01.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(TestFirmware::bin(shots ? 64 * 1024 : 3000, "ZK100", "ZK-BMS V3.0.01"));
    file.close();
    selectImage(path);
    startOnSimulatorPort();
    if (shots) {
        QTRY_VERIFY_WITH_TIMEOUT(page()->progressBar()->value() >= 45, 20000);
        screenshot(QStringLiteral("firmware-sending.png"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(page()->resultLabel()->text(), QStringLiteral("SUCCESS"), 30000);
    QCOMPARE(page()->progressBar()->value(), 100);
    // The battery now runs the image and says so over CAN.
    QTRY_COMPARE_WITH_TIMEOUT(
        page()->firmwareVersionEdit()->text(), QStringLiteral("ZK-BMS V3.0.01"), 5000);
    QVERIFY(m_sim.output().contains("took an image of"));
    screenshot(QStringLiteral("firmware-success.png"));
}

void TestE2eFirmware::canUpgradeWithAnotherBootVersionEndsInFailed()
{
    const QString path
        = writeImage(QStringLiteral("other-board.s19"), TestFirmware::s19(512, "ZK999", "V9"));
    QVERIFY(!path.isEmpty());
    selectImage(path);
    QTest::mouseClick(page()->startButton(), Qt::LeftButton);
    QCOMPARE(page()->resultLabel()->text(), QStringLiteral("SENDING"));
    QTRY_COMPARE_WITH_TIMEOUT(page()->resultLabel()->text(), QStringLiteral("FAILED"), 10000);
    QVERIFY(page()->textLog()->toPlainText().contains(
        QStringLiteral("failed at state: US_REQUEST_BOOT.")));
    QCOMPARE(CanService::instance()->upgradeState(), CanService::US_IDLE);
}

void TestE2eFirmware::canUpgradeEndsInSuccessWithTheNewVersion()
{
    const QString path = writeImage(
        QStringLiteral("bms-v3.1.00.s19"), TestFirmware::s19(4096, "ZK100", "ZK-BMS V3.1.00"));
    QVERIFY(!path.isEmpty());
    selectImage(path);
    QTest::mouseClick(page()->startButton(), Qt::LeftButton);
    QCOMPARE(page()->resultLabel()->text(), QStringLiteral("SENDING"));
    QTRY_COMPARE_WITH_TIMEOUT(page()->resultLabel()->text(), QStringLiteral("SUCCESS"), 20000);
    QCOMPARE(page()->progressBar()->value(), 100);
    QTRY_COMPARE_WITH_TIMEOUT(
        page()->firmwareVersionEdit()->text(), QStringLiteral("ZK-BMS V3.1.00"), 10000);
}

QTEST_MAIN(TestE2eFirmware)
#include "tst_e2e_firmware.moc"
