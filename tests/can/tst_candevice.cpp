// CanDevice on the vendor's adapters (ControlCanBus) against the fake vendor library, which sits
// beside this executable and is loaded by the program's own loader; plus an in-process provider
// for calls that arrive nested while the provider is busy.

#include "can/adaptertype.h"
#include "can/candevice.h"
#include "can/controlcan/controlcanapi.h"
#include "can/controlcan/controlcanbus.h"
#include "can/controlcan/controlcanlibrary.h"
#include "fakecontrolcanclient.h"
#include "support/capturedestination.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>

namespace {

using QsLogging::DebugLevel;
using QsLogging::ErrorLevel;
using QsLogging::InfoLevel;
using QsLogging::WarnLevel;

QString fakeLibraryPath()
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/')
        + ControlCanLibrary::platformFileName();
}

VCI_CAN_OBJ makeFrame(
    std::uint32_t id, std::uint32_t timeStamp, std::uint8_t length, const QByteArray &data)
{
    VCI_CAN_OBJ frame {};
    frame.ID = id;
    frame.TimeStamp = timeStamp;
    frame.TimeFlag = 1;
    frame.ExternFlag = 1;
    frame.DataLen = length;
    std::memcpy(frame.Data, data.constData(), static_cast<std::size_t>(qMin(data.size(), 8)));
    return frame;
}

QByteArray dataOf(const VCI_CAN_OBJ &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.Data), frame.DataLen);
}

// A provider that succeeds at everything and, inside openDevice, runs the thread's events for a
// while (as a bus that connects over a socket does) after calling duringOpen.
class NestingApi : public ControlCanApi
{
public:
    std::function<void()> duringOpen;
    int openCalls = 0;
    int closeCalls = 0;
    int receiveCalls = 0;
    int receiveCallsDuringOpen = 0;
    int transmitCalls = 0;
    bool opening = false;

    std::uint32_t openDevice(std::uint32_t, std::uint32_t, std::uint32_t) override
    {
        ++openCalls;
        opening = true;
        if (duringOpen) {
            QTimer::singleShot(0, duringOpen);
            QEventLoop loop;
            // A bounded wait that proves nothing happens: long enough for several 5 ms poll
            // ticks to fall due, none of which may poll the adapter while it opens.
            QTimer::singleShot(40, &loop, &QEventLoop::quit);
            loop.exec();
        }
        opening = false;
        return VCI_STATUS_OK;
    }
    std::uint32_t closeDevice(std::uint32_t, std::uint32_t) override
    {
        ++closeCalls;
        return VCI_STATUS_OK;
    }
    std::uint32_t initCan(std::uint32_t, std::uint32_t, std::uint32_t, VCI_INIT_CONFIG *) override
    {
        return VCI_STATUS_OK;
    }
    std::uint32_t setReference(
        std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, void *) override
    {
        return VCI_STATUS_OK;
    }
    std::uint32_t clearBuffer(std::uint32_t, std::uint32_t, std::uint32_t) override
    {
        return VCI_STATUS_OK;
    }
    std::uint32_t startCan(std::uint32_t, std::uint32_t, std::uint32_t) override
    {
        return VCI_STATUS_OK;
    }
    std::uint32_t transmit(
        std::uint32_t, std::uint32_t, std::uint32_t, VCI_CAN_OBJ *, std::uint32_t count) override
    {
        ++transmitCalls;
        return failTransmit ? 0 : count;
    }
    std::uint32_t receive(std::uint32_t, std::uint32_t, std::uint32_t, VCI_CAN_OBJ *, std::uint32_t,
        std::int32_t) override
    {
        ++receiveCalls;
        if (opening)
            ++receiveCallsDuringOpen;
        return 0;
    }
    std::uint32_t readErrInfo(
        std::uint32_t, std::uint32_t, std::uint32_t, VCI_ERR_INFO *errorInfo) override
    {
        *errorInfo = VCI_ERR_INFO {};
        return VCI_STATUS_OK;
    }
    QString description() const override { return QStringLiteral("nesting fake"); }

    bool failTransmit = false;
};

} // namespace

class TestCanDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void factoryLoadsTheLibraryBesideTheExecutable();

    void usbCan12ProgramsTimingRegisters_data();
    void usbCan12ProgramsTimingRegisters();
    void usbCanEPassesBitRateReference_data();
    void usbCanEPassesBitRateReference();
    void openPassesIndexAndChannel();
    void unknownTypeFailsAtStart();
    void initFailures_data();
    void initFailures();
    void openClosesFirst();

    void receivedFrameArrivesWithEightBytes();
    void receivesFramesInOrderAcrossPolls();
    void receiveErrorAsksForTheErrorState();

    void writeDataTransmitsOneRecord();
    void closedAdapterSendsNothingAndReportsTheLoss();
    void moreThanEightBytesRefused();
    void transmitFailureReinitialisesOnce();
    void transmitFailureWithFailedReinitialisation();

    void readErrorLoggedOncePerChange();
    void readErrorThatClearsIsLoggedOnceEachWay();
    void largerErrorRecordDoesNotOverwriteTheStack();

    void destroyingClosesTheAdapter();
    void worksInAWorkerThread();

    void closeDuringConnectionWaitWins();
    void callsDuringConnectionWaitStandAside();

private:
    std::unique_ptr<FakeControlCanClient> m_fake;
    QSharedPointer<CaptureDestination> m_log;
};

void TestCanDevice::initTestCase()
{
    m_fake = std::make_unique<FakeControlCanClient>(fakeLibraryPath());
    QVERIFY2(m_fake->isLoaded(), qPrintable(m_fake->errorString()));
    m_log = CaptureDestination::attach();
}

void TestCanDevice::init()
{
    m_fake->reset();
    m_log->clear();
}

void TestCanDevice::cleanupTestCase()
{
    CaptureDestination::detach(m_log);
}

void TestCanDevice::factoryLoadsTheLibraryBesideTheExecutable()
{
    CanDevice device;
    QVERIFY(qobject_cast<ControlCanBus *>(device.bus()));
    QVERIFY2(device.bus()->description().contains(fakeLibraryPath()),
        qPrintable(device.bus()->description()));
    QVERIFY(!device.isOpen());
    QVERIFY(!device.isPolling());
}

void TestCanDevice::usbCan12ProgramsTimingRegisters_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("timing0");
    QTest::addColumn<int>("timing1");

    const struct
    {
        int baud;
        int timing0;
        int timing1;
    } rows[] = {
        { 5, 0xBF, 0xFF },
        { 10, 0x31, 0x1C },
        { 20, 0x18, 0x1C },
        { 40, 0x87, 0xFF },
        { 50, 0x09, 0x1C },
        { 80, 0x83, 0xFF },
        { 100, 0x04, 0x1C },
        { 125, 0x03, 0x1C },
        { 200, 0x81, 0xFA },
        { 250, 0x01, 0x1C },
        { 400, 0x80, 0xFA },
        { 666, 0x80, 0xB6 },
        { 800, 0x00, 0x16 },
        { 1000, 0x00, 0x14 },
        // Rates outside the table, 500 kbit/s among them.
        { 500, 0x00, 0x1C },
        { 33, 0x00, 0x1C },
        { 0, 0x00, 0x1C },
    };
    for (int type : { AdapterType::UsbCan1, AdapterType::UsbCan2 }) {
        const char *name = type == AdapterType::UsbCan1 ? "USBCAN1" : "USBCAN2";
        for (const auto &row : rows) {
            QTest::newRow(qPrintable(QStringLiteral("%1 at %2 kbit/s").arg(name).arg(row.baud)))
                << type << row.baud << row.timing0 << row.timing1;
        }
    }
}

