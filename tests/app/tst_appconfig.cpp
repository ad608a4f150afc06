#include "settings/appconfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QtTest>

namespace {

QString configText()
{
    QFile file(AppConfig::filePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void writeConfig(const QByteArray &content)
{
    QFile file(AppConfig::filePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

// Through QSettings: it caches a file by size and time, and a hand-written file of the same
// size in the same second would read as the old one.
void storeValue(const QString &key, const QByteArray &value)
{
    QSettings(AppConfig::filePath(), QSettings::IniFormat).setValue(key, QString::fromUtf8(value));
}

QString storedValue(const QString &key)
{
    return QSettings(AppConfig::filePath(), QSettings::IniFormat).value(key).toString();
}

} // namespace

class TestAppConfig : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstStartWritesTheDefaults();
    void languageIsRepaired_data();
    void languageIsRepaired();
    void productIsRepaired_data();
    void productIsRepaired();
    void customTitleIsKept();
    void titleWithACommaIsReadAsWritten();
    void garbageFileFallsBackToDefaults();
    void readOnlyFileStillGivesDefaults();
};

void TestAppConfig::init()
{
    QFile::setPermissions(AppConfig::filePath(), QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(AppConfig::filePath());
}

void TestAppConfig::firstStartWritesTheDefaults()
{
    QCOMPARE(AppConfig::filePath(), QCoreApplication::applicationDirPath() + "/config.txt");
    QVERIFY(!AppConfig::readChineseLanguage());
    QCOMPARE(AppConfig::windowTitle(), QStringLiteral("ZELKOR_Upper_Computer V1.03.12"));
    QVERIFY(!AppConfig::readProductEntry());

    const QString text = configText();
    QVERIFY2(text.startsWith("[General]\n"), qPrintable(text));
    QVERIFY(text.contains("language=0\n"));
    QVERIFY(text.contains("title=ZELKOR_Upper_Computer\n"));
    QVERIFY(text.contains("product=0\n"));
}

void TestAppConfig::languageIsRepaired_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QString>("afterwards");
    QTest::newRow("1 is kept") << QByteArray("1") << true << "1";
    QTest::newRow("2 becomes 0") << QByteArray("2") << false << "0";
    QTest::newRow("a word becomes 0") << QByteArray("chinese") << false << "0";
    QTest::newRow("empty becomes 0") << QByteArray("") << false << "0";
    QTest::newRow("0 stays 0") << QByteArray("0") << false << "0";
}

void TestAppConfig::languageIsRepaired()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, chinese);
    QFETCH(QString, afterwards);
    storeValue("language", stored);
    QCOMPARE(AppConfig::readChineseLanguage(), chinese);
    QCOMPARE(storedValue("language"), afterwards);
}

void TestAppConfig::productIsRepaired_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("entry");
    QTest::addColumn<QString>("afterwards");
    QTest::newRow("1 is kept") << QByteArray("1") << true << "1";
    QTest::newRow("yes becomes 0") << QByteArray("yes") << false << "0";
    QTest::newRow("2 becomes 0") << QByteArray("2") << false << "0";
}

void TestAppConfig::productIsRepaired()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, entry);
    QFETCH(QString, afterwards);
    storeValue("product", stored);
    QCOMPARE(AppConfig::readProductEntry(), entry);
    QCOMPARE(storedValue("product"), afterwards);
}

void TestAppConfig::customTitleIsKept()
{
    storeValue("title", "Pack A");
    QCOMPARE(AppConfig::windowTitle(), QStringLiteral("Pack A V1.03.12"));
    QCOMPARE(storedValue("title"), QStringLiteral("Pack A"));
}

void TestAppConfig::titleWithACommaIsReadAsWritten()
{
    writeConfig("[General]\nlanguage=0\ntitle=Pack A, Rack 2\nproduct=0\n");
    QCOMPARE(AppConfig::windowTitle(), QStringLiteral("Pack A, Rack 2 V1.03.12"));
    QVERIFY(configText().contains(QStringLiteral("title=Pack A, Rack 2\n")));
}

void TestAppConfig::garbageFileFallsBackToDefaults()
{
    writeConfig(QByteArray("\x00\xff\xfe garbage ]]][[ = =\n\x01\x02", 21));
    QVERIFY(!AppConfig::readChineseLanguage());
    QCOMPARE(AppConfig::readTitle(), QStringLiteral("ZELKOR_Upper_Computer"));
}

void TestAppConfig::readOnlyFileStillGivesDefaults()
{
    storeValue("language", "7");
    QFile::setPermissions(AppConfig::filePath(), QFile::ReadOwner);
    // Root may write anyway; what matters is that reading goes on with the defaults.
    QVERIFY(!AppConfig::readChineseLanguage());
    QCOMPARE(AppConfig::readTitle(), QStringLiteral("ZELKOR_Upper_Computer"));
}

QTEST_GUILESS_MAIN(TestAppConfig)
#include "tst_appconfig.moc"
