// The QtSerialBus backend on Qt's virtual CAN bus, on its own and under CanDevice. No vendor
// library sits beside this executable.
//
// Qt's virtual bus server lives in the first process that opens a virtualcan device on a local
// address, and one process serves one port only. So initTestCase opens the "second program"
// (a plain QCanBusDevice) on this test's own port first, in this thread, which stays alive for
// the whole run; every device of the test then joins that bus. A second port is served by the
// test itself with a bare QTcpServer, so that it can drop a connection at will.

#include "can/adaptertype.h"
#include "can/canbusconfig.h"
#include "can/canbusfactory.h"
#include "can/candevice.h"
#include "can/qtcanbus/qtcanbus.h"
#include "support/capturedestination.h"
#include "support/testport.h"

#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QCoreApplication>
#include <QFile>
#include <QLibrary>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Ports of this run alone, chosen in initTestCase (TestPort), so that test processes running in
// parallel, or another run of this test, keep to their own buses.
quint16 BusPort = 0;
quint16 DroppingServerPort = 0;
quint16 NobodyListensPort = 0;
// Enough for a connection on this machine; a refused one is only noticed by the timeout.
constexpr int ShortConnectTimeoutMs = 300;
// What the second program sends while the bus settles; receivers ignore it.
constexpr quint32 ProbeId = 0x1FFFFFFF;

QString virtualInterface(quint16 port)
{
    return QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port);
}

CanBusConfig busConfig()
{
    return CanBusConfig(QStringLiteral("virtualcan"), virtualInterface(BusPort));
}

CanBusConfig droppingConfig()
{
    return CanBusConfig(QStringLiteral("virtualcan"), virtualInterface(DroppingServerPort));
}

CanFrame extendedFrame(quint32 id, const QByteArray &data)
{
    CanFrame frame;
    frame.id = id;
    frame.data = data;
    return frame;
}

// Reads until a frame other than the second program's probes came, or for 5 s.
bool readOne(QtCanBus &bus, CanFrame *frame)
{
    return QTest::qWaitFor(
        [&] { return bus.readFrames(frame, 1) == 1 && frame->id != ProbeId; }, 5000);
}

QCanBusFrame makeFrame(quint32 id, const QByteArray &payload)
{
    QCanBusFrame frame(id, payload);
    frame.setExtendedFrameFormat(true);
    return frame;
}

struct Received
{
    ulong id;
    QByteArray data;
    ulong timeStamp;
};

} // namespace

class TestQtCanBus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void factoryFallsBackToTheConfiguredBus();
    void carriesFramesBothWays();
    void readKeepsToTheCount();
    void openFailsWithoutAPlugin();
    void openFailsWithoutABus();
    void closeDuringConnectionWaitEndsIt();
    void reportsALostConnectionOnce();
    void twoCanDevicesExchangeFrames_data();
    void twoCanDevicesExchangeFrames();
    void aBurstIsTakenWholeWhenItArrives();

private:
    // Lets frames flow from the second program until the given receivers have each seen one:
    // the bus server learns of a new member only when it gets to it.
    bool settle(const std::function<bool()> &everyoneHeard);

    std::unique_ptr<QCanBusDevice> m_peer;
    QSharedPointer<CaptureDestination> m_log;
};

void TestQtCanBus::initTestCase()
{
    m_log = CaptureDestination::attach();
    QList<quint16> ports;
    while (ports.size() < 3) {
        const quint16 port = TestPort::pick();
        QVERIFY(port != 0);
        if (!ports.contains(port))
            ports.append(port);
    }
    BusPort = ports.at(0);
    DroppingServerPort = ports.at(1);
    NobodyListensPort = ports.at(2);
    QString reason;
    m_peer = busConfig().createDevice(&reason);
    QVERIFY2(m_peer, qPrintable(reason));
    QVERIFY(m_peer->connectDevice());
    QTRY_COMPARE(m_peer->state(), QCanBusDevice::ConnectedState);
}

void TestQtCanBus::init()
{
    m_log->clear();
    m_peer->readAllFrames();
}

void TestQtCanBus::cleanup()
{
    QFile::remove(CanBusConfig::filePathBesideExecutable());
}

void TestQtCanBus::cleanupTestCase()
{
    m_peer->disconnectDevice();
    m_peer.reset();
    CaptureDestination::detach(m_log);
}

