#include "signals/batterybank.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include "signalwalkrows.h"

#include <QtTest>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(char(v));
    return result;
}

void send(SignalValues &store, quint32 frameKey, uchar devId, const QHash<int, double> &values)
{
    store.OnNewCanFrame(FrameKey::identifier(frameKey, devId), store.encode(frameKey, values), 0);
}

void sendRaw(SignalValues &store, quint32 frameKey, uchar devId, const QByteArray &payload)
{
    store.OnNewCanFrame(FrameKey::identifier(frameKey, devId), payload, 0);
}

void tick(SignalValues &store, int times)
{
    for (int i = 0; i < times; ++i)
        store.OnTimerTimeout();
}

// The store's first-status and first-frame notifications, in the order they were emitted.
class EventLog
{
public:
    explicit EventLog(SignalValues &store)
    {
        QObject::connect(&store, &SignalValues::deviceReconnect, &store,
            [this](uchar devId) { m_events << QStringLiteral("reconnect %1").arg(devId); });
        QObject::connect(&store, &SignalValues::newDeviceId, &store,
            [this](uchar devId) { m_events << QStringLiteral("new %1").arg(devId); });
    }
    QStringList take()
    {
        const QStringList events = m_events;
        m_events.clear();
        return events;
    }

private:
    QStringList m_events;
};

uint status(const SignalValues &store, int devId)
{
    return store.value(devId, Signal::SysStatus).toUInt();
}

} // namespace

class TestSignalValues : public QObject
{
    Q_OBJECT

private slots:
    // Decoding
    void decodesReferenceStatusFrame();
    void temperature_data();
    void temperature();
    void yearInEitherEncoding();
    void thirtyTwoBitValuesAreUnsigned();
    void tempValue68HasNoOffset();
    void afeOvIsLowestBitOfByte2();
    void everySignalMovesAlone_data();
    void everySignalMovesAlone();
    void extraBytesAreIgnored();

    // Reading
    void valueOutOfRange_data();
    void valueOutOfRange();
    void valueBeforeAnyFrame();

    // Device tracking
    void devicesAnnouncedInDiscoveryOrder();
    void firstStatusFrame_data();
    void firstStatusFrame();
    void offlineFromEleventhTick();
    void reconnectOnlyAfterLifeCounterChange();
    void lifeCounterStartingAtZeroDoesNotRefresh();
    void broadcastOfflineStatusIsNotAReconnect();
    void canDeviceCloseMarksAllOffline();

    // Bad input
    void droppedFrames_data();
    void droppedFrames();
    void unknownKeyOnlyRegisters();
    void identifierAbove32BitsIsNotACatalogueKey();

    // Interface
    void metaObjectMethodsInOrder();
    void instanceIsOneParentlessObject();
};

void TestSignalValues::decodesReferenceStatusFrame()
{
    SignalValues store;
    sendRaw(
        store, FrameKey::PackStatus, 0, bytes({ 0x11, 0x22, 0x0B, 0xB8, 0xFA, 0x3E, 0x80, 0x01 }));

    const QVariant sumVolt = store.value(0, Signal::SumVolt);
    QCOMPARE(int(sumVolt.type()), int(QMetaType::Float));
    QCOMPARE(sumVolt.toFloat(), 438.6f);

    // raw 3000 * single-precision 0.1 is a little above 300: the current is not exactly 0.
    const float curr = store.value(0, Signal::Curr).toFloat();
    QVERIFY2(curr > 4.4e-6f && curr < 4.6e-6f, qPrintable(QString::number(double(curr), 'g', 9)));

    QCOMPARE(store.value(0, Signal::SOC).toFloat(), 100.0f);
    QCOMPARE(store.value(0, Signal::SOH).toFloat(), 100.0f);
    QVERIFY(store.value(0, Signal::Frame0Value4).toFloat() == 0.0f);

    const QVariant sysStatus = store.value(0, Signal::SysStatus);
    QCOMPARE(int(sysStatus.type()), int(QMetaType::UInt));
    QCOMPARE(sysStatus.toUInt(), 1u);
}

