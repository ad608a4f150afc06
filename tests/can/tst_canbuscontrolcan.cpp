// The built-in substitute for the vendor library on Qt's virtual CAN bus, on its own and under
// CanDevice. No vendor library sits beside this executable.
//
// Qt's virtual bus server lives in the first process that opens a virtualcan device on a local
// address, and one process serves one port only. So initTestCase opens the "second program"
// (a plain QCanBusDevice) on this test's own port first, in this thread, which stays alive for
// the whole run; every device of the test then joins that bus. A second port is served by the
// test itself with a bare QTcpServer, so that it can drop a connection at will.

#include "can/adaptertype.h"
#include "can/canbusconfig.h"
#include "can/canbuscontrolcan.h"
#include "can/candevice.h"
#include "can/controlcanfactory.h"
#include "can/controlcanlibrary.h"
#include "support/capturedestination.h"
#include "support/testport.h"

#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QCoreApplication>
#include <QFile>
#include <QLibrary>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <cstring>
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

// Passes every call on and counts the poll's calls, so that a test can wait for polls.
class CountingApi : public ControlCanApi
{
public:
    explicit CountingApi(std::shared_ptr<ControlCanApi> inner)
        : m_inner(std::move(inner))
    { }

    std::atomic<int> receiveCalls { 0 };
    std::atomic<int> readErrInfoCalls { 0 };

    std::uint32_t openDevice(std::uint32_t t, std::uint32_t i, std::uint32_t r) override
    {
        return m_inner->openDevice(t, i, r);
    }
    std::uint32_t closeDevice(std::uint32_t t, std::uint32_t i) override
    {
        return m_inner->closeDevice(t, i);
    }
    std::uint32_t initCan(
        std::uint32_t t, std::uint32_t i, std::uint32_t c, VCI_INIT_CONFIG *config) override
    {
        return m_inner->initCan(t, i, c, config);
    }
    std::uint32_t setReference(
        std::uint32_t t, std::uint32_t i, std::uint32_t c, std::uint32_t type, void *data) override
    {
        return m_inner->setReference(t, i, c, type, data);
    }
    std::uint32_t clearBuffer(std::uint32_t t, std::uint32_t i, std::uint32_t c) override
    {
        return m_inner->clearBuffer(t, i, c);
    }
    std::uint32_t startCan(std::uint32_t t, std::uint32_t i, std::uint32_t c) override
    {
        return m_inner->startCan(t, i, c);
    }
    std::uint32_t transmit(std::uint32_t t, std::uint32_t i, std::uint32_t c, VCI_CAN_OBJ *frames,
        std::uint32_t count) override
    {
        return m_inner->transmit(t, i, c, frames, count);
    }
    std::uint32_t receive(std::uint32_t t, std::uint32_t i, std::uint32_t c, VCI_CAN_OBJ *frames,
        std::uint32_t length, std::int32_t waitTime) override
    {
        ++receiveCalls;
        return m_inner->receive(t, i, c, frames, length, waitTime);
    }
    std::uint32_t readErrInfo(
        std::uint32_t t, std::uint32_t i, std::uint32_t c, VCI_ERR_INFO *errorInfo) override
    {
        ++readErrInfoCalls;
        return m_inner->readErrInfo(t, i, c, errorInfo);
    }
    QString description() const override { return m_inner->description(); }

private:
    std::shared_ptr<ControlCanApi> m_inner;
};

