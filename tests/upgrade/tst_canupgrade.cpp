// The firmware upgrade over CAN (CanUpgrade), through CanService's public API, as start-up
// hands it to the service: a real CanDevice on a
// scripted bus whose boot loader answers as each test sets it. Tests about single ticks call
// the tick slot themselves and inject the answers straight into OnNewCanFrame, so that no
// event loop (and no timer tick) runs in between.

#include "can/adaptertype.h"
#include "canservice/playedbms.h"
#include "canservice/scriptedbus.h"
#include "support/capturedestination.h"
#include "support/parameterset.h"

#include "can/candevice.h"
#include "can/canframebits.h"
#include "can/canservice.h"
#include "signals/batterybank.h"
#include "signals/signalvalues.h"
#include "upgrade/busheadroom.h"
#include "upgrade/canbootframe.h"
#include "upgrade/canupgrade.h"

#include <QElapsedTimer>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {

constexpr quint32 BootDevId = 3;
const QByteArray BootVersion = QByteArrayLiteral("ZK100\x01\x02");
constexpr uint ChkSum = 0x12345678;

QByteArray answer(std::initializer_list<int> bytes)
{
    QByteArray rest;
    for (auto byte = bytes.begin() + 1; byte != bytes.end(); ++byte)
        rest.append(char(*byte));
    return CanBootFrame::answer(quint8(*bytes.begin()), rest);
}

quint32 answerId(quint32 requestId)
{
    return CanBootFrame::answerId(
        CanBootFrame::Step(CanBootFrame::stepOfHostFrame(requestId)), BootDevId);
}

// Three short records: 20 characters (3 slices), 16 (2) and 12 (2), CR LF ends.
const QStringList ThreeLines { QStringLiteral("S107000001020304EE\r\n"),
    QStringLiteral("S1050004AABB91\r\n"), QStringLiteral("S5030003F9\r\n") };

// count lines of 80 characters, S3 records of 32 data bytes, 10 slices each (their checksums are
// not computed: the host does not look into the records).
QStringList image(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        QString line = QStringLiteral("S325%1").arg(0x08000000 + i * 32, 8, 16, QLatin1Char('0'));
        for (int b = 0; b < 32; ++b)
            line += QStringLiteral("%1").arg((i * 7 + b) & 0xFF, 2, 16, QLatin1Char('0'));
        lines.append(line.toUpper() + QStringLiteral("00\r\n"));
    }
    return lines;
}

QStringList slicesOf(const QStringList &lines)
{
    QStringList frames;
    for (const QString &line : lines) {
        for (const QByteArray &slice : CanBootFrame::slicesOf(line))
            frames.append(ScriptedBus::text({ CanBootFrame::DataId, slice }));
    }
    return frames;
}

// Battery -> the first boot request it answers.
using AnswersFrom = QMap<int, int>;

QString numbers(const QList<int> &devIds)
{
    QStringList texts;
    for (int devId : devIds)
        texts.append(QString::number(devId));
    return texts.join(QLatin1Char(','));
}

// The time stamp of a transcript line, which no test can know.
QString withoutTime(QString line)
{
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d "));
    return line.replace(stamp, QStringLiteral("<time> "));
}

} // namespace

// The boot loader of battery 3: its answer to each upgrade frame, by the frame's identifier;
// frames without an entry go unanswered. Answers go out under (step << 16) | 3. A data answer,
// when set, goes out for every slice (a real boot loader answers only a record it refuses).
class PlayedBootLoader
{
public:
    void setAnswer(quint32 requestId, const QByteArray &data)
    {
        QMutexLocker lock(&m_mutex);
        m_answers.insert(requestId, data);
    }
    void silence(quint32 requestId)
    {
        QMutexLocker lock(&m_mutex);
        m_answers.remove(requestId);
    }
    void setGoodAnswers()
    {
        setAnswer(CanBootFrame::RequestBootId, answer({ 0x55, 'Z', 'K', '1', '0', '0' }));
        setAnswer(CanBootFrame::InquireBootId, answer({ 0x55 }));
        setAnswer(CanBootFrame::EraseFlashId, answer({ 0x55 }));
        setAnswer(CanBootFrame::FinishId, answer({ 0x55 }));
    }

    QList<ScriptedBus::Frame> respond(const ScriptedBus::Frame &request)
    {
        QMutexLocker lock(&m_mutex);
        if (!m_answers.contains(request.id))
            return {};
        return { { answerId(request.id), m_answers.value(request.id) } };
    }

private:
    QMutex m_mutex;
    QMap<quint32, QByteArray> m_answers;
};

class TestCanUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void serviceStatesAreTheSessionsSteps();
    void fullUpgradeFramesTranscriptAndProgress();
    void linesAreCutIntoSlicesOfEight_data();
    void linesAreCutIntoSlicesOfEight();
    void badAnswerEndsTheUpgrade_data();
    void badAnswerEndsTheUpgrade();
    void stepTriedFourTimes_data();
    void stepTriedFourTimes();
    void answersOfOtherStepsAndHighNumbersAreIgnored();
    void bootAnswersAreCollectedFromEveryBattery_data();
    void bootAnswersAreCollectedFromEveryBattery();
    void dataStepIsPaced();
    void dataPaceLeavesTheBusRoom_data();
    void dataPaceLeavesTheBusRoom();
    void linesWaitForAStalledAdapterThread();
    void stopUpgradingIsSilentAndFreesTheReads();
    void secondStartBeginsAnew();
    void upgradeFailsAtOnce_data();
    void upgradeFailsAtOnce();
    void dataStepTriesCountPerLine();
    void rosterJudgesEveryBattery_data();
    void rosterJudgesEveryBattery();
    void anotherHostsFramesAreNoAnswers_data();
    void anotherHostsFramesAreNoAnswers();

private:
    // Waits until everything queued to the adapter so far has gone out, then returns what went
    // out since the last call, the marker excepted.
    QStringList sentFrames();
    // Starts with the upgrade timer stopped, the test being the clock from then on, and ticks
    // through the steps before `state` with good answers injected, so that the next tick is the
    // first of `state`.
    void tickUpTo(CanService::UpgradeState state, const QStringList &lines);
    void startWithoutTimer(const QStringList &lines);
    void tick(int times = 1);
    // Every signal of the upgrade in order: "data: <transcript line>", "state: <text>",
    // "progress: <n>", "finished: <bool>".
    QStringList events() const { return m_events; }
    QStringList eventsStartingWith(const QString &prefix) const;
    QStringList warnings() const;
    // Runs the event loop until the upgrade has finished. QTRY_* would not do for timing:
    // between its polls it sleeps 10 ms, and a 2 ms timer cannot tick during the sleep.
    bool waitForFinish(int timeoutMs = 15000);
    // The same, until that many events start with prefix.
    bool waitForEvents(const QString &prefix, int count, int timeoutMs = 5000);

    ScriptedBus *m_bus = nullptr; // owned by the service's device
    std::unique_ptr<PlayedBms> m_bms;
    std::unique_ptr<PlayedBootLoader> m_boot;
    std::unique_ptr<CanService> m_service;
    QSharedPointer<CaptureDestination> m_capture;
    QStringList m_events;
    std::unique_ptr<QSignalSpy> m_finished;
    int m_ticks = 0;
};

