#include "can/candevice.h"
#include "can/canservice.h"
#include "canservice/playedbms.h"
#include "records/historydatamodel.h"
#include "records/realtimerecordingtablemodel.h"
#include "resource/resources.h"
#include "settings/appconfig.h"
#include "signals/alarmset.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "support/testport.h"
#include "ui/mainwidger.h"
#include "ui/uiactiveevent.h"
#include "ui/uibaseinfo.h"
#include "ui/uifirmware.h"
#include "ui/uihistorydata.h"
#include "ui/uilogin.h"
#include "ui/uilogo.h"
#include "ui/uilogshistory.h"
#include "ui/uimainleft.h"
#include "ui/uimaintop.h"
#include "ui/uimanufacturing.h"
#include "ui/uiparallelinfo.h"
#include "ui/uiparameter.h"
#include "ui/uirealtimerecording.h"
#include "uitestsupport.h"
#include "upgrade/canupgrade.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTimer>
#include <QtTest>

class TestMainWidger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void sizeForAvailableArea_data();
    void sizeForAvailableArea();
    void clampedSize_data();
    void clampedSize();
    void opensAtTheSizeForThePrimaryScreen();
    void resizingBeyondTheLimitIsClamped();
    void maximisedWindowGetsTheOpeningSize();
    void titleFromConfig();
    void defaultTitleIsWrittenBack();
    void pagesInStackOrder();
    void homeAndLoginButtons();
    void navigationEntriesSwitchTheStack();
    void loginShowsTheParameterPage();
    void selectedBatteryReachesEveryPage();
    void barAndPagesUseTheServiceTheWindowIsGiven();
    void firstTickAnnouncesIdZeroToThePages();
    void comPortReachesTheFirmwarePage();
    void emptySelectorAndVanishedBattery();
    void openAndCloseTheVirtualBus();
    void stoppingAnUpgradeAsksFirst();
    void refreshTimersRunAtTheirPeriods();
};

void TestMainWidger::initTestCase()
{
    Resources::init();
    // A virtual CAN bus of this test's own, should anything open the bus.
    QFile ini(QCoreApplication::applicationDirPath() + QStringLiteral("/canbus.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const quint16 port = TestPort::pick();
    QVERIFY(port != 0);
    ini.write(QStringLiteral("plugin=virtualcan\ninterface=tcp://127.0.0.1:%1/can0\n")
                  .arg(port)
                  .toUtf8());
    SignalValues::instance();
    CanService::provideUpgradeSession(new CanUpgrade);
}

void TestMainWidger::init()
{
    QFile::remove(AppConfig::filePath());
}

void TestMainWidger::sizeForAvailableArea_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QSize>("size");
    QTest::newRow("1366 x 728 opens at 1346 x 688") << QRect(0, 0, 1366, 728) << QSize(1346, 688);
    QTest::newRow("an area away from the origin") << QRect(100, 40, 1366, 728) << QSize(1346, 688);
    QTest::newRow("full HD gets the full size") << QRect(0, 0, 1920, 1040) << QSize(1641, 973);
    QTest::newRow("1641 x 973 is just big enough") << QRect(0, 0, 1641, 973) << QSize(1641, 973);
    QTest::newRow("one pixel too narrow") << QRect(0, 0, 1640, 1040) << QSize(1620, 1000);
    QTest::newRow("one pixel too low") << QRect(0, 0, 1920, 972) << QSize(1900, 932);
}

void TestMainWidger::sizeForAvailableArea()
{
    QFETCH(QRect, area);
    QFETCH(QSize, size);
    QCOMPARE(MainWidger::sizeForAvailableArea(area), size);
}

void TestMainWidger::clampedSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("clamped");
    QTest::newRow("small stays") << QSize(1000, 700) << QSize(1000, 700);
    QTest::newRow("the limit stays") << QSize(1641, 973) << QSize(1641, 973);
    QTest::newRow("1642 wide is cut") << QSize(1642, 700) << QSize(1641, 700);
    QTest::newRow("974 high is cut") << QSize(1000, 974) << QSize(1000, 973);
    QTest::newRow("both are cut") << QSize(2560, 1440) << QSize(1641, 973);
}

