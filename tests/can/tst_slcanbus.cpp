// The serial-line adapter backend: the slcan lines both ways, and SlcanBus against an adapter
// the test plays on the master end of a pseudo-terminal pair, whose slave the bus opens as its
// serial port.

#include "can/candevice.h"
#include "can/slcan/slcanbus.h"
#include "can/slcan/slcancodec.h"
#include "support/capturedestination.h"
#include "support/slcanadapterend.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

CanFrame frameOf(quint32 id, bool extended, bool remote, const QByteArray &data)
{
    CanFrame frame;
    frame.id = id;
    frame.extended = extended;
    frame.remote = remote;
    frame.data = data;
    return frame;
}

} // namespace

class TestSlcanBus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void frameLines_data();
    void frameLines();
    void malformedLines_data();
    void malformedLines();
    void bitRateCommands_data();
    void bitRateCommands();

    void opensWithCheckedAnswers();
    void openFailsWithAReason_data();
    void openFailsWithAReason();
    void framesBothWays();
    void refusedFrameIsReported();
    void statusFlagsAreAskedAndLogged();
    void anAdapterThatAcknowledgesNoFramesStillWorks();
    void unpluggedAdapterIsLost();

private:
    QSharedPointer<CaptureDestination> m_log;
};

void TestSlcanBus::initTestCase()
{
    m_log = CaptureDestination::attach();
}

void TestSlcanBus::init()
{
    m_log->clear();
}

void TestSlcanBus::cleanupTestCase()
{
    CaptureDestination::detach(m_log);
}

void TestSlcanBus::frameLines_data()
{
    QTest::addColumn<CanFrame>("frame");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("extended data") << frameOf(0x18FF0105, true, false, QByteArray::fromHex("aabb"))
                                   << QByteArray("T18FF01052AABB\r");
    QTest::newRow("standard data, 8 bytes")
        << frameOf(0x7FF, false, false, QByteArray::fromHex("0102030405060708"))
        << QByteArray("t7FF80102030405060708\r");
    QTest::newRow("no data") << frameOf(0x1, true, false, {}) << QByteArray("T000000010\r");
    QTest::newRow("standard remote") << frameOf(0x123, false, true, {}) << QByteArray("r1230\r");
    QTest::newRow("extended remote")
        << frameOf(0x1FFFFFFF, true, true, {}) << QByteArray("R1FFFFFFF0\r");
}

void TestSlcanBus::frameLines()
{
    QFETCH(CanFrame, frame);
    QFETCH(QByteArray, line);
    QCOMPARE(SlcanCodec::frameLine(frame), line);
    // And back, in either case of hex digits, with and without a time stamp.
    CanFrame parsed;
    int timeMs = 0;
    const QByteArray lowerDigits = line.left(1) + line.mid(1).chopped(1).toLower();
    QVERIFY(SlcanCodec::parseFrame(lowerDigits, &parsed, &timeMs));
    QCOMPARE(parsed, frame);
    QVERIFY(SlcanCodec::parseFrame(line.chopped(1), &parsed, &timeMs));
    QCOMPARE(parsed, frame);
    QCOMPARE(timeMs, -1);
    QVERIFY(SlcanCodec::parseFrame(line.chopped(1) + "EA5F", &parsed, &timeMs));
    QCOMPARE(parsed, frame);
    QCOMPARE(timeMs, 0xEA5F);
}

void TestSlcanBus::malformedLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("length beyond 8") << QByteArray("t1239");
    QTest::newRow("fewer data digits than the length") << QByteArray("t1232AA");
    QTest::newRow("a digit that is no hex") << QByteArray("T18FF01G52AABB");
    QTest::newRow("standard identifier beyond 11 bits") << QByteArray("t8000");
    QTest::newRow("extended identifier beyond 29 bits") << QByteArray("T200000000");
    QTest::newRow("cut short") << QByteArray("T18FF");
    QTest::newRow("not a frame") << QByteArray("V1013");
}

void TestSlcanBus::malformedLines()
{
    QFETCH(QByteArray, line);
    CanFrame frame;
    QVERIFY(!SlcanCodec::parseFrame(line, &frame));
}

void TestSlcanBus::bitRateCommands_data()
{
    QTest::addColumn<int>("kbit");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("10") << 10 << QByteArray("S0\r");
    QTest::newRow("250") << 250 << QByteArray("S5\r");
    QTest::newRow("1000") << 1000 << QByteArray("S8\r");
    QTest::newRow("40, no code: registers") << 40 << QByteArray("s87FF\r");
    QTest::newRow("666, no code: registers") << 666 << QByteArray("s80B6\r");
    QTest::newRow("33, unknown") << 33 << QByteArray();
}

void TestSlcanBus::bitRateCommands()
{
    QFETCH(int, kbit);
    QFETCH(QByteArray, command);
    QCOMPARE(SlcanCodec::bitRateCommand(kbit), command);
    // The adapter's side reads back the rate, 666 rounded down.
    if (!command.isEmpty())
        QCOMPARE(SlcanCodec::bitRateOfCommand(command.chopped(1)), kbit);
}

