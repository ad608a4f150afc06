// The gateway's outbox: what waits for the broker, bounded however long the broker is away.

#include "outbox.h"

#include <QtTest>

class TestOutbox : public QObject
{
    Q_OBJECT

private slots:
    void takesRetainedFirstAndDropsOnlyTheOldestStates_data();
    void takesRetainedFirstAndDropsOnlyTheOldestStates();
};

void TestOutbox::takesRetainedFirstAndDropsOnlyTheOldestStates_data()
{
    // Puts as "r:topic=payload" (retained) or "s:topic=payload" (state), into an outbox of
    // capacity 2; what comes out, and how many were dropped.
    QTest::addColumn<QStringList>("puts");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<int>("dropped");

    QTest::newRow("retained before states, whatever the order put")
        << QStringList { "s:a=1", "r:b=2", "s:c=3", "r:d=4" }
        << QStringList { "b=2", "d=4", "a=1", "c=3" } << 0;
    QTest::newRow("a retained topic keeps its place and its latest payload")
        << QStringList { "r:x=online", "r:y=[]", "r:x=offline" }
        << QStringList { "x=offline", "y=[]" } << 0;
    QTest::newRow("a full state queue drops its oldest and counts them")
        << QStringList { "s:a=1", "s:a=2", "s:a=3", "s:a=4" } << QStringList { "a=3", "a=4" } << 2;
    QTest::newRow("retained messages are never dropped")
        << QStringList { "r:1=a", "r:2=b", "r:3=c", "s:s=1", "s:s=2", "s:s=3" }
        << QStringList { "1=a", "2=b", "3=c", "s=2", "s=3" } << 1;
}

void TestOutbox::takesRetainedFirstAndDropsOnlyTheOldestStates()
{
    QFETCH(QStringList, puts);
    QFETCH(QStringList, taken);
    QFETCH(int, dropped);

    Outbox outbox(2);
    for (const QString &put : puts) {
        const QString topic = put.mid(2).section('=', 0, 0);
        const QByteArray payload = put.section('=', 1).toUtf8();
        if (put.startsWith("r:"))
            outbox.putRetained(topic, payload);
        else
            outbox.putState(topic, payload);
    }
    QCOMPARE(outbox.size(), taken.size());
    QStringList out;
    while (!outbox.isEmpty()) {
        const Outbox::Message &message = outbox.front();
        QCOMPARE(message.retained, puts.contains("r:" + message.topic + '=' + message.payload));
        out.append(message.topic + '=' + message.payload);
        outbox.popFront();
    }
    QCOMPARE(out, taken);
    QCOMPARE(outbox.takeDropped(), dropped);
    QCOMPARE(outbox.takeDropped(), 0);
}

QTEST_GUILESS_MAIN(TestOutbox)
#include "tst_outbox.moc"
