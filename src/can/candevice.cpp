#include "candevice.h"

#include "controlcanapi.h"
#include "controlcanfactory.h"
#include "log/logger.h"

#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

struct TimingEntry
{
    int baud;
    CanDevice::BusTiming timing;
};

// USBCAN1/2 bus timing registers per bit rate (kbit/s).
constexpr TimingEntry TimingTable[] = {
    { 5, { 0xBF, 0xFF } },
    { 10, { 0x31, 0x1C } },
    { 20, { 0x18, 0x1C } },
    { 40, { 0x87, 0xFF } },
    { 50, { 0x09, 0x1C } },
    { 80, { 0x83, 0xFF } },
    { 100, { 0x04, 0x1C } },
    { 125, { 0x03, 0x1C } },
    { 200, { 0x81, 0xFA } },
    { 250, { 0x01, 0x1C } },
    { 400, { 0x80, 0xFA } },
    { 666, { 0x80, 0xB6 } },
    { 800, { 0x00, 0x16 } },
    { 1000, { 0x00, 0x14 } },
};
// Every other rate, 500 kbit/s among them.
constexpr CanDevice::BusTiming OtherTiming { 0x00, 0x1C };

struct ReferenceEntry
{
    int baud;
    std::uint32_t reference;
};

// USBCAN_E/2E bit-rate references per bit rate (kbit/s), passed with reference type 0.
constexpr ReferenceEntry ReferenceTable[] = {
    { 5, 0x1C01C1 },
    { 10, 0x1C00E0 },
    { 20, 0x0160B3 },
    { 50, 0x1C002C },
    { 100, 0x160023 },
    { 125, 0x1C0011 },
    { 500, 0x060007 },
    { 800, 0x060004 },
    { 1000, 0x060003 },
};
// Every other rate, 250 kbit/s among them.
constexpr std::uint32_t OtherReference = 0x1C0008;

constexpr std::uint32_t BitRateReferenceType = 0;

} // namespace

CanDevice::CanDevice(QObject *parent)
    : CanDevice(nullptr, parent)
{ }

CanDevice::CanDevice(std::shared_ptr<ControlCanApi> api, QObject *parent)
    : QObject(parent)
    , m_api(api ? std::move(api) : ControlCanFactory::create())
    , m_pollTimer(new QTimer(this))
{
    m_pollTimer->setInterval(PollIntervalMs);
    m_pollTimer->setSingleShot(false);
    connect(m_pollTimer, &QTimer::timeout, this, &CanDevice::OnTimeout);
}

CanDevice::~CanDevice()
{
    close();
}

void CanDevice::setApi(std::shared_ptr<ControlCanApi> api)
{
    close();
    m_api = api ? std::move(api) : ControlCanFactory::create();
}

bool CanDevice::isPolling() const
{
    return m_pollTimer->isActive();
}

CanDevice::BusTiming CanDevice::busTiming(int baud)
{
    for (const TimingEntry &entry : TimingTable) {
        if (entry.baud == baud)
            return entry.timing;
    }
    return OtherTiming;
}

std::uint32_t CanDevice::bitRateReference(int baud)
{
    for (const ReferenceEntry &entry : ReferenceTable) {
        if (entry.baud == baud)
            return entry.reference;
    }
    return OtherReference;
}

int CanDevice::open(int canTypeId, int canId, bool isExtern, int canChannel, int baud)
{
    if (m_initRunning) {
        // Only reachable from inside the substitute's connection wait; a nested second
        // initialisation would tear down the adapter the first one is still setting up.
        QLOG_WARN() << "CanDevice::open: refused while the adapter is being initialised.";
        return -1;
    }
    close();
    m_deviceType = canTypeId;
    m_deviceIndex = canId;
    m_isExtern = isExtern;
    m_channel = canChannel;
    m_baud = baud;
    if (init() < 0)
        return -1;
    const bool announced = m_api->announceArrivals([this] { takeArrivals(); });
    m_pollTimer->start(announced ? AnnouncedPollIntervalMs : PollIntervalMs);
    // What came while the adapter was being opened was not announced to anyone.
    if (announced)
        takeArrivals();
    return 0;
}

void CanDevice::close()
{
    m_api->announceArrivals({});
    if (m_initRunning)
        m_closedDuringInit = true;
    if (m_open)
        closeAdapter();
    // Checked so that destroying the device from another thread does not warn about a timer
    // that is not running anyway.
    if (m_pollTimer->isActive())
        m_pollTimer->stop();
}

int CanDevice::init()
{
    if (m_open)
        closeAdapter();

    m_initConfig = VCI_INIT_CONFIG {};
    m_initConfig.AccCode = m_filterCode;
    m_initConfig.AccMask = m_filterMask;
    m_initConfig.Filter = m_filterMode;
    m_initConfig.Mode = 0; // normal operation

    // While the provider works, slot calls may arrive nested (the substitute waits for its bus
    // in a local event loop): the poll and writeData() stand aside, open() is refused, and a
    // close() is remembered and honoured below, so that the caller who closed is not left with
    // an adapter that opens behind its back.
    m_initRunning = true;
    m_closedDuringInit = false;
    int result = openAndStartAdapter();
    m_initRunning = false;

    if (m_closedDuringInit) {
        m_closedDuringInit = false;
        if (m_open)
            closeAdapter();
        QLOG_WARN() << "CanDevice::init: closed while the adapter was being opened.";
        result = -1;
    }
    return result;
}

