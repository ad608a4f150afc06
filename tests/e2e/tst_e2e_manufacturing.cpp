#include "e2efixture.h"

#include "resource/resources.h"
#include "ui/uimanufacturing.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

// The manufacturing page against bms-sim, as a production worker uses it: battery 4 is the
// one on the bench (the first of --packs, so the one that takes a new device number), 7 is
// another battery on the same bus.
class TestE2eManufacturing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void clockIsReportedSetOnceTheServiceSetIt();
    void serialAndModelAreWrittenAndReadBack();
    void historyEnergyIsCleared();
    void batteryReappearsUnderItsNewDeviceNumber();

private:
    void click(UiManufacturing::Action action) { m_page->button(action)->click(); }
    QString result() const { return m_page->resultLabel()->text(); }

    SimProcess m_sim;
    std::unique_ptr<UiManufacturing> m_page;
};

void TestE2eManufacturing::initTestCase()
{
    Resources::init();
    QVERIFY(E2e::startAndOpen(m_sim, { "--packs", "4,7", "--speed", "60" }));
    QVERIFY2(E2e::waitForDevices({ 4, 7 }), m_sim.output().constData());
    m_page.reset(new UiManufacturing(SignalValues::instance(), CanService::instance()));
    m_page->Slot_ShowMonitorData(4);
}

void TestE2eManufacturing::cleanupTestCase()
{
    m_page.reset();
    CanService::instance()->closeService();
    m_sim.stop();
}

void TestE2eManufacturing::clockIsReportedSetOnceTheServiceSetIt()
{
    // The page's own once-a-second check.
    QTRY_COMPARE_WITH_TIMEOUT(m_page->timeCalibrationEdit()->text(), QStringLiteral("OK"), 10000);
}

void TestE2eManufacturing::serialAndModelAreWrittenAndReadBack()
{
    m_page->serialEdit()->setText(QStringLiteral("QM20230612041"));
    click(UiManufacturing::IncreaseSerial);
    QCOMPARE(m_page->serialEdit()->text(), QStringLiteral("QM20230612042"));
    click(UiManufacturing::WriteSerial);
    QCOMPARE(result(), QStringLiteral("PASS"));
    m_page->modelEdit()->setText(QStringLiteral("ZK-LFP-16S100AH-B"));
    click(UiManufacturing::WriteModel);
    QCOMPARE(result(), QStringLiteral("PASS"));

    m_page->serialEdit()->clear();
    m_page->modelEdit()->clear();
    click(UiManufacturing::ReadSerial);
    QCOMPARE(result(), QStringLiteral("PASS"));
    click(UiManufacturing::ReadModel);
    QCOMPARE(result(), QStringLiteral("PASS"));
    QCOMPARE(m_page->serialEdit()->text(), QStringLiteral("QM20230612042"));
    QCOMPARE(m_page->modelEdit()->text(), QStringLiteral("ZK-LFP-16S100AH-B"));

    // Only the battery addressed took them.
    QByteArray other;
    QCOMPARE(CanService::instance()->readBatteryCode(7, other), 0);
    QVERIFY(!other.startsWith("QM20230612042"));
}

void TestE2eManufacturing::historyEnergyIsCleared()
{
    const int passesBefore = m_page->passCount();
    click(UiManufacturing::ClearHistoryEnergy);
    QCOMPARE(result(), QStringLiteral("PASS"));
    QCOMPARE(m_page->passCount(), passesBefore + 1);
}

void TestE2eManufacturing::batteryReappearsUnderItsNewDeviceNumber()
{
    QSignalSpy announced(SignalValues::instance(), &SignalValues::newDeviceId);
    QVERIFY(!SignalValues::instance()->knownDevices().contains(9));

    m_page->deviceIdEdit()->setText(QStringLiteral("08"));
    click(UiManufacturing::IncreaseDeviceId);
    QCOMPARE(m_page->deviceIdEdit()->text(), QStringLiteral("09"));
    click(UiManufacturing::WriteDeviceId);
    QCOMPARE(result(), QStringLiteral("PASS"));

    // The battery broadcasts under its new number and is announced as a new battery.
    QTRY_VERIFY_WITH_TIMEOUT(SignalValues::instance()->knownDevices().contains(9), 5000);
    QCOMPARE(announced.size(), 1);
    QCOMPARE(announced.first().first().value<uchar>(), uchar(9));
    QTRY_VERIFY_WITH_TIMEOUT(E2e::status(9) != 3, 5000);

    // It is the same battery: it still carries the serial written before, and it no longer
    // answers under its old number.
    m_page->Slot_ShowMonitorData(9);
    m_page->serialEdit()->clear();
    click(UiManufacturing::ReadSerial);
    QCOMPARE(result(), QStringLiteral("PASS"));
    QCOMPARE(m_page->serialEdit()->text(), QStringLiteral("QM20230612042"));
    m_page->Slot_ShowMonitorData(4);
    click(UiManufacturing::ReadSerial);
    QCOMPARE(result(), QStringLiteral("NG"));

    // Its clock is set again once it is seen under the new number.
    m_page->Slot_ShowMonitorData(9);
    QTRY_COMPARE_WITH_TIMEOUT(m_page->timeCalibrationEdit()->text(), QStringLiteral("OK"), 10000);
}

QTEST_MAIN(TestE2eManufacturing)
#include "tst_e2e_manufacturing.moc"