void TestSignalValues::temperature_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("degrees");

    QTest::newRow("temp byte 0 is -40")
        << int(Signal::Temp1) << bytes({ 0, 0, 0, 0, 0, 0, 0, 0 }) << -40;
    QTest::newRow("temp byte 255 is 215")
        << int(Signal::Temp1) << bytes({ 255, 0, 0, 0, 0, 0, 0, 0 }) << 215;
    QTest::newRow("temp byte 65 is 25")
        << int(Signal::Temp1) << bytes({ 65, 0, 0, 0, 0, 0, 0, 0 }) << 25;
    QTest::newRow("temp 8 is byte 7")
        << int(Signal::Temp8) << bytes({ 0, 0, 0, 0, 0, 0, 0, 100 }) << 60;
}

void TestSignalValues::temperature()
{
    QFETCH(int, index);
    QFETCH(QByteArray, payload);
    QFETCH(int, degrees);

    SignalValues store;
    sendRaw(store, FrameKey::Temperatures, 1, payload);
    const QVariant value = store.value(1, index);
    QCOMPARE(int(value.type()), int(QMetaType::UInt));
    QCOMPARE(value.toUInt(), uint(degrees));
    QCOMPARE(value.toInt(), degrees);
}

void TestSignalValues::yearInEitherEncoding()
{
    SignalValues store;
    sendRaw(store, FrameKey::Clock, 0, bytes({ 22, 12, 31, 23, 59, 58, 0, 0 }));
    QCOMPARE(store.value(0, Signal::RtcYear).toInt(), 2022);
    QCOMPARE(store.value(0, Signal::RtcMonth).toInt(), 12);
    QCOMPARE(store.value(0, Signal::RtcSecond).toInt(), 58);

    sendRaw(store, FrameKey::Date, 0, bytes({ 0x00, 0x16, 0x00, 0x03, 0x00, 0x1F, 0, 0 }));
    QCOMPARE(store.value(0, Signal::DateYear88).toInt(), 2022);
    QCOMPARE(store.value(0, Signal::DateMonth89).toInt(), 3);
    QCOMPARE(store.value(0, Signal::DateDay90).toInt(), 31);
}

void TestSignalValues::thirtyTwoBitValuesAreUnsigned()
{
    SignalValues store;
    sendRaw(store, FrameKey::LifetimeTotals, 0,
        bytes({ 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x01 }));
    QCOMPARE(store.value(0, Signal::Total92).toUInt(), 0xFFFFFFFFu);
    QCOMPARE(store.value(0, Signal::Total92).toLongLong(), Q_INT64_C(0xFFFFFFFF));
    QCOMPARE(store.value(0, Signal::TotalDischargeEnergy).toLongLong(), Q_INT64_C(0x80000001));

    sendRaw(store, FrameKey::Values32, 0, bytes({ 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x03, 0xE8 }));
    QVERIFY(store.value(0, Signal::Value86).toFloat() > 4294967.0f);
    QCOMPARE(store.value(0, Signal::Value87).toFloat(), 1.0f);
}

void TestSignalValues::tempValue68HasNoOffset()
{
    SignalValues store;
    sendRaw(store, FrameKey::TempExtremes, 0, bytes({ 65, 3, 60, 7, 25, 0, 0, 0 }));
    QCOMPARE(store.value(0, Signal::MaxCellT).toInt(), 25);
    QCOMPARE(store.value(0, Signal::MaxCellTNo).toInt(), 3);
    QCOMPARE(store.value(0, Signal::MinCellT).toInt(), 20);
    QCOMPARE(store.value(0, Signal::MinCellTNo).toInt(), 7);
    QCOMPARE(store.value(0, Signal::TempValue68).toInt(), 25);
}

