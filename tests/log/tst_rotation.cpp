#include "support/failingfiles.h"
#include "support/stderrcapture.h"

#include "log/destinationfactory.h"
#include "log/filedestination.h"
#include "log/logmessage.h"
#include "log/sizerotationstrategy.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace QsLogging;

namespace {

constexpr qint64 MaxLogSize = 20971520;

LogMessage infoMessage(const QString &text)
{
    return LogMessage(text, QDateTime::currentDateTimeUtc(), InfoLevel);
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// A log file of the given size without writing all of it.
void makeLogOfSize(const QString &path, qint64 size)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
}

// Rotation whose renames fail, to see the failure reported.
class FailingRenameStrategy : public SizeRotationStrategy
{
public:
    bool renameFile(const QString &, const QString &) override { return false; }
};

} // namespace

class TestRotation : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void lineCrossingTheLimitOpensTheNewFile();
    void lineReachingExactlyTheLimitStaysInTheOldFile();
    void countingRestartsWithTheNewFile();
    void sizeCountingContinuesFromTheExistingFile();
    void firstRotationRenamesLogToDotOne();
    void secondRotationShiftsDotOneToDotTwo();
    void oldestBackupIsDeletedWhenAllSlotsAreTaken();
    void zeroBackupsDeletesTheLog();
    void backupCountIsCappedAtTen();
    void rotationNeverGoesBeyondTenBackups();
    void renameFailureIsReportedOnStandardError();
    void unopenableFileIsReportedAndWritesAreLost();
    void logResumesOnceWritesSucceedAgain_data();
    void logResumesOnceWritesSucceedAgain();
    void nullRotationTruncatesAtOpen();

private:
    QString logPath() const { return m_dir->filePath(QStringLiteral("logs.txt")); }
    QString backup(int i) const { return logPath() + QLatin1Char('.') + QString::number(i); }

    QScopedPointer<QTemporaryDir> m_dir;
};

void TestRotation::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestRotation::lineCrossingTheLimitOpensTheNewFile()
{
    const QString line = QStringLiteral("crossing");
    const LogMessage message = infoMessage(line);
    const qint64 lineSize = message.formatted.toUtf8().size();
    // Counted total after this line: MaxLogSize + 1.
    makeLogOfSize(logPath(), MaxLogSize + 1 - lineSize);

    DestinationPtr destination
        = DestinationFactory::MakeFileDestination(logPath(), EnableLogRotation, MaxLogSize, 2);
    destination->write(message);
    destination.reset();

    QCOMPARE(QFileInfo(backup(1)).size(), MaxLogSize + 1 - lineSize);
    QCOMPARE(readFile(logPath()), message.formatted.toUtf8() + '\n');
}

void TestRotation::lineReachingExactlyTheLimitStaysInTheOldFile()
{
    const LogMessage message = infoMessage(QStringLiteral("at the limit"));
    const qint64 start = MaxLogSize - message.formatted.toUtf8().size();
    makeLogOfSize(logPath(), start);

    DestinationPtr destination
        = DestinationFactory::MakeFileDestination(logPath(), EnableLogRotation, MaxLogSize, 2);
    destination->write(message);
    destination.reset();

    QVERIFY(!QFile::exists(backup(1)));
    QCOMPARE(QFileInfo(logPath()).size(), start + message.formatted.toUtf8().size() + 1);
}

void TestRotation::countingRestartsWithTheNewFile()
{
    // Lines of equal size, a limit that three of them reach: the line crossing it opens the new
    // file and is not counted there, so each new file holds four lines before the next rotation.
    const LogMessage message = infoMessage(QStringLiteral("a line of the log"));
    const qint64 lineSize = message.formatted.toUtf8().size();
    DestinationPtr destination
        = DestinationFactory::MakeFileDestination(logPath(), EnableLogRotation, 3 * lineSize, 2);
    for (int i = 0; i < 10; ++i)
        destination->write(message);
    destination.reset();

    const QByteArray line = message.formatted.toUtf8() + '\n';
    QCOMPARE(readFile(backup(2)), line.repeated(3));
    QCOMPARE(readFile(backup(1)), line.repeated(4));
    QCOMPARE(readFile(logPath()), line.repeated(3));
}

