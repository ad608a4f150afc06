#include "buscapacity.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QVector<bool> bits(const char *text)
{
    QVector<bool> result;
    for (const char *c = text; *c; ++c)
        result.append(*c == '1');
    return result;
}

constexpr qint64 Second = 1000000000;

} // namespace

class TestBusCapacity : public QObject
{
    Q_OBJECT

private slots:
    void stuffBits_data();
    void stuffBits();
    void crcOfTheStandardCheckString();
    void frameLengths();
    void capacity_data();
    void capacity();
    void sourcesCountApart();
};

void TestBusCapacity::stuffBits_data()
{
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<int>("stuffBits");

    QTest::newRow("four equal bits: none") << "0000" << 0;
    QTest::newRow("five equal bits: one") << "00000" << 1;
    QTest::newRow("alternating: none") << "0101010101" << 0;
    // The stuff bit (1) starts the next row: four more ones make five.
    QTest::newRow("five zeros, four ones") << "000001111" << 2;
    QTest::newRow("ten zeros: after the fifth and the tenth") << "0000000000" << 2;
    QTest::newRow("nine zeros: the stuff bit breaks the row") << "000000000" << 1;
    QTest::newRow("eleven ones") << "11111111111" << 2;
}

void TestBusCapacity::stuffBits()
{
    QFETCH(QString, sequence);
    QFETCH(int, stuffBits);
    QCOMPARE(BusCapacity::stuffBitCount(bits(qPrintable(sequence))), stuffBits);
}

void TestBusCapacity::crcOfTheStandardCheckString()
{
    QVector<bool> message;
    for (char c : QByteArray("123456789")) {
        for (int i = 7; i >= 0; --i)
            message.append(((quint8(c) >> i) & 1) != 0);
    }
    QCOMPARE(BusCapacity::crc15(message), quint16(0x059E));
}

void TestBusCapacity::frameLengths()
{
    // Standard identifier 0, no data: SOF, identifier, RTR, IDE, r0 and DLC are 19 dominant
    // bits, and the CRC of zeros is zero: 34 zeros, a stuff bit after every five.
    QCOMPARE(BusCapacity::stuffableBits(0, false, QByteArray()).size(), 34);
    QCOMPARE(BusCapacity::frameBits(0, false, QByteArray()), 34 + 6 + 13);

    // Without stuffing: 29-bit identifier and 8 bytes 131 bits, no data 67; 11-bit and 8 bytes
    // 111. With it, never more than one stuff bit per four bits after the first.
    QRandomGenerator random(20240501);
    for (int i = 0; i < 2000; ++i) {
        QByteArray data(8, '\0');
        for (char &byte : data)
            byte = char(random.bounded(i % 2 ? 256 : 2)); // many zero bytes every other frame
        const quint32 id = random.bounded(0x20000000u);
        const QVector<bool> ext = BusCapacity::stuffableBits(id, true, data);
        QCOMPARE(ext.size() + BusCapacity::UnstuffedTailBits, 131);
        const int extBits = BusCapacity::frameBits(id, true, data);
        QVERIFY2(extBits >= 131 && extBits <= 131 + (ext.size() - 1) / 4,
            qPrintable(QString::number(extBits)));
        QCOMPARE(BusCapacity::stuffableBits(id & 0x7FF, false, data).size()
                + BusCapacity::UnstuffedTailBits,
            111);
        QCOMPARE(BusCapacity::stuffableBits(id, true, QByteArray()).size()
                + BusCapacity::UnstuffedTailBits,
            67);
    }
}

void TestBusCapacity::capacity_data()
{
    QTest::addColumn<int>("framesPerSecond");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("dropped");

    // 1,000 frames of the longest kind use 160 kbit/s of 250.
    QTest::newRow("1,000 frames/s of 160 bits") << 1000 << 160 << 10 << 0;
    QTest::newRow("1,900 frames/s of 131 bits, 99.6 %") << 1900 << 131 << 10 << 0;
    // 327.5 kbit/s offered: the bus carries 250 kbit/s (1,908 frames a second) plus what its
    // queues hold when it ends (190 frames); the rest is dropped.
    QTest::newRow("2,500 frames/s of 131 bits")
        << 2500 << 131 << 4 << 10000 - (4 * 250000 / 131 + 25000 / 131);
}

void TestBusCapacity::capacity()
{
    QFETCH(int, framesPerSecond);
    QFETCH(int, bits);
    QFETCH(int, seconds);
    QFETCH(int, dropped);

    BusCapacity bus(250000, 100);
    const qint64 frames = qint64(framesPerSecond) * seconds;
    for (qint64 i = 0; i < frames; ++i)
        bus.offer(i * Second / framesPerSecond, bits, BusCapacity::Host);
    QCOMPARE(bus.total().offered, frames);
    QVERIFY2(
        qAbs(bus.total().dropped - dropped) <= 1, qPrintable(QString::number(bus.total().dropped)));
    QCOMPARE(bus.total().carriedBits, (frames - bus.total().dropped) * bits);
}

void TestBusCapacity::sourcesCountApart()
{
    // A 100 ms queue at 250 kbit/s holds 25,000 bits: 190 frames of 131 bits at one instant.
    BusCapacity bus(250000, 100);
    for (int i = 0; i < 100; ++i)
        QVERIFY(bus.offer(0, 131, BusCapacity::Batteries));
    for (int i = 0; i < 90; ++i)
        QVERIFY(bus.offer(0, 131, BusCapacity::Host));
    QVERIFY(!bus.offer(0, 131, BusCapacity::Host));
    QVERIFY(!bus.offer(0, 131, BusCapacity::Batteries));
    // The queue has 25,000 - 190 x 131 = 110 bits left: once 21 bits have gone out (84 us at
    // 250 kbit/s), one more frame fits.
    QVERIFY(!bus.offer(80000, 131, BusCapacity::Host));
    QVERIFY(bus.offer(88000, 131, BusCapacity::Host));

    QCOMPARE(bus.counts(BusCapacity::Batteries).offered, 101);
    QCOMPARE(bus.counts(BusCapacity::Batteries).dropped, 1);
    QCOMPARE(bus.counts(BusCapacity::Host).offered, 93);
    QCOMPARE(bus.counts(BusCapacity::Host).dropped, 2);
    QCOMPARE(bus.total().carriedBits, 191 * 131);
}

QTEST_GUILESS_MAIN(TestBusCapacity)
#include "tst_buscapacity.moc"