void TestCanUpgrade::initTestCase()
{
    QVERIFY(ParameterSet::install(
        QStringLiteral(UPPER_SOURCE_DIR "/tests/canservice/data/threshold.cfg")));
    SignalValues::instance();
}

void TestCanUpgrade::init()
{
    m_capture = CaptureDestination::attach();
    m_bms.reset(new PlayedBms);
    m_boot.reset(new PlayedBootLoader);
    m_boot->setGoodAnswers();
    m_bus = new ScriptedBus;
    PlayedBms *bms = m_bms.get();
    PlayedBootLoader *boot = m_boot.get();
    m_bus->setResponder([bms, boot](const ScriptedBus::Frame &frame) {
        return (frame.id >> 24) == 0x18 ? bms->respond(frame) : boot->respond(frame);
    });
    m_service.reset(new CanService(new CanDevice(m_bus), new CanUpgrade));
    QCOMPARE(m_service->initService(AdapterType::UsbCan2, 0, true, 0, 250), 0);

    m_events.clear();
    m_ticks = 0;
    CanService *service = m_service.get();
    m_finished.reset(new QSignalSpy(service, &CanService::upgradeFinished));
    connect(service, &CanService::newUpgradeData, this,
        [this](const QString &line) { m_events.append("data: " + withoutTime(line)); });
    connect(service, &CanService::newUpgradeState, this,
        [this](const QString &text) { m_events.append("state: " + text); });
    connect(service, &CanService::upgradeProgress, this,
        [this](int value) { m_events.append("progress: " + QString::number(value)); });
    connect(service, &CanService::upgradeFinished, this, [this](bool success) {
        m_events.append(QStringLiteral("finished: ") + (success ? "true" : "false"));
    });
    connect(service, &CanService::bootAnswersCollected, this,
        [this](const QList<int> &answered, const QList<int> &missing) {
            m_events.append("collected: " + numbers(answered) + "; missing: " + numbers(missing));
        });
    connect(service, &CanService::leftInBootLoaders, this,
        [this](const QList<int> &devIds) { m_events.append("left: " + numbers(devIds)); });
}

void TestCanUpgrade::cleanup()
{
    m_bus->setResponder(nullptr);
    m_finished.reset();
    m_service.reset();
    m_bus = nullptr;
    m_bms.reset();
    m_boot.reset();
    CaptureDestination::detach(m_capture);
    m_capture.reset();
}

QStringList TestCanUpgrade::sentFrames()
{
    const quint32 marker = 0x1ABCDEF;
    m_service->sendFrame(marker, QByteArray());
    if (!QTest::qWaitFor([this] {
            const QList<ScriptedBus::Frame> frames = m_bus->transmitted();
            return !frames.isEmpty() && frames.last().id == marker;
        }))
        return { QStringLiteral("marker never sent") };
    QStringList frames = m_bus->transmittedText();
    frames.removeLast();
    m_bus->clearTransmitted();
    return frames;
}

void TestCanUpgrade::tick(int times)
{
    for (int i = 0; i < times; ++i) {
        ++m_ticks;
        m_service->OnUpgradeTimerTimeOut();
    }
}

void TestCanUpgrade::startWithoutTimer(const QStringList &lines)
{
    QCOMPARE(m_service->startUpgrading(lines, ChkSum, BootVersion), 0);
    auto *timer = m_service->findChild<QTimer *>(QStringLiteral("upgradeTimer"));
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    timer->stop();
}

void TestCanUpgrade::tickUpTo(CanService::UpgradeState state, const QStringList &lines)
{
    startWithoutTimer(lines);
    const QList<QPair<CanService::UpgradeState, QByteArray>> steps {
        { CanService::US_REQUEST_BOOT, answer({ 0x55, 'Z', 'K', '1', '0', '0' }) },
        { CanService::US_INQUIRE_BOOT, answer({ 0x55 }) },
        { CanService::US_ERASER_FLASH, answer({ 0x55 }) },
    };
    for (const auto &step : steps) {
        if (step.first == state)
            return;
        tick();
        m_service->OnNewCanFrame(quint32(step.first) << 16 | BootDevId, step.second, 0);
        // The boot request's answers are collected for the step's whole time.
        if (step.first == CanService::US_REQUEST_BOOT)
            tick(CanUpgrade::RequestBootTimeoutTicks);
        QCOMPARE(m_service->upgradeState(), CanService::UpgradeState(step.first + 1));
    }
    if (state == CanService::US_SEND_DATA)
        return;
    // One tick per line, one more to notice the end.
    tick(lines.size() + 1);
    QCOMPARE(m_service->upgradeState(), CanService::US_UPGRADE_FINISH);
}

bool TestCanUpgrade::waitForFinish(int timeoutMs)
{
    return !m_finished->isEmpty() || m_finished->wait(timeoutMs);
}

