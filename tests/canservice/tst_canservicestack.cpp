// The whole CAN stack as the program builds it: CanService::instance() makes its adapter, whose
// provider is the fake vendor library beside this executable, loaded by the program's own
// loader. The test plays the batteries by queueing frames in the fake and reading what it was
// given to transmit. The command protocol in detail is tst_canservice's business, one seam
// higher; this one proves the layers meet.

#include "can/adaptertype.h"
#include "signals/batterybank.h"
#include "support/capturedestination.h"
#include "support/parameterset.h"

#include "can/candevice.h"
#include "can/canservice.h"
#include "can/commandcodec.h"
#include "can/controlcan/controlcanlibrary.h"
#include "fakecontrolcanclient.h"
#include "log/logger.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <memory>

using namespace CommandProtocol;
using namespace QsLogging;

namespace {

CanFrame frame(quint32 id, const QByteArray &data)
{
    return CanFrame { id, data };
}

const CanFrame &frame(const CanFrame &reply)
{
    return reply;
}

QString text(const CanFrame &frame)
{
    return QStringLiteral("%1 ext=%2 len=%3: %4")
        .arg(frame.id, 8, 16, QLatin1Char('0'))
        .arg(frame.extended ? 1 : 0)
        .arg(frame.data.size())
        .arg(QString::fromLatin1(frame.data.toHex(' ')));
}

} // namespace

class TestCanServiceStack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void instanceIsSingleAndOpensTheAdapter();
    void parameterRoundTripOverTheVendorBoundary();
    void clockOfABatteryComingOnlineIsSet();
    void failedTransmissionCostsOneCommandThenServiceGoesOn();
    void persistingBusErrorIsLoggedOncePerChange();
    void closingTakesEveryBatteryOffline();

private:
    // Plays battery 3 answering its parameter writes, but only those the adapter did transmit.
    void answerTransmittedWrites(QTimer *battery);
    QStringList transmitted() const;
    int transmittedWithId(std::uint32_t id) const;

    std::unique_ptr<FakeControlCanClient> m_fake;
    int m_sentBefore = 0;
    int m_closedBefore = 0;
    QSharedPointer<CaptureDestination> m_capture;
};

void TestCanServiceStack::initTestCase()
{
    QVERIFY(ParameterSet::install(
        QStringLiteral(UPPER_SOURCE_DIR "/tests/canservice/data/threshold.cfg")));

    m_fake.reset(new FakeControlCanClient(QCoreApplication::applicationDirPath() + QLatin1Char('/')
        + ControlCanLibrary::platformFileName()));
    QVERIFY2(m_fake->isLoaded(), qPrintable(m_fake->errorString()));
    m_fake->reset();

    m_capture.reset(new CaptureDestination);
    Logger::instance().addDestination(m_capture);
    Logger::instance().setLoggingLevel(TraceLevel);
    SignalValues::instance();
}

void TestCanServiceStack::init()
{
    // The fake's records run on from test to test, as the adapter stays open.
    m_sentBefore = m_fake->transmittedCount();
    m_closedBefore = m_fake->calls(FAKE_CLOSE_DEVICE);
}

void TestCanServiceStack::cleanupTestCase()
{
    // The service is never destroyed; leave its adapter idle for the process's end.
    CanService::instance()->closeService();
    Logger::instance().removeDestination(m_capture);
}

QStringList TestCanServiceStack::transmitted() const
{
    QStringList lines;
    for (int i = m_sentBefore; i < m_fake->transmittedCount(); ++i)
        lines.append(text(m_fake->transmittedFrame(i)));
    return lines;
}

int TestCanServiceStack::transmittedWithId(std::uint32_t id) const
{
    int count = 0;
    for (int i = m_sentBefore; i < m_fake->transmittedCount(); ++i)
        count += m_fake->transmittedFrame(i).id == id ? 1 : 0;
    return count;
}

