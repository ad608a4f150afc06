#include "records/banktablemodel.h"
#include "records/csvfile.h"
#include "records/trendrecorder.h"
#include "resource/resources.h"
#include "ui/markedbarchart.h"
#include "ui/trendpixels.h"
#include "ui/uicellvoltagechart.h"
#include "ui/uitrendbanktab.h"
#include "ui/uitrendbatterytab.h"
#include "ui/uitrendswindow.h"
#include "uitestsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The Trends window on a store of each test's own, fed frame by frame, and a recorder sampled
// at times the test chooses.
class TestUiTrendsWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void outliers_data();
    void outliers();
    void bankSortsByNumberAndAClickOpensTheBattery();
    void bankHoldsItsOrderUnderThePointer();
    void batteryFollowsTheTopBarUntilOneIsPicked();
    void cellBars_data();
    void cellBars();
    void pauseStopsThePlotsNotTheRecording();
    void spansAndGaps();
    void pixelsKeepEachColumnsExtremes();
    void exportWritesWhatIsShown();
    void refreshesOnlyWhileShown();
    void stateSurvivesARestart();
    void pointerTimeIsMarkedOnEveryPlot();
    void escapeAndCtrlWClose_data();
    void escapeAndCtrlWClose();

private:
    // A battery online with these values; the spread is in mV above a lowest cell of 3.3 V.
    void battery(quint8 devId, double soc, double spreadMv = 10, int status = 0);
    void sample(qint64 fromS, qint64 toS);

    static constexpr qint64 T0 = 1700000000000;
    std::unique_ptr<SignalValues> m_store;
    std::unique_ptr<TrendRecorder> m_recorder;
    std::unique_ptr<UiTrendsWindow> m_window;
};

void TestUiTrendsWindow::initTestCase()
{
    Resources::init();
}

void TestUiTrendsWindow::init()
{
    m_window.reset();
    m_recorder.reset();
    m_store.reset(new SignalValues);
    m_recorder.reset(new TrendRecorder(m_store.get()));
    m_window.reset(new UiTrendsWindow(m_recorder.get(), m_store.get(), nullptr));
}

void TestUiTrendsWindow::battery(quint8 devId, double soc, double spreadMv, int status)
{
    UiTest::feed(devId, FrameKey::PackStatus,
        { { Signal::SumVolt, 52.8 }, { Signal::Curr, -12.5 }, { Signal::SOC, soc },
            { Signal::SysStatus, status } },
        m_store.get());
    UiTest::feed(devId, FrameKey::CellVoltExtremes,
        { { Signal::MaxCellV, 3.3 + spreadMv / 1000 }, { Signal::MinCellV, 3.3 } }, m_store.get());
}

void TestUiTrendsWindow::sample(qint64 fromS, qint64 toS)
{
    for (qint64 s = fromS; s <= toS; ++s)
        m_recorder->sample(T0 + s * 1000);
}

void TestUiTrendsWindow::outliers_data()
{
    QTest::addColumn<QList<double>>("socs");
    QTest::addColumn<QList<double>>("spreads");
    QTest::addColumn<int>("offline"); // index of a battery offline, or -1
    QTest::addColumn<QList<bool>>("socMarks");
    QTest::addColumn<QList<bool>>("spreadMarks");
    const QList<bool> none3 = { false, false, false };
    QTest::newRow("the battery that lags in charge")
        << QList<double> { 80, 81, 60 } << QList<double> { 10, 10, 10 } << -1
        << QList<bool> { false, false, true } << none3;
    QTest::newRow("the pack out of balance")
        << QList<double> { 80, 80, 80 } << QList<double> { 10, 40, 11 } << -1 << none3
        << QList<bool> { false, true, false };
    QTest::newRow("every battery beyond the threshold, not only the furthest")
        << QList<double> { 80, 81, 60, 62, 80 } << QList<double> { 10, 10, 10, 10, 10 } << -1
        << QList<bool> { false, false, true, true, false }
        << QList<bool> { false, false, false, false, false };
    QTest::newRow("two batteries have no median to stand apart from")
        << QList<double> { 80, 20 } << QList<double> { 10, 90 } << -1
        << QList<bool> { false, false } << QList<bool> { false, false };
    QTest::newRow("a battery offline is left out")
        << QList<double> { 80, 80, 65, 5 } << QList<double> { 10, 10, 10, 10 } << 3
        << QList<bool> { false, false, true, false } << QList<bool> { false, false, false, false };
}

