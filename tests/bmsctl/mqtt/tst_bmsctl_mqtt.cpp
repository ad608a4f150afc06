// bmsctl mqtt end to end: bms-sim on the bus, Debian's Mosquitto broker of the test's own, and
// mosquitto_sub reading what the gateway published.

#include "support/simprocess.h"

#include "fakebroker.h"
#include "mosquittobroker.h"
#include "mqtt/batteryreport.h"
#include "mqtt/brokerlink.h"
#include "mqtt/mqttgateway.h"
#include "mqttsubscriber.h"

#include "signals/alarmset.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include "bmsctlrun.h"

#include "signals/signalnames.h"

#include <QElapsedTimer>
#include <QJsonArray>

namespace {

// bmsctl mqtt left running, as a service would be.
struct Gateway
{
    QProcess process;
    QByteArray err;

    bool start(const QStringList &arguments)
    {
        process.start(QStringLiteral(BMSCTL_PATH), QStringList { "mqtt" } + arguments);
        return process.waitForStarted(5000);
    }
    bool says(const QByteArray &text)
    {
        return QTest::qWaitFor(
            [&] {
                err += process.readAllStandardError();
                return err.contains(text);
            },
            15000);
    }
    int terminate()
    {
        process.terminate();
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000))
            return -1;
        err += process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    ~Gateway()
    {
        process.kill();
        process.waitForFinished(3000);
    }
};

QString alarmName(int signal)
{
    for (const AlarmSet::Alarm &alarm : AlarmSet::Alarms) {
        if (alarm.signal == signal)
            return QCoreApplication::translate(AlarmSet::NameContext, alarm.name);
    }
    return QString();
}

} // namespace

class TestBmsctlMqtt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void publishesWhatTheBatteriesSayWithDiscovery();
    void statusIsOfflineAfterTermAndTheWillAfterKill();
    void brokerOutageKeepsNoMoreThanTheQueue();
    void refusalsEndOnceAndAreRetriedOtherwise_data();
    void refusalsEndOnceAndAreRetriedOtherwise();
    void silentBatteryGoesOfflineAndComesBack();
    void bankIsOneBatteryWithItsEvents();
    void topicTextsTheBrokerWouldDropAreRefused_data();
    void topicTextsTheBrokerWouldDropAreRefused();
    void gatewaysOfOneSiteKeepTheirConnections_data();
    void gatewaysOfOneSiteKeepTheirConnections();
    void droppedConnectionsAreRetriedLessAndLessOften();
    void endIsBoundedAndUntakenMessagesFailIt();
    void silentNameServerHoldsNothingUp();

private:
    QString bus(SimProcess &sim) const { return "virtualcan:" + sim.interfaceName(); }
    QStringList gatewayArguments(const QString &site, const QString &url)
    {
        return { "--bus", bus(m_sim), "--broker", url, "--site", site };
    }
    QStringList local(const MosquittoBroker &broker) const
    {
        return { "-h", "127.0.0.1", "-p", QString::number(broker.port()) };
    }

    // Batteries 1 and 2; battery 2 reports a cell over-voltage protection, an internal CAN
    // error (a protection flag) and a charge high-temperature alarm.
    SimProcess m_sim;
    MosquittoBroker m_broker;
};

void TestBmsctlMqtt::initTestCase()
{
    QVERIFY2(m_sim.start({ "--packs", "1,2", "--fault-packs", "2", "--force", "16=2,35=1,9=1" }),
        m_sim.output().constData());
    QVERIFY2(m_broker.start("allow_anonymous true\n"), m_broker.log().constData());
}