bool TestCanUpgrade::waitForEvents(const QString &prefix, int count, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (eventsStartingWith(prefix).size() < count) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

QStringList TestCanUpgrade::eventsStartingWith(const QString &prefix) const
{
    QStringList found;
    for (const QString &event : m_events) {
        if (event.startsWith(prefix))
            found.append(event);
    }
    return found;
}

QStringList TestCanUpgrade::warnings() const
{
    QStringList found;
    for (const QString &line : m_capture->lines()) {
        if (line.startsWith(QStringLiteral("WARN ")))
            found.append(line);
    }
    return found;
}

void TestCanUpgrade::serviceStatesAreTheSessionsSteps()
{
    // The service reports the session's step as its own UpgradeState: same numbers, same keys.
    const QMetaEnum service = QMetaEnum::fromType<CanService::UpgradeState>();
    const QMetaEnum session = QMetaEnum::fromType<CanUpgrade::UpgradeState>();
    QCOMPARE(service.keyCount(), session.keyCount());
    for (int i = 0; i < session.keyCount(); ++i) {
        QCOMPARE(service.value(i), session.value(i));
        QCOMPARE(QByteArray(service.key(i)), QByteArray(session.key(i)));
    }
}

void TestCanUpgrade::fullUpgradeFramesTranscriptAndProgress()
{
    QCOMPARE(m_service->startUpgrading(ThreeLines, ChkSum, BootVersion), 0);
    QCOMPARE(m_service->upgradeState(), CanService::US_REQUEST_BOOT);

    // The reads that would disturb the boot loader are refused before anything is sent.
    QDateTime time;
    QByteArray text;
    int value = 0;
    QCOMPARE(m_service->readDeviceTime(1, time), -10);
    QCOMPARE(m_service->readFirmwareVersion(1, text), -10);
    QCOMPARE(m_service->readBatteryCode(1, text), -10);
    QCOMPARE(m_service->readModelCode(1, text), -10);
    QCOMPARE(m_service->readParameter(1, 9, value), -10);

    QVERIFY(waitForFinish());
    QCOMPARE(eventsStartingWith("finished"), QStringList { "finished: true" });
    QCOMPARE(m_service->upgradeState(), CanService::US_IDLE);
    QCOMPARE(sentFrames(),
        QStringList({
            "0001ff00:",
            "00020000: 00 00 00 00 12 34 56 78",
            "00030000:",
            "00040000: 53 31 30 37 30 30 30 30", // S1070000
            "00040000: 30 31 30 32 30 33 30 34", // 01020304
            "00040000: 45 45 0d 0a", // EE\r\n
            "00040000: 53 31 30 35 30 30 30 34", // S1050004
            "00040000: 41 41 42 42 39 31 0d 0a", // AABB91\r\n
            "00040000: 53 35 30 33 30 30 30 33", // S5030003
            "00040000: 46 39 0d 0a", // F9\r\n
            "00050000:",
        }));
    QCOMPARE(events(),
        QStringList({
            "data: <time> Send: id: 0x0001ff00; data: .",
            "data: <time> Recv: id: 0x00010003; data: 55 5a 4b 31 30 30 00 00.",
            "collected: 3; missing: ",
            "data: <time> Send: id: 0x00020000; data: 00 00 00 00 12 34 56 78.",
            "data: <time> Recv: id: 0x00020003; data: 55 00 00 00 00 00 00 00.",
            "data: <time> Send: id: 0x00030000; data: .",
            "data: <time> Recv: id: 0x00030003; data: 55 00 00 00 00 00 00 00.",
            "data: <time> Send: id: 0x00040000; data: 53 31 30 37 30 30 30 30.",
            "data: <time> Send: id: 0x00040000; data: 30 31 30 32 30 33 30 34.",
            "data: <time> Send: id: 0x00040000; data: 45 45 0d 0a.",
            "progress: 0",
            "data: <time> Send: id: 0x00040000; data: 53 31 30 35 30 30 30 34.",
            "data: <time> Send: id: 0x00040000; data: 41 41 42 42 39 31 0d 0a.",
            "progress: 33",
            "data: <time> Send: id: 0x00040000; data: 53 35 30 33 30 30 30 33.",
            "data: <time> Send: id: 0x00040000; data: 46 39 0d 0a.",
            "progress: 66",
            "progress: 100",
            "data: <time> Send: id: 0x00050000; data: .",
            "data: <time> Recv: id: 0x00050003; data: 55 00 00 00 00 00 00 00.",
            "progress: 100",
            "finished: true",
        }));
    QCOMPARE(warnings(), QStringList());

    // Served again once the upgrade is over.
    QCOMPARE(m_service->readDeviceTime(1, time), 0);
    QCOMPARE(m_service->readFirmwareVersion(1, text), 0);
    QCOMPARE(text, m_bms->version);
}

void TestCanUpgrade::linesAreCutIntoSlicesOfEight_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("frames");

    QTest::newRow("12 characters, CR LF: 8 + 4")
        << QStringLiteral("S5030003F9\r\n")
        << QStringList { "00040000: 53 35 30 33 30 30 30 33", "00040000: 46 39 0d 0a" };
    QTest::newRow("15 characters, LF: 8 + 7")
        << QStringLiteral("S1050004AABB91\n")
        << QStringList { "00040000: 53 31 30 35 30 30 30 34", "00040000: 41 41 42 42 39 31 0a" };
    QTest::newRow("16 characters: two full slices")
        << QStringLiteral("S1050004AABB91\r\n")
        << QStringList { "00040000: 53 31 30 35 30 30 30 34", "00040000: 41 41 42 42 39 31 0d 0a" };
    QTest::newRow("17 characters: the CR LF split, 8 + 8 + 1")
        << QStringLiteral("S1050004AABB91 \r\n")
        << QStringList { "00040000: 53 31 30 35 30 30 30 34", "00040000: 41 41 42 42 39 31 20 0d",
               "00040000: 0a" };
    QTest::newRow("a byte above 0x7F goes as one Latin-1 byte")
        << QStringLiteral("S1\u00e9\n") << QStringList { "00040000: 53 31 e9 0a" };
    QTest::newRow("80 characters: 10 slices") << image(1).first() << slicesOf(image(1));
}

void TestCanUpgrade::linesAreCutIntoSlicesOfEight()
{
    QFETCH(QString, line);
    QFETCH(QStringList, frames);

    tickUpTo(CanService::US_SEND_DATA, { line });
    QCOMPARE(sentFrames().size(), 3);
    tick();
    QCOMPARE(sentFrames(), frames);
    QCOMPARE(frames.size(), (line.size() + 7) / 8);
}

void TestCanUpgrade::badAnswerEndsTheUpgrade_data()
{
    QTest::addColumn<QByteArray>("bootVersion");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<quint32>("refusedId");
    QTest::addColumn<QByteArray>("refusal");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("warning");

    QTest::newRow("request boot, one byte of the boot version different")
        << BootVersion << ThreeLines << CanBootFrame::RequestBootId
        << answer({ 0x55, 'Z', 'K', '1', '0', '1' }) << "US_REQUEST_BOOT"
        << "failed in requesting upgrade; id: 65539 ; data: \"55 5a 4b 31 30 31 00 00\" ";
    QTest::newRow("request boot, a boot version of 4 bytes never matches")
        << QByteArray("ZK10") << ThreeLines << CanBootFrame::RequestBootId
        << answer({ 0x55, 'Z', 'K', '1', '0', 0x00 }) << "US_REQUEST_BOOT"
        << "failed in requesting upgrade; id: 65539 ; data: \"55 5a 4b 31 30 00 00 00\" ";
    QTest::newRow("request boot, not U")
        << BootVersion << ThreeLines << CanBootFrame::RequestBootId
        << answer({ 0x56, 'Z', 'K', '1', '0', '0' }) << "US_REQUEST_BOOT"
        << "failed in requesting upgrade; id: 65539 ; data: "
           "\"56 5a 4b 31 30 30 00 00\" ";
    QTest::newRow("inquire boot refused")
        << BootVersion << ThreeLines << CanBootFrame::InquireBootId << answer({ 0xAA })
        << "US_INQUIRE_BOOT"
        << "failed in checking device ready; id: 131075 ; data: \"aa 00 00 00 00 00 00 00\" ";
    QTest::newRow("erase refused")
        << BootVersion << ThreeLines << CanBootFrame::EraseFlashId << answer({ 0xAA })
        << "US_ERASER_FLASH"
        << "failed in erasering flash; id: 196611 ; data: \"aa 00 00 00 00 00 00 00\" ";
    // Long enough for the refusal to come back before the last line has gone.
    QTest::newRow("a record refused")
        << BootVersion << image(30) << CanBootFrame::DataId << answer({ 0xAA, 0x01 })
        << "US_SEND_DATA"
        << "failed in sending data; id: 262147 ; data: \"aa 01 00 00 00 00 00 00\" ";
    QTest::newRow("finish refused")
        << BootVersion << ThreeLines << CanBootFrame::FinishId << answer({ 0x00 })
        << "US_UPGRADE_FINISH"
        << "failed in completing upgrading; id: 327683 ; data: \"00 00 00 00 00 00 00 00\" ";
}

