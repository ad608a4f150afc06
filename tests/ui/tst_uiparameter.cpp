// The parameter page against the CAN stack as the program builds it: CanService::instance()
// makes its adapter on the fake vendor library beside this executable, so every relay command
// is read back byte for byte as the adapter was given it to transmit.

#include "can/adaptertype.h"
#include "resource/resources.h"
#include "support/parameterset.h"

#include "can/canservice.h"
#include "can/commandcodec.h"
#include "can/controlcan/controlcanlibrary.h"
#include "fakecontrolcanclient.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "ui/relayindex.h"
#include "ui/uiparameter.h"
#include "ui/uirelaybutton.h"
#include "ui/uirelaycontrols.h"
#include "uitestsupport.h"

#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QPushButton>
#include <QStackedLayout>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

const QString RelayOn = QStringLiteral(":/resource/Icon/relayon.png");
const QString RelayOff = QStringLiteral(":/resource/Icon/relayoff.png");
const QString PrechargeOn = QStringLiteral(":/resource/Icon/prechargeon.png");
const QString PrechargeOff = QStringLiteral(":/resource/Icon/prechargeoff.png");
const QStringList AllOff = { RelayOff, RelayOff, RelayOff, PrechargeOff };
const QStringList AllOn = { RelayOn, RelayOn, RelayOn, PrechargeOn };

QString text(const CanFrame &frame)
{
    return QStringLiteral("%1 ext=%2 len=%3: %4")
        .arg(frame.id, 8, 16, QLatin1Char('0'))
        .arg(frame.extended ? 1 : 0)
        .arg(frame.data.size())
        .arg(QString::fromLatin1(frame.data.toHex(' ')));
}

QStringList pictures(const UiParameter &page)
{
    QStringList result;
    for (int type = 0; type < UiRelayControls::RelayCount; ++type)
        result.append(page.relayControls()->button(type)->picture());
    return result;
}

void click(const UiParameter &page, int relayType)
{
    QPushButton *picture = page.relayControls()->button(relayType)->button();
    QTest::mouseClick(picture, Qt::LeftButton, Qt::NoModifier, picture->rect().center());
}

// A relay frame of one battery carrying the four relay states.
void feedRelays(quint8 devId, int main2nd, int charge, int discharge, int precharge)
{
    UiTest::feed(devId, FrameKey::Relays,
        { { Signal::Main2ndRelay, main2nd }, { Signal::ChargeRelay, charge },
            { Signal::DischargeRelay, discharge }, { Signal::PrechargeRelay, precharge } });
}

} // namespace

class TestUiParameter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void layoutAndInitialState();
    void stateSignals();
    void timerRefreshesFromTheSelectedBattery();
    void clickSendsTheToggleToTheSelectedBattery();
    void doubleClickAsksTwiceForTheSameState();
    void stateOtherThanOneIsShownOffAndToggledOff();
    void batteryNeverSeenShowsOffAndEveryClickAsksForOn();
    void anotherBatteryShowsAtTheNextRefresh();

private:
    // The relay commands transmitted since init(), as text.
    QStringList relayCommands() const;

    std::unique_ptr<FakeControlCanClient> m_fake;
    int m_sentBefore = 0;
};

void TestUiParameter::initTestCase()
{
    Resources::init();
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));

    m_fake.reset(new FakeControlCanClient(QCoreApplication::applicationDirPath() + QLatin1Char('/')
        + ControlCanLibrary::platformFileName()));
    QVERIFY2(m_fake->isLoaded(), qPrintable(m_fake->errorString()));
    m_fake->reset();
    SignalValues::instance();
    QCOMPARE(CanService::instance()->initService(AdapterType::UsbCan2, 0, true, 0, 250), 0);
}

void TestUiParameter::init()
{
    // The adapter stays open from test to test; its record of frames runs on.
    m_sentBefore = m_fake->transmittedCount();
}

void TestUiParameter::cleanupTestCase()
{
    CanService::instance()->closeService();
}

