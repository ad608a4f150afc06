#include "support/capturedestination.h"
#include "support/failingfiles.h"

#include "records/csvfile.h"
#include "records/csvsavejob.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class TestCsvFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void lineBytes_data();
    void lineBytes();
    void threeCellsAreSevenBytes();
    void existingFileIsReplacedNotAppended();
    void chineseTextIsUtf8WithoutByteOrderMark();
    void appendWithoutAnOpenFile_data();
    void appendWithoutAnOpenFile();
    void destructionSavesTheFile();
    void nothingReachesThePathBeforeClose();
    void openFailure_data();
    void openFailure();
    void fullDiskLeavesTheOldFileAndNoLeftovers();
    void fullDiskNoticedOnlyWhenClosing();
    void saveJobResults();
    void saveJobRunsOnItsOwnThread();

private:
    QTemporaryDir m_dir;
    QSharedPointer<CaptureDestination> m_capture;
};

void TestCsvFile::init()
{
    QVERIFY(m_dir.isValid());
    m_capture = CaptureDestination::attach();
}

void TestCsvFile::cleanup()
{
    CaptureDestination::detach(m_capture);
    m_capture.reset();
}

void TestCsvFile::lineBytes_data()
{
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain cells as they are")
        << QStringList { "2021-5-7", "-3000.0", "On" } << QByteArray("2021-5-7,-3000.0,On\r\n");
    QTest::newRow("no cells, an empty line") << QStringList() << QByteArray("\r\n");
    QTest::newRow("one empty cell") << QStringList { "" } << QByteArray("\r\n");
    QTest::newRow("empty cells keep their commas")
        << QStringList { "", "x", "" } << QByteArray(",x,\r\n");
    QTest::newRow("spaces and semicolons need no quotes")
        << QStringList { " a b ", "c;d" } << QByteArray(" a b ,c;d\r\n");
    QTest::newRow("a comma is quoted")
        << QStringList { "Volt, cell 1", "3.301" } << QByteArray("\"Volt, cell 1\",3.301\r\n");
    QTest::newRow("a quote is quoted and doubled")
        << QStringList { "say \"hi\"" } << QByteArray("\"say \"\"hi\"\"\"\r\n");
    QTest::newRow("a lone quote") << QStringList { "\"" } << QByteArray("\"\"\"\"\r\n");
    QTest::newRow("a line feed is quoted")
        << QStringList { "a\nb", "c" } << QByteArray("\"a\nb\",c\r\n");
    QTest::newRow("a carriage return is quoted")
        << QStringList { "a\rb" } << QByteArray("\"a\rb\"\r\n");
    QTest::newRow("a line end is quoted")
        << QStringList { "a\r\nb" } << QByteArray("\"a\r\nb\"\r\n");
    QTest::newRow("non-ASCII text as UTF-8")
        << QStringList { QStringLiteral("总电压"), QStringLiteral("℃") }
        << QByteArray("\xe6\x80\xbb\xe7\x94\xb5\xe5\x8e\x8b,\xe2\x84\x83\r\n");
}

void TestCsvFile::lineBytes()
{
    QFETCH(QStringList, cells);
    QFETCH(QByteArray, bytes);
    QCOMPARE(CsvFile::lineBytes(cells), bytes);

    // And through a file.
    const QString path = m_dir.filePath(QStringLiteral("line.csv"));
    {
        CsvFile file;
        QCOMPARE(file.open(path), 0);
        QCOMPARE(file.appendLine(cells), 0);
        QCOMPARE(file.close(), 0);
    }
    QCOMPARE(contents(path), bytes);
}

void TestCsvFile::threeCellsAreSevenBytes()
{
    const QString path = m_dir.filePath(QStringLiteral("abc.csv"));
    CsvFile file;
    QCOMPARE(file.open(path), 0);
    QCOMPARE(file.appendLine({ "a", "b", "c" }), 0);
    QCOMPARE(file.close(), 0);
    QCOMPARE(contents(path), QByteArray("a,b,c\r\n"));
    QCOMPARE(contents(path).size(), 7);
    // A second close does nothing.
    QCOMPARE(file.close(), 0);
    QVERIFY(!file.isOpen());
}

