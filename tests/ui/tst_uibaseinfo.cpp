#include "resource/resources.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "ui/uibaseinfo.h"
#include "ui/uibmuinfo.h"
#include "ui/uikeyvalue.h"
#include "ui/uirelaystatus.h"
#include "ui/uivaluepair.h"
#include "uitestsupport.h"

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

class TestUiBaseInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void figuresShowDashesUntilABatteryIsSelected();
    void layoutAndHiddenPanels();
    void batteryNeverHeardIsOfflineWithZeros();
    void figuresAreFormatted();
    void statusWords_data();
    void statusWords();
    void statusOutsideItsRangeKeepsTheText();
    void extremesAndModulesAreRefreshedWhileHidden();
    void relayIndicatorsFollowTheirSignals();
    void selectingAnotherBatteryTakesEffectAtTheNextTick();
    void keyValueAndValuePair();
    void offlineValuesAreShownAsLastHeard();
};

void TestUiBaseInfo::initTestCase()
{
    Resources::init();
    SignalValues::instance();
}

void TestUiBaseInfo::figuresShowDashesUntilABatteryIsSelected()
{
    UiBaseInfo page;
    QCOMPARE(page.currentDevice(), -1);
    page.OnTimerTimeout();
    for (int figure = 0; figure < UiBaseInfo::FigureCount; ++figure)
        QCOMPARE(page.figureText(UiBaseInfo::Figure(figure)), QStringLiteral("--"));
    QCOMPARE(page.statusText(), QStringLiteral("Static"));
}

void TestUiBaseInfo::layoutAndHiddenPanels()
{
    UiBaseInfo page;
    page.resize(1200, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    const QList<QLabel *> figures
        = page.findChildren<QLabel *>(QStringLiteral("BaseInfoMainIconLabel"));
    QCOMPARE(figures.size(), int(UiBaseInfo::FigureCount));
    for (const QLabel *figure : figures) {
        QCOMPARE(figure->size(), QSize(218, 84));
        QVERIFY(figure->isVisible());
    }
    // The energy label carries its icon.
    QVERIFY(figures.at(UiBaseInfo::Energy)
                ->styleSheet()
                .contains(QStringLiteral(":/resource/Icon/Energym.png")));
    QVERIFY(page.findChild<UiKeyValue *>(QStringLiteral("BaseInfoStatus")));

    QCOMPARE(page.extremes().size(), 4);
    QCOMPARE(page.modules().size(), 4);
    for (const UiValuePair *pair : page.extremes())
        QVERIFY(!pair->isVisible());
    for (const UiBmuInfo *module : page.modules())
        QVERIFY(!module->isVisible());
    QCOMPARE(page.extremes().at(0)->title(), QStringLiteral("Max Cell Volt"));
    QCOMPARE(page.extremes().at(3)->title(), QStringLiteral("Min Temp"));

    QCOMPARE(page.relays().size(), 4);
    for (int type = 0; type < page.relays().size(); ++type) {
        QCOMPARE(page.relays().at(type)->type(), type);
        QVERIFY(page.relays().at(type)->isVisible());
    }
    // Left to right in type order.
    for (int type = 1; type < page.relays().size(); ++type)
        QVERIFY(page.relays().at(type)->x() > page.relays().at(type - 1)->x());
}

void TestUiBaseInfo::batteryNeverHeardIsOfflineWithZeros()
{
    UiBaseInfo page;
    page.Slot_ShowMonitorData(17);
    page.OnTimerTimeout();
    QCOMPARE(page.statusText(), QStringLiteral("Offline"));
    QCOMPARE(page.figureText(UiBaseInfo::Soc), QStringLiteral("0.0"));
    QCOMPARE(page.figureText(UiBaseInfo::Voltage), QStringLiteral("0.0"));
    QCOMPARE(page.figureText(UiBaseInfo::Current), QStringLiteral("0.0"));
    QCOMPARE(page.figureText(UiBaseInfo::Power), QStringLiteral("0.000"));
    QCOMPARE(page.figureText(UiBaseInfo::Energy), QStringLiteral("0.00"));
    QCOMPARE(page.figureText(UiBaseInfo::Health), QStringLiteral("0.0"));
}

void TestUiBaseInfo::figuresAreFormatted()
{
    const quint8 devId = 2;
    UiTest::feed(devId, FrameKey::PackStatus,
        { { Signal::SumVolt, 51.2 }, { Signal::Curr, -20.0 }, { Signal::SOC, 87.5 },
            { Signal::SOH, 99.1 }, { Signal::SysStatus, 2 } });
    UiTest::feed(devId, FrameKey::LifetimeTotals, { { Signal::TotalDischargeEnergy, 98765432 } });

    UiBaseInfo page;
    page.Slot_ShowMonitorData(devId);
    page.OnTimerTimeout();
    QCOMPARE(page.figureText(UiBaseInfo::Voltage), QStringLiteral("51.2"));
    QCOMPARE(page.figureText(UiBaseInfo::Current), QStringLiteral("-20.0"));
    // Without the sign.
    QCOMPARE(page.figureText(UiBaseInfo::Power), QStringLiteral("1.024"));
    QCOMPARE(page.figureText(UiBaseInfo::Energy), QStringLiteral("98.77"));
    QCOMPARE(page.figureText(UiBaseInfo::Soc), QStringLiteral("87.5"));
    QCOMPARE(page.figureText(UiBaseInfo::Health), QStringLiteral("99.1"));
    QCOMPARE(page.statusText(), QStringLiteral("Discharging"));
}

void TestUiBaseInfo::statusWords_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("0 is Static") << 0 << "Static";
    QTest::newRow("1 is Charging") << 1 << "Charging";
    QTest::newRow("2 is Discharging, not Discharge") << 2 << "Discharging";
    QTest::newRow("3 is Offline") << 3 << "Offline";
}