void TestSignalValues::afeOvIsLowestBitOfByte2()
{
    SignalValues store;
    sendRaw(store, FrameKey::Faults, 0, bytes({ 0, 0, 0x01, 0, 0, 0, 0, 0 }));
    QCOMPARE(store.value(0, Signal::AfeOv).toUInt(), 1u);
    QCOMPARE(store.value(0, Signal::AfeUv).toUInt(), 0u);
    QCOMPARE(store.value(0, Signal::FaultByte1).toUInt(), 0u);

    // Bit 7 of byte 2 belongs to no signal.
    sendRaw(store, FrameKey::Faults, 0, bytes({ 0, 0, 0x80, 0, 0, 0, 0, 0 }));
    for (int index = Signal::AfeOv; index <= Signal::FaultFlag33; ++index)
        QCOMPARE(store.value(0, index).toUInt(), 0u);
}

void TestSignalValues::everySignalMovesAlone_data()
{
    const SignalValues store;
    addSignalWalkRows(store);
}

void TestSignalValues::everySignalMovesAlone()
{
    QFETCH(int, index);
    QFETCH(quint32, raw);

    SignalValues store;
    quint32 frameKey = 0;
    for (quint32 key : store.frameKeys()) {
        for (const SignalDefinition &definition : store.definitions(key)) {
            if (definition.index == index)
                frameKey = key;
        }
    }
    QVERIFY(frameKey != 0);

    QVector<QVariant> before;
    for (int i = 0; i < Signal::Count; ++i)
        before << store.value(0, i);

    const SignalDefinition *moved = nullptr;
    for (const SignalDefinition &definition : store.definitions(frameKey)) {
        if (definition.index == index)
            moved = &definition;
    }
    const double physical = double(raw) * double(moved->factor) + moved->offset;
    send(store, frameKey, 0, { { index, physical } });

    QVector<bool> inFrame(Signal::Count, false);
    for (const SignalDefinition &definition : store.definitions(frameKey)) {
        inFrame[definition.index] = true;
        // Every other signal of the frame reads as a zero raw would.
        const quint32 expectedRaw = definition.index == index ? raw : 0;
        const QVariant actual = store.value(0, definition.index);
        const QByteArray where = "signal " + QByteArray::number(definition.index);
        if (definition.kind == SignalKind::Real) {
            const float expected
                = float(double(expectedRaw) * double(definition.factor) + definition.offset);
            QCOMPARE(int(actual.type()), int(QMetaType::Float));
            QVERIFY2(actual.toFloat() == expected,
                where + ": " + QByteArray::number(double(actual.toFloat()), 'g', 10)
                    + " != " + QByteArray::number(double(expected), 'g', 10));
        } else {
            // Integer signals all step by 1: the stored number is raw + offset in 32 bits.
            const quint32 expected = quint32(qint64(expectedRaw) + definition.offset);
            QCOMPARE(int(actual.type()), int(QMetaType::UInt));
            QVERIFY2(actual.toUInt() == expected,
                where + ": " + QByteArray::number(actual.toUInt())
                    + " != " + QByteArray::number(expected));
        }
    }
    for (int i = 0; i < Signal::Count; ++i) {
        if (!inFrame.at(i))
            QVERIFY2(store.value(0, i) == before.at(i), qPrintable(QString::number(i)));
    }
    // Nothing reached another device.
    for (int i = 0; i < Signal::Count; ++i)
        QVERIFY(store.value(1, i) == before.at(i));
}

void TestSignalValues::extraBytesAreIgnored()
{
    SignalValues store;
    sendRaw(store, FrameKey::LifetimeCounts, 0, bytes({ 0, 1, 0, 2, 0, 3, 0, 4, 0xFF, 0xFF }));
    QCOMPARE(store.value(0, Signal::StatCount1).toUInt(), 1u);
    QCOMPARE(store.value(0, Signal::StatCount4).toUInt(), 4u);
}

void TestSignalValues::valueOutOfRange_data()
{
    QTest::addColumn<int>("devId");
    QTest::addColumn<int>("index");

    QTest::newRow("index 210") << 0 << 210;
    QTest::newRow("index -1") << 0 << -1;
    QTest::newRow("device 30") << 30 << 0;
    QTest::newRow("device 28") << 28 << 0;
    QTest::newRow("device -1") << -1 << 0;
}

