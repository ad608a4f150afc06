// The gateway's availability rule: online while the life counter moves, offline 3 s after it
// stops.

#include "bank/lifewatch.h"

#include <QtTest>

using Verdict = LifeWatch::Verdict;
Q_DECLARE_METATYPE(LifeWatch::Verdict)
// (ms, life counter as the store holds it)
using Observations = QList<QPair<int, QVariant>>;

class TestLifeWatch : public QObject
{
    Q_OBJECT

private slots:
    void judgesByTheLifeCounter_data();
    void judgesByTheLifeCounter();
};

void TestLifeWatch::judgesByTheLifeCounter_data()
{
    // Observations of one battery as (ms, counter); the verdict at the last time given.
    QTest::addColumn<Observations>("observed");
    QTest::addColumn<int>("atMs");
    QTest::addColumn<Verdict>("verdict");

    const auto counter = [](uint value) { return QVariant(value); };
    // Before its first frame the store holds int 0, which a first counter of 0 equals.
    const QVariant none(0);
    QTest::newRow("never seen") << Observations {} << 0 << Verdict::Unjudged;
    QTest::newRow("standing, not yet 3 s")
        << Observations { { 0, counter(7) }, { 2900, counter(7) } } << 2999 << Verdict::Unjudged;
    QTest::newRow("standing for 3 s")
        << Observations { { 0, counter(7) }, { 3000, counter(7) } } << 3000 << Verdict::Offline;
    QTest::newRow("moving") << Observations { { 0, counter(7) }, { 250, counter(8) } } << 250
                            << Verdict::Online;
    QTest::newRow("a first counter of 0 after the store's int 0 has not moved")
        << Observations { { 0, none }, { 250, counter(0) } } << 250 << Verdict::Unjudged;
    QTest::newRow("a first counter of 1 after the store's int 0 has moved")
        << Observations { { 0, none }, { 250, counter(1) } } << 250 << Verdict::Online;
    QTest::newRow("stopped 2999 ms ago")
        << Observations { { 0, counter(1) }, { 1000, counter(2) } } << 3999 << Verdict::Online;
    QTest::newRow("stopped 3 s ago")
        << Observations { { 0, counter(1) }, { 1000, counter(2) } } << 4000 << Verdict::Offline;
    QTest::newRow("moving again") << Observations { { 0, counter(1) }, { 1000, counter(2) },
        { 9000, counter(2) }, { 9250, counter(3) } }
                                  << 9250 << Verdict::Online;
}

void TestLifeWatch::judgesByTheLifeCounter()
{
    QFETCH(Observations, observed);
    QFETCH(int, atMs);
    QFETCH(Verdict, verdict);

    LifeWatch watch;
    for (const auto &observation : observed)
        watch.observe(5, observation.second, observation.first);
    QCOMPARE(watch.verdict(5, atMs), verdict);
    QCOMPARE(watch.verdict(6, atMs), Verdict::Unjudged);
}

QTEST_GUILESS_MAIN(TestLifeWatch)
#include "tst_lifewatch.moc"
