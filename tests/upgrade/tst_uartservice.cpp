#include "support/capturedestination.h"
#include "support/fakebootloader.h"
#include "support/testfirmware.h"
#include "upgrade/uartimage.h"
#include "upgrade/uartservice.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

// The UART upgrade service against a boot loader the test plays on a pseudo-terminal. The
// service runs in the test's thread here (the firmware page's worker thread is covered by the
// page's tests), driven by its own 5 ms timer; waits are on signals, never fixed sleeps. The
// waits after the request and for replies are shortened through the service's test seam; the
// end-to-end tests run with the program's own.
class TestUartService : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sendsTheImageInBlocks_data();
    void sendsTheImageInBlocks();
    void traceLinesShowEveryChunk();
    void refusalStopsTheUpgrade_data();
    void refusalStopsTheUpgrade();
    void repliesTheStateDoesNotWantAreIgnored_data();
    void repliesTheStateDoesNotWantAreIgnored();
    void noiseAndBrokenFramesDoNotLoseTheReply_data();
    void noiseAndBrokenFramesDoNotLoseTheReply();
    void replySplitOverTwoReads();
    void portThatDoesNotOpenEndsInFailure();
    void imagesThatCannotBeSentEndInFailure_data();
    void imagesThatCannotBeSentEndInFailure();
    void vanishingPortStopsTheUpgrade();
    void silentBootLoaderIsAskedSixTimesInAll();
    void timeoutOutsideTheVersionCheckStops();
    void stopUpgradingEmitsNothing();

private:
    // Starts an upgrade of image against the fake, with spies on every signal.
    void start(const QByteArray &image);
    bool finished(int timeoutMs = 10000) { return m_result->wait(timeoutMs) || m_result->size(); }
    QStringList states() const;
    QList<int> progress() const;

    std::unique_ptr<FakeBootLoader> m_fake;
    std::unique_ptr<UartService> m_service;
    std::unique_ptr<QSignalSpy> m_result;
    std::unique_ptr<QSignalSpy> m_states;
    std::unique_ptr<QSignalSpy> m_progress;
    std::unique_ptr<QSignalSpy> m_data;
    QSharedPointer<CaptureDestination> m_log;
};

namespace {

QByteArray image(int size)
{
    return TestFirmware::bin(size, "ZK100", "ZK-BMS V3.0.01");
}

// A frame with any byte 3 and any target, its CRC right.
QByteArray rawFrame(quint8 target, quint8 command, const QByteArray &body)
{
    QByteArray frame = UartFrame::build(target, body);
    frame[3] = char(command);
    const quint16 crc = UartFrame::crc(frame.mid(3, body.size() + 2));
    frame[5 + body.size()] = char(crc & 0xFF);
    frame[6 + body.size()] = char(crc >> 8);
    return frame;
}

QByteArray accepted(quint16 subCommand, const QByteArray &extra = QByteArray())
{
    QByteArray body(1, char(1));
    body.append(char(subCommand));
    return UartFrame::build(0x00, body + extra);
}

} // namespace

void TestUartService::init()
{
    m_log = CaptureDestination::attach();
    m_fake.reset(new FakeBootLoader);
    QVERIFY(m_fake->isOpen());
    m_service.reset(new UartService);
    // A tenth of the second the program waits after the request.
    m_service->setBaudSwitchTicks(20);
    m_result.reset(new QSignalSpy(m_service.get(), &UartService::upgradeResult));
    m_states.reset(new QSignalSpy(m_service.get(), &UartService::newState));
    m_progress.reset(new QSignalSpy(m_service.get(), &UartService::upgradeProgress));
    m_data.reset(new QSignalSpy(m_service.get(), &UartService::newData));
}

void TestUartService::cleanup()
{
    m_result.reset();
    m_states.reset();
    m_progress.reset();
    m_data.reset();
    m_service.reset();
    m_fake.reset();
    CaptureDestination::detach(m_log);
}

void TestUartService::start(const QByteArray &image)
{
    m_service->startUpgrading(m_fake->portName(), image);
}

QStringList TestUartService::states() const
{
    QStringList texts;
    for (const QList<QVariant> &arguments : qAsConst(*m_states))
        texts.append(arguments.at(0).toString());
    return texts;
}

QList<int> TestUartService::progress() const
{
    QList<int> values;
    for (const QList<QVariant> &arguments : qAsConst(*m_progress))
        values.append(arguments.at(0).toInt());
    return values;
}

