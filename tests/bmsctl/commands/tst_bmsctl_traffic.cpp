// bmsctl's traffic commands against bms-sim: a recording read back by an independent reader
// (python-can), replayed onto a second bus where the window's signal store decodes the same
// values as the offline decode, a recording in every log format replayed as recorded, a log
// with broken lines, a log python-can wrote, and
// recordings that must survive: an earlier one not overwritten unless asked, what was heard
// before a kill, a full disk; a --seconds beyond the timer refused; and a replay of a log that
// spans no time paced to the bus's room.

#include "support/parameterset.h"
#include "support/simprocess.h"
#include "support/testport.h"

#include "bmsctlrun.h"
#include "formats/logformat.h"
#include "formats/signalformat.h"

#include "can/canbusconfig.h"
#include "can/canframebits.h"
#include "can/commandprotocol.h"
#include "signals/framekey.h"
#include "signals/signalnames.h"
#include "signals/signalvalues.h"
#include "upgrade/busheadroom.h"
#include "upgrade/canbootframe.h"

#include <QCanBusDevice>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstring>

class TestBmsctlTraffic : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void recordThenReplayIntoASecondBus();
    void recordAndReplayInEveryFormat_data();
    void recordAndReplayInEveryFormat();
    void decodeSkipsBrokenLinesByNumber();
    void replaySendsOnlyTheBatteriesFramesAtTheirLength_data();
    void replaySendsOnlyTheBatteriesFramesAtTheirLength();
    void decodeGivesOnlyWhatAShortFrameHolds();
    void replayOfAHugeTimeJumpEnds_data();
    void replayOfAHugeTimeJumpEnds();
    void interruptedReplayEndsWithStatus1();
    void recordOverwritesAnEarlierFileOnlyWhenAsked_data();
    void recordOverwritesAnEarlierFileOnlyWhenAsked();
    void recordKeepsWhatItHeardWhenKilled();
    void recordRefusesSecondsBeyondItsTimer_data();
    void recordRefusesSecondsBeyondItsTimer();
    void recordOnAFullDiskStopsOnAWholeLine_data();
    void recordOnAFullDiskStopsOnAWholeLine();
    void replayNeverOffersMoreThanTheBusCarries_data();
    void replayNeverOffersMoreThanTheBusCarries();

private:
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QString secondBus() const { return "virtualcan:" + m_secondBus.interfaceName(); }

    SimProcess m_sim;
    QTemporaryDir m_dir;
    // Served by this process (its one virtual bus server): the replays' destination.
    const CanBusConfig m_secondBus { QStringLiteral("virtualcan"),
        QStringLiteral("tcp://127.0.0.1:%1/can0").arg(TestPort::pick()) };
    std::unique_ptr<QCanBusDevice> m_listener;
    QList<QCanBusFrame> m_heard;
};