void TestCanDevice::usbCan12ProgramsTimingRegisters()
{
    QFETCH(int, type);
    QFETCH(int, baud);
    QFETCH(int, timing0);
    QFETCH(int, timing1);

    CanDevice device;
    QCOMPARE(device.open(type, 0, true, 0, baud), 0);
    QVERIFY(device.isPolling());

    FakeCall call {};
    QVERIFY(m_fake->lastCall(FAKE_INIT_CAN, &call));
    QCOMPARE(call.deviceType, std::uint32_t(type));
    QCOMPARE(int(call.config.Timing0), timing0);
    QCOMPARE(int(call.config.Timing1), timing1);
    QCOMPARE(call.config.AccCode, 0u);
    QCOMPARE(call.config.AccMask, 0xFFFFFFFFu);
    QCOMPARE(call.config.Reserved, 0u);
    QCOMPARE(int(call.config.Filter), 0);
    QCOMPARE(int(call.config.Mode), 0);

    const std::vector<int> expected { FAKE_OPEN_DEVICE, FAKE_INIT_CAN, FAKE_CLEAR_BUFFER,
        FAKE_START_CAN };
    QCOMPARE(m_fake->callSequenceWithoutPolling(), expected);
}

void TestCanDevice::usbCanEPassesBitRateReference_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("baud");
    QTest::addColumn<uint>("reference");

    const struct
    {
        int baud;
        uint reference;
    } rows[] = {
        { 5, 0x1C01C1 },
        { 10, 0x1C00E0 },
        { 20, 0x0160B3 },
        { 50, 0x1C002C },
        { 100, 0x160023 },
        { 125, 0x1C0011 },
        { 500, 0x060007 },
        { 800, 0x060004 },
        { 1000, 0x060003 },
        // Rates outside the table, 250 kbit/s among them.
        { 250, 0x1C0008 },
        { 40, 0x1C0008 },
        { 666, 0x1C0008 },
    };
    for (int type : { AdapterType::UsbCanE, AdapterType::UsbCan2E }) {
        const char *name = type == AdapterType::UsbCanE ? "USBCAN_E" : "USBCAN_2E";
        for (const auto &row : rows) {
            QTest::newRow(qPrintable(QStringLiteral("%1 at %2 kbit/s").arg(name).arg(row.baud)))
                << type << row.baud << row.reference;
        }
    }
}

void TestCanDevice::usbCanEPassesBitRateReference()
{
    QFETCH(int, type);
    QFETCH(int, baud);
    QFETCH(uint, reference);

    CanDevice device;
    QCOMPARE(device.open(type, 0, true, 0, baud), 0);

    FakeCall call {};
    QVERIFY(m_fake->lastCall(FAKE_SET_REFERENCE, &call));
    QCOMPARE(call.deviceType, std::uint32_t(type));
    QCOMPARE(call.argument, 0u); // reference type 0: the bit rate
    QCOMPARE(call.reference, std::uint32_t(reference));

    // The timing registers are USBCAN1/2 business.
    QVERIFY(m_fake->lastCall(FAKE_INIT_CAN, &call));
    QCOMPARE(int(call.config.Timing0), 0);
    QCOMPARE(int(call.config.Timing1), 0);
    QCOMPARE(call.config.AccMask, 0xFFFFFFFFu);

    const std::vector<int> expected { FAKE_OPEN_DEVICE, FAKE_SET_REFERENCE, FAKE_INIT_CAN,
        FAKE_CLEAR_BUFFER, FAKE_START_CAN };
    QCOMPARE(m_fake->callSequenceWithoutPolling(), expected);
}

void TestCanDevice::openPassesIndexAndChannel()
{
    CanDevice device;
    QCOMPARE(device.open(AdapterType::UsbCan2, 1, true, 1, 250), 0);
    for (const FakeCall &call : m_fake->allCalls()) {
        QCOMPARE(call.deviceType, std::uint32_t(AdapterType::UsbCan2));
        QCOMPARE(call.deviceIndex, 1u);
        if (call.function == FAKE_OPEN_DEVICE)
            QCOMPARE(call.argument, 0u); // reserved
        else if (call.function != FAKE_CLOSE_DEVICE)
            QCOMPARE(call.channel, 1u);
    }
    QTRY_VERIFY(m_fake->calls(FAKE_RECEIVE) > 0);
    FakeCall receive {};
    QVERIFY(m_fake->lastCall(FAKE_RECEIVE, &receive));
    QCOMPARE(receive.argument, 100u); // buffer length
    QCOMPARE(receive.waitTime, 0); // never waits
}