void TestUartService::sendsTheImageInBlocks_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<quint16>>("subCommands");
    QTest::addColumn<QList<int>>("arguments");
    QTest::addColumn<QList<int>>("progress");

    using Subs = QList<quint16>;
    using Ints = QList<int>;
    // No data frame for one or two blocks: a single block goes in the start frame and again in
    // the end frame, two as start and end frame.
    QTest::newRow("100 bytes: one block")
        << 100 << Subs { 1, 1, 2, 3, 5, 6 } << Ints { 0, 0, 0, 1, 1, 2 } << Ints { 0, 100, 100 };
    QTest::newRow("248 bytes: one full block")
        << 248 << Subs { 1, 1, 2, 3, 5, 6 } << Ints { 0, 0, 0, 1, 1, 2 } << Ints { 0, 100, 100 };
    QTest::newRow("496 bytes: two blocks")
        << 496 << Subs { 1, 1, 2, 3, 5, 6 } << Ints { 0, 0, 0, 1, 2, 2 } << Ints { 0, 50, 100 };
    QTest::newRow("744 bytes: three full blocks")
        << 744 << Subs { 1, 1, 2, 3, 4, 5, 6 } << Ints { 0, 0, 0, 1, 2, 3, 2 }
        << Ints { 0, 33, 66, 100 };
    QTest::newRow("1000 bytes: N = 5, r = 8")
        << 1000 << Subs { 1, 1, 2, 3, 4, 4, 4, 5, 6 } << Ints { 0, 0, 0, 1, 2, 3, 4, 5, 2 }
        << Ints { 0, 20, 40, 60, 80, 100 };
    QTest::newRow("1001 bytes, padded to 1008")
        << 1001 << Subs { 1, 1, 2, 3, 4, 4, 4, 5, 6 } << Ints { 0, 0, 0, 1, 2, 3, 4, 5, 2 }
        << Ints { 0, 20, 40, 60, 80, 100 };
}

void TestUartService::sendsTheImageInBlocks()
{
    QFETCH(int, size);
    QFETCH(QList<quint16>, subCommands);
    QFETCH(QList<int>, arguments);
    QFETCH(QList<int>, progress);

    const QByteArray bin = image(size);
    start(bin);
    QVERIFY(finished());
    QCOMPARE(m_result->size(), 1);
    QCOMPARE(m_result->at(0).at(0).toBool(), true);
    QCOMPARE(this->progress(), progress);
    QCOMPARE(m_service->state(), UartService::USUS_IDLE);

    const QList<FakeBootLoader::Received> &frames = m_fake->frames();
    QCOMPARE(m_fake->subCommands(), subCommands);
    const UartImage padded(bin);
    const quint16 crc = padded.crc();
    for (int i = 0; i < frames.size(); ++i) {
        // The request at 9600 baud, everything after it at 115200.
        QCOMPARE(frames[i].baud, i == 0 ? 9600 : 115200);
        // Byte for byte: blocks carry the block their argument numbers, the last frame the CRC
        // of the whole padded image.
        const quint16 sub = subCommands.at(i);
        const QByteArray payload = sub == UartFrame::ImageCrc
            ? QByteArray(1, char(crc & 0xFF)) + QByteArray(1, char(crc >> 8))
            : padded.block(sub >= UartFrame::StartFrame ? arguments.at(i) : 0);
        QCOMPARE(frames[i].frame, UartFrame::request(0x00, sub, quint16(arguments.at(i)), payload));
    }
    QVERIFY(states().contains(QStringLiteral("changed baud to 115200.")));
    QCOMPARE(states().last(), QStringLiteral("stop upgrading at state: 7"));
}

void TestUartService::traceLinesShowEveryChunk()
{
    start(image(100));
    QVERIFY(finished());
    const QString first = m_data->at(0).at(0).toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d Send: "
                                               "AA 55 00 50 04 01 00 00 00 26 8F 0D 0A$"))
                 .match(first)
                 .hasMatch(),
        qPrintable(first));
    bool sawRecv = false;
    for (const QList<QVariant> &arguments : qAsConst(*m_data))
        sawRecv
            = sawRecv || arguments.at(0).toString().contains(QStringLiteral(" Recv: AA 55 00 50"));
    QVERIFY(sawRecv);
    // The 117-byte start frame breaks after every 16th byte.
    for (const QList<QVariant> &arguments : qAsConst(*m_data)) {
        const QString line = arguments.at(0).toString();
        if (line.contains(QStringLiteral("Send: AA 55 00 50 6C 03 00")))
            QCOMPARE(line.count(QLatin1Char('\n')), 117 / 16);
    }
}