void TestSignalValues::valueOutOfRange()
{
    QFETCH(int, devId);
    QFETCH(int, index);

    const SignalValues store;
    QVERIFY(!store.value(devId, index).isValid());
}

void TestSignalValues::valueBeforeAnyFrame()
{
    const SignalValues store;
    const QVariant soc = store.value(27, Signal::SumVolt);
    QCOMPARE(int(soc.type()), int(QMetaType::Int));
    QCOMPARE(soc.toInt(), 0);
    QCOMPARE(store.value(27, Signal::Flags6Bit31).toInt(), 0);
    for (int devId = 0; devId < BatteryBank::DeviceCount; ++devId)
        QCOMPARE(store.value(devId, Signal::SysStatus), QVariant(3));
}

void TestSignalValues::devicesAnnouncedInDiscoveryOrder()
{
    SignalValues store;
    QSignalSpy spy(&store, &SignalValues::newDeviceId);
    send(store, FrameKey::CellVolts1to4, 7, {});
    send(store, FrameKey::Relays, 2, {});
    send(store, FrameKey::PackStatus, 7, {});
    store.OnNewCanFrame(0x105, QByteArray(8, '\0'), 0);
    send(store, FrameKey::Temperatures, 2, {});

    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(0).at(0).value<uchar>(), uchar(7));
    QCOMPARE(spy.at(1).at(0).value<uchar>(), uchar(2));
    QCOMPARE(spy.at(2).at(0).value<uchar>(), uchar(5));
    QCOMPARE(store.knownDevices(), (QList<uchar> { 7, 2, 5 }));
}

void TestSignalValues::firstStatusFrame_data()
{
    QTest::addColumn<int>("ticksBefore");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<uint>("storedStatus");

    QTest::newRow("at start-up") << 0 << QStringList { "reconnect 2", "new 2" } << 1u;
    QTest::newRow("after 9 s") << 9 << QStringList { "reconnect 2", "new 2" } << 1u;
    QTest::newRow("after 10 s is ignored") << 10 << QStringList { "new 2" } << 3u;
}

void TestSignalValues::firstStatusFrame()
{
    QFETCH(int, ticksBefore);
    QFETCH(QStringList, events);
    QFETCH(uint, storedStatus);

    SignalValues store;
    EventLog log(store);
    tick(store, ticksBefore);
    send(store, FrameKey::PackStatus, 2, { { Signal::SysStatus, 1 }, { Signal::SOC, 50 } });
    QCOMPARE(log.take(), events);
    QCOMPARE(status(store, 2), storedStatus);
    // The rest of the frame is decoded either way.
    QCOMPARE(store.value(2, Signal::SOC).toFloat(), 50.0f);
}

void TestSignalValues::offlineFromEleventhTick()
{
    SignalValues store;
    EventLog log(store);
    send(store, FrameKey::PackInfo, 2, { { Signal::LifeCounter, 1 } });
    send(store, FrameKey::PackStatus, 2, { { Signal::SysStatus, 2 } });
    QCOMPARE(log.take(), (QStringList { "new 2", "reconnect 2" }));

    // Still sending status, but the life counter stands still.
    for (int second = 1; second <= 10; ++second) {
        tick(store, 1);
        send(store, FrameKey::PackInfo, 2, { { Signal::LifeCounter, 1 } });
        send(store, FrameKey::PackStatus, 2, { { Signal::SysStatus, 2 } });
        QVERIFY2(status(store, 2) == 2, qPrintable(QString::number(second)));
    }
    tick(store, 1);
    QCOMPARE(status(store, 2), SignalValues::OfflineStatus);
    send(store, FrameKey::PackStatus, 2, { { Signal::SysStatus, 2 } });
    QCOMPARE(status(store, 2), SignalValues::OfflineStatus);
    QVERIFY(log.take().isEmpty());

    // Devices never seen are offline all along.
    QCOMPARE(status(store, 0), SignalValues::OfflineStatus);
}