void TestRotation::sizeCountingContinuesFromTheExistingFile()
{
    writeFile(logPath(), QByteArray(100, 'a'));
    SizeRotationStrategy strategy;
    strategy.setMaximumSizeInBytes(120);
    QFile file(logPath());
    strategy.setInitialInfo(file);
    QCOMPARE(strategy.currentSizeInBytes(), qint64(100));
    strategy.includeMessageInSize(QStringLiteral("℃℃")); // three UTF-8 bytes each
    QCOMPARE(strategy.currentSizeInBytes(), qint64(106));
    QVERIFY(!strategy.shouldRotate());
    strategy.includeMessageInSize(QString(15, QLatin1Char('b')));
    QVERIFY(strategy.shouldRotate());
}

void TestRotation::firstRotationRenamesLogToDotOne()
{
    writeFile(logPath(), "current");
    SizeRotationStrategy strategy;
    strategy.setBackupCount(2);
    QFile file(logPath());
    strategy.setInitialInfo(file);
    strategy.rotate();
    QVERIFY(!QFile::exists(logPath()));
    QCOMPARE(readFile(backup(1)), QByteArray("current"));
    QVERIFY(!QFile::exists(backup(2)));
}

void TestRotation::secondRotationShiftsDotOneToDotTwo()
{
    writeFile(logPath(), "current");
    writeFile(backup(1), "previous");
    SizeRotationStrategy strategy;
    strategy.setBackupCount(2);
    QFile file(logPath());
    strategy.setInitialInfo(file);
    strategy.rotate();
    QCOMPARE(readFile(backup(1)), QByteArray("current"));
    QCOMPARE(readFile(backup(2)), QByteArray("previous"));
}

void TestRotation::oldestBackupIsDeletedWhenAllSlotsAreTaken()
{
    writeFile(logPath(), "current");
    writeFile(backup(1), "previous");
    writeFile(backup(2), "oldest");
    SizeRotationStrategy strategy;
    strategy.setBackupCount(2);
    QFile file(logPath());
    strategy.setInitialInfo(file);
    strategy.rotate();
    QCOMPARE(readFile(backup(1)), QByteArray("current"));
    QCOMPARE(readFile(backup(2)), QByteArray("previous"));
    QVERIFY(!QFile::exists(backup(3)));
}

void TestRotation::zeroBackupsDeletesTheLog()
{
    writeFile(logPath(), "current");
    SizeRotationStrategy strategy;
    strategy.setBackupCount(0);
    QFile file(logPath());
    strategy.setInitialInfo(file);
    strategy.rotate();
    QVERIFY(!QFile::exists(logPath()));
    QVERIFY(!QFile::exists(backup(1)));
}

void TestRotation::backupCountIsCappedAtTen()
{
    SizeRotationStrategy strategy;
    strategy.setBackupCount(25);
    QCOMPARE(strategy.backupCount(), 10);
    strategy.setBackupCount(-3);
    QCOMPARE(strategy.backupCount(), 0);
}

void TestRotation::rotationNeverGoesBeyondTenBackups()
{
    writeFile(logPath(), "current");
    for (int i = 1; i <= 12; ++i)
        writeFile(backup(i), QByteArray::number(i));
    SizeRotationStrategy strategy;
    strategy.setBackupCount(12);
    QFile file(logPath());
    strategy.setInitialInfo(file);
    strategy.rotate();
    QCOMPARE(readFile(backup(1)), QByteArray("current"));
    QCOMPARE(readFile(backup(10)), QByteArray("9"));
    // Files beyond the cap are not the rotation's business and stay as they were.
    QCOMPARE(readFile(backup(11)), QByteArray("11"));
}

