// The lifetime statistics grid on a signal store of the test's own, fed with broadcast frames;
// the refresh timer is driven through its slot.

#include "records/historydatamodel.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

struct Cell
{
    int row;
    int column;
};

// Where each statistic signal is shown.
const QHash<int, Cell> &cellOf()
{
    static const QHash<int, Cell> cells = {
        { Signal::StatHours1, { 0, 1 } },
        { Signal::StatHours2, { 1, 1 } },
        { Signal::StatHours3, { 2, 1 } },
        { Signal::StatHours4, { 3, 1 } },
        { Signal::StatHours5, { 4, 1 } },
        { Signal::StatHours6, { 5, 1 } },
        { Signal::StatHours7, { 6, 1 } },
        { Signal::StatHours8, { 7, 1 } },
        { Signal::StatCount1, { 0, 3 } },
        { Signal::StatCount2, { 1, 3 } },
        { Signal::StatCount3, { 2, 3 } },
        { Signal::StatCount4, { 3, 3 } },
        { Signal::TotalDischargeEnergy, { 0, 5 } },
        { Signal::RatedCapacity, { 1, 5 } },
    };
    return cells;
}

quint32 frameOf(int signal)
{
    if (signal == Signal::TotalDischargeEnergy)
        return FrameKey::LifetimeTotals;
    if (signal == Signal::RatedCapacity)
        return FrameKey::PackInfo;
    if (signal >= Signal::StatCount1 && signal <= Signal::StatCount4)
        return FrameKey::LifetimeCounts;
    return signal <= Signal::StatHours4 ? FrameKey::LifetimeHours1 : FrameKey::LifetimeHours2;
}

} // namespace

class TestHistoryDataModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void gridBeforeAnyBattery();
    void batteryThatNeverSentShowsPaddedZeros();
    void values_data();
    void values();
    void formats_data();
    void formats();
    void offlineBatteryKeepsItsValues();
    void followsTheSelection();
    void everyTickAnnouncesTheValueColumns();

private:
    QString cell(int row, int column) const;
    void tick();
    void send(int signal, double value, uchar devId = 2);

    std::unique_ptr<SignalValues> m_store;
    std::unique_ptr<HistoryDataModel> m_model;
};

void TestHistoryDataModel::init()
{
    m_store.reset(new SignalValues);
    m_model.reset(new HistoryDataModel);
    m_model->setSignalSource(m_store.get());
}

void TestHistoryDataModel::cleanup()
{
    m_model.reset();
    m_store.reset();
}

QString TestHistoryDataModel::cell(int row, int column) const
{
    return m_model->data(m_model->index(row, column)).toString();
}

void TestHistoryDataModel::tick()
{
    QVERIFY(QMetaObject::invokeMethod(m_model.get(), "OnTimerTimeout"));
}

void TestHistoryDataModel::send(int signal, double value, uchar devId)
{
    const quint32 key = frameOf(signal);
    m_store->OnNewCanFrame(
        FrameKey::identifier(key, devId), m_store->encode(key, { { signal, value } }), 0);
}

void TestHistoryDataModel::gridBeforeAnyBattery()
{
    QCOMPARE(m_model->rowCount(), 8);
    QCOMPARE(m_model->columnCount(), 6);
    QStringList header;
    for (int column = 0; column < 6; ++column)
        header << m_model->headerData(column, Qt::Horizontal).toString();
    QCOMPARE(header, QStringList({ "", "Hrs", "", "Times", "", "kWh" }));
    QCOMPARE(m_model->deviceId(), -1);
    QVERIFY(m_model->refreshTimer()->isActive());
    QCOMPARE(m_model->refreshTimer()->interval(), 1000);
    tick();
    const QStringList labels0 = { "-20-0 ℃", "0-10 ℃", "10-15 ℃", "15-45 ℃", "45-65 ℃", ">65 ℃",
        "Charge >0.6C", "Discharge >0.6C" };
    for (int row = 0; row < 8; ++row) {
        QCOMPARE(cell(row, 0), labels0.at(row));
        QCOMPARE(cell(row, 1), QStringLiteral("0"));
    }
    QCOMPARE(cell(0, 2), QStringLiteral("Voltage >56.5V"));
    QCOMPARE(cell(1, 2), QStringLiteral("Voltage <51.0V"));
    QCOMPARE(cell(2, 2), QStringLiteral("Charge Relay Protect"));
    QCOMPARE(cell(3, 2), QStringLiteral("Discharge Relay Protect"));
    QCOMPARE(cell(0, 4), QStringLiteral("Total Discharge Wh"));
    QCOMPARE(cell(1, 4), QStringLiteral("Rated Capacity Ah"));
    for (int row = 0; row < 4; ++row)
        QCOMPARE(cell(row, 3), QStringLiteral("0"));
    QCOMPARE(cell(0, 5), QStringLiteral("0"));
    QCOMPARE(cell(1, 5), QStringLiteral("0"));
    for (int row = 4; row < 8; ++row) {
        for (int column : { 2, 3 })
            QCOMPARE(cell(row, column), QString());
    }
    for (int row = 2; row < 8; ++row) {
        for (int column : { 4, 5 })
            QCOMPARE(cell(row, column), QString());
    }
}