void TestCanUpgrade::badAnswerEndsTheUpgrade()
{
    QFETCH(QByteArray, bootVersion);
    QFETCH(QStringList, lines);
    QFETCH(quint32, refusedId);
    QFETCH(QByteArray, refusal);
    QFETCH(QString, key);
    QFETCH(QString, warning);

    m_boot->setAnswer(refusedId, refusal);
    QCOMPARE(m_service->startUpgrading(lines, ChkSum, bootVersion), 0);
    QVERIFY(waitForFinish());
    QCOMPARE(m_service->upgradeState(), CanService::US_IDLE);

    // The result first, then the text, and nothing after them; the refusal is in the
    // transcript.
    // Those that answered the boot request are named as left in their boot loaders.
    QStringList last { "finished: false", "state: failed at state: " + key + "." };
    if (key != QLatin1String("US_REQUEST_BOOT"))
        last.append(QStringLiteral("left: 3"));
    QCOMPARE(events().mid(events().indexOf("finished: false")), last);
    QVERIFY(events().contains("data: <time> Recv: id: 0x"
        + QStringLiteral("%1").arg(answerId(refusedId), 8, 16, QLatin1Char('0'))
        + "; data: " + QString::fromLatin1(refusal.toHex(' ')) + "."));
    QCOMPARE(warnings(),
        QStringList({
            "WARN |CanService::moveToNextUpgradeState: failed at state: \"" + key + "\" .\r\n ",
            "WARN |CanService::processCanFrame: " + warning,
        }));

    // Nothing of a later step went out.
    const quint32 laterId = (refusedId & 0xFFFF0000u) + 0x10000;
    for (const QString &frame : sentFrames())
        QVERIFY2(frame.left(8).toUInt(nullptr, 16) < laterId, qPrintable(frame));
}

void TestCanUpgrade::stepTriedFourTimes_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("frame");
    // Ticks since the step began at which its frame goes out, and at which the step gives up.
    QTest::addColumn<QList<int>>("sendTicks");
    QTest::addColumn<int>("failTick");

    QTest::newRow("request boot, 2 s apart")
        << int(CanService::US_REQUEST_BOOT) << "0001ff00:" << QList<int> { 1, 1001, 2001, 3001 }
        << 4000;
    QTest::newRow("inquire boot, 2 s apart")
        << int(CanService::US_INQUIRE_BOOT) << "00020000: 00 00 00 00 12 34 56 78"
        << QList<int> { 1, 1001, 2001, 3001 } << 4000;
    QTest::newRow("erase, 10 s apart")
        << int(CanService::US_ERASER_FLASH) << "00030000:" << QList<int> { 1, 5001, 10001, 15001 }
        << 20000;
    QTest::newRow("finish, 30 s apart")
        << int(CanService::US_UPGRADE_FINISH)
        << "00050000:" << QList<int> { 10, 15020, 30030, 45040 } << 60040;
}

void TestCanUpgrade::stepTriedFourTimes()
{
    QFETCH(int, state);
    QFETCH(QString, frame);
    QFETCH(QList<int>, sendTicks);
    QFETCH(int, failTick);

    tickUpTo(CanService::UpgradeState(state), ThreeLines);
    sentFrames();
    m_events.clear();
    const QString sendLine = QStringLiteral("data: <time> Send: id: 0x%1;").arg(frame.left(8));
    QList<int> sentAt;
    int failedAt = 0;
    const int stepStart = m_ticks;
    while (failedAt == 0 && m_ticks - stepStart < failTick + 10) {
        const int before = m_events.size();
        tick();
        for (int i = before; i < m_events.size(); ++i) {
            if (m_events.at(i).startsWith(sendLine))
                sentAt.append(m_ticks - stepStart);
            if (m_events.at(i).startsWith("finished"))
                failedAt = m_ticks - stepStart;
        }
    }
    QCOMPARE(sentAt, sendTicks);
    QCOMPARE(failedAt, failTick);
    const QString key = CanUpgrade::keyOf(CanUpgrade::UpgradeState(state));
    QCOMPARE(eventsStartingWith("finished") + eventsStartingWith("state"),
        QStringList({ "finished: false", "state: time out at state: " + key + "." }));
    QCOMPARE(warnings(),
        QStringList {
            "WARN |CanService::OnUpgradeTimerTimeOut: time out at state: \"" + key + "\" .\r\n " });
    QCOMPARE(m_service->upgradeState(), CanService::US_IDLE);
    QCOMPARE(sentFrames(), QStringList({ frame, frame, frame, frame }));
}

void TestCanUpgrade::answersOfOtherStepsAndHighNumbersAreIgnored()
{
    startWithoutTimer(ThreeLines);
    tick();
    m_events.clear();
    const QByteArray good = answer({ 0x55, 'Z', 'K', '1', '0', '0' });
    // From battery 0x80: dropped as too large a number before the upgrade sees it.
    m_service->OnNewCanFrame(0x10080, good, 0);
    // The answer of another step, and a refusal of one: not this step's business.
    m_service->OnNewCanFrame(0x20003, answer({ 0x55 }), 0);
    m_service->OnNewCanFrame(0x30003, answer({ 0xAA }), 0);
    QCOMPARE(m_service->upgradeState(), CanService::US_REQUEST_BOOT);
    QCOMPARE(events(), QStringList());
    QCOMPARE(m_capture->count("recv too large slave number: 128"), 1);
    QCOMPARE(warnings(), QStringList());

    // From battery 27, the highest number there is: taken.
    m_service->OnNewCanFrame(0x1001B, good, 0);
    tick(CanUpgrade::RequestBootTimeoutTicks);
    QCOMPARE(m_service->upgradeState(), CanService::US_INQUIRE_BOOT);
    QCOMPARE(events(),
        QStringList({ "data: <time> Recv: id: 0x0001001b; data: 55 5a 4b 31 30 30 00 00.",
            "collected: 27; missing: " }));
    m_service->stopUpgrading();
}

void TestCanUpgrade::bootAnswersAreCollectedFromEveryBattery_data()
{
    QTest::addColumn<QList<int>>("expected");
    // Battery -> the first request it answers (1 to 4).
    QTest::addColumn<AnswersFrom>("answersFrom");
    QTest::addColumn<bool>("stopWhenCollected");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("collected");

    QTest::newRow("every battery expected answers the first request") << QList<int> { 3,
        5 } << AnswersFrom { { 3, 1 }, { 5, 1 } } << false << 1 << "collected: 3,5; missing: ";
    QTest::newRow("a battery that hears only the third request is waited for") << QList<int> { 3,
        5 } << AnswersFrom { { 3, 1 }, { 5, 3 } } << false << 3 << "collected: 3,5; missing: ";
    QTest::newRow("a battery that never answers is named after the fourth request")
        << QList<int> { 3, 5, 7 } << AnswersFrom { { 3, 1 } } << false << 4
        << "collected: 3; missing: 5,7";
    QTest::newRow("a battery nobody expected, in its boot loader from before, is counted")
        << QList<int> {} << AnswersFrom { { 3, 1 }, { 20, 1 } } << false << 1
        << "collected: 3,20; missing: ";
    QTest::newRow("stopped when collected: nothing after the request goes out") << QList<int> { 3,
        5 } << AnswersFrom { { 3, 1 } } << true << 4 << "collected: 3; missing: 5";
}