void TestCanDevice::unknownTypeFailsAtStart()
{
    CanDevice device;
    QCOMPARE(device.open(7, 0, true, 0, 250), -1);
    QCOMPARE(m_fake->calls(FAKE_OPEN_DEVICE), 0);
    QCOMPARE(m_fake->calls(FAKE_INIT_CAN), 0);
    QCOMPARE(m_fake->calls(FAKE_START_CAN), 1);
    QVERIFY(!device.isPolling());
    QVERIFY(!device.isOpen());

    const auto lines = m_log->linesContaining(QStringLiteral("CanDevice::"));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().level, ErrorLevel);
    QCOMPARE(
        lines.first().message, QStringLiteral("CanDevice::init: failed to start can device. "));

    device.close();
    QCOMPARE(m_fake->calls(FAKE_CLOSE_DEVICE), 0);
}

void TestCanDevice::initFailures_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("failing");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("openedBeforeFailure");

    QTest::newRow("USBCAN2 open") << 4 << int(FAKE_OPEN_DEVICE) << int(WarnLevel)
                                  << "CanDevice::init: failed to open can card. " << false;
    QTest::newRow("USBCAN2 init") << 4 << int(FAKE_INIT_CAN) << int(WarnLevel)
                                  << "CanDevice::init: failed to init can device. " << true;
    QTest::newRow("USBCAN2 start") << 4 << int(FAKE_START_CAN) << int(ErrorLevel)
                                   << "CanDevice::init: failed to start can device. " << true;
    QTest::newRow("USBCAN_2E open") << 21 << int(FAKE_OPEN_DEVICE) << int(ErrorLevel)
                                    << "CanDevice::init: failed to open can card. " << false;
    QTest::newRow("USBCAN_2E reference")
        << 21 << int(FAKE_SET_REFERENCE) << int(WarnLevel)
        << "CanDevice::init: failed to set reference for USBCAN_E/2E. " << true;
    QTest::newRow("USBCAN_2E init") << 21 << int(FAKE_INIT_CAN) << int(WarnLevel)
                                    << "CanDevice::init: failed to init can device. " << true;
    QTest::newRow("USBCAN_2E start") << 21 << int(FAKE_START_CAN) << int(ErrorLevel)
                                     << "CanDevice::init: failed to start can device. " << true;
}

void TestCanDevice::initFailures()
{
    QFETCH(int, type);
    QFETCH(int, failing);
    QFETCH(int, level);
    QFETCH(QString, line);
    QFETCH(bool, openedBeforeFailure);

    m_fake->fail(FakeFunction(failing), 1, 1);
    CanDevice device;
    QCOMPARE(device.open(type, 0, true, 0, 250), -1);
    QVERIFY(!device.isPolling());
    QVERIFY(!device.isOpen());

    const auto lines = m_log->linesContaining(QStringLiteral("CanDevice::"));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(int(lines.first().level), level);
    QCOMPARE(lines.first().message, line);

    // An adapter opened before the failure is closed by the next close.
    device.close();
    QCOMPARE(m_fake->calls(FAKE_CLOSE_DEVICE), openedBeforeFailure ? 1 : 0);
    QVERIFY(!device.isOpen());
}

void TestCanDevice::openClosesFirst()
{
    CanDevice device;
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 500), 0);
    const std::vector<int> expected { FAKE_OPEN_DEVICE, FAKE_INIT_CAN, FAKE_CLEAR_BUFFER,
        FAKE_START_CAN, FAKE_CLOSE_DEVICE, FAKE_OPEN_DEVICE, FAKE_INIT_CAN, FAKE_CLEAR_BUFFER,
        FAKE_START_CAN };
    QCOMPARE(m_fake->callSequenceWithoutPolling(), expected);
    QVERIFY(device.isPolling());
}

void TestCanDevice::receivedFrameArrivesWithEightBytes()
{
    CanDevice device;
    QSignalSpy spy(&device, &CanDevice::newData);
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);

    // Length code 2, but the whole data field is handed on.
    m_fake->queueReceive(makeFrame(0x18FF0105, 123456, 2, QByteArray::fromHex("1122334455667788")));
    QVERIFY(spy.wait());
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).value<ulong>(), 0x18FF0105ul);
    QCOMPARE(spy.at(0).at(1).toByteArray(), QByteArray::fromHex("1122334455667788"));
    QCOMPARE(spy.at(0).at(2).value<ulong>(), 123456ul);
}

