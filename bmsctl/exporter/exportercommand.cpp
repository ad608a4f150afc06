#include "exportercommand.h"

#include "bank/bankmodel.h"
#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "bus/eventwait.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "exporter/bankmetrics.h"
#include "formats/passwordfile.h"

#include "can/canservice.h"
#include "can/frameinbox.h"
#include "signals/signalvalues.h"

#include <prometheus/exposer.h>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QSysInfo>
#include <QTimer>

#include <memory>

namespace {

// How often the life counters are looked at (well within LifeWatch::OfflineAfterMs), and the
// metrics taken from the store: a scrape every second sees values at most this old.
constexpr int LifeCheckMs = 500;
constexpr int UpdateMs = 1000;
// The frames heard are taken in batches this often rather than one batch per poll of the
// adapter, as the MQTT gateway takes them: the main thread wakes a few times less often.
constexpr int FrameBatchMs = 20;

// HOST:PORT, [IPv6]:PORT, as the library's server takes it; empty when the text is none.
QString listenAddress(const QString &text)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return QString();
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const int port = text.mid(colon + 1).toInt(&ok);
    const QHostAddress address(host);
    if (!ok || port < 1 || port > 65535 || address.isNull())
        return QString();
    return address.protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("[%1]:%2").arg(address.toString()).arg(port)
        : QStringLiteral("%1:%2").arg(address.toString()).arg(port);
}

} // namespace

QString ExporterCommand::summary() const
{
    return QStringLiteral("The batteries' metrics served to Prometheus.");
}

int ExporterCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Serves the metrics of the batteries heard on the bus on http://HOST:PORT/"
                       "metrics in Prometheus's text format until Ctrl-C or SIGTERM: per battery "
                       "bms_up (1 while its life counter moves, else 0) and, while it is online, "
                       "its state of charge, voltage, current, power, cells, temperatures, "
                       "protections, alarms, relays and discharge energy; for the exporter the "
                       "frames heard and the bus load. Sends nothing on the bus."));
    line.addIdsOption(QStringLiteral("Batteries to serve"));
    const QCommandLineOption listen { QStringLiteral("listen"),
        QStringLiteral("Where to serve, HOST:PORT (default %1: this PC only; 0.0.0.0:PORT serves "
                       "every network, behind a firewall).")
            .arg(QLatin1String(DefaultListen)),
        QStringLiteral("address"), QString::fromLatin1(DefaultListen) };
    const QCommandLineOption site { QStringLiteral("site"),
        QStringLiteral("The site label of every series (default: the host name)."),
        QStringLiteral("name") };
    const QCommandLineOption username { QStringLiteral("username"),
        QStringLiteral("Ask scrapers for this user name (HTTP basic authentication)."),
        QStringLiteral("name") };
    const QCommandLineOption passwordFile { QStringLiteral("password-file"),
        QStringLiteral("A file whose first line is the scrapers' password."),
        QStringLiteral("file") };
    for (const QCommandLineOption &option : { listen, site, username, passwordFile })
        line.parser().addOption(option);
    int status = line.parse(arguments, console);
    if (status >= 0)
        return status;
    CommandParser &parser = line.parser();
    const QString address = listenAddress(parser.value(listen));
    if (address.isEmpty())
        return parser.usageError(console,
            QStringLiteral("--listen takes HOST:PORT, an address and a port from 1 to 65535: %1")
                .arg(parser.value(listen)));
    if (parser.isSet(username) != parser.isSet(passwordFile))
        return parser.usageError(
            console, QStringLiteral("--username and --password-file go together"));
    const std::string user = parser.value(username).toStdString();
    QByteArray password;
    QString error;
    QString exposure;
    if (parser.isSet(passwordFile)
        && !PasswordFile::read(parser.value(passwordFile), &password, &error, &exposure)) {
        console.error(error);
        return ExitStatus::Failure;
    }
    if (!exposure.isEmpty())
        console.note(exposure);
    status = line.openBus(console);
    if (status >= 0)
        return status;

    BusSession &session = line.session();
    session.service()->inbox()->setBatchInterval(FrameBatchMs);
    session.monitor().restart(BusMonitor::BitTimes::Counted);
    BankModel bank(*session.store(), session.monitor(), line.ids());
    const auto metrics = std::make_shared<BankMetrics>(
        parser.isSet(site) ? parser.value(site) : QSysInfo::machineHostName());
    std::unique_ptr<prometheus::Exposer> exposer;
    try {
        exposer = std::make_unique<prometheus::Exposer>(address.toStdString(), 2);
    } catch (const std::exception &error) {
        console.error(QStringLiteral("cannot serve on %1: %2")
                          .arg(address, QString::fromLocal8Bit(error.what())));
        return ExitStatus::Failure;
    }
    exposer->RegisterCollectable(metrics);
    if (!user.empty()) {
        exposer->RegisterAuth([user, password = password.toStdString()](
                                  const std::string &givenUser, const std::string &givenPassword) {
            return givenUser == user && givenPassword == password;
        });
    }

    QElapsedTimer clock;
    clock.start();
    QTimer lives;
    QObject::connect(&lives, &QTimer::timeout, [&] { bank.checkLives(clock.elapsed()); });
    lives.start(LifeCheckMs);
    qint64 lastBits = 0;
    qint64 lastMs = 0;
    const double bitsPerSecond = line.busOptions().bitrateKbit * 1000.0;
    QTimer updates;
    QObject::connect(&updates, &QTimer::timeout, [&] {
        const BusMonitor &monitor = session.monitor();
        const qint64 nowMs = monitor.elapsedMs();
        const double seconds = (nowMs - lastMs) / 1000.0;
        const double load = seconds > 0 ? (monitor.bits() - lastBits) / seconds / bitsPerSecond : 0;
        lastBits = monitor.bits();
        lastMs = nowMs;
        metrics->update(bank, double(monitor.frames()), load);
    });
    updates.start(UpdateMs);
    metrics->update(bank, 0, 0);

    console.note(QStringLiteral("serving the batteries on %1 at http://%2/metrics%3")
                     .arg(line.busOptions().description(), address,
                         user.empty() ? QString() : QStringLiteral(" (basic authentication)")));
    EventWait::until(-1, {});
    console.note(QStringLiteral("ended"));
    return ExitStatus::Success;
}
