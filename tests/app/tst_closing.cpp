#include "support/testport.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

// Closing the window while the CAN worker thread serves the virtual bus: the process must end
// at once with status 0, without tearing down what that thread still uses.
class TestClosing : public QObject
{
    Q_OBJECT

private slots:
    void closingWithTheBusHostedEndsCleanly();
};

void TestClosing::closingWithTheBusHostedEndsCleanly()
{
    QFile ini(QCoreApplication::applicationDirPath() + QStringLiteral("/canbus.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(QStringLiteral("plugin=virtualcan\ninterface=tcp://127.0.0.1:%1/can0\n")
                  .arg(TestPort::pick())
                  .toUtf8());
    ini.close();

    for (int run = 0; run < 5; ++run) {
        QProcess child;
        child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/closingchild"),
            QStringList());
        QVERIFY(child.waitForFinished(20000));
        const QByteArray errors = child.readAllStandardError();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == 0, errors.constData());
        QVERIFY2(!errors.contains("QSocketNotifier"), errors.constData());
        QVERIFY2(!errors.contains("Sanitizer"), errors.constData());
    }
}

QTEST_GUILESS_MAIN(TestClosing)
#include "tst_closing.moc"