void TestBmsctlMqtt::publishesWhatTheBatteriesSayWithDiscovery()
{
    MqttSubscriber sub;
    QVERIFY(sub.start(local(m_broker)));
    Gateway gateway;
    QVERIFY(gateway.start(gatewayArguments("plant", m_broker.url())
        + QStringList { "--ha-discovery", "--interval", "500", "--signals", "SOC" }));
    const SignalValues store;
    // A catalogue signal whose name is a built-in value's in other letters keeps its own entity.
    const BatteryReport report(store, { SignalNames::indexOf("SOC") });
    const QString configOf = QStringLiteral("homeassistant/sensor/bmsctl_plant_%1/%2/config");
    QTRY_VERIFY_WITH_TIMEOUT(sub.of("bms/plant/2/state").size() >= 2
            && !sub.of(configOf.arg(2).arg("active_alarms")).isEmpty(),
        15000);

    QCOMPARE(sub.last("bms/plant/status"), QByteArray("online"));
    for (int devId : { 1, 2 }) {
        QCOMPARE(
            sub.last(QStringLiteral("bms/plant/%1/availability").arg(devId)), QByteArray("online"));
        const QJsonObject state = sub.lastJson(QStringLiteral("bms/plant/%1/state").arg(devId));
        // What a 16-cell LFP pack of the simulator says, and what follows from it.
        const double volt = state["voltage"].toDouble();
        const double high = state["cell_voltage_max"].toDouble();
        const double low = state["cell_voltage_min"].toDouble();
        QVERIFY2(low >= 2.5 && high <= 3.8 && low <= high, qPrintable(state.keys().join(',')));
        QVERIFY(volt >= 16 * low - 0.1 && volt <= 16 * high + 0.1);
        QCOMPARE(state["cell_voltage_spread"].toDouble(), std::round((high - low) * 1000) / 1000);
        QVERIFY(qAbs(state["power"].toDouble() - volt * state["current"].toDouble() / 1000) < 2e-3);
        for (const char *cell : { "cell_voltage_max_cell", "cell_voltage_min_cell" })
            QVERIFY(state[cell].toInt() >= 1 && state[cell].toInt() <= 16);
        QVERIFY(state["soc"].toDouble() >= 0 && state["soc"].toDouble() <= 100);
        QCOMPARE(state["soh"].toDouble(), 98.5);
        QVERIFY(state["temperature_min"].toInt() <= state["temperature_max"].toInt());
        QCOMPARE(state["id"].toInt(), devId);
        QCOMPARE(state["online"].toInt(), 1);
        const QDateTime time = QDateTime::fromString(state["time"].toString(), Qt::ISODateWithMs);
        QVERIFY(qAbs(time.msecsTo(QDateTime::currentDateTimeUtc())) < 5000);

        // Every entity reads a value the state message carries, with the gateway's own unit.
        for (const ReportedValue &value : report.values()) {
            const QString component = value.binary ? "binary_sensor" : "sensor";
            const QJsonObject config = QJsonDocument::fromJson(
                sub.last(QStringLiteral("homeassistant/%1/bmsctl_plant_%2/%3/config")
                             .arg(component)
                             .arg(devId)
                             .arg(value.objectId)))
                                           .object();
            QVERIFY2(state.contains(value.key), qPrintable(value.key));
            QCOMPARE(config["value_template"].toString(), "{{ value_json." + value.key + " }}");
            QCOMPARE(
                config["state_topic"].toString(), QStringLiteral("bms/plant/%1/state").arg(devId));
            QCOMPARE(config["unit_of_measurement"].toString(), value.unit);
            QCOMPARE(config["availability"].toArray().size(), 2);
            const QJsonObject device = config["device"].toObject();
            QCOMPARE(device["identifiers"].toArray().first().toString(),
                QStringLiteral("QM2024%1").arg(100000 + devId));
            QCOMPARE(device["model"].toString(), QStringLiteral("ZK-LFP-16S100AH"));
            QCOMPARE(device["sw_version"].toString(), QStringLiteral("ZK-BMS V2.3.07"));
        }
    }
    // The forced faults, protections named before alarms (the simulated pack may add its own).
    const QJsonObject faulty = sub.lastJson("bms/plant/2/state");
    QVERIFY(faulty["protections"].toInt() >= 2 && faulty["alarms"].toInt() >= 1);
    const QVariantList alarms
        = QJsonDocument::fromJson(sub.last("bms/plant/2/alarms")).array().toVariantList();
    const int overVoltage = alarms.indexOf(alarmName(Signal::CellOverVolt));
    const int canError = alarms.indexOf(alarmName(Signal::InterCanCommunError));
    const int hot = alarms.indexOf(alarmName(Signal::ChargeHiTemp));
    QVERIFY2(overVoltage >= 0 && canError > overVoltage && hot > canError,
        sub.last("bms/plant/2/alarms").constData());

    // Home Assistant starting again asks for the configurations again: at once, and once more
    // at most DiscoveryAnswerMs later however often any client says it.
    const QString soc = configOf.arg(1).arg("soc");
    const int configs = sub.of(soc).size();
    QProcess flood;
    flood.start(
        "mosquitto_pub", local(m_broker) + QStringList { "-t", "homeassistant/status", "-l" });
    QVERIFY(flood.waitForStarted());
    flood.write(QByteArray("online\n").repeated(300));
    flood.closeWriteChannel();
    QVERIFY(flood.waitForFinished() && flood.exitCode() == 0);
    QElapsedTimer sinceFirstAnswer;
    QTRY_VERIFY(sub.of(soc).size() > configs);
    sinceFirstAnswer.start();
    QTRY_VERIFY_WITH_TIMEOUT(sub.of(soc).size() >= configs + 2, 2 * MqttGateway::DiscoveryAnswerMs);
    QVERIFY(sinceFirstAnswer.elapsed() >= MqttGateway::DiscoveryAnswerMs / 2);
    QCOMPARE(sub.of(soc).size(), configs + 2);
    QCOMPARE(gateway.terminate(), 0);
}