void TestSlcanBus::opensWithCheckedAnswers()
{
    SlcanAdapterEnd adapter;
    SlcanBus bus(CanBusConfig(CanBusConfig::slcanPlugin(), adapter.path()));
    CanBus::Settings settings;
    settings.bitRateKbit = 500;
    QVERIFY(bus.open(settings));
    QStringList lines;
    for (int i = 0; i < 4; ++i)
        lines << QString::fromLatin1(adapter.nextLine());
    QCOMPARE(lines, QStringList({ "C", "V", "S6", "O" }));
    QCOMPARE(bus.state(), CanBus::State::Open);
    QCOMPARE(m_log->count(QStringLiteral("version \"V1013\"")), 1);
    bus.close();
    QCOMPARE(adapter.nextLine(), QByteArray("C"));
    QCOMPARE(bus.state(), CanBus::State::Closed);
}

void TestSlcanBus::openFailsWithAReason_data()
{
    QTest::addColumn<QByteArray>("versionAnswer");
    QTest::addColumn<QByteArray>("bitRateAnswer");
    QTest::addColumn<QString>("reason");
    QTest::newRow("silent port") << QByteArray() << QByteArray("\r")
                                 << "no answer to V within 300 ms: no slcan adapter on this port?";
    QTest::newRow("garbage") << QByteArray("\x13\x37\r") << QByteArray("\r")
                             << "which is no slcan answer: no slcan adapter on this port?";
    QTest::newRow("a bell for the version")
        << QByteArray("\a") << QByteArray("\r") << "the adapter refused V";
    QTest::newRow("a bell for the bit rate")
        << QByteArray("V1013\r") << QByteArray("\a") << "the adapter refused S5";
}

void TestSlcanBus::openFailsWithAReason()
{
    QFETCH(QByteArray, versionAnswer);
    QFETCH(QByteArray, bitRateAnswer);
    QFETCH(QString, reason);
    SlcanAdapterEnd adapter;
    SlcanBus bus(CanBusConfig(CanBusConfig::slcanPlugin(), adapter.path()));
    bus.setAnswerTimeout(300);
    // A closed channel is closed again with a bell.
    const QHash<QByteArray, QByteArray> answers { { "C", "\a" }, { "V", versionAnswer },
        { "S", bitRateAnswer } };
    adapter.answer = [&answers](const QByteArray &line) { return answers.value(line.left(1)); };
    QVERIFY(!bus.open({}));
    QCOMPARE(bus.state(), CanBus::State::Closed);
    QCOMPARE(m_log->count(QStringLiteral("SlcanBus::open: cannot open the")), 1);
    QVERIFY2(m_log->count(reason) == 1, qPrintable(m_log->lines().join('\n')));
}

void TestSlcanBus::framesBothWays()
{
    SlcanAdapterEnd adapter;
    SlcanBus bus(CanBusConfig(CanBusConfig::slcanPlugin(), adapter.path()));
    QVERIFY(bus.open({}));
    for (int i = 0; i < 4; ++i)
        adapter.nextLine();

    // Out, byte for byte; a batch of frames.
    QVERIFY(bus.writeFrame(frameOf(0x18100080, true, false, QByteArray::fromHex("0201"))));
    QVERIFY(bus.writeFrame(frameOf(0x18100081, true, false, QByteArray::fromHex("03"))));
    QCOMPARE(adapter.nextLine(),
        QByteArray("T181000802"
                   "0201"));
    QCOMPARE(adapter.nextLine(),
        QByteArray("T181000811"
                   "03"));

    // In: several batteries' frames in one write, one announcement, with and without a time
    // stamp; the acknowledgements among them are no frames.
    QSignalSpy arrived(&bus, &CanBus::framesReceived);
    adapter.write("T18FF01058AABBCCDDEEFF0011\rZ\rT18FF0206101\rt12300FA0\r");
    QVERIFY(arrived.wait(3000));
    CanFrame frames[4];
    QCOMPARE(bus.readFrames(frames, 4), 3);
    QCOMPARE(frames[0], frameOf(0x18FF0105, true, false, QByteArray::fromHex("aabbccddeeff0011")));
    QCOMPARE(frames[1], frameOf(0x18FF0206, true, false, QByteArray::fromHex("01")));
    QCOMPARE(frames[2], frameOf(0x123, false, false, {}));
    QCOMPARE(frames[2].timeStamp, 0xFA0u * 10); // milliseconds, in 100 us
    QCOMPARE(arrived.count(), 1);
    QCOMPARE(bus.takeErrorCode(), 0u);
}