void TestHistoryDataModel::batteryThatNeverSentShowsPaddedZeros()
{
    m_model->Slot_ShowMonitorData(6);
    QCOMPARE(cell(0, 1), QStringLiteral("0")); // until the next tick
    tick();
    for (int row = 0; row < 8; ++row)
        QCOMPARE(cell(row, 1), QStringLiteral("00.00"));
    for (int row = 0; row < 4; ++row)
        QCOMPARE(cell(row, 3), QStringLiteral("0000"));
    QCOMPARE(cell(0, 5), QStringLiteral("000000"));
    QCOMPARE(cell(1, 5), QStringLiteral("00.00"));
}

void TestHistoryDataModel::values_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("hours 3.5") << int(Signal::StatHours1) << 3.5 << "03.50";
    QTest::newRow("hours 98.75") << int(Signal::StatHours3) << 98.75 << "98.75";
    QTest::newRow("hours at the 16-bit top") << int(Signal::StatHours5) << 655.35 << "655.35";
    QTest::newRow("count 7") << int(Signal::StatCount1) << 7.0 << "0007";
    QTest::newRow("count of five digits") << int(Signal::StatCount4) << 65535.0 << "65535";
    QTest::newRow("energy 4321") << int(Signal::TotalDischargeEnergy) << 4321.0 << "004321";
    QTest::newRow("energy of seven digits, unpadded")
        << int(Signal::TotalDischargeEnergy) << 1234567.0 << "1234567";
    QTest::newRow("energy above 2^31 stays unsigned")
        << int(Signal::TotalDischargeEnergy) << 4000000000.0 << "4000000000";
    QTest::newRow("rated capacity 100 Ah") << int(Signal::RatedCapacity) << 100.0 << "100.00";
}

void TestHistoryDataModel::values()
{
    QFETCH(int, signal);
    QFETCH(double, value);
    QFETCH(QString, shown);
    send(signal, value);
    m_model->Slot_ShowMonitorData(2);
    tick();
    const Cell where = cellOf().value(signal);
    QCOMPARE(cell(where.row, where.column), shown);
}

void TestHistoryDataModel::formats_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("hours");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("energy");
    QTest::newRow("int 0 (never received)") << QVariant(0) << "00.00"
                                            << "0000"
                                            << "000000";
    QTest::newRow("456.789 rounds") << QVariant(456.789f) << "456.79"
                                    << "0457"
                                    << "000457";
    // The wire's hour counters stop at 655.35; what the store could hold is still never cut.
    QTest::newRow("987.5") << QVariant(987.5f) << "987.50"
                           << "0988"
                           << "000988";
    QTest::newRow("4567.25, wider than five") << QVariant(4567.25f) << "4567.25"
                                              << "4567"
                                              << "004567";
    QTest::newRow("uint 7") << QVariant(7u) << "07.00"
                            << "0007"
                            << "000007";
    QTest::newRow("uint 4321") << QVariant(4321u) << "4321.00"
                               << "4321"
                               << "004321";
}

void TestHistoryDataModel::formats()
{
    QFETCH(QVariant, value);
    QFETCH(QString, hours);
    QFETCH(QString, count);
    QFETCH(QString, energy);
    QCOMPARE(HistoryDataModel::hoursText(value), hours);
    QCOMPARE(HistoryDataModel::countText(value), count);
    QCOMPARE(HistoryDataModel::energyText(value), energy);
}

void TestHistoryDataModel::offlineBatteryKeepsItsValues()
{
    send(Signal::StatHours2, 12.5);
    m_model->Slot_ShowMonitorData(2);
    tick();
    QCOMPARE(cell(1, 1), QStringLiteral("12.50"));
    m_store->OnCanDeviceClose();
    for (int i = 0; i < 12; ++i)
        m_store->OnTimerTimeout();
    tick();
    QCOMPARE(cell(1, 1), QStringLiteral("12.50"));
}

void TestHistoryDataModel::followsTheSelection()
{
    send(Signal::StatCount2, 11, 2);
    send(Signal::StatCount2, 22, 5);
    m_model->Slot_ShowMonitorData(2);
    tick();
    QCOMPARE(cell(1, 3), QStringLiteral("0011"));
    m_model->Slot_ShowMonitorData(5);
    QCOMPARE(cell(1, 3), QStringLiteral("0011")); // until the next tick
    tick();
    QCOMPARE(cell(1, 3), QStringLiteral("0022"));
}

void TestHistoryDataModel::everyTickAnnouncesTheValueColumns()
{
    QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
    tick(); // no battery: nothing
    QCOMPARE(changed.size(), 0);
    m_model->Slot_ShowMonitorData(0);
    tick();
    tick(); // unchanged values are announced all the same
    QCOMPARE(changed.size(), 6);
    QStringList ranges;
    for (int i = 0; i < 3; ++i) {
        const QModelIndex from = changed.at(i).at(0).toModelIndex();
        const QModelIndex to = changed.at(i).at(1).toModelIndex();
        ranges << QStringLiteral("%1,%2-%3,%4")
                      .arg(from.row())
                      .arg(from.column())
                      .arg(to.row())
                      .arg(to.column());
    }
    QCOMPARE(ranges, QStringList({ "0,1-7,1", "0,3-3,3", "0,5-1,5" }));
}

QTEST_GUILESS_MAIN(TestHistoryDataModel)
#include "tst_historydatamodel.moc"
