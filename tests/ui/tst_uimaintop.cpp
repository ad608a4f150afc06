#include "resource/resources.h"
#include "signals/alarmset.h"
#include "signals/bankstate.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"
#include "ui/uiactiveevent.h"
#include "ui/uibankline.h"
#include "ui/uimaintop.h"
#include "uitestsupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestUiMainTop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void protectionCounterReadsTwelveBeforeTheFirstTick();
    void firstTickAnnouncesIdZeroWithoutBatteries();
    void tickAnnouncesAnIdOnlyWhenItChanges();
    void batteriesAreSortedAndTheSelectionKept();
    void aBatteryAnnouncedTwiceIsListedOnce();
    void choosingABatteryAnnouncesIt();
    void clockLabelsAreFilledOnTheTick();
    void noFaultCountsZero();
    void countsFollowLevelsAndFlags();
    void levelThreeAndUnlistedFlagsCountNothing();
    void countsDoNotLatch();
    void countButtonsOpenTheActiveEventList();
    void alarmSetHasTwentyOneNames();
    void bankLineNamesTheBatteriesThatNeedALook_data();
    void bankLineNamesTheBatteriesThatNeedALook();
    void selectorMarksEachBatteryAndTheLineSelects();
    void comPortListIsRebuiltOnTheTick();
    void portsNamedInTheEnvironmentAreListedWhileTheyExist();
};

namespace {

// Batteries used by this test; every test function uses its own, so the shared store needs no
// reset.
const quint8 FaultyBattery = 21;
const quint8 QuietBattery = 22;

void selectBattery(UiMainTop &top, quint8 devId)
{
    top.OnNewDeviceId(devId);
    top.batteryCombo()->setCurrentText(QStringLiteral("%1").arg(devId, 2, 10, QLatin1Char('0')));
}

} // namespace

// Battery devId in protection (a cell over voltage at level 2), in alarm (at level 1), offline,
// or well, in the given store.
void putInCondition(quint8 devId, BankState::Condition condition, SignalValues *store)
{
    const int level = condition == BankState::Protection ? AlarmSet::ProtectionLevel
        : condition == BankState::Alarm                  ? AlarmSet::AlarmLevel
                                                         : 0;
    UiTest::feed(devId, FrameKey::AlarmLevels, { { Signal::CellOverVolt, level } }, store);
    UiTest::feed(devId, FrameKey::PackStatus,
        { { Signal::SysStatus,
            condition == BankState::Offline ? SignalValues::OfflineStatus : 0 } },
        store);
}

void TestUiMainTop::initTestCase()
{
    Resources::init();
    SignalValues::instance();
}

void TestUiMainTop::protectionCounterReadsTwelveBeforeTheFirstTick()
{
    UiMainTop top;
    QCOMPARE(top.protectButton()->text(), QStringLiteral("12"));
    QCOMPARE(top.protectButton()->objectName(), QStringLiteral("MainTopProtect"));
    QCOMPARE(top.alarmButton()->objectName(), QStringLiteral("MainTopAlarm"));
    top.OnTimerTimeout();
    QCOMPARE(top.protectButton()->text(), QStringLiteral("0"));
}

void TestUiMainTop::firstTickAnnouncesIdZeroWithoutBatteries()
{
    UiMainTop top;
    QSignalSpy spy(&top, &UiMainTop::Sig_SetCurrentBmsId);
    QCOMPARE(top.batteryCombo()->count(), 0);
    QCOMPARE(top.currentDeviceId(), 0);

    top.OnTimerTimeout();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toUInt(), 0u);
}

void TestUiMainTop::tickAnnouncesAnIdOnlyWhenItChanges()
{
    UiMainTop top;
    QSignalSpy spy(&top, &UiMainTop::Sig_SetCurrentBmsId);
    top.OnTimerTimeout();
    top.OnTimerTimeout();
    QCOMPARE(spy.count(), 1);

    // The first battery is selected by filling the list, not by the user: only the tick tells.
    top.OnNewDeviceId(5);
    QCOMPARE(top.batteryCombo()->currentText(), QStringLiteral("05"));
    QCOMPARE(spy.count(), 1);
    top.OnTimerTimeout();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toUInt(), 5u);
    top.OnTimerTimeout();
    QCOMPARE(spy.count(), 2);
}

