#include "bmssimulator.h"

#include "burstsource.h"
#include "simbattery.h"
#include "simbootloader.h"
#include "slcanadapter.h"
#include "uartbootloader.h"

#include "can/canbusconfig.h"
#include "can/commandcodec.h"
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
    , m_progressTimer(new QTimer(this))
    , m_deliveryTimer(new QTimer(this))
    , m_secondTimer(new QTimer(this))
{
    m_capacity.addNode(options.hostQueue); // HostNode
    m_progressTimer->setSingleShot(true);
    m_progressTimer->setTimerType(Qt::PreciseTimer);
    connect(m_progressTimer, &QTimer::timeout, this, &BmsSimulator::OnBusProgress);
    m_deliveryTimer->setSingleShot(true);
    m_deliveryTimer->setTimerType(Qt::PreciseTimer);
    m_deliveryTimer->setInterval(DeliveryMs);
    connect(m_deliveryTimer, &QTimer::timeout, this, &BmsSimulator::OnDelivery);
    connect(m_secondTimer, &QTimer::timeout, this, &BmsSimulator::OnBusSecond);
}

BmsSimulator::~BmsSimulator() = default;

bool BmsSimulator::start()
{
    QString error;
    if (!parametersLoaded(&error)) {
        std::fprintf(stderr, "bms-sim: %s\n", qPrintable(error));
        return false;
    }
    const CanBusConfig config(m_options.plugin, m_options.interfaceName);
    QString busName = config.description();
    if (m_options.slcan) {
        auto adapter = std::make_unique<SlcanAdapter>(m_options.slcanFault);
        m_slcanAdapter = adapter.get();
        m_bus = std::move(adapter);
    } else {
        m_bus = config.createDevice(&error);
    }
    if (!m_bus) {
        std::fprintf(stderr, "bms-sim: cannot use %s: %s\n", qPrintable(config.description()),
            qPrintable(error));
        return false;
    }
    m_bus->connectDevice();
    if (m_slcanAdapter) {
        if (m_bus->state() != QCanBusDevice::ConnectedState) {
            std::fprintf(stderr, "bms-sim: cannot play the slcan adapter: %s\n",
                qPrintable(m_slcanAdapter->openError()));
            return false;
        }
        busName = QStringLiteral("slcan adapter %1").arg(m_slcanAdapter->portPath());
        out() << "bms-sim: slcan adapter on " << m_slcanAdapter->portPath() << Qt::endl;
    }
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
    out() << "bms-sim: playing batteries " << packs.join(QLatin1Char(',')) << " on " << busName
          << " at " << m_capacity.bitRate() << " bit/s" << Qt::endl;
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
    const int node = m_capacity.addNode(m_options.batteryQueue); // m_batteries.size()
    battery->setTransmitRoom([this, node, battery] {
        return m_capacity.queueRoom(m_sinceStart.nsecsElapsed(), node) / replyCopies(battery);
    });
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
        // Error frames of the virtual bus stand for no traffic.
        if (frame.frameType() == QCanBusFrame::DataFrame
            || frame.frameType() == QCanBusFrame::RemoteRequestFrame)
            offer(HostNode, frame);
    }
}

