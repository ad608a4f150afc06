#include "resource/resources.h"
#include "signals/alarmonsets.h"
#include "signals/alarmset.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "ui/uiactiveevent.h"
#include "ui/uimaintop.h"
#include "uitestsupport.h"

#include <QDateTime>
#include <QLabel>
#include <QTableWidget>
#include <QtTest>

class TestUiActiveEvent : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void looksOfTheDialog();
    void noFaultShowsOnlyTheEmptyLine();
    void protectionsComeFirstThenFlagsThenAlarms();
    void everyLevelAndFlagInListOrder();
    void levelThreeAndUnlistedFlagsAreNotListed();
    void refreshFollowsTheStoreAndKeepsTheBattery();
    void tableNamesSeverityAndFirstSeen();

private:
    UiActiveEvent *makeDialog(int devId);

    QStringList m_names;
};

void TestUiActiveEvent::initTestCase()
{
    Resources::init();
    SignalValues::instance();
    UiMainTop top;
    m_names = top.alarmNames();
}

UiActiveEvent *TestUiActiveEvent::makeDialog(int devId)
{
    return new UiActiveEvent(devId, AlarmSet::levelSignals(), AlarmSet::flagSignals(), m_names);
}

void TestUiActiveEvent::looksOfTheDialog()
{
    QScopedPointer<UiActiveEvent> dialog(makeDialog(3));
    QCOMPARE(dialog->size(), QSize(800, 600));
    QCOMPARE(dialog->minimumSize(), QSize(800, 600));
    QCOMPARE(dialog->maximumSize(), QSize(800, 600));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("UpperComputer"));
    auto *id = dialog->findChild<QLabel *>(QStringLiteral("ActiveEventDevId"));
    QVERIFY(id);
    QCOMPARE(id->text(), QStringLiteral("BAT ID: 03"));
    QVERIFY(dialog->findChild<QLabel *>(QStringLiteral("ActiveEventList")));
}

void TestUiActiveEvent::noFaultShowsOnlyTheEmptyLine()
{
    QScopedPointer<UiActiveEvent> dialog(makeDialog(4));
    QCOMPARE(dialog->eventText(), QStringLiteral("\r\n"));
}

void TestUiActiveEvent::protectionsComeFirstThenFlagsThenAlarms()
{
    UiTest::feed(
        5, FrameKey::AlarmLevels, { { Signal::CellOverVolt, 2 }, { Signal::ChargeHiTemp, 1 } });
    UiTest::feed(5, FrameKey::Faults, { { Signal::InterCanCommunError, 1 } });
    QScopedPointer<UiActiveEvent> dialog(makeDialog(5));
    QCOMPARE(dialog->eventText(),
        QStringLiteral("Cell Over Voltage(L2 Error)\r\nInternal CAN Communication "
                       "Error(Error)\r\n\r\nCharge Hight Temp(L1 Error)\r\n"));
}

void TestUiActiveEvent::everyLevelAndFlagInListOrder()
{
    QHash<int, double> levels;
    const QList<int> levelSignals = AlarmSet::levelSignals();
    // Even list positions at level 2, odd ones at level 1.
    for (int i = 0; i < levelSignals.size(); ++i)
        levels.insert(levelSignals.at(i), i % 2 == 0 ? 2 : 1);
    QHash<int, double> flags;
    for (int index : AlarmSet::flagSignals())
        flags.insert(index, 1);
    UiTest::feed(6, FrameKey::AlarmLevels, levels);
    UiTest::feed(6, FrameKey::Faults, flags);

    QString severe;
    QString minor;
    for (int i = 0; i < levelSignals.size(); ++i) {
        if (i % 2 == 0)
            severe += m_names.at(i) + QStringLiteral("(L2 Error)\r\n");
        else
            minor += m_names.at(i) + QStringLiteral("(L1 Error)\r\n");
    }
    for (int j = 0; j < AlarmSet::flagSignals().size(); ++j)
        severe += m_names.at(12 + j) + QStringLiteral("(Error)\r\n");

    QScopedPointer<UiActiveEvent> dialog(makeDialog(6));
    QCOMPARE(dialog->eventText(), severe + QStringLiteral("\r\n") + minor);
    QVERIFY(dialog->eventText().startsWith(QStringLiteral("Cell Over Voltage(L2 Error)\r\n")
        + QStringLiteral("System Over Voltage(L2 Error)\r\n")));
}

void TestUiActiveEvent::levelThreeAndUnlistedFlagsAreNotListed()
{
    UiTest::feed(
        7, FrameKey::AlarmLevels, { { Signal::CellOverVolt, 3 }, { Signal::AlarmLevel15, 2 } });
    UiTest::feed(7, FrameKey::Faults,
        { { Signal::VoltageDetectError, 1 }, { Signal::TemperatureDetectError, 1 } });
    QScopedPointer<UiActiveEvent> dialog(makeDialog(7));
    QCOMPARE(dialog->eventText(), QStringLiteral("\r\n"));
}

void TestUiActiveEvent::refreshFollowsTheStoreAndKeepsTheBattery()
{
    QScopedPointer<UiActiveEvent> dialog(makeDialog(8));
    QCOMPARE(dialog->eventText(), QStringLiteral("\r\n"));

    UiTest::feed(8, FrameKey::AlarmLevels, { { Signal::DischargeOverCurr, 1 } });
    UiTest::feed(9, FrameKey::AlarmLevels, { { Signal::CellOverVolt, 2 } });
    dialog->OnTimerTimeout();
    QCOMPARE(dialog->eventText(), QStringLiteral("\r\nDischarge Over Current(L1 Error)\r\n"));

    UiTest::feed(8, FrameKey::AlarmLevels, {});
    dialog->OnTimerTimeout();
    QCOMPARE(dialog->eventText(), QStringLiteral("\r\n"));
}

void TestUiActiveEvent::tableNamesSeverityAndFirstSeen()
{
    const quint8 devId = 19;
    const qint64 t0 = QDateTime(QDate(2026, 3, 1), QTime(10, 0, 0)).toMSecsSinceEpoch();
    AlarmOnsets onsets;
    QScopedPointer<UiActiveEvent> dialog(makeDialog(devId));
    dialog->setOnsets(&onsets);
    QVERIFY(dialog->noneActiveLabel()->isVisibleTo(dialog.get()));
    QCOMPARE(dialog->eventTable()->rowCount(), 0);

    UiTest::feed(devId, FrameKey::AlarmLevels, { { Signal::ChargeHiTemp, 1 } });
    onsets.update(*SignalValues::instance(), { devId }, t0);
    UiTest::feed(devId, FrameKey::Faults, { { Signal::TempWireBreak, 1 } });
    // Still active a minute on: first seen keeps its time.
    onsets.update(*SignalValues::instance(), { devId }, t0 + 60000);
    dialog->OnTimerTimeout();

    QVERIFY(!dialog->noneActiveLabel()->isVisibleTo(dialog.get()));
    const QTableWidget *table = dialog->eventTable();
    const auto row = [table](int r) {
        return QStringList { table->item(r, 0)->text(), table->item(r, 1)->text(),
            table->item(r, 2)->text() };
    };
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(row(0), QStringList({ "Protection", "Temp Wire Break", "2026-03-01 10:01:00" }));
    QCOMPARE(row(1), QStringList({ "Alarm", "Charge Hight Temp", "2026-03-01 10:00:00" }));
}

QTEST_MAIN(TestUiActiveEvent)
#include "tst_uiactiveevent.moc"