void TestBmsctlMqtt::statusIsOfflineAfterTermAndTheWillAfterKill()
{
    MqttSubscriber sub;
    QVERIFY(sub.start(local(m_broker)));
    for (bool kill : { false, true }) {
        Gateway gateway;
        const int before = sub.of("bms/ending/status").size();
        QVERIFY(gateway.start(gatewayArguments("ending", m_broker.url())));
        QTRY_COMPARE(sub.of("bms/ending/status").size(), before + 1);
        QTRY_COMPARE(sub.last("bms/ending/1/availability"), QByteArray("online"));
        if (kill) {
            gateway.process.kill();
        } else {
            QCOMPARE(gateway.terminate(), 0);
            QCOMPARE(sub.last("bms/ending/1/availability"), QByteArray("offline"));
        }
        QTRY_COMPARE(sub.of("bms/ending/status").size(), before + 2);
        QCOMPARE(sub.last("bms/ending/status"), QByteArray("offline"));
    }
}

void TestBmsctlMqtt::brokerOutageKeepsNoMoreThanTheQueue()
{
    constexpr int Queue = 3;
    MosquittoBroker broker;
    QVERIFY(broker.start("allow_anonymous true\n"));
    Gateway gateway;
    QVERIFY(gateway.start(gatewayArguments("outage", broker.url())
        + QStringList {
            "--interval", "200", "--queue", QString::number(Queue), "--retry-max", "1" }));
    QVERIFY(gateway.says("connected to"));

    broker.stop();
    const QDateTime stopped = QDateTime::currentDateTimeUtc();
    QVERIFY2(gateway.says("lost the connection"), gateway.err.constData());
    // The outage itself: ten seconds in which 100 state messages are made.
    QTest::qWait(10000 - int(stopped.msecsTo(QDateTime::currentDateTimeUtc())));
    QVERIFY(broker.start("allow_anonymous true\n"));
    const QDateTime restarted = QDateTime::currentDateTimeUtc();
    MqttSubscriber sub;
    QVERIFY(sub.start(local(broker)));
    QVERIFY2(gateway.says("connected again to"), gateway.err.constData());
    QTRY_VERIFY(sub.of("bms/outage/1/state").size() >= 5);

    int fromTheOutage = 0;
    for (const QByteArray &payload : sub.of("bms/outage/1/state") + sub.of("bms/outage/2/state")) {
        const QDateTime time = QDateTime::fromString(
            QJsonDocument::fromJson(payload).object()["time"].toString(), Qt::ISODateWithMs);
        fromTheOutage += time > stopped && time < restarted;
    }
    QVERIFY2(fromTheOutage <= Queue, qPrintable(QString::number(fromTheOutage)));
    QVERIFY(gateway.err.contains("state messages dropped while it was away"));
    QCOMPARE(gateway.terminate(), 0);
}