void TestCanUpgrade::bootAnswersAreCollectedFromEveryBattery()
{
    QFETCH(QList<int>, expected);
    QFETCH(AnswersFrom, answersFrom);
    QFETCH(bool, stopWhenCollected);
    QFETCH(int, requests);
    QFETCH(QString, collected);

    if (stopWhenCollected) {
        connect(m_service.get(), &CanService::bootAnswersCollected, this,
            [this] { m_service->stopUpgrading(); });
    }
    // The test answers for the batteries.
    m_boot->silence(CanBootFrame::RequestBootId);
    QCOMPARE(m_service->startUpgrading(ThreeLines, ChkSum, BootVersion, expected), 0);
    auto *timer = m_service->findChild<QTimer *>(QStringLiteral("upgradeTimer"));
    timer->stop();
    int sent = 0;
    const QByteArray good = answer({ 0x55, 'Z', 'K', '1', '0', '0' });
    while (m_service->upgradeState() == CanService::US_REQUEST_BOOT && m_ticks < 5 * 1000) {
        const int before = m_events.size();
        tick();
        if (m_events.mid(before).filter(QStringLiteral("Send: id: 0x0001ff00")).isEmpty())
            continue;
        ++sent;
        for (auto it = answersFrom.cbegin(); it != answersFrom.cend(); ++it) {
            if (sent >= it.value())
                m_service->OnNewCanFrame(0x10000u | quint32(it.key()), good, 0);
        }
    }
    QCOMPARE(sent, requests);
    QCOMPARE(eventsStartingWith("collected"), QStringList { collected });
    // Each try lasts the step's whole time.
    QCOMPARE(m_ticks, requests * (CanUpgrade::RequestBootTimeoutTicks + 1));
    QCOMPARE(m_service->upgradeState(),
        stopWhenCollected ? CanService::US_IDLE : CanService::US_INQUIRE_BOOT);
    tick();
    const QStringList frames = sentFrames();
    QCOMPARE(frames.filter(QStringLiteral("00020000")).size(), stopWhenCollected ? 0 : 1);
    // Stopped or not, those that answered wait in their boot loaders.
    QCOMPARE(numbers(m_service->upgradeBootLoaders()), collected.section(';', 0, 0).mid(11));
    QCOMPARE(eventsStartingWith("finished"), QStringList());
    m_service->stopUpgrading();
}

void TestCanUpgrade::dataStepIsPaced()
{
    const QStringList lines = image(120);
    // Read when each transcript line comes, which is after the pacer let its frame go (by a
    // moment, or by a whole time slice on a loaded machine): never earlier. The erase request's
    // line comes before any data frame is let go.
    QVector<qint64> sentAtNs;
    qint64 eraseAtNs = -1;
    QElapsedTimer clock;
    clock.start();
    connect(m_service.get(), &CanService::newUpgradeData, this, [&](const QString &line) {
        if (line.contains(QStringLiteral("Send: id: 0x00040000")))
            sentAtNs.append(clock.nsecsElapsed());
        else if (line.contains(QStringLiteral("Send: id: 0x00030000")))
            eraseAtNs = clock.nsecsElapsed();
    });

    QCOMPARE(m_service->startUpgrading(lines, ChkSum, BootVersion), 0);
    QVERIFY(waitForFinish(20000));
    QCOMPARE(eventsStartingWith("finished"), QStringList { "finished: true" });

    // Every slice once, in the order of the lines, nothing else in between.
    QStringList frames = sentFrames();
    QCOMPARE(frames.takeFirst(), QStringLiteral("0001ff00:"));
    frames.removeFirst(); // inquire
    QCOMPARE(frames.takeFirst(), QStringLiteral("00030000:"));
    QCOMPARE(frames.takeLast(), QStringLiteral("00050000:"));
    QCOMPARE(frames, slicesOf(lines));
    QCOMPARE(sentAtNs.size(), lines.size() * 10);

    // From the erase request to any slice, no more than the burst plus the rate times the time
    // between (one frame of slack for the clocks read a moment apart). Read late, a slice only
    // gets more room, so a busy machine cannot fail this; FramePacer's own test holds every
    // stretch of the stream to the same bound on a clock of its own.
    QVERIFY(eraseAtNs >= 0);
    const double perNs = CanUpgrade::MaxDataFramesPerSecond / 1e9;
    for (int j = 0; j < sentAtNs.size(); ++j) {
        const double allowed = CanUpgrade::DataBurstFrames + 1 + perNs * (sentAtNs[j] - eraseAtNs);
        if (j + 1 > allowed)
            QFAIL(qPrintable(QStringLiteral("%1 slices went out within %2 us of the erase request")
                                 .arg(j + 1)
                                 .arg((sentAtNs[j] - eraseAtNs) / 1000)));
    }
    // ... and not far below the rate either (a loaded machine may miss ticks).
    const double seconds = (sentAtNs.last() - sentAtNs.first()) / 1e9;
    const double ideal = (sentAtNs.size() - CanUpgrade::DataBurstFrames) / 1000.0;
    QVERIFY2(seconds < ideal * 5, qPrintable(QString::number(seconds)));
}

void TestCanUpgrade::dataPaceLeavesTheBusRoom_data()
{
    QTest::addColumn<int>("kbit");
    QTest::addColumn<int>("broadcastsPerSecond"); // heard in the last second
    QTest::addColumn<QString>("pace"); // "max", "min" or "between"

    QTest::newRow("a quiet bus: the named maximum") << 250 << 0 << "max";
    QTest::newRow("a few batteries still broadcasting: the maximum still fits")
        << 250 << 150 << "max";
    QTest::newRow("half the bus taken: what is left, less the margin") << 250 << 800 << "between";
    QTest::newRow("a full bank broadcasting: the minimum") << 250 << 1600 << "min";
    QTest::newRow("125 kbit/s, quiet: what the bus carries, less the margin")
        << 125 << 0 << "between";
}