QStringList TestUiParameter::relayCommands() const
{
    QStringList lines;
    for (int i = m_sentBefore; i < m_fake->transmittedCount(); ++i) {
        const CanFrame frame = m_fake->transmittedFrame(i);
        // Leave out anything else the service sends meanwhile (clock settings).
        if (CommandCodec::isRequest(frame.id)
            && CommandCodec::codeOf(frame.id) == CommandProtocol::SetRelay)
            lines.append(text(frame));
    }
    return lines;
}

void TestUiParameter::layoutAndInitialState()
{
    UiParameter page;
    QCOMPARE(page.currentDevice(), 0);

    auto *stack = qobject_cast<QStackedLayout *>(page.layout());
    QVERIFY(stack);
    QCOMPARE(stack->count(), 1);
    QWidget *content = stack->widget(0);
    QCOMPARE(content->objectName(), QStringLiteral("ParameterWidget"));
    QCOMPARE(page.relayControls()->objectName(), QStringLiteral("ParameterWidget"));
    auto *grid = qobject_cast<QGridLayout *>(content->layout());
    QVERIFY(grid);
    QCOMPARE(grid->itemAtPosition(0, 0)->widget(), page.relayControls());
    QCOMPARE(grid->rowStretch(1), 1);

    QCOMPARE(page.refreshTimer()->interval(), 1000);
    QVERIFY(page.refreshTimer()->isActive());
    QVERIFY(!page.refreshTimer()->isSingleShot());

    QCOMPARE(pictures(page), AllOff);
}

void TestUiParameter::stateSignals()
{
    QCOMPARE(UiParameter::stateSignal(RelayMain2nd), int(Signal::Main2ndRelay));
    QCOMPARE(UiParameter::stateSignal(RelayCharge), int(Signal::ChargeRelay));
    QCOMPARE(UiParameter::stateSignal(RelayDischarge), int(Signal::DischargeRelay));
    QCOMPARE(UiParameter::stateSignal(RelayPrecharge), int(Signal::PrechargeRelay));
    QCOMPARE(UiParameter::stateSignal(4), -1);
}