void TestBmsctlMqtt::refusalsEndOnceAndAreRetriedOtherwise_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QStringList>("credentials");
    QTest::addColumn<bool>("once");
    QTest::addColumn<QByteArray>("said");

    const QStringList wrong { "--username", "alice", "--password-file", "wrong.txt" };
    QTest::newRow("right password, once")
        << "mqtt" << QStringList { "--username", "alice", "--password-file", "right.txt" } << true
        << QByteArray("connected to");
    QTest::newRow("wrong password, once")
        << "mqtt" << wrong << true << QByteArray("refused the connection: Not authorized");
    QTest::newRow("wrong password, retried")
        << "mqtt" << wrong << false << QByteArray("Not authorized; trying again");
    QTest::newRow("right CA, once")
        << "mqtts" << QStringList { "--cafile", "ca.crt" } << true << QByteArray("connected to");
    QTest::newRow("wrong CA, once") << "mqtts" << QStringList { "--cafile", "other.crt" } << true
                                    << QByteArray("certificate verify failed");
}

void TestBmsctlMqtt::refusalsEndOnceAndAreRetriedOtherwise()
{
    QFETCH(QString, scheme);
    QFETCH(QStringList, credentials);
    QFETCH(bool, once);
    QFETCH(QByteArray, said);

    MosquittoBroker broker;
    const auto inFolder = [&](const QString &command) {
        QProcess shell;
        shell.setWorkingDirectory(broker.path("."));
        shell.start("sh", { "-c", command });
        return shell.waitForFinished(20000) && shell.exitCode() == 0;
    };
    // A password file and two certificate authorities, one of which signed the broker's key.
    const char *authority = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                            "-nodes -days 1 -subj /CN=%1 -keyout %1.key -out %1.crt";
    QVERIFY(inFolder("echo secret > right.txt && echo wrong > wrong.txt"
                     " && mosquitto_passwd -c -b users alice secret"));
    QVERIFY(inFolder(QString(authority).arg("ca") + " && " + QString(authority).arg("other")
        + " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "
          "/CN=127.0.0.1 -keyout server.key -out server.csr && printf "
          "'subjectAltName=IP:127.0.0.1' > san && openssl x509 -req -in server.csr -CA ca.crt "
          "-CAkey ca.key -CAcreateserial -days 1 -extfile san -out server.crt"));
    QVERIFY(broker.start(scheme == "mqtt"
            ? "allow_anonymous false\npassword_file " + broker.path("users").toUtf8() + "\n"
            : "allow_anonymous true\ncafile " + broker.path("ca.crt").toUtf8() + "\ncertfile "
                + broker.path("server.crt").toUtf8() + "\nkeyfile "
                + broker.path("server.key").toUtf8() + "\n"));
    for (QString &argument : credentials) {
        if (argument.contains('.'))
            argument = broker.path(argument);
    }

    const QStringList arguments = gatewayArguments("guarded", broker.url(qPrintable(scheme)))
        + credentials + QStringList { "--retry-max", "1" };
    if (once) {
        const BmsctlRun run
            = BmsctlRun::run(QStringList { "mqtt" } + arguments + QStringList { "--once" });
        QVERIFY2(run.err.toUtf8().contains(said), run.said());
        QCOMPARE(run.exitCode, said == "connected to" ? 0 : 1);
        return;
    }
    Gateway gateway;
    QVERIFY(gateway.start(arguments));
    QVERIFY(gateway.says(said));
    // Tried again every second, told once; the final offline never reached the broker.
    QTRY_VERIFY(broker.log().count("disconnected, not authorised") >= 3);
    QCOMPARE(gateway.err.count(said), 1);
    QCOMPARE(gateway.terminate(), 1);
    QVERIFY(gateway.err.contains("the final offline among them, did not reach the broker"));
}