VCI_CAN_OBJ makeRecord(std::uint32_t id, bool extended, const QByteArray &data)
{
    VCI_CAN_OBJ record {};
    record.ID = id;
    record.ExternFlag = extended ? 1 : 0;
    record.DataLen = static_cast<std::uint8_t>(data.size());
    std::memcpy(record.Data, data.constData(), static_cast<std::size_t>(data.size()));
    return record;
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

class TestCanBusControlCan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void factoryFallsBackToTheSubstitute();
    void callsFailUntilOpened();
    void followsTheOperationContracts();
    void receiveNeverWaitsAndKeepsToLength();
    void refusesAnIdentifierTooLongForAStandardFrame();
    void openFailsWithoutAPlugin();
    void openFailsWithoutABus();
    void closeDuringConnectionWaitEndsIt();
    void reportsALostConnectionOnce();
    void canDeviceLogsALostConnectionOnce();
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

void TestCanBusControlCan::initTestCase()
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

void TestCanBusControlCan::init()
{
    m_log->clear();
    m_peer->readAllFrames();
}

void TestCanBusControlCan::cleanup()
{
    QFile::remove(CanBusConfig::filePathBesideExecutable());
}

void TestCanBusControlCan::cleanupTestCase()
{
    m_peer->disconnectDevice();
    m_peer.reset();
    CaptureDestination::detach(m_log);
}

bool TestCanBusControlCan::settle(const std::function<bool()> &everyoneHeard)
{
    const QCanBusFrame probe = makeFrame(ProbeId, QByteArray(1, '\x7F'));
    return QTest::qWaitFor(
        [&] {
            m_peer->writeFrame(probe);
            return everyoneHeard();
        },
        5000);
}

void TestCanBusControlCan::factoryFallsBackToTheSubstitute()
{
    QLibrary systemLibrary(QStringLiteral("ControlCAN"));
    if (systemLibrary.load())
        QSKIP("a ControlCAN library is installed on this machine");

    // Without canbus.ini: Qt's virtual bus on can0.
    std::shared_ptr<ControlCanApi> api = ControlCanFactory::create();
    auto *substitute = dynamic_cast<CanBusControlCan *>(api.get());
    QVERIFY(substitute);
    QCOMPARE(substitute->config(), CanBusConfig());
    QCOMPARE(m_log->count(QStringLiteral("ControlCanFactory::create: no ControlCAN library")), 1);

    // With canbus.ini beside the executable: what it says.
    QFile file(CanBusConfig::filePathBesideExecutable());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("plugin=virtualcan\ninterface=" + virtualInterface(BusPort).toUtf8() + "\n");
    file.close();
    api = ControlCanFactory::create();
    substitute = dynamic_cast<CanBusControlCan *>(api.get());
    QVERIFY(substitute);
    QCOMPARE(substitute->config(), busConfig());
    QVERIFY(substitute->description().contains(virtualInterface(BusPort)));
}

void TestCanBusControlCan::callsFailUntilOpened()
{
    CanBusControlCan api(busConfig());
    VCI_INIT_CONFIG config {};
    std::uint32_t reference = 0x1C0008;
    VCI_CAN_OBJ frames[4] {};
    VCI_ERR_INFO errorInfo {};
    QCOMPARE(api.initCan(AdapterType::UsbCan2, 0, 0, &config), 0u);
    QCOMPARE(api.setReference(AdapterType::UsbCan2, 0, 0, 0, &reference), 0u);
    QCOMPARE(api.clearBuffer(AdapterType::UsbCan2, 0, 0), 0u);
    QCOMPARE(api.startCan(AdapterType::UsbCan2, 0, 0), 0u);
    QCOMPARE(api.transmit(AdapterType::UsbCan2, 0, 0, frames, 1), 0u);
    QCOMPARE(api.receive(AdapterType::UsbCan2, 0, 0, frames, 4, 0), VCI_RECEIVE_ERROR);
    QCOMPARE(api.readErrInfo(AdapterType::UsbCan2, 0, 0, &errorInfo), 0u);
    QCOMPARE(api.closeDevice(AdapterType::UsbCan2, 0), 0u);
}

void TestCanBusControlCan::followsTheOperationContracts()
{
    CanBusControlCan api(busConfig());
    QCOMPARE(api.openDevice(AdapterType::UsbCan2, 0, 0), VCI_STATUS_OK);
    QCOMPARE(api.openDevice(AdapterType::UsbCan2, 0, 0), 0u); // already open

    VCI_INIT_CONFIG config {};
    config.AccMask = 0xFFFFFFFF;
    std::uint32_t reference = 0x1C0008;
    // Another adapter or channel than the one opened does not exist here.
    QCOMPARE(api.initCan(AdapterType::UsbCan2, 1, 0, &config), 0u);
    QCOMPARE(api.initCan(AdapterType::UsbCan2, 0, 1, &config), 0u);
    QCOMPARE(api.initCan(AdapterType::UsbCan1, 0, 0, &config), 0u);
    // Started only once initialised.
    QCOMPARE(api.startCan(AdapterType::UsbCan2, 0, 0), 0u);
    QCOMPARE(api.initCan(AdapterType::UsbCan2, 0, 0, &config), VCI_STATUS_OK);
    QCOMPARE(api.setReference(AdapterType::UsbCan2, 0, 0, 0, &reference), VCI_STATUS_OK);
    QCOMPARE(api.setReference(AdapterType::UsbCan2, 0, 0, 0, nullptr), 0u);
    QCOMPARE(api.clearBuffer(AdapterType::UsbCan2, 0, 0), VCI_STATUS_OK);
    QCOMPARE(api.startCan(AdapterType::UsbCan2, 0, 0), VCI_STATUS_OK);

    VCI_CAN_OBJ frames[4] {};
    QCOMPARE(api.receive(AdapterType::UsbCan2, 0, 0, frames, 4, 0), 0u);
    bool heard = false;
    QVERIFY(settle([&] {
        while (api.receive(AdapterType::UsbCan2, 0, 0, frames, 4, 0) > 0)
            heard = true;
        return heard;
    }));

    // Out: the frame as recorded.
    VCI_CAN_OBJ out = makeRecord(0x18100080, true, QByteArray::fromHex("0201"));
    QCOMPARE(api.transmit(AdapterType::UsbCan2, 0, 0, &out, 1), 1u);
    QTRY_VERIFY(m_peer->framesAvailable() > 0);
    const QCanBusFrame sent = m_peer->readFrame();
    QCOMPARE(sent.frameId(), 0x18100080u);
    QVERIFY(sent.hasExtendedFrameFormat());
    QCOMPARE(sent.payload(), QByteArray::fromHex("0201"));

    // In: identifier, flags, length, zero-padded data, a time stamp.
    QVERIFY(m_peer->writeFrame(makeFrame(0x18FF0105, QByteArray::fromHex("aabb"))));
    std::uint32_t got = 0;
    // qWaitFor rather than QTRY_VERIFY: the condition reads frames, and QTRY evaluates it again
    // after it held.
    QVERIFY(QTest::qWaitFor(
        [&] {
            // Probes still on their way are passed over.
            got = api.receive(AdapterType::UsbCan2, 0, 0, frames, 1, 0);
            return got == 1 && frames[0].ID != ProbeId;
        },
        5000));
    QCOMPARE(frames[0].ID, 0x18FF0105u);
    QCOMPARE(int(frames[0].ExternFlag), 1);
    QCOMPARE(int(frames[0].RemoteFlag), 0);
    QCOMPARE(int(frames[0].DataLen), 2);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(frames[0].Data), 8),
        QByteArray::fromHex("aabb000000000000"));
    QCOMPARE(int(frames[0].TimeFlag), 1);

    VCI_ERR_INFO errorInfo {};
    QCOMPARE(api.readErrInfo(AdapterType::UsbCan2, 0, 0, &errorInfo), VCI_STATUS_OK);
    QCOMPARE(errorInfo.ErrCode, 0u);

    QCOMPARE(api.closeDevice(AdapterType::UsbCan2, 0), VCI_STATUS_OK);
    QCOMPARE(api.transmit(AdapterType::UsbCan2, 0, 0, &out, 1), 0u);
    QCOMPARE(api.receive(AdapterType::UsbCan2, 0, 0, frames, 4, 0), VCI_RECEIVE_ERROR);
    // Opens again after a close.
    QCOMPARE(api.openDevice(AdapterType::UsbCan2, 0, 0), VCI_STATUS_OK);
    QCOMPARE(api.closeDevice(AdapterType::UsbCan2, 0), VCI_STATUS_OK);
}

