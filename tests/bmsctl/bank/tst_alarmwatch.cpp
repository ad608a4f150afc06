// The events of the batteries' protections and alarms: what becomes active or clears, and which
// cell or sensor it concerns.

#include "bank/alarmwatch.h"

#include "signals/abstractsignalvalue.h"
#include "signals/alarmset.h"
#include "signals/signalindex.h"

#include <QtTest>

namespace {

// A store whose values the test sets; 0 for the others.
class SetStore : public AbstractSignalValue
{
public:
    QHash<int, QVariant> values; // of battery 1

    QVariant value(int devId, int index) const override
    {
        return devId == 1 ? values.value(index, 0) : QVariant(0);
    }
    void OnNewCanFrame(ulong, const QByteArray &, ulong) override { }
};

QString nameOf(int signal)
{
    for (const AlarmSet::Alarm &alarm : AlarmSet::Alarms) {
        if (alarm.signal == signal)
            return QCoreApplication::translate(AlarmSet::NameContext, alarm.name);
    }
    return QString();
}

// "protection on", "alarm off": what the events said, in order.
QStringList said(const QList<AlarmWatch::Event> &events)
{
    QStringList texts;
    for (const AlarmWatch::Event &event : events)
        texts.append(QStringLiteral("%1 %2 %3")
                         .arg(event.protection ? "protection" : "alarm", event.name,
                             event.active ? "on" : "off"));
    return texts;
}

} // namespace

using Steps = QList<QHash<int, int>>;

class TestAlarmWatch : public QObject
{
    Q_OBJECT

private slots:
    void tellsWhatBecameActiveOrCleared_data();
    void tellsWhatBecameActiveOrCleared();
    void namesTheCellOfACellCondition();
};

void TestAlarmWatch::tellsWhatBecameActiveOrCleared_data()
{
    // The alarm signals of battery 1 at each look; the events of the last look.
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QStringList>("events");

    const QString hot = nameOf(Signal::ChargeHiTemp);
    const QString can = nameOf(Signal::InterCanCommunError);
    QTest::newRow("active at the first look")
        << Steps { { { Signal::ChargeHiTemp, AlarmSet::AlarmLevel } } }
        << QStringList { "alarm " + hot + " on" };
    QTest::newRow("nothing new, nothing told")
        << Steps { { { Signal::ChargeHiTemp, AlarmSet::AlarmLevel } },
               { { Signal::ChargeHiTemp, AlarmSet::AlarmLevel } } }
        << QStringList();
    QTest::newRow("an alarm rising to a protection")
        << Steps { { { Signal::ChargeHiTemp, AlarmSet::AlarmLevel } },
               { { Signal::ChargeHiTemp, AlarmSet::ProtectionLevel } } }
        << QStringList { "alarm " + hot + " off", "protection " + hot + " on" };
    QTest::newRow("a flag clearing")
        << Steps { { { Signal::InterCanCommunError, AlarmSet::FlagActive } }, {} }
        << QStringList { "protection " + can + " off" };
    QTest::newRow("a level no battery means is nothing")
        << Steps { { { Signal::ChargeHiTemp, 3 } } } << QStringList();
}

void TestAlarmWatch::tellsWhatBecameActiveOrCleared()
{
    QFETCH(Steps, steps);
    QFETCH(QStringList, events);

    SetStore store;
    AlarmWatch watch;
    QList<AlarmWatch::Event> last;
    for (const QHash<int, int> &step : steps) {
        store.values.clear();
        for (auto it = step.cbegin(); it != step.cend(); ++it)
            store.values.insert(it.key(), it.value());
        last = watch.look(store, { 1 });
    }
    QCOMPARE(said(last), events);
}

void TestAlarmWatch::namesTheCellOfACellCondition()
{
    SetStore store;
    store.values = { { Signal::CellOverVolt, AlarmSet::ProtectionLevel }, { Signal::MaxCellVNo, 9 },
        { Signal::MaxCellV, 3.65f }, { Signal::MinCellVNo, 2 } };
    const QList<AlarmWatch::Event> events = AlarmWatch().look(store, { 1 });
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().battery, 1);
    QCOMPARE(events.first().subject, QStringLiteral("cell"));
    QCOMPARE(events.first().number, 9);
    QVERIFY(qAbs(events.first().value - 3.65) < 1e-6);
    QCOMPARE(events.first().unit, QStringLiteral("V"));
}

QTEST_GUILESS_MAIN(TestAlarmWatch)
#include "tst_alarmwatch.moc"