namespace {

// The lines a script of ours printed through python-can, each frame as "ID#DATA".
QStringList runPythonCan(const QStringList &arguments, QString *error)
{
    QProcess python;
    python.start(QStringLiteral(PYTHON3_PATH), arguments);
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        *error = QStringLiteral("python-can failed (scripts/install-deps.sh installs python3-can): "
                                "%1")
                     .arg(QString::fromUtf8(python.readAllStandardError()));
        return {};
    }
    return QString::fromLatin1(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

QString frameText(quint32 id, const QByteArray &data)
{
    return QStringLiteral("%1#%2")
        .arg(id, 8, 16, QLatin1Char('0'))
        .toUpper()
        .arg(QString::fromLatin1(data.toHex().toUpper()));
}

QStringList texts(const QList<QCanBusFrame> &frames)
{
    QStringList texts;
    for (const QCanBusFrame &frame : frames)
        texts.append(frameText(frame.frameId(), frame.payload()));
    return texts;
}

// What python-can writes to python.log: two broadcasts, the second cut short, three frames the PC
// sends and a reply.
const QStringList PcAndBatteryFrames = {
    frameText(FrameKey::identifier(FrameKey::PackStatus, 1), QByteArray::fromHex("02120DB0")),
    frameText(FrameKey::identifier(FrameKey::PackStatus, 2), QByteArray::fromHex("02120D")),
    frameText(CommandProtocol::requestId(CommandProtocol::WriteParameter, 1), "\x01"),
    frameText(CommandProtocol::requestId(0, CommandProtocol::SetDeviceIdDestination), "\x05"),
    frameText(CanBootFrame::EraseFlashId, {}),
    frameText(CommandProtocol::replyId(CommandProtocol::WriteParameter, 1), "\x01\x01"),
};

} // namespace

void TestBmsctlTraffic::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    QString error;
    runPythonCan(QStringList { BMSCTL_TEST_SOURCE "/commands/write_candump.py", path("python.log") }
            + PcAndBatteryFrames,
        &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // 2^31 ms after the first frame: more than a timer's interval holds.
    QFile jump(path("jump.log"));
    QVERIFY(jump.open(QIODevice::WriteOnly));
    jump.write("(1700000000.000000) can0 02008001#02\n(1702147483.648000) can0 02008002#02\n");
    jump.close();

    m_listener = m_secondBus.createDevice(&error);
    QVERIFY2(m_listener, qPrintable(error));
    connect(m_listener.get(), &QCanBusDevice::framesReceived, this, [this] {
        while (m_listener->framesAvailable() > 0)
            m_heard.append(m_listener->readFrame());
    });
    m_listener->connectDevice();
    QTRY_COMPARE_WITH_TIMEOUT(m_listener->state(), QCanBusDevice::ConnectedState, 5000);
    QVERIFY2(m_sim.start({ "--packs", "1,2,3,12" }), m_sim.output().constData());
}

void TestBmsctlTraffic::cleanupTestCase()
{
    m_sim.stop();
}

void TestBmsctlTraffic::recordThenReplayIntoASecondBus()
{
    const BmsctlRun record = BmsctlRun::run({ "record", "--bus",
        "virtualcan:" + m_sim.interfaceName(), "--out", path("site.log"), "--seconds", "3.5" });
    QVERIFY2(record.exitCode == 0, record.said());

    // An independent reader takes the log as it is.
    QString error;
    const QStringList logged = runPythonCan(
        { BMSCTL_TEST_SOURCE "/commands/read_candump.py", path("site.log") }, &error);
    QVERIFY2(!logged.isEmpty(), qPrintable(error));
    QVERIFY2(record.out.startsWith(QString::number(logged.size()) + " frames"), record.said());
    for (int devId : { 1, 2, 3, 12 }) {
        const QString packStatus
            = QStringLiteral("020080%1#").arg(devId, 2, 16, QLatin1Char('0')).toUpper();
        QVERIFY(std::any_of(logged.cbegin(), logged.cend(),
            [&](const QString &frame) { return frame.startsWith(packStatus); }));
    }

    // The window's store listens on the second bus.
    m_heard.clear();
    const BmsctlRun replay
        = BmsctlRun::run({ "replay", path("site.log"), "--bus", secondBus(), "--speed", "4" });
    QVERIFY2(replay.exitCode == 0, replay.said());
    QTRY_COMPARE_WITH_TIMEOUT(m_heard.size(), logged.size(), 5000);
    QCOMPARE(texts(m_heard), logged);
    SignalValues replayed;
    for (const QCanBusFrame &frame : m_heard)
        replayed.OnNewCanFrame(frame.frameId(), frame.payload(), 0);

    // The store decodes what the offline decode of the log makes of it: the last value of
    // every signal of every battery.
    const BmsctlRun decode = BmsctlRun::run({ "decode", path("site.log"), "--format", "jsonl" });
    QVERIFY2(decode.exitCode == 0, decode.said());
    QHash<QPair<int, QString>, double> lastDecoded;
    for (const QString &line : decode.out.split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject frame = QJsonDocument::fromJson(line.toUtf8()).object();
        const QJsonObject values = frame.value("signals").toObject();
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            lastDecoded.insert({ frame.value("id").toInt(), it.key() }, it.value().toDouble());
    }
    QVERIFY(lastDecoded.size() >= 4 * 200);
    for (auto it = lastDecoded.cbegin(); it != lastDecoded.cend(); ++it) {
        const int index = SignalNames::indexOf(it.key().second);
        const QString stored
            = SignalFormat::text(replayed, index, replayed.value(it.key().first, index));
        QVERIFY2(stored.toDouble() == it.value(),
            qPrintable(QStringLiteral("battery %1 %2: store %3, decode %4")
                           .arg(it.key().first)
                           .arg(it.key().second, stored)
                           .arg(it.value())));
    }
}

void TestBmsctlTraffic::recordAndReplayInEveryFormat_data()
{
    QTest::addColumn<QString>("format");
    for (const QString &name : LogFormat::names())
        QTest::newRow(qPrintable(name)) << name;
}

void TestBmsctlTraffic::recordAndReplayInEveryFormat()
{
    QFETCH(QString, format);
    // An extension that says nothing: record goes by --format, replay by the content.
    const QString recorded = path("every.dat");
    const BmsctlRun record
        = BmsctlRun::run({ "record", "--bus", "virtualcan:" + m_sim.interfaceName(), "--out",
            recorded, "--format", format, "--seconds", "1.5", "--overwrite" });
    QVERIFY2(record.exitCode == 0, record.said());
    const BmsctlRun convert
        = BmsctlRun::run({ "convert", recorded, path("every.log"), "--overwrite" });
    QVERIFY2(convert.exitCode == 0 && convert.out.contains("(" + format + ")"), convert.said());
    QString error;
    const QStringList logged = runPythonCan(
        { BMSCTL_TEST_SOURCE "/commands/read_candump.py", path("every.log") }, &error);
    QVERIFY2(logged.size() > 4, qPrintable(error));

    m_heard.clear();
    const BmsctlRun replay
        = BmsctlRun::run({ "replay", recorded, "--bus", secondBus(), "--speed", "4" });
    QVERIFY2(replay.exitCode == 0, replay.said());
    QTRY_COMPARE_WITH_TIMEOUT(m_heard.size(), logged.size(), 5000);
    QCOMPARE(texts(m_heard), logged);
}

void TestBmsctlTraffic::decodeSkipsBrokenLinesByNumber()
{
    QFile log(path("broken.log"));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("(1700000000.000000) can0 02008001#02120DB0C83D9001\n"
              "(1700000000.000100) can0 0200800#0011\n"
              "(1700000000.000200) can0 18E18001#R\n"
              "(1700000000.000300) can0 02078001#4201440300000000\n"
              "not a frame\n");
    log.close();

    const BmsctlRun decode = BmsctlRun::run({ "decode", path("broken.log") });
    QCOMPARE(decode.exitCode, 1);
    QVERIFY2(decode.err.contains("broken.log:2: skipped: the identifier is not 3 or 8 hex digits"),
        decode.said());
    QVERIFY2(decode.err.contains("broken.log:3: skipped: a remote frame"), decode.said());
    QVERIFY2(decode.err.contains("broken.log:5: skipped"), decode.said());
    QVERIFY2(decode.err.contains("2 frames decoded, 0 other frames, 3 skipped"), decode.said());
    // The rest is decoded: 0x0212 is 53.0 V; 0x0DB0 is 3504, 50.4 A above the offset of -300;
    // SOC 800 and SOH 985 share bytes 4 to 6; byte 0x42 of the temperature frame is 66 - 40 = 26
    // degrees.
    for (const char *row :
        { "SumVolt,53.0,V", "Curr,50.4,A", "SOC,80.0,%", "SOH,98.5,", "SysStatus,1," })
        QVERIFY2(
            decode.out.contains(QStringLiteral("1700000000.000000,1,PackStatus,%1\n").arg(row)),
            decode.said());
    QVERIFY2(
        decode.out.contains(QString::fromUtf8("1700000000.000300,1,TempExtremes,MaxCellT,26,℃\n")),
        decode.said());
}

void TestBmsctlTraffic::replaySendsOnlyTheBatteriesFramesAtTheirLength_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("expected");
    const QStringList &all = PcAndBatteryFrames;
    QTest::newRow("batteries only") << QStringList() << QStringList { all[0], all[1], all[5] };
    QTest::newRow("with commands") << QStringList { "--include-commands" } << all;
}

