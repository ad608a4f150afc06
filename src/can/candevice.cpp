#include "candevice.h"

#include "canbusfactory.h"
#include "log/logger.h"

#include <QTimer>

CanDevice::CanDevice(CanBus *bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus ? bus : CanBusFactory::create())
    , m_pollTimer(new QTimer(this))
    , m_received(ReceiveBufferFrames)
{
    m_bus->setParent(this);
    connectBus();
    m_pollTimer->setInterval(PollIntervalMs);
    m_pollTimer->setSingleShot(false);
    connect(m_pollTimer, &QTimer::timeout, this, &CanDevice::OnTimeout);
    m_settings.adapterType = AdapterType::Default;
}

CanDevice::~CanDevice()
{
    close();
}

void CanDevice::connectBus()
{
    // All in this thread: the bus is the device's child.
    connect(m_bus, &CanBus::framesReceived, this, [this] {
        if (m_open)
            takeArrivals();
    });
    connect(m_bus, &CanBus::errorOccurred, this, [this] {
        if (m_open && !m_initRunning)
            reportAdapterError(m_bus->takeErrorCode());
    });
    connect(m_bus, &CanBus::transmitFailed, this, &CanDevice::recoverFromRefusal);
    connect(m_bus, &CanBus::stateChanged, this, &CanDevice::onBusStateChanged);
}

bool CanDevice::isPolling() const
{
    return m_pollTimer->isActive();
}

int CanDevice::open(int canTypeId, int canId, bool isExtern, int canChannel, int baud)
{
    if (m_initRunning) {
        // Only reachable from inside a bus's connection wait; a nested second initialisation
        // would tear down the adapter the first one is still setting up.
        QLOG_WARN() << "CanDevice::open: refused while the adapter is being initialised.";
        return -1;
    }
    close();
    m_settings.adapterType = canTypeId;
    m_settings.adapterIndex = canId;
    m_settings.channel = canChannel;
    m_settings.bitRateKbit = baud;
    m_isExtern = isExtern;
    if (init() < 0)
        return -1;
    const bool announced = m_bus->announcesArrivals();
    m_pollTimer->start(announced ? AnnouncedPollIntervalMs : PollIntervalMs);
    // What came while the adapter was being opened was not announced to anyone.
    if (announced)
        takeArrivals();
    return 0;
}

void CanDevice::close()
{
    if (m_initRunning)
        m_closedDuringInit = true;
    // Also an adapter that a failed open left half-opened.
    m_bus->close();
    m_open = false;
    // Checked so that destroying the device from another thread does not warn about a timer
    // that is not running anyway.
    if (m_pollTimer->isActive())
        m_pollTimer->stop();
}

int CanDevice::init()
{
    // While the bus connects, slot calls may arrive nested (a bus may wait for its connection
    // in a local event loop): the poll and writeData() stand aside, open() is refused, and a
    // close() is remembered and honoured below, so that the caller who closed is not left with
    // an adapter that opens behind its back.
    m_open = false;
    m_initRunning = true;
    m_closedDuringInit = false;
    bool opened = m_bus->open(m_settings);
    m_initRunning = false;

    if (m_closedDuringInit) {
        m_closedDuringInit = false;
        m_bus->close();
        QLOG_WARN() << "CanDevice::init: closed while the adapter was being opened.";
        opened = false;
    }
    m_open = opened;
    return opened ? 0 : -1;
}

void CanDevice::writeData(ulong id, QByteArray data)
{
    CanFrame frame;
    frame.id = quint32(id);
    frame.extended = m_isExtern;
    frame.data = data;
    // Arriving nested in an initialisation (a re-initialisation after a refused frame among
    // them): the adapter, closed for the moment, cannot take it, and the caller must know as
    // for any frame it refused. Closed, or left closed by a failed re-initialisation: lost like a
    // refused frame. Nothing is logged; the sender decides (a command's wait runs out, the
    // upgrade stops with one line).
    if (m_initRunning || !m_open) {
        emit transmitFailed(id, data);
        return;
    }
    // A frame has room for 8 bytes; anything longer is a caller's mistake that must not reach
    // the bus cut short.
    if (data.size() > MaxDataLength) {
        QLOG_WARN() << "CanDevice::writeData: refused a frame of" << data.size() << "data bytes.";
        return;
    }
    if (!m_bus->writeFrame(frame))
        recoverFromRefusal(frame);
}

void CanDevice::recoverFromRefusal(const CanFrame &frame)
{
    // One re-initialisation per failed frame and no resend: the layer above decides what a lost
    // frame means (a command's reply wait runs out, the upgrade stops).
    QLOG_WARN() << "CanDevice::writeData: failed to transmit, going to reset can...";
    if (init() < 0)
        QLOG_ERROR() << "CanDevice::writeData: reset can failed.";
    else
        QLOG_DEBUG() << "CanDevice::writeData: reset can success.";
    // A sender that cannot live with a hole (the firmware upgrade's image data) must hear of it.
    emit transmitFailed(frame.id, frame.data);
}

void CanDevice::onBusStateChanged(CanBus::State state)
{
    // The adapter went away while open: said once; the next transmission re-opens it, and
    // closing and opening the bus again works as from the start.
    if (state == CanBus::State::Lost && m_open) {
        QLOG_WARN() << "CanDevice: lost the adapter," << m_bus->description();
    }
}

void CanDevice::OnTimeout()
{
    poll();
}

void CanDevice::takeArrivals()
{
    // No poll follows soon to take what is left.
    while (poll() == ReceiveBufferFrames) { }
}

int CanDevice::poll()
{
    // A failed re-initialisation leaves the timer running but may leave the adapter closed;
    // asking a closed adapter for frames would only produce error reports.
    if (!m_open || m_initRunning)
        return 0;

    const int count = m_bus->readFrames(m_received.data(), ReceiveBufferFrames);
    if (count > 0) {
        for (int i = 0; i < count; ++i) {
            CanFrame &frame = m_received[size_t(i)];
            // The whole data field, whatever the length: receivers index it freely.
            if (frame.data.size() < MaxDataLength)
                frame.data.append(MaxDataLength - frame.data.size(), '\0');
            emit newData(frame.id, frame.data, frame.timeStamp);
            // Let go of the data now, not at the next poll that fills this slot.
            frame.data.clear();
        }
        return count;
    }
    reportAdapterError(m_bus->takeErrorCode());
    return 0;
}

void CanDevice::reportAdapterError(quint32 errorCode)
{
    // The poll runs every 5 ms (or at each announcement): one line when an error appears or
    // changes, one when it has been gone for ErrorClearedAfterMs. The adapter is not reset here;
    // the next failing transmission does that.
    if (errorCode == 0) {
        if (m_loggedErrorCode != 0 && m_errorSeenAt.elapsed() >= ErrorClearedAfterMs) {
            QLOG_INFO() << "CanDevice::OnTimeout: read error" << m_loggedErrorCode << "cleared.";
            m_loggedErrorCode = 0;
        }
        return;
    }
    m_errorSeenAt.start();
    if (errorCode == m_loggedErrorCode)
        return;
    m_loggedErrorCode = errorCode;
    QLOG_WARN() << QStringLiteral("OnTimeout: read error: %1, going to reset can.").arg(errorCode);
}
