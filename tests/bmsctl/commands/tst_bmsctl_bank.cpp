// bmsctl against bms-sim: scan, watch and the clocks, and the mistakes a user makes with them.

#include "support/parameterset.h"
#include "support/simprocess.h"

#include "bmsctlrun.h"

#include "settings/appconfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>

class TestBmsctlBank : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void scanFindsEveryBatteryWithItsCodes();
    void scanReachesTheBankThroughASerialLineAdapter();
    void watchStreamsTheStoreValuesByName();
    void clockCheckShowsTheDriftAndSyncSetsTheClocks();
    void absentBatteriesWrongAndFrontCommandLines();

private:
    QString bus() const { return QStringLiteral("virtualcan:") + m_sim.interfaceName(); }
    QJsonObject jsonOf(const BmsctlRun &run) const
    {
        return QJsonDocument::fromJson(run.out.toUtf8()).object();
    }

    QString busAt(const QTcpServer &server) const
    {
        return QStringLiteral("virtualcan:tcp://127.0.0.1:%1/can0").arg(server.serverPort());
    }

    SimProcess m_sim;
    // No virtual bus: it answers every line it hears with a line of its own, so the open's own
    // question is answered. The late one answers on its first connection only, the guard's,
    // where nothing is said until the plugin speaks through the guard.
    QTcpServer m_foreign;
    QTcpServer m_lateForeign;
};

void TestBmsctlBank::initTestCase()
{
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    // Battery 3's life counter stands still, as a hung BMS's would.
    QVERIFY2(m_sim.start({ "--packs", "1,2,3,12", "--freeze-life", "--fault-packs", "3" }),
        m_sim.output().constData());
    int lateConnections = 0;
    for (QTcpServer *server : { &m_foreign, &m_lateForeign }) {
        QVERIFY(server->listen(QHostAddress::LocalHost));
        connect(
            server, &QTcpServer::newConnection, this, [this, server, lateConnections]() mutable {
                QTcpSocket *client = server->nextPendingConnection();
                if (server == &m_lateForeign && ++lateConnections > 1)
                    return;
                connect(client, &QIODevice::readyRead, client,
                    [client] { client->write("400 Bad\r\n"); });
            });
    }
}

void TestBmsctlBank::cleanupTestCase()
{
    m_sim.stop();
}

void TestBmsctlBank::scanFindsEveryBatteryWithItsCodes()
{
    const BmsctlRun scan = BmsctlRun::run({ "scan", "--bus", bus(), "--seconds", "5", "--json" });
    QVERIFY2(scan.exitCode == 0, scan.said());
    const QJsonObject result = jsonOf(scan);
    const QJsonArray batteries = result.value("batteries").toArray();
    QCOMPARE(batteries.size(), 4);
    const int ids[] = { 1, 2, 3, 12 };
    for (int i = 0; i < 4; ++i) {
        const QJsonObject battery = batteries.at(i).toObject();
        QCOMPARE(battery.value("id").toInt(), ids[i]);
        QCOMPARE(
            battery.value("serial").toString(), QStringLiteral("QM2024%1").arg(100000 + ids[i]));
        QCOMPARE(battery.value("model").toString(), QStringLiteral("ZK-LFP-16S100AH"));
        QCOMPARE(battery.value("firmware").toString(), QStringLiteral("ZK-BMS V2.3.07"));
        QCOMPARE(battery.value("frameKinds").toInt(), 26);
        QVERIFY(battery.value("missingFrameKinds").toArray().isEmpty());
        QCOMPARE(battery.value("lifeCounter").toString(),
            ids[i] == 3 ? QStringLiteral("standing") : QStringLiteral("moving"));
        // The simulated clocks start in 2021 and nobody has set them.
        QVERIFY(battery.value("clockDriftSeconds").toDouble() < -1.0e8);
    }
    // Four batteries sending 26 kinds at 200, 500 and 3000 ms: some 220 frames a second (fewer
    // when a loaded machine stretches the simulator's timers), each at least 131 bits.
    const QJsonObject load = result.value("bus").toObject();
    const double framesPerSecond = load.value("framesPerSecond").toDouble();
    QVERIFY2(framesPerSecond > 100 && framesPerSecond < 300, scan.said());
    QVERIFY(load.value("bitsPerSecond").toDouble() >= framesPerSecond * 131);
    QCOMPARE(load.value("loadShare").toDouble(), load.value("bitsPerSecond").toDouble() / 250000);
}

void TestBmsctlBank::scanReachesTheBankThroughASerialLineAdapter()
{
    SimProcess serialSim;
    QVERIFY2(serialSim.start({ "--packs", "5,6", "--slcan" }), serialSim.output().constData());
    const BmsctlRun scan = BmsctlRun::run(
        { "--bus", "slcan:" + serialSim.slcanPath(), "scan", "--seconds", "3", "--json" });
    QVERIFY2(scan.exitCode == 0, scan.said());
    const QJsonArray batteries = jsonOf(scan).value("batteries").toArray();
    QCOMPARE(batteries.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QJsonObject battery = batteries.at(i).toObject();
        QCOMPARE(battery.value("id").toInt(), 5 + i);
        QCOMPARE(battery.value("firmware").toString(), QStringLiteral("ZK-BMS V2.3.07"));
    }
}