bool TestQtCanBus::settle(const std::function<bool()> &everyoneHeard)
{
    const QCanBusFrame probe = makeFrame(ProbeId, QByteArray(1, '\x7F'));
    return QTest::qWaitFor(
        [&] {
            m_peer->writeFrame(probe);
            return everyoneHeard();
        },
        5000);
}

void TestQtCanBus::factoryFallsBackToTheConfiguredBus()
{
    QLibrary systemLibrary(QStringLiteral("ControlCAN"));
    if (systemLibrary.load())
        QSKIP("a ControlCAN library is installed on this machine");

    // Without canbus.ini: Qt's virtual bus on can0.
    std::unique_ptr<CanBus> bus(CanBusFactory::create());
    auto *qtBus = qobject_cast<QtCanBus *>(bus.get());
    QVERIFY(qtBus);
    QCOMPARE(qtBus->config(), CanBusConfig());
    QCOMPARE(m_log->count(QStringLiteral("CanBusFactory::create: no ControlCAN library")), 1);

    // With canbus.ini beside the executable: what it says.
    QFile file(CanBusConfig::filePathBesideExecutable());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("plugin=virtualcan\ninterface=" + virtualInterface(BusPort).toUtf8() + "\n");
    file.close();
    bus.reset(CanBusFactory::create());
    qtBus = qobject_cast<QtCanBus *>(bus.get());
    QVERIFY(qtBus);
    QCOMPARE(qtBus->config(), busConfig());
    QVERIFY(qtBus->description().contains(virtualInterface(BusPort)));
}

void TestQtCanBus::carriesFramesBothWays()
{
    QtCanBus bus(busConfig());
    QVERIFY(!bus.writeFrame(extendedFrame(0x18100080, "\x01"))); // not open yet
    QVERIFY(bus.open({}));
    QCOMPARE(bus.state(), CanBus::State::Open);
    CanFrame frame;
    QVERIFY(settle([&] { return bus.readFrames(&frame, 1) > 0; }));
    while (bus.readFrames(&frame, 1) > 0) { }

    // Out: as given; an identifier too long for a standard frame is refused.
    QVERIFY(bus.writeFrame(extendedFrame(0x18100080, QByteArray::fromHex("0201"))));
    CanFrame tooLong = extendedFrame(0x18100080, QByteArray::fromHex("02"));
    tooLong.extended = false;
    QVERIFY(!bus.writeFrame(tooLong));
    QTRY_VERIFY(m_peer->framesAvailable() > 0);
    const QCanBusFrame sent = m_peer->readFrame();
    QCOMPARE(sent.frameId(), 0x18100080u);
    QVERIFY(sent.hasExtendedFrameFormat());
    QCOMPARE(sent.payload(), QByteArray::fromHex("0201"));

    // In: identifier, flags, the data as sent.
    QVERIFY(m_peer->writeFrame(makeFrame(0x18FF0105, QByteArray::fromHex("aabb"))));
    QVERIFY(readOne(bus, &frame));
    QCOMPARE(frame, extendedFrame(0x18FF0105, QByteArray::fromHex("aabb")));
    QCanBusFrame remote(QCanBusFrame::RemoteRequestFrame);
    remote.setFrameId(0x123);
    QVERIFY(m_peer->writeFrame(remote));
    QVERIFY(readOne(bus, &frame));
    QCOMPARE(frame.id, 0x123u);
    QVERIFY(frame.remote);
    QVERIFY(!frame.extended);
    QCOMPARE(bus.takeErrorCode(), 0u);

    bus.close();
    QCOMPARE(bus.state(), CanBus::State::Closed);
    QVERIFY(!bus.writeFrame(extendedFrame(0x18100080, "\x01")));
    // Opens again after a close.
    QVERIFY(bus.open({}));
}

void TestQtCanBus::readKeepsToTheCount()
{
    QtCanBus bus(busConfig());
    QVERIFY(bus.open({}));
    CanFrame frames[8];
    QVERIFY(settle([&] { return bus.readFrames(frames, 8) > 0; }));

    for (int i = 0; i < 5; ++i)
        QVERIFY(m_peer->writeFrame(makeFrame(0x18FF0200 + quint32(i), QByteArray(8, char(i)))));

    // No read returns more than asked.
    QList<quint32> ids;
    QVERIFY(QTest::qWaitFor(
        [&] {
            const int got = bus.readFrames(frames, 2);
            if (got > 2)
                return true; // fails below
            for (int i = 0; i < got; ++i) {
                if (frames[i].id != ProbeId)
                    ids.append(frames[i].id);
            }
            return ids.size() >= 5;
        },
        5000));
    QCOMPARE(ids.size(), 5);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(ids.at(i), quint32(0x18FF0200 + i));
}