void TestUiBaseInfo::statusWords()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    UiTest::FakeStore store;
    store.set(1, Signal::SysStatus, QVariant(uint(status)));
    UiBaseInfo page;
    page.setSignalSource(&store);
    page.Slot_ShowMonitorData(1);
    page.OnTimerTimeout();
    QCOMPARE(page.statusText(), text);
}

void TestUiBaseInfo::statusOutsideItsRangeKeepsTheText()
{
    UiTest::FakeStore store;
    store.set(1, Signal::SysStatus, QVariant(1u));
    store.set(1, Signal::SumVolt, QVariant(48.0f));
    UiBaseInfo page;
    page.setSignalSource(&store);
    page.Slot_ShowMonitorData(1);
    page.OnTimerTimeout();
    QCOMPARE(page.statusText(), QStringLiteral("Charging"));

    store.set(1, Signal::SysStatus, QVariant(5u));
    store.set(1, Signal::SumVolt, QVariant(49.0f));
    page.OnTimerTimeout();
    QCOMPARE(page.statusText(), QStringLiteral("Charging"));
    // The rest of the refresh goes on.
    QCOMPARE(page.figureText(UiBaseInfo::Voltage), QStringLiteral("49.0"));
}

void TestUiBaseInfo::extremesAndModulesAreRefreshedWhileHidden()
{
    const quint8 devId = 3;
    UiTest::feed(devId, FrameKey::CellVoltExtremes,
        { { Signal::MaxCellV, 3.456 }, { Signal::MaxCellVNo, 7 }, { Signal::MinCellV, 3.301 },
            { Signal::MinCellVNo, 12 } });
    UiTest::feed(devId, FrameKey::TempExtremes,
        { { Signal::MaxCellT, 31 }, { Signal::MaxCellTNo, 2 }, { Signal::MinCellT, -5 },
            { Signal::MinCellTNo, 6 } });
    UiTest::feed(
        devId, FrameKey::CellVolts9to12, { { Signal::Volt9, 3.312 }, { Signal::Volt12, 3.301 } });
    UiTest::feed(devId, FrameKey::Temperatures, { { Signal::Temp5, -5 }, { Signal::Temp6, 24 } });

    UiBaseInfo page;
    page.Slot_ShowMonitorData(devId);
    page.OnTimerTimeout();

    QCOMPARE(page.extremes().at(0)->first(), QStringLiteral("3.456V"));
    QCOMPARE(page.extremes().at(0)->second(), QStringLiteral("C-7"));
    QCOMPARE(page.extremes().at(1)->first(), QStringLiteral("3.301V"));
    QCOMPARE(page.extremes().at(1)->second(), QStringLiteral("C-12"));
    QCOMPARE(page.extremes().at(2)->first(), QStringLiteral("31℃"));
    QCOMPARE(page.extremes().at(2)->second(), QStringLiteral("T-2"));
    QCOMPARE(page.extremes().at(3)->first(), QStringLiteral("-5℃"));
    QCOMPARE(page.extremes().at(3)->second(), QStringLiteral("T-6"));

    const UiBmuInfo *module3 = page.modules().at(2);
    QCOMPARE(module3->voltageTexts(), QStringList({ "3.312V", "0.000V", "0.000V", "3.301V" }));
    QCOMPARE(module3->temperatureTexts(), QStringList({ "-5℃", "24℃" }));
    // Module 1 of a battery that sent no cell frame of its own.
    QCOMPARE(page.modules().at(0)->voltageTexts().at(0), QStringLiteral("0.000V"));
}

