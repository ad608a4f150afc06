// The traffic log formats: each writer's log read back by its reader, what the readers take from
// the field's variants of each format, what they skip and refuse, and how a file's format is told.

#include "formats/blfobject.h"
#include "formats/echoedtext.h"
#include "formats/logformat.h"
#include "formats/textlogreader.h"

#include <QTemporaryDir>
#include <QtTest>

class TestLogFormats : public QObject
{
    Q_OBJECT

private slots:
    void readsBackWhatItWrites_data();
    void readsBackWhatItWrites();
    void readsTheFieldsVariants_data();
    void readsTheFieldsVariants();
    void toldByExtensionOrContent_data();
    void toldByExtensionOrContent();
    void hugeLineIsSkippedNotHeld();
    void brokenBlfStopsWithTheOffset_data();
    void brokenBlfStopsWithTheOffset();
    void echoedTextCarriesNoControlCharacter();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
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

// "time interface id ext data", for comparing.
QString text(const LoggedFrame &frame)
{
    return QStringLiteral("%1 %2 %3%4 %5")
        .arg(frame.timeUs)
        .arg(frame.interfaceName)
        .arg(frame.id, 0, 16)
        .arg(frame.extended ? QStringLiteral("x") : QString())
        .arg(QString::fromLatin1(frame.data.toHex()));
}

struct ReadResult
{
    QStringList frames;
    qint64 skipped = 0;
    QStringList reasons;
    QString error;
};

ReadResult readAll(LogFormat::Kind kind, const QString &path)
{
    ReadResult result;
    const std::unique_ptr<LogReader> reader = LogFormat::reader(kind);
    if (!reader->open(path)) {
        result.error = reader->errorString();
        return result;
    }
    LoggedFrame frame;
    while (reader->next(&frame))
        result.frames.append(text(frame));
    result.error = reader->errorString();
    result.skipped = reader->skipped().count();
    for (const SkippedLines::Place &place : reader->skipped().shown())
        result.reasons.append(place.where + QLatin1Char(' ') + place.reason);
    return result;
}

// 2023-11-14 22:13:20.123456 UTC and on: microseconds, both identifier kinds, every length, a
// second bus, a frame earlier than the one before.
const QList<LoggedFrame> Frames = {
    frame(1700000000123456, "can0", 0x02008001, true, "0212F7D03E8FA002"),
    frame(1700000000223457, "can0", 0x123, false, "0102"),
    frame(1700000000323458, "can1", 0x1FFFFFFF, true, ""),
    frame(1700000000323459, "can0", 0x7FF, false, "00"),
    frame(1700000000300000, "can0", 0x0, true, "FFFFFFFFFFFFFF"),
    frame(1700003600999999, "can0", 0x18FF50E5, true, "0011223344556677"),
};

} // namespace

QString TestLogFormats::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

void TestLogFormats::readsBackWhatItWrites_data()
{
    QTest::addColumn<int>("kind");
    for (const QString &name : LogFormat::names())
        QTest::newRow(qPrintable(name)) << int(*LogFormat::fromName(name));
}

void TestLogFormats::readsBackWhatItWrites()
{
    QFETCH(int, kind);
    const QString path = m_dir.filePath(QStringLiteral("roundtrip.") + QString::number(kind));
    const std::unique_ptr<LogWriter> writer = LogFormat::writer(LogFormat::Kind(kind));
    QVERIFY2(writer->open(path, true), qPrintable(writer->errorString()));
    QStringList expected;
    for (const LoggedFrame &frame : Frames) {
        QVERIFY(writer->write(frame));
        expected.append(text(frame));
    }
    QVERIFY(writer->close());
    QCOMPARE(LogFormat::detect(path), LogFormat::Kind(kind));
    const ReadResult read = readAll(LogFormat::Kind(kind), path);
    QVERIFY2(read.error.isEmpty() && read.skipped == 0,
        qPrintable(read.error + read.reasons.join('\n')));
    QCOMPARE(read.frames, expected);
}