void TestUartService::refusalStopsTheUpgrade_data()
{
    QTest::addColumn<int>("refused");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    QTest::newRow("another boot loader revision")
        << 0 << "ZK999"
        << "the boot loader's revision ZK999 does not match the image's ZK100." << 2;
    QTest::newRow("prepare refused") << 2 << "ZK100"
                                     << "refused by the boot loader at state: 3." << 3;
    QTest::newRow("start frame refused") << 3 << "ZK100"
                                         << "refused by the boot loader at state: 4." << 4;
    QTest::newRow("data frame refused") << 4 << "ZK100"
                                        << "refused by the boot loader at state: 5." << 5;
    QTest::newRow("end frame refused") << 5 << "ZK100"
                                       << "refused by the boot loader at state: 6." << 6;
    QTest::newRow("CRC refused") << 6 << "ZK100"
                                 << "refused by the boot loader at state: 7." << 7;
}

void TestUartService::refusalStopsTheUpgrade()
{
    QFETCH(int, refused);
    QFETCH(QString, tag);
    QFETCH(QString, text);
    QFETCH(int, state);
    if (refused)
        m_fake->refuse(quint16(refused));
    m_fake->setTag(tag.toLatin1());
    start(image(1000));
    QVERIFY(finished());
    QCOMPARE(m_result->size(), 1);
    QCOMPARE(m_result->at(0).at(0).toBool(), false);
    QVERIFY2(states().contains(text), qPrintable(states().join(QLatin1Char('|'))));
    QCOMPARE(states().last(), QStringLiteral("stop upgrading at state: %1").arg(state));
    QVERIFY(!m_log->linesContaining(text).isEmpty());
    // Nothing is sent after the refusal.
    QCOMPARE(int(m_fake->subCommands().last()), refused ? refused : 1);
}

void TestUartService::repliesTheStateDoesNotWantAreIgnored_data()
{
    QTest::addColumn<QByteArray>("ignored");
    QTest::newRow("a version reply of 4 body bytes")
        << UartFrame::build(0x00, QByteArray("\x01\x01ZK", 4));
    QTest::newRow("another target") << UartFrame::build(0x01, QByteArray("\x01\x01ZK999", 7));
    QTest::newRow("no 0x50 at byte 3") << rawFrame(0x00, 0x51, QByteArray("\x01\x01ZK999", 7));
}

void TestUartService::repliesTheStateDoesNotWantAreIgnored()
{
    QFETCH(QByteArray, ignored);
    // The ignored reply first, in the same read as the good one.
    m_fake->setAnswer([this, ignored](const QByteArray &frame) {
        const qint32 baud = m_fake->frames().last().baud;
        const bool versionQuery
            = UartFrame::subCommand(frame) == UartFrame::RequestUpgrade && baud == 115200;
        return (versionQuery ? ignored : QByteArray()) + m_fake->defaultAnswer(frame, baud);
    });
    start(image(300));
    QVERIFY(finished());
    QCOMPARE(m_result->at(0).at(0).toBool(), true);
}

void TestUartService::noiseAndBrokenFramesDoNotLoseTheReply_data()
{
    QTest::addColumn<QByteArray>("before");
    QByteArray badCrc = accepted(2);
    badCrc[5] = char(badCrc.at(5) ^ 0x01);
    QTest::newRow("noise") << QByteArray::fromHex("00FF13AA37");
    QTest::newRow("a frame with a bad CRC") << badCrc;
    QTest::newRow("a header claiming a long body") << QByteArray::fromHex("AA550050F0");
    QTest::newRow("a frame without CR LF") << accepted(2).chopped(2) + "XY";
}

void TestUartService::noiseAndBrokenFramesDoNotLoseTheReply()
{
    QFETCH(QByteArray, before);
    m_fake->setNoise(before);
    start(image(1000));
    QVERIFY(finished());
    QCOMPARE(m_result->at(0).at(0).toBool(), true);
    QCOMPARE(progress(), (QList<int> { 0, 20, 40, 60, 80, 100 }));
}

void TestUartService::replySplitOverTwoReads()
{
    m_fake->setAnswer([this](const QByteArray &frame) {
        const QByteArray answer = m_fake->defaultAnswer(frame, m_fake->frames().last().baud);
        // The rest comes a little later, on its own.
        QTimer::singleShot(3, m_fake.get(), [this, answer] { m_fake->write(answer.mid(4)); });
        return answer.left(4);
    });
    start(image(744));
    QVERIFY(finished());
    QCOMPARE(m_result->at(0).at(0).toBool(), true);
}