void TestCanServiceStack::instanceIsSingleAndOpensTheAdapter()
{
    CanService *service = CanService::instance();
    QVERIFY(service);
    QCOMPARE(CanService::instance(), service);
    // The program's loader found the fake beside the executable.
    const QString libraryPath = QCoreApplication::applicationDirPath() + QLatin1Char('/')
        + ControlCanLibrary::platformFileName();
    QVERIFY(!m_capture->lines()
                 .filter(QStringLiteral("CanBusFactory::create: using"))
                 .filter(libraryPath)
                 .isEmpty());

    QCOMPARE(service->initService(AdapterType::UsbCan2, 0, true, 0, 250), 0);
    FakeCall open {};
    QVERIFY(m_fake->lastCall(FAKE_OPEN_DEVICE, &open));
    QCOMPARE(open.deviceType, std::uint32_t(AdapterType::UsbCan2));
    QCOMPARE(open.deviceIndex, 0u);
    QVERIFY(m_fake->calls(FAKE_START_CAN) >= 1);

    m_fake->failNext(FAKE_OPEN_DEVICE);
    m_capture->clear();
    QCOMPARE(service->initService(AdapterType::UsbCan2, 0, true, 0, 250), -1);
    QVERIFY(m_capture->lines().contains(
        QStringLiteral("WARN |CanService::initService: failed to open can device. ")));
    QCOMPARE(service->initService(AdapterType::UsbCan2, 0, true, 0, 250), 0);
}

void TestCanServiceStack::parameterRoundTripOverTheVendorBoundary()
{
    CanService *service = CanService::instance();
    // Replies queued before the command are received at the adapter's next poll, by which
    // time the command is already waiting for them.
    m_fake->queueReceive(frame(CommandCodec::parameterAcknowledgement(3, 9)));
    QCOMPARE(service->writeParameter(3, 9, 25), 0);

    m_fake->queueReceive(frame(CommandCodec::parameterReply(3, 9, 0x41)));
    int value = 0;
    QCOMPARE(service->readParameter(3, 9, value), 0);
    QCOMPARE(value, 25);

    m_fake->queueReceive(frame(CommandCodec::acknowledgement(SetTime, 3)));
    QCOMPARE(service->setDeviceTime(3, QDateTime(QDate(2022, 1, 19), QTime(10, 20, 30))), 0);

    QCOMPARE(transmitted(),
        QStringList({ "18f00380 ext=1 len=5: 09 00 00 00 41", "18f10380 ext=1 len=1: 09",
            "18830380 ext=1 len=6: 16 01 13 0a 14 1e" }));
}

void TestCanServiceStack::clockOfABatteryComingOnlineIsSet()
{
    CanService *service = CanService::instance();
    const uchar devId = 6;
    // The battery answers its clock request as soon as it sees it, from inside the service's
    // wait.
    QTimer battery;
    battery.setInterval(5);
    connect(&battery, &QTimer::timeout, this, [&] {
        if (transmittedWithId(requestId(SetTime, devId)) == 0)
            return;
        battery.stop();
        m_fake->queueReceive(frame(CommandCodec::acknowledgement(SetTime, devId)));
    });
    battery.start();

    // A moving life counter, then a status other than offline.
    m_fake->queueReceive(QList<CanFrame> { frame(FrameKey::identifier(FrameKey::PackInfo, devId),
                                               QByteArray::fromHex("00000000000000a5")),
        frame(FrameKey::identifier(FrameKey::PackStatus, devId),
            QByteArray::fromHex("0000000000000002")) });
    QTRY_VERIFY_WITH_TIMEOUT(service->isRtcSyncPending(devId), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!service->isRtcSyncPending(devId), 5000);
    QCOMPARE(transmittedWithId(requestId(SetTime, devId)), 1);
    QCOMPARE(SignalValues::instance()->value(devId, Signal::SysStatus).toUInt(), 2u);
    QVERIFY(m_capture->lines().contains(
        QStringLiteral("INFO |CanService::OnUpdateRTCDevs: PC time sync to device success: 6 ")));
}

void TestCanServiceStack::answerTransmittedWrites(QTimer *battery)
{
    battery->setInterval(5);
    auto answered = std::make_shared<int>(m_fake->transmittedCount());
    connect(battery, &QTimer::timeout, this, [this, answered] {
        for (; *answered < m_fake->transmittedCount(); ++*answered) {
            const CanFrame request = m_fake->transmittedFrame(*answered);
            if (request.id == requestId(WriteParameter, 3))
                m_fake->queueReceive(
                    CommandCodec::parameterAcknowledgement(3, quint8(request.data.at(0))));
        }
    });
    battery->start();
}