void TestCanBusControlCan::receiveNeverWaitsAndKeepsToLength()
{
    CanBusControlCan api(busConfig());
    VCI_INIT_CONFIG config {};
    QCOMPARE(api.openDevice(AdapterType::UsbCan2, 0, 0), VCI_STATUS_OK);
    QCOMPARE(api.initCan(AdapterType::UsbCan2, 0, 0, &config), VCI_STATUS_OK);
    QCOMPARE(api.startCan(AdapterType::UsbCan2, 0, 0), VCI_STATUS_OK);

    VCI_CAN_OBJ frames[8] {};
    bool heard = false;
    QVERIFY(settle([&] {
        while (api.receive(AdapterType::UsbCan2, 0, 0, frames, 8, 0) > 0)
            heard = true;
        return heard;
    }));

    for (int i = 0; i < 5; ++i)
        QVERIFY(m_peer->writeFrame(makeFrame(0x18FF0200 + quint32(i), QByteArray(8, char(i)))));

    // However long the wait asked for, no call returns more than asked, and none blocks.
    QList<std::uint32_t> ids;
    QVERIFY(QTest::qWaitFor(
        [&] {
            QElapsedTimer timer;
            timer.start();
            const std::uint32_t got = api.receive(AdapterType::UsbCan2, 0, 0, frames, 2, 1000);
            if (got > 2 || timer.elapsed() > 100)
                return true; // fails below
            for (std::uint32_t i = 0; i < got; ++i) {
                if (frames[i].ID != ProbeId)
                    ids.append(frames[i].ID);
            }
            return ids.size() >= 5;
        },
        5000));
    QCOMPARE(ids.size(), 5);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(ids.at(i), std::uint32_t(0x18FF0200 + i));
    QCOMPARE(api.closeDevice(AdapterType::UsbCan2, 0), VCI_STATUS_OK);
}