void TestBmsctlTraffic::replaySendsOnlyTheBatteriesFramesAtTheirLength()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, expected);
    m_heard.clear();
    const BmsctlRun replay = BmsctlRun::run(
        QStringList { "replay", path("python.log"), "--bus", secondBus() } + options);
    QVERIFY2(replay.exitCode == 0, replay.said());
    QVERIFY2(replay.err.contains("3 frames sent by the PC held back") == (expected.size() == 3),
        replay.said());
    QTRY_COMPARE_WITH_TIMEOUT(texts(m_heard), expected, 5000);
}

void TestBmsctlTraffic::decodeGivesOnlyWhatAShortFrameHolds()
{
    const BmsctlRun decode = BmsctlRun::run({ "decode", path("python.log"), "--format", "jsonl" });
    QVERIFY2(decode.exitCode == 0, decode.said());
    // Four bytes hold the voltage and current, three the voltage alone.
    QVERIFY2(decode.out.contains(R"("id":1,"signals":{"Curr":50.4,"SumVolt":53},)")
            && decode.out.contains(R"("id":2,"signals":{"SumVolt":53},)"),
        decode.said());
}

void TestBmsctlTraffic::replayOfAHugeTimeJumpEnds_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::newRow("gap shortened") << QStringList { "--max-gap", "0.2" } << 0
                                   << "jump.log:2: a gap of 2147483.648 s shortened to 0.2 s";
    QTest::newRow("gap not a number") << QStringList { "--max-gap", "nan" } << 2 << "nan";
    QTest::newRow("speed not a number") << QStringList { "--speed", "nan" } << 2 << "nan";
}

