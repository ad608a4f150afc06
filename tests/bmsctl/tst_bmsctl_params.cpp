// bmsctl params against bms-sim: a backup, a change, a diff and a restore, the files and
// batteries a restore must refuse, and Ctrl-C between two writes (clock sync's too).

#include "support/parameterset.h"
#include "support/simprocess.h"

#include "bmsctlrun.h"

#include "settings/thresholdsetting.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

class TestBmsctlParams : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void backupChangeDiffAndRestore();
    void refusesAFileFromAnotherBatteryUnlessForced();
    void refusesBadFilesBeforeTouchingTheBus_data();
    void refusesBadFilesBeforeTouchingTheBus();
    void unknownAndSilentBatteries();
    void ctrlCStopsBetweenTwoRequests_data();
    void ctrlCStopsBetweenTwoRequests();

private:
    QString bus() const { return QStringLiteral("virtualcan:") + m_sim.interfaceName(); }
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    bool write(const char *name, const QByteArray &content) const
    {
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }

    SimProcess m_sim;
    // Answers every request 400 ms late, so that a Ctrl-C lands while one is under way.
    SimProcess m_slow;
    QTemporaryDir m_dir;
};

void TestBmsctlParams::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    // Battery 12 broadcasts but never answers.
    QVERIFY2(m_sim.start({ "--packs", "1,2,12", "--drop-replies", "1", "--fault-packs", "12" }),
        m_sim.output().constData());
    QVERIFY2(m_slow.start({ "--packs", "1,2", "--reply-delay", "400", "--verbose" }),
        m_slow.output().constData());
}

void TestBmsctlParams::cleanupTestCase()
{
    m_sim.stop();
    m_slow.stop();
}

void TestBmsctlParams::backupChangeDiffAndRestore()
{
    const BmsctlRun backup = BmsctlRun::run(
        { "params", "backup", "--bus", bus(), "--id", "1", "--out", path("a.json") });
    QVERIFY2(backup.exitCode == 0, backup.said());
    QFile original(path("a.json"));
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QJsonObject taken = QJsonDocument::fromJson(original.readAll()).object();
    QCOMPARE(taken.value("serial").toString(), QStringLiteral("QM2024100001"));
    QJsonArray parameters = taken.value("parameters").toArray();
    QCOMPARE(parameters.size(), ThresholdSetting::ParameterCount);
    QCOMPARE(parameters.at(0).toObject().value("name").toString(),
        QStringLiteral("Cell Over Charge / ALARM"));

    // Two changes: a cell voltage and a temperature below zero, which travels through its offset.
    QJsonObject cell = parameters.at(0).toObject();
    cell.insert("value", 3600);
    parameters.replace(0, cell);
    QJsonObject temperature = parameters.at(36).toObject();
    QCOMPARE(temperature.value("unit").toString(), QString::fromUtf8("℃"));
    temperature.insert("value", -5);
    parameters.replace(36, temperature);
    QJsonObject changed = taken;
    changed.insert("parameters", parameters);
    QVERIFY(write("b.json", QJsonDocument(changed).toJson()));

    const BmsctlRun dryRun = BmsctlRun::run(
        { "params", "restore", "--bus", bus(), "--id", "1", path("b.json"), "--dry-run" });
    QVERIFY2(dryRun.exitCode == 0 && dryRun.out.contains("2 parameters would be written"),
        dryRun.said());

    const BmsctlRun restore
        = BmsctlRun::run({ "params", "restore", "--bus", bus(), "--id", "1", path("b.json") });
    QVERIFY2(restore.exitCode == 0, restore.said());
    QVERIFY2(restore.out.contains("2 parameters written and read back, 79 already held"),
        restore.said());

    QCOMPARE(
        BmsctlRun::run({ "params", "backup", "--bus", bus(), "--id", "1", "--out", path("c.json") })
            .exitCode,
        0);
    const BmsctlRun diff
        = BmsctlRun::run({ "params", "diff", path("a.json"), path("c.json"), "--json" });
    QVERIFY2(diff.exitCode == 0, diff.said());
    const QJsonArray differences
        = QJsonDocument::fromJson(diff.out.toUtf8()).object().value("differences").toArray();
    QCOMPARE(differences.size(), 2);
    QCOMPARE(differences.at(0).toObject().value("id").toInt(), 1);
    QCOMPARE(differences.at(0).toObject().value("b").toInt(), 3600);
    QCOMPARE(differences.at(1).toObject().value("id").toInt(), 37);
    QCOMPARE(differences.at(1).toObject().value("a").toInt(), 50);
    QCOMPARE(differences.at(1).toObject().value("b").toInt(), -5);

    const BmsctlRun back
        = BmsctlRun::run({ "params", "restore", "--bus", bus(), "--id", "1", path("a.json") });
    QVERIFY2(back.exitCode == 0 && back.out.contains("2 parameters written"), back.said());
    const BmsctlRun same = BmsctlRun::run(
        { "params", "restore", "--bus", bus(), "--id", "1", path("a.json"), "--dry-run" });
    QVERIFY2(same.exitCode == 0 && same.out.contains("0 parameters would be written"), same.said());
}