void TestCanUpgrade::dataPaceLeavesTheBusRoom()
{
    QFETCH(int, kbit);
    QFETCH(int, broadcastsPerSecond);
    QFETCH(QString, pace);

    QCOMPARE(m_service->initService(AdapterType::UsbCan2, 0, true, 0, kbit), 0);
    tickUpTo(CanService::US_SEND_DATA, image(10));
    // Broadcasts with changing content, from a sender the signal store ignores: traffic on
    // the bus all the same.
    const quint32 broadcastId = 0x2008000 | (BatteryBank::MaxDeviceId + 1);
    qint64 heardBits = 0;
    for (int i = 0; i < broadcastsPerSecond; ++i) {
        const QByteArray data = answer({ i & 0xFF, i >> 8, 0x5A, 0x01, 0x00, 0xFF, 0x10, 0x33 });
        m_service->OnNewCanFrame(broadcastId, data, 0);
        heardBits += CanFrameBits::bitsOnWire(broadcastId, true, data);
    }
    const int framesPerSecond = m_service->upgradeFramesPerSecond();
    const int sliceBits = CanFrameBits::worstCaseBits(true, CanUpgrade::SliceSize);
    const qint64 usable = kbit * 1000LL * (100 - BusHeadroom::MarginPercent) / 100;
    if (pace == "max")
        QCOMPARE(framesPerSecond, CanUpgrade::MaxDataFramesPerSecond);
    else if (pace == "min")
        QCOMPARE(framesPerSecond, CanUpgrade::MinDataFramesPerSecond);
    else
        QVERIFY(framesPerSecond > CanUpgrade::MinDataFramesPerSecond
            && framesPerSecond < CanUpgrade::MaxDataFramesPerSecond);
    // Never more than the bus has room for, unless held at the minimum.
    if (pace != "min")
        QVERIFY2(heardBits + qint64(framesPerSecond) * sliceBits <= usable,
            qPrintable(QString::number(framesPerSecond)));
    // ... and not much less (the boot loader's answers to the steps before count too).
    if (pace == "between")
        QVERIFY2(heardBits + qint64(framesPerSecond + 5) * sliceBits > usable,
            qPrintable(
                QStringLiteral("%1 frames/s, %2 bits heard").arg(framesPerSecond).arg(heardBits)));

    // What was heard more than a second ago no longer counts.
    BusHeadroom headroom(kbit * 1000);
    headroom.hearAt(0, int(heardBits));
    QCOMPARE(headroom.heardBitsAt(BusHeadroom::WindowNs - 1), heardBits);
    QCOMPARE(headroom.heardBitsAt(2 * BusHeadroom::WindowNs), 0);
    m_service->stopUpgrading();
}

void TestCanUpgrade::linesWaitForAStalledAdapterThread()
{
    QCOMPARE(m_service->startUpgrading(image(120), ChkSum, BootVersion), 0);
    QVERIFY(waitForEvents("progress", 5));
    // The adapter's thread stops taking frames, as on a machine too busy to run it.
    QSemaphore stalled;
    QMetaObject::invokeMethod(
        m_service->device(), [&stalled] { stalled.acquire(); }, Qt::QueuedConnection);
    // At the pace alone, 300 lines would go in 300 ms; a line (10 frames) past the burst at most.
    int most = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 300) {
        most = std::max(most, m_service->framesNotYetTaken());
        QVERIFY(!waitForEvents("finished", 1, 10));
    }
    stalled.release();
    QVERIFY2(
        most > 0 && most <= CanUpgrade::MaxBacklogFrames + 10, qPrintable(QString::number(most)));
    QVERIFY(waitForFinish(10000));
    QCOMPARE(eventsStartingWith("finished"), QStringList { "finished: true" });
}

void TestCanUpgrade::stopUpgradingIsSilentAndFreesTheReads()
{
    QCOMPARE(m_service->startUpgrading(image(200), ChkSum, BootVersion), 0);
    QVERIFY(waitForEvents("progress", 5));
    m_service->stopUpgrading();
    QCOMPARE(m_service->upgradeState(), CanService::US_IDLE);
    const QStringList before = events();

    QDateTime time;
    QCOMPARE(m_service->readDeviceTime(1, time), 0);
    QCOMPARE(events(), before);
    QVERIFY(eventsStartingWith("finished").isEmpty());
    QVERIFY(eventsStartingWith("state").isEmpty());
    // Slices still queued when it stopped may have gone out since; none after them.
    sentFrames();
    QCOMPARE(m_service->readDeviceTime(1, time), 0);
    QCOMPARE(sentFrames(), QStringList { "18e00180: 01 10" });
    QCOMPARE(warnings(), QStringList());
}

void TestCanUpgrade::secondStartBeginsAnew()
{
    QCOMPARE(m_service->startUpgrading(image(200), ChkSum, BootVersion), 0);
    QVERIFY(waitForEvents("progress", 3));
    m_events.clear();
    QCOMPARE(m_service->startUpgrading(ThreeLines, 0xCAFE, BootVersion), 0);
    QVERIFY(waitForFinish());

    QCOMPARE(eventsStartingWith("progress"),
        QStringList(
            { "progress: 0", "progress: 33", "progress: 66", "progress: 100", "progress: 100" }));
    QCOMPARE(eventsStartingWith("finished"), QStringList { "finished: true" });
    QStringList frames = sentFrames();
    frames = frames.mid(frames.lastIndexOf("0001ff00:"));
    QCOMPARE(frames,
        QStringList({ "0001ff00:", "00020000: 00 00 00 00 00 00 ca fe", "00030000:" })
            + slicesOf(ThreeLines) + QStringList { "00050000:" });
}

void TestCanUpgrade::upgradeFailsAtOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("warning"); // of the upgrade's last Warn line

    QTest::newRow("a slice the adapter refused")
        << "refuse"
        << "US_SEND_DATA"
        << "failed to transmit upgrade frame at state: \"US_SEND_DATA\" ; id: 262144";
    QTest::newRow("the request to a closed adapter, without waiting for its timeout")
        << "start closed"
        << "US_REQUEST_BOOT"
        << "state: \"US_REQUEST_BOOT\" ; id: 130816 ; data: \"\" ";
    QTest::newRow("the bus closed while the finish step waits")
        << "close"
        << "US_UPGRADE_FINISH"
        << "closeService: bus closed during the upgrade at state: \"US_UPGRADE_FINISH\" . ";
    QTest::newRow("a line refused after the finish step began")
        << "refuse late"
        << "US_SEND_DATA"
        << "failed in sending data; id: 262147 ; data: \"aa 01 00 00 00 00 00 00\" ";
}

