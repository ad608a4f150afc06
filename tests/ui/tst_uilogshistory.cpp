// The LOGS HISTORY container and its page dots, and the history data page, as the main window
// builds them (on the application's CAN service and signal store).

#include "resource/resources.h"
#include "support/parameterset.h"
#include "uitestsupport.h"

#include "can/canservice.h"
#include "records/historydatamodel.h"
#include "records/historyeventmodel.h"
#include "records/realtimerecordingtablemodel.h"
#include "support/testport.h"
#include "ui/mainwidger.h"
#include "ui/uihistorydata.h"
#include "ui/uihistoryevents.h"
#include "ui/uilogshistory.h"
#include "ui/uimaintop.h"
#include "ui/uipageindicator.h"
#include "ui/uirealtimerecording.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QtTest>

namespace {

const QString Grey = QStringLiteral(
    "QLabel{max-width: 8px;max-height: 8px;background-color: gray;border-radius: 4px;}");
const QString Green = QStringLiteral(
    "QLabel{max-width: 8px;max-height: 8px;background-color: #63deb7;border-radius: 4px;}");

QStringList dotStyles(const UiPageIndicator &indicator)
{
    QStringList styles;
    for (int i = 0; i < indicator.count(); ++i)
        styles << (indicator.dot(i)->styleSheet() == Green ? "green"
                : indicator.dot(i)->styleSheet() == Grey   ? "grey"
                                                           : "?");
    return styles;
}

} // namespace

class TestUiLogsHistory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void pageIndicator_data();
    void pageIndicator();
    void pagingWithTheArrows();
    void selectedBatteryReachesBothPages();
    void historyDataPageFollowsTheSelection();
    void hiddenPagesAreKeptCurrentInTheMainWindow();
};

void TestUiLogsHistory::initTestCase()
{
    Resources::init();
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    // Should anything open the bus, a virtual one of this test's own.
    QFile ini(QCoreApplication::applicationDirPath() + QStringLiteral("/canbus.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const quint16 port = TestPort::pick();
    QVERIFY(port != 0);
    ini.write(QStringLiteral("plugin=virtualcan\ninterface=tcp://127.0.0.1:%1/can0\n")
                  .arg(port)
                  .toUtf8());
    SignalValues::instance();
}

void TestUiLogsHistory::pageIndicator_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("moves");
    QTest::addColumn<QStringList>("dots");
    QTest::newRow("construction selects dot 0")
        << 2 << QList<int>() << QStringList { "green", "grey" };
    QTest::newRow("second of two") << 2 << QList<int> { 1 } << QStringList { "grey", "green" };
    QTest::newRow("back to the first")
        << 2 << QList<int> { 1, 0 } << QStringList { "green", "grey" };
    QTest::newRow("middle of five")
        << 5 << QList<int> { 4, 2 } << QStringList { "grey", "grey", "green", "grey", "grey" };
}

void TestUiLogsHistory::pageIndicator()
{
    QFETCH(int, count);
    QFETCH(QList<int>, moves);
    QFETCH(QStringList, dots);
    UiPageIndicator indicator(count);
    for (int index : moves)
        indicator.setCurrentIndex(index);
    QCOMPARE(dotStyles(indicator), dots);
    QCOMPARE(indicator.currentIndex(), moves.isEmpty() ? 0 : moves.last());
}

void TestUiLogsHistory::pagingWithTheArrows()
{
    UiLogsHistory page;
    QCOMPARE(page.currentIndex(), 0);
    QCOMPARE(page.pageIndicator()->count(), 2);
    QCOMPARE(dotStyles(*page.pageIndicator()), QStringList({ "green", "grey" }));
    QCOMPARE(page.previousButton()->text(), QStringLiteral("<"));
    QCOMPARE(page.nextButton()->text(), QStringLiteral(">"));

    page.nextButton()->click();
    QCOMPARE(page.currentIndex(), 1);
    QVERIFY(page.historyEvents()->isVisibleTo(&page));
    QVERIFY(!page.realTimeRecording()->isVisibleTo(&page));
    QCOMPARE(dotStyles(*page.pageIndicator()), QStringList({ "grey", "green" }));
    page.nextButton()->click(); // already on the last page
    QCOMPARE(page.currentIndex(), 1);

    page.previousButton()->click();
    QCOMPARE(page.currentIndex(), 0);
    QVERIFY(page.realTimeRecording()->isVisibleTo(&page));
    QCOMPARE(dotStyles(*page.pageIndicator()), QStringList({ "green", "grey" }));
}

void TestUiLogsHistory::selectedBatteryReachesBothPages()
{
    UiLogsHistory page;
    emit page.showMonitorData(12);
    QCOMPARE(page.realTimeRecording()->currentDevice(), 12);
    QCOMPARE(page.historyEvents()->currentDevice(), 12);
    // Recording takes it from there.
    page.realTimeRecording()->recordButton()->click();
    QCOMPARE(page.realTimeRecording()->model()->deviceId(), 12);
    page.realTimeRecording()->stopButton()->click();
}

void TestUiLogsHistory::historyDataPageFollowsTheSelection()
{
    UiHistoryData page;
    QCOMPARE(page.table()->model(), page.model());
    QCOMPARE(page.currentDevice(), -1);
    UiTest::feed(4, FrameKey::LifetimeCounts, { { Signal::StatCount3, 12 } });
    page.Slot_ShowMonitorData(4);
    QCOMPARE(page.currentDevice(), 4);
    QTRY_COMPARE(page.model()->data(page.model()->index(2, 3)).toString(), QStringLiteral("0012"));
}

void TestUiLogsHistory::hiddenPagesAreKeptCurrentInTheMainWindow()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    QCOMPARE(window.stack()->currentIndex(), int(MainWidger::BaseInfoPage));
    UiTest::feed(5, FrameKey::LifetimeHours2, { { Signal::StatHours8, 88.25 } });
    emit window.mainTop()->Sig_SetCurrentBmsId(5);
    QCOMPARE(window.logsHistory()->realTimeRecording()->currentDevice(), 5);
    QCOMPARE(window.logsHistory()->historyEvents()->currentDevice(), 5);
    // Not shown, and refreshed all the same.
    HistoryDataModel *statistics = window.historyData()->model();
    QTRY_COMPARE(statistics->data(statistics->index(7, 1)).toString(), QStringLiteral("88.25"));
    QVERIFY(!window.historyData()->isVisible());
}

QTEST_MAIN(TestUiLogsHistory)
#include "tst_uilogshistory.moc"