void TestBmsctlMqtt::silentBatteryGoesOfflineAndComesBack()
{
    SimProcess sim;
    QVERIFY(sim.start(
        { "--packs", "1,2", "--fault-packs", "2", "--silent-after", "5", "--silent-for", "5" }));
    MqttSubscriber sub;
    QVERIFY(sub.start(local(m_broker)));
    Gateway gateway;
    QVERIFY(gateway.start(
        { "--bus", bus(sim), "--broker", m_broker.url(), "--site", "quiet", "--interval", "500" }));
    const QString second = "bms/quiet/2/availability";
    QTRY_COMPARE_WITH_TIMEOUT(
        sub.of(second), QList<QByteArray>({ "online", "offline", "online" }), 15000);
    QCOMPARE(sub.of("bms/quiet/1/availability"), QList<QByteArray>({ "online" }));
    bool reportedOffline = false;
    for (const QByteArray &payload : sub.of("bms/quiet/2/state"))
        reportedOffline |= QJsonDocument::fromJson(payload).object()["online"].toInt() == 0;
    QVERIFY(reportedOffline);
    QCOMPARE(gateway.terminate(), 0);
}

void TestBmsctlMqtt::bankIsOneBatteryWithItsEvents()
{
    // Batteries 1 and 3 from one simulator; battery 2 from another on the same bus, first with
    // a cell over-voltage protection, then without.
    SimProcess sim;
    QVERIFY(sim.start({ "--packs", "1,3" }));
    const auto second = [&](ReadyProcess *process, const QStringList &arguments) {
        return process->start(BMS_SIM_PATH,
            QStringList { "--interface", sim.interfaceName(), "--packs", "2" } + arguments,
            "bms-sim: playing batteries");
    };
    ReadyProcess forced;
    QVERIFY(second(&forced, { "--force", QStringLiteral("%1=2").arg(Signal::CellOverVolt) }));
    MqttSubscriber sub;
    QVERIFY(sub.start(local(m_broker)));
    Gateway gateway;
    QVERIFY(gateway.start({ "--bus", bus(sim), "--broker", m_broker.url(), "--site", "whole",
        "--interval", "500", "--signals", "RatedCapacity", "--ha-discovery" }));
    const QString overVoltage = alarmName(Signal::CellOverVolt);
    const auto event = [&](bool active) {
        for (const QByteArray &payload : sub.of("bms/whole/events")) {
            const QJsonObject event = QJsonDocument::fromJson(payload).object();
            if (event["battery"].toInt() == 2 && event["name"].toString() == overVoltage
                && event["kind"].toString() == "protection" && event["active"].toBool() == active)
                return event;
        }
        return QJsonObject();
    };
    QTRY_VERIFY_WITH_TIMEOUT(!event(true).isEmpty(), 15000);
    // The highest cell, as the battery's state tells it.
    const QJsonObject raised = event(true);
    QVERIFY2(raised["cell"].toInt() >= 1 && raised["cell"].toInt() <= 16
            && raised["value"].toDouble() > 2.5 && raised["unit"].toString() == "V",
        QJsonDocument(raised).toJson().constData());

    // A round in which every battery and the bank were published, matched by their time.
    QJsonObject bank;
    QMap<int, QJsonObject> batteries;
    const auto roundFound = [&] {
        // The bank's state before the last: the batteries' of its round have all arrived.
        const QList<QByteArray> banks = sub.of("bms/whole/bank/state");
        if (banks.size() < 2)
            return false;
        bank = QJsonDocument::fromJson(banks.at(banks.size() - 2)).object();
        batteries.clear();
        for (int devId : { 1, 2, 3 }) {
            for (const QByteArray &state :
                sub.of(QStringLiteral("bms/whole/%1/state").arg(devId))) {
                const QJsonObject object = QJsonDocument::fromJson(state).object();
                if (object["time"].toString() == bank["time"].toString())
                    batteries.insert(devId, object);
            }
        }
        return batteries.size() == 3 && bank["batteries_online"].toInt() == 3;
    };
    QVERIFY2(QTest::qWaitFor(roundFound, 15000),
        QJsonDocument(bank).toJson() + QByteArray::number(batteries.size()));
    double current = 0, power = 0, voltage = 0, energy = 0, charge = 0, capacity = 0;
    int protections = 0, alarms = 0;
    QJsonObject highest = batteries.first(), lowest = batteries.first(),
                hottest = batteries.first();
    for (const QJsonObject &state : batteries) {
        current += state["current"].toDouble();
        power += state["power"].toDouble();
        voltage += state["voltage"].toDouble() / batteries.size();
        energy += state["discharge_energy"].toDouble();
        charge += state["soc"].toDouble() * state["RatedCapacity"].toDouble();
        capacity += state["RatedCapacity"].toDouble();
        protections += state["protections"].toInt() > 0;
        alarms += state["alarms"].toInt() > 0;
        if (state["cell_voltage_max"].toDouble() > highest["cell_voltage_max"].toDouble())
            highest = state;
        if (state["cell_voltage_min"].toDouble() < lowest["cell_voltage_min"].toDouble())
            lowest = state;
        if (state["temperature_max"].toDouble() > hottest["temperature_max"].toDouble())
            hottest = state;
    }
    const QByteArray said = QJsonDocument(bank).toJson();
    QVERIFY2(capacity > 0 && qAbs(bank["soc"].toDouble() - charge / capacity) < 0.06, said);
    QCOMPARE(bank["soc_weighting"].toString(), "capacity");
    QVERIFY2(qAbs(bank["current"].toDouble() - current) < 0.06, said);
    QVERIFY2(qAbs(bank["power"].toDouble() - power) < 0.003, said);
    QVERIFY2(qAbs(bank["voltage"].toDouble() - voltage) < 0.006, said);
    QVERIFY2(qAbs(bank["discharge_energy"].toDouble() - energy) < 0.003, said);
    QCOMPARE(bank["cell_voltage_max"].toDouble(), highest["cell_voltage_max"].toDouble());
    QCOMPARE(bank["cell_voltage_max_battery"].toInt(), highest["id"].toInt());
    QCOMPARE(bank["cell_voltage_max_cell"].toInt(), highest["cell_voltage_max_cell"].toInt());
    QCOMPARE(bank["cell_voltage_min"].toDouble(), lowest["cell_voltage_min"].toDouble());
    QCOMPARE(bank["cell_voltage_min_battery"].toInt(), lowest["id"].toInt());
    QCOMPARE(bank["cell_voltage_min_cell"].toInt(), lowest["cell_voltage_min_cell"].toInt());
    QVERIFY2(qAbs(bank["cell_voltage_spread"].toDouble()
                 - (highest["cell_voltage_max"].toDouble() - lowest["cell_voltage_min"].toDouble()))
            < 1e-6,
        said);
    QCOMPARE(bank["temperature_max"].toDouble(), hottest["temperature_max"].toDouble());
    QCOMPARE(bank["protections"].toInt(), protections);
    QCOMPARE(bank["alarms"].toInt(), alarms);
    QCOMPARE(bank["batteries_heard"].toInt(), 3);
    QCOMPARE(bank["batteries_offline"].toArray().size(), 0);

    // Energy entities as Home Assistant's energy view takes them; power as power.
    const auto config = [&](const QString &node, const QString &objectId) {
        return QJsonDocument::fromJson(
            sub.last(QStringLiteral("homeassistant/sensor/bmsctl_whole_%1/%2/config")
                         .arg(node, objectId)))
            .object();
    };
    QTRY_VERIFY(!config("1", "discharge_energy").isEmpty());
    for (const QJsonObject &energyConfig :
        { config("bank", "discharge_energy"), config("1", "discharge_energy") }) {
        QCOMPARE(energyConfig["device_class"].toString(), "energy");
        QCOMPARE(energyConfig["state_class"].toString(), "total_increasing");
        QCOMPARE(energyConfig["unit_of_measurement"].toString(), "kWh");
    }
    QCOMPARE(config("bank", "power")["device_class"].toString(), "power");
    QCOMPARE(config("bank", "soc")["state_topic"].toString(), "bms/whole/bank/state");

    // The protection clears when battery 2 plays on without it.
    forced.stop();
    ReadyProcess plain;
    QVERIFY(second(&plain, {}));
    QTRY_VERIFY_WITH_TIMEOUT(!event(false).isEmpty(), 15000);
    QCOMPARE(gateway.terminate(), 0);
}