void TestQtCanBus::openFailsWithoutAPlugin()
{
    QtCanBus bus(CanBusConfig(QStringLiteral("nosuchplugin"), QStringLiteral("can0")));
    QVERIFY(!bus.open({}));
    QCOMPARE(m_log->count(QStringLiteral("QtCanBus::open: cannot create")), 1);
}

void TestQtCanBus::openFailsWithoutABus()
{
    // This process already serves its one virtual bus port, so nothing answers on another.
    const CanBusConfig nowhere(QStringLiteral("virtualcan"), virtualInterface(NobodyListensPort));
    auto *bus = new QtCanBus(nowhere);
    bus->setConnectTimeout(ShortConnectTimeoutMs);
    // Under CanDevice that is a failed open.
    CanDevice device(bus);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), -1);
    QVERIFY(timer.elapsed() < 10 * ShortConnectTimeoutMs);
    QCOMPARE(m_log->count(QStringLiteral("QtCanBus::open: cannot connect")), 1);
    QCOMPARE(bus->state(), CanBus::State::Closed);
}

void TestQtCanBus::closeDuringConnectionWaitEndsIt()
{
    QtCanBus bus(CanBusConfig(QStringLiteral("virtualcan"), virtualInterface(NobodyListensPort)));
    bus.setConnectTimeout(60000);
    // Arrives, like a queued close(), while open() waits for a bus that never answers.
    QTimer::singleShot(0, [&bus] { bus.close(); });
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!bus.open({}));
    QVERIFY(timer.elapsed() < 30000);
    QCOMPARE(m_log->count(QStringLiteral("closed while connecting")), 1);
    // And the bus is ready for the next attempt.
    bus.setConnectTimeout(ShortConnectTimeoutMs);
    QVERIFY(!bus.open({}));
    QCOMPARE(m_log->count(QStringLiteral("not connected within")), 1);
}

void TestQtCanBus::reportsALostConnectionOnce()
{
    QTcpServer server;
    QVERIFY2(server.listen(QHostAddress::LocalHost, DroppingServerPort),
        qPrintable(server.errorString()));

    auto *bus = new QtCanBus(droppingConfig());
    CanDevice device(bus);
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    QTRY_VERIFY(server.hasPendingConnections());
    std::unique_ptr<QTcpSocket> connection(server.nextPendingConnection());

    connection->close();
    QTRY_COMPARE(bus->state(), CanBus::State::Lost);
    const QString line = QStringLiteral("\"OnTimeout: read error: %1, going to reset can.\" ")
                             .arg(QtCanBus::ConnectionErrorBit);
    QTRY_COMPARE(m_log->count(line), 1);
    QCOMPARE(m_log->count(QStringLiteral("CanDevice: lost the adapter")), 1);
    // Without a bus nothing goes out: the frame is reported lost after a failed re-opening.
    QSignalSpy lost(&device, &CanDevice::transmitFailed);
    device.writeData(0x18100080ul, QByteArray::fromHex("01"));
    QCOMPARE(lost.count(), 1);
    QCOMPARE(m_log->count(QStringLiteral("read error")), 1);
    device.close();
}

void TestQtCanBus::twoCanDevicesExchangeFrames_data()
{
    QTest::addColumn<bool>("inWorkerThreads");
    QTest::newRow("each in a worker thread") << true;
    QTest::newRow("both in the test thread") << false;
}

