#include "e2efixture.h"

#include "records/banktablemodel.h"
#include "records/trendrecorder.h"
#include "resource/resources.h"
#include "ui/mainwidger.h"
#include "ui/uicellvoltagechart.h"
#include "ui/uimainleft.h"
#include "ui/uimaintop.h"
#include "ui/uitrendbanktab.h"
#include "ui/uitrendbatterytab.h"
#include "ui/uitrendswindow.h"

#include <QComboBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTabWidget>

#include <memory>

// The Trends window through the whole program against bms-sim: OPEN CAN-BUS starts the trend
// recorder, Ctrl+T in the main window opens the Trends window, and the simulated batteries fill
// the Bank tab and the Battery tab's cell bars.
class TestE2eTrends : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void bankListsEveryBattery();
    void cellBarsShowTheCellVoltages();
    void recorderFollowsTheBus();

private:
    SimProcess m_sim;
    std::unique_ptr<MainWidger> m_window;
};

void TestE2eTrends::initTestCase()
{
    Resources::init();
    QsLogging::Logger::instance().setLoggingLevel(QsLogging::InfoLevel);
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    QVERIFY(m_sim.start({ "--packs", "1,2,3,12" }));

    m_window.reset(new MainWidger);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(!m_window->trendRecorder()->isRunning());
    QTest::mouseClick(m_window->mainLeft()->openCanButton(), Qt::LeftButton);
    QVERIFY(m_window->mainLeft()->isBusOpen());
    QVERIFY(m_window->trendRecorder()->isRunning());

    QVERIFY(!m_window->trendsWindow()->isVisible());
    // The shortcut belongs to the main window, which must be the active one.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window->windowHandle(), Qt::Key_T, Qt::ControlModifier);
    // A button's shortcut clicks it the way a short press does, a moment later.
    QTRY_VERIFY(m_window->trendsWindow()->isVisible());
}

void TestE2eTrends::cleanupTestCase()
{
    m_window.reset();
    m_sim.stop();
}

void TestE2eTrends::bankListsEveryBattery()
{
    UiTrendsWindow *trends = m_window->trendsWindow();
    trends->tabs()->setCurrentWidget(trends->bankTab());
    const QSortFilterProxyModel *rows = trends->bankTab()->proxy();
    QTRY_COMPARE_WITH_TIMEOUT(rows->rowCount(), 4, 10000);
    QStringList ids;
    for (int row = 0; row < rows->rowCount(); ++row) {
        ids.append(rows->index(row, BankTableModel::Id).data().toString());
        QTRY_COMPARE_WITH_TIMEOUT(rows->index(row, BankTableModel::Online).data().toString(),
            QStringLiteral("Online"), 5000);
        QVERIFY(rows->index(row, BankTableModel::StateOfCharge)
                    .data(BankTableModel::SortRole)
                    .toDouble()
            > 0);
    }
    QCOMPARE(ids, QStringList({ "01", "02", "03", "12" }));
}

void TestE2eTrends::cellBarsShowTheCellVoltages()
{
    UiTrendsWindow *trends = m_window->trendsWindow();
    trends->tabs()->setCurrentWidget(trends->batteryTab());
    UiTrendBatteryTab *tab = trends->batteryTab();
    // The top bar's battery, which the tab follows.
    QTRY_COMPARE_WITH_TIMEOUT(tab->deviceId(), m_window->mainTop()->currentDeviceId(), 5000);
    const int devId = tab->deviceId();
    QTRY_VERIFY_WITH_TIMEOUT(!tab->points()[TrendChannel::CellVoltageSpread].isEmpty(), 5000);

    // Read at one moment with the store, which holds what the simulator sent last.
    tab->refresh(QDateTime::currentMSecsSinceEpoch());
    const SignalValues *store = SignalValues::instance();
    const QVector<QPointF> &cells = tab->cellChart()->cells();
    QCOMPARE(cells.size(), store->value(devId, Signal::Count76).toInt());
    QVERIFY(cells.size() > 1);
    for (const QPointF &cell : cells) {
        const float volts = store->value(devId, Signal::Volt1 + int(cell.x()) - 1).toFloat();
        QCOMPARE(float(cell.y()), volts);
        QVERIFY(volts > 2.5f && volts < 3.7f);
    }
}

void TestE2eTrends::recorderFollowsTheBus()
{
    QTest::mouseClick(m_window->mainLeft()->closeCanButton(), Qt::LeftButton);
    QVERIFY(!m_window->trendRecorder()->isRunning());
}

QTEST_MAIN(TestE2eTrends)
#include "tst_e2e_trends.moc"