void TestRotation::renameFailureIsReportedOnStandardError()
{
    writeFile(logPath(), "current");
    writeFile(backup(1), "previous");
    FailingRenameStrategy strategy;
    strategy.setBackupCount(2);
    QFile file(logPath());
    strategy.setInitialInfo(file);

    StderrCapture capture;
    strategy.rotate();
    const QByteArray text = capture.text();
    capture.restore();

    QVERIFY2(text.contains("QsLog: could not rename backup " + backup(1).toUtf8() + " to "
                 + backup(2).toUtf8()),
        text.constData());
    QVERIFY2(text.contains(
                 "QsLog: could not rename log " + logPath().toUtf8() + " to " + backup(1).toUtf8()),
        text.constData());
}

void TestRotation::unopenableFileIsReportedAndWritesAreLost()
{
    const QString path = m_dir->filePath(QStringLiteral("missing/folder/logs.txt"));
    StderrCapture capture;
    DestinationPtr destination
        = DestinationFactory::MakeFileDestination(path, EnableLogRotation, MaxLogSize, 2);
    destination->write(infoMessage(QStringLiteral("lost")));
    const QByteArray text = capture.text();
    capture.restore();

    QVERIFY(!destination->isValid());
    QVERIFY2(text.contains("QsLog: could not open log file " + path.toUtf8()), text.constData());
    QVERIFY(!QFile::exists(path));
}

void TestRotation::logResumesOnceWritesSucceedAgain_data()
{
    QTest::addColumn<int>("room"); // the file may still grow by; -1: its folder is missing
    QTest::newRow("full disk") << 0;
    QTest::newRow("disk full in the middle of a line") << 20;
    QTest::newRow("folder made only later") << -1;
}

void TestRotation::logResumesOnceWritesSucceedAgain()
{
    QFETCH(int, room);
    const QString path = room < 0 ? m_dir->filePath(QStringLiteral("later/logs.txt")) : logPath();
    const qint64 earlier = room < 0 ? 0 : 4096;
    if (earlier > 0)
        makeLogOfSize(path, earlier);
    DestinationPtr destination
        = DestinationFactory::MakeFileDestination(path, EnableLogRotation, MaxLogSize, 2);
    const LogMessage lost = infoMessage(QStringLiteral("lost")), after = infoMessage("after");
    {
        FailingFiles::DiskFullAfter full(room < 0 ? MaxLogSize : earlier + room);
        for (int i = 0; i < 3; ++i)
            destination->write(lost);
    }
    QDir().mkpath(QFileInfo(path).path());
    destination->write(after);

    const QList<QByteArray> lines = readFile(path).mid(earlier).split('\n');
    QCOMPARE(lines.size(), room > 0 ? 4 : 3);
    if (room > 0)
        QCOMPARE(lines.first(), lost.formatted.toUtf8().left(room));
    QVERIFY(lines.at(lines.size() - 3).startsWith("WARN "));
    QVERIFY(lines.at(lines.size() - 3).endsWith(" could not write the log; lines lost: 3 "));
    QCOMPARE(lines.at(lines.size() - 2), after.formatted.toUtf8());
}

void TestRotation::nullRotationTruncatesAtOpen()
{
    writeFile(logPath(), "from an earlier run\n");
    DestinationPtr destination = DestinationFactory::MakeFileDestination(logPath());
    QCOMPARE(destination->type(), QStringLiteral("file"));
    QVERIFY(destination->isValid());
    const LogMessage message = infoMessage(QStringLiteral("fresh"));
    destination->write(message);
    destination.reset();
    QCOMPARE(readFile(logPath()), message.formatted.toUtf8() + '\n');
}

QTEST_GUILESS_MAIN(TestRotation)
#include "tst_rotation.moc"