void TestUiMainTop::batteriesAreSortedAndTheSelectionKept()
{
    UiMainTop top;
    QSignalSpy spy(&top, &UiMainTop::Sig_SetCurrentBmsId);

    top.OnNewDeviceId(3);
    QCOMPARE(top.batteryCombo()->currentText(), QStringLiteral("03"));
    top.OnNewDeviceId(1);
    top.OnNewDeviceId(12);

    QComboBox *combo = top.batteryCombo();
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QStringLiteral("01"));
    QCOMPARE(combo->itemText(1), QStringLiteral("03"));
    QCOMPARE(combo->itemText(2), QStringLiteral("12"));
    QCOMPARE(combo->currentText(), QStringLiteral("03"));
    // Rebuilding the list is not a choice of the user's.
    QCOMPARE(spy.count(), 0);
}

void TestUiMainTop::aBatteryAnnouncedTwiceIsListedOnce()
{
    UiMainTop top;
    top.OnNewDeviceId(7);
    top.OnNewDeviceId(2);
    top.batteryCombo()->setCurrentIndex(1);
    top.OnNewDeviceId(7);
    QCOMPARE(top.batteryCombo()->count(), 2);
    QCOMPARE(top.batteryCombo()->currentText(), QStringLiteral("07"));
}

void TestUiMainTop::choosingABatteryAnnouncesIt()
{
    UiMainTop top;
    top.OnNewDeviceId(4);
    top.OnNewDeviceId(9);
    top.OnTimerTimeout();
    QSignalSpy spy(&top, &UiMainTop::Sig_SetCurrentBmsId);

    top.batteryCombo()->setCurrentIndex(1);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toUInt(), 9u);
    // The tick remembers only what it announced itself, so it tells the pages once more.
    top.OnTimerTimeout();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toUInt(), 9u);
}

void TestUiMainTop::clockLabelsAreFilledOnTheTick()
{
    UiMainTop top;
    top.OnTimerTimeout();
    QVERIFY(QDate::fromString(top.dateLabel()->text(), QStringLiteral("yyyy-MM-dd")).isValid());
    QVERIFY(QTime::fromString(top.timeLabel()->text(), QStringLiteral("hh:mm:ss")).isValid());
}

void TestUiMainTop::noFaultCountsZero()
{
    UiMainTop top;
    UiTest::feed(QuietBattery, FrameKey::AlarmLevels, {});
    UiTest::feed(QuietBattery, FrameKey::Faults, {});
    selectBattery(top, QuietBattery);
    top.OnTimerTimeout();
    QCOMPARE(top.protectButton()->text(), QStringLiteral("0"));
    QCOMPARE(top.alarmButton()->text(), QStringLiteral("0"));
}

void TestUiMainTop::countsFollowLevelsAndFlags()
{
    UiMainTop top;
    UiTest::feed(FaultyBattery, FrameKey::AlarmLevels,
        { { Signal::CellOverVolt, 2 }, { Signal::ChargeHiTemp, 1 } });
    UiTest::feed(FaultyBattery, FrameKey::Faults, { { Signal::InterCanCommunError, 1 } });
    selectBattery(top, FaultyBattery);
    top.OnTimerTimeout();
    QCOMPARE(top.protectButton()->text(), QStringLiteral("2"));
    QCOMPARE(top.alarmButton()->text(), QStringLiteral("1"));

    // Another battery without faults counts nothing.
    selectBattery(top, QuietBattery);
    top.OnTimerTimeout();
    QCOMPARE(top.protectButton()->text(), QStringLiteral("0"));
    QCOMPARE(top.alarmButton()->text(), QStringLiteral("0"));
}

void TestUiMainTop::levelThreeAndUnlistedFlagsCountNothing()
{
    const quint8 devId = 23;
    UiMainTop top;
    UiTest::feed(devId, FrameKey::AlarmLevels,
        { { Signal::CellOverVolt, 3 }, { Signal::AlarmLevel6, 2 }, { Signal::AlarmLevel24, 1 } });
    UiTest::feed(devId, FrameKey::Faults,
        { { Signal::VoltageDetectError, 1 }, { Signal::TemperatureDetectError, 1 } });
    QCOMPARE(SignalValues::instance()->value(devId, Signal::CellOverVolt).toInt(), 3);
    QCOMPARE(SignalValues::instance()->value(devId, Signal::VoltageDetectError).toInt(), 1);
    selectBattery(top, devId);
    top.OnTimerTimeout();
    QCOMPARE(top.protectButton()->text(), QStringLiteral("0"));
    QCOMPARE(top.alarmButton()->text(), QStringLiteral("0"));
}