void TestCanServiceStack::failedTransmissionCostsOneCommandThenServiceGoesOn()
{
    CanService *service = CanService::instance();
    QTimer battery;
    answerTransmittedWrites(&battery);
    const int opensBefore = m_fake->calls(FAKE_OPEN_DEVICE);
    m_capture->clear();

    // The adapter refuses the write: the frame is lost, so the battery never answers.
    m_fake->failNext(FAKE_TRANSMIT);
    QCOMPARE(service->writeParameter(3, 9, 25), -1);
    QCOMPARE(transmitted(), QStringList());
    const QStringList lines = m_capture->lines().filter(QStringLiteral("CanDevice::"));
    QCOMPARE(lines,
        QStringList({ "WARN |CanDevice::writeData: failed to transmit, going to reset can... ",
            "DEBUG|CanDevice::writeData: reset can success. " }));
    // One re-initialisation, then the service works as before.
    QCOMPARE(m_fake->calls(FAKE_OPEN_DEVICE), opensBefore + 1);
    QCOMPARE(service->writeParameter(3, 9, 25), 0);
    QCOMPARE(transmitted(), QStringList({ "18f00380 ext=1 len=5: 09 00 00 00 41" }));
    m_fake->queueReceive(frame(
        FrameKey::identifier(FrameKey::PackInfo, 3), QByteArray::fromHex("000000000000007b")));
    QTRY_COMPARE(SignalValues::instance()->value(3, Signal::LifeCounter).toUInt(), 0x7bu);
    QCOMPARE(m_fake->calls(FAKE_OPEN_DEVICE), opensBefore + 1);
}

void TestCanServiceStack::persistingBusErrorIsLoggedOncePerChange()
{
    CanService *service = CanService::instance();
    QTimer battery;
    answerTransmittedWrites(&battery);
    m_capture->clear();
    const int opensBefore = m_fake->calls(FAKE_OPEN_DEVICE);

    // Bus-off, say, for longer than the poll's reporting interval: frames still come and go.
    m_fake->setError(0x04, -1);
    QTRY_VERIFY(!m_capture->lines().filter(QStringLiteral("read error: 4,")).isEmpty());
    const int polls = m_fake->calls(FAKE_READ_ERR_INFO);
    for (quint8 life = 1; life <= 3; ++life) {
        QCOMPARE(service->writeParameter(3, 9, 25), 0);
        m_fake->queueReceive(
            frame(FrameKey::identifier(FrameKey::PackInfo, 3), QByteArray(7, '\0') + char(life)));
        QTRY_COMPARE(SignalValues::instance()->value(3, Signal::LifeCounter).toUInt(), uint(life));
        QTest::qWait(CanDevice::ErrorClearedAfterMs / 2);
    }
    QVERIFY(m_fake->calls(FAKE_READ_ERR_INFO) > polls + 100);
    QCOMPARE(m_capture->lines().filter(QStringLiteral("read error")),
        QStringList { "WARN |\"OnTimeout: read error: 4, going to reset can.\" " });

    // Gone again: one line says so, after the interval.
    m_fake->setError(0, -1);
    QTRY_COMPARE_WITH_TIMEOUT(
        m_capture->lines().filter(QStringLiteral("read error")).size(), 2, 5000);
    QCOMPARE(m_capture->lines().filter(QStringLiteral("read error")).last(),
        QStringLiteral("INFO |CanDevice::OnTimeout: read error 4 cleared. "));
    // Reporting only: the adapter was never reset for it.
    QCOMPARE(m_fake->calls(FAKE_OPEN_DEVICE), opensBefore);
}

void TestCanServiceStack::closingTakesEveryBatteryOffline()
{
    CanService::instance()->closeService();
    QCOMPARE(m_fake->calls(FAKE_CLOSE_DEVICE), m_closedBefore + 1);
    for (int devId = 0; devId < BatteryBank::DeviceCount; ++devId)
        QCOMPARE(SignalValues::instance()->value(devId, Signal::SysStatus).toInt(), 3);
    QCOMPARE(CanService::instance()->initService(AdapterType::UsbCan2, 0, true, 0, 250), 0);
}

QTEST_GUILESS_MAIN(TestCanServiceStack)
#include "tst_canservicestack.moc"