void TestBmsctlTraffic::replayOfAHugeTimeJumpEnds()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    m_heard.clear();
    const BmsctlRun replay = BmsctlRun::run(
        QStringList { "replay", path("jump.log"), "--bus", secondBus() } + options, {}, 20000);
    QVERIFY2(replay.exitCode == exitCode && replay.err.contains(said), replay.said());
    QTRY_COMPARE_WITH_TIMEOUT(m_heard.size(), exitCode == 0 ? 2 : 0, 5000);
}

void TestBmsctlTraffic::interruptedReplayEndsWithStatus1()
{
    m_heard.clear();
    QProcess replay;
    replay.start(QStringLiteral(BMSCTL_PATH), { "replay", path("jump.log"), "--bus", secondBus() });
    // Stopped while it waits out the gap after the first frame.
    QTRY_COMPARE_WITH_TIMEOUT(m_heard.size(), 1, 10000);
    replay.terminate();
    QVERIFY(replay.waitForFinished(10000));
    QCOMPARE(replay.exitCode(), 1);
    QVERIFY(replay.readAllStandardOutput().contains("1 frames sent in"));
}

void TestBmsctlTraffic::recordOverwritesAnEarlierFileOnlyWhenAsked_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("kept");
    const QString bus = "virtualcan:" + m_sim.interfaceName();
    QTest::newRow("without --overwrite") << QStringList { "--bus", bus } << 1 << true;
    QTest::newRow("--overwrite, a bus that does not open")
        << QStringList { "--bus", "nosuchplugin:can0", "--overwrite" } << 1 << true;
    QTest::newRow("--overwrite") << QStringList { "--bus", bus, "--overwrite" } << 0 << false;
}

void TestBmsctlTraffic::recordOverwritesAnEarlierFileOnlyWhenAsked()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(bool, kept);
    const QByteArray earlier = "(1700000000.000000) can0 02008001#02120DB0C83D9001\n";
    QFile log(path("earlier.log"));
    QVERIFY(log.open(QIODevice::WriteOnly) && log.write(earlier) == earlier.size());
    log.close();

    const BmsctlRun record = BmsctlRun::run(
        QStringList { "record", "--out", log.fileName(), "--seconds", "0.5" } + options);
    QVERIFY2(record.exitCode == exitCode, record.said());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll() == earlier, kept);
}

void TestBmsctlTraffic::recordKeepsWhatItHeardWhenKilled()
{
    // One battery, some 60 frames a second: a writer that holds frames back in a buffer has
    // written nothing yet when the kill comes.
    SimProcess one;
    QVERIFY2(one.start({ "--packs", "5" }), one.output().constData());
    QFile log(path("killed.log"));
    QElapsedTimer clock;
    clock.start();
    BmsctlRun::run(
        { "record", "--bus", "virtualcan:" + one.interfaceName(), "--out", log.fileName() },
        { { [&](const QString &) { return log.size() > 0 || clock.elapsed() > 4000; }, SIGKILL } });
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray content = log.readAll();
    QVERIFY(!content.isEmpty() && content.endsWith('\n'));
}

void TestBmsctlTraffic::recordRefusesSecondsBeyondItsTimer_data()
{
    QTest::addColumn<QString>("seconds");
    for (const char *seconds : { "2147484", "3e9", "1e300", "inf", "nan", "0" })
        QTest::newRow(seconds) << QString::fromLatin1(seconds);
}

void TestBmsctlTraffic::recordRefusesSecondsBeyondItsTimer()
{
    QFETCH(QString, seconds);
    const BmsctlRun record = BmsctlRun::run({ "record", "--bus",
        "virtualcan:" + m_sim.interfaceName(), "--out", path("never.log"), "--seconds", seconds });
    QVERIFY2(record.exitCode == 2
            && record.err.contains("--seconds takes a number above 0, up to "
                                   "2147483"),
        record.said());
    QVERIFY(!QFile::exists(path("never.log")));
}

