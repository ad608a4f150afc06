#include "canbuscontrolcan.h"

#include "log/logger.h"

#include <QCanBusFrame>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t OnlyChannel = 0;
constexpr int MaxDataLength = 8;

std::uint32_t errorBitFor(QCanBusDevice::CanBusError error)
{
    switch (error) {
    case QCanBusDevice::NoError:
        return 0;
    case QCanBusDevice::ReadError:
        return CanBusControlCan::ReadErrorBit;
    case QCanBusDevice::WriteError:
        return CanBusControlCan::WriteErrorBit;
    case QCanBusDevice::ConnectionError:
        return CanBusControlCan::ConnectionErrorBit;
    case QCanBusDevice::ConfigurationError:
        return CanBusControlCan::ConfigurationErrorBit;
    default:
        return CanBusControlCan::OtherErrorBit;
    }
}

} // namespace

CanBusControlCan::CanBusControlCan(const CanBusConfig &config)
    : m_config(config)
{ }

CanBusControlCan::~CanBusControlCan()
{
    destroyDevice();
}

std::uint32_t CanBusControlCan::openDevice(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t /*reserved*/)
{
    // Also refuses an open nested in the connection wait of another one.
    if (m_open || m_device)
        return 0;
    m_connectAborted = false;

    QString reason;
    m_device = m_config.createDevice(&reason);
    if (!m_device) {
        QLOG_WARN() << "CanBusControlCan::openDevice: cannot create a device on the CAN bus"
                    << m_config.description() << "reason:" << reason;
        return 0;
    }
    QCanBusDevice *const device = m_device.get();
    QObject::connect(device, &QCanBusDevice::errorOccurred, device,
        [this](QCanBusDevice::CanBusError error) { onErrorOccurred(error); });
    QObject::connect(device, &QCanBusDevice::stateChanged, device,
        [this](QCanBusDevice::CanBusDeviceState state) { onStateChanged(state); });
    QObject::connect(device, &QCanBusDevice::framesReceived, device, [this] { announce(); });

    if (!device->connectDevice() || !waitForConnected()) {
        QString why
            = m_connectAborted ? QStringLiteral("closed while connecting") : device->errorString();
        if (why.isEmpty())
            why = QStringLiteral("not connected within %1 ms").arg(m_connectTimeoutMs);
        QLOG_WARN() << "CanBusControlCan::openDevice: cannot connect to the CAN bus"
                    << m_config.description() << "reason:" << why;
        destroyDevice();
        return 0;
    }

    m_deviceType = deviceType;
    m_deviceIndex = deviceIndex;
    m_open = true;
    m_initialised = false;
    m_started = false;
    m_errorCode = 0;
    m_sinceOpen.start();
    QLOG_INFO() << "CanBusControlCan::openDevice: connected to the CAN bus"
                << m_config.description();
    return VCI_STATUS_OK;
}

bool CanBusControlCan::waitForConnected()
{
    // connectDevice() only starts the connection for plugins that talk over a socket (the
    // virtual bus); the state change arrives through this thread's event loop, so it has to
    // run here. Other events of the thread are served meanwhile (see the class comment).
    if (m_device->state() == QCanBusDevice::ConnectedState)
        return true;
    QEventLoop loop;
    QTimer::singleShot(m_connectTimeoutMs, &loop, &QEventLoop::quit);
    QObject::connect(m_device.get(), &QCanBusDevice::stateChanged, &loop,
        [&loop](QCanBusDevice::CanBusDeviceState state) {
            if (state != QCanBusDevice::ConnectingState)
                loop.quit();
        });
    m_connectLoop = &loop;
    loop.exec();
    m_connectLoop = nullptr;
    return !m_connectAborted && m_device->state() == QCanBusDevice::ConnectedState;
}

std::uint32_t CanBusControlCan::closeDevice(std::uint32_t deviceType, std::uint32_t deviceIndex)
{
    if (m_connectLoop) {
        // The pending openDevice still uses the device; it fails and cleans up when it resumes.
        m_connectAborted = true;
        m_connectLoop->quit();
        return VCI_STATUS_OK;
    }
    if (!isOpen(deviceType, deviceIndex))
        return 0;
    destroyDevice();
    return VCI_STATUS_OK;
}

std::uint32_t CanBusControlCan::initCan(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_INIT_CONFIG *config)
{
    if (!isOpenChannel(deviceType, deviceIndex, channel) || !config)
        return 0;
    m_initialised = true;
    m_started = false;
    return VCI_STATUS_OK;
}

std::uint32_t CanBusControlCan::setReference(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, std::uint32_t /*referenceType*/, void *data)
{
    if (!isOpenChannel(deviceType, deviceIndex, channel) || !data)
        return 0;
    return VCI_STATUS_OK;
}

std::uint32_t CanBusControlCan::clearBuffer(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel)
{
    if (!isOpenChannel(deviceType, deviceIndex, channel))
        return 0;
    m_device->readAllFrames();
    return VCI_STATUS_OK;
}

std::uint32_t CanBusControlCan::startCan(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel)
{
    if (!isOpenChannel(deviceType, deviceIndex, channel) || !m_initialised || !isConnected())
        return 0;
    m_started = true;
    return VCI_STATUS_OK;
}