void TestCanUpgrade::upgradeFailsAtOnce()
{
    QFETCH(QString, how);
    QFETCH(QString, key);
    QFETCH(QString, warning);

    const QStringList lines = image(10);
    if (how == "refuse") {
        auto dataFrames = std::make_shared<std::atomic<int>>(0);
        m_bus->setTransmitRefusal([dataFrames](const ScriptedBus::Frame &frame) {
            return frame.id == CanBootFrame::DataId && ++*dataFrames == 25;
        });
        QCOMPARE(m_service->startUpgrading(lines, ChkSum, BootVersion), 0);
        QVERIFY(waitForFinish());
        // Nothing after the hole: neither the lost slice again nor the finish.
        const QStringList frames = sentFrames();
        QVERIFY(!frames.contains(QStringLiteral("00050000:")));
        QVERIFY(!frames.contains(
            ScriptedBus::text({ CanBootFrame::DataId, lines.at(2).mid(32, 8).toLatin1() })));
    } else if (how == "start closed") {
        m_service->closeService();
        QCOMPARE(m_service->startUpgrading(lines, ChkSum, BootVersion), 0);
        QVERIFY(waitForFinish(CanUpgrade::RequestBootTimeoutTicks * CanUpgrade::TickMs / 2));
    } else {
        tickUpTo(CanService::US_UPGRADE_FINISH, ThreeLines);
        tick(CanUpgrade::FinishSendTick);
        if (how == "close") {
            m_service->closeService();
        } else {
            // A good answer to a line, however late, changes nothing; a refusal does.
            m_service->OnNewCanFrame(answerId(CanBootFrame::DataId), answer({ 0x55 }), 0);
            QCOMPARE(m_finished->count(), 0);
            m_service->OnNewCanFrame(answerId(CanBootFrame::DataId), answer({ 0xAA, 0x01 }), 0);
        }
        QCOMPARE(m_finished->count(), 1);
    }

    QCOMPARE(eventsStartingWith("finished") + eventsStartingWith("state"),
        QStringList({ "finished: false", "state: failed at state: " + key + "." }));
    QCOMPARE(eventsStartingWith("left"),
        how == "start closed" ? QStringList() : QStringList { "left: 3" });
    QCOMPARE(m_service->upgradeState(), CanService::US_IDLE);
    // One line (two for a refusal, as in any step), however many frames were lost.
    const QStringList upgradeLines = warnings().filter(QStringLiteral("|CanService::"));
    QCOMPARE(upgradeLines.size(), 1 + int(how == "refuse late"));
    QVERIFY2(upgradeLines.last().contains(warning), qPrintable(upgradeLines.last()));
}

void TestCanUpgrade::dataStepTriesCountPerLine()
{
    tickUpTo(CanService::US_SEND_DATA, ThreeLines);
    // The adapter's thread lags behind for all but the last try of each line in turn.
    bool lagging = true;
    auto *upgrade = m_service->findChild<CanUpgrade *>();
    QVERIFY(upgrade);
    upgrade->setBacklog([&lagging] { return lagging ? CanUpgrade::MaxBacklogFrames + 1 : 0; });
    const auto restore = qScopeGuard([upgrade] { upgrade->setBacklog([] { return 0; }); });
    for (int line = 0; line < ThreeLines.size(); ++line) {
        lagging = true;
        tick((CanUpgrade::MaxTries - 1) * (CanUpgrade::SendDataTimeoutTicks + 1));
        QCOMPARE(eventsStartingWith("progress").size(), line);
        lagging = false;
        tick();
        QCOMPARE(eventsStartingWith("progress").size(), line + 1);
    }
    QCOMPARE(eventsStartingWith("finished"), QStringList());
    m_service->stopUpgrading();
}

void TestCanUpgrade::rosterJudgesEveryBattery_data()
{
    QTest::addColumn<QList<int>>("roster");
    // "<battery> <how> <step>": "refuses" in the step (in the order of the battery numbers, as
    // the bus's arbitration has them), "refuses-later" once the step has moved on (for a step
    // with an answer, after answering it well), "silent" through the step's tries.
    QTest::addColumn<QStringList>("behaviour");
    QTest::addColumn<QStringList>("texts"); // the state texts, in order
    QTest::addColumn<QString>("judged"); // "<finished> | <not finished>: <why>, ..."

    QTest::newRow("two: the second refuses the erase after the first's good answer")
        << QList<int> { 1, 2 } << QStringList { "2 refuses erase" }
        << QStringList { "battery 2 refused the erase.",
               "1 of 2 batteries left the upgrade: battery 2 refused the erase." }
        << "1 | 2: refused the erase";
    QTest::newRow("two: the first refuses the inquire before the second answers")
        << QList<int> { 1, 2 } << QStringList { "1 refuses inquire" }
        << QStringList { "battery 1 refused the inquire.",
               "1 of 2 batteries left the upgrade: battery 1 refused the inquire." }
        << "2 | 1: refused the inquire";
    QTest::newRow("three: a refusal of the inquire after the step moved on")
        << QList<int> { 1, 2, 3 } << QStringList { "2 refuses-later inquire" }
        << QStringList { "battery 2 refused the inquire.",
               "1 of 3 batteries left the upgrade: battery 2 refused the inquire." }
        << "1,3 | 2: refused the inquire";
    QTest::newRow("two: a line refused") << QList<int> { 1, 2 } << QStringList { "2 refuses data" }
                                         << QStringList { "battery 2 refused the data.",
                                                "1 of 2 batteries left the upgrade: battery 2 "
                                                "refused the data." }
                                         << "1 | 2: refused the data";
    QTest::newRow("two: a line refused after the finish step began")
        << QList<int> { 1, 2 } << QStringList { "1 refuses-later data" }
        << QStringList { "battery 1 refused the data.",
               "1 of 2 batteries left the upgrade: battery 1 refused the data." }
        << "2 | 1: refused the data";
    QTest::newRow("three: one silent through the finish's tries")
        << QList<int> { 1, 2, 3 } << QStringList { "3 silent finish" }
        << QStringList { "battery 3 did not answer the finish.",
               "1 of 3 batteries left the upgrade: battery 3 did not answer the finish." }
        << "1,2 | 3: did not answer the finish";
    QTest::newRow("two: both refuse the erase, the upgrade ends at once")
        << QList<int> { 1, 2 } << QStringList { "1 refuses erase", "2 refuses erase" }
        << QStringList { "battery 1 refused the erase.", "battery 2 refused the erase.",
               "2 of 2 batteries left the upgrade: battery 1 refused the erase; battery 2 refused "
               "the erase." }
        << " | 1: refused the erase, 2: refused the erase";
    QTest::newRow("two: one silent at the inquire, the other refuses the finish")
        << QList<int> { 4, 9 } << QStringList { "9 silent inquire", "4 refuses finish" }
        << QStringList { "battery 9 did not answer the inquire.", "battery 4 refused the finish.",
               "2 of 2 batteries left the upgrade: battery 4 refused the finish; battery 9 did "
               "not answer the inquire." }
        << " | 4: refused the finish, 9: did not answer the inquire";
    QTest::newRow("three: every battery finishes")
        << QList<int> { 1, 2, 3 } << QStringList() << QStringList() << "1,2,3 | ";
}

