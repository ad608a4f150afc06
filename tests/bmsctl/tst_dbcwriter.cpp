// The catalogue as DBC against a file written by hand for a few messages, the Motorola bit
// numbering and the physical ranges on their own, and the export's battery list.

#include "dbcwriter.h"
#include "idlist.h"

#include "signals/signalvalues.h"

#include <QFile>
#include <QtTest>

class TestDbcWriter : public QObject
{
    Q_OBJECT

private slots:
    void motorolaStartBitIsTheMostSignificantBit_data();
    void motorolaStartBitIsTheMostSignificantBit();
    void rangeIsPhysical_data();
    void rangeIsPhysical();
    void matchesTheHandWrittenMessages();
    void describesEveryFrameKindOfEveryBattery();
    void badBatteryListIsEchoedAsGiven();
};

namespace {

// The parts of a DBC text: what comes before the first message, each message block by its
// first line, and the lines after the last message.
struct Sections
{
    QString header;
    QHash<QString, QString> messages;
    QString trailer;
};

Sections sectionsOf(const QString &text)
{
    Sections sections;
    const QStringList blocks = text.split(QStringLiteral("\n\n"));
    bool inMessages = false;
    for (const QString &block : blocks) {
        const QString trimmed = block.trimmed();
        if (trimmed.startsWith(QLatin1String("BO_ "))) {
            inMessages = true;
            sections.messages.insert(trimmed.section(QLatin1Char('\n'), 0, 0), trimmed);
        } else if (!inMessages) {
            sections.header += block + QStringLiteral("\n\n");
        } else {
            sections.trailer += trimmed;
        }
    }
    return sections;
}

} // namespace

void TestDbcWriter::motorolaStartBitIsTheMostSignificantBit_data()
{
    QTest::addColumn<int>("lsbStart");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("dbcStart");
    // Bit b of byte n is 8n + b in both numberings.
    QTest::newRow("bytes 0-1") << 8 << 16 << 7;
    QTest::newRow("byte 4 and bits 7-6 of byte 5 (SOC)") << 46 << 10 << 39;
    QTest::newRow("bits 5-0 of byte 5 and 7-4 of byte 6 (SOH)") << 52 << 10 << 45;
    QTest::newRow("bits 1-0 of byte 7 (SysStatus)") << 56 << 2 << 57;
    QTest::newRow("one bit") << 16 << 1 << 16;
    QTest::newRow("whole byte 3") << 24 << 8 << 31;
    QTest::newRow("bytes 0-3") << 24 << 32 << 7;
    QTest::newRow("bytes 4-7") << 56 << 32 << 39;
}

void TestDbcWriter::motorolaStartBitIsTheMostSignificantBit()
{
    QFETCH(int, lsbStart);
    QFETCH(int, length);
    QFETCH(int, dbcStart);
    QCOMPARE(DbcWriter::motorolaStartBit(lsbStart, length), dbcStart);
}

void TestDbcWriter::rangeIsPhysical_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::newRow("year byte after 2000") << 8 << false << 1.0 << 2000.0 << 2000.0 << 2255.0;
    QTest::newRow("capacity in 0.01 Ah") << 16 << false << 0.01 << 0.0 << 0.0 << 655.35;
    QTest::newRow("signed") << 8 << true << 0.5 << 0.0 << -64.0 << 63.5;
    QTest::newRow("negative factor") << 4 << false << -2.0 << 10.0 << -20.0 << 10.0;
}

void TestDbcWriter::rangeIsPhysical()
{
    QFETCH(int, length);
    QFETCH(bool, isSigned);
    QFETCH(double, factor);
    QFETCH(double, offset);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    const DbcWriter::Range range = DbcWriter::physicalRange(length, isSigned, factor, offset);
    QCOMPARE(range.minimum, minimum);
    QCOMPARE(range.maximum, maximum);
}

void TestDbcWriter::matchesTheHandWrittenMessages()
{
    QFile golden(QStringLiteral(BMSCTL_TEST_DATA "/batteries_1_and_12_selected.dbc"));
    QVERIFY(golden.open(QIODevice::ReadOnly));
    const Sections expected = sectionsOf(QString::fromLatin1(golden.readAll()));
    const SignalValues catalogue;
    const Sections written = sectionsOf(DbcWriter(catalogue).write({ 1, 12 }));

    QCOMPARE(written.header, expected.header);
    QCOMPARE(expected.messages.size(), 6);
    for (auto it = expected.messages.cbegin(); it != expected.messages.cend(); ++it)
        QCOMPARE(written.messages.value(it.key()), it.value());
    QCOMPARE(written.trailer, expected.trailer);
}

void TestDbcWriter::describesEveryFrameKindOfEveryBattery()
{
    const SignalValues catalogue;
    const QString text = DbcWriter(catalogue).write({ 0, 27 });
    QCOMPARE(text.count(QStringLiteral("\nBO_ ")), 2 * 26);
    QCOMPARE(text.count(QStringLiteral("\n SG_ ")), 2 * 210);
    // DBC files are single-byte text.
    for (QChar c : text)
        QVERIFY2(c.unicode() < 128, qPrintable(QString(c)));
}

void TestDbcWriter::badBatteryListIsEchoedAsGiven()
{
    QList<int> ids;
    QString error;
    for (const QString bad : { "-1", "3-40", "1-2-3" }) {
        QVERIFY(!IdList::parse("0," + bad, &ids, &error));
        QVERIFY2(error.contains('"' + bad + '"'), qPrintable(error));
    }
}

QTEST_GUILESS_MAIN(TestDbcWriter)
#include "tst_dbcwriter.moc"