void TestUiTrendsWindow::outliers()
{
    QFETCH(QList<double>, socs);
    QFETCH(QList<double>, spreads);
    QFETCH(int, offline);
    QFETCH(QList<bool>, socMarks);
    QFETCH(QList<bool>, spreadMarks);
    for (int i = 0; i < socs.size(); ++i)
        battery(quint8(i), socs.at(i), spreads.at(i), i == offline ? 3 : 0);

    UiTrendBankTab *bank = m_window->bankTab();
    bank->refresh();
    BankTableModel *model = bank->model();
    QCOMPARE(model->rowCount(), socs.size());
    for (int row = 0; row < model->rowCount(); ++row) {
        const auto marked = [&](int column) {
            return model->index(row, column).data(BankTableModel::IsOutlierRole).toBool();
        };
        QCOMPARE(marked(BankTableModel::StateOfCharge), socMarks.at(row));
        QCOMPARE(marked(BankTableModel::Spread), spreadMarks.at(row));
        // The bar chart marks the same battery, and those offline grey.
        const QColor bar = bank->socBars()->colorOf(row);
        QCOMPARE(bar == UiTrendBankTab::Offline, row == offline);
        QCOMPARE(bar == UiTrendBankTab::Outlier, socMarks.at(row));
    }
}

void TestUiTrendsWindow::bankSortsByNumberAndAClickOpensTheBattery()
{
    // As text, 10.0 and 100.0 would come before 9.5.
    battery(4, 100.0);
    battery(7, 9.5);
    battery(2, 10.0);
    m_window->show();
    m_window->tabs()->setCurrentWidget(m_window->bankTab());
    UiTrendBankTab *bank = m_window->bankTab();
    bank->refresh();
    QCOMPARE(bank->model()->index(0, BankTableModel::Id).data().toString(), QStringLiteral("04"));

    bank->table()->sortByColumn(BankTableModel::StateOfCharge, Qt::AscendingOrder);
    QList<int> order;
    for (int row = 0; row < bank->proxy()->rowCount(); ++row)
        order.append(bank->proxy()->index(row, 0).data(BankTableModel::DeviceIdRole).toInt());
    QCOMPARE(order, QList<int>({ 7, 2, 4 }));

    QSignalSpy chosen(m_window.get(), &UiTrendsWindow::batteryChosen);
    QTableView *table = bank->table();
    const QRect cell = table->visualRect(bank->proxy()->index(1, BankTableModel::Current));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toInt(), 2);
    QCOMPARE(m_window->tabs()->currentWidget(), m_window->batteryTab());
    QCOMPARE(m_window->batteryTab()->deviceId(), 2);
    QVERIFY(m_window->batteryTab()->isFollowing());
}

void TestUiTrendsWindow::bankHoldsItsOrderUnderThePointer()
{
    battery(1, 30);
    battery(2, 60);
    battery(3, 90);
    UiTrendBankTab *bank = m_window->bankTab();
    bank->refresh();
    bank->table()->sortByColumn(BankTableModel::StateOfCharge, Qt::AscendingOrder);
    const auto order = [bank] {
        QList<int> ids;
        for (int row = 0; row < bank->proxy()->rowCount(); ++row)
            ids.append(bank->proxy()->index(row, 0).data(BankTableModel::DeviceIdRole).toInt());
        return ids;
    };
    QCOMPARE(order(), QList<int>({ 1, 2, 3 }));

    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(bank->table()->viewport(), &enter);
    battery(1, 95);
    bank->refresh();
    QCOMPARE(order(), QList<int>({ 1, 2, 3 }));
    QCOMPARE(bank->model()->index(0, BankTableModel::StateOfCharge).data().toString(),
        QStringLiteral("95.0"));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(bank->table()->viewport(), &leave);
    QCOMPARE(order(), QList<int>({ 2, 3, 1 }));
}

