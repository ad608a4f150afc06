#include "support/testfirmware.h"
#include "upgrade/firmwareimage.h"
#include "upgrade/srecord.h"

#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(FirmwareImage::Error)

// Reading and checking firmware image files: the ".bin" revision tag, the kept S-records with
// their sum and boot version, and a corpus of broken ".s19" files (tests/upgrade/data), each
// named after what it breaks.
class TestFirmwareImage : public QObject
{
    Q_OBJECT

private slots:
    void binSizes_data();
    void binSizes();
    void unreadableFiles_data();
    void unreadableFiles();
    void keptRecordsAndTheirSum();
    void lineEndsChangeTheSum();
    void signedByteSum_data();
    void signedByteSum();
    void bootVersionFromTheFirstRecordAt08();
    void noRecordAt08LeavesBootVersionEmpty();
    void brokenFiles_data();
    void brokenFiles();
    void blanksBeforeTheLineEndAreNoPartOfTheRecord();
    void loadedAddresses_data();
    void loadedAddresses();
};

namespace {

const QString DataDir = QStringLiteral(UPGRADE_TEST_DATA);

QByteArray record(quint32 address, const QByteArray &data)
{
    return SRecord { '3', address, data }.toLine() + '\n';
}

} // namespace

void TestFirmwareImage::binSizes_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("revision");
    QTest::newRow("0 bytes") << QByteArray() << false << QString();
    QTest::newRow("4 bytes") << QByteArray("ZK10") << false << QString();
    QTest::newRow("5 bytes: the revision tag alone") << QByteArray("ZK100") << true << "ZK100";
    QTest::newRow("6 bytes") << QByteArray("ZK100\x01") << true << "ZK100";
    QTest::newRow("a tag with a NUL ends there") << QByteArray("ZK\0AB", 5) << true << "ZK";
    QTest::newRow("a whole image")
        << TestFirmware::bin(4096, "ZK200", "ZK-BMS V3.0.01") << true << "ZK200";
}

void TestFirmwareImage::binSizes()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, valid);
    QFETCH(QString, revision);
    const FirmwareImage image = FirmwareImage::parseBin(content);
    QCOMPARE(image.isValid(), valid);
    QCOMPARE(image.error, valid ? FirmwareImage::NoError : FirmwareImage::TooShort);
    QCOMPARE(image.kind, valid ? FirmwareImage::BinImage : FirmwareImage::NoImage);
    QCOMPARE(image.revision(), revision);
    // Nothing is stripped or added.
    QCOMPARE(image.binData, content);
}

void TestFirmwareImage::unreadableFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("a file that is not there") << DataDir + QStringLiteral("/missing.bin");
    QTest::newRow("a folder") << DataDir;
}

void TestFirmwareImage::unreadableFiles()
{
    QFETCH(QString, path);
    QCOMPARE(FirmwareImage::readBin(path).error, FirmwareImage::CannotOpen);
    QCOMPARE(FirmwareImage::readS19(path).error, FirmwareImage::CannotOpen);
}

void TestFirmwareImage::keptRecordsAndTheirSum()
{
    const QByteArray file = "S00600004844521B\n"
                            "S1051234AABB4F\n"
                            "\n"
                            " \t\r\n"
                            "S205123456005E\n"
                            "S30809000000010203E8\n"
                            "S5030001FB\n"
                            "S70508000000F2\n"
                            "S9030000FC\n"
                            "S30809000003040506DC";
    const FirmwareImage image = FirmwareImage::parseS19(file);
    QVERIFY(image.isValid());
    QCOMPARE(image.kind, FirmwareImage::S19Image);
    const QStringList kept { "S1051234AABB4F\n", "S205123456005E\n", "S30809000000010203E8\n",
        "S5030001FB\n", "S30809000003040506DC" };
    QCOMPARE(image.s19Data, kept);
    QCOMPARE(image.chkSum, FirmwareImage::signedByteSum(kept.join(QString()).toLatin1()));
}

void TestFirmwareImage::lineEndsChangeTheSum()
{
    const FirmwareImage lf
        = FirmwareImage::parseS19(TestFirmware::s19(256, "ZK100", "ZK-BMS V3.0.01", "\n"));
    const FirmwareImage crlf
        = FirmwareImage::parseS19(TestFirmware::s19(256, "ZK100", "ZK-BMS V3.0.01", "\r\n"));
    QVERIFY(lf.isValid() && crlf.isValid());
    QCOMPARE(crlf.s19Data.size(), lf.s19Data.size());
    QVERIFY(crlf.s19Data.first().endsWith(QLatin1String("\r\n")));
    QVERIFY(!lf.s19Data.first().endsWith(QLatin1String("\r\n")));
    // Each CR adds 13.
    QCOMPARE(crlf.chkSum - lf.chkSum, uint(13 * lf.s19Data.size()));
    QCOMPARE(crlf.bootVersion, lf.bootVersion);
}