void TestBmsctlMqtt::topicTextsTheBrokerWouldDropAreRefused_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("said");

    QTest::newRow("a tab in the prefix") << QStringList { "--prefix", "bms\tx" }
                                         << "--prefix gives no topic to publish under: it holds a "
                                            "control character (U+0009)";
    QTest::newRow("a wildcard in the site") << QStringList { "--site",
        "barn+" } << "--site gives no topic to publish under: it holds a wildcard";
    QTest::newRow("a wildcard in the discovery prefix")
        << QStringList { "--discovery-prefix", "ha/#" } << "--discovery-prefix gives no topic";
    QTest::newRow("a first level the broker keeps")
        << QStringList { "--prefix", "$SYS/x" } << "begins with $";
    QTest::newRow("longer than MQTT allows")
        << QStringList { "--prefix", QString(65500, 'a') } << "is too long";
    QTest::newRow("an empty level") << QStringList { "--prefix", "bms//x" } << "has an empty level";
}

void TestBmsctlMqtt::topicTextsTheBrokerWouldDropAreRefused()
{
    QFETCH(QStringList, options);
    QFETCH(QString, said);

    // Refused when the command line is read: nothing is connected to.
    const BmsctlRun run = BmsctlRun::run(QStringList { "mqtt", "--once" }
        + gatewayArguments("checked", "mqtt://127.0.0.1:1") + options);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(said), run.said().left(2000));
}

