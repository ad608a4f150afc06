// The history record: its bytes decoded into fields and encoded back, and the 47 cells the
// table and the CSV file show of it, checked against records written by hand.

#include "historyrecords.h"

#include <QRandomGenerator>
#include <QtTest>

using HistoryRecords::rowOf;
using HistoryRecords::sample;

class TestHistoryRecord : public QObject
{
    Q_OBJECT

private slots:
    void everyByteDecodesAndEncodesBack();
    void columnNames();
    void fullRecord();
    void cells_data();
    void cells();
};

void TestHistoryRecord::everyByteDecodesAndEncodesBack()
{
    // Encoding what was decoded gives back every byte of any record: each byte belongs to one
    // field, no two fields share one, and the check sum is made as the battery makes it.
    QRandomGenerator random(78);
    for (int n = 0; n < 200; ++n) {
        QByteArray bytes(HistoryRecordCodec::Size, '\0');
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        HistoryRecordCodec::seal(bytes);
        const std::optional<HistoryRecord> record = HistoryRecordCodec::decode(bytes);
        QVERIFY(record);
        QCOMPARE(HistoryRecordCodec::encode(*record), bytes);
        QVERIFY(HistoryRecordCodec::hasValidChecksum(bytes));
    }
}

void TestHistoryRecord::columnNames()
{
    QStringList expected = { "Date", "Time", "SlaveNo", "SumVolt", "Curr", "RemainCapacity", "SOC",
        "SOH", "DiffVolt", "MaxCellV", "MaxCellVNo.", "MinCellV", "MinCellVNo." };
    for (int n = 1; n <= 16; ++n)
        expected << QStringLiteral("Volt%1").arg(n);
    expected += { "MaxCellT", "MaxCellTNo.", "MinCellT", "MinCellTNo." };
    for (int n = 1; n <= 8; ++n)
        expected << QStringLiteral("Temp%1").arg(n);
    expected += { "PrechargeRelay", "ChargeRelay", "DischargeRelay", "PosRelay", "FaultsID",
        "AlarmLevel" };
    QCOMPARE(HistoryRecordText::columnNames(), expected);
    QCOMPARE(expected.size(), HistoryRecordText::ColumnCount);
}

void TestHistoryRecord::fullRecord()
{
    QCOMPARE(rowOf(sample(4), 4), HistoryRecords::sampleCells(4));
    // SlaveNo is the id being read, not byte 7.
    QCOMPARE(rowOf(sample(4), 9).at(2), QStringLiteral("9"));
    QVERIFY(!HistoryRecordCodec::decode(sample(4).left(77)));
}

void TestHistoryRecord::cells_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, int offset, const QByteArray &bytes, const char *column,
                         const char *text) {
        QTest::newRow(name) << offset << bytes << QString(column) << QString::fromUtf8(text);
    };
    row("date without leading zeros", 0, QByteArray("\x15\x05\x07", 3), "Date", "2021-5-7");
    row("time without leading zeros", 3, QByteArray("\x09\x03\x00", 3), "Time", "9:3:0");
    row("midnight", 3, QByteArray("\x00\x00\x00", 3), "Time", "0:0:0");
    row("Curr 30000 is 0.0", 10, QByteArray("\x75\x30", 2), "Curr", "0.0");
    row("Curr 30010 is 1.0", 10, QByteArray("\x75\x3a", 2), "Curr", "1.0");
    row("Curr 0 is -3000.0", 10, QByteArray("\x00\x00", 2), "Curr", "-3000.0");
    row("Curr 29999 is -0.1", 10, QByteArray("\x75\x2f", 2), "Curr", "-0.1");
    row("SumVolt at its largest", 8, QByteArray("\xff\xff", 2), "SumVolt", "6553.5");
    row("RemainCapacity two decimals", 12, QByteArray("\x00\x05", 2), "RemainCapacity", "0.05");
    row("MinCellV at its odd offset", 23, QByteArray("\x0c\xe4", 2), "MinCellV", "3.300");
    row("Volt16 is the last cell", 56, QByteArray("\x0b\xb8", 2), "Volt16", "3.000");
    row("temperature byte 0 is -40", 58, QByteArray("\x00", 1), "MaxCellT", "-40");
    row("temperature byte 40 is 0", 62, QByteArray("\x28", 1), "Temp1", "0");
    row("temperature byte 255 is 215", 69, QByteArray("\xff", 1), "Temp8", "215");
    row("sensor numbers unsigned", 61, QByteArray("\xc8", 1), "MinCellTNo.", "200");
    row("relay byte 1 is On", 73, QByteArray("\x01", 1), "PosRelay", "On");
    row("relay byte 2 is Off", 70, QByteArray("\x02", 1), "PrechargeRelay", "Off");
    row("relay byte 0 is Off", 71, QByteArray("\x00", 1), "ChargeRelay", "Off");
    row("fault 1", 74, QByteArray("\x01", 1), "FaultsID", "Cell Over Voltage Alarm");
    row("fault 56 keeps its spelling", 74, QByteArray("\x38", 1), "FaultsID",
        "Charge Hight Temperature Protect");
    row("fault 114", 74, QByteArray("\x72", 1), "FaultsID", "AFE Communication Error");
    row("unknown fault 13 is empty", 74, QByteArray("\x0d", 1), "FaultsID", "");
    row("unknown fault 0 is empty", 74, QByteArray("\x00", 1), "FaultsID", "");
    row("alarm level", 75, QByteArray("\xfe", 1), "AlarmLevel", "254");
}

void TestHistoryRecord::cells()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, column);
    QFETCH(QString, text);
    QByteArray record = sample(3);
    record.replace(offset, bytes.size(), bytes);
    const int index = HistoryRecordText::columnNames().indexOf(column);
    QVERIFY(index >= 0);
    QCOMPARE(rowOf(record, 3).at(index), text);
}

QTEST_GUILESS_MAIN(TestHistoryRecord)
#include "tst_historyrecord.moc"