void TestQtCanBus::twoCanDevicesExchangeFrames()
{
    QFETCH(bool, inWorkerThreads);

    QThread threadA;
    QThread threadB;
    auto *deviceA = new CanDevice(new QtCanBus(busConfig()));
    auto *deviceB = new CanDevice(new QtCanBus(busConfig()));
    if (inWorkerThreads) {
        threadA.start();
        threadB.start();
        deviceA->moveToThread(&threadA);
        deviceB->moveToThread(&threadB);
    }
    const Qt::ConnectionType blocking
        = inWorkerThreads ? Qt::BlockingQueuedConnection : Qt::DirectConnection;

    QList<Received> atA;
    QList<Received> atB;
    bool heardA = false;
    bool heardB = false;
    connect(deviceA, &CanDevice::newData, this,
        [&atA, &heardA](ulong id, QByteArray data, ulong timeStamp) {
            if (id == ProbeId)
                heardA = true;
            else
                atA.append({ id, data, timeStamp });
        });
    connect(deviceB, &CanDevice::newData, this,
        [&atB, &heardB](ulong id, QByteArray data, ulong timeStamp) {
            if (id == ProbeId)
                heardB = true;
            else
                atB.append({ id, data, timeStamp });
        });
    // However the test ends, the devices die in their threads and the threads stop.
    auto tearDown = qScopeGuard([&] {
        for (CanDevice *device : { deviceA, deviceB })
            QMetaObject::invokeMethod(
                device, [device] { delete device; }, blocking);
        threadA.quit();
        threadB.quit();
        threadA.wait();
        threadB.wait();
    });

    for (CanDevice *device : { deviceA, deviceB }) {
        int result = 1;
        QVERIFY(QMetaObject::invokeMethod(device, "open", blocking, Q_RETURN_ARG(int, result),
            Q_ARG(int, 4), Q_ARG(int, 0), Q_ARG(bool, true), Q_ARG(int, 0), Q_ARG(int, 250)));
        QCOMPARE(result, 0);
    }
    QVERIFY(settle([&] { return heardA && heardB; }));
    QVERIFY(atA.isEmpty());
    QVERIFY(atB.isEmpty());

    QVERIFY(QMetaObject::invokeMethod(deviceA, "writeData", Qt::QueuedConnection,
        Q_ARG(ulong, 0x18FF0080ul), Q_ARG(QByteArray, QByteArray::fromHex("0102"))));
    QTRY_COMPARE(atB.size(), 1);
    QCOMPARE(atB.first().id, 0x18FF0080ul);
    QCOMPARE(atB.first().data, QByteArray::fromHex("0102000000000000"));

    QVERIFY(QMetaObject::invokeMethod(deviceB, "writeData", Qt::QueuedConnection,
        Q_ARG(ulong, 0x18100081ul), Q_ARG(QByteArray, QByteArray::fromHex("0807060504030201"))));
    QTRY_COMPARE(atA.size(), 1);
    QCOMPARE(atA.first().id, 0x18100081ul);
    QCOMPARE(atA.first().data, QByteArray::fromHex("0807060504030201"));

    // The second program saw both, as extended frames.
    QTRY_COMPARE(m_peer->framesAvailable(), 2);
    const QVector<QCanBusFrame> seen = m_peer->readAllFrames();
    QCOMPARE(seen.at(0).frameId(), 0x18FF0080u);
    QVERIFY(seen.at(0).hasExtendedFrameFormat());
    QCOMPARE(seen.at(1).frameId(), 0x18100081u);

    // Time stamps run forwards.
    QVERIFY(m_peer->writeFrame(makeFrame(0x18FF0001, QByteArray(8, '\1'))));
    QTRY_COMPARE(atA.size(), 2);
    QVERIFY(atA.at(1).timeStamp >= atA.at(0).timeStamp);

    // Closed, then destroyed where they live, like their bus devices (tearDown).
    for (CanDevice *device : { deviceA, deviceB })
        QVERIFY(QMetaObject::invokeMethod(device, "close", blocking));
}

// The bus announces what arrives: a burst larger than one read of the adapter is taken
// whole as it comes, not a read's worth at each poll, which comes only once a second then.
void TestQtCanBus::aBurstIsTakenWholeWhenItArrives()
{
    CanDevice device(new QtCanBus(busConfig()));
    bool heard = false;
    QList<ulong> ids;
    connect(&device, &CanDevice::newData, this, [&](ulong id) {
        heard = true;
        if (id != ProbeId)
            ids.append(id);
    });
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    QVERIFY(settle([&heard] { return heard; }));

    constexpr int Burst = 5 * CanDevice::ReceiveBufferFrames / 2;
    QList<ulong> sent;
    for (int i = 0; i < Burst; ++i) {
        sent.append(0x18000000ul + ulong(i));
        QVERIFY(m_peer->writeFrame(makeFrame(quint32(sent.last()), QByteArray(8, char(i)))));
    }
    QTRY_COMPARE_WITH_TIMEOUT(ids.size(), Burst, CanDevice::AnnouncedPollIntervalMs / 2);
    QCOMPARE(ids, sent);
    device.close();
}

QTEST_GUILESS_MAIN(TestQtCanBus)
#include "tst_qtcanbus.moc"
