#include "bmssimulator.h"

#include "burstsource.h"
#include "simbattery.h"
#include "simbootloader.h"
#include "uartbootloader.h"

#include "can/canbusconfig.h"
#include "can/commandprotocol.h"
#include "settings/thresholdsetting.h"
#include "signals/signalvalues.h"

#include <QCanBusDevice>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int ConnectTimeoutMs = 5000;
constexpr int BusSecondMs = 1000;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

} // namespace

BmsSimulator::BmsSimulator(const SimOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_catalogue(new SignalValues)
    , m_parameters(new ThresholdSetting)
    , m_capacity(options.bitRate)
    , m_secondTimer(new QTimer(this))
{
    connect(m_secondTimer, &QTimer::timeout, this, &BmsSimulator::OnBusSecond);
}

BmsSimulator::~BmsSimulator() = default;

bool BmsSimulator::start()
{
    const CanBusConfig config(m_options.plugin, m_options.interfaceName);
    QString error;
    m_bus = config.createDevice(&error);
    if (!m_bus) {
        std::fprintf(stderr, "bms-sim: cannot use %s: %s\n", qPrintable(config.description()),
            qPrintable(error));
        return false;
    }
    m_bus->connectDevice();
    if (m_bus->state() != QCanBusDevice::ConnectedState) {
        QEventLoop loop;
        QTimer::singleShot(ConnectTimeoutMs, &loop, &QEventLoop::quit);
        connect(m_bus.get(), &QCanBusDevice::stateChanged, &loop,
            [&loop](QCanBusDevice::CanBusDeviceState state) {
                if (state == QCanBusDevice::ConnectedState
                    || state == QCanBusDevice::UnconnectedState)
                    loop.quit();
            });
        loop.exec();
    }
    if (m_bus->state() != QCanBusDevice::ConnectedState) {
        std::fprintf(stderr, "bms-sim: cannot join %s: %s\n", qPrintable(config.description()),
            qPrintable(m_bus->errorString()));
        return false;
    }
    connect(m_bus.get(), &QCanBusDevice::framesReceived, this, &BmsSimulator::OnFramesReceived);

    m_sinceStart.start();
    m_burst = new BurstSource(
        m_options.bus, m_capacity.bitRate(), m_sinceStart,
        [this](quint32 id, const QByteArray &data) {
            QCanBusFrame frame(id, data);
            frame.setExtendedFrameFormat(true);
            m_bus->writeFrame(frame);
        },
        this);
    // The first battery stays the first: the set-device-number command and the serial port
    // reach it.
    for (int devId : m_options.packs)
        addBattery(devId);
    for (int devId : m_options.bus.strayPacks)
        addBattery(devId);

    if (m_options.uart) {
        // The first battery is the one on the bench with its serial port connected.
        auto *bootLoader = new UartBootLoader(m_options, m_batteries.first(), this);
        if (!bootLoader->open(&error)) {
            std::fprintf(
                stderr, "bms-sim: cannot play the uart boot loader: %s\n", qPrintable(error));
            return false;
        }
        out() << "bms-sim: uart boot loader on " << bootLoader->portPath() << Qt::endl;
    }

    QStringList packs;
    for (int devId : m_options.packs)
        packs << QString::number(devId);
    out() << "bms-sim: playing batteries " << packs.join(QLatin1Char(',')) << " on "
          << config.description() << " at " << m_capacity.bitRate() << " bit/s" << Qt::endl;
    m_secondTimer->start(BusSecondMs);
    return true;
}

void BmsSimulator::addBattery(int devId)
{
    auto *battery = new SimBattery(quint8(devId), m_options, *m_catalogue, *m_parameters, this);
    connect(
        battery, &SimBattery::broadcast, this, [this, battery](quint32 id, const QByteArray &data) {
            send(battery, id, data);
            m_burst->remember(id, data);
        });
    connect(battery, &SimBattery::reply, this,
        [this, battery](quint32 id, const QByteArray &data, int group) {
            sendReply(battery, id, data, group);
        });
    connect(battery->bootLoader(), &SimBootLoader::answer, this,
        [this, battery](quint32 id, const QByteArray &data) {
            if (m_options.verbose)
                trace("send", id, data);
            send(battery, id, data);
        });
    connect(battery->bootLoader(), &SimBootLoader::installed, this,
        [this, battery](const QByteArray &version) {
            if (m_options.verbose)
                out() << "bms-sim: battery " << battery->devId()
                      << " left its boot loader with firmware " << version.constData() << Qt::endl;
        });
    m_batteries.append(battery);
}

bool BmsSimulator::isSilent() const
{
    const double seconds = m_sinceStart.elapsed() / 1000.0;
    return m_options.silentAfterS >= 0 && seconds >= m_options.silentAfterS
        && seconds < m_options.silentAfterS + m_options.silentForS;
}

void BmsSimulator::OnFramesReceived()
{
    while (m_bus->framesAvailable() > 0) {
        const QCanBusFrame frame = m_bus->readFrame();
        if (!carries(frame, BusCapacity::Host))
            continue;
        const quint32 id = frame.frameId();
        if (SimBootLoader::isUpgradeFrame(id, frame.hasExtendedFrameFormat())) {
            // The image data are too many to print; the boot loader's answers tell what matters.
            if (m_options.verbose && (id >> 16) != SimBootLoader::Data)
                trace("recv", id, frame.payload());
            for (SimBattery *battery : qAsConst(m_batteries)) {
                if (!(isSilent() && m_options.appliesTo(battery->devId())))
                    battery->handleUpgradeFrame(id, frame.payload());
            }
            continue;
        }
        // Only the host's commands: 0x18 | code | destination | 0x80.
        if (!frame.hasExtendedFrameFormat() || (id >> 24) != (CommandProtocol::PriorityBits >> 24)
            || (id & 0xFF) != CommandProtocol::HostAddress)
            continue;
        const quint32 destination = (id >> 8) & 0xFF;
        const quint32 code = (id >> 16) & 0xFF;
        if (m_options.verbose)
            trace("recv", id, frame.payload());

        for (SimBattery *battery : qAsConst(m_batteries)) {
            // The set-device-number command reaches whoever listens on 0x1F: the first battery,
            // as if it were the one on the bench.
            const bool addressed = destination == battery->devId()
                || (code == CommandProtocol::SetDeviceId
                    && destination == CommandProtocol::SetDeviceIdDestination
                    && battery == m_batteries.first());
            if (!addressed)
                continue;
            if (isSilent() && m_options.appliesTo(battery->devId()))
                continue;
            battery->handleRequest(id, frame.payload());
            break;
        }
    }
}

void BmsSimulator::send(SimBattery *battery, quint32 id, const QByteArray &data)
{
    if (isSilent() && m_options.appliesTo(battery->devId()))
        return;
    QCanBusFrame frame(id, data);
    frame.setExtendedFrameFormat(true);
    if (!carries(frame, BusCapacity::Batteries))
        return;
    m_bus->writeFrame(frame);
}

bool BmsSimulator::carries(const QCanBusFrame &frame, BusCapacity::Source source)
{
    // Error frames of the virtual bus stand for no traffic: not counted.
    if (frame.frameType() != QCanBusFrame::DataFrame
        && frame.frameType() != QCanBusFrame::RemoteRequestFrame)
        return true;
    const int bits = BusCapacity::frameBits(frame.frameId(), frame.hasExtendedFrameFormat(),
        frame.payload(), frame.frameType() == QCanBusFrame::RemoteRequestFrame);
    if (m_capacity.offer(m_sinceStart.nsecsElapsed(), bits, source))
        return true;
    if (m_options.verbose)
        trace(source == BusCapacity::Host ? "lost" : "unsent", frame.frameId(), frame.payload());
    return false;
}

void BmsSimulator::OnBusSecond()
{
    const BusCapacity::Counts now = m_capacity.total();
    const qint64 offered = now.offered - m_countsAtLastSecond.offered;
    m_busiestSecondFrames = qMax(m_busiestSecondFrames, offered);
    if (m_options.verbose) {
        out() << "bms-sim: bus: offered " << offered << " frames/s, dropped "
              << now.dropped - m_countsAtLastSecond.dropped << " frames/s, load "
              << QString::number(100.0 * double(now.carriedBits - m_countsAtLastSecond.carriedBits)
                         / m_capacity.bitRate(),
                     'f', 1)
              << " %" << Qt::endl;
    }
    m_countsAtLastSecond = now;
}

void BmsSimulator::printSummary() const
{
    const double seconds = qMax(1e-3, m_sinceStart.nsecsElapsed() / 1e9);
    const BusCapacity::Counts total = m_capacity.total();
    const BusCapacity::Counts host = m_capacity.counts(BusCapacity::Host);
    const BusCapacity::Counts batteries = m_capacity.counts(BusCapacity::Batteries);
    const auto perSecond
        = [seconds](qint64 count) { return QString::number(double(count) / seconds, 'f', 1); };
    out() << "bms-sim: bus summary: " << m_capacity.bitRate() << " bit/s, "
          << QString::number(seconds, 'f', 1) << " s, offered " << total.offered << " frames ("
          << perSecond(total.offered) << "/s), dropped " << total.dropped << " frames ("
          << perSecond(total.dropped) << "/s); host offered " << host.offered << " dropped "
          << host.dropped << "; batteries offered " << batteries.offered << " dropped "
          << batteries.dropped << "; load "
          << QString::number(
                 100.0 * double(total.carriedBits) / (m_capacity.bitRate() * seconds), 'f', 1)
          << " %, busiest second " << m_busiestSecondFrames << " frames";
    if (m_burst && m_options.bus.burstFactor > 0.0)
        out() << "; burst sent " << m_burst->sent() << " frames at "
              << QString::number(m_burst->framesPerSecond(), 'f', 0) << "/s past the capacity";
    out() << Qt::endl;
}

void BmsSimulator::sendReply(
    SimBattery *battery, quint32 replyId, const QByteArray &data, int replyGroup)
{
    quint32 id = replyId;
    int copies = 1;
    if (m_options.appliesTo(battery->devId())) {
        QPair<int, bool> &decision = m_dropDecisions[battery];
        if (decision.first != replyGroup) {
            decision.first = replyGroup;
            decision.second = m_options.dropReplies > 0
                && QRandomGenerator::global()->generateDouble() < m_options.dropReplies;
        }
        if (decision.second) {
            if (m_options.verbose)
                trace("drop", id, data);
            return;
        }
        if (m_options.bus.replyAs >= 0)
            id = (id & ~0xFFu) | quint32(m_options.bus.replyAs);
        if (m_options.bus.duplicateReplies)
            copies = 2;
        if (m_options.replyDelayMs > 0) {
            QTimer::singleShot(m_options.replyDelayMs, this, [this, battery, id, data, copies] {
                for (int copy = 0; copy < copies; ++copy) {
                    if (m_options.verbose)
                        trace("late", id, data);
                    send(battery, id, data);
                }
            });
            return;
        }
    }
    for (int copy = 0; copy < copies; ++copy) {
        if (m_options.verbose)
            trace("send", id, data);
        send(battery, id, data);
    }
}

void BmsSimulator::trace(const char *direction, quint32 id, const QByteArray &data) const
{
    out() << direction << " 0x" << QString::number(id, 16).rightJustified(8, QLatin1Char('0'))
          << ' ' << data.toHex(' ') << Qt::endl;
}