void TestUiMainTop::countsDoNotLatch()
{
    const quint8 devId = 24;
    UiMainTop top;
    UiTest::feed(
        devId, FrameKey::AlarmLevels, { { Signal::DiffTemp, 2 }, { Signal::CellUnderVolt, 1 } });
    selectBattery(top, devId);
    top.OnTimerTimeout();
    QCOMPARE(top.protectButton()->text(), QStringLiteral("1"));
    QCOMPARE(top.alarmButton()->text(), QStringLiteral("1"));

    UiTest::feed(devId, FrameKey::AlarmLevels, {});
    top.OnTimerTimeout();
    QCOMPARE(top.protectButton()->text(), QStringLiteral("0"));
    QCOMPARE(top.alarmButton()->text(), QStringLiteral("0"));
}

void TestUiMainTop::countButtonsOpenTheActiveEventList()
{
    UiMainTop top;
    UiTest::feed(FaultyBattery, FrameKey::AlarmLevels,
        { { Signal::CellOverVolt, 2 }, { Signal::ChargeHiTemp, 1 } });
    UiTest::feed(FaultyBattery, FrameKey::Faults, { { Signal::InterCanCommunError, 1 } });
    selectBattery(top, FaultyBattery);

    QList<int> ids;
    QStringList texts;
    UiTest::DialogCatcher<UiActiveEvent> catcher([&](UiActiveEvent *dialog) {
        ids.append(dialog->devId());
        texts.append(dialog->eventText());
    });
    top.protectButton()->click();
    top.alarmButton()->click();

    QCOMPARE(catcher.shown(), 2);
    QCOMPARE(ids, QList<int>({ FaultyBattery, FaultyBattery }));
    const QString expected = QStringLiteral("Cell Over Voltage(L2 Error)\r\n"
                                            "Internal CAN Communication Error(Error)\r\n"
                                            "\r\n"
                                            "Charge Hight Temp(L1 Error)\r\n");
    QCOMPARE(texts.value(0), expected);
    QCOMPARE(texts.value(1), expected);
    // The dialog is gone once closed.
    QCOMPARE(top.findChildren<UiActiveEvent *>().size(), 0);
}

void TestUiMainTop::alarmSetHasTwentyOneNames()
{
    UiMainTop top;
    const QStringList names = top.alarmNames();
    QCOMPARE(names.size(), 21);
    QCOMPARE(top.levelSignals().size(), 12);
    QCOMPARE(top.flagSignals().size(), 9);
    QCOMPARE(names.at(0), QStringLiteral("Cell Over Voltage"));
    QCOMPARE(names.at(5), QStringLiteral("Charge Hight Temp"));
    QCOMPARE(names.at(11), QStringLiteral("Discharge Over Current"));
    QCOMPARE(names.at(12), QStringLiteral("AFE-OV"));
    QCOMPARE(names.at(15), QStringLiteral("Internal CAN Communication Error"));
    QCOMPARE(names.at(20), QStringLiteral("AFE Communication Error"));
    QCOMPARE(top.levelSignals().at(0), int(Signal::CellOverVolt));
    QCOMPARE(top.levelSignals().at(5), int(Signal::ChargeHiTemp));
    QCOMPARE(top.flagSignals().at(3), int(Signal::InterCanCommunError));
    QCOMPARE(top.flagSignals().at(8), int(Signal::AFECommunicationError));
}

void TestUiMainTop::comPortListIsRebuiltOnTheTick()
{
    UiMainTop top;
    QSignalSpy spy(&top, &UiMainTop::comPortChanged);
    top.comPortCombo()->addItem(QStringLiteral("no-such-port"));
    top.OnTimerTimeout();
    QCOMPARE(top.comPortCombo()->findText(QStringLiteral("no-such-port")), -1);
    // Whatever the machine's ports, the last announcement is the combo's final text.
    QVERIFY(!spy.isEmpty());
    QCOMPARE(spy.last().at(0).toString(), top.comPortCombo()->currentText());
    // The same ports on the next tick: the list stands as it is, nothing is announced again.
    spy.clear();
    const int count = top.comPortCombo()->count();
    top.OnTimerTimeout();
    QCOMPARE(top.comPortCombo()->count(), count);
    QCOMPARE(spy.count(), 0);
}