void BmsSimulator::deliverToBatteries(const QCanBusFrame &frame)
{
    const quint32 id = frame.frameId();
    if (SimBootLoader::isUpgradeFrame(id, frame.hasExtendedFrameFormat())) {
        // The image data are too many to print; the boot loader's answers tell what matters.
        if (m_options.verbose && CanBootFrame::stepOfHostFrame(id) != CanBootFrame::Data)
            trace("recv", id, frame.payload());
        for (SimBattery *battery : qAsConst(m_batteries)) {
            if (!(isSilent() && m_options.appliesTo(battery->devId())))
                battery->handleUpgradeFrame(id, frame.payload());
        }
        return;
    }
    // Only the host's commands: 0x18 | code | destination | 0x80.
    if (!frame.hasExtendedFrameFormat() || !CommandCodec::isRequest(id))
        return;
    const quint8 destination = CommandCodec::destinationOf(id);
    const quint8 code = CommandCodec::codeOf(id);
    if (m_options.verbose)
        trace("recv", id, frame.payload());

    for (SimBattery *battery : qAsConst(m_batteries)) {
        // The set-device-number command reaches whoever listens on 0x1F: the first battery, as
        // if it were the one on the bench.
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

void BmsSimulator::send(SimBattery *battery, quint32 id, const QByteArray &data)
{
    if (isSilent() && m_options.appliesTo(battery->devId()))
        return;
    QCanBusFrame frame(id, data);
    frame.setExtendedFrameFormat(true);
    offer(m_batteries.indexOf(battery) + 1, frame);
}

void BmsSimulator::offer(int node, const QCanBusFrame &frame)
{
    if (m_capacity.offer(m_sinceStart.nsecsElapsed(), node, frame)) {
        scheduleProgress();
        return;
    }
    if (node == HostNode && m_slcanAdapter)
        m_slcanAdapter->noteOverrun();
    if (m_options.verbose)
        trace(node == HostNode ? "lost" : "unsent", frame.frameId(), frame.payload());
}

void BmsSimulator::scheduleProgress()
{
    const qint64 nextNs = m_capacity.nextEventNs();
    if (nextNs < 0)
        return;
    // A frame due now starts at the next turn of the event loop: frames offered meanwhile
    // still join its arbitration.
    const qint64 waitNs = nextNs - m_sinceStart.nsecsElapsed();
    const int waitMs = waitNs <= 0 ? 0 : int((waitNs + 999999) / 1000000);
    if (!m_progressTimer->isActive() || m_progressTimer->remainingTime() > waitMs)
        m_progressTimer->start(waitMs);
}

void BmsSimulator::OnBusProgress()
{
    const QVector<BusCapacity::Carried> carried = m_capacity.advance(m_sinceStart.nsecsElapsed());
    for (const BusCapacity::Carried &sent : carried) {
        if (sent.node == HostNode)
            deliverToBatteries(sent.frame);
        else
            m_carried.append(sent.frame);
    }
    if (!m_carried.isEmpty() && !m_deliveryTimer->isActive())
        m_deliveryTimer->start();
    scheduleProgress();
}

void BmsSimulator::OnDelivery()
{
    // Written in one go, they leave as one segment.
    for (const QCanBusFrame &frame : qAsConst(m_carried))
        m_bus->writeFrame(frame);
    m_carried.clear();
}

void BmsSimulator::OnBusSecond()
{
    const BusCapacity::Counts second = m_capacity.total(BusCapacity::SinceMark);
    m_busiestSecondFrames = qMax(m_busiestSecondFrames, second.offered);
    if (m_options.verbose) {
        out() << "bms-sim: bus: offered " << second.offered << " frames/s, dropped "
              << second.dropped << " frames/s, load "
              << QString::number(100.0 * double(second.carriedBits) / m_capacity.bitRate(), 'f', 1)
              << " %" << Qt::endl;
        out() << "bms-sim: bus queues this second: " << queueReport(BusCapacity::SinceMark)
              << Qt::endl;
    }
    m_capacity.mark();
}

QString BmsSimulator::queueReport(BusCapacity::Span span) const
{
    QStringList nodes;
    for (int node = 0; node < m_capacity.nodeCount(); ++node) {
        const BusCapacity::Counts counts = m_capacity.counts(node, span);
        const QString name = node == HostNode
            ? QStringLiteral("host")
            : QStringLiteral("battery %1").arg(m_batteries.at(node - 1)->devId());
        nodes << QStringLiteral("%1 peak %2 of %3, dropped %4, longest wait %5 ms")
                     .arg(name)
                     .arg(counts.queuePeak)
                     .arg(m_capacity.queueDepth(node))
                     .arg(counts.dropped)
                     .arg(double(counts.longestWaitNs) / 1e6, 0, 'f', 1);
    }
    return nodes.join(QStringLiteral("; "));
}

bool BmsSimulator::parametersLoaded(QString *error)
{
    const QString path = ThresholdSetting::filePath();
    const int result = m_parameters->loadSetting(path);
    const int count = m_parameters->items().size();
    if (result == ThresholdSetting::LoadOpenFailed)
        *error = QStringLiteral("cannot read the parameter set %1").arg(path);
    else if (result != ThresholdSetting::LoadOk)
        *error = QStringLiteral("the parameter set %1 has a malformed line").arg(path);
    else if (count < ThresholdSetting::ParameterCount)
        *error = QStringLiteral("the parameter set %1 has %2 parameters, not %3")
                     .arg(path)
                     .arg(count)
                     .arg(ThresholdSetting::ParameterCount);
    else
        return true;
    *error += QStringLiteral(
        "; the batteries would report every parameter it lacks as 0. Put the program's "
        "setting/threshold.cfg (dist/setting/threshold.cfg in the sources) beside bms-sim");
    return false;
}

void BmsSimulator::printSummary() const
{
    const double seconds = qMax(1e-3, m_sinceStart.nsecsElapsed() / 1e9);
    const BusCapacity::Counts total = m_capacity.total();
    const BusCapacity::Counts host = m_capacity.counts(HostNode);
    const auto perSecond
        = [seconds](qint64 count) { return QString::number(double(count) / seconds, 'f', 1); };
    out() << "bms-sim: bus summary: " << m_capacity.bitRate() << " bit/s, "
          << QString::number(seconds, 'f', 1) << " s, offered " << total.offered << " frames ("
          << perSecond(total.offered) << "/s), dropped " << total.dropped << " frames ("
          << perSecond(total.dropped) << "/s); host offered " << host.offered << " dropped "
          << host.dropped << "; batteries offered " << total.offered - host.offered << " dropped "
          << total.dropped - host.dropped << "; load "
          << QString::number(
                 100.0 * double(total.carriedBits) / (m_capacity.bitRate() * seconds), 'f', 1)
          << " %, busiest second " << m_busiestSecondFrames << " frames";
    if (m_burst && m_options.bus.burstFactor > 0.0)
        out() << "; burst sent " << m_burst->sent() << " frames at "
              << QString::number(m_burst->framesPerSecond(), 'f', 0) << "/s past the capacity";
    out() << Qt::endl;
    out() << "bms-sim: bus queues: " << queueReport(BusCapacity::SinceStart) << Qt::endl;
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
        copies = replyCopies(battery);
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

int BmsSimulator::replyCopies(const SimBattery *battery) const
{
    return m_options.appliesTo(battery->devId()) && m_options.bus.duplicateReplies ? 2 : 1;
}

void BmsSimulator::trace(const char *direction, quint32 id, const QByteArray &data) const
{
    out() << direction << " 0x" << QString::number(id, 16).rightJustified(8, QLatin1Char('0'))
          << ' ' << data.toHex(' ') << Qt::endl;
}