void TestUiTrendsWindow::batteryFollowsTheTopBarUntilOneIsPicked()
{
    for (quint8 devId : { 2, 3, 5 })
        battery(devId, 50);
    UiTrendBatteryTab *tab = m_window->batteryTab();
    tab->refresh(T0);
    m_window->Slot_ShowMonitorData(3);
    QCOMPARE(tab->deviceId(), 3);

    // The engineer picks 05 in the tab's own selector: the top bar no longer leads.
    QComboBox *combo = tab->batteryCombo();
    emit combo->activated(combo->findText(QStringLiteral("05")));
    QCOMPARE(tab->deviceId(), 5);
    QVERIFY(!tab->isFollowing());
    m_window->Slot_ShowMonitorData(2);
    QCOMPARE(tab->deviceId(), 5);

    // Following again goes back to the top bar's choice at once.
    tab->followCheck()->setChecked(true);
    QCOMPARE(tab->deviceId(), 2);
}

void TestUiTrendsWindow::cellBars_data()
{
    QTest::addColumn<int>("reported"); // Count76
    QTest::addColumn<int>("bars");
    QTest::newRow("four cells reported of eight sent") << 4 << 4;
    QTest::newRow("no count: every cell sent") << 0 << 8;
}

void TestUiTrendsWindow::cellBars()
{
    QFETCH(int, reported);
    QFETCH(int, bars);
    const quint8 devId = 6;
    battery(devId, 50);
    UiTest::feed(devId, FrameKey::PackInfo, { { Signal::Count76, reported } }, m_store.get());
    UiTest::feed(devId, FrameKey::CellVolts1to4,
        { { Signal::Volt1, 3.30 }, { Signal::Volt2, 3.35 }, { Signal::Volt3, 3.28 },
            { Signal::Volt4, 3.31 } },
        m_store.get());
    UiTest::feed(devId, FrameKey::CellVolts5to8,
        { { Signal::Volt5, 3.40 }, { Signal::Volt6, 3.30 }, { Signal::Volt7, 3.20 },
            { Signal::Volt8, 3.30 } },
        m_store.get());

    UiTrendBatteryTab *tab = m_window->batteryTab();
    tab->openBattery(devId);
    const UiCellVoltageChart *chart = tab->cellChart();
    QCOMPARE(chart->cells().size(), bars);
    for (const QPointF &cell : chart->cells()) {
        QCOMPARE(
            float(cell.y()), m_store->value(devId, Signal::Volt1 + int(cell.x()) - 1).toFloat());
    }
    // Cells 2 and 3 among four, 5 and 7 among eight.
    const int highest = bars == 4 ? 1 : 4;
    const int lowest = bars == 4 ? 2 : 6;
    for (int i = 0; i < bars; ++i) {
        const QColor expected = i == highest ? UiCellVoltageChart::Highest
            : i == lowest                    ? UiCellVoltageChart::Lowest
                                             : chart->bars()->colorOf(-1);
        QCOMPARE(chart->bars()->colorOf(i), expected);
    }
    const int spreadMv = bars == 4 ? 70 : 200;
    QVERIFY2(chart->title().text().contains(QStringLiteral("spread %1 mV").arg(spreadMv)),
        qPrintable(chart->title().text()));
}

void TestUiTrendsWindow::pauseStopsThePlotsNotTheRecording()
{
    battery(1, 50);
    UiTrendBatteryTab *tab = m_window->batteryTab();
    tab->openBattery(1);
    sample(0, 5);
    tab->refresh(T0 + 5000);
    QCOMPARE(tab->points()[TrendChannel::PackVoltage].size(), 6);

    tab->pauseButton()->click();
    QVERIFY(tab->isPaused());
    sample(6, 10);
    tab->refresh(T0 + 10000);
    QCOMPARE(tab->shownUntilMs(), T0 + 5000);
    QCOMPARE(tab->points()[TrendChannel::PackVoltage].size(), 6);

    tab->pauseButton()->click();
    tab->refresh(T0 + 10000);
    QCOMPARE(tab->points()[TrendChannel::PackVoltage].size(), 11);
}