void TestCanDevice::receivesFramesInOrderAcrossPolls()
{
    CanDevice device;
    QSignalSpy spy(&device, &CanDevice::newData);
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);

    // More than one poll's buffer of 100.
    std::vector<VCI_CAN_OBJ> frames;
    for (std::uint32_t i = 0; i < 150; ++i)
        frames.push_back(makeFrame(0x1000 + i, i, 1, QByteArray(1, char(i))));
    m_fake->queueReceive(frames);

    QTRY_COMPARE(spy.size(), 150);
    for (int i = 0; i < 150; ++i) {
        QCOMPARE(spy.at(i).at(0).value<ulong>(), ulong(0x1000 + i));
        QCOMPARE(spy.at(i).at(1).toByteArray().size(), 8);
        QCOMPARE(spy.at(i).at(1).toByteArray().at(0), char(i));
    }
}

void TestCanDevice::receiveErrorAsksForTheErrorState()
{
    CanDevice device;
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    const int before = m_fake->calls(FAKE_READ_ERR_INFO);
    // A receive that fails returns -1 in its unsigned result; that is "no frames" too.
    m_fake->failNext(FAKE_RECEIVE, 5);
    QTRY_VERIFY(m_fake->calls(FAKE_READ_ERR_INFO) >= before + 5);
}

void TestCanDevice::writeDataTransmitsOneRecord()
{
    CanDevice device;
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    device.writeData(0x18100080ul, QByteArray::fromHex("0201000000000000"));

    QCOMPARE(m_fake->transmittedCount(), 1);
    const VCI_CAN_OBJ frame = m_fake->transmitted(0);
    QCOMPARE(frame.ID, 0x18100080u);
    QCOMPARE(int(frame.ExternFlag), 1);
    QCOMPARE(int(frame.RemoteFlag), 0);
    QCOMPARE(int(frame.SendType), 0);
    QCOMPARE(int(frame.DataLen), 8);
    QCOMPARE(dataOf(frame), QByteArray::fromHex("0201000000000000"));

    FakeCall call {};
    QVERIFY(m_fake->lastCall(FAKE_TRANSMIT, &call));
    QCOMPARE(call.argument, 1u); // one frame per call

    // A short frame keeps its length; the rest of the record stays zero.
    CanDevice standard;
    QCOMPARE(standard.open(AdapterType::UsbCan2, 1, false, 0, 250), 0);
    standard.writeData(0x123ul, QByteArray::fromHex("aa"));
    QCOMPARE(m_fake->transmittedCount(), 2);
    const VCI_CAN_OBJ shortFrame = m_fake->transmitted(1);
    QCOMPARE(int(shortFrame.ExternFlag), 0);
    QCOMPARE(int(shortFrame.DataLen), 1);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(shortFrame.Data), 8),
        QByteArray::fromHex("aa00000000000000"));
    QCOMPARE(m_log->count(QStringLiteral("CanDevice::")), 0);
}

void TestCanDevice::closedAdapterSendsNothingAndReportsTheLoss()
{
    CanDevice device;
    // Dropped while closed, and reported lost like a refused frame (without a log line: the
    // sender decides what a lost frame means).
    QSignalSpy failures(&device, &CanDevice::transmitFailed);
    device.writeData(0x18100080ul, QByteArray(8, '\0'));
    QCOMPARE(m_fake->calls(FAKE_TRANSMIT), 0);

    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    device.close();
    QVERIFY(!device.isPolling());
    QCOMPARE(m_fake->calls(FAKE_CLOSE_DEVICE), 1);
    m_log->clear();

    device.writeData(0x18100080ul, QByteArray(8, '\0'));
    QCOMPARE(m_fake->calls(FAKE_TRANSMIT), 0);
    QCOMPARE(m_log->count(QStringLiteral("CanDevice::")), 0);

    // Closing again touches nothing.
    device.close();
    QCOMPARE(m_fake->calls(FAKE_CLOSE_DEVICE), 1);
    QCOMPARE(failures.count(), 2);
    QCOMPARE(failures.at(1).at(0).value<ulong>(), 0x18100080ul);
}

