// The bank as the gateways see it: which batteries it has.

#include "bank/bankmodel.h"
#include "bus/busmonitor.h"

#include "can/commandprotocol.h"
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

} // namespace

Q_DECLARE_METATYPE(Frame)

class TestBankModel : public QObject
{
    Q_OBJECT

private slots:
    void onlyBroadcastsMakeABattery_data();
    void onlyBroadcastsMakeABattery();
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

QTEST_GUILESS_MAIN(TestBankModel)
#include "tst_bankmodel.moc"
