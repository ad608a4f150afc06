#include "e2efixture.h"

#include "support/stallprobe.h"

#include "resource/resources.h"
#include "ui/mainwidger.h"
#include "ui/uimainleft.h"
#include "ui/uimaintop.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>

#include <atomic>
#include <cstdio>

// The whole window against bms-sim sending twice the frames a 250 kbit/s bus carries
// (--burst 2, about 3,800 frames a second on top of four batteries' own broadcasts) for a few
// seconds. What must hold: every frame reaches the program, the GUI thread never stalls long
// enough to be felt, memory does not grow with the burst, and a command still gets its answer
// in the middle of it. bench_burst runs the same for 30 s and prints the figures.
namespace {

constexpr int BurstAfterS = 5;
constexpr int BurstForS = 4;
constexpr double Factor = 2.0;
constexpr double BurstFramesPerSecond = Factor * 250000 / 131;

// Under the sanitizers of the test build everything is several times slower than in a release
// build; these bounds still tell a window that keeps up from one that does not.
constexpr double MaxStallMs = 250.0;
constexpr qint64 MaxGrowthKiB = 16 * 1024;

} // namespace

class TestE2eBurst : public QObject
{
    Q_OBJECT

private slots:
    void windowKeepsUpWithTwiceTheBusRate();
};

void TestE2eBurst::windowKeepsUpWithTwiceTheBusRate()
{
    Resources::init();
    QsLogging::Logger::instance().setLoggingLevel(QsLogging::InfoLevel);
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    SimProcess sim;
    QVERIFY(sim.start({ "--packs", "1,2,3,12", "--burst", QString::number(Factor), "--burst-after",
        QString::number(BurstAfterS), "--burst-for", QString::number(BurstForS) }));
    QElapsedTimer sinceStart;
    sinceStart.start();

    MainWidger window(SignalValues::instance(), CanService::instance());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CanService *service = CanService::instance();
    std::atomic<qint64> received { 0 };
    connect(
        service->device(), &CanDevice::newData, service->device(),
        [&received](ulong, QByteArray, ulong) { ++received; }, Qt::DirectConnection);
    QTest::mouseClick(window.mainLeft()->openCanButton(), Qt::LeftButton);
    QVERIFY(window.mainLeft()->isBusOpen());
    QTRY_COMPARE_WITH_TIMEOUT(window.mainTop()->batteryCombo()->count(), 4, 5000);

    // Settled before the burst: the clocks set, the start-up allocations made.
    QTRY_VERIFY_WITH_TIMEOUT(!service->isRtcSyncPending(1) && !service->isRtcSyncPending(12), 3000);
    QVERIFY2(sinceStart.elapsed() < BurstAfterS * 1000 - 500,
        qPrintable(QString::number(sinceStart.elapsed())));
    QTest::qWait(int(BurstAfterS * 1000 - sinceStart.elapsed()));
    const qint64 heapBefore = StallProbe::heapInUseKiB();
    const qint64 residentBefore = StallProbe::residentKiB();
    const qint64 receivedBefore = received;
    StallProbe probe;

    // A command in the middle of the burst is answered within its wait.
    QTest::qWait(BurstForS * 1000 / 2);
    int value = 0;
    QElapsedTimer command;
    command.start();
    QCOMPARE(service->readParameter(2, 1, value), 0);
    QCOMPARE(value, 3650);
    const qint64 commandMs = command.elapsed();
    QTest::qWait(int((BurstAfterS + BurstForS) * 1000 - sinceStart.elapsed()));
    const qint64 burstFrames = received - receivedBefore;
    const double longest = probe.longestMs();
    // The program's backlog, if any, drains once the burst is over.
    QTest::qWait(500);
    const qint64 heapAfter = StallProbe::heapInUseKiB();

    std::printf("burst: %lld frames in %d s (%.0f/s, %.0f/s sent past the bus), longest stall "
                "%.1f ms, 99th percentile %.1f ms, heap in use %lld -> %lld KiB (resident %lld -> "
                "%lld KiB), command %lld ms\n",
        burstFrames, BurstForS, double(burstFrames) / BurstForS, BurstFramesPerSecond, longest,
        probe.percentileMs(99), heapBefore, heapAfter, residentBefore, StallProbe::residentKiB(),
        commandMs);
    QVERIFY2(burstFrames >= qint64(0.9 * BurstFramesPerSecond * BurstForS),
        qPrintable(QString::number(burstFrames)));
    QVERIFY2(longest < MaxStallMs, qPrintable(QString::number(longest)));
    QVERIFY2(
        heapAfter - heapBefore < MaxGrowthKiB, qPrintable(QString::number(heapAfter - heapBefore)));

    QTest::mouseClick(window.mainLeft()->closeCanButton(), Qt::LeftButton);
    sim.stop();
    const QByteArray summary = sim.output();
    QVERIFY2(summary.contains("burst sent"), summary.constData());
}

QTEST_MAIN(TestE2eBurst)
#include "tst_e2e_burst.moc"
