// The bit times a frame takes, for the bus load: the CRC and the stuffing rule checked by hand.

#include "can/canframebits.h"

#include <QtTest>

class TestCanFrameBits : public QObject
{
    Q_OBJECT

private slots:
    void crc15HasTheCatalogueCheckValue();
    void stuffBits_data();
    void stuffBits();
    void eightByteFramesTakeNominalBitsPlusStuffing();
};

namespace {

std::vector<bool> bitsOf(const char *text)
{
    std::vector<bool> bits;
    for (const char *c = text; *c; ++c)
        bits.push_back(*c == '1');
    return bits;
}

} // namespace

void TestCanFrameBits::crc15HasTheCatalogueCheckValue()
{
    // CRC-15/CAN of the ASCII text "123456789" is 0x059E.
    std::vector<bool> bits;
    for (char c : QByteArray("123456789")) {
        for (int i = 7; i >= 0; --i)
            bits.push_back(((quint8(c) >> i) & 1) != 0);
    }
    QCOMPARE(CanFrameBits::crc15(bits), quint16(0x059E));
}

void TestCanFrameBits::stuffBits_data()
{
    QTest::addColumn<QString>("bits");
    QTest::addColumn<int>("stuffBits");
    QTest::newRow("four equal bits need none") << "0000" << 0;
    QTest::newRow("five equal bits need one") << "00000" << 1;
    QTest::newRow("alternating bits need none") << "0101010101" << 0;
    // 00000 [1] 00000 [1]
    QTest::newRow("ten zeros need two") << "0000000000" << 2;
    // 00000 [1] 1111 makes five ones with the stuff bit: [0]
    QTest::newRow("the stuff bit counts in the next run") << "000001111" << 2;
    QTest::newRow("runs of four never stuff") << "000011110000111100001111" << 0;
}

void TestCanFrameBits::stuffBits()
{
    QFETCH(QString, bits);
    QFETCH(int, stuffBits);
    QCOMPARE(CanFrameBits::stuffBitCount(bitsOf(bits.toLatin1().constData())), stuffBits);
}

void TestCanFrameBits::eightByteFramesTakeNominalBitsPlusStuffing()
{
    QCOMPARE(CanFrameBits::nominalBits(true, 8), 131);
    QCOMPARE(CanFrameBits::nominalBits(false, 8), 111);
    QCOMPARE(CanFrameBits::nominalBits(true, 0), 67);
    // SOF to the end of the CRC: 54 + 8n bits for a 29-bit identifier.
    QCOMPARE(int(CanFrameBits::stuffedSection(0x02008001, true, QByteArray(8, '\0')).size()), 118);
    // Zero data stuffs, alternating data hardly does; neither exceeds one stuff bit in four.
    const int zeros = CanFrameBits::bitsOnWire(0x02008001, true, QByteArray(8, '\0'));
    const int alternating = CanFrameBits::bitsOnWire(0x02008001, true, QByteArray(8, char(0x55)));
    QVERIFY2(zeros > alternating, qPrintable(QStringLiteral("%1 %2").arg(zeros).arg(alternating)));
    QVERIFY(alternating >= 131);
    QVERIFY(zeros <= 131 + (118 - 1) / 4);
    QCOMPARE(CanFrameBits::worstCaseBits(true, 8), 131 + (118 - 1) / 4);
    QVERIFY(zeros <= CanFrameBits::worstCaseBits(true, 8));
}

QTEST_GUILESS_MAIN(TestCanFrameBits)
#include "tst_canframebits.moc"
