// The simulator refuses to start without the whole parameter set beside it: its batteries would
// answer every parameter read from what the file lacks with 0.

#include "bmssimulator.h"
#include "simoptions.h"
#include "support/parameterset.h"
#include "support/stderrcapture.h"

#include <QtTest>

class TestBmsSimulator : public QObject
{
    Q_OBJECT

private slots:
    void refusesAnIncompleteParameterSet_data();
    void refusesAnIncompleteParameterSet();
};

void TestBmsSimulator::refusesAnIncompleteParameterSet_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no file
    QTest::addColumn<QString>("reason");
    QFile shipped(ParameterSet::shipped());
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = shipped.readAll().split('\n');
    QTest::newRow("no setting/threshold.cfg") << QByteArray() << "cannot read the parameter set";
    QTest::newRow("a line of three fields") << lines.at(0) + "\n1,2,3\n"
                                            << "has a malformed line";
    QTest::newRow("16 of 81 parameters") << lines.mid(0, 16).join('\n') + '\n'
                                         << "has 16 parameters, not 81";
}

void TestBmsSimulator::refusesAnIncompleteParameterSet()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    QVERIFY(ParameterSet::install(QString()));
    if (!file.isEmpty()) {
        QFile installed(ParameterSet::installedPath());
        QVERIFY(installed.open(QIODevice::WriteOnly));
        installed.write(file);
    }
    SimOptions options;
    options.packs = { 1, 2 };
    BmsSimulator simulator(options);
    StderrCapture captured;
    QVERIFY(!simulator.start());
    const QString said = QString::fromUtf8(captured.text());
    for (const QString &part : { reason, ParameterSet::installedPath(),
             QStringLiteral("Put the program's setting/threshold.cfg") })
        QVERIFY2(said.contains(part), qPrintable(said));
}

QTEST_GUILESS_MAIN(TestBmsSimulator)
#include "tst_bmssimulator.moc"
