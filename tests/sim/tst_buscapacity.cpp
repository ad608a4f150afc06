#include "buscapacity.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

constexpr qint64 Second = 1000000000;

} // namespace

class TestBusCapacity : public QObject
{
    Q_OBJECT

private slots:
    void frameLengths();
    void capacity_data();
    void capacity();
    void arbitration_data();
    void arbitration();
};

void TestBusCapacity::frameLengths()
{
    // Standard identifier 0, no data: SOF, identifier, RTR, IDE, r0 and DLC are 19 dominant
    // bits, and the CRC of zeros is zero: 34 zeros, a stuff bit after every five.
    QCOMPARE(BusCapacity::frameBits(0, false, QByteArray()), 34 + 6 + 13);
    // A remote frame sends no data, whatever length it asks for: less than 8 data bytes' 111.
    QVERIFY(BusCapacity::frameBits(0x7FF, false, QByteArray(8, '\x55'), true) < 111);

    // Without stuffing: 29-bit identifier and 8 bytes 131 bits, no data 67; 11-bit and 8 bytes
    // 111. With it, never more than one stuff bit per four bits after the first.
    QRandomGenerator random(20240501);
    for (int i = 0; i < 2000; ++i) {
        QByteArray data(8, '\0');
        for (char &byte : data)
            byte = char(random.bounded(i % 2 ? 256 : 2)); // many zero bytes every other frame
        const quint32 id = random.bounded(0x20000000u);
        const int extBits = BusCapacity::frameBits(id, true, data);
        QVERIFY2(
            extBits >= 131 && extBits <= 131 + (118 - 1) / 4, qPrintable(QString::number(extBits)));
        QVERIFY(BusCapacity::frameBits(id & 0x7FF, false, data) >= 111);
        QVERIFY(BusCapacity::frameBits(id, true, QByteArray()) >= 67);
    }
}

void TestBusCapacity::capacity_data()
{
    QTest::addColumn<int>("framesPerSecond");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("dropped");

    // Frames of 147 bits: 1,700 a second fill 250 kbit/s.
    QTest::newRow("1,600 frames/s, 94 %") << 1600 << 10 << 0;
    // The bus carries 4 s x 1,700.7 frames; 32 wait in the queue when the last is offered.
    QTest::newRow("2,500 frames/s: the queue overflows") << 2500 << 4 << 10000 - 6802 - 32;
}

void TestBusCapacity::capacity()
{
    QFETCH(int, framesPerSecond);
    QFETCH(int, seconds);
    QFETCH(int, dropped);

    const QCanBusFrame frame(0x2008001, QByteArray(8, '\0'));
    QCOMPARE(BusCapacity::frameBits(frame.frameId(), true, frame.payload()), 147);
    BusCapacity bus(250000);
    const int node = bus.addNode(32);
    const qint64 frames = qint64(framesPerSecond) * seconds;
    for (qint64 i = 0; i < frames; ++i)
        bus.offer(i * Second / framesPerSecond, node, frame);
    QCOMPARE(bus.total().offered, frames);
    QVERIFY2(
        qAbs(bus.total().dropped - dropped) <= 1, qPrintable(QString::number(bus.total().dropped)));
    QCOMPARE(qint64(bus.advance(seconds * Second * 2).size()), frames - bus.total().dropped);
    QCOMPARE(bus.total().carriedBits, (frames - bus.total().dropped) * 147);
}

void TestBusCapacity::arbitration_data()
{
    QTest::addColumn<QList<int>>("depths");
    // "microseconds node identifier(hex)", 8 zero bytes each: 147 to 152 bits, about 0.6 ms.
    QTest::addColumn<QStringList>("offers");
    QTest::addColumn<QStringList>("carried"); // "node:identifier", in the bus's order
    QTest::addColumn<QList<int>>("dropped");
    QTest::addColumn<QList<int>>("peaks");

    QTest::newRow("the lowest identifier wins")
        << QList<int> { 4, 4, 4 } << QStringList { "0 1 18010201", "0 2 2008002", "0 0 40000" }
        << QStringList { "0:40000", "2:2008002", "1:18010201" } << QList<int> { 0, 0, 0 }
        << QList<int> { 1, 1, 1 };
    QTest::newRow("a frame on the wire is not interrupted")
        << QList<int> { 4, 4 } << QStringList { "0 1 2008001", "100 0 40000" }
        << QStringList { "1:2008001", "0:40000" } << QList<int> { 0, 0 } << QList<int> { 1, 1 };
    QTest::newRow("a low identifier waits behind its own node's frames")
        << QList<int> { 4, 4 }
        << QStringList { "0 1 18010201", "0 1 2008001", "0 0 1ff00", "0 0 3000000" }
        << QStringList { "0:1ff00", "0:3000000", "1:18010201", "1:2008001" } << QList<int> { 0, 0 }
        << QList<int> { 2, 2 };
    QTest::newRow("a full queue drops on its own node")
        << QList<int> { 8, 2 }
        << QStringList { "0 1 2008001", "0 1 2008101", "0 1 2008201", "0 0 40000", "0 0 40001",
               "0 0 40002" }
        << QStringList { "0:40000", "0:40001", "0:40002", "1:2008001", "1:2008101" }
        << QList<int> { 0, 1 } << QList<int> { 3, 2 };
    QTest::newRow("the frame on the wire holds its place in the queue until sent")
        << QList<int> { 1 } << QStringList { "0 0 40000", "300 0 40001", "700 0 40002" }
        << QStringList { "0:40000", "0:40002" } << QList<int> { 1 } << QList<int> { 1 };
}

void TestBusCapacity::arbitration()
{
    QFETCH(QList<int>, depths);
    QFETCH(QStringList, offers);
    QFETCH(QStringList, carried);
    QFETCH(QList<int>, dropped);
    QFETCH(QList<int>, peaks);

    BusCapacity bus(250000);
    for (int depth : depths)
        bus.addNode(depth);
    for (const QString &offer : offers) {
        const QStringList parts = offer.split(QLatin1Char(' '));
        QCanBusFrame frame(parts.at(2).toUInt(nullptr, 16), QByteArray(8, '\0'));
        frame.setExtendedFrameFormat(true);
        bus.offer(parts.at(0).toLongLong() * 1000, parts.at(1).toInt(), frame);
    }
    QStringList order;
    for (const BusCapacity::Carried &frame : bus.advance(Second))
        order << QStringLiteral("%1:%2").arg(frame.node).arg(frame.frame.frameId(), 0, 16);
    QCOMPARE(order, carried);
    for (int node = 0; node < depths.size(); ++node) {
        QCOMPARE(bus.counts(node).dropped, qint64(dropped.at(node)));
        QCOMPARE(bus.counts(node).queuePeak, peaks.at(node));
    }
    QCOMPARE(bus.nextEventNs(), qint64(-1));
}

QTEST_GUILESS_MAIN(TestBusCapacity)
#include "tst_buscapacity.moc"