void TestSignalValues::reconnectOnlyAfterLifeCounterChange()
{
    SignalValues store;
    EventLog log(store);
    send(store, FrameKey::PackInfo, 4, { { Signal::LifeCounter, 9 } });
    send(store, FrameKey::PackStatus, 4, { { Signal::SysStatus, 1 } });
    tick(store, 11);
    QCOMPARE(status(store, 4), SignalValues::OfflineStatus);
    log.take();

    send(store, FrameKey::PackInfo, 4, { { Signal::LifeCounter, 9 } });
    send(store, FrameKey::PackStatus, 4, { { Signal::SysStatus, 1 } });
    QCOMPARE(status(store, 4), SignalValues::OfflineStatus);
    QVERIFY(log.take().isEmpty());

    send(store, FrameKey::PackInfo, 4, { { Signal::LifeCounter, 10 } });
    QCOMPARE(status(store, 4), SignalValues::OfflineStatus);
    send(store, FrameKey::PackStatus, 4, { { Signal::SysStatus, 1 } });
    QCOMPARE(status(store, 4), 1u);
    QCOMPARE(log.take(), QStringList { "reconnect 4" });

    // Online again: a further status frame is no reconnect.
    send(store, FrameKey::PackStatus, 4, { { Signal::SysStatus, 0 } });
    QCOMPARE(status(store, 4), 0u);
    QVERIFY(log.take().isEmpty());
}

void TestSignalValues::lifeCounterStartingAtZeroDoesNotRefresh()
{
    SignalValues store;
    EventLog log(store);
    tick(store, 10);
    send(store, FrameKey::PackInfo, 6, { { Signal::LifeCounter, 0 } });
    send(store, FrameKey::PackStatus, 6, { { Signal::SysStatus, 1 } });
    QCOMPARE(status(store, 6), SignalValues::OfflineStatus);
    QCOMPARE(log.take(), QStringList { "new 6" });

    send(store, FrameKey::PackInfo, 6, { { Signal::LifeCounter, 1 } });
    send(store, FrameKey::PackStatus, 6, { { Signal::SysStatus, 1 } });
    QCOMPARE(status(store, 6), 1u);
    QCOMPARE(log.take(), QStringList { "reconnect 6" });
}

void TestSignalValues::broadcastOfflineStatusIsNotAReconnect()
{
    SignalValues store;
    EventLog log(store);
    send(store, FrameKey::PackStatus, 3, { { Signal::SysStatus, 3 } });
    QCOMPARE(log.take(), QStringList { "new 3" });
    QCOMPARE(store.value(3, Signal::SysStatus), QVariant(3u));

    // Stored as unsigned 3, it still counts as offline.
    send(store, FrameKey::PackStatus, 3, { { Signal::SysStatus, 1 } });
    QCOMPARE(log.take(), QStringList { "reconnect 3" });
}

void TestSignalValues::canDeviceCloseMarksAllOffline()
{
    SignalValues store;
    EventLog log(store);
    send(store, FrameKey::PackStatus, 4, { { Signal::SysStatus, 2 }, { Signal::SOC, 55 } });
    send(store, FrameKey::Temperatures, 4, { { Signal::Temp3, 31 } });
    tick(store, 3);
    log.take();

    store.OnCanDeviceClose();
    for (int devId = 0; devId < BatteryBank::DeviceCount; ++devId)
        QCOMPARE(store.value(devId, Signal::SysStatus), QVariant(3));
    QCOMPARE(store.value(4, Signal::SOC).toFloat(), 55.0f);
    QCOMPARE(store.value(4, Signal::Temp3).toInt(), 31);
    QCOMPARE(store.knownDevices(), QList<uchar> { 4 });
    QVERIFY(log.take().isEmpty());

    // The stale counter was left alone (3 ticks), so the next status frame brings it back.
    send(store, FrameKey::PackStatus, 4, { { Signal::SysStatus, 2 } });
    QCOMPARE(log.take(), QStringList { "reconnect 4" });
    QCOMPARE(status(store, 4), 2u);
}