void TestLogFormats::readsTheFieldsVariants_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QStringList>("reasons");
    const QString frameA = QStringLiteral("1500000 can0 2008001x 0102");
    const QString frameB = QStringLiteral("2750000 can1 123 ");

    QTest::newRow("asc: hex, absolute, events and every kind of frame skipped")
        << int(LogFormat::Asc)
        << QByteArray(
               "date Thu Jan 01 12:00:00.000 AM 1970\n"
               "base hex  timestamps absolute\n"
               "internal events logged\n"
               "// version 9.0.0\n"
               "Begin Triggerblock Thu Jan 01 12:00:01.000 AM 1970\n"
               "   0.000000 Start of measurement\n"
               "   0.500000 1  2008001x        Rx   d 2 01 02  Length = 280000 BitCount = 72\n"
               "   0.600000 1  Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%\n"
               "   0.700000 1  100             Rx   r 2\n"
               "   0.800000 CANFD   1 Rx        101  0 0 9 12 00 00\n"
               "   0.900000 1  ErrorFrame\n"
               "   1.750000 2  123             Tx   d 0\n"
               "   1.800000 1  12G             Rx   d 1 00\n"
               "End TriggerBlock\n")
        << QStringList { frameA, frameB }
        << QStringList { "9 a remote frame, which this bus does not carry",
               "10 a CAN FD frame, which this bus does not carry", "11 an error frame",
               "13 the identifier is not a 11-bit one in hex: 12G" };
    QTest::newRow("asc: decimal, relative time stamps")
        << int(LogFormat::Asc)
        << QByteArray("date Thu Jan 01 00:00:01 1970\n"
                      "base dec  timestamps relative\n"
                      "   0.500000 1  33587201x       Rx   d 2 1 2\n"
                      "   1.250000 2  291             Rx   d 0\n")
        << QStringList { frameA, frameB } << QStringList {};
    QTest::newRow("asc: a start before the epoch, time stamps beyond 64 bits or before it")
        << int(LogFormat::Asc)
        << QByteArray("date Mon Jan 01 12:00:00.000 AM 1900\n"
                      "   9223372036854.775807 1  2008001x        Rx   d 0\n"
                      "   1.000000 1  2008001x        Rx   d 0\n")
        << QStringList {}
        << QStringList {
               "2 neither a header line nor an event after a time stamp: "
               "9223372036854.775807 1 2008001x Rx d 0",
               "3 neither a header line nor an event after a time stamp: 1.000000 1 2008001x Rx d 0"
           };
    QTest::newRow("trc 1.1")
        << int(LogFormat::Trc)
        << QByteArray(";$FILEVERSION=1.1\n;$STARTTIME=25569.0000115740741\n"
                      ";   comment\n"
                      "     1)       500.0  Rx   02008001  2  01 02\n"
                      "     2)       600.0  Warng  FFFFFFFF  4  00 00 00 08  BUSHEAVY\n"
                      "     3)       700.0  Rx       0100  2  RTR\n"
                      "     4)      1750.0  Rx       0123  0\n")
        << QStringList { frameA, QStringLiteral("2750000 can0 123 ") }
        << QStringList { "6 a remote frame, which this bus does not carry" };
    QTest::newRow("trc 1.3") << int(LogFormat::Trc)
                             << QByteArray(";$FILEVERSION=1.3\n;$STARTTIME=25569.0000115740741\n"
                                           "     1)       500.0 1  Rx   02008001 -  2  01 02\n"
                                           "     2)      1750.0 2  Rx       0123 -  0\n"
                                           "     3)      1800.0 1  Error    0000 -  0\n")
                             << QStringList { frameA, frameB }
                             << QStringList { "5 an error frame" };
    QTest::newRow("trc 2.0")
        << int(LogFormat::Trc)
        << QByteArray(
               ";$FILEVERSION=2.0\n;$STARTTIME=25569.0000115740741\n"
               ";$COLUMNS=N,O,T,I,d,l,D\n"
               "      1       500.000 DT 02008001 Rx 2  01 02\n"
               "      2       600.000 FD     0101 Rx 12 00 00 00 00 00 00 00 00 00 00 00 00\n"
               "      3       700.000 ST          Rx    00 00 00 08\n"
               "      4      1750.000 DT     0123 Rx 0\n")
        << QStringList { frameA, QStringLiteral("2750000 can0 123 ") }
        << QStringList { "5 a CAN FD frame, which this bus does not carry" };
    QTest::newRow("trc 2.1, bad lines")
        << int(LogFormat::Trc)
        << QByteArray(";$FILEVERSION=2.1\n;$STARTTIME=25569.0000115740741\n"
                      ";$COLUMNS=N,O,T,B,I,d,R,L,D\n"
                      "      1       500.000 DT  1 02008001 Rx -  2    01 02\n"
                      "      2       600.000 RR  1     0100 Rx -  2\n"
                      "      3       650.000 DT  1 02008001 Rx -  2    01\n"
                      "      4      1750.000 DT  2     0123 Rx -  0\n")
        << QStringList { frameA, frameB }
        << QStringList { "5 a remote frame, which this bus does not carry",
               "6 2 data bytes announced, 1 given" };
}

