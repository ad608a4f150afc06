// A secret's file readable by others is named with the fix; one for its owner alone is not.

#include "cli/secretfile.h"

#include <QTemporaryDir>
#include <QtTest>

class TestSecretFile : public QObject
{
    Q_OBJECT

private slots:
    void readableByOthers_data();
    void readableByOthers();
};

void TestSecretFile::readableByOthers_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("said"); // empty: nothing to say
    const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QTest::newRow("0600") << int(owner) << QString();
    QTest::newRow("0640") << int(owner | QFileDevice::ReadGroup) << "may be read by its group:";
    QTest::newRow("0644") << int(owner | QFileDevice::ReadGroup | QFileDevice::ReadOther)
                          << "may be read by its group and every user:";
    QTest::newRow("0604") << int(owner | QFileDevice::ReadOther) << "may be read by every user:";
}

void TestSecretFile::readableByOthers()
{
    QFETCH(int, mode);
    QFETCH(QString, said);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("password")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.setPermissions(QFileDevice::Permissions(mode)));
    const QString warning
        = SecretFile::exposure(file.fileName(), QStringLiteral("the password file"));
    if (said.isEmpty()) {
        QCOMPARE(warning, QString());
        return;
    }
    QVERIFY2(warning.startsWith(QStringLiteral("the password file ") + file.fileName()),
        qPrintable(warning));
    QVERIFY2(warning.contains(said), qPrintable(warning));
    QVERIFY2(warning.endsWith(QStringLiteral("chmod 600 ") + file.fileName()), qPrintable(warning));
}

QTEST_GUILESS_MAIN(TestSecretFile)
#include "tst_secretfile.moc"