void TestCanDevice::moreThanEightBytesRefused()
{
    CanDevice device;
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    device.writeData(0x18100080ul, QByteArray(9, '\x55'));

    QCOMPARE(m_fake->calls(FAKE_TRANSMIT), 0);
    const auto lines = m_log->linesContaining(QStringLiteral("CanDevice::writeData"));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().level, WarnLevel);
    QCOMPARE(lines.first().message,
        QStringLiteral("CanDevice::writeData: refused a frame of 9 data bytes. "));
    // Refusing is not a transmit failure: no reset.
    QCOMPARE(m_fake->calls(FAKE_OPEN_DEVICE), 1);
}

void TestCanDevice::transmitFailureReinitialisesOnce()
{
    CanDevice device;
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    m_fake->failNext(FAKE_TRANSMIT);
    m_log->clear();
    const std::size_t callsBefore = m_fake->callSequenceWithoutPolling().size();
    QSignalSpy failures(&device, &CanDevice::transmitFailed);

    device.writeData(0x18100080ul, QByteArray::fromHex("01"));
    // The lost frame is reported once, identifier and data.
    QCOMPARE(failures.count(), 1);
    QCOMPARE(failures.at(0).at(0).value<ulong>(), 0x18100080ul);
    QCOMPARE(failures.at(0).at(1).toByteArray(), QByteArray::fromHex("01"));

    const auto lines = m_log->linesContaining(QStringLiteral("CanDevice::"));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).level, WarnLevel);
    QCOMPARE(lines.at(0).message,
        QStringLiteral("CanDevice::writeData: failed to transmit, going to reset can... "));
    QCOMPARE(lines.at(1).level, DebugLevel);
    QCOMPARE(lines.at(1).message, QStringLiteral("CanDevice::writeData: reset can success. "));

    // Closed, opened and started again once; the failed frame is not sent again.
    std::vector<int> calls = m_fake->callSequenceWithoutPolling();
    calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(callsBefore));
    const std::vector<int> expected { FAKE_TRANSMIT, FAKE_CLOSE_DEVICE, FAKE_OPEN_DEVICE,
        FAKE_INIT_CAN, FAKE_CLEAR_BUFFER, FAKE_START_CAN };
    QCOMPARE(calls, expected);
    QCOMPARE(m_fake->transmittedCount(), 0);
    QVERIFY(device.isPolling());

    device.writeData(0x18100080ul, QByteArray::fromHex("02"));
    QCOMPARE(m_fake->transmittedCount(), 1);
    QCOMPARE(dataOf(m_fake->transmitted(0)), QByteArray::fromHex("02"));
    QCOMPARE(m_log->count(QStringLiteral("CanDevice::")), 2);
    QCOMPARE(failures.count(), 1);
}

void TestCanDevice::transmitFailureWithFailedReinitialisation()
{
    CanDevice device;
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    m_fake->failNext(FAKE_TRANSMIT);
    m_fake->failNext(FAKE_OPEN_DEVICE);
    m_log->clear();
    QSignalSpy failures(&device, &CanDevice::transmitFailed);

    device.writeData(0x18100080ul, QByteArray::fromHex("01"));
    QCOMPARE(failures.count(), 1);

    const auto lines = m_log->linesContaining(QStringLiteral("CanDevice::"));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0).message,
        QStringLiteral("CanDevice::writeData: failed to transmit, going to reset can... "));
    QCOMPARE(lines.at(1).message, QStringLiteral("CanDevice::init: failed to open can card. "));
    QCOMPARE(lines.at(2).level, ErrorLevel);
    QCOMPARE(lines.at(2).message, QStringLiteral("CanDevice::writeData: reset can failed. "));

    // The timer keeps running, but with the adapter closed nothing goes out any more.
    QVERIFY(device.isPolling());
    QVERIFY(!device.isOpen());
    device.writeData(0x18100080ul, QByteArray::fromHex("02"));
    QCOMPARE(m_fake->calls(FAKE_TRANSMIT), 1);
}

