#include "e2efixture.h"

#include "resource/resources.h"
#include "ui/mainwidger.h"
#include "ui/relayindex.h"
#include "ui/uilogin.h"
#include "ui/uimainleft.h"
#include "ui/uimaintop.h"
#include "ui/uiparameter.h"
#include "ui/uirelaybutton.h"
#include "ui/uirelaycontrols.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>

#include <memory>

// The way an engineer switches a relay, through the whole program: open the bus, log in, click
// the relay on the parameter page, and watch the picture follow what the battery (bms-sim)
// then broadcasts.
class TestE2eRelayControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void loginLeadsToTheParameterPage();
    void chargeRelayFollowsTheClick();

private:
    QString chargePicture() const;
    uint chargeState() const;

    SimProcess m_sim;
    std::unique_ptr<MainWidger> m_window;
};

void TestE2eRelayControl::initTestCase()
{
    Resources::init();
    QsLogging::Logger::instance().setLoggingLevel(QsLogging::InfoLevel);
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    QVERIFY(m_sim.start({ "--packs", "1" }));

    m_window.reset(new MainWidger(SignalValues::instance(), CanService::instance()));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTest::mouseClick(m_window->mainLeft()->openCanButton(), Qt::LeftButton);
    QVERIFY(m_window->mainLeft()->isBusOpen());

    // The battery is found, listed and, at the top bar's next tick, selected for the pages.
    QTRY_COMPARE_WITH_TIMEOUT(
        m_window->mainTop()->batteryCombo()->currentText(), QStringLiteral("01"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->parameter()->currentDevice(), 1, 3000);
}

void TestE2eRelayControl::cleanupTestCase()
{
    if (m_window)
        QTest::mouseClick(m_window->mainLeft()->closeCanButton(), Qt::LeftButton);
    m_window.reset();
    m_sim.stop();
}

QString TestE2eRelayControl::chargePicture() const
{
    return m_window->parameter()->relayControls()->button(RelayCharge)->picture();
}

uint TestE2eRelayControl::chargeState() const
{
    return SignalValues::instance()->value(1, Signal::ChargeRelay).toUInt();
}

void TestE2eRelayControl::loginLeadsToTheParameterPage()
{
    QTest::mouseClick(m_window->mainTop()->loginButton(), Qt::LeftButton);
    QCOMPARE(m_window->stack()->currentIndex(), int(MainWidger::LoginPage));
    QLineEdit *password = m_window->login()->passwordEdit();
    QTest::keyClicks(password, QStringLiteral("743"));
    QTest::keyClick(password, Qt::Key_Return);
    QCOMPARE(m_window->stack()->currentIndex(), int(MainWidger::ParameterPage));
}

void TestE2eRelayControl::chargeRelayFollowsTheClick()
{
    const QString on = QStringLiteral(":/resource/Icon/relayon.png");
    const QString off = QStringLiteral(":/resource/Icon/relayoff.png");
    QPushButton *charge = m_window->parameter()->relayControls()->button(RelayCharge)->button();
    QVERIFY(charge->isVisible());

    // The simulated pack starts with its charge relay closed.
    QTRY_COMPARE_WITH_TIMEOUT(chargeState(), 1u, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(chargePicture(), on, 2500);

    QTest::mouseClick(charge, Qt::LeftButton);
    // Nothing pending: the picture waits for the battery's word.
    QCOMPARE(chargePicture(), on);
    QTRY_COMPARE_WITH_TIMEOUT(chargeState(), 0u, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(chargePicture(), off, 2500);

    // And back.
    QTest::mouseClick(charge, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(chargeState(), 1u, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(chargePicture(), on, 2500);
    // The other relays were left alone.
    QCOMPARE(SignalValues::instance()->value(1, Signal::DischargeRelay).toUInt(), 1u);
    QCOMPARE(SignalValues::instance()->value(1, Signal::PrechargeRelay).toUInt(), 0u);
}

QTEST_MAIN(TestE2eRelayControl)
#include "tst_e2e_relaycontrol.moc"
