#include "app/startup.h"
#include "log/logger.h"
#include "resource/resources.h"
#include "settings/appconfig.h"

#include <QApplication>
#include <QFile>
#include <QMetaType>
#include <QPalette>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTranslator>
#include <QtTest>

namespace {

QString logPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/logs.txt");
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void bannerOpensTheLogFile();
    void buildDateAndTimeHaveTheCompilerForms();
    void styleSheetAndPaletteAreApplied();
    void chineseTranslationIsInstalledWhenAsked();
    void relayIndexIsAQueuedType();
};

void TestStartup::initTestCase()
{
    Resources::init();
    QFile::remove(logPath());
    QFile::remove(AppConfig::filePath());
    // The order of main(): the language line is logged before any destination exists.
    Startup::loadLanguage(*qApp);
    Startup::registerMetaTypes();
    Startup::setUpLogger();
    Startup::logBanner();
    Startup::loadStyleSheet(*qApp);
}

void TestStartup::bannerOpensTheLogFile()
{
    QFile file(logPath());
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    const QString rule(74, QLatin1Char('-'));
    const QStringList expected = {
        "! ",
        "! ",
        "! ",
        rule + ' ',
        "ZELKOR Upper Computer ",
        "V1.03.12 ",
        QStringLiteral("%1   %2 ").arg(Startup::buildDate(), Startup::buildTime()),
        rule + ' ',
        "main: application start! ",
        "loading css file... ",
    };
    QVERIFY(lines.size() >= expected.size());
    const QRegularExpression prefix(
        QStringLiteral(R"(^INFO  \d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} )"));
    for (int i = 0; i < expected.size(); ++i) {
        const QRegularExpressionMatch match = prefix.match(lines.at(i));
        QVERIFY2(match.hasMatch(), qPrintable(lines.at(i)));
        QCOMPARE(lines.at(i).mid(match.capturedLength()), expected.at(i));
    }
    // No destination existed when the language line was logged.
    for (const QString &line : lines)
        QVERIFY2(!line.contains(QLatin1String("loading language")), qPrintable(line));
    QVERIFY(QsLogging::Logger::instance().hasDestinationOfType("file"));
    QVERIFY(QsLogging::Logger::instance().hasDestinationOfType("console"));
    QCOMPARE(QsLogging::Logger::instance().loggingLevel(), QsLogging::TraceLevel);
}

void TestStartup::buildDateAndTimeHaveTheCompilerForms()
{
    QVERIFY(QRegularExpression(R"(^[A-Z][a-z]{2} [ \d]\d \d{4}$)")
                .match(Startup::buildDate())
                .hasMatch());
    QVERIFY(QRegularExpression(R"(^\d\d:\d\d:\d\d$)").match(Startup::buildTime()).hasMatch());
}

void TestStartup::styleSheetAndPaletteAreApplied()
{
    QVERIFY(qApp->styleSheet().startsWith("QPalette{background:#FFFFFF;}"));
    QCOMPARE(qApp->palette().color(QPalette::Window), QColor("#FFFFFF"));
    QCOMPARE(QTextCodec::codecForLocale()->name(), QByteArray("UTF-8"));
}

void TestStartup::chineseTranslationIsInstalledWhenAsked()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral("cn"), QStringLiteral(":/resource/language")));

    QFile config(AppConfig::filePath());
    QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
    config.write("[General]\nlanguage=1\n");
    config.close();
    const int translatorsBefore = qApp->findChildren<QTranslator *>().size();
    Startup::loadLanguage(*qApp);
    const QList<QTranslator *> translators = qApp->findChildren<QTranslator *>();
    QCOMPARE(translators.size(), translatorsBefore + 1);
    QVERIFY(!translators.last()->isEmpty());
}

void TestStartup::relayIndexIsAQueuedType()
{
    QVERIFY(QMetaType::type("RelayIndex") != QMetaType::UnknownType);
    QCOMPARE(QMetaType::sizeOf(QMetaType::type("RelayIndex")), 4);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
