#include "mqttcommand.h"

#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "bus/eventwait.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "formats/passwordfile.h"
#include "mqtt/brokerlink.h"
#include "mqtt/mqttgateway.h"

#include "signals/signalindex.h"
#include "signals/signalnames.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

namespace {

constexpr int MinIntervalMs = 100;
// --once: long enough for every battery's life counter to be judged.
constexpr int OnceListenMs = LifeWatch::OfflineAfterMs + 2 * MqttGateway::LifeCheckMs;
constexpr int OnceConnectMs = 10000;
// What waits is given this long to reach the broker at the end.
constexpr int FinalFlushMs = 3000;

// What the gateway adds at most to the texts it builds topics from: levels, battery numbers,
// Home Assistant's node and object ids.
constexpr int TopicRoomBytes = 256;

// Why a topic text of the command line (the site, a prefix) would give topics that cannot be
// published or received; empty when it is fit. Empty levels are refused too: "bms//x" is valid
// MQTT, but never what was meant.
QString topicTextProblem(const QString &text)
{
    if (text.isEmpty() || text.split(QLatin1Char('/')).contains(QString()))
        return QStringLiteral("has an empty level");
    const QString problem = MqttClient::topicProblem(text);
    if (!problem.isEmpty())
        return problem;
    if (text.toUtf8().size() + TopicRoomBytes > MqttClient::MaxTopicBytes)
        return QStringLiteral("is too long: with the gateway's own levels its topics would pass "
                              "MQTT's %1 bytes")
            .arg(MqttClient::MaxTopicBytes);
    return QString();
}

// Unique per gateway, so that two gateways on one PC (two buses, or two prefixes, with one site)
// do not take the broker's connection from each other: the site, for people, and a digest of
// the prefix and the bus.
QString clientId(const QString &site, const QString &prefix, const QString &bus)
{
    const QByteArray digest = QCryptographicHash::hash(
        (prefix + QLatin1Char('\n') + bus).toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("bmsctl-%1-%2").arg(site, QString::fromLatin1(digest.toHex().left(8)));
}

// Everything the command line says, checked.
struct Settings
{
    BrokerLink::Settings link;
    MqttGateway::Options gateway;
    bool once = false;
};

class MqttCommandLine
{
public:
    explicit MqttCommandLine(const QString &name)
        : m_line(name,
            QStringLiteral(
                "Publishes the batteries heard on the bus to an MQTT broker until Ctrl-C or "
                "SIGTERM: per battery <prefix>/<id>/state (JSON, every interval), <prefix>/<id>/"
                "alarms (the active protections and alarms, when they change) and <prefix>/<id>/"
                "availability (online while the life counter moves, offline 3 s after it stops), "
                "and <prefix>/status (offline is the last will). A broker that is away or "
                "refuses is tried again while the bus is listened to. Reads nothing from the "
                "broker but Home Assistant's status, and sends nothing on the bus but, with "
                "--ha-discovery, the batteries' identity reads."))
    {
        m_line.addIdsOption(QStringLiteral("Batteries to publish"));
        for (const QCommandLineOption &option : { m_broker, m_site, m_prefix, m_interval, m_signals,
                 m_allSignals, m_discovery, m_discoveryPrefix, m_username, m_passwordFile, m_caFile,
                 m_cert, m_key, m_queue, m_retryMax, m_once })
            m_line.parser().addOption(option);
    }

    BusCommandLine &line() { return m_line; }

    // -1 to go on, else the exit status.
    int read(const QStringList &arguments, Console &console, Settings *settings)
    {
        int status = m_line.parse(arguments, console);
        if (status >= 0)
            return status;
        CommandParser &parser = m_line.parser();
        QString error;
        if (!parser.isSet(m_broker))
            return parser.usageError(console, QStringLiteral("--broker is needed"));
        MqttClient::Settings &client = settings->link.client;
        if (!BrokerAddress::parse(parser.value(m_broker), &client.broker, &error))
            return parser.usageError(console, error);

        MqttGateway::Options &gateway = settings->gateway;
        gateway.site = parser.isSet(m_site) ? parser.value(m_site) : QSysInfo::machineHostName();
        if (gateway.site.contains(QLatin1Char('/')))
            return parser.usageError(
                console, QStringLiteral("--site takes a name without /: %1").arg(gateway.site));
        gateway.topics.prefix = parser.isSet(m_prefix) ? parser.value(m_prefix)
                                                       : QStringLiteral("bms/%1").arg(gateway.site);
        gateway.discoveryPrefix = parser.value(m_discoveryPrefix);
        // Checked here rather than found out at the broker, which drops what it cannot route
        // without a word. The site stands in the discovery topics too.
        const QList<QPair<QString, QString>> topicTexts { { QStringLiteral("--site"),
                                                              gateway.site },
            { QStringLiteral("--prefix"), gateway.topics.prefix },
            { QStringLiteral("--discovery-prefix"), gateway.discoveryPrefix } };
        for (const auto &[option, text] : topicTexts) {
            const QString problem = topicTextProblem(text);
            if (!problem.isEmpty())
                return parser.usageError(console,
                    QStringLiteral("%1 gives no topic to publish under: it %2")
                        .arg(option, problem));
        }
        bool ok = false;
        gateway.intervalMs = parser.value(m_interval).toInt(&ok);
        if (!ok || gateway.intervalMs < MinIntervalMs)
            return parser.usageError(console,
                QStringLiteral("--interval takes milliseconds, at least %1: %2")
                    .arg(MinIntervalMs)
                    .arg(parser.value(m_interval)));
        if (parser.isSet(m_allSignals)) {
            for (int index = 0; index < Signal::Count; ++index)
                gateway.extraSignals.append(index);
        } else if (parser.isSet(m_signals)) {
            for (const QString &name :
                parser.value(m_signals).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                const int index = SignalNames::indexOf(name);
                if (index < 0)
                    return parser.usageError(
                        console, QStringLiteral("unknown signal \"%1\"").arg(name));
                gateway.extraSignals.append(index);
            }
        }
        gateway.ids = m_line.ids();
        gateway.discovery = parser.isSet(m_discovery);
        client.willTopic = gateway.topics.status();
        client.willPayload = QByteArrayLiteral("offline");

        settings->link.stateQueue = parser.value(m_queue).toInt(&ok);
        if (!ok || settings->link.stateQueue < 1)
            return parser.usageError(console,
                QStringLiteral("--queue takes a number of messages, at least 1: %1")
                    .arg(parser.value(m_queue)));
        const int retryMaxS = parser.value(m_retryMax).toInt(&ok);
        if (!ok || retryMaxS < 1)
            return parser.usageError(console,
                QStringLiteral("--retry-max takes seconds, at least 1: %1")
                    .arg(parser.value(m_retryMax)));
        settings->link.retryMaxMs = retryMaxS * 1000;
        settings->once = parser.isSet(m_once);
        settings->link.retry = !settings->once;

        status = readCredentials(console, &client);
        if (status >= 0)
            return status;
        status = m_line.readBusOptions(console);
        if (status >= 0)
            return status;
        client.clientId
            = clientId(gateway.site, gateway.topics.prefix, m_line.busOptions().description());
        return -1;
    }

private:
    int readCredentials(Console &console, MqttClient::Settings *client)
    {
        CommandParser &parser = m_line.parser();
        client->username = parser.value(m_username);
        if (parser.isSet(m_passwordFile) && client->username.isEmpty())
            return parser.usageError(console, QStringLiteral("--password-file needs --username"));
        const bool tlsFiles = parser.isSet(m_caFile) || parser.isSet(m_cert) || parser.isSet(m_key);
        if (tlsFiles && !client->broker.tls)
            return parser.usageError(
                console, QStringLiteral("--cafile, --cert and --key are for an mqtts:// broker"));
        if (parser.isSet(m_cert) != parser.isSet(m_key))
            return parser.usageError(console, QStringLiteral("--cert and --key go together"));
        client->caFile = parser.value(m_caFile);
        client->certFile = parser.value(m_cert);
        client->keyFile = parser.value(m_key);
        for (const QString &path : { client->caFile, client->certFile, client->keyFile }) {
            if (!path.isEmpty() && !QFileInfo(path).isReadable()) {
                console.error(QStringLiteral("cannot read %1").arg(path));
                return ExitStatus::Failure;
            }
        }
        if (!parser.isSet(m_passwordFile))
            return -1;
        // The password is the file's first line; it is never shown.
        QString error;
        QString exposure;
        if (!PasswordFile::read(
                parser.value(m_passwordFile), &client->password, &error, &exposure)) {
            console.error(error);
            return ExitStatus::Failure;
        }
        if (!exposure.isEmpty())
            console.note(exposure);
        return -1;
    }

    BusCommandLine m_line;
    const QCommandLineOption m_broker { QStringLiteral("broker"),
        QStringLiteral("The broker: mqtt://HOST[:PORT] (1883) or mqtts://HOST[:PORT] (TLS, 8883)."),
        QStringLiteral("url") };
    const QCommandLineOption m_site { QStringLiteral("site"),
        QStringLiteral("The site's name in topics and in Home Assistant (default: the host name)."),
        QStringLiteral("name") };
    const QCommandLineOption m_prefix { QStringLiteral("prefix"),
        QStringLiteral("The topics' prefix (default: bms/<site>)."), QStringLiteral("topic") };
    const QCommandLineOption m_interval { QStringLiteral("interval"),
        QStringLiteral("Milliseconds between state messages (default %1).")
            .arg(MqttCommand::DefaultIntervalMs),
        QStringLiteral("ms"), QString::number(MqttCommand::DefaultIntervalMs) };
    const QCommandLineOption m_signals { QStringLiteral("signals"),
        QStringLiteral("Catalogue signals to add to the state, by name, comma-separated (the "
                       "names `bmsctl dbc export` lists)."),
        QStringLiteral("names") };
    const QCommandLineOption m_allSignals { QStringLiteral("all-signals"),
        QStringLiteral("Add every catalogue signal to the state.") };
    const QCommandLineOption m_discovery { QStringLiteral("ha-discovery"),
        QStringLiteral("Publish Home Assistant discovery: a device per battery, identified by "
                       "its serial code, which is read from the battery.") };
    const QCommandLineOption m_discoveryPrefix { QStringLiteral("discovery-prefix"),
        QStringLiteral("Home Assistant's discovery prefix (default %1).")
            .arg(QLatin1String(Discovery::DefaultPrefix)),
        QStringLiteral("topic"), QString::fromLatin1(Discovery::DefaultPrefix) };
    const QCommandLineOption m_username { QStringLiteral("username"),
        QStringLiteral("User name at the broker."), QStringLiteral("name") };
    const QCommandLineOption m_passwordFile { QStringLiteral("password-file"),
        QStringLiteral("A file whose first line is the password."), QStringLiteral("file") };
    const QCommandLineOption m_caFile { QStringLiteral("cafile"),
        QStringLiteral("The CA certificate to trust (PEM; default: the system's)."),
        QStringLiteral("file") };
    const QCommandLineOption m_cert { QStringLiteral("cert"),
        QStringLiteral("A client certificate (PEM), with --key."), QStringLiteral("file") };
    const QCommandLineOption m_key { QStringLiteral("key"),
        QStringLiteral("The client certificate's key (PEM)."), QStringLiteral("file") };
    const QCommandLineOption m_queue { QStringLiteral("queue"),
        QStringLiteral("State messages kept while the broker is away; the oldest go first "
                       "(default %1).")
            .arg(MqttCommand::DefaultStateQueue),
        QStringLiteral("n"), QString::number(MqttCommand::DefaultStateQueue) };
    const QCommandLineOption m_retryMax { QStringLiteral("retry-max"),
        QStringLiteral("Longest wait between attempts to reach the broker (default %1 s).")
            .arg(MqttCommand::DefaultRetryMaxS),
        QStringLiteral("s"), QString::number(MqttCommand::DefaultRetryMaxS) };
    const QCommandLineOption m_once { QStringLiteral("once"),
        QStringLiteral("Publish one round and end; status 1 when the broker cannot be reached "
                       "or refuses.") };
};

int runOnce(
    Console &console, BusCommandLine &line, BrokerLink &link, MqttGateway &gateway, bool discovery)
{
    link.start();
    gateway.start(false);
    EventWait::until(OnceListenMs, [&link] { return link.failed(); });
    if (discovery && !link.failed())
        gateway.readIdentities();
    EventWait::until(OnceConnectMs, [&link] { return link.isConnected() || link.failed(); });
    if (!link.isConnected()) {
        if (!link.failed())
            console.error(
                QStringLiteral("no answer from the broker within %1 s").arg(OnceConnectMs / 1000));
        link.stop(0);
        return ExitStatus::Failure;
    }
    gateway.publishRound();
    gateway.stop();
    if (link.stop(FinalFlushMs) > 0) {
        console.error(QStringLiteral("the broker did not take every message"));
        return ExitStatus::Failure;
    }
    if (gateway.batteryCount() == 0) {
        console.error(
            QStringLiteral("no battery heard on %1").arg(line.busOptions().description()));
        return ExitStatus::Failure;
    }
    console.note(QStringLiteral("one round published: %1 batteries, %2 messages")
                     .arg(gateway.batteryCount())
                     .arg(link.published()));
    return ExitStatus::Success;
}

} // namespace

QString MqttCommand::summary() const
{
    return QStringLiteral(
        "The batteries published to an MQTT broker, with Home Assistant discovery.");
}

int MqttCommand::run(const QStringList &arguments, Console &console)
{
    MqttCommandLine commandLine(name());
    Settings settings;
    int status = commandLine.read(arguments, console, &settings);
    if (status >= 0)
        return status;
    BusCommandLine &line = commandLine.line();
    status = line.openBus(console);
    if (status >= 0)
        return status;

    BrokerLink link(settings.link, console);
    MqttGateway gateway(settings.gateway, line.session(), link);
    if (settings.once)
        return runOnce(console, line, link, gateway, settings.gateway.discovery);

    console.note(QStringLiteral("publishing the batteries on %1 to %2 under %3/")
                     .arg(line.busOptions().description(), settings.link.client.broker.text(),
                         settings.gateway.topics.prefix));
    link.start();
    gateway.start(true);
    EventWait::until(-1, {});
    gateway.stop();
    const int undelivered = link.stop(FinalFlushMs);
    console.note(QStringLiteral("ended: %1 messages published, %2 state messages dropped")
                     .arg(link.published())
                     .arg(link.dropped()));
    if (undelivered > 0) {
        console.error(QStringLiteral("%1 messages, the final offline among them, did not reach the "
                                     "broker within %2 s: it may still show the batteries online")
                          .arg(undelivered)
                          .arg(FinalFlushMs / 1000));
        return ExitStatus::Failure;
    }
    return ExitStatus::Success;
}