void TestFirmwareImage::signedByteSum_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<uint>("sum");
    QTest::newRow("ASCII") << QByteArray("S1\n") << uint('S' + '1' + '\n');
    QTest::newRow("0x80 counts -128") << QByteArray("\x80\x01", 2) << uint(-127);
    QTest::newRow("0xFF counts -1") << QByteArray("\xFF\xFF", 2) << uint(-2);
    QTest::newRow("nothing") << QByteArray() << 0u;
}

void TestFirmwareImage::signedByteSum()
{
    QFETCH(QByteArray, bytes);
    QFETCH(uint, sum);
    QCOMPARE(FirmwareImage::signedByteSum(bytes), sum);
}

void TestFirmwareImage::bootVersionFromTheFirstRecordAt08()
{
    // An S1 record at 0x1234 first, then the image at 0x08000000; a second "08" record later
    // is not looked at.
    const QByteArray file = "S1051234AABB4F\n"
        + TestFirmware::s19(64, QByteArray("ZK100\0\x07", 7), "ZK-BMS V3.0.01", "\n", 16)
        + "S30C0800100041424344454647FF\n";
    const FirmwareImage image = FirmwareImage::parseS19(file);
    QVERIFY2(image.isValid(), qPrintable(image.badReason));
    QCOMPARE(image.bootVersion, QByteArray("ZK100\0\x07", 7));
    QCOMPARE(image.revision(), QStringLiteral("ZK100"));
}

void TestFirmwareImage::noRecordAt08LeavesBootVersionEmpty()
{
    const FirmwareImage image = FirmwareImage::parseS19("S1051234AABB4F\nS9030000FC\n");
    QVERIFY(image.isValid());
    QVERIFY(image.bootVersion.isEmpty());
    QCOMPARE(image.revision(), QString());
}

void TestFirmwareImage::brokenFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<FirmwareImage::Error>("error");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");
    const FirmwareImage::Error bad = FirmwareImage::BadRecord;
    const FirmwareImage::Error none = FirmwareImage::NoRecord;
    QTest::newRow("bad_checksum") << "bad_checksum.s19" << bad << 3 << "record checksum mismatch";
    QTest::newRow("not_hex_digit")
        << "not_hex_digit.s19" << bad << 4 << "not a hex digit at column 21";
    QTest::newRow("byte_count_mismatch")
        << "byte_count_mismatch.s19" << bad << 2 << "byte count does not match the line";
    QTest::newRow("odd_digit_count")
        << "odd_digit_count.s19" << bad << 5 << "odd number of hex digits";
    QTest::newRow("truncated") << "truncated.s19" << bad << 5
                               << "byte count does not match the line";
    QTest::newRow("shorter_than_address")
        << "shorter_than_address.s19" << bad << 2 << "too short for its address";
    QTest::newRow("nul_in_record")
        << "nul_in_record.s19" << bad << 3 << "not a hex digit at column 11";
    QTest::newRow("bad_count_record")
        << "bad_count_record.s19" << bad << 6 << "record checksum mismatch";
    // Lines that are not sent are checked all the same: a line that is no record may have been
    // one, and skipping it would leave a hole.
    QTest::newRow("foreign_line") << "foreign_line.s19" << bad << 4 << "not an S-record";
    QTest::newRow("damaged_record_type")
        << "damaged_record_type.s19" << bad << 4 << "not an S-record";
    QTest::newRow("not_an_image") << "not_an_image.s19" << bad << 1 << "not an S-record";
    QTest::newRow("cr_line_ends") << "cr_line_ends.s19" << bad << 1 << "CR without LF";
    QTest::newRow("bad_header_checksum")
        << "bad_header_checksum.s19" << bad << 1 << "record checksum mismatch";
    QTest::newRow("bad_s7_checksum")
        << "bad_s7_checksum.s19" << bad << 6 << "record checksum mismatch";
    QTest::newRow("s8_count_mismatch")
        << "s8_count_mismatch.s19" << bad << 6 << "byte count does not match the line";
    QTest::newRow("bad_s9_checksum")
        << "bad_s9_checksum.s19" << bad << 6 << "record checksum mismatch";
    QTest::newRow("only_header_and_end") << "only_header_and_end.s19" << none << 0 << QString();
    QTest::newRow("empty") << "empty.s19" << none << 0 << QString();
}

void TestFirmwareImage::brokenFiles()
{
    QFETCH(QString, file);
    QFETCH(FirmwareImage::Error, error);
    QFETCH(int, line);
    QFETCH(QString, reason);
    const FirmwareImage image = FirmwareImage::readS19(DataDir + QLatin1Char('/') + file);
    QCOMPARE(image.error, error);
    QCOMPARE(image.badLine, line);
    QCOMPARE(image.badReason, reason);
    QCOMPARE(image.kind, FirmwareImage::NoImage);
    QVERIFY(image.s19Data.isEmpty());
}