void TestBmsctlParams::refusesAFileFromAnotherBatteryUnlessForced()
{
    QVERIFY(write("from1.json",
        R"({ "serial": "QM2024100001", "parameters": [ { "id": 3, "unit": "s", "value": 4 } ] })"));
    const BmsctlRun refused
        = BmsctlRun::run({ "params", "restore", "--bus", bus(), "--id", "2", path("from1.json") });
    QVERIFY2(refused.exitCode == 1, refused.said());
    QVERIFY2(refused.err.contains("serial code \"QM2024100001\", battery 2 has \"QM2024100002\""),
        refused.said());

    const BmsctlRun forced = BmsctlRun::run(
        { "params", "restore", "--bus", bus(), "--id", "2", path("from1.json"), "--force" });
    QVERIFY2(forced.exitCode == 0 && forced.out.contains("1 parameters written"), forced.said());
}

void TestBmsctlParams::refusesBadFilesBeforeTouchingTheBus_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("not JSON") << QByteArray("serial=QM1\n") << "not JSON";
    QTest::newRow("unknown id") << QByteArray(
        R"({ "serial": "QM2024100001", "parameters": [ { "id": 99, "value": 1 } ] })")
                                << "unknown parameter id 99";
    QTest::newRow("out of range") << QByteArray(
        R"({ "serial": "QM2024100001", "parameters": [ { "id": 43, "value": -60 } ] })")
                                  << "value -60 is out of range -40..";
}

void TestBmsctlParams::refusesBadFilesBeforeTouchingTheBus()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QVERIFY(write("bad.json", content));
    // No bus is named and none is needed: the file is refused first.
    const BmsctlRun run = BmsctlRun::run({ "params", "restore", "--id", "1", path("bad.json") });
    QVERIFY2(run.exitCode == 1, run.said());
    QVERIFY2(run.err.contains(message), run.said());
}

void TestBmsctlParams::unknownAndSilentBatteries()
{
    const BmsctlRun unknown = BmsctlRun::run(
        { "params", "backup", "--bus", bus(), "--id", "9", "--out", path("9.json") });
    QVERIFY2(unknown.exitCode == 1, unknown.said());
    QVERIFY2(unknown.err.contains("battery 9 is not on the bus (heard in 2 s: 1, 2, 12)"),
        unknown.said());
    QVERIFY(!QFile::exists(path("9.json")));

    const BmsctlRun silent = BmsctlRun::run(
        { "params", "backup", "--bus", bus(), "--id", "12", "--out", path("12.json") });
    QVERIFY2(silent.exitCode == 1, silent.said());
    QVERIFY2(silent.err.contains("battery 12 is on the bus but does not answer"), silent.said());
    QVERIFY(!QFile::exists(path("12.json")));
    const BmsctlRun scan = BmsctlRun::run({ "scan", "--bus", bus(), "--seconds", "1" });
    QVERIFY2(scan.exitCode == 1
            && scan.err.contains("battery 12 heard but answered none of the identity reads"),
        scan.said());

    const BmsctlRun outOfRange
        = BmsctlRun::run({ "params", "backup", "--id", "28", "--out", path("x.json") });
    QVERIFY2(outOfRange.exitCode == 2, outOfRange.said());
    const BmsctlRun noFile = BmsctlRun::run({ "params", "backup", "--id", "1" });
    QVERIFY2(noFile.exitCode == 2 && noFile.err.contains("--out"), noFile.said());
}

void TestBmsctlParams::ctrlCStopsBetweenTwoRequests_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("signal");
    // Sent once the simulator has heard a request of this kind; the run makes no other.
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("said");
    // Battery 2 holds 2 s in all three.
    QVERIFY(write("three.json", R"({ "serial": "QM2024100002", "parameters": [
        { "id": 3, "value": 3 }, { "id": 6, "value": 3 }, { "id": 9, "value": 3 } ] })"));
    const QStringList restore { "params", "restore", "--id", "2", path("three.json") };
    QTest::newRow("restore, writing") << restore << SIGINT << QByteArray("recv 0x18f0")
                                      << "1 of 3 parameters written and read back, 2 not";
    QTest::newRow("restore, reading")
        << restore << SIGINT << QByteArray("recv 0x18f1") << "nothing written";
    QTest::newRow("backup, SIGTERM")
        << QStringList { "params", "backup", "--id", "1", "--out", path("interrupted.json") }
        << SIGTERM << QByteArray("recv 0x18f1") << "nothing written";
    QTest::newRow("clock sync") << QStringList { "clock", "sync", "--ids", "1,2" } << SIGINT
                                << QByteArray("recv 0x1883") << "(1 not tried: interrupted)";
}

void TestBmsctlParams::ctrlCStopsBetweenTwoRequests()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, signal);
    QFETCH(QByteArray, request);
    QFETCH(QString, said);
    const int before = m_slow.output().count(request);
    const BmsctlRun run = BmsctlRun::run(
        arguments + QStringList { "--bus", "virtualcan:" + m_slow.interfaceName() },
        { { [&](const QString &) { return m_slow.output().count(request) > before; }, signal } });
    QVERIFY2(run.exitCode == 1 && run.err.contains(said), run.said());
    QCOMPARE(m_slow.output().count(request), before + 1);
    QVERIFY(!QFile::exists(path("interrupted.json")));
}

QTEST_GUILESS_MAIN(TestBmsctlParams)
#include "tst_bmsctl_params.moc"