void TestMainWidger::clampedSize()
{
    QFETCH(QSize, size);
    QFETCH(QSize, clamped);
    QCOMPARE(MainWidger::clampedSize(size), clamped);
}

void TestMainWidger::opensAtTheSizeForThePrimaryScreen()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(window.size(), MainWidger::sizeForAvailableArea(area));
    QVERIFY(window.findChild<QScrollArea *>());
}

void TestMainWidger::resizingBeyondTheLimitIsClamped()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    window.resize(1800, 1000);
    QTRY_COMPARE(window.size(), QSize(1641, 973));
    window.resize(1000, 1200);
    QTRY_COMPARE(window.size(), QSize(1000, 973));
    window.resize(900, 600);
    QTRY_COMPARE(window.size(), QSize(900, 600));
}

void TestMainWidger::maximisedWindowGetsTheOpeningSize()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    window.resize(600, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.setWindowState(Qt::WindowMaximized);
    const QSize opening
        = MainWidger::sizeForAvailableArea(QGuiApplication::primaryScreen()->availableGeometry());
    QTRY_COMPARE(window.size(), opening);
}

void TestMainWidger::titleFromConfig()
{
    QSettings(AppConfig::filePath(), QSettings::IniFormat).setValue("title", "Pack A");
    MainWidger window(SignalValues::instance(), CanService::instance());
    QCOMPARE(window.windowTitle(), QStringLiteral("Pack A V1.03.12"));
}

void TestMainWidger::defaultTitleIsWrittenBack()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    QCOMPARE(window.windowTitle(), QStringLiteral("ZELKOR_Upper_Computer V1.03.12"));
    QCOMPARE(QSettings(AppConfig::filePath(), QSettings::IniFormat).value("title").toString(),
        QStringLiteral("ZELKOR_Upper_Computer"));
}

void TestMainWidger::pagesInStackOrder()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    QStackedWidget *stack = window.stack();
    QCOMPARE(stack->count(), int(MainWidger::PageCount));
    QVERIFY(qobject_cast<UiBaseInfo *>(stack->widget(0)));
    QVERIFY(qobject_cast<UiParallelInfo *>(stack->widget(1)));
    QVERIFY(qobject_cast<UiHistoryData *>(stack->widget(2)));
    QVERIFY(qobject_cast<UiLogsHistory *>(stack->widget(3)));
    QVERIFY(qobject_cast<UiLogin *>(stack->widget(4)));
    QVERIFY(qobject_cast<UiFirmware *>(stack->widget(5)));
    QVERIFY(qobject_cast<UiManufacturing *>(stack->widget(6)));
    QVERIFY(qobject_cast<UiParameter *>(stack->widget(7)));
    QCOMPARE(stack->currentIndex(), 0);

    auto *logo = window.findChild<UiLogo *>();
    QVERIFY(logo);
    QCOMPARE(logo->minimumSize(), QSize(200, 80));
    QCOMPARE(logo->maximumSize(), QSize(200, 80));
    QCOMPARE(window.mainLeft()->maximumWidth(), 200);
}

void TestMainWidger::homeAndLoginButtons()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    UiMainLeft *left = window.mainLeft();

    window.mainTop()->loginButton()->click();
    QCOMPARE(window.stack()->currentIndex(), 4);
    QCOMPARE(left->entryButton(UiMainLeft::Parameter)->styleSheet(), UiMainLeft::entryStyle(true));
    QCOMPARE(left->entryButton(UiMainLeft::BaseInfo)->styleSheet(), UiMainLeft::entryStyle(false));

    window.mainTop()->homeButton()->click();
    QCOMPARE(window.stack()->currentIndex(), 0);
    QCOMPARE(left->entryButton(UiMainLeft::BaseInfo)->styleSheet(), UiMainLeft::entryStyle(true));
    QCOMPARE(left->entryButton(UiMainLeft::Parameter)->styleSheet(), UiMainLeft::entryStyle(false));
}