void TestCsvFile::existingFileIsReplacedNotAppended()
{
    const QString path = m_dir.filePath(QStringLiteral("ten.csv"));
    QByteArray ten;
    for (int i = 0; i < 10; ++i)
        ten += "old line " + QByteArray::number(i) + "\r\n";
    writeFile(path, ten);

    CsvFile file;
    QCOMPARE(file.open(path), 0);
    QCOMPARE(file.appendLine({ "new", "1" }), 0);
    QCOMPARE(file.appendLine({ "new", "2" }), 0);
    QCOMPARE(file.close(), 0);
    QCOMPARE(contents(path), QByteArray("new,1\r\nnew,2\r\n"));
}

void TestCsvFile::chineseTextIsUtf8WithoutByteOrderMark()
{
    const QString path = m_dir.filePath(QStringLiteral("chinese.csv"));
    CsvFile file;
    QCOMPARE(file.open(path), 0);
    QCOMPARE(file.appendLine({ QStringLiteral("日期"), QStringLiteral("时间") }), 0);
    QCOMPARE(file.close(), 0);
    const QByteArray bytes = contents(path);
    QVERIFY(!bytes.startsWith("\xef\xbb\xbf"));
    QCOMPARE(bytes, QByteArray("\xe6\x97\xa5\xe6\x9c\x9f,\xe6\x97\xb6\xe9\x97\xb4\r\n"));
}

void TestCsvFile::appendWithoutAnOpenFile_data()
{
    QTest::addColumn<QString>("openPath");
    QTest::newRow("never opened") << QString();
    QTest::newRow("after a failed open") << QStringLiteral("/no/such/folder/x.csv");
}

void TestCsvFile::appendWithoutAnOpenFile()
{
    QFETCH(QString, openPath);
    CsvFile file;
    if (!openPath.isEmpty())
        QCOMPARE(file.open(openPath), -1);
    m_capture->clear();
    QCOMPARE(file.appendLine({ "a" }), -1);
    QCOMPARE(m_capture->lines(),
        QStringList { QStringLiteral("WARN |CsvFile::appendLine: file not open yet. ") });
}

void TestCsvFile::destructionSavesTheFile()
{
    const QString path = m_dir.filePath(QStringLiteral("dropped.csv"));
    {
        CsvFile file;
        QCOMPARE(file.open(path), 0);
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(file.appendLine({ QString::number(i), "x" }), 0);
    }
    const QList<QByteArray> lines = contents(path).split('\n');
    QCOMPARE(lines.size(), 1001); // the last line end leaves an empty piece
    QCOMPARE(lines.at(999), QByteArray("999,x\r"));
}

void TestCsvFile::nothingReachesThePathBeforeClose()
{
    const QString path = m_dir.filePath(QStringLiteral("atomic.csv"));
    writeFile(path, "previous\r\n");
    CsvFile file;
    QCOMPARE(file.open(path), 0);
    // Far more than any write buffer holds.
    for (int i = 0; i < 20000; ++i)
        QCOMPARE(file.appendLine({ QString::number(i), QStringLiteral("a long enough cell") }), 0);
    QCOMPARE(contents(path), QByteArray("previous\r\n"));
    QCOMPARE(file.close(), 0);
    QVERIFY(contents(path).startsWith("0,a long enough cell\r\n1,"));
    QCOMPARE(FailingFiles::filesIn(m_dir.path()).filter(QStringLiteral("atomic")),
        QStringList { QStringLiteral("atomic.csv") });
}

void TestCsvFile::openFailure_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("folder missing") << m_dir.filePath(QStringLiteral("missing/deeper"));
    const QString unwritable = FailingFiles::unwritableFolder(m_dir);
    if (!unwritable.isEmpty())
        QTest::newRow("folder not writable") << unwritable;
    QTest::newRow("a file where the folder should be")
        << m_dir.filePath(QStringLiteral("plain-file"));
}

void TestCsvFile::openFailure()
{
    QFETCH(QString, folder);
    writeFile(m_dir.filePath(QStringLiteral("plain-file")), "not a folder");
    const QString path = folder + QStringLiteral("/events.csv");
    CsvFile file;
    QCOMPARE(file.open(path), -1);
    QVERIFY(!file.isOpen());
    QCOMPARE(m_capture->lines(),
        QStringList {
            QStringLiteral("WARN |CsvFile::open: failed to open file: \"%1\" ").arg(path) });
    QCOMPARE(file.close(), 0);
}