void TestCanBusControlCan::refusesAnIdentifierTooLongForAStandardFrame()
{
    CanBusControlCan api(busConfig());
    VCI_INIT_CONFIG config {};
    QCOMPARE(api.openDevice(AdapterType::UsbCan2, 0, 0), VCI_STATUS_OK);
    QCOMPARE(api.initCan(AdapterType::UsbCan2, 0, 0, &config), VCI_STATUS_OK);
    QCOMPARE(api.startCan(AdapterType::UsbCan2, 0, 0), VCI_STATUS_OK);

    VCI_CAN_OBJ frames[2] = { makeRecord(0x123, false, QByteArray::fromHex("01")),
        makeRecord(0x18100080, false, QByteArray::fromHex("02")) };
    // The first goes out, the second cannot: the count says so.
    QCOMPARE(api.transmit(AdapterType::UsbCan2, 0, 0, frames, 2), 1u);
    QCOMPARE(api.closeDevice(AdapterType::UsbCan2, 0), VCI_STATUS_OK);
}

void TestCanBusControlCan::openFailsWithoutAPlugin()
{
    CanBusControlCan api(CanBusConfig(QStringLiteral("nosuchplugin"), QStringLiteral("can0")));
    QCOMPARE(api.openDevice(AdapterType::UsbCan2, 0, 0), 0u);
    QCOMPARE(m_log->count(QStringLiteral("CanBusControlCan::openDevice: cannot create")), 1);
}

void TestCanBusControlCan::openFailsWithoutABus()
{
    // This process already serves its one virtual bus port, so nothing answers on another.
    const CanBusConfig nowhere(QStringLiteral("virtualcan"), virtualInterface(NobodyListensPort));
    CanBusControlCan api(nowhere);
    api.setConnectTimeout(ShortConnectTimeoutMs);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(api.openDevice(AdapterType::UsbCan2, 0, 0), 0u);
    QVERIFY(timer.elapsed() < 10 * ShortConnectTimeoutMs);
    QCOMPARE(m_log->count(QStringLiteral("CanBusControlCan::openDevice: cannot connect")), 1);
    VCI_INIT_CONFIG config {};
    QCOMPARE(api.initCan(AdapterType::UsbCan2, 0, 0, &config), 0u);

    // Under CanDevice that is a failed open.
    auto substitute = std::make_shared<CanBusControlCan>(nowhere);
    substitute->setConnectTimeout(ShortConnectTimeoutMs);
    CanDevice device(substitute);
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), -1);
    QCOMPARE(m_log->count(QStringLiteral("CanDevice::init: failed to open can card.")), 1);
}

void TestCanBusControlCan::closeDuringConnectionWaitEndsIt()
{
    CanBusControlCan api(
        CanBusConfig(QStringLiteral("virtualcan"), virtualInterface(NobodyListensPort)));
    api.setConnectTimeout(60000);
    // Arrives, like a queued close(), while openDevice waits for a bus that never answers.
    QTimer::singleShot(0, [&api] { api.closeDevice(AdapterType::UsbCan2, 0); });
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(api.openDevice(AdapterType::UsbCan2, 0, 0), 0u);
    QVERIFY(timer.elapsed() < 30000);
    QCOMPARE(m_log->count(QStringLiteral("closed while connecting")), 1);
    // And the substitute is ready for the next attempt.
    api.setConnectTimeout(ShortConnectTimeoutMs);
    QCOMPARE(api.openDevice(AdapterType::UsbCan2, 0, 0), 0u);
    QCOMPARE(m_log->count(QStringLiteral("not connected within")), 1);
}