void TestBmsctlMqtt::gatewaysOfOneSiteKeepTheirConnections_data()
{
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<bool>("takenOver");

    QTest::newRow("another prefix") << QStringList { "--prefix", "bms/other" } << false;
    QTest::newRow("the same prefix and bus") << QStringList() << true;
}

void TestBmsctlMqtt::gatewaysOfOneSiteKeepTheirConnections()
{
    QFETCH(QStringList, second);
    QFETCH(bool, takenOver);

    MosquittoBroker broker;
    QVERIFY(broker.start("allow_anonymous true\n"));
    Gateway first;
    QVERIFY(first.start(gatewayArguments("twin", broker.url())));
    QVERIFY(first.says("connected to"));
    Gateway other;
    QVERIFY(other.start(gatewayArguments("twin", broker.url()) + second));
    QVERIFY(other.says("connected to"));
    if (takenOver) {
        QVERIFY2(first.says("when another client connects with the client id bmsctl-twin-"),
            first.err.constData());
    } else {
        // Both stay, while the second publishes a few rounds.
        MqttSubscriber sub;
        QVERIFY(sub.start(local(broker)));
        QTRY_VERIFY(sub.of("bms/other/1/state").size() >= 3);
        first.err += first.process.readAllStandardError();
        QVERIFY2(!first.err.contains("lost the connection"), first.err.constData());
    }
    first.terminate();
    other.terminate();
}

