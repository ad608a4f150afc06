#include "e2efixture.h"

#include "records/banktablemodel.h"
#include "resource/resources.h"
#include "signals/bankstate.h"
#include "ui/mainwidger.h"
#include "ui/uibankline.h"
#include "ui/uimainleft.h"
#include "ui/uimaintop.h"
#include "ui/uitrendbanktab.h"
#include "ui/uitrendswindow.h"

#include <QComboBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTabWidget>

#include <memory>

// A bank with a battery in protection and one that falls silent, neither of them selected, as
// the whole program shows it: battery 03 broadcasts a cell over voltage at level 2 (bms-sim
// --force), battery 05 is played by a second simulator on the same bus that goes quiet after
// a few seconds, and the top bar has 01 selected. The bank line names both, the selector marks
// both, and the Trends window's Bank tab shows 03's protection marked and 05 as last seen.
class TestE2eBankFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void bankLineNamesBoth();
    void selectorMarksBoth();
    void bankTabShowsBoth();

private:
    int bankRow(int devId) const;

    SimProcess m_silent;
    SimProcess m_sim;
    std::unique_ptr<MainWidger> m_window;
};

void TestE2eBankFaults::initTestCase()
{
    Resources::init();
    QsLogging::Logger::instance().setLoggingLevel(QsLogging::InfoLevel);
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    // The second simulator joins the first one's bus; the first writes canbus.ini last, so the
    // program opens that bus.
    QVERIFY(m_silent.start(
        { "--interface", m_sim.interfaceName(), "--packs", "5", "--silent-after", "4" }));
    QVERIFY(m_sim.start({ "--packs", "1,3", "--force", "16=2", "--fault-packs", "3" }));

    m_window.reset(new MainWidger(SignalValues::instance(), CanService::instance()));
    m_window->show();
    QTest::mouseClick(m_window->mainLeft()->openCanButton(), Qt::LeftButton);
    QVERIFY(m_window->mainLeft()->isBusOpen());
    QVERIFY(E2e::waitForDevices({ 1, 3, 5 }));
    m_window->mainTop()->selectDevice(1);
}

void TestE2eBankFaults::cleanupTestCase()
{
    m_window.reset();
    m_sim.stop();
    m_silent.stop();
}

void TestE2eBankFaults::bankLineNamesBoth()
{
    // Silent after 4 s, offline 10 s later.
    QTRY_COMPARE_WITH_TIMEOUT(m_window->mainTop()->bankLine()->plainText(),
        QStringLiteral("Protection: 03 · Offline: 05"), 30000);
    QCOMPARE(m_window->mainTop()->currentDeviceId(), 1);
}

void TestE2eBankFaults::selectorMarksBoth()
{
    const QComboBox *combo = m_window->mainTop()->batteryCombo();
    const auto condition = [combo](const char *text) {
        return combo->itemData(combo->findText(QLatin1String(text)), UiMainTop::ConditionRole)
            .toInt();
    };
    QTRY_COMPARE_WITH_TIMEOUT(condition("05"), int(BankState::Offline), 5000);
    QCOMPARE(condition("03"), int(BankState::Protection));
    QCOMPARE(condition("01"), int(BankState::Normal));
    QCOMPARE(combo->currentText(), QStringLiteral("01"));
}

int TestE2eBankFaults::bankRow(int devId) const
{
    const BankTableModel *model = m_window->trendsWindow()->bankTab()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->deviceId(row) == devId)
            return row;
    }
    return -1;
}

void TestE2eBankFaults::bankTabShowsBoth()
{
    UiTrendsWindow *trends = m_window->trendsWindow();
    trends->showWindow();
    trends->tabs()->setCurrentWidget(trends->bankTab());
    const BankTableModel *model = trends->bankTab()->model();
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 3, 5000);

    const QModelIndex silent = model->index(bankRow(5), BankTableModel::Online);
    QTRY_VERIFY_WITH_TIMEOUT(
        silent.data().toString().startsWith(QStringLiteral("last seen ")), 5000);
    QVERIFY(silent.data(Qt::ForegroundRole).isValid());
    QVERIFY(silent.data(Qt::ToolTipRole).toString().contains(silent.data().toString().mid(10)));

    const QModelIndex protections = model->index(bankRow(3), BankTableModel::Protections);
    QCOMPARE(protections.data().toString(), QStringLiteral("1"));
    QVERIFY(protections.data(Qt::BackgroundRole).isValid());
    QVERIFY(
        protections.data(Qt::ToolTipRole).toString().contains(QStringLiteral("Cell Over Voltage")));
    QVERIFY(trends->bankTab()->summary()->text().startsWith(QStringLiteral("Online 2 of 3")));
}

QTEST_MAIN(TestE2eBankFaults)
#include "tst_e2e_bankfaults.moc"
