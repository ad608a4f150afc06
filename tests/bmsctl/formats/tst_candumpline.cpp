// The candump log line: what is read, what is refused and why, and that writing and reading
// agree.

#include "formats/candumpline.h"
#include "formats/candumplogreader.h"

#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(LoggedFrame)

class TestCandumpLine : public QObject
{
    Q_OBJECT

private slots:
    void readsFrames_data();
    void readsFrames();
    void refusesWithAReason_data();
    void refusesWithAReason();
    void writesWhatItReads_data();
    void writesWhatItReads();
    void readerSkipsBadLinesByNumber();
};

namespace {

LoggedFrame frame(
    qint64 timeUs, const char *interfaceName, quint32 id, bool extended, const char *hex)
{
    LoggedFrame result;
    result.timeUs = timeUs;
    result.interfaceName = QString::fromLatin1(interfaceName);
    result.id = id;
    result.extended = extended;
    result.data = QByteArray::fromHex(hex);
    return result;
}

// What is wrong with reading the line as the expected frame: empty when it reads as that frame.
QString readsAs(const QString &line, const LoggedFrame &expected)
{
    LoggedFrame parsed;
    QString reason;
    if (!CandumpLine::parse(line, &parsed, &reason))
        return QStringLiteral("refused: %1").arg(reason);
    QStringList wrong;
    if (parsed.timeUs != expected.timeUs)
        wrong << QStringLiteral("time %1 us").arg(parsed.timeUs);
    if (parsed.interfaceName != expected.interfaceName)
        wrong << QStringLiteral("interface %1").arg(parsed.interfaceName);
    if (parsed.id != expected.id)
        wrong << QStringLiteral("id %1").arg(parsed.id, 0, 16);
    if (parsed.extended != expected.extended)
        wrong << QStringLiteral("extended %1").arg(parsed.extended);
    if (parsed.data != expected.data)
        wrong << QStringLiteral("data %1").arg(QString::fromLatin1(parsed.data.toHex()));
    return wrong.isEmpty() ? QString()
                           : QStringLiteral("read as ") + wrong.join(QStringLiteral(", "));
}

} // namespace

void TestCandumpLine::readsFrames_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<LoggedFrame>("expected");
    QTest::newRow("29-bit, eight bytes")
        << "(1700000000.123456) can0 18880180#0011223344556677"
        << frame(1700000000123456, "can0", 0x18880180, true, "0011223344556677");
    QTest::newRow("11-bit, two bytes")
        << "(0.000001) vcan1 7FF#A1B2" << frame(1, "vcan1", 0x7FF, false, "a1b2");
    QTest::newRow("no data") << "(5.5) can0 02008001#"
                             << frame(5500000, "can0", 0x02008001, true, "");
    QTest::newRow("lower-case hex") << "(1.000000) can0 1fffffff#deadbeef"
                                    << frame(1000000, "can0", 0x1FFFFFFF, true, "deadbeef");
    QTest::newRow("CR LF end and blanks") << "  (2.000002)\tcan0   12345678#01 \r\n"
                                          << frame(2000002, "can0", 0x12345678, true, "01");
    QTest::newRow("nanoseconds cut to micros")
        << "(3.123456789) can0 123#" << frame(3123456, "can0", 0x123, false, "");
    QTest::newRow("whole seconds") << "(4) can0 123#" << frame(4000000, "can0", 0x123, false, "");
    QTest::newRow("thirteen digits of seconds")
        << "(1700000000123.5) can0 123#" << frame(1700000000123500000, "can0", 0x123, false, "");
    QTest::newRow("leading zeros")
        << "(0001.000001) can0 123#" << frame(1000001, "can0", 0x123, false, "");
    // As python-can writes them: the direction after the data.
    QTest::newRow("received") << "(1700000000.500000) can0 02008001#0212 R"
                              << frame(1700000000500000, "can0", 0x02008001, true, "0212");
    QTest::newRow("transmitted") << "(1.250000) vcan1 123# T"
                                 << frame(1250000, "vcan1", 0x123, false, "");
}

