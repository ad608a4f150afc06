#include "bussession.h"

#include "bus/eventwait.h"

#include "can/canbusfactory.h"
#include "can/candevice.h"
#include "can/canservice.h"
#include "can/frameinbox.h"
#include "log/debugoutputdestination.h"
#include "log/destinationfactory.h"
#include "log/logger.h"
#include "signals/signalvalues.h"
#include "upgrade/canupgrade.h"

#include <QLoggingCategory>
#include <QStringList>

#include <chrono>

namespace {

constexpr int AdapterIndex = 0;
constexpr int AdapterChannel = 0;
constexpr bool ExtendedIdentifiers = true;

qint64 nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

// The last part of a Qt bus interface ("tcp://127.0.0.1:24600/can0" is can0) if it is a plain
// name; a vendor adapter's channel 0 otherwise.
QString channelNameOf(const BusOptions &options)
{
    if (options.bus) {
        const QString last = options.bus->interfaceName().section(QLatin1Char('/'), -1);
        bool plain = !last.isEmpty();
        for (QChar c : last)
            plain
                = plain && (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-'));
        if (plain)
            return last;
    }
    return QStringLiteral("can0");
}

} // namespace

BusSession::BusSession(const BusOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_channelName(channelNameOf(options))
    , m_monitor(*SignalValues::instance())
{
    connect(&m_guard, &VirtualBusGuard::foreignLine, this, [this](const QString &reason) {
        emit lost(QStringLiteral("%1; the bus is closed").arg(reason));
    });
}

BusSession::~BusSession()
{
    close();
}

CanService *BusSession::service() const
{
    // The service flash upgrades through runs the program's CAN upgrade.
    static CanService *const service = [] {
        CanService::provideUpgradeSession(new CanUpgrade);
        return CanService::instance();
    }();
    return service;
}

SignalValues *BusSession::store() const
{
    return SignalValues::instance();
}

bool BusSession::open(QString *error)
{
    if (m_options.verbose) {
        QsLogging::Logger &logger = QsLogging::Logger::instance();
        logger.setLoggingLevel(QsLogging::InfoLevel);
        if (!logger.hasDestinationOfType(QsLogging::DebugOutputDestination::Type))
            logger.addDestination(QsLogging::DestinationFactory::MakeDebugOutputDestination());
    } else {
        // Qt's CAN plugins talk about their sockets on standard error; that is for --verbose.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false"));
    }

    std::optional<CanBusConfig> bus = m_options.bus;
    if (bus && bus->plugin() == QLatin1String("virtualcan")) {
        QString reason;
        const QString through = m_guard.start(bus->interfaceName(), &reason);
        if (through.isEmpty()) {
            *error = QStringLiteral("cannot open the bus (%1): %2")
                         .arg(m_options.description(), reason);
            return false;
        }
        bus = CanBusConfig(bus->plugin(), through);
    }
    // The adapter is made with the service, so the bus must be chosen first.
    CanBusFactory::setChosenBus(bus);
    CanService *canService = service();
    QObject::disconnect(
        store(), &SignalValues::deviceReconnect, canService, &CanService::OnDeviceReconnect);
    connect(canService->inbox(), &FrameInbox::frameArrived, this, &BusSession::onNewData);

    const auto openAdapter = [&] {
        return canService->initService(m_options.adapterType, AdapterIndex, ExtendedIdentifiers,
                   AdapterChannel, m_options.bitrateKbit)
            == 0;
    };
    // A virtual bus whose server is slow to answer looks the same as one that is not there; a
    // second attempt tells them apart.
    if (!openAdapter() && !openAdapter()) {
        *error
            = QStringLiteral("cannot open the bus (%1)%2")
                  .arg(m_options.description(),
                      m_options.verbose ? QString() : QStringLiteral("; --verbose shows the log"));
        return false;
    }
    m_open = true;
    m_monitor.restart();
    return true;
}

void BusSession::close()
{
    if (!m_open)
        return;
    m_open = false;
    service()->closeService();
}

QString BusSession::channelName() const
{
    return m_channelName;
}

bool BusSession::waitForBattery(int devId)
{
    return EventWait::until(DiscoveryMs, [this, devId] { return m_monitor.heard(devId); })
        == EventWait::Done;
}

QList<int> BusSession::selectBatteries(const QList<int> &ids, QList<int> *absent)
{
    if (ids.isEmpty()) {
        EventWait::pause(DiscoveryMs);
        return m_monitor.devices();
    }
    EventWait::until(DiscoveryMs, [this, &ids] {
        for (int devId : ids) {
            if (!m_monitor.heard(devId))
                return false;
        }
        return true;
    });
    QList<int> present;
    for (int devId : ids) {
        if (m_monitor.heard(devId))
            present.append(devId);
        else if (absent)
            absent->append(devId);
    }
    return present;
}

QString BusSession::heardList() const
{
    QStringList ids;
    for (int devId : m_monitor.devices())
        ids.append(QString::number(devId));
    return ids.isEmpty() ? QStringLiteral("none") : ids.join(QStringLiteral(", "));
}

void BusSession::onNewData(ulong id, const QByteArray &data, ulong timeStamp)
{
    Q_UNUSED(timeStamp)
    // The adapter hands over identifiers without their format; this bus carries 29-bit ones.
    LoggedFrame frame;
    frame.timeUs = nowUs();
    frame.interfaceName = m_channelName;
    frame.id = quint32(id);
    frame.extended = ExtendedIdentifiers;
    frame.data = data;
    m_monitor.addFrame(frame.id, frame.extended, frame.data);
    emit frameReceived(frame);
}