void TestUiBaseInfo::relayIndicatorsFollowTheirSignals()
{
    const quint8 devId = 4;
    UiBaseInfo page;
    page.Slot_ShowMonitorData(devId);

    UiTest::feed(
        devId, FrameKey::Relays, { { Signal::PrechargeRelay, 1 }, { Signal::PosRelay, 1 } });
    page.OnTimerTimeout();
    QCOMPARE(page.relays().at(UiRelayStatus::PreCharge)->picture(),
        QStringLiteral(":/resource/Icon/prechargeon.png"));
    QCOMPARE(page.relays().at(UiRelayStatus::Discharge)->picture(),
        QStringLiteral(":/resource/Icon/relayoff.png"));
    QCOMPARE(page.relays().at(UiRelayStatus::Charge)->picture(),
        QStringLiteral(":/resource/Icon/relayoff.png"));
    QCOMPARE(page.relays().at(UiRelayStatus::Main2nd)->picture(),
        QStringLiteral(":/resource/Icon/relayon.png"));

    UiTest::feed(devId, FrameKey::Relays,
        { { Signal::DischargeRelay, 1 }, { Signal::ChargeRelay, 1 }, { Signal::Main2ndRelay, 1 } });
    page.OnTimerTimeout();
    QCOMPARE(page.relays().at(UiRelayStatus::PreCharge)->picture(),
        QStringLiteral(":/resource/Icon/prechargeoff.png"));
    QCOMPARE(page.relays().at(UiRelayStatus::Discharge)->picture(),
        QStringLiteral(":/resource/Icon/relayon.png"));
    QCOMPARE(page.relays().at(UiRelayStatus::Charge)->picture(),
        QStringLiteral(":/resource/Icon/relayon.png"));
    // MAIN-2nd follows PosRelay only.
    QCOMPARE(page.relays().at(UiRelayStatus::Main2nd)->picture(),
        QStringLiteral(":/resource/Icon/relayoff.png"));
}

void TestUiBaseInfo::selectingAnotherBatteryTakesEffectAtTheNextTick()
{
    UiTest::feed(5, FrameKey::PackStatus, { { Signal::SumVolt, 50.0 }, { Signal::SysStatus, 1 } });
    UiTest::feed(6, FrameKey::PackStatus, { { Signal::SumVolt, 52.3 }, { Signal::SysStatus, 0 } });
    UiBaseInfo page;
    page.Slot_ShowMonitorData(5);
    page.OnTimerTimeout();
    QCOMPARE(page.figureText(UiBaseInfo::Voltage), QStringLiteral("50.0"));
    page.Slot_ShowMonitorData(6);
    QCOMPARE(page.figureText(UiBaseInfo::Voltage), QStringLiteral("50.0"));
    page.OnTimerTimeout();
    QCOMPARE(page.figureText(UiBaseInfo::Voltage), QStringLiteral("52.3"));
    QCOMPARE(page.statusText(), QStringLiteral("Static"));
}

void TestUiBaseInfo::keyValueAndValuePair()
{
    UiKeyValue keyValue(QStringLiteral("STATUS"), QStringLiteral("Static"));
    QCOMPARE(keyValue.findChild<QLabel *>(QStringLiteral("Key"))->text(), QStringLiteral("STATUS"));
    QCOMPARE(
        keyValue.findChild<QLabel *>(QStringLiteral("Value"))->text(), QStringLiteral("Static"));
    keyValue.setValue(QStringLiteral("Charging"));
    QCOMPARE(keyValue.value(), QStringLiteral("Charging"));

    UiValuePair pair(QStringLiteral("Max Temp"), QStringLiteral("a"), QStringLiteral("b"));
    const QList<QLineEdit *> fields = pair.findChildren<QLineEdit *>();
    QCOMPARE(fields.size(), 2);
    for (const QLineEdit *field : fields) {
        QVERIFY(field->isReadOnly());
        QCOMPARE(field->height() > 0 ? field->maximumHeight() : 40, 40);
    }
    QCOMPARE(fields.at(1)->minimumSize(), QSize(60, 40));
    QCOMPARE(fields.at(1)->maximumSize(), QSize(60, 40));
    pair.setValues(QStringLiteral("31℃"), QStringLiteral("T-2"));
    QCOMPARE(pair.first(), QStringLiteral("31℃"));
    QCOMPARE(pair.second(), QStringLiteral("T-2"));
}

void TestUiBaseInfo::offlineValuesAreShownAsLastHeard()
{
    const quint8 devId = 23;
    UiTest::feed(
        devId, FrameKey::PackStatus, { { Signal::SumVolt, 51.5 }, { Signal::SysStatus, 1 } });
    UiBaseInfo page;
    page.Slot_ShowMonitorData(devId);
    page.OnTimerTimeout();
    QVERIFY(page.isShowingLive());
    QVERIFY(page.lastHeardText().isEmpty());
    QVERIFY(page.relays().first()->isKnown());

    // The bus closed: the last values stay, marked as such.
    SignalValues::instance()->OnCanDeviceClose();
    page.OnTimerTimeout();
    QVERIFY(!page.isShowingLive());
    QCOMPARE(page.figureText(UiBaseInfo::Voltage), QStringLiteral("51.5"));
    const QDateTime heard
        = QDateTime::fromMSecsSinceEpoch(SignalValues::instance()->lastLiveMs(devId));
    QCOMPARE(page.lastHeardText(),
        QStringLiteral("Last heard %1").arg(heard.toString(QStringLiteral("hh:mm:ss"))));
    for (const UiRelayStatus *relay : page.relays())
        QVERIFY(!relay->isKnown());

    UiTest::feed(
        devId, FrameKey::PackStatus, { { Signal::SumVolt, 51.6 }, { Signal::SysStatus, 1 } });
    page.OnTimerTimeout();
    QVERIFY(page.isShowingLive());
    QVERIFY(page.relays().first()->isKnown());
}

QTEST_MAIN(TestUiBaseInfo)
#include "tst_uibaseinfo.moc"