void TestCanBusControlCan::reportsALostConnectionOnce()
{
    QTcpServer server;
    QVERIFY2(server.listen(QHostAddress::LocalHost, DroppingServerPort),
        qPrintable(server.errorString()));

    CanBusControlCan api(droppingConfig());
    VCI_INIT_CONFIG config {};
    QCOMPARE(api.openDevice(AdapterType::UsbCan2, 0, 0), VCI_STATUS_OK);
    QCOMPARE(api.initCan(AdapterType::UsbCan2, 0, 0, &config), VCI_STATUS_OK);
    QCOMPARE(api.startCan(AdapterType::UsbCan2, 0, 0), VCI_STATUS_OK);
    QTRY_VERIFY(server.hasPendingConnections());
    std::unique_ptr<QTcpSocket> connection(server.nextPendingConnection());

    VCI_ERR_INFO errorInfo {};
    QCOMPARE(api.readErrInfo(AdapterType::UsbCan2, 0, 0, &errorInfo), VCI_STATUS_OK);
    QCOMPARE(errorInfo.ErrCode, 0u);

    connection->close();
    std::uint32_t code = 0;
    QVERIFY(QTest::qWaitFor(
        [&] {
            api.readErrInfo(AdapterType::UsbCan2, 0, 0, &errorInfo);
            code = errorInfo.ErrCode;
            return code != 0;
        },
        5000));
    QCOMPARE(code & CanBusControlCan::ConnectionErrorBit,
        std::uint32_t(CanBusControlCan::ConnectionErrorBit));
    // Read once, then cleared.
    QCOMPARE(api.readErrInfo(AdapterType::UsbCan2, 0, 0, &errorInfo), VCI_STATUS_OK);
    QCOMPARE(errorInfo.ErrCode, 0u);
    // Without a bus nothing goes out or comes in.
    VCI_CAN_OBJ out = makeRecord(0x18100080, true, QByteArray::fromHex("01"));
    QCOMPARE(api.transmit(AdapterType::UsbCan2, 0, 0, &out, 1), 0u);
    QCOMPARE(api.receive(AdapterType::UsbCan2, 0, 0, &out, 1, 0), VCI_RECEIVE_ERROR);
    QCOMPARE(api.closeDevice(AdapterType::UsbCan2, 0), VCI_STATUS_OK);
}

void TestCanBusControlCan::canDeviceLogsALostConnectionOnce()
{
    QTcpServer server;
    QVERIFY2(server.listen(QHostAddress::LocalHost, DroppingServerPort),
        qPrintable(server.errorString()));

    auto api = std::make_shared<CountingApi>(std::make_shared<CanBusControlCan>(droppingConfig()));
    CanDevice device(api);
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    QTRY_VERIFY(server.hasPendingConnections());
    std::unique_ptr<QTcpSocket> connection(server.nextPendingConnection());

    connection->close();
    const QString line = QStringLiteral("\"OnTimeout: read error: %1, going to reset can.\" ")
                             .arg(CanBusControlCan::ConnectionErrorBit);
    QTRY_COMPARE(m_log->count(line), 1);
    // Many polls later, still the one line: the substitute reported the loss once.
    const int polls = api->readErrInfoCalls;
    QTRY_VERIFY(api->readErrInfoCalls >= polls + 40);
    QCOMPARE(m_log->count(QStringLiteral("read error")), 1);
    device.close();
}

void TestCanBusControlCan::twoCanDevicesExchangeFrames_data()
{
    QTest::addColumn<bool>("inWorkerThreads");
    QTest::newRow("each in a worker thread") << true;
    QTest::newRow("both in the test thread") << false;
}

void TestCanBusControlCan::twoCanDevicesExchangeFrames()
{
    QFETCH(bool, inWorkerThreads);

    QThread threadA;
    QThread threadB;
    auto *deviceA = new CanDevice(std::make_shared<CanBusControlCan>(busConfig()));
    auto *deviceB = new CanDevice(std::make_shared<CanBusControlCan>(busConfig()));
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

// The substitute announces what arrives: a burst larger than one read of the adapter is taken
// whole as it comes, not a read's worth at each poll, which comes only once a second then.
void TestCanBusControlCan::aBurstIsTakenWholeWhenItArrives()
{
    CanDevice device(std::make_shared<CanBusControlCan>(busConfig()));
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

QTEST_GUILESS_MAIN(TestCanBusControlCan)
#include "tst_canbuscontrolcan.moc"