void TestUiMainTop::portsNamedInTheEnvironmentAreListedWhileTheyExist()
{
    // The simulator's boot loader sits on a pseudo-terminal, which the system does not list.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString present = dir.filePath(QStringLiteral("pts-present"));
    const QString absent = dir.filePath(QStringLiteral("pts-absent"));
    QFile node(present);
    QVERIFY(node.open(QIODevice::WriteOnly));
    node.close();
    qputenv("UPPER_SERIAL_PORTS", (absent + QDir::listSeparator() + present).toLocal8Bit());
    const auto restore = qScopeGuard([] { qunsetenv("UPPER_SERIAL_PORTS"); });

    UiMainTop top;
    top.OnTimerTimeout();
    QComboBox *ports = top.comPortCombo();
    QCOMPARE(ports->itemText(ports->count() - 1), present);
    QCOMPARE(ports->findText(absent), -1);

    // Gone with the simulator: gone from the list on the next tick.
    QVERIFY(QFile::remove(present));
    top.OnTimerTimeout();
    QCOMPARE(ports->findText(present), -1);
}

void TestUiMainTop::bankLineNamesTheBatteriesThatNeedALook_data()
{
    QTest::addColumn<QList<int>>("conditions"); // of batteries 0, 1, 2, ...
    QTest::addColumn<QString>("line");
    using B = BankState;
    QTest::newRow("all well: nothing") << QList<int> { B::Normal, B::Normal } << QString();
    QTest::newRow("two in protection, one offline") << QList<int> { B::Normal, B::Protection,
        B::Offline, B::Protection } << QStringLiteral("Protection: 01, 03 · Offline: 02");
    QTest::newRow("an offline battery's last faults are not counted as live")
        << QList<int> { B::Alarm, B::Offline } << QStringLiteral("Alarm: 00 · Offline: 01");
}

void TestUiMainTop::bankLineNamesTheBatteriesThatNeedALook()
{
    QFETCH(QList<int>, conditions);
    QFETCH(QString, line);
    SignalValues store;
    for (int devId = 0; devId < conditions.size(); ++devId) {
        putInCondition(quint8(devId), BankState::Condition(conditions.at(devId)), &store);
        // Its faults stay as they were last heard.
        if (conditions.at(devId) == BankState::Offline)
            UiTest::feed(quint8(devId), FrameKey::AlarmLevels,
                { { Signal::CellOverVolt, AlarmSet::ProtectionLevel } }, &store);
    }
    UiBankLine bankLine;
    bankLine.showState(BankState::read(store, store.knownDevices()), store);
    QCOMPARE(bankLine.plainText(), line);
}

void TestUiMainTop::selectorMarksEachBatteryAndTheLineSelects()
{
    const QList<QPair<quint8, BankState::Condition>> batteries = { { 3, BankState::Protection },
        { 5, BankState::Offline }, { 8, BankState::Alarm }, { 9, BankState::Normal } };
    UiMainTop top;
    for (const auto &battery : batteries) {
        putInCondition(battery.first, battery.second, SignalValues::instance());
        top.OnNewDeviceId(battery.first);
    }
    selectBattery(top, 9);
    top.OnTimerTimeout();

    QComboBox *combo = top.batteryCombo();
    for (const auto &battery : batteries) {
        const int item
            = combo->findText(QStringLiteral("%1").arg(battery.first, 2, 10, QLatin1Char('0')));
        QCOMPARE(combo->itemData(item, UiMainTop::ConditionRole).toInt(), int(battery.second));
    }
    QVERIFY(top.bankLine()->plainText().contains(QStringLiteral("Offline: 05")));
    emit top.bankLine()->linkActivated(QStringLiteral("3"));
    QCOMPARE(top.currentDeviceId(), 3);
}

QTEST_MAIN(TestUiMainTop)
#include "tst_uimaintop.moc"