void TestSlcanBus::refusedFrameIsReported()
{
    SlcanAdapterEnd adapter;
    SlcanBus bus(CanBusConfig(CanBusConfig::slcanPlugin(), adapter.path()));
    QVERIFY(bus.open({}));
    for (int i = 0; i < 4; ++i)
        adapter.nextLine();
    QSignalSpy refused(&bus, &CanBus::transmitFailed);
    // The adapter takes the first frame and refuses the second.
    adapter.answer = [](const QByteArray &line) {
        return line.startsWith("T18100081") ? QByteArray("\a") : SlcanAdapterEnd::goodAnswer(line);
    };
    QVERIFY(bus.writeFrame(frameOf(0x18100080, true, false, QByteArray::fromHex("01"))));
    QVERIFY(bus.writeFrame(frameOf(0x18100081, true, false, QByteArray::fromHex("02"))));
    QVERIFY(refused.wait(3000));
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused.first().first().value<CanFrame>().id, 0x18100081u);
    QCOMPARE(bus.takeErrorCode() & SlcanBus::RefusedBit, quint32(SlcanBus::RefusedBit));
}

void TestSlcanBus::statusFlagsAreAskedAndLogged()
{
    SlcanAdapterEnd adapter;
    SlcanBus bus(CanBusConfig(CanBusConfig::slcanPlugin(), adapter.path()));
    QVERIFY(bus.open({}));
    for (int i = 0; i < 4; ++i)
        adapter.nextLine();
    QSignalSpy errors(&bus, &CanBus::errorOccurred);
    adapter.answer = [](const QByteArray &line) {
        return line == "F" ? QByteArray("F08\r") : SlcanAdapterEnd::goodAnswer(line);
    };
    QCOMPARE(bus.takeErrorCode(), 0u);
    QCOMPARE(adapter.nextLine(), QByteArray("F"));
    QVERIFY(errors.wait(3000));
    QCOMPARE(bus.takeErrorCode(), 0x08u);
    QCOMPARE(m_log->count(QStringLiteral("status flags 0x08")), 1);
    // Asked at most once a second.
    QCOMPARE(bus.takeErrorCode(), 0u);
    QTest::qWait(50);
    QVERIFY(adapter.allRead());
}

void TestSlcanBus::anAdapterThatAcknowledgesNoFramesStillWorks()
{
    SlcanAdapterEnd adapter;
    SlcanBus bus(CanBusConfig(CanBusConfig::slcanPlugin(), adapter.path()));
    QVERIFY(bus.open({}));
    adapter.answer = [](const QByteArray &line) {
        return line.startsWith('T') ? QByteArray()
            : line == "F"           ? QByteArray("F04\r")
                                    : SlcanAdapterEnd::goodAnswer(line);
    };
    for (int i = 0; i < SlcanBus::MaxUnanswered + 50; ++i)
        QVERIFY(bus.writeFrame(frameOf(0x18100080, true, false, QByteArray(1, char(i)))));
    QCOMPARE(m_log->count(QStringLiteral("acknowledges no frames")), 1);
    // A status reply still finds its question behind the unanswered frames.
    QSignalSpy errors(&bus, &CanBus::errorOccurred);
    QCOMPARE(bus.takeErrorCode(), 0u);
    QVERIFY(errors.wait(3000));
    QCOMPARE(bus.takeErrorCode(), 0x04u);
}

void TestSlcanBus::unpluggedAdapterIsLost()
{
    // The port by a name of its own, as /dev/ttyACM0 names whichever adapter is plugged in.
    QTemporaryDir dir;
    const QString port = dir.filePath(QStringLiteral("ttyACM0"));
    SlcanAdapterEnd adapter;
    QVERIFY(QFile::link(adapter.path(), port));
    auto *bus = new SlcanBus(CanBusConfig(CanBusConfig::slcanPlugin(), port));
    CanDevice device(bus);
    QCOMPARE(device.open(4, 0, true, 0, 250), 0);
    adapter.hangUp();
    QTRY_COMPARE(bus->state(), CanBus::State::Lost);
    QCOMPARE(m_log->count(QStringLiteral("CanDevice: lost the adapter, \"slcan adapter on")), 1);
    // The next frame finds no adapter: it is reported lost after a failed re-opening, which
    // says why.
    QSignalSpy lost(&device, &CanDevice::transmitFailed);
    device.writeData(0x18100080ul, QByteArray::fromHex("01"));
    QCOMPARE(lost.count(), 1);
    QCOMPARE(m_log->count(QStringLiteral("CanDevice::writeData: reset can failed.")), 1);

    // Plugged in again: opened again, frames go out.
    SlcanAdapterEnd again;
    QVERIFY(QFile::remove(port));
    QVERIFY(QFile::link(again.path(), port));
    QCOMPARE(device.open(4, 0, true, 0, 250), 0);
    device.writeData(0x18100080ul, QByteArray::fromHex("01"));
    // The device looks at the adapter's status flags (F) as it reads.
    QStringList lines;
    while (lines.size() < 5) {
        const QByteArray line = again.nextLine();
        QVERIFY(!line.isEmpty());
        if (line != "F")
            lines << QString::fromLatin1(line);
    }
    QCOMPARE(lines, QStringList({ "C", "V", "S5", "O", "T18100080101" }));
}

QTEST_GUILESS_MAIN(TestSlcanBus)
#include "tst_slcanbus.moc"
