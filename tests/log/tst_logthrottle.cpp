#include "log/logthrottle.h"

#include <QtTest>

using QsLogging::LogThrottle;

class TestLogThrottle : public QObject
{
    Q_OBJECT

private slots:
    void admits_data();
    void admits();
    void droppedLinesNote();
};

// Each event is "key@ms"; the expected outcome per event is "w<dropped>" (written, standing for
// that many held back) or "-" (held back). Lines of a key a second: burst; in all: the default.
void TestLogThrottle::admits_data()
{
    QTest::addColumn<int>("burst");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("first seen, then once a second")
        << 1 << QStringList { "30@0", "30@1", "30@999", "30@1000", "30@1500", "30@2600" }
        << QStringList { "w0", "-", "-", "w2", "-", "w1" };
    QTest::newRow("keys are apart, the count is of them all")
        << 1 << QStringList { "30@0", "31@10", "30@20", "31@30", "31@1010" }
        << QStringList { "w0", "w0", "-", "-", "w2" };
    QTest::newRow("a burst a second")
        << 3 << QStringList { "7@0", "7@1", "7@2", "7@3", "7@4", "7@1000", "7@1001" }
        << QStringList { "w0", "w0", "w0", "-", "-", "w2", "w0" };
    QTest::newRow("a quiet key starts afresh")
        << 1 << QStringList { "5@0", "5@5000", "5@5001", "5@9000" }
        << QStringList { "w0", "w0", "-", "w1" };
    QTest::newRow("the total holds whatever the keys")
        << 1 << QStringList { "28@0", "29@1", "30@2", "31@3", "32@4", "33@1000", "28@1001" }
        << QStringList { "w0", "w0", "w0", "-", "-", "w2", "w0" };
}

void TestLogThrottle::admits()
{
    QFETCH(int, burst);
    QFETCH(QStringList, events);
    QFETCH(QStringList, expected);
    LogThrottle throttle(burst);
    for (int i = 0; i < events.size(); ++i) {
        const QStringList parts = events.at(i).split('@');
        int dropped = -1;
        const bool written
            = throttle.admit(parts.at(0).toUInt(), parts.at(1).toLongLong(), &dropped);
        const QString outcome = written ? QStringLiteral("w%1").arg(dropped) : QStringLiteral("-");
        QVERIFY2(outcome == expected.at(i), qPrintable(events.at(i) + " gave " + outcome));
    }
}

void TestLogThrottle::droppedLinesNote()
{
    QString text;
    QDebug(&text) << "number:" << 30 << QsLogging::DroppedLines { 0 };
    QCOMPARE(text, QStringLiteral("number: 30 "));
    text.clear();
    QDebug(&text) << "number:" << 30 << QsLogging::DroppedLines { 4711 };
    QCOMPARE(text, QStringLiteral("number: 30 (and 4711 more since the last line) "));
}

QTEST_GUILESS_MAIN(TestLogThrottle)
#include "tst_logthrottle.moc"