int CanDevice::openAndStartAdapter()
{
    const auto type = static_cast<std::uint32_t>(m_deviceType);
    const auto index = static_cast<std::uint32_t>(m_deviceIndex);
    const auto channel = static_cast<std::uint32_t>(m_channel);

    switch (m_deviceType) {
    case AdapterType::UsbCan1:
    case AdapterType::UsbCan2: {
        if (m_api->openDevice(type, index, 0) != VCI_STATUS_OK) {
            QLOG_WARN() << "CanDevice::init: failed to open can card.";
            return -1;
        }
        const BusTiming timing = busTiming(m_baud);
        m_initConfig.Timing0 = timing.timing0;
        m_initConfig.Timing1 = timing.timing1;
        m_open = true;
        if (m_api->initCan(type, index, channel, &m_initConfig) != VCI_STATUS_OK) {
            QLOG_WARN() << "CanDevice::init: failed to init can device.";
            return -2;
        }
        break;
    }
    case AdapterType::UsbCanE:
    case AdapterType::UsbCan2E: {
        if (m_api->openDevice(type, index, 0) != VCI_STATUS_OK) {
            QLOG_ERROR() << "CanDevice::init: failed to open can card.";
            return -1;
        }
        m_open = true;
        std::uint32_t reference = bitRateReference(m_baud);
        if (m_api->setReference(type, index, channel, BitRateReferenceType, &reference)
            != VCI_STATUS_OK) {
            QLOG_WARN() << "CanDevice::init: failed to set reference for USBCAN_E/2E.";
            return -2;
        }
        if (m_api->initCan(type, index, channel, &m_initConfig) != VCI_STATUS_OK) {
            QLOG_WARN() << "CanDevice::init: failed to init can device.";
            return -3;
        }
        break;
    }
    default:
        // An unknown type is never opened; starting it below fails, and that is the report.
        break;
    }

    m_api->clearBuffer(type, index, channel);
    if (m_api->startCan(type, index, channel) != VCI_STATUS_OK) {
        QLOG_ERROR() << "CanDevice::init: failed to start can device.";
        return -3;
    }
    return 0;
}

void CanDevice::closeAdapter()
{
    m_api->closeDevice(
        static_cast<std::uint32_t>(m_deviceType), static_cast<std::uint32_t>(m_deviceIndex));
    m_open = false;
}

void CanDevice::writeData(ulong id, QByteArray data)
{
    // Arriving nested in an initialisation (a re-initialisation after a refused frame among
    // them): the adapter, closed for the moment, cannot take it, and the caller must know as
    // for any frame it refused.
    if (m_initRunning) {
        emit transmitFailed(id, data);
        return;
    }
    // Closed, or left closed by a failed re-initialisation: lost like a refused frame. Nothing
    // is logged; the sender decides (a command's wait runs out, the upgrade stops with one line).
    if (!m_open) {
        emit transmitFailed(id, data);
        return;
    }
    // The record has room for 8 bytes; anything longer is a caller's mistake that must not
    // reach the bus cut short.
    if (data.size() > MaxDataLength) {
        QLOG_WARN() << "CanDevice::writeData: refused a frame of" << data.size() << "data bytes.";
        return;
    }

    VCI_CAN_OBJ frame {};
    frame.ID = static_cast<std::uint32_t>(id);
    frame.SendType = 0;
    frame.RemoteFlag = 0;
    frame.ExternFlag = m_isExtern ? 1 : 0;
    frame.DataLen = static_cast<std::uint8_t>(data.size());
    std::memcpy(frame.Data, data.constData(), static_cast<std::size_t>(data.size()));

    const std::uint32_t sent = m_api->transmit(static_cast<std::uint32_t>(m_deviceType),
        static_cast<std::uint32_t>(m_deviceIndex), static_cast<std::uint32_t>(m_channel), &frame,
        1);
    if (sent == 1)
        return;
    // One re-initialisation per failed frame and no resend: the layer above decides what a lost
    // frame means (a command's reply wait runs out, the upgrade stops).
    QLOG_WARN() << "CanDevice::writeData: failed to transmit, going to reset can...";
    if (init() < 0)
        QLOG_ERROR() << "CanDevice::writeData: reset can failed.";
    else
        QLOG_DEBUG() << "CanDevice::writeData: reset can success.";
    // A sender that cannot live with a hole (the firmware upgrade's image data) must hear of it.
    emit transmitFailed(id, data);
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

    const auto type = static_cast<std::uint32_t>(m_deviceType);
    const auto index = static_cast<std::uint32_t>(m_deviceIndex);
    const auto channel = static_cast<std::uint32_t>(m_channel);

    VCI_CAN_OBJ frames[ReceiveBufferFrames] {};
    // The vendor reports errors as -1 in its unsigned result.
    const auto received = static_cast<std::int32_t>(
        m_api->receive(type, index, channel, frames, ReceiveBufferFrames, 0));
    if (received > 0) {
        // Never trust a count beyond the buffer.
        const int count = std::min<int>(received, ReceiveBufferFrames);
        for (int i = 0; i < count; ++i) {
            const VCI_CAN_OBJ &frame = frames[i];
            // The whole data field, whatever the length code: receivers index it freely.
            emit newData(frame.ID,
                QByteArray(reinterpret_cast<const char *>(frame.Data), MaxDataLength),
                frame.TimeStamp);
        }
        return count;
    }

    VCI_ERR_INFO errorInfo {};
    m_api->readErrInfo(type, index, channel, &errorInfo);
    reportAdapterError(errorInfo.ErrCode);
    return 0;
}

void CanDevice::reportAdapterError(std::uint32_t errorCode)
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