void TestMainWidger::navigationEntriesSwitchTheStack()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    window.mainLeft()->entryButton(UiMainLeft::Firmware)->click();
    QCOMPARE(window.stack()->currentIndex(), 5);
    // PARAMETER leads to the login page, not to the parameter page.
    window.mainLeft()->entryButton(UiMainLeft::Parameter)->click();
    QCOMPARE(window.stack()->currentIndex(), 4);
    window.mainLeft()->entryButton(UiMainLeft::BaseInfo)->click();
    QCOMPARE(window.stack()->currentIndex(), 0);
}

void TestMainWidger::loginShowsTheParameterPage()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    window.OnClickLock();
    emit window.login()->userLogin();
    QCOMPARE(window.stack()->currentIndex(), 7);
}

void TestMainWidger::selectedBatteryReachesEveryPage()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    QSignalSpy logs(window.logsHistory(), &UiLogsHistory::showMonitorData);
    emit window.mainTop()->Sig_SetCurrentBmsId(9);
    QCOMPARE(window.baseInfo()->currentDevice(), 9);
    QCOMPARE(window.parameter()->currentDevice(), 9);
    QCOMPARE(window.historyData()->currentDevice(), 9);
    QCOMPARE(window.firmware()->currentDevice(), 9);
    QCOMPARE(window.manufacturing()->currentDevice(), 9);
    QCOMPARE(logs.count(), 1);
    QCOMPARE(logs.at(0).at(0).toUInt(), 9u);
}

void TestMainWidger::barAndPagesUseTheServiceTheWindowIsGiven()
{
    // Not the program's service: what reaches these batteries, and their answer, can only have
    // gone through the one the window was built with.
    PlayedBms bms;
    auto *bus = new ScriptedBus;
    bus->setResponder(bms.responder());
    CanService service(new CanDevice(bus));
    MainWidger window(SignalValues::instance(), &service);

    window.mainLeft()->openCanButton()->click();
    QVERIFY(window.mainLeft()->isBusOpen());
    QVERIFY(!bus->lastOpened().isEmpty());
    window.manufacturing()->button(UiManufacturing::ClearHistoryEnergy)->click();
    QVERIFY(bms.read<bool>([](const PlayedBms &played) { return played.energyCleared; }));
    QCOMPARE(window.manufacturing()->passCount(), 1);
}

void TestMainWidger::firstTickAnnouncesIdZeroToThePages()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    QCOMPARE(window.baseInfo()->currentDevice(), -1);
    window.mainTop()->OnTimerTimeout();
    QCOMPARE(window.baseInfo()->currentDevice(), 0);
    QCOMPARE(window.firmware()->currentDevice(), 0);
}

void TestMainWidger::comPortReachesTheFirmwarePage()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    window.mainTop()->comPortCombo()->addItem(QStringLiteral("COM7"));
    QCOMPARE(window.firmware()->comPort(), QStringLiteral("COM7"));
}

void TestMainWidger::emptySelectorAndVanishedBattery()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.mainTop()->OnTimerTimeout();
    window.baseInfo()->OnTimerTimeout();
    window.parallelInfo()->Slot_ShowMonitorData();
    QCOMPARE(window.baseInfo()->statusText(), QStringLiteral("Offline"));

    // A battery appears, is selected, and then its status frames stop.
    UiTest::feed(11, FrameKey::PackStatus, { { Signal::SumVolt, 50.0 }, { Signal::SysStatus, 1 } });
    QCOMPARE(window.mainTop()->batteryCombo()->currentText(), QStringLiteral("11"));
    window.mainTop()->OnTimerTimeout();
    window.baseInfo()->OnTimerTimeout();
    QCOMPARE(window.baseInfo()->statusText(), QStringLiteral("Charging"));
    SignalValues::instance()->OnCanDeviceClose();
    window.mainTop()->OnTimerTimeout();
    window.baseInfo()->OnTimerTimeout();
    QCOMPARE(window.baseInfo()->statusText(), QStringLiteral("Offline"));
    QCOMPARE(window.mainTop()->batteryCombo()->currentText(), QStringLiteral("11"));
}

