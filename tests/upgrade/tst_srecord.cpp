#include "support/testfirmware.h"
#include "upgrade/imageversion.h"
#include "upgrade/srecord.h"

#include <QtTest>

class TestSRecord : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void toLineWritesWhatParseReads();
    void versionOfBin();
    void versionOfS19_data();
    void versionOfS19();
};

void TestSRecord::parse_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("error");
    QTest::addColumn<char>("type");
    QTest::addColumn<uint>("address");
    QTest::addColumn<QByteArray>("data");

    // Records written out by hand: count, address, data, then ~(sum) & 0xFF.
    QTest::newRow("S1 with LF") << QByteArray("S1051234AABB4F\n") << QString() << '1' << 0x1234u
                                << QByteArray::fromHex("AABB");
    QTest::newRow("S2 with CR LF") << QByteArray("S205123456005E\r\n") << QString() << '2'
                                   << 0x123456u << QByteArray::fromHex("00");
    QTest::newRow("S3 lower-case hex") << QByteArray("S30808000000010203e9") << QString() << '3'
                                       << 0x08000000u << QByteArray::fromHex("010203");
    QTest::newRow("blanks before the line end") << QByteArray("S1051234AABB4F \t\r\n") << QString()
                                                << '1' << 0x1234u << QByteArray::fromHex("AABB");
    QTest::newRow("S9 without data")
        << QByteArray("S9030000FC") << QString() << '9' << 0u << QByteArray();
    QTest::newRow("checksum off by one")
        << QByteArray("S1051234AABB50") << QString("record checksum mismatch") << '0' << 0u
        << QByteArray();
    QTest::newRow("count too large")
        << QByteArray("S1061234AABB4F") << QString("byte count does not match the line") << '0'
        << 0u << QByteArray();
    QTest::newRow("not hex") << QByteArray("S1051234AXBB4F")
                             << QString("not a hex digit at column 10") << '0' << 0u
                             << QByteArray();
    QTest::newRow("odd digits") << QByteArray("S1051234AABB4")
                                << QString("odd number of hex digits") << '0' << 0u << QByteArray();
    QTest::newRow("CR without LF") << QByteArray("S9030000FC\rS9030000FC\n")
                                   << QString("CR without LF") << '0' << 0u << QByteArray();
    QTest::newRow("S4 is reserved")
        << QByteArray("S4030000FC") << QString("not an S-record") << '0' << 0u << QByteArray();
    QTest::newRow("lower-case s") << QByteArray("s9030000FC") << QString("not an S-record") << '0'
                                  << 0u << QByteArray();
    QTest::newRow("shorter than its address")
        << QByteArray("S30200FD") << QString("too short for its address") << '0' << 0u
        << QByteArray();
}

void TestSRecord::parse()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, error);
    QFETCH(char, type);
    QFETCH(uint, address);
    QFETCH(QByteArray, data);
    SRecord record;
    QCOMPARE(SRecord::parse(line, &record), error);
    QCOMPARE(record.type, type);
    QCOMPARE(uint(record.address), address);
    QCOMPARE(record.data, data);
}

void TestSRecord::toLineWritesWhatParseReads()
{
    const SRecord written { '3', 0x0800FF00, QByteArray::fromHex("00FF7F80") };
    QCOMPARE(written.toLine(), QByteArray("S3090800FF0000FF7F80F1"));
    SRecord read;
    QVERIFY(SRecord::parse(written.toLine(), &read).isEmpty());
    QCOMPARE(read.address, written.address);
    QCOMPARE(read.data, written.data);
}

void TestSRecord::versionOfBin()
{
    QCOMPARE(ImageVersion::ofBin(TestFirmware::bin(64, "ZK100", "ZK-BMS V2.4.00")),
        QByteArray("ZK-BMS V2.4.00\0", 15));
    // Shorter than tag and version: the rest reads as 0.
    QCOMPARE(ImageVersion::ofBin("ZK100V2"), QByteArray("V2").leftJustified(15, '\0'));
}

void TestSRecord::versionOfS19_data()
{
    QTest::addColumn<int>("recordBytes");
    // The 22 identification bytes in one record, and spread over three.
    QTest::newRow("32-byte records") << 32;
    QTest::newRow("8-byte records") << 8;
}

void TestSRecord::versionOfS19()
{
    QFETCH(int, recordBytes);
    const QByteArray file
        = TestFirmware::s19(256, "ZK100\0\0", "ZK-BMS V2.4.00", "\n", recordBytes);
    QStringList kept;
    for (const QByteArray &line : file.split('\n')) {
        if (line.startsWith("S3"))
            kept << QString::fromLatin1(line + '\n');
    }
    QCOMPARE(ImageVersion::ofS19(kept), QByteArray("ZK-BMS V2.4.00\0", 15));
    // Without a record at "08" there is no anchor and no version.
    QCOMPARE(ImageVersion::ofS19({ "S1051234AABB4F\n" }), QByteArray(15, '\0'));
}

QTEST_GUILESS_MAIN(TestSRecord)
#include "tst_srecord.moc"