void TestLogFormats::readsTheFieldsVariants()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, log);
    QFETCH(QStringList, frames);
    QFETCH(QStringList, reasons);
    // The header's start is local time; these logs' are taken in UTC.
    qputenv("TZ", "UTC");
    const QString path = write(QStringLiteral("variant"), log);
    QCOMPARE(LogFormat::detect(path), LogFormat::Kind(kind));
    const ReadResult read = readAll(LogFormat::Kind(kind), path);
    QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
    QCOMPARE(read.frames, frames);
    QCOMPARE(read.reasons, reasons);
}

void TestLogFormats::toldByExtensionOrContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("kind");
    QTest::newRow("extension over content") << "a.asc" << QByteArray("LOGG") << int(LogFormat::Asc);
    QTest::newRow("extension in capitals") << "a.TRC" << QByteArray() << int(LogFormat::Trc);
    QTest::newRow("blf by its signature")
        << "a.bin" << QByteArray("LOGG\x90") << int(LogFormat::Blf);
    QTest::newRow("trc by its header")
        << "a.txt" << QByteArray("\n;$FILEVERSION=2.1\n") << int(LogFormat::Trc);
    QTest::newRow("asc by its date line")
        << "a.txt" << QByteArray("date Tue Nov 14 2023\n") << int(LogFormat::Asc);
    QTest::newRow("candump otherwise")
        << "a.txt" << QByteArray("(1.0) can0 123#00\n") << int(LogFormat::Candump);
}

void TestLogFormats::toldByExtensionOrContent()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, kind);
    QCOMPARE(LogFormat::detect(write(name, content)), LogFormat::Kind(kind));
}

void TestLogFormats::hugeLineIsSkippedNotHeld()
{
    // Ten megabytes without a line end between two frames, in each text format's reader.
    const QByteArray huge(10 * 1024 * 1024, 'A');
    const QString path = write(QStringLiteral("huge.log"),
        "(1.000000) can0 02008001#00\n" + huge + "\n(2.000000) can0 02008002#00\n");
    const ReadResult read = readAll(LogFormat::Candump, path);
    QCOMPARE(read.frames.size(), 2);
    QCOMPARE(read.reasons,
        QStringList {
            QStringLiteral("2 a line longer than %1 bytes").arg(TextLogReader::MaxLineBytes) });
}

void TestLogFormats::brokenBlfStopsWithTheOffset_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QString>("error");
    BlfObject::FileHeader header;
    const QByteArray fileHeader = BlfObject::fileHeader(header);
    const QByteArray message = BlfObject::canMessage(Frames.first(), 0);
    QTest::newRow("no object where one begins") << fileHeader + message + "JUNKJUNKJUNKJUNK"
                                                << "offset 192: no object";
    QTest::newRow("the file ends inside an object")
        << fileHeader + message.left(40) << "offset 144: the file ends inside an object";
    QTest::newRow("a container that does not unpack")
        << fileHeader + BlfObject::container("not zlib", 48)
        << "offset 144: a log container that does not unpack";
    QTest::newRow("an object larger than is read")
        << fileHeader + QByteArray("LOBJ\x10\x00\x01\x00\xFF\xFF\xFF\x7F\x01\x00\x00\x00", 16)
        << "offset 144: an object of 2147483647 bytes";
}

void TestLogFormats::brokenBlfStopsWithTheOffset()
{
    QFETCH(QByteArray, tail);
    QFETCH(QString, error);
    const ReadResult read = readAll(LogFormat::Blf, write(QStringLiteral("broken.blf"), tail));
    QVERIFY2(read.error.startsWith(error), qPrintable(read.error));
}

void TestLogFormats::echoedTextCarriesNoControlCharacter()
{
    QCOMPARE(EchoedText::of(QStringLiteral("a\x1b]0;X\x07\x1b[2J\x7f\u009b")),
        QStringLiteral("a\\x1b]0;X\\x07\\x1b[2J\\x7f\\x9b"));
    QCOMPARE(EchoedText::of(QString(50, 'x'), 40), QString(40, 'x') + QChar(0x2026));
}

QTEST_GUILESS_MAIN(TestLogFormats)
#include "tst_logformats.moc"