void TestCanDevice::readErrorLoggedOncePerChange()
{
    const QString line5 = QStringLiteral("read error: 5,");
    const QString line6 = QStringLiteral("read error: 6,");

    CanDevice device;
    m_fake->setError(5, -1);
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);

    // Hundreds of polls over more than a second see the error; it is written once.
    QTRY_VERIFY_WITH_TIMEOUT(
        m_fake->calls(FAKE_READ_ERR_INFO) >= 250, 10 * CanDevice::ErrorClearedAfterMs);
    const auto lines = m_log->linesContaining(line5);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().level, WarnLevel);
    // Logged as one string value, hence the quotes.
    QCOMPARE(lines.first().message,
        QStringLiteral("\"OnTimeout: read error: 5, going to reset can.\" "));

    // A different code is a change: logged at once, and once.
    m_fake->setError(6, -1);
    QTRY_COMPARE(m_log->count(line6), 1);
    const int polls = m_fake->calls(FAKE_READ_ERR_INFO);
    QTRY_VERIFY(m_fake->calls(FAKE_READ_ERR_INFO) >= polls + 50);
    QCOMPARE(m_log->count(line6), 1);
    QCOMPARE(m_log->count(QStringLiteral("cleared")), 0);

    // Reporting only: the adapter is not reset on this path.
    QCOMPARE(m_fake->calls(FAKE_OPEN_DEVICE), 1);
    QCOMPARE(m_fake->calls(FAKE_CLOSE_DEVICE), 0);
}

void TestCanDevice::readErrorThatClearsIsLoggedOnceEachWay()
{
    CanDevice device;
    m_fake->setError(9, 3);
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    QTRY_VERIFY(m_fake->calls(FAKE_READ_ERR_INFO) >= 20);
    QCOMPARE(m_log->count(QStringLiteral("read error")), 1);
    // Gone for a whole interval: one line says so.
    QTRY_COMPARE_WITH_TIMEOUT(
        m_log->count(QStringLiteral("CanDevice::OnTimeout: read error 9 cleared.")), 1,
        3 * CanDevice::ErrorClearedAfterMs);
    const auto cleared = m_log->linesContaining(QStringLiteral("cleared"));
    QCOMPARE(cleared.size(), 1);
    QCOMPARE(cleared.first().level, InfoLevel);
    // The same code coming back is a change again.
    m_fake->setError(9, 1);
    QTRY_COMPARE(m_log->count(QStringLiteral("read error: 9,")), 2);
}

void TestCanDevice::largerErrorRecordDoesNotOverwriteTheStack()
{
    // A library that fills in 64 bytes: under AddressSanitizer, writing past the record aborts.
    m_fake->setErrorRecordSize(64);
    m_fake->setError(7, -1);
    CanDevice device;
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    QTRY_VERIFY(m_fake->calls(FAKE_READ_ERR_INFO) >= 5);
    QTRY_COMPARE(m_log->count(QStringLiteral("read error: 7,")), 1);
}

void TestCanDevice::destroyingClosesTheAdapter()
{
    {
        CanDevice device;
        QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    }
    QCOMPARE(m_fake->calls(FAKE_CLOSE_DEVICE), 1);
}