void TestSignalValues::droppedFrames_data()
{
    QTest::addColumn<ulong>("id");
    QTest::addColumn<QByteArray>("payload");

    const QByteArray status1 = bytes({ 0x11, 0x22, 0x0B, 0xB8, 0xFA, 0x3E, 0x80, 0x01 });
    QTest::newRow("device 28") << ulong(0x0200801C) << status1;
    QTest::newRow("device 255") << ulong(0x020080FF) << status1;
    QTest::newRow("7 bytes from device 3") << ulong(0x02008003) << status1.left(7);
    QTest::newRow("empty from device 3") << ulong(0x02008003) << QByteArray();
}

void TestSignalValues::droppedFrames()
{
    QFETCH(ulong, id);
    QFETCH(QByteArray, payload);

    SignalValues store;
    QSignalSpy newDevices(&store, &SignalValues::newDeviceId);
    QSignalSpy reconnects(&store, &SignalValues::deviceReconnect);
    store.OnNewCanFrame(id, payload, 0);

    QCOMPARE(newDevices.count(), 0);
    QCOMPARE(reconnects.count(), 0);
    QVERIFY(store.knownDevices().isEmpty());
    for (int devId = 0; devId < BatteryBank::DeviceCount; ++devId) {
        QCOMPARE(store.value(devId, Signal::SumVolt), QVariant(0));
        QCOMPARE(store.value(devId, Signal::SysStatus), QVariant(3));
    }
}

void TestSignalValues::unknownKeyOnlyRegisters()
{
    SignalValues store;
    QSignalSpy newDevices(&store, &SignalValues::newDeviceId);
    // A command reply from device 5.
    store.OnNewCanFrame(0x18F08005, bytes({ 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }), 0);
    store.OnNewCanFrame(0x18F08005, bytes({ 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }), 0);
    QCOMPARE(newDevices.count(), 1);
    QCOMPARE(newDevices.at(0).at(0).value<uchar>(), uchar(5));
    for (int index = 0; index < Signal::Count; ++index)
        QCOMPARE(store.value(5, index), QVariant(index == Signal::SysStatus ? 3 : 0));
}

void TestSignalValues::identifierAbove32BitsIsNotACatalogueKey()
{
    if (sizeof(ulong) <= 4)
        QSKIP("ulong holds 32 bits here");
    SignalValues store;
    QSignalSpy newDevices(&store, &SignalValues::newDeviceId);
    const quint64 id = (Q_UINT64_C(1) << 40) | FrameKey::identifier(FrameKey::PackStatus, 5);
    store.OnNewCanFrame(ulong(id), bytes({ 0x11, 0x22, 0x0B, 0xB8, 0xFA, 0x3E, 0x80, 0x01 }), 0);
    QCOMPARE(newDevices.count(), 1);
    QCOMPARE(store.value(5, Signal::SumVolt), QVariant(0));
}

void TestSignalValues::metaObjectMethodsInOrder()
{
    // Other parts connect to these by name and the CAN worker reaches OnNewCanFrame through a
    // queued connection, so the signatures are an interface.
    const QMetaObject &meta = SignalValues::staticMetaObject;
    QStringList methods;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        methods << QString::fromLatin1(meta.method(i).methodSignature());
    QCOMPARE(methods,
        (QStringList { "newDeviceId(uchar)", "deviceReconnect(uchar)", "OnCanDeviceClose()",
            "OnNewCanFrame(ulong,QByteArray,ulong)", "OnTimerTimeout()" }));

    const QMetaObject &base = AbstractSignalValue::staticMetaObject;
    QCOMPARE(base.methodCount() - base.methodOffset(), 1);
    QCOMPARE(base.method(base.methodOffset()).methodSignature(),
        QByteArray("OnNewCanFrame(ulong,QByteArray,ulong)"));
}

void TestSignalValues::instanceIsOneParentlessObject()
{
    SignalValues *store = SignalValues::instance();
    QVERIFY(store != nullptr);
    QCOMPARE(SignalValues::instance(), store);
    QCOMPARE(store->parent(), static_cast<QObject *>(nullptr));
}

QTEST_GUILESS_MAIN(TestSignalValues)
#include "tst_signalvalues.moc"
