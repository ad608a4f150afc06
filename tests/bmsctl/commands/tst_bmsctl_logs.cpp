// bmsctl's traffic logs in every format against an independent implementation, python-can: its
// readers read what `bmsctl convert` writes, and bmsctl reads what its writers write, frame for
// frame and to the microsecond; decode reads a log as it comes, not whole first; and what bmsctl
// echoes of a hostile log stays plain text.

#include "bmsctlrun.h"
#include "formats/blfobject.h"
#include "formats/candumplogreader.h"
#include "formats/candumplogwriter.h"

#include <QTemporaryDir>

#include <sys/stat.h>

class TestBmsctlLogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pythonCanReadsWhatBmsctlWrites_data();
    void pythonCanReadsWhatBmsctlWrites();
    void bmsctlReadsWhatPythonCanWrites_data();
    void bmsctlReadsWhatPythonCanWrites();
    void decodeReadsTheLogAsItComes_data();
    void decodeReadsTheLogAsItComes();
    void decodeEchoesNoTerminalEscape_data();
    void decodeEchoesNoTerminalEscape();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

namespace {

// SECONDS:IDENTIFIER#DATA, as pycan_log.py takes them: broadcasts of two batteries, an 11-bit
// frame, an empty one, microseconds apart and an hour later.
const QStringList Frames = {
    "1700000000.123456:02008001#0212F7D03E8FA002",
    "1700000000.123457:02008002#0212F7D03E8F",
    "1700000000.223458:123#0102",
    "1700000000.323459:1FFFFFFF#",
    "1700003600.999999:18FF50E5#0011223344556677",
};

// The frames as pycan_log.py prints them: microseconds from the first, IDENTIFIER#DATA.
QStringList relative(const QStringList &frames)
{
    QStringList result;
    qint64 firstUs = -1;
    for (const QString &frame : frames) {
        const QStringList parts = frame.split(':');
        const QStringList seconds = parts.at(0).split('.');
        const qint64 timeUs = seconds.at(0).toLongLong() * 1000000 + seconds.at(1).toLongLong();
        if (firstUs < 0)
            firstUs = timeUs;
        result.append(QStringLiteral("%1:%2").arg(timeUs - firstUs).arg(parts.at(1)));
    }
    return result;
}

QStringList pythonCan(const QStringList &arguments, QString *error)
{
    QProcess python;
    python.start(QStringLiteral(PYTHON3_PATH),
        QStringList { BMSCTL_TEST_SOURCE "/commands/pycan_log.py" } + arguments);
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        *error = QStringLiteral("python-can failed (scripts/install-deps.sh installs python3-can): "
                                "%1")
                     .arg(QString::fromUtf8(python.readAllStandardError()));
        return {};
    }
    return QString::fromLatin1(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

void TestBmsctlLogs::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The frames as a candump log of bmsctl's, the source of every conversion.
    CandumpLogWriter writer;
    QVERIFY(writer.open(path("frames.log"), true));
    for (const QString &text : Frames) {
        const QStringList parts = text.split(':');
        const QStringList seconds = parts.at(0).split('.');
        const QStringList idData = parts.at(1).split('#');
        LoggedFrame frame;
        frame.timeUs = seconds.at(0).toLongLong() * 1000000 + seconds.at(1).toLongLong();
        frame.interfaceName = QStringLiteral("can0");
        frame.id = idData.at(0).toUInt(nullptr, 16);
        frame.extended = idData.at(0).size() == 8;
        frame.data = QByteArray::fromHex(idData.at(1).toLatin1());
        QVERIFY(writer.write(frame));
    }
    QVERIFY(writer.close());
}

void TestBmsctlLogs::pythonCanReadsWhatBmsctlWrites_data()
{
    QTest::addColumn<QString>("extension");
    for (const char *extension : { "asc", "trc", "blf" })
        QTest::newRow(extension) << QString::fromLatin1(extension);
}

void TestBmsctlLogs::pythonCanReadsWhatBmsctlWrites()
{
    QFETCH(QString, extension);
    const QString out = path("bmsctl." + extension);
    const BmsctlRun convert = BmsctlRun::run({ "convert", path("frames.log"), out, "--overwrite" });
    QVERIFY2(convert.exitCode == 0, convert.said());
    QString error;
    const QStringList read = pythonCan({ "read", out }, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(read, relative(Frames));
}

void TestBmsctlLogs::bmsctlReadsWhatPythonCanWrites_data()
{
    pythonCanReadsWhatBmsctlWrites_data();
}

void TestBmsctlLogs::bmsctlReadsWhatPythonCanWrites()
{
    QFETCH(QString, extension);
    const QString written = path("python." + extension);
    QString error;
    pythonCan(QStringList { "write", written } + Frames, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // Read by content too: the extension says nothing.
    const QString unnamed = path("python-" + extension + ".dat");
    QFile::remove(unnamed);
    QVERIFY(QFile::copy(written, unnamed));
    const BmsctlRun convert
        = BmsctlRun::run({ "convert", unnamed, path("back.log"), "--overwrite" });
    QVERIFY2(convert.exitCode == 0, convert.said());
    CandumpLogReader reader;
    QVERIFY(reader.open(path("back.log")));
    QStringList read;
    LoggedFrame frame;
    qint64 firstUs = -1;
    while (reader.next(&frame)) {
        if (firstUs < 0)
            firstUs = frame.timeUs;
        read.append(QStringLiteral("%1:%2#%3")
                        .arg(frame.timeUs - firstUs)
                        .arg(frame.id, frame.extended ? 8 : 3, 16, QLatin1Char('0'))
                        .toUpper()
                        .arg(QString::fromLatin1(frame.data.toHex().toUpper())));
    }
    QCOMPARE(read, relative(Frames));

    const BmsctlRun decode = BmsctlRun::run({ "decode", written });
    QVERIFY2(decode.exitCode == 0 && decode.err.contains("2 frames decoded, 3 other frames"),
        decode.said());
}

void TestBmsctlLogs::decodeReadsTheLogAsItComes_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("rest");
    // Battery 1's pack status, 53.0 V, then battery 2's.
    const QByteArray data = QByteArray::fromHex("02120DB0C83D9001");
    QTest::newRow("candump") << "log" << QByteArray("(1.000000) can0 02008001#02120DB0C83D9001\n")
                             << QByteArray("(2.000000) can0 02008002#02120DB0C83D9001\n");
    QTest::newRow("asc") << "asc"
                         << QByteArray("base hex  timestamps absolute\n"
                                       " 1.000000 1  2008001x Rx d 8 02 12 0D B0 C8 3D 90 01\n")
                         << QByteArray(" 2.000000 1  2008002x Rx d 8 02 12 0D B0 C8 3D 90 01\n");
    QTest::newRow("trc") << "trc"
                         << QByteArray(";$FILEVERSION=2.1\n"
                                       " 1 1000.000 DT 1 02008001 Rx - 8 02 12 0D B0 C8 3D 90 01\n")
                         << QByteArray(
                                " 2 2000.000 DT 1 02008002 Rx - 8 02 12 0D B0 C8 3D 90 01\n");
    LoggedFrame frame;
    frame.id = 0x02008001;
    frame.data = data;
    const QByteArray first = BlfObject::fileHeader({}) + BlfObject::canMessage(frame, 0);
    frame.id = 0x02008002;
    QTest::newRow("blf") << "blf" << first << BlfObject::canMessage(frame, 0);
}

void TestBmsctlLogs::decodeReadsTheLogAsItComes()
{
    QFETCH(QString, extension);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, rest);
    // A pipe: decode must give the first frame's values while the rest is still to come.
    const QString live = path("live." + extension);
    QFile::remove(live);
    QCOMPARE(::mkfifo(QFile::encodeName(live).constData(), 0600), 0);
    QProcess decode;
    decode.start(QStringLiteral(BMSCTL_PATH), { "decode", live });
    QFile pipe(live);
    QVERIFY(pipe.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QCOMPARE(pipe.write(first), first.size());
    QString out;
    QTRY_VERIFY2_WITH_TIMEOUT((out += QString::fromUtf8(decode.readAllStandardOutput()))
                                  .contains(",1,PackStatus,SumVolt,53.0,V"),
        qPrintable(out + decode.readAllStandardError()), 10000);
    QCOMPARE(pipe.write(rest), rest.size());
    pipe.close();
    QVERIFY(decode.waitForFinished(10000));
    out += QString::fromUtf8(decode.readAllStandardOutput());
    QVERIFY2(decode.exitCode() == 0 && out.contains(",2,PackStatus,SumVolt,53.0,V"),
        qPrintable(out + decode.readAllStandardError()));
}

void TestBmsctlLogs::decodeEchoesNoTerminalEscape_data()
{
    QTest::addColumn<QByteArray>("log");
    const QByteArray hostile = "\x1b]0;X\x07\x1b[2J";
    QTest::newRow("candump direction") << "(1.0) can0 02008001#00 " + hostile + "\n";
    QTest::newRow("candump identifier") << "(1.0) can0 " + hostile + "#00\n";
    QTest::newRow("candump data") << "(1.0) can0 02008001#" + hostile + "\n";
    QTest::newRow("asc line") << "date Tue Nov 14 10:13:20.123 PM 2023\n" + hostile + "\n";
    QTest::newRow("asc identifier")
        << "base hex  timestamps absolute\n 0.1 1 " + hostile + " Rx d 1 00\n";
    QTest::newRow("trc data byte")
        << ";$FILEVERSION=2.1\n 1 1.0 DT 1 02008001 Rx - 1 " + hostile + "\n";
}

void TestBmsctlLogs::decodeEchoesNoTerminalEscape()
{
    QFETCH(QByteArray, log);
    QFile file(path("hostile"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(log);
    file.close();
    const BmsctlRun decode = BmsctlRun::run({ "decode", path("hostile") });
    QVERIFY2(decode.exitCode == 1 && decode.err.contains("skipped: "), decode.said());
    QVERIFY2(decode.err.contains("\\x1b") && !decode.err.contains('\x1b')
            && !decode.err.contains('\x07'),
        decode.said());
}

QTEST_GUILESS_MAIN(TestBmsctlLogs)
#include "tst_bmsctl_logs.moc"
