#include "upgrade/framepacer.h"

#include <QtTest>

#include <vector>

// The pacer on a clock of the test's own: whatever the ticks, between any two moments d apart no
// more than the burst plus the rate times d frames go, and a steady caller gets the rate.
class TestFramePacer : public QObject
{
    Q_OBJECT

private slots:
    void neverMoreThanBurstPlusRate_data();
    void neverMoreThanBurstPlusRate();
};

void TestFramePacer::neverMoreThanBurstPlusRate_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("burst");
    QTest::addColumn<QVector<int>>("tickGapsUs"); // repeated until the run's end
    QTest::addColumn<int>("rateFromSecond"); // a new rate half way, 0 for none
    QTest::addColumn<bool>("keepsUp"); // no gap longer than the burst lasts

    QTest::newRow("steady 1 ms ticks") << 1000 << 20 << QVector<int> { 1000 } << 0 << true;
    QTest::newRow("fast ticks") << 1000 << 20 << QVector<int> { 50 } << 0 << true;
    QTest::newRow("a late tick now and then")
        << 1000 << 20 << QVector<int> { 500, 500, 500, 40000, 200 } << 0 << false;
    QTest::newRow("long stalls are made up for by the burst at most")
        << 1000 << 20 << QVector<int> { 250000, 10 } << 0 << false;
    QTest::newRow("the rate lowered half way") << 1000 << 20 << QVector<int> { 300 } << 150 << true;
    QTest::newRow("the rate raised half way") << 150 << 5 << QVector<int> { 300 } << 1000 << true;
}

void TestFramePacer::neverMoreThanBurstPlusRate()
{
    QFETCH(int, rate);
    QFETCH(int, burst);
    QFETCH(QVector<int>, tickGapsUs);
    QFETCH(int, rateFromSecond);
    QFETCH(bool, keepsUp);

    constexpr qint64 RunNs = 2000000000;
    FramePacer pacer(rate, burst);
    std::vector<qint64> sentAtNs;
    qint64 now = 0;
    bool rateChanged = false;
    for (int tick = 0; now < RunNs; ++tick) {
        if (rateFromSecond > 0 && !rateChanged && now >= RunNs / 2) {
            pacer.setFramesPerSecondAt(now, rateFromSecond);
            rateChanged = true;
        }
        while (pacer.tryTakeAt(now, 1))
            sentAtNs.push_back(now);
        now += qint64(tickGapsUs.at(tick % tickGapsUs.size())) * 1000;
    }

    const double fastest = std::max(rate, rateFromSecond) / 1e9;
    for (size_t i = 0; i < sentAtNs.size(); ++i) {
        for (size_t j = i + 1; j < sentAtNs.size(); ++j) {
            const double allowed = burst + fastest * (sentAtNs[j] - sentAtNs[i]);
            if (double(j - i + 1) > allowed + 1e-6)
                QFAIL(qPrintable(QStringLiteral("frames %1 to %2 within %3 us")
                                     .arg(i)
                                     .arg(j)
                                     .arg((sentAtNs[j] - sentAtNs[i]) / 1000)));
        }
    }
    // A late tick is made up for: with no gap longer than the burst lasts, the caller gets the
    // rate over the run (the slower one where it changed).
    if (keepsUp) {
        const int slowest = rateFromSecond > 0 ? std::min(rate, rateFromSecond) : rate;
        QVERIFY2(sentAtNs.size() + 1 >= slowest * (RunNs / 1e9),
            qPrintable(QString::number(sentAtNs.size())));
    }
}

QTEST_APPLESS_MAIN(TestFramePacer)
#include "tst_framepacer.moc"