void TestCandumpLine::readsFrames()
{
    QFETCH(QString, line);
    QFETCH(LoggedFrame, expected);
    const QString problem = readsAs(line, expected);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestCandumpLine::refusesWithAReason_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("reason");
    QTest::newRow("remote frame") << "(1.0) can0 18E18001#R"
                                  << "remote frame";
    QTest::newRow("remote frame with length") << "(1.0) can0 123#R8"
                                              << "remote frame";
    QTest::newRow("CAN FD") << "(1.0) can0 123##1AABB"
                            << "CAN FD";
    QTest::newRow("error frame") << "(1.0) can0 20000080#0000000000000000"
                                 << "error frame";
    QTest::newRow("too large 29-bit id") << "(1.0) can0 40000000#00"
                                         << "too large";
    QTest::newRow("too large 11-bit id") << "(1.0) can0 800#00"
                                         << "too large";
    QTest::newRow("four-digit id") << "(1.0) can0 1234#00"
                                   << "3 or 8 hex digits";
    QTest::newRow("odd hex digits") << "(1.0) can0 123#ABC"
                                    << "pairs of hex digits";
    QTest::newRow("not hex") << "(1.0) can0 123#GG"
                             << "pairs of hex digits";
    QTest::newRow("nine bytes") << "(1.0) can0 123#001122334455667788"
                                << "more than 8";
    QTest::newRow("no hash") << "(1.0) can0 12300"
                             << "no '#'";
    QTest::newRow("no parentheses") << "1.0 can0 123#00"
                                    << "parentheses";
    QTest::newRow("negative time") << "(-1.0) can0 123#00"
                                   << "negative";
    QTest::newRow("time with a letter") << "(1.0x) can0 123#00"
                                        << "not seconds";
    QTest::newRow("seconds beyond 64-bit micros") << "(9223372036854.0) can0 123#00"
                                                  << "more than 9223372036853 seconds";
    QTest::newRow("no interface") << "(1.0) 123#00"
                                  << "2 fields";
    QTest::newRow("trailing word") << "(1.0) can0 123#00 X"
                                   << "not a direction, R or T: X";
    QTest::newRow("two trailing words") << "(1.0) can0 123#00 R R"
                                        << "5 fields";
    const QString megabyte(1 << 20, QLatin1Char('1'));
    QTest::newRow("a megabyte of time") << "(" + megabyte + ") can0 123#00"
                                        << "seconds: (1111";
    QTest::newRow("a megabyte of data") << "(1.0) can0 123#" + megabyte << "more than 8";
}

void TestCandumpLine::refusesWithAReason()
{
    QFETCH(QString, line);
    QFETCH(QString, reason);
    LoggedFrame parsed;
    QString given;
    QVERIFY(!CandumpLine::parse(line, &parsed, &given));
    QVERIFY2(given.contains(reason), qPrintable(given));
    // A reason quotes a readable part of what it refuses, however long.
    QVERIFY2(given.size() < 120, qPrintable(given.left(200)));
}

void TestCandumpLine::writesWhatItReads_data()
{
    QTest::addColumn<LoggedFrame>("frame");
    QTest::addColumn<QString>("line");
    // Micros are written with six digits, even a leading zero one.
    QTest::newRow("29-bit") << frame(1700000000012345, "can0", 0x02008001, true, "0212f7d03e8fa002")
                            << "(1700000000.012345) can0 02008001#0212F7D03E8FA002";
    QTest::newRow("11-bit, empty") << frame(7, "vcan0", 0x05, false, "") << "(0.000007) vcan0 005#";
}

void TestCandumpLine::writesWhatItReads()
{
    QFETCH(LoggedFrame, frame);
    QFETCH(QString, line);
    QCOMPARE(CandumpLine::format(frame), line);
    const QString problem = readsAs(line, frame);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestCandumpLine::readerSkipsBadLinesByNumber()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("mixed.log"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("(1.000000) can0 02008001#0011223344556677\n"
               "\n"
               "garbage\n"
               "(2.000000) can0 02008002#0011223344556677\n"
               "(3.000000) can0 123#R\n");
    file.close();

    CandumpLogReader reader;
    QVERIFY(reader.open(path));
    LoggedFrame frame;
    QList<qint64> lines;
    while (reader.next(&frame))
        lines.append(frame.line);
    QCOMPARE(lines, (QList<qint64> { 1, 4 }));
    QCOMPARE(reader.skipped().count(), 2);
    QCOMPARE(reader.skipped().shown().at(0).where, QStringLiteral("3"));
    QCOMPARE(reader.skipped().shown().at(1).where, QStringLiteral("5"));
    QVERIFY(!reader.open(dir.filePath(QStringLiteral("absent.log"))));
}

QTEST_GUILESS_MAIN(TestCandumpLine)
#include "tst_candumpline.moc"