std::uint32_t CanBusControlCan::transmit(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t count)
{
    if (!isOpenChannel(deviceType, deviceIndex, channel) || !m_started || !isConnected() || !frames)
        return 0;
    std::uint32_t sent = 0;
    for (; sent < count; ++sent) {
        const VCI_CAN_OBJ &record = frames[sent];
        QCanBusFrame frame;
        frame.setFrameId(record.ID);
        // After the identifier: setFrameId() picks the format from the value, the record decides.
        frame.setExtendedFrameFormat(record.ExternFlag != 0);
        if (record.RemoteFlag != 0) {
            frame.setFrameType(QCanBusFrame::RemoteRequestFrame);
        } else {
            const int length = std::min<int>(record.DataLen, MaxDataLength);
            frame.setPayload(QByteArray(reinterpret_cast<const char *>(record.Data), length));
        }
        // An adapter cannot put a 29-bit identifier into a standard frame; some plugins would
        // still send one, so refuse it here.
        if (!frame.isValid() || !m_device->writeFrame(frame))
            break;
    }
    return sent;
}

std::uint32_t CanBusControlCan::receive(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t length, std::int32_t /*waitTime*/)
{
    if (!isOpenChannel(deviceType, deviceIndex, channel) || !m_started || !isConnected() || !frames)
        return VCI_RECEIVE_ERROR;
    std::uint32_t filled = 0;
    while (filled < length && m_device->framesAvailable() > 0) {
        const QCanBusFrame frame = m_device->readFrame();
        if (frame.frameType() == QCanBusFrame::ErrorFrame) {
            m_errorCode
                |= ErrorFrameBit | (static_cast<std::uint32_t>(frame.error()) << FrameErrorShift);
            continue;
        }
        if (!frame.isValid()
            || (frame.frameType() != QCanBusFrame::DataFrame
                && frame.frameType() != QCanBusFrame::RemoteRequestFrame))
            continue;

        VCI_CAN_OBJ &record = frames[filled++];
        std::memset(&record, 0, sizeof record);
        record.ID = frame.frameId();
        record.TimeStamp = adapterTime(frame);
        record.TimeFlag = 1;
        record.RemoteFlag = frame.frameType() == QCanBusFrame::RemoteRequestFrame ? 1 : 0;
        record.ExternFlag = frame.hasExtendedFrameFormat() ? 1 : 0;
        const QByteArray payload = frame.payload();
        const int dataLength = std::min(payload.size(), MaxDataLength);
        record.DataLen = static_cast<std::uint8_t>(dataLength);
        std::memcpy(record.Data, payload.constData(), static_cast<std::size_t>(dataLength));
    }
    return filled;
}

std::uint32_t CanBusControlCan::readErrInfo(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_ERR_INFO *errorInfo)
{
    if (!isOpenChannel(deviceType, deviceIndex, channel) || !errorInfo)
        return 0;
    std::memset(errorInfo, 0, sizeof *errorInfo);
    errorInfo->ErrCode = m_errorCode;
    m_errorCode = 0;
    return VCI_STATUS_OK;
}

QString CanBusControlCan::description() const
{
    return QStringLiteral("CAN bus %1").arg(m_config.description());
}

bool CanBusControlCan::isOpen(std::uint32_t deviceType, std::uint32_t deviceIndex) const
{
    return m_open && deviceType == m_deviceType && deviceIndex == m_deviceIndex;
}

bool CanBusControlCan::isOpenChannel(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel) const
{
    return isOpen(deviceType, deviceIndex) && channel == OnlyChannel;
}

bool CanBusControlCan::isConnected() const
{
    return m_device && m_device->state() == QCanBusDevice::ConnectedState;
}

void CanBusControlCan::destroyDevice()
{
    m_open = false;
    m_initialised = false;
    m_started = false;
    if (!m_device)
        return;
    // Our handlers must not see the state changes of an orderly close.
    QObject::disconnect(m_device.get(), nullptr, m_device.get(), nullptr);
    if (m_device->state() != QCanBusDevice::UnconnectedState)
        m_device->disconnectDevice();
    m_device.reset();
}

bool CanBusControlCan::announceArrivals(std::function<void()> arrived)
{
    m_arrived = std::move(arrived);
    return true;
}

void CanBusControlCan::announce()
{
    if (m_arrived)
        m_arrived();
}

void CanBusControlCan::onErrorOccurred(QCanBusDevice::CanBusError error)
{
    m_errorCode |= errorBitFor(error);
    // A noisy bus reports errors by the thousand; the kind of error is the key.
    int held = 0;
    if (m_errorLog.admit(quint32(error), &held)) {
        QLOG_DEBUG() << "CanBusControlCan: CAN bus error:" << m_device->errorString()
                     << QsLogging::DroppedLines { held };
    }
    announce();
}

void CanBusControlCan::onStateChanged(QCanBusDevice::CanBusDeviceState state)
{
    // Losing the bus while open is what a vendor adapter would report as an error; Qt's virtual
    // bus drops the connection without an errorOccurred() of its own.
    if (m_open && state == QCanBusDevice::UnconnectedState) {
        m_errorCode |= ConnectionErrorBit;
        QLOG_WARN() << "CanBusControlCan: lost the connection to the CAN bus"
                    << m_config.description();
        announce();
    }
}

std::uint32_t CanBusControlCan::adapterTime(const QCanBusFrame &frame) const
{
    const QCanBusFrame::TimeStamp stamp = frame.timeStamp();
    const qint64 tenthsOfMs = (stamp.seconds() != 0 || stamp.microSeconds() != 0)
        ? stamp.seconds() * 10000 + stamp.microSeconds() / 100
        : m_sinceOpen.nsecsElapsed() / 100000;
    // The adapter's clock wraps at 32 bits too.
    return static_cast<std::uint32_t>(tenthsOfMs);
}