void TestBmsctlBank::watchStreamsTheStoreValuesByName()
{
    const BmsctlRun watch = BmsctlRun::run({ "watch", "--bus", bus(), "--ids", "1,12", "--signals",
        "SumVolt,soc,LifeCounter", "--interval", "250", "--seconds", "2" });
    QVERIFY2(watch.exitCode == 0, watch.said());
    const QStringList lines = watch.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QStringLiteral("time,id,SumVolt,SOC,LifeCounter"));
    QVERIFY2(lines.size() >= 5, watch.said());
    QSet<QString> ids;
    for (const QString &line : lines.mid(1)) {
        const QStringList cells = line.split(',');
        QCOMPARE(cells.size(), 5);
        ids.insert(cells.at(1));
        const double packVoltage = cells.at(2).toDouble();
        QVERIFY2(packVoltage > 40 && packVoltage < 60, qPrintable(line));
        QVERIFY2(cells.at(3).toDouble() > 0 && cells.at(3).toDouble() <= 100, qPrintable(line));
    }
    QCOMPARE(ids, QSet<QString>({ "1", "12" }));
}

void TestBmsctlBank::clockCheckShowsTheDriftAndSyncSetsTheClocks()
{
    const BmsctlRun sync = BmsctlRun::run({ "clock", "sync", "--bus", bus(), "--ids", "1,2" });
    QVERIFY2(sync.exitCode == 0, sync.said());
    QVERIFY2(sync.out.contains("Drift before") && sync.out.count(" set\n") == 2, sync.said());

    const BmsctlRun check = BmsctlRun::run({ "clock", "check", "--bus", bus(), "--json" });
    QVERIFY2(check.exitCode == 0, check.said());
    const QJsonArray batteries = jsonOf(check).value("batteries").toArray();
    QCOMPARE(batteries.size(), 4);
    for (const QJsonValue &value : batteries) {
        const QJsonObject battery = value.toObject();
        const double drift = battery.value("driftSeconds").toDouble();
        if (battery.value("id").toInt() <= 2)
            QVERIFY2(qAbs(drift) <= 2, check.said());
        else
            QVERIFY2(drift < -1.0e8, check.said());
    }
}

void TestBmsctlBank::absentBatteriesWrongAndFrontCommandLines()
{
    const BmsctlRun absent = BmsctlRun::run({ "clock", "check", "--bus", bus(), "--ids", "1,5" });
    QVERIFY2(absent.exitCode == 1, absent.said());
    QVERIFY2(absent.out.contains("(not on the bus)"), absent.said());
    QVERIFY2(absent.err.contains("1 of 2 batteries could not be read"), absent.said());

    const QStringList checkClock { "clock", "check", "--ids", "12" };
    const struct
    {
        QStringList arguments;
        int exitCode;
        QString said;
    } lines[] = {
        { { "watch", "--bus", bus(), "--signals", "SumVolt,Nope" }, 2, "unknown signal \"Nope\"" },
        { { "clock", "sync", "--ids", "30" }, 2, "battery numbers are 0 to 27" },
        { { "scan", "--bus", "virtualcan" }, 2, "--bus takes PLUGIN:INTERFACE" },
        { { "scan", "--seconds", "soon" }, 2, "--seconds takes a number" },
        { { "histroy", "--all" }, 2, "unknown command \"histroy\"" },
        { { "clock" }, 2, "an action is needed" },
        { { "watch", "--bus", bus(), "--ids", "1,5", "--interval", "200", "--seconds", "1" }, 1,
            "battery 5 never heard" },
        { QStringList { "--bus", bus() } + checkClock, 0, "\n12  " },
        { QStringList { "--bus=" + bus(), "--bitrate", "500", "--verbose" } + checkClock, 0,
            "\n12  " },
        { { "--version" }, 0, "bmsctl " + AppConfig::version() + "\n" },
        // Refused as it is opened, or once the plugin has spoken.
        { { "scan", "--seconds", "1", "--bus", busAt(m_foreign) }, 1,
            "is no virtual CAN bus server: it sent \"400 Bad\"\n" },
        { { "scan", "--seconds", "1", "--bus", busAt(m_lateForeign) }, 1,
            " is no virtual CAN bus server: it sent \"400 Bad\"; the bus is closed" },
    };
    for (const auto &line : lines) {
        const BmsctlRun run = BmsctlRun::run(line.arguments);
        QVERIFY2(
            run.exitCode == line.exitCode && (run.out + run.err).contains(line.said), run.said());
    }
}

QTEST_GUILESS_MAIN(TestBmsctlBank)
#include "tst_bmsctl_bank.moc"
