#include "log/processtimezone.h"

#include <QFile>
#include <QScopeGuard>
#include <QtTest>

using QsLogging::ProcessTimeZone;

class TestProcessTimeZone : public QObject
{
    Q_OBJECT

private slots:
    void zoneOfTheStartIsKept();
};

void TestProcessTimeZone::zoneOfTheStartIsKept()
{
    const QByteArray original = qgetenv("TZ");
    const bool wasSet = qEnvironmentVariableIsSet("TZ");
    const auto restore = qScopeGuard([&] {
        if (wasSet)
            qputenv("TZ", original);
        else
            qunsetenv("TZ");
    });

    // A zone the user set is left as it is.
    qputenv("TZ", "Asia/Shanghai");
    ProcessTimeZone::keepTheStartingZone();
    QCOMPARE(qgetenv("TZ"), QByteArray("Asia/Shanghai"));

    // Without one, the file the C library would read anyway, where it reads one.
    qunsetenv("TZ");
    ProcessTimeZone::keepTheStartingZone();
#if defined(__GLIBC__)
    if (QFile::exists(QStringLiteral("/etc/localtime")))
        QCOMPARE(qgetenv("TZ"), QByteArray(":/etc/localtime"));
    else
        QVERIFY(!qEnvironmentVariableIsSet("TZ"));
#else
    QVERIFY(!qEnvironmentVariableIsSet("TZ"));
#endif
}

QTEST_MAIN(TestProcessTimeZone)
#include "tst_processtimezone.moc"
