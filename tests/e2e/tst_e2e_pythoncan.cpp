#include "e2efixture.h"

#include "support/slcanadapterend.h"

#include "can/commandprotocol.h"
#include "can/slcan/slcanbus.h"
#include "can/slcan/slcancodec.h"
#include "signals/framekey.h"

#include <QProcess>
#include <QTemporaryDir>

// The serial-line (slcan) side of the program and the simulator against an independent
// implementation, Debian's python3-can, whose slcan interface is a host:
// - as the host, it opens bms-sim --slcan at 250 kbit/s, hears the batteries' broadcasts and
//   sends a command that the simulated battery answers;
// - for the same frames, the lines the program's SlcanBus writes to a socat pty pair are
//   byte-identical to the lines python-can writes, both recorded by the test at the other end.
class TestE2ePythonCan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pythonCanHostTalksToTheSimulatedAdapter();
    void framesGoOutAsPythonCanWritesThem();

private:
    // Runs a python-can script (the lines below, then the arguments); its standard output.
    QString runPython(const QString &script, const QStringList &arguments);
};

namespace {

// Heard broadcasts and a reply, one per line: "heard ID", "reply ID DATA".
const char HostScript[] = R"(
import sys, time, can
path, request, reply = sys.argv[1], int(sys.argv[2], 16), int(sys.argv[3], 16)
bus = can.interface.Bus(interface='slcan', channel=path, bitrate=250000)
heard = set()
end = time.time() + 5
while time.time() < end and len(heard) < 40:
    m = bus.recv(0.2)
    if m is not None:
        heard.add(m.arbitration_id)
for i in sorted(heard):
    print('heard %08X' % i)
bus.send(can.Message(arbitration_id=request, is_extended_id=True, data=bytes([9])))
end = time.time() + 5
while time.time() < end:
    m = bus.recv(0.2)
    if m is not None and m.arbitration_id == reply:
        print('reply %08X %s' % (m.arbitration_id, m.data.hex()))
        break
bus.shutdown()
)";

// Sends the frames of the table below.
const char SenderScript[] = R"(
import sys, can
bus = can.interface.Bus(interface='slcan', channel=sys.argv[1], bitrate=250000)
bus.send(can.Message(arbitration_id=0x18100080, is_extended_id=True, data=bytes.fromhex('0201')))
bus.send(can.Message(arbitration_id=0x7FF, is_extended_id=False, data=bytes.fromhex('0102030405060708')))
bus.send(can.Message(arbitration_id=0x123, is_extended_id=False, is_remote_frame=True, dlc=0))
bus.send(can.Message(arbitration_id=0x1FFFFFFF, is_extended_id=True, data=b''))
bus.shutdown()
)";

QList<CanFrame> senderFrames()
{
    QList<CanFrame> frames;
    frames << CanFrame { 0x18100080, QByteArray::fromHex("0201") };
    frames << CanFrame { 0x7FF, QByteArray::fromHex("0102030405060708"), false };
    frames << CanFrame { 0x123, QByteArray(), false, true };
    frames << CanFrame { 0x1FFFFFFF, QByteArray() };
    return frames;
}

QList<QByteArray> frameLines(const QList<QByteArray> &lines)
{
    QList<QByteArray> frames;
    for (const QByteArray &line : lines) {
        if (SlcanCodec::isFrameLine(line))
            frames.append(line);
    }
    return frames;
}

} // namespace

void TestE2ePythonCan::initTestCase()
{
    // The program's log on standard error, so that ctest shows why a run failed.
    QsLogging::Logger &logger = QsLogging::Logger::instance();
    logger.setLoggingLevel(QsLogging::InfoLevel);
    logger.addDestination(QsLogging::DestinationFactory::MakeDebugOutputDestination());
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
}

QString TestE2ePythonCan::runPython(const QString &script, const QStringList &arguments)
{
    QProcess python;
    python.start(QStringLiteral(PYTHON3_PATH), QStringList { "-c", script } + arguments);
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning("python-can failed (scripts/install-deps.sh installs python3-can): %s",
            python.readAllStandardError().constData());
        return QString();
    }
    return QString::fromLatin1(python.readAllStandardOutput());
}

void TestE2ePythonCan::pythonCanHostTalksToTheSimulatedAdapter()
{
    SimProcess sim;
    QVERIFY2(sim.start({ "--packs", "1,2", "--slcan" }), sim.output().constData());
    using namespace CommandProtocol;
    const QString output = runPython(QString::fromLatin1(HostScript),
        { sim.slcanPath(), QString::number(requestId(ReadParameter, 2), 16),
            QString::number(replyId(ReadParameter, 2), 16) });
    for (quint8 devId : { 1, 2 }) {
        const QString id = QString::number(FrameKey::identifier(FrameKey::PackInfo, devId), 16);
        const QString heard = QStringLiteral("heard ") + id.toUpper().rightJustified(8, '0');
        QVERIFY2(output.contains(heard), qPrintable(output + sim.output()));
    }
    // The battery answered with the parameter's id first.
    const QString reply
        = QStringLiteral("reply %1 09").arg(replyId(ReadParameter, 2), 8, 16, QLatin1Char('0'));
    QVERIFY2(output.contains(reply, Qt::CaseInsensitive), qPrintable(output + sim.output()));
}

void TestE2ePythonCan::framesGoOutAsPythonCanWritesThem()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString host = dir.filePath(QStringLiteral("host"));
    const QString adapter = dir.filePath(QStringLiteral("adapter"));
    ReadyProcess socat;
    QVERIFY2(socat.start(QStringLiteral("socat"),
                 { "-d", "-d", "pty,raw,echo=0,link=" + host, "pty,raw,echo=0,link=" + adapter },
                 "starting data transfer loop"),
        "socat did not start (scripts/install-deps.sh installs it)");

    // python-can first, then the program's backend, each to the same recorder.
    QList<QByteArray> python;
    {
        SlcanAdapterEnd recorder(adapter);
        QVERIFY(recorder.isOpen());
        runPython(QString::fromLatin1(SenderScript), { host });
        QTRY_COMPARE(frameLines(recorder.lines()).size(), senderFrames().size());
        python = frameLines(recorder.lines());
    }
    SlcanAdapterEnd recorder(adapter);
    SlcanBus bus(CanBusConfig(CanBusConfig::slcanPlugin(), host));
    CanBus::Settings settings;
    settings.bitRateKbit = 250;
    QVERIFY(bus.open(settings));
    for (const CanFrame &frame : senderFrames())
        QVERIFY(bus.writeFrame(frame));
    QTRY_COMPARE(frameLines(recorder.lines()).size(), senderFrames().size());
    QCOMPARE(frameLines(recorder.lines()), python);
    // Both set the bit rate with the same code.
    QVERIFY(recorder.lines().contains("S5"));
}

QTEST_GUILESS_MAIN(TestE2ePythonCan)
#include "tst_e2e_pythoncan.moc"