void TestFirmwareImage::blanksBeforeTheLineEndAreNoPartOfTheRecord()
{
    const QByteArray file = TestFirmware::s19(256, "ZK100", "ZK-BMS V3.0.01", "\r\n");
    QByteArray padded = file;
    padded.replace("\r\n", " \t \r\n");
    const FirmwareImage plain = FirmwareImage::parseS19(file);
    const FirmwareImage image = FirmwareImage::parseS19(padded);
    QVERIFY2(image.isValid(), qPrintable(image.badReason));
    // The boot loader gets the records without the blanks, and the sum is over what it gets.
    QCOMPARE(image.s19Data, plain.s19Data);
    QCOMPARE(image.chkSum, plain.chkSum);
    QCOMPARE(image.bootVersion, plain.bootVersion);
}

void TestFirmwareImage::loadedAddresses_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("badLine"); // 0: the image is taken
    QTest::addColumn<QString>("said"); // why it is refused, or the ranges it loads

    const QByteArray image = TestFirmware::s19(64, "ZK100", "ZK-BMS V3.0.01", "\n", 16);
    QTest::newRow("an address loaded again with other data") << image
            + record(0x08000010, "other bytes") << 7 << "loads 0x08000010 again with other data";
    QTest::newRow("a record over two others, other at its last byte")
        << record(0x09000000, "ABCD") + record(0x09000004, "EFGH") + record(0x09000002, "CDEFGX")
        << 3 << "loads 0x09000007 again with other data";
    QTest::newRow("the same bytes loaded twice") << record(0x09000000, "ABCD")
            + record(0x09000002, "CD") << 0 << "0x09000000-0x09000003 (4 bytes)";
    QTest::newRow("records out of order") << record(0x09000004, "EFGH") + record(0x09000000, "ABCD")
                                          << 0 << "0x09000000-0x09000007 (8 bytes)";
    QTest::newRow("a record 128 MB past the rest")
        << image + record(0x10000000, "far") << 0
        << "0x08000000-0x0800003F (64 bytes), 0x10000000-0x10000002 (3 bytes)";
    QTest::newRow("more ranges than a line shows")
        << record(0x10, "a") + record(0x20, "b") + record(0x30, "c") + record(0x40, "d")
            + record(0x50, "e")
        << 0
        << "0x00000010-0x00000010 (1 byte), 0x00000020-0x00000020 (1 byte), "
           "0x00000030-0x00000030 (1 byte), 0x00000040-0x00000040 (1 byte), and 1 more";
    const QString versionMissing = "the image does not hold all of the firmware version that "
                                   "follows this record's boot version (0x08000007-0x08000015)";
    QTest::newRow("an image that ends inside its version")
        << TestFirmware::s19(12, "ZK100", "ZK-BMS V3.0.01", "\n") << 2 << versionMissing;
    QList<QByteArray> lines = TestFirmware::s19(64, "ZK100", "ZK-BMS V3.0.01", "\n", 8).split('\n');
    lines.removeAt(2);
    QTest::newRow("a hole in the version") << lines.join('\n') << 2 << versionMissing;
    QTest::newRow("a record at 08 shorter than the boot version")
        << TestFirmware::s19(64, "ZK100", "ZK-BMS V3.0.01", "\n", 4) << 2
        << "too short for the 7-byte boot version at characters 13 to 26";
}

void TestFirmwareImage::loadedAddresses()
{
    QFETCH(QByteArray, file);
    QFETCH(int, badLine);
    QFETCH(QString, said);
    const FirmwareImage image = FirmwareImage::parseS19(file);
    if (said.startsWith("the image does not hold")) {
        // Taken, since its boot version is whole, but the cut is named for the tools that
        // check the version run afterwards.
        QVERIFY2(image.isValid(), qPrintable(image.badReason));
        QCOMPARE(image.versionCutLine, badLine);
        QCOMPARE(image.versionCutReason, said);
        return;
    }
    QCOMPARE(image.versionCutLine, 0);
    QCOMPARE(image.badLine, badLine);
    if (badLine == 0) {
        QVERIFY2(image.isValid(), qPrintable(image.badReason));
        QCOMPARE(LoadMap::text(image.ranges), said);
        return;
    }
    QCOMPARE(image.error, FirmwareImage::BadImage);
    QCOMPARE(image.badReason, said);
    QVERIFY(image.s19Data.isEmpty() && image.bootVersion.isEmpty() && image.ranges.isEmpty());
}

QTEST_GUILESS_MAIN(TestFirmwareImage)
#include "tst_firmwareimage.moc"