void TestCanDevice::worksInAWorkerThread()
{
    // As the CAN service does it: made here, moved to a worker, reached by slot name only.
    QThread thread;
    thread.start();
    auto *device = new CanDevice;
    device->moveToThread(&thread);
    // However the test ends, the thread stops.
    auto stopThread = qScopeGuard([&thread] {
        thread.quit();
        thread.wait();
    });

    QList<QByteArray> received;
    QThread *deliveredIn = nullptr;
    connect(device, &CanDevice::newData, this,
        [&received, &deliveredIn](ulong, QByteArray data, ulong) {
            received.append(data);
            deliveredIn = QThread::currentThread();
        });

    int result = 1;
    QVERIFY(QMetaObject::invokeMethod(device, "open", Qt::BlockingQueuedConnection,
        Q_RETURN_ARG(int, result), Q_ARG(int, 4), Q_ARG(int, 0), Q_ARG(bool, true), Q_ARG(int, 0),
        Q_ARG(int, 250)));
    QCOMPARE(result, 0);

    m_fake->queueReceive(makeFrame(0x18FF0001, 1, 8, QByteArray::fromHex("0102030405060708")));
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.first(), QByteArray::fromHex("0102030405060708"));
    QCOMPARE(deliveredIn, QThread::currentThread());

    for (char i = 1; i <= 3; ++i) {
        QVERIFY(QMetaObject::invokeMethod(device, "writeData", Qt::QueuedConnection,
            Q_ARG(ulong, 0x18100080ul), Q_ARG(QByteArray, QByteArray(1, i))));
    }
    QTRY_COMPARE(m_fake->transmittedCount(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(dataOf(m_fake->transmitted(i)), QByteArray(1, char(i + 1)));

    QVERIFY(QMetaObject::invokeMethod(device, "close", Qt::BlockingQueuedConnection));
    QCOMPARE(m_fake->calls(FAKE_CLOSE_DEVICE), 1);

    QVERIFY(QMetaObject::invokeMethod(device, "open", Qt::BlockingQueuedConnection,
        Q_RETURN_ARG(int, result), Q_ARG(int, 4), Q_ARG(int, 0), Q_ARG(bool, true), Q_ARG(int, 0),
        Q_ARG(int, 250)));
    QCOMPARE(result, 0);
    // Destroyed in its own thread, where its timer lives; that closes the adapter.
    QMetaObject::invokeMethod(
        device, [device] { delete device; }, Qt::BlockingQueuedConnection);
    QCOMPARE(m_fake->calls(FAKE_CLOSE_DEVICE), 2);
}

void TestCanDevice::closeDuringConnectionWaitWins()
{
    auto api = std::make_shared<NestingApi>();
    CanDevice device(new ControlCanBus(api));
    // A close queued by another thread arrives while the provider waits for its bus.
    api->duringOpen = [&device] { device.close(); };

    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), -1);
    QVERIFY(!device.isOpen());
    QVERIFY(!device.isPolling());
    QCOMPARE(api->openCalls, 1);
    QCOMPARE(api->closeCalls, 1); // the adapter that opened after all is closed again
    QCOMPARE(m_log->count(QStringLiteral("CanDevice::init: closed while the adapter was being "
                                         "opened.")),
        1);
}

void TestCanDevice::callsDuringConnectionWaitStandAside()
{
    auto api = std::make_shared<NestingApi>();
    CanDevice device(new ControlCanBus(api));
    QCOMPARE(device.open(AdapterType::UsbCan2, 0, true, 0, 250), 0);

    // A failed transmission re-initialises while the poll timer runs; the provider's wait lets
    // the poll, further frames and a second open() in.
    int nestedOpen = 0;
    api->duringOpen = [&device, &nestedOpen] {
        device.writeData(0x18100080ul, QByteArray::fromHex("02"));
        nestedOpen = device.open(AdapterType::UsbCan2, 0, true, 0, 250);
    };
    api->failTransmit = true;
    const int transmitsBefore = api->transmitCalls;
    QSignalSpy failures(&device, &CanDevice::transmitFailed);
    device.writeData(0x18100080ul, QByteArray::fromHex("01"));

    QCOMPARE(api->transmitCalls, transmitsBefore + 1); // the nested frame was not transmitted
    // Both are reported lost: the nested one at once, the refused one after the reset.
    QCOMPARE(failures.count(), 2);
    QCOMPARE(failures.at(0).at(1).toByteArray(), QByteArray::fromHex("02"));
    QCOMPARE(failures.at(1).at(1).toByteArray(), QByteArray::fromHex("01"));
    QCOMPARE(api->receiveCallsDuringOpen, 0);
    QCOMPARE(nestedOpen, -1);
    QCOMPARE(m_log->count(QStringLiteral("CanDevice::open: refused while the adapter is being "
                                         "initialised.")),
        1);
    QCOMPARE(m_log->count(QStringLiteral("CanDevice::writeData: reset can success.")), 1);
    QVERIFY(device.isOpen());
    QVERIFY(device.isPolling());

    // And polling goes on afterwards.
    const int receivesAfter = api->receiveCalls;
    QTRY_VERIFY(api->receiveCalls > receivesAfter);
}

QTEST_GUILESS_MAIN(TestCanDevice)
#include "tst_candevice.moc"