void TestBmsctlMqtt::droppedConnectionsAreRetriedLessAndLessOften()
{
    FakeBroker broker(FakeBroker::After::Drop);
    QVERIFY(broker.listen());
    Gateway gateway;
    QVERIFY(gateway.start(gatewayArguments("dropped", broker.url())));
    QTRY_VERIFY_WITH_TIMEOUT(broker.connections().size() >= 4, 20000);
    // 1, 2, 4 s apart: a connection that lasted no while does not start the waits again.
    const QList<qint64> at = broker.connections();
    QVERIFY2(
        at[3] - at[2] >= 3 * BrokerLink::FirstRetryMs && at[2] - at[1] >= BrokerLink::FirstRetryMs,
        qPrintable(QStringLiteral("%1 %2 %3 %4").arg(at[0]).arg(at[1]).arg(at[2]).arg(at[3])));
    QCOMPARE(gateway.terminate(), 1);
}

void TestBmsctlMqtt::endIsBoundedAndUntakenMessagesFailIt()
{
    FakeBroker broker(FakeBroker::After::Silence);
    QVERIFY(broker.listen());
    Gateway gateway;
    QVERIFY(gateway.start(gatewayArguments("unread", broker.url())));
    QVERIFY(gateway.says("connected to"));
    QElapsedTimer ending;
    ending.start();
    // The final flush's 3 s, then the disconnect's 1 s at most.
    QCOMPARE(gateway.terminate(), 1);
    QVERIFY2(ending.elapsed() < 6000, qPrintable(QString::number(ending.elapsed())));
    QVERIFY2(gateway.err.contains("the final offline among them, did not reach the broker"),
        gateway.err.constData());
    QVERIFY(!gateway.err.contains(" 0 messages, the final"));
}

void TestBmsctlMqtt::silentNameServerHoldsNothingUp()
{
    // A network and mount namespace of the test's own: its resolv.conf names a loopback address
    // where a socket takes the questions and never answers.
    if (QProcess::execute("unshare", { "--mount", "--net", "true" }) != 0)
        QSKIP("no namespaces of its own here (unshare needs root)");
    QTemporaryDir dir;
    QFile resolv(dir.filePath("resolv.conf"));
    QVERIFY(resolv.open(QIODevice::WriteOnly));
    resolv.write("nameserver 127.0.0.2\noptions timeout:30 attempts:1\n");
    resolv.close();
    const QString script = QStringLiteral(R"(
ip link set lo up && mount --bind "$0/resolv.conf" /etc/resolv.conf || exit 3
python3 -u -c '
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.2", 53))
while True:
    s.recvfrom(512)
    print("name server asked")
' & sink=$!
"$1" --interface "$2" --packs 1,2 > "$0/sim.log" 2>&1 & sim=$!
until grep -q "playing batteries" "$0/sim.log"; do sleep 0.1; done
"$3" mqtt --bus "virtualcan:$2" --broker mqtt://bank-broker.lan --site resolving & gateway=$!
trap 'kill -TERM $gateway' TERM
while kill -0 $gateway 2>/dev/null; do wait $gateway; status=$?; done
kill $sink $sim
exit $status
)");
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start("unshare",
        { "--mount", "--net", "sh", "-c", script, dir.path(), BMS_SIM_PATH,
            QStringLiteral("tcp://127.0.0.1:%1/can0").arg(TestPort::pick()), BMSCTL_PATH });
    QByteArray said;
    QVERIFY(QTest::qWaitFor(
        [&] {
            said += run.readAll();
            return said.contains("name server asked") || run.state() == QProcess::NotRunning;
        },
        20000));
    QVERIFY2(said.contains("name server asked"), said.constData());
    // The lookup hangs for 30 s; SIGTERM is heard at once and the end is bounded as ever.
    QElapsedTimer ending;
    ending.start();
    run.terminate();
    QVERIFY(QTest::qWaitFor([&] { return run.state() == QProcess::NotRunning; }, 20000));
    said += run.readAll();
    QVERIFY2(ending.elapsed() < 6000, said.constData());
    QCOMPARE(run.exitCode(), 1);
}

QTEST_GUILESS_MAIN(TestBmsctlMqtt)
#include "tst_bmsctl_mqtt.moc"
