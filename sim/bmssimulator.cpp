#include "bmssimulator.h"

#include "simbattery.h"
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
{ }

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
    for (int devId : m_options.packs) {
        auto *battery = new SimBattery(quint8(devId), m_options, *m_catalogue, *m_parameters, this);
        connect(battery, &SimBattery::broadcast, this,
            [this, battery](quint32 id, const QByteArray &data) { send(battery, id, data); });
        connect(battery, &SimBattery::reply, this,
            [this, battery](quint32 id, const QByteArray &data, int group) {
                sendReply(battery, id, data, group);
            });
        m_batteries.append(battery);
    }

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
          << config.description() << Qt::endl;
    return true;
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
        const quint32 id = frame.frameId();
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
    m_bus->writeFrame(frame);
}

void BmsSimulator::sendReply(
    SimBattery *battery, quint32 id, const QByteArray &data, int replyGroup)
{
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
        if (m_options.replyDelayMs > 0) {
            QTimer::singleShot(m_options.replyDelayMs, this, [this, battery, id, data] {
                if (m_options.verbose)
                    trace("late", id, data);
                send(battery, id, data);
            });
            return;
        }
    }
    if (m_options.verbose)
        trace("send", id, data);
    send(battery, id, data);
}

void BmsSimulator::trace(const char *direction, quint32 id, const QByteArray &data) const
{
    out() << direction << " 0x" << QString::number(id, 16).rightJustified(8, QLatin1Char('0'))
          << ' ' << data.toHex(' ') << Qt::endl;
}