void TestUiTrendsWindow::spansAndGaps()
{
    battery(1, 50);
    UiTrendBatteryTab *tab = m_window->batteryTab();
    tab->openBattery(1);
    sample(0, 3599);
    m_recorder->stop();
    sample(3700, 3800);
    const qint64 now = T0 + 3800 * 1000;

    const QList<QPair<UiTrendBatteryTab::Span, qint64>> spans = { { UiTrendBatteryTab::LastMinute,
                                                                      now - 60000 },
        { UiTrendBatteryTab::LastHour, now - 3600000 }, { UiTrendBatteryTab::Everything, T0 } };
    for (const auto &span : spans) {
        tab->setSpan(span.first);
        tab->refresh(now);
        const QwtInterval shown = tab->plots().first()->axisInterval(QwtPlot::xBottom);
        QCOMPARE(qint64(shown.minValue()), span.second);
        QCOMPARE(qint64(shown.maxValue()), now);
        QVERIFY(tab->points()[TrendChannel::PackVoltage].first().startMs
            >= span.second - TrendSeries::Layout[1].widthMs);
    }
    // The time the bus was closed reads as nothing.
    QVERIFY(tab->plots()
                .first()
                ->valuesAt(T0 + 3650 * 1000)
                .contains(QStringLiteral("Pack voltage (V): -")));
    QVERIFY(tab->plots()
                .first()
                ->valuesAt(T0 + 3750 * 1000)
                .contains(QStringLiteral("Pack voltage (V): 52.8")));
}

void TestUiTrendsWindow::pixelsKeepEachColumnsExtremes()
{
    // Ten 1 s points, five to a pixel column, a gap before the ninth; then three thinned ones
    // in one column, a 1 s point between the second and the third.
    const QList<float> means = { 1, 5, 2, 8, 3, 4, 0, 6, 2, 2 };
    QVector<TrendPoint> points;
    for (int i = 0; i < means.size(); ++i)
        points.append({ i * 1000, 1000, means.at(i), means.at(i), means.at(i), i == 8 });
    points.append({ 20000, 1000, 1, 3, 2, false });
    points.append({ 21000, 1000, 0, 2, 1, false });
    points.append({ 22000, 1000, 5, 5, 5, false });
    points.append({ 23000, 1000, 4, 9, 6, false });

    const TrendPixels::Drawn drawn = TrendPixels::reduce(points, 10, 0, 5000);
    QVector<double> lineX;
    for (const QPointF &point : drawn.line)
        lineX.append((point.x() - 500) / 1000);
    // Lowest and highest of each column in time order; the gap splits the second column.
    QCOMPARE(lineX, QVector<double>({ 0, 3, 6, 7, 8, 21, 23 }));
    QCOMPARE(drawn.line.at(1).y(), 80.0);
    QCOMPARE(drawn.lineBreaks, QVector<int>({ 4 }));
    QCOMPARE(drawn.band.size(), 2);
    QCOMPARE(drawn.band.at(0).interval, QwtInterval(0, 30));
    QCOMPARE(drawn.band.at(1).interval, QwtInterval(40, 90));
    QCOMPARE(drawn.bandBreaks, QVector<int>({ 1 }));
}