void TestCsvFile::fullDiskLeavesTheOldFileAndNoLeftovers()
{
    const QString path = m_dir.filePath(QStringLiteral("full.csv"));
    writeFile(path, "the previous save\r\n");
    CsvFile file;
    QCOMPARE(file.open(path), 0);
    int failedAt = -1;
    {
        FailingFiles::DiskFullAfter limit(64 * 1024);
        if (!limit.isActive())
            QSKIP("no file size limit on this system");
        for (int i = 0; i < 20000 && failedAt < 0; ++i) {
            if (file.appendLine({ QString::number(i), QStringLiteral("a long enough cell") }) != 0)
                failedAt = i;
        }
        // Lines after the first failure are refused without another log line.
        QCOMPARE(file.appendLine({ "more" }), -1);
        QCOMPARE(file.close(), -1);
    }
    QVERIFY2(failedAt > 0, "the writes never failed");
    QCOMPARE(contents(path), QByteArray("the previous save\r\n"));
    QCOMPARE(FailingFiles::filesIn(m_dir.path()).filter(QStringLiteral("full")),
        QStringList { QStringLiteral("full.csv") });
    const QStringList lines = m_capture->lines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(
        lines.at(0).startsWith(
            QStringLiteral("WARN |CsvFile::appendLine: failed to write file: \"%1\" ").arg(path)),
        qPrintable(lines.at(0)));
    QVERIFY2(lines.at(1).startsWith(QStringLiteral(
                 "WARN |CsvFile::close: failed to save file, it is left as it was: \"%1\" ")
                                        .arg(path)),
        qPrintable(lines.at(1)));
}

void TestCsvFile::fullDiskNoticedOnlyWhenClosing()
{
    // A few lines fit in the file's buffer: every appendLine succeeds, and the disk refuses
    // them only when close() puts them there.
    const QString path = m_dir.filePath(QStringLiteral("short.csv"));
    writeFile(path, "the previous save\r\n");
    CsvFile file;
    QCOMPARE(file.open(path), 0);
    FailingFiles::DiskFullAfter limit(100);
    if (!limit.isActive())
        QSKIP("no file size limit on this system");
    for (int i = 0; i < 20; ++i)
        QCOMPARE(file.appendLine({ QString::number(i), QStringLiteral("a long enough cell") }), 0);
    QCOMPARE(file.close(), -1);
    QCOMPARE(contents(path), QByteArray("the previous save\r\n"));
    QCOMPARE(FailingFiles::filesIn(m_dir.path()).filter(QStringLiteral("short")),
        QStringList { QStringLiteral("short.csv") });
    const QStringList lines = m_capture->lines();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.at(0).startsWith(QStringLiteral(
                 "WARN |CsvFile::close: failed to save file, it is left as it was: \"%1\" ")
                                        .arg(path)),
        qPrintable(lines.at(0)));
}

void TestCsvFile::saveJobResults()
{
    const auto rows = [](int row) { return QStringList { QString::number(row), "y" }; };
    const QString good = m_dir.filePath(QStringLiteral("job.csv"));
    QCOMPARE(CsvSaveJob::write(good, { "n", "v" }, 3, rows), CsvSaveJob::Saved);
    QCOMPARE(contents(good), QByteArray("n,v\r\n0,y\r\n1,y\r\n2,y\r\n"));

    QCOMPARE(CsvSaveJob::write(m_dir.filePath(QStringLiteral("missing/job.csv")), { "n" }, 3, rows),
        CsvSaveJob::OpenFailed);

    const QString full = m_dir.filePath(QStringLiteral("jobfull.csv"));
    FailingFiles::DiskFullAfter limit(16 * 1024);
    if (!limit.isActive())
        QSKIP("no file size limit on this system");
    QCOMPARE(CsvSaveJob::write(full, { "n" }, 100000, rows), CsvSaveJob::WriteFailed);
    QVERIFY(!QFile::exists(full));
}

void TestCsvFile::saveJobRunsOnItsOwnThread()
{
    const QString path = m_dir.filePath(QStringLiteral("threaded.csv"));
    QThread *rowThread = nullptr;
    CsvSaveJob job(path, { "h" }, 2, [&rowThread](int row) {
        rowThread = QThread::currentThread();
        return QStringList { QString::number(row) };
    });
    QSignalSpy finished(&job, &CsvSaveJob::finished);
    job.start();
    job.start(); // only the first counts
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).value<CsvSaveJob::Result>(), CsvSaveJob::Saved);
    QVERIFY(rowThread && rowThread != QThread::currentThread());
    QVERIFY(!job.isRunning());
    QCOMPARE(contents(path), QByteArray("h\r\n0\r\n1\r\n"));
}

QTEST_GUILESS_MAIN(TestCsvFile)
#include "tst_csvfile.moc"
