#include "log/crc16.h"

#include <QtTest>

class TestCrc16 : public QObject
{
    Q_OBJECT

private slots:
    void checkValues_data();
    void checkValues();
    void modbusOfARecordWithItsCrcAppendedIsZero();
};

void TestCrc16::checkValues_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<uint>("modbus");
    QTest::addColumn<uint>("xmodem");
    // "123456789" is the catalogued check input of both algorithms.
    QTest::newRow("check string") << QByteArray("123456789") << 0x4B37u << 0x31C3u;
    QTest::newRow("empty") << QByteArray() << 0xFFFFu << 0x0000u;
    QTest::newRow("single zero byte") << QByteArray(1, '\0') << 0x40BFu << 0x0000u;
    // A Modbus RTU request whose frame ends in 84 0A, the CRC low byte first.
    QTest::newRow("modbus read request")
        << QByteArray::fromHex("010300000001") << 0x0A84u << 0xBB53u;
}

void TestCrc16::checkValues()
{
    QFETCH(QByteArray, data);
    QFETCH(uint, modbus);
    QFETCH(uint, xmodem);
    QCOMPARE(uint(Crc16::modbus(data)), modbus);
    QCOMPARE(uint(Crc16::xmodem(data)), xmodem);
}

void TestCrc16::modbusOfARecordWithItsCrcAppendedIsZero()
{
    QByteArray record(76, '\0');
    for (int i = 0; i < record.size(); ++i)
        record[i] = char(i * 37 + 11);
    const quint16 crc = Crc16::modbus(record);
    record.append(char(crc & 0xFF));
    record.append(char(crc >> 8));
    QCOMPARE(Crc16::modbus(record), quint16(0));
}

QTEST_GUILESS_MAIN(TestCrc16)
#include "tst_crc16.moc"