void TestUiTrendsWindow::exportWritesWhatIsShown()
{
    battery(1, 50);
    UiTest::feed(1, FrameKey::CellVolts1to4,
        { { Signal::Volt1, 3.301 }, { Signal::Volt2, 3.302 }, { Signal::Volt3, 3.303 },
            { Signal::Volt4, 3.304 } },
        m_store.get());
    UiTrendBatteryTab *tab = m_window->batteryTab();
    tab->openBattery(1);
    sample(0, 4);
    m_window->resize(900, 700);
    tab->refresh(T0 + 4000);

    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("trend.csv"));
    QCOMPARE(tab->exportCsv(csv), 0);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    // Header, five lines of points, an empty line, the four cells under their header, the
    // empty rest after the last line end.
    QCOMPARE(lines.size(), 13);
    QVERIFY(lines.at(6).trimmed().isEmpty());
    QVERIFY(lines.at(7).startsWith("Cell,Cell voltage (V) at "));
    QCOMPARE(lines.at(11).trimmed(), QByteArray("4,3.304"));
    QVERIFY(lines.at(0).startsWith(
        "\xEF\xBB\xBF"
        "Battery,Time,Interval (s),Pack voltage (V),Pack voltage (V) lowest,"));
    const QList<QByteArray> first = lines.at(1).trimmed().split(',');
    QCOMPARE(first.at(0), QByteArray("01"));
    QCOMPARE(
        first.at(1), QDateTime::fromMSecsSinceEpoch(T0).toString("yyyy-MM-dd hh:mm:ss").toUtf8());
    QCOMPARE(first.mid(2, 4), QList<QByteArray>({ "1", "52.8", "52.8", "52.8" }));

    // Five seconds of data in a ten-minute span: the window starts with the data, or a minute
    // back at least.
    QCOMPARE(
        qint64(tab->plots().first()->axisInterval(QwtPlot::xBottom).minValue()), T0 + 4000 - 60000);
    const QString png = dir.filePath(QStringLiteral("trend.png"));
    QCOMPARE(tab->exportPng(png), 0);
    QVERIFY(!QImage(png).isNull());
    QVERIFY2(tab->pictureTitle().startsWith(QStringLiteral("Battery 01 · ")
                 + QDateTime::fromMSecsSinceEpoch(T0).toString("yyyy-MM-dd")),
        qPrintable(tab->pictureTitle()));
    QCOMPARE(tab->exportCsv(dir.filePath(QStringLiteral("no/such/folder/trend.csv"))), -1);
}

void TestUiTrendsWindow::refreshesOnlyWhileShown()
{
    QVERIFY(!m_window->isRefreshing());
    m_window->showWindow();
    QVERIFY(m_window->isRefreshing());
    m_window->hide();
    QVERIFY(!m_window->isRefreshing());
}

void TestUiTrendsWindow::stateSurvivesARestart()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trends.ini"));
    m_window->tabs()->setCurrentWidget(m_window->bankTab());
    m_window->batteryTab()->setSpan(UiTrendBatteryTab::LastHour);
    m_window->batteryTab()->pickBattery(5);
    m_window->saveState(path);

    UiTrendsWindow again(m_recorder.get(), m_store.get(), nullptr);
    again.restoreState(path);
    QCOMPARE(again.tabs()->currentWidget(), again.bankTab());
    QCOMPARE(again.batteryTab()->spanCombo()->currentIndex(), int(UiTrendBatteryTab::LastHour));
    QCOMPARE(again.batteryTab()->deviceId(), 5);
    QVERIFY(!again.batteryTab()->isFollowing());
}

void TestUiTrendsWindow::pointerTimeIsMarkedOnEveryPlot()
{
    battery(1, 50);
    UiTrendBatteryTab *tab = m_window->batteryTab();
    tab->openBattery(1);
    sample(0, 30);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    tab->refresh(T0 + 30000);

    QWidget *canvas = tab->plots().first()->canvas();
    QTest::mouseMove(canvas, canvas->rect().center());
    for (int i = 1; i < tab->plots().size(); ++i)
        QTRY_VERIFY(tab->plots().at(i)->isTimeMarked());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(canvas, &leave);
    for (int i = 1; i < tab->plots().size(); ++i)
        QVERIFY(!tab->plots().at(i)->isTimeMarked());
}

void TestUiTrendsWindow::escapeAndCtrlWClose_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::newRow("Esc") << QKeySequence(Qt::Key_Escape);
    QTest::newRow("Ctrl+W") << QKeySequence(Qt::CTRL | Qt::Key_W);
}

void TestUiTrendsWindow::escapeAndCtrlWClose()
{
    QFETCH(QKeySequence, keys);
    m_window->showWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keySequence(m_window.get(), keys);
    QTRY_VERIFY(!m_window->isVisible());
}

QTEST_MAIN(TestUiTrendsWindow)
#include "tst_uitrendswindow.moc"