void TestBmsctlTraffic::recordOnAFullDiskStopsOnAWholeLine_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : { "full.log", "full.asc", "full.trc", "full.blf" })
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestBmsctlTraffic::recordOnAFullDiskStopsOnAWholeLine()
{
    QFETCH(QString, name);
    // A small file system of the test's own, nearly full: the recording fills it at once.
    const QString mount = path("tiny");
    QVERIFY(QDir().mkpath(mount));
    if (QProcess::execute("mount", { "-t", "tmpfs", "-o", "size=256k", "tmpfs", mount }) != 0)
        QSKIP("mounting a tmpfs needs root");
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", { mount }); });
    QFile filler(mount + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly));
    // Two pages left, some hundred lines.
    filler.write(QByteArray(int(QStorageInfo(mount).bytesAvailable()) - 3 * 4096 + 100, '\0'));
    filler.close();

    const QString log = mount + '/' + name;
    const BmsctlRun record
        = BmsctlRun::run({ "record", "--bus", "virtualcan:" + m_sim.interfaceName(), "--out", log,
                             "--seconds", "120" },
            {}, 30000);
    QVERIFY2(record.exitCode == 1 && record.err.contains("failed after")
            && record.err.contains(QString::fromLocal8Bit(strerror(ENOSPC))),
        record.said());
    // What is there reads to its end: whole lines, whole blocks.
    const std::unique_ptr<LogReader> reader = LogFormat::reader(LogFormat::detect(log));
    QVERIFY(reader->open(log));
    LoggedFrame frame;
    int frames = 0;
    while (reader->next(&frame))
        ++frames;
    QVERIFY2(reader->errorString().isEmpty() && reader->skipped().isEmpty(),
        qPrintable(reader->errorString()));
    QVERIFY(frames > 0);
    QFile written(log);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(name.endsWith(".blf") || written.readAll().endsWith('\n'));
}

void TestBmsctlTraffic::replayNeverOffersMoreThanTheBusCarries_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QStringList>("options");
    const QByteArray spaced = "(1700000000.000000) can0 02008001#0212F7D03E8FA002\n"
                              "(1700000000.500000) can0 02008002#0212F7D03E8FA002\n"
                              "(1700000001.000000) can0 02008003#0212F7D03E8FA002\n";
    QTest::newRow("one frame") << spaced.left(spaced.indexOf('\n') + 1) << QStringList();
    QTest::newRow("equal time stamps")
        << QByteArray(spaced).replace("00.5", "00.0").replace("01.0", "00.0") << QStringList();
    QTest::newRow("--max-gap 0") << spaced << QStringList { "--max-gap", "0" };
}

void TestBmsctlTraffic::replayNeverOffersMoreThanTheBusCarries()
{
    QFETCH(QByteArray, log);
    QFETCH(QStringList, options);
    QFile file(path("flat.log"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(log) == log.size());
    file.close();

    // At 50 kbit/s the room is a few hundred frames a second, by the rule the replay keeps.
    const int bitRate = 50000;
    const int perSecond
        = BusHeadroom(bitRate).framesPerSecond(CanFrameBits::worstCaseBits(true, 8));
    const int counted = 2 * perSecond;
    m_heard.clear();
    QProcess replay;
    replay.start(QStringLiteral(BMSCTL_PATH),
        QStringList { "replay", file.fileName(), "--loop", "--bus", secondBus(), "--bitrate",
            QString::number(bitRate / 1000) }
            + options);
    QTRY_VERIFY_WITH_TIMEOUT(!m_heard.isEmpty(), 10000);
    QElapsedTimer clock;
    clock.start();
    const int first = m_heard.size();
    QTRY_VERIFY_WITH_TIMEOUT(m_heard.size() >= first + counted, 20000);
    const qint64 elapsedMs = clock.elapsed();
    replay.terminate();
    QVERIFY(replay.waitForFinished(10000));
    QCOMPARE(replay.exitCode(), 0);
    // The bucket's burst aside, the frames came no faster than the room allows.
    QVERIFY2(elapsedMs >= 1000 * (counted - 20) / perSecond,
        qPrintable(QStringLiteral("%1 frames in %2 ms, the room being %3 a second")
                       .arg(counted)
                       .arg(elapsedMs)
                       .arg(perSecond)));
}

QTEST_GUILESS_MAIN(TestBmsctlTraffic)
#include "tst_bmsctl_traffic.moc"