void TestCanUpgrade::rosterJudgesEveryBattery()
{
    QFETCH(QList<int>, roster);
    QFETCH(QStringList, behaviour);
    QFETCH(QStringList, texts);
    QFETCH(QString, judged);

    QString judgedAs;
    QObject receiver; // goes with judgedAs
    connect(m_service.get(), &CanService::rosterJudged, &receiver,
        [&](const QList<int> &finished, const QMap<int, QString> &notFinished) {
            QStringList why;
            for (auto it = notFinished.cbegin(); it != notFinished.cend(); ++it)
                why.append(QStringLiteral("%1: %2").arg(it.key()).arg(it.value()));
            judgedAs = numbers(finished) + " | " + why.join(QStringLiteral(", "));
        });
    // The test answers for the batteries, in the order of their numbers.
    for (quint32 id : { CanBootFrame::RequestBootId, CanBootFrame::InquireBootId,
             CanBootFrame::EraseFlashId, CanBootFrame::FinishId })
        m_boot->silence(id);
    const auto how = [&behaviour](int devId, int step) {
        const QString stepName
            = QStringList { "", "request", "inquire", "erase", "data", "finish" }.at(step);
        for (const QString &entry : behaviour) {
            const QStringList words = entry.split(' ');
            if (words.at(0).toInt() == devId && words.at(2) == stepName)
                return words.at(1);
        }
        return QString();
    };
    const auto answerFrom = [this](int devId, int step, bool good) {
        const QByteArray data = step == CanService::US_REQUEST_BOOT
            ? answer({ 0x55, 'Z', 'K', '1', '0', '0' })
            : answer({ good ? 0x55 : 0xAA });
        m_service->OnNewCanFrame(
            CanBootFrame::answerId(CanBootFrame::Step(step), quint8(devId)), data, 0);
    };

    startWithoutTimer(ThreeLines);
    QList<QPair<int, int>> later; // refusals owed once the step has moved on: battery, step
    int firstOfStep = 0;
    while (m_finished->isEmpty() && m_ticks < 5 * 60 * 1000) {
        const int before = m_events.size();
        tick();
        const QStringList sent = m_events.mid(before).filter(QStringLiteral("Send: id: 0x000"));
        if (sent.isEmpty())
            continue;
        const QString &line = sent.first();
        const int step = CanBootFrame::stepOfHostFrame(
            line.mid(line.indexOf("0x") + 2, 8).toUInt(nullptr, 16));
        // Each step's first frame only (the data step's first line).
        if (step == firstOfStep)
            continue;
        firstOfStep = step;
        for (const auto &owed : later)
            answerFrom(owed.first, owed.second, false);
        later.clear();
        for (int devId : roster) {
            const QString way = how(devId, step);
            if (step == CanService::US_SEND_DATA) {
                if (way == "refuses")
                    answerFrom(devId, step, false);
                else if (way == "refuses-later")
                    later.append({ devId, step });
            } else if (way == "refuses") {
                answerFrom(devId, step, false);
            } else if (way != "silent") {
                answerFrom(devId, step, true);
                if (way == "refuses-later")
                    later.append({ devId, step });
            }
        }
    }
    QCOMPARE(eventsStartingWith("finished"),
        QStringList { QStringLiteral("finished: ") + (texts.isEmpty() ? "true" : "false") });
    QStringList stateTexts;
    for (const QString &text : texts)
        stateTexts.append("state: " + text);
    QCOMPARE(eventsStartingWith("state"), stateTexts);
    QCOMPARE(judgedAs, judged);
    // Those that did not finish wait in their boot loaders.
    const QString notFinished = judged.section(" | ", 1);
    QStringList waiting;
    for (const QString &why : notFinished.split(", ", Qt::SkipEmptyParts))
        waiting.append(why.section(':', 0, 0));
    QCOMPARE(eventsStartingWith("left"),
        waiting.isEmpty() ? QStringList() : QStringList { "left: " + waiting.join(',') });
    QCOMPARE(numbers(m_service->upgradeBootLoaders()), waiting.join(','));
    // The upgrade went on to its end unless none was left.
    const bool toTheEnd = !judged.startsWith(" | ");
    QCOMPARE(sentFrames().contains(QStringLiteral("00050000:")),
        toTheEnd || texts.last().contains("finish"));
}

void TestCanUpgrade::anotherHostsFramesAreNoAnswers_data()
{
    QTest::addColumn<QString>("when");
    QTest::addColumn<quint32>("id");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("text"); // the start of the state text; empty: none

    const QByteArray slice("S3250802");
    QTest::newRow("its slice heard before the start: not started")
        << "before" << CanBootFrame::DataId << slice
        << "another host is upgrading on this bus: heard 0x00040000: 53 33 32 35 30 38 30 32 0.0 "
           "s ago; not started.";
    QTest::newRow("its boot request heard before the start: not started")
        << "before" << CanBootFrame::RequestBootId << QByteArray(8, '\0')
        << "another host is upgrading on this bus: heard 0x0001ff00: 00 00 00 00 00 00 00 00";
    QTest::newRow("its slice in the data step: stopped")
        << "data" << CanBootFrame::DataId << slice
        << "another host is upgrading on this bus: heard 0x00040000: 53 33 32 35 30 38 30 32; "
           "stopped.";
    QTest::newRow("the last, shorter slice of a line in the erase step: stopped")
        << "erase" << CanBootFrame::DataId << QByteArray("F9\r\n\0\0\0\0", 8)
        << "another host is upgrading on this bus: heard 0x00040000: 46 39 0d 0a 00 00 00 00; "
           "stopped.";
    QTest::newRow("its boot request in the erase step: stopped")
        << "erase" << CanBootFrame::RequestBootId << QByteArray(8, '\0')
        << "another host is upgrading on this bus: heard 0x0001ff00: 00 00 00 00 00 00 00 00; "
           "stopped.";
    QTest::newRow("a late answer to this upgrade, just after it ended: its own")
        << "after" << answerId(CanBootFrame::EraseFlashId) << answer({ 0x55 }) << QString();
}

void TestCanUpgrade::anotherHostsFramesAreNoAnswers()
{
    QFETCH(QString, when);
    QFETCH(quint32, id);
    QFETCH(QByteArray, data);
    QFETCH(QString, text);

    if (when == "before" || when == "after") {
        if (when == "after") {
            tickUpTo(CanService::US_ERASER_FLASH, ThreeLines);
            m_service->stopUpgrading();
        }
        sentFrames();
        m_events.clear();
        m_service->OnNewCanFrame(id, data, 0);
        QCOMPARE(
            m_service->startUpgrading(ThreeLines, ChkSum, BootVersion), text.isEmpty() ? 0 : -1);
        // Refused: nothing sent.
        if (!text.isEmpty())
            QCOMPARE(sentFrames(), QStringList());
        m_service->stopUpgrading();
    } else {
        tickUpTo(
            when == "data" ? CanService::US_SEND_DATA : CanService::US_ERASER_FLASH, ThreeLines);
        tick();
        m_events.clear();
        m_service->OnNewCanFrame(id, data, 0);
        QCOMPARE(m_service->upgradeState(), CanService::US_IDLE);
        QCOMPARE(eventsStartingWith("left"), QStringList { "left: 3" });
    }
    if (text.isEmpty()) {
        QCOMPARE(eventsStartingWith("state"), QStringList());
        return;
    }
    QCOMPARE(eventsStartingWith("finished"), QStringList { "finished: false" });
    QCOMPARE(eventsStartingWith("state").size(), 1);
    QVERIFY2(eventsStartingWith("state").first().startsWith("state: " + text),
        qPrintable(eventsStartingWith("state").first()));
    QVERIFY(warnings().last().contains(text));
}

QTEST_GUILESS_MAIN(TestCanUpgrade)
#include "tst_canupgrade.moc"
