#include "support/capturedestination.h"

#include "log/destinationfactory.h"
#include "log/logger.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <vector>

using namespace QsLogging;

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void levelTexts_data();
    void levelTexts();
    void formattedLineOfAnInfoMessage();
    void everyItemIsFollowedByABlankAndStringsAreQuoted();
    void statementBelowTheLevelIsNotEvaluated();
    void statementAtOrAboveTheLevelIsWritten_data();
    void statementAtOrAboveTheLevelIsWritten();
    void destinationsAreCalledInOrderAdded();
    void destinationOfTypeCanBeFoundAndRemoved();
    void threadsNeverTearOrInterleaveLines();

private:
    QSharedPointer<CaptureDestination> m_capture;
};

void TestLogger::init()
{
    m_capture.reset(new CaptureDestination);
    Logger::instance().addDestination(m_capture);
    Logger::instance().setLoggingLevel(TraceLevel);
}

void TestLogger::cleanup()
{
    Logger::instance().removeDestination(m_capture);
    m_capture.reset();
}

void TestLogger::levelTexts_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("text");
    QTest::newRow("trace") << int(TraceLevel) << "TRACE";
    QTest::newRow("debug") << int(DebugLevel) << "DEBUG";
    QTest::newRow("info has a trailing blank") << int(InfoLevel) << "INFO ";
    QTest::newRow("warn has a trailing blank") << int(WarnLevel) << "WARN ";
    QTest::newRow("error") << int(ErrorLevel) << "ERROR";
    QTest::newRow("fatal") << int(FatalLevel) << "FATAL";
}

void TestLogger::levelTexts()
{
    QFETCH(int, level);
    QFETCH(QString, text);
    QCOMPARE(levelText(Level(level)), text);
}

void TestLogger::formattedLineOfAnInfoMessage()
{
    const QDateTime before = QDateTime::currentDateTimeUtc();
    QLOG_INFO() << "main: application start!";
    QCOMPARE(m_capture->messages().size(), 1);
    const LogMessage message = m_capture->messages().first();

    QCOMPARE(message.message, QStringLiteral("main: application start! "));
    QCOMPARE(message.level, InfoLevel);
    QVERIFY(message.time >= before.addMSecs(-1));
    QCOMPARE(message.time.timeSpec(), Qt::UTC);
    const QString expected = QStringLiteral("INFO  ")
        + message.time.toLocalTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz"))
        + QStringLiteral(" main: application start! ");
    QCOMPARE(message.formatted, expected);
    QVERIFY(QRegularExpression(
        QStringLiteral(
            R"(^INFO  \d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} main: application start! $)"))
                .match(message.formatted)
                .hasMatch());
}

void TestLogger::everyItemIsFollowedByABlankAndStringsAreQuoted()
{
    const QString device = QStringLiteral("can0");
    QLOG_WARN() << "opened" << device << 42 << -7;
    QCOMPARE(m_capture->messages().first().message, QStringLiteral("opened \"can0\" 42 -7 "));
}

void TestLogger::statementBelowTheLevelIsNotEvaluated()
{
    Logger::instance().setLoggingLevel(InfoLevel);
    int evaluations = 0;
    const auto count = [&evaluations] { return ++evaluations; };
    QLOG_DEBUG() << count();
    QLOG_TRACE() << count();
    QCOMPARE(evaluations, 0);
    QVERIFY(m_capture->messages().isEmpty());
    QLOG_INFO() << count();
    QCOMPARE(evaluations, 1);
}

void TestLogger::statementAtOrAboveTheLevelIsWritten_data()
{
    QTest::addColumn<int>("loggerLevel");
    QTest::addColumn<bool>("written");
    QTest::newRow("trace lets debug pass") << int(TraceLevel) << true;
    QTest::newRow("debug lets debug pass") << int(DebugLevel) << true;
    QTest::newRow("info holds debug back") << int(InfoLevel) << false;
    QTest::newRow("off holds everything back") << int(OffLevel) << false;
}

void TestLogger::statementAtOrAboveTheLevelIsWritten()
{
    QFETCH(int, loggerLevel);
    QFETCH(bool, written);
    Logger::instance().setLoggingLevel(Level(loggerLevel));
    QLOG_DEBUG() << "frame";
    QCOMPARE(m_capture->messages().size(), written ? 1 : 0);
}

void TestLogger::destinationsAreCalledInOrderAdded()
{
    auto second = QSharedPointer<CaptureDestination>::create();
    Logger::instance().addDestination(second);
    QLOG_INFO() << "one";
    QLOG_INFO() << "two";
    Logger::instance().removeDestination(second);
    QCOMPARE(second->lines(), m_capture->lines());
    QCOMPARE(second->lines(), QStringList({ "INFO |one ", "INFO |two " }));
}

void TestLogger::destinationOfTypeCanBeFoundAndRemoved()
{
    QVERIFY(Logger::instance().hasDestinationOfType("capture"));
    QVERIFY(!Logger::instance().hasDestinationOfType("file"));
    Logger::instance().removeDestination(m_capture);
    QVERIFY(!Logger::instance().hasDestinationOfType("capture"));
    QLOG_INFO() << "lost";
    QVERIFY(m_capture->messages().isEmpty());
}

void TestLogger::threadsNeverTearOrInterleaveLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("logs.txt"));
    DestinationPtr file
        = DestinationFactory::MakeFileDestination(path, EnableLogRotation, 20971520, 2);
    Logger::instance().addDestination(file);

    constexpr int threadCount = 8;
    constexpr int linesPerThread = 400;
    const QString payload(120, QLatin1Char('x'));
    std::vector<QThread *> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.push_back(QThread::create([t, &payload] {
            for (int i = 0; i < linesPerThread; ++i)
                QLOG_INFO() << "thread" << t << "line" << i << payload;
        }));
    }
    for (QThread *thread : threads)
        thread->start();
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(30000));
        delete thread;
    }
    Logger::instance().removeDestination(file);
    file.reset();

    QFile log(path);
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines
        = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), threadCount * linesPerThread);

    const QRegularExpression shape(
        QStringLiteral(R"(^INFO  \S+ thread (\d) line (\d+) "x{120}" $)"));
    int nextLine[threadCount] = {};
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = shape.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        const int thread = match.captured(1).toInt();
        // Each thread's lines arrive whole and in the order it wrote them.
        QCOMPARE(match.captured(2).toInt(), nextLine[thread]++);
    }
    // The capture destination saw the same order as the file.
    QCOMPARE(m_capture->messages().size(), threadCount * linesPerThread);
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(m_capture->messages().at(i).formatted, lines.at(i));
}

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