void TestMainWidger::openAndCloseTheVirtualBus()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    UiMainLeft *left = window.mainLeft();
    UiTest::DialogCatcher<QMessageBox> catcher;

    left->openCanButton()->click();
    QCOMPARE(catcher.shown(), 0);
    QVERIFY(left->isBusOpen());
    QCOMPARE(left->openCanButton()->styleSheet(), UiMainLeft::openCanStyle(true));

    left->closeCanButton()->click();
    QCOMPARE(catcher.shown(), 0); // no upgrade runs: nothing to ask
    QVERIFY(!left->isBusOpen());
    QCOMPARE(left->openCanButton()->styleSheet(), UiMainLeft::openCanStyle(false));
}

void TestMainWidger::stoppingAnUpgradeAsksFirst()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    window.show();
    UiMainLeft *left = window.mainLeft();
    CanService *can = CanService::instance();
    QMessageBox::StandardButton answer = QMessageBox::No;
    QString text;
    UiTest::DialogCatcher<QMessageBox> catcher([&](QMessageBox *box) {
        text = box->text();
        QMetaObject::invokeMethod(box->button(answer), "click", Qt::QueuedConnection);
    });
    const auto openAndStart = [&] {
        left->openCanButton()->click();
        can->startUpgrading({ QStringLiteral("S5030003F9\r\n") }, 0, QByteArrayLiteral("ZK100"));
    };

    // No, to the bus and to the window: everything goes on.
    openAndStart();
    left->closeCanButton()->click();
    QVERIFY(!window.close());
    QCOMPARE(catcher.shown(), 2);
    QVERIFY(text.contains(QStringLiteral("boot loader with its flash erased or half written")));
    QVERIFY(left->isBusOpen() && window.isVisible() && can->upgradeState() != CanService::US_IDLE);

    // Yes to the bus: closed, the upgrade failed. Yes to the window: closed, the upgrade stopped.
    answer = QMessageBox::Yes;
    left->closeCanButton()->click();
    QVERIFY(!left->isBusOpen() && can->upgradeState() == CanService::US_IDLE);
    QCOMPARE(window.firmware()->resultLabel()->text(), QStringLiteral("FAILED"));
    openAndStart();
    QVERIFY(window.close());
    QCOMPARE(can->upgradeState(), CanService::US_IDLE);
}

void TestMainWidger::refreshTimersRunAtTheirPeriods()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    UiRealTimeRecording *recording = window.logsHistory()->realTimeRecording();
    UiActiveEvent events(0, AlarmSet::levelSignals(), AlarmSet::flagSignals(), AlarmSet::names());
    // The real-time recording samples only once RECORDING was pressed.
    recording->model()->OnStartRecording(0);

    // Every object here owns exactly one timer: the one that drives its refresh.
    const struct
    {
        const char *owner;
        QObject *object;
        int intervalMs;
    } timers[] = {
        { "signal store (offline check)", SignalValues::instance(), 1000 },
        { "top bar", window.mainTop(), 1000 },
        { "base info", window.baseInfo(), 1000 },
        { "parallel info", window.parallelInfo(), 1000 },
        { "history data model", window.historyData()->model(), 1000 },
        { "real-time recording model", recording->model(), 2000 },
        { "firmware", window.firmware(), 1000 },
        { "manufacturing (clock check)", window.manufacturing(), 1000 },
        { "parameter", window.parameter(), 1000 },
        { "active-event dialog", &events, 1000 },
    };
    for (const auto &expected : timers) {
        const QList<QTimer *> found
            = expected.object->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY2(found.size() == 1, expected.owner);
        QVERIFY2(found.first()->isActive(), expected.owner);
        QVERIFY2(!found.first()->isSingleShot(), expected.owner);
        QVERIFY2(found.first()->interval() == expected.intervalMs,
            qPrintable(QStringLiteral("%1: %2 ms")
                           .arg(QLatin1String(expected.owner))
                           .arg(found.first()->interval())));
    }
}

QTEST_MAIN(TestMainWidger)
#include "tst_mainwidger.moc"