void TestUartService::portThatDoesNotOpenEndsInFailure()
{
    m_service->startUpgrading(QStringLiteral("/dev/no-such-port"), image(100));
    QCOMPARE(m_result->size(), 1);
    QCOMPARE(m_result->at(0).at(0).toBool(), false);
    QCOMPARE(states().size(), 1);
    QVERIFY2(states().at(0).startsWith(
                 QStringLiteral("failed to open com port: /dev/no-such-port; error: ")),
        qPrintable(states().at(0)));
    QCOMPARE(
        m_log->linesContaining(QStringLiteral("UartService::init: failed to open serial port: "))
            .size(),
        1);
}

void TestUartService::imagesThatCannotBeSentEndInFailure_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("shorter than the revision tag") << 4;
    QTest::newRow("more blocks than 16 bits can number") << UartImage::MaxSize + 1;
}

void TestUartService::imagesThatCannotBeSentEndInFailure()
{
    QFETCH(int, size);
    start(QByteArray(size, '\x01'));
    QCOMPARE(m_result->size(), 1);
    QCOMPARE(m_result->at(0).at(0).toBool(), false);
    QVERIFY(
        states().at(0).startsWith(QStringLiteral("an image of %1 bytes cannot be sent").arg(size)));
    QVERIFY(!m_result->wait(100));
    QVERIFY(m_fake->frames().isEmpty());
}

void TestUartService::vanishingPortStopsTheUpgrade()
{
    m_fake->setAnswer([this](const QByteArray &frame) {
        const qint32 baud = m_fake->frames().last().baud;
        if (UartFrame::subCommand(frame) == UartFrame::FileData
            && UartFrame::argument(frame) == 3) {
            QTimer::singleShot(0, m_fake.get(), [this] { m_fake->hangUp(); });
            return QByteArray();
        }
        return m_fake->defaultAnswer(frame, baud);
    });
    start(image(2000));
    QVERIFY(finished());
    QCOMPARE(m_result->size(), 1);
    QCOMPARE(m_result->at(0).at(0).toBool(), false);
    const QString failed = QStringLiteral("serial port %1 failed: ").arg(m_fake->portName());
    QVERIFY2(states().filter(failed).size() == 1, qPrintable(states().join(QLatin1Char('|'))));
    QCOMPARE(m_service->state(), UartService::USUS_IDLE);
    QCOMPARE(m_log->linesContaining(QStringLiteral("UartService::OnPortError")).size(), 1);
    // The port is closed: no storm of errors, no second result.
    QVERIFY(!m_result->wait(200));
}

void TestUartService::silentBootLoaderIsAskedSixTimesInAll()
{
    m_fake->silence(0);
    m_service->setReplyTimeoutTicks(20);
    start(image(100));
    // Six rounds of a short request wait and a short reply wait.
    QVERIFY(finished(20000));
    QCOMPARE(m_result->at(0).at(0).toBool(), false);
    QCOMPARE(states().filter(QStringLiteral("changed baud to 115200.")).size(), 6);
    QCOMPARE(m_fake->subCommands(), QVector<quint16>(12, UartFrame::RequestUpgrade).toList());
    // The first request at 9600 baud; the restarts keep the port at 115200.
    QCOMPARE(m_fake->frames().at(0).baud, 9600);
    QCOMPARE(m_fake->frames().at(2).baud, 115200);
    QCOMPARE(states().last(), QStringLiteral("upgrade process stop."));
    QVERIFY(states().contains(QStringLiteral("stop upgrading at state: 2")));
}

void TestUartService::timeoutOutsideTheVersionCheckStops()
{
    m_fake->silence(UartFrame::PrepareUpgrade);
    m_service->setReplyTimeoutTicks(20);
    start(image(100));
    QVERIFY(finished());
    QCOMPARE(m_result->at(0).at(0).toBool(), false);
    QCOMPARE(m_fake->subCommands(), (QList<quint16> { 1, 1, 2 }));
    QCOMPARE(states().mid(states().size() - 2),
        (QStringList { QStringLiteral("stop upgrading at state: 3"),
            QStringLiteral("upgrade process stop.") }));
    QCOMPARE(
        m_log->linesContaining(QStringLiteral("UartService::OnTimerTimeout: upgrade process stop."))
            .size(),
        1);
}

void TestUartService::stopUpgradingEmitsNothing()
{
    m_fake->silence(0);
    start(image(100));
    QTRY_COMPARE(m_service->state(), UartService::USUS_CHECK_BOOT_VERSION);
    const int statesBefore = m_states->size();
    m_service->stopUpgrading();
    QCOMPARE(m_service->state(), UartService::USUS_IDLE);
    QVERIFY(!m_result->wait(300));
    QCOMPARE(m_states->size(), statesBefore);
}

QTEST_GUILESS_MAIN(TestUartService)
#include "tst_uartservice.moc"
