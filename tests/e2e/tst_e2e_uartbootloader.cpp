#include "e2efixture.h"

#include "support/capturedestination.h"
#include "support/testfirmware.h"
#include "upgrade/uartframe.h"
#include "upgrade/uartimage.h"
#include "upgrade/uartservice.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QSignalSpy>

#include <memory>

// bms-sim's serial boot loader (--uart) against the product's UartService: whole upgrades with
// and without a noisy line, images of one and two blocks, replies that are broken or never
// come, and the line itself (the baud rates it listens at, and its pace).
class TestE2eUartBootLoader : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void upgradeInstallsTheImage_data();
    void upgradeInstallsTheImage();
    void corruptRepliesAreDroppedAsCrcErrors();
    void silentBootLoaderRestartsTheProcedure();
    void vanishingPortEndsTheUpgrade();
    void listensAtTheRatesItsStateExpects();
    void crcWithoutEndFrameIsRefused();

private:
    bool startSim(const QStringList &arguments);
    void startUpgrade(const QByteArray &image);

    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<UartService> m_service;
    std::unique_ptr<QSignalSpy> m_result;
    std::unique_ptr<QSignalSpy> m_states;
    QSharedPointer<CaptureDestination> m_log;
};

namespace {

// Writes frame at baud and returns what came back within waitMs: a reply, or nothing.
QByteArray exchange(QSerialPort &port, qint32 baud, const QByteArray &frame, int waitMs)
{
    port.setBaudRate(baud);
    port.readAll();
    port.write(frame);
    QByteArray reply;
    (void)QTest::qWaitFor(
        [&] {
            reply += port.readAll();
            return reply.endsWith("\r\n");
        },
        waitMs);
    return reply;
}

} // namespace

void TestE2eUartBootLoader::init()
{
    m_log = CaptureDestination::attach();
    m_service.reset(new UartService);
    m_result.reset(new QSignalSpy(m_service.get(), &UartService::upgradeResult));
    m_states.reset(new QSignalSpy(m_service.get(), &UartService::newState));
}

void TestE2eUartBootLoader::cleanup()
{
    m_result.reset();
    m_states.reset();
    m_service.reset();
    m_sim.reset();
    CaptureDestination::detach(m_log);
}

bool TestE2eUartBootLoader::startSim(const QStringList &arguments)
{
    m_sim.reset(new SimProcess);
    if (!m_sim->start(QStringList { "--packs", "1", "--uart" } + arguments)) {
        qWarning("bms-sim did not start: %s", m_sim->output().constData());
        return false;
    }
    return !m_sim->uartPath().isEmpty();
}

void TestE2eUartBootLoader::startUpgrade(const QByteArray &image)
{
    m_service->startUpgrading(m_sim->uartPath(), image);
}

void TestE2eUartBootLoader::upgradeInstallsTheImage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("size");
    QTest::newRow("a clean line") << QStringList() << 3000;
    QTest::newRow("noise before every reply, replies in pieces")
        << QStringList { "--uart-garbage", "--uart-split" } << 3000;
    QTest::newRow("one block: start and end frame both with block 1") << QStringList() << 200;
    QTest::newRow("two blocks: start and end frame") << QStringList() << 400;
}

void TestE2eUartBootLoader::upgradeInstallsTheImage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, size);
    QVERIFY(startSim(arguments));
    startUpgrade(TestFirmware::bin(size, "ZK100", "ZK-BMS V3.1.00"));
    QVERIFY2(m_result->wait(15000), m_sim->output().constData());
    QVERIFY2(m_result->at(0).at(0).toBool(), qPrintable(m_states->last().at(0).toString()));

    // The battery took the image and now runs the version it carries (over CAN the page's
    // end-to-end test reads it back; several simulators in one process would not share a bus).
    QTRY_VERIFY(m_sim->output().contains("took an image of "
        + QByteArray::number(UartImage(TestFirmware::bin(size, "", "")).size())
        + " bytes over its uart, firmware version ZK-BMS V3.1.00"));
}

void TestE2eUartBootLoader::corruptRepliesAreDroppedAsCrcErrors()
{
    QVERIFY(startSim({ "--boot-corrupt" }));
    startUpgrade(TestFirmware::bin(3000, "ZK100", "ZK-BMS V3.1.00"));
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_log->linesContaining(QStringLiteral("UartService::OnReadyRead: check crc error"))
             .isEmpty(),
        5000);
    // Dropped, not taken: the service still waits for the version.
    QCOMPARE(m_service->state(), UartService::USUS_CHECK_BOOT_VERSION);
    QCOMPARE(m_result->size(), 0);
    m_service->stopUpgrading();
}