void TestUiParameter::timerRefreshesFromTheSelectedBattery()
{
    feedRelays(3, 1, 0, 1, 1);
    UiParameter page;
    page.Slot_ShowMonitorData(3);
    QCOMPARE(pictures(page), AllOff);
    // The page's own timer, shown or not.
    QTRY_COMPARE_WITH_TIMEOUT(
        pictures(page), QStringList({ RelayOn, RelayOff, RelayOn, PrechargeOn }), 2500);

    feedRelays(3, 0, 1, 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(
        pictures(page), QStringList({ RelayOff, RelayOn, RelayOff, PrechargeOff }), 2500);
}

void TestUiParameter::clickSendsTheToggleToTheSelectedBattery()
{
    feedRelays(4, 1, 0, 1, 0);
    UiParameter page;
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.Slot_ShowMonitorData(4);

    click(page, RelayDischarge);
    click(page, RelayCharge);
    click(page, RelayPrecharge);
    click(page, RelayMain2nd);
    const QStringList expected = {
        "18100480 ext=1 len=8: 02 00 00 00 00 00 00 00", // DISCHARGE reads 1: open it
        "18100480 ext=1 len=8: 01 01 00 00 00 00 00 00", // CHARGE reads 0: close it
        "18100480 ext=1 len=8: 03 01 00 00 00 00 00 00", // PRE-CHG reads 0: close it
        "18100480 ext=1 len=8: 00 00 00 00 00 00 00 00", // MAIN-2nd reads 1: open it
    };
    QTRY_COMPARE(relayCommands().size(), expected.size());
    QCOMPARE(relayCommands(), expected);
    // The clicks themselves change no picture.
    QCOMPARE(pictures(page), AllOff);
}

void TestUiParameter::doubleClickAsksTwiceForTheSameState()
{
    feedRelays(6, 0, 1, 0, 0);
    UiParameter page;
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.Slot_ShowMonitorData(6);
    page.OnTimerTimeout();
    QCOMPARE(page.relayControls()->button(RelayCharge)->picture(), RelayOn);

    // What a window system delivers for a double click.
    QPushButton *charge = page.relayControls()->button(RelayCharge)->button();
    const QPoint centre = charge->rect().center();
    QTest::mousePress(charge, Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseRelease(charge, Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(charge, Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseRelease(charge, Qt::LeftButton, Qt::NoModifier, centre);

    // Both read the state before the battery could answer: both ask to open.
    const QStringList expected = { "18100680 ext=1 len=8: 01 00 00 00 00 00 00 00",
        "18100680 ext=1 len=8: 01 00 00 00 00 00 00 00" };
    QTRY_COMPARE(relayCommands().size(), expected.size());
    QCOMPARE(relayCommands(), expected);
}

void TestUiParameter::stateOtherThanOneIsShownOffAndToggledOff()
{
    // One bit on the wire cannot carry a 2; a store can.
    UiTest::FakeStore store;
    store.set(7, Signal::Main2ndRelay, 1u);
    store.set(7, Signal::ChargeRelay, 2u);
    store.set(7, Signal::DischargeRelay, 0u);
    store.set(7, Signal::PrechargeRelay, 255u);
    UiParameter page;
    page.setSignalSource(&store);
    page.Slot_ShowMonitorData(7);
    page.OnTimerTimeout();
    QCOMPARE(pictures(page), QStringList({ RelayOn, RelayOff, RelayOff, PrechargeOff }));

    page.relayControls()->button(RelayCharge)->button()->click();
    page.relayControls()->button(RelayPrecharge)->button()->click();
    page.relayControls()->button(RelayDischarge)->button()->click();
    // On only where the state reads 0.
    const QStringList expected = { "18100780 ext=1 len=8: 01 00 00 00 00 00 00 00",
        "18100780 ext=1 len=8: 03 00 00 00 00 00 00 00",
        "18100780 ext=1 len=8: 02 01 00 00 00 00 00 00" };
    QTRY_COMPARE(relayCommands().size(), expected.size());
    QCOMPARE(relayCommands(), expected);
}

void TestUiParameter::batteryNeverSeenShowsOffAndEveryClickAsksForOn()
{
    UiParameter page;
    page.Slot_ShowMonitorData(20);
    page.OnTimerTimeout();
    QCOMPARE(pictures(page), AllOff);

    for (int type = 0; type < UiRelayControls::RelayCount; ++type)
        page.relayControls()->button(type)->button()->click();
    const QStringList expected = { "18101480 ext=1 len=8: 00 01 00 00 00 00 00 00",
        "18101480 ext=1 len=8: 01 01 00 00 00 00 00 00",
        "18101480 ext=1 len=8: 02 01 00 00 00 00 00 00",
        "18101480 ext=1 len=8: 03 01 00 00 00 00 00 00" };
    QTRY_COMPARE(relayCommands().size(), expected.size());
    QCOMPARE(relayCommands(), expected);
}

void TestUiParameter::anotherBatteryShowsAtTheNextRefresh()
{
    feedRelays(8, 1, 1, 1, 1);
    feedRelays(9, 0, 0, 0, 0);
    UiParameter page;
    // Only the explicit refreshes below.
    page.refreshTimer()->stop();
    page.Slot_ShowMonitorData(8);
    page.OnTimerTimeout();
    QCOMPARE(pictures(page), AllOn);

    page.Slot_ShowMonitorData(9);
    QCOMPARE(pictures(page), AllOn);
    // A click in between already addresses the battery now selected, with its own state.
    page.relayControls()->button(RelayCharge)->button()->click();
    QTRY_COMPARE(relayCommands(), QStringList({ "18100980 ext=1 len=8: 01 01 00 00 00 00 00 00" }));

    page.OnTimerTimeout();
    QCOMPARE(pictures(page), AllOff);
}

QTEST_MAIN(TestUiParameter)
#include "tst_uiparameter.moc"
