// The bank as the gateways see it: which batteries it has, and its figures.

#include "bank/bankmodel.h"
#include "bus/busmonitor.h"

#include "can/commandprotocol.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"
#include "upgrade/canbootframe.h"

#include <QtTest>

namespace {

struct Frame
{
    quint32 id;
    QByteArray data;
};

// A broadcast of the catalogue's first frame kind from the battery.
Frame broadcast(const SignalValues &catalogue, int devId)
{
    return { (catalogue.frameKeys().first() << 8) | quint32(devId), QByteArray(8, '\0') };
}

using Values = QHash<int, double>;

// Every broadcast frame of the battery, carrying the values given (0 for the others).
void broadcastAll(SignalValues &store, BusMonitor &monitor, int devId, const Values &values)
{
    for (quint32 key : store.frameKeys()) {
        const quint32 id = FrameKey::identifier(key, quint8(devId));
        const QByteArray data = store.encode(key, values);
        store.OnNewCanFrame(id, data, 0);
        monitor.addFrame(id, true, data);
    }
}

} // namespace

Q_DECLARE_METATYPE(Frame)

class TestBankModel : public QObject
{
    Q_OBJECT

private slots:
    void onlyBroadcastsMakeABattery_data();
    void onlyBroadcastsMakeABattery();
    void figuresOfTheBatteriesOnline_data();
    void figuresOfTheBatteriesOnline();
};

void TestBankModel::onlyBroadcastsMakeABattery_data()
{
    QTest::addColumn<QList<Frame>>("frames");
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<QList<int>>("batteries");

    const SignalValues catalogue;
    const Frame slice { CanBootFrame::DataId, "S3250802" };
    const Frame bootRequest { CanBootFrame::RequestBootId, {} };
    const Frame eraseAnswer { CanBootFrame::EraseFlashId | 4, QByteArray(8, '\x55') };
    const Frame reply { CommandProtocol::replyId(0x01, 6), QByteArray(8, '\0') };
    QTest::newRow("an upgrade's slices make no battery 0") << QList<Frame> { slice, slice,
        broadcast(catalogue, 3) } << QList<int>() << QList<int> { 3 };
    QTest::newRow("an upgrade's requests and answers make none")
        << QList<Frame> { bootRequest, eraseAnswer } << QList<int>() << QList<int>();
    QTest::newRow("a reply makes none") << QList<Frame> { reply } << QList<int>() << QList<int>();
    QTest::newRow("broadcasts do, in order") << QList<Frame> { broadcast(catalogue, 12),
        broadcast(catalogue, 0), broadcast(catalogue, 27) }
                                             << QList<int>() << QList<int> { 0, 12, 27 };
    QTest::newRow("only the ids asked for") << QList<Frame> { broadcast(catalogue, 1),
        broadcast(catalogue, 2), broadcast(catalogue, 3) }
                                            << QList<int> { 3, 1 } << QList<int> { 1, 3 };
}

void TestBankModel::onlyBroadcastsMakeABattery()
{
    QFETCH(QList<Frame>, frames);
    QFETCH(QList<int>, ids);
    QFETCH(QList<int>, batteries);

    const SignalValues store;
    BusMonitor monitor(store);
    for (const Frame &frame : frames)
        monitor.addFrame(frame.id, true, frame.data);
    QCOMPARE(BankModel(store, monitor, ids).batteries(), batteries);
}

void TestBankModel::figuresOfTheBatteriesOnline_data()
{
    // Batteries 1 and 2; battery 2's life counter stands when it is offline.
    QTest::addColumn<Values>("first");
    QTest::addColumn<Values>("second");
    QTest::addColumn<bool>("secondOnline");
    QTest::addColumn<double>("soc");
    QTest::addColumn<bool>("weighted");
    QTest::addColumn<double>("current");
    QTest::addColumn<double>("energy");

    const Values first { { Signal::SOC, 80 }, { Signal::RatedCapacity, 100 }, { Signal::Curr, 10 },
        { Signal::TotalDischargeEnergy, 1500 } };
    Values second { { Signal::SOC, 20 }, { Signal::RatedCapacity, 300 }, { Signal::Curr, -30 },
        { Signal::TotalDischargeEnergy, 2500 } };
    QTest::newRow("state of charge weighted by rated capacity")
        << first << second << true << 35.0 << true << -20.0 << 4.0;
    QTest::newRow("offline left out of the figures, but not of the energy")
        << first << second << false << 80.0 << true << 10.0 << 4.0;
    second.insert(Signal::RatedCapacity, 0);
    QTest::newRow("the mean when a battery reports no capacity")
        << first << second << true << 50.0 << false << -20.0 << 4.0;
}

void TestBankModel::figuresOfTheBatteriesOnline()
{
    QFETCH(Values, first);
    QFETCH(Values, second);
    QFETCH(bool, secondOnline);
    QFETCH(double, soc);
    QFETCH(bool, weighted);
    QFETCH(double, current);
    QFETCH(double, energy);

    SignalValues store;
    BusMonitor monitor(store);
    BankModel bank(store, monitor, {});
    // Life counters moving past the offline time, battery 2's only when it is online.
    for (const qint64 atMs : { 0, 100, LifeWatch::OfflineAfterMs + 50 }) {
        first.insert(Signal::LifeCounter, double(atMs % 200 + 1));
        broadcastAll(store, monitor, 1, first);
        if (secondOnline || atMs == 0) {
            second.insert(Signal::LifeCounter, double(atMs % 200 + 1));
            broadcastAll(store, monitor, 2, second);
        }
        bank.checkLives(atMs);
    }
    const BankModel::Figures figures = bank.figures();
    QCOMPARE(figures.heard, 2);
    QCOMPARE(figures.online, secondOnline ? QList<int>({ 1, 2 }) : QList<int>({ 1 }));
    QCOMPARE(figures.offline, secondOnline ? QList<int>() : QList<int>({ 2 }));
    QVERIFY2(qAbs(figures.soc - soc) < 1e-3, qPrintable(QString::number(figures.soc)));
    QCOMPARE(figures.socWeighted, weighted);
    QVERIFY(qAbs(figures.current - current) < 1e-3);
    QVERIFY(qAbs(figures.dischargeEnergy - energy) < 1e-9);
}

QTEST_GUILESS_MAIN(TestBankModel)
#include "tst_bankmodel.moc"