void TestE2eUartBootLoader::silentBootLoaderRestartsTheProcedure()
{
    QVERIFY(startSim({ "--boot-silent" }));
    m_service->setReplyTimeoutTicks(40);
    startUpgrade(TestFirmware::bin(3000, "ZK100", "ZK-BMS V3.1.00"));
    // A timeout of the version check starts again from the request.
    const QString baud = QStringLiteral("changed baud to 115200.");
    QTRY_COMPARE_WITH_TIMEOUT(m_states->count(QList<QVariant> { baud }), 2, 5000);
    QCOMPARE(m_result->size(), 0);
    m_service->stopUpgrading();
}

void TestE2eUartBootLoader::vanishingPortEndsTheUpgrade()
{
    // The line goes dead when block 3 arrives, as a USB serial adapter pulled out.
    QVERIFY(startSim({ "--uart-hangup-at", "3" }));
    startUpgrade(TestFirmware::bin(3000, "ZK100", "ZK-BMS V3.1.00"));
    QVERIFY2(m_result->wait(10000), m_sim->output().constData());
    QCOMPARE(m_result->at(0).at(0).toBool(), false);
    QStringList texts;
    for (const QList<QVariant> &arguments : qAsConst(*m_states))
        texts << arguments.at(0).toString();
    const QString failed = QStringLiteral("serial port %1 failed: ").arg(m_sim->uartPath());
    QVERIFY2(texts.filter(failed).size() == 1, qPrintable(texts.join(QLatin1Char('|'))));
    QCOMPARE(texts.last(),
        QStringLiteral("stop upgrading at state: %1").arg(UartService::USUS_SEND_FILE_DATA));
    QCOMPARE(m_service->state(), UartService::USUS_IDLE);
    // One line in the log, one result, and no image taken.
    QVERIFY(!m_result->wait(300));
    QCOMPARE(m_log->linesContaining(QStringLiteral("UartService::OnPortError")).size(), 1);
    QVERIFY(m_sim->output().contains("uart line hung up"));
    QVERIFY(!m_sim->output().contains("took an image"));
}

void TestE2eUartBootLoader::listensAtTheRatesItsStateExpects()
{
    QVERIFY(startSim({}));
    QSerialPort port(m_sim->uartPath());
    QVERIFY(port.open(QIODevice::ReadWrite));
    const QByteArray request = UartFrame::request(0x00, UartFrame::RequestUpgrade, 0);

    // The running firmware does not hear the request at 115200 baud ...
    QVERIFY(exchange(port, 115200, request, 300).isEmpty());
    QVERIFY(exchange(port, 115200, request, 300).isEmpty());
    // ... it does at 9600, answers nothing, and its boot loader then talks at 115200 only.
    QVERIFY(exchange(port, 9600, request, 300).isEmpty());
    QVERIFY(exchange(port, 9600, request, 300).isEmpty());
    const QByteArray version = exchange(port, 115200, request, 2000);
    QCOMPARE(version.mid(UartFrame::RevisionTagOffset, 5), QByteArray("ZK100"));
    QVERIFY(!exchange(port, 115200, UartFrame::request(0x00, UartFrame::PrepareUpgrade, 0), 2000)
                 .isEmpty());

    // A full block is 257 bytes on the wire, the reply 11: at 10 bits a byte that is 23 ms at
    // 115200 baud, however fast the pseudo-terminal is.
    QElapsedTimer elapsed;
    elapsed.start();
    const QByteArray accepted = exchange(port, 115200,
        UartFrame::request(0x00, UartFrame::StartFrame, 1, QByteArray(248, '\x11')), 2000);
    QCOMPARE(int(quint8(accepted.at(UartFrame::StatusOffset))), 1);
    QVERIFY2(elapsed.elapsed() >= 23, qPrintable(QString::number(elapsed.elapsed())));
}

void TestE2eUartBootLoader::crcWithoutEndFrameIsRefused()
{
    QVERIFY(startSim({}));
    QSerialPort port(m_sim->uartPath());
    QVERIFY(port.open(QIODevice::ReadWrite));
    const UartImage image(TestFirmware::bin(200, "ZK100", "ZK-BMS V3.1.00"));
    auto status = [&port](quint16 subCommand, quint16 argument, const QByteArray &payload) {
        const QByteArray reply
            = exchange(port, 115200, UartFrame::request(0x00, subCommand, argument, payload), 2000);
        return reply.size() > UartFrame::StatusOffset ? int(reply.at(UartFrame::StatusOffset)) : -1;
    };
    exchange(port, 9600, UartFrame::request(0x00, UartFrame::RequestUpgrade, 0), 300);
    QCOMPARE(status(UartFrame::PrepareUpgrade, 0, QByteArray()), 1);
    QCOMPARE(status(UartFrame::StartFrame, 1, image.block(1)), 1);
    // The whole image went in the start frame, but without the end frame the CRC is refused.
    QCOMPARE(status(UartFrame::ImageCrc, 2, UartFrame::littleEndian16(image.crc())), 0);
    QVERIFY(!m_sim->output().contains("took an image"));
}

QTEST_GUILESS_MAIN(TestE2eUartBootLoader)
#include "tst_e2e_uartbootloader.moc"
