#include "controlcanbus.h"

#include "can/adaptertype.h"
#include "can/sja1000timing.h"
#include "controlcanapi.h"
#include "log/logger.h"

#include <algorithm>
#include <cstring>

namespace {

struct ReferenceEntry
{
    int bitRateKbit;
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
// What one VCI_Receive may fill; CanDevice asks for at most this many at a time anyway.
constexpr int ReceiveRecords = 100;

} // namespace

Sja1000Timing::Registers ControlCanBus::busTiming(int bitRateKbit)
{
    // Every rate the table lacks gets the registers of 500 kbit/s.
    return Sja1000Timing::find(bitRateKbit).value_or(Sja1000Timing::Registers { 0x00, 0x1C });
}

std::uint32_t ControlCanBus::bitRateReference(int bitRateKbit)
{
    for (const ReferenceEntry &entry : ReferenceTable) {
        if (entry.bitRateKbit == bitRateKbit)
            return entry.reference;
    }
    return OtherReference;
}

ControlCanBus::ControlCanBus(std::shared_ptr<ControlCanApi> api, QObject *parent)
    : CanBus(parent)
    , m_api(std::move(api))
{ }

ControlCanBus::~ControlCanBus()
{
    close();
}

bool ControlCanBus::open(const Settings &settings)
{
    close();
    m_settings = settings;
    if (openAndStart() < 0)
        return false;
    setState(State::Open);
    return true;
}

int ControlCanBus::openAndStart()
{
    m_initConfig = VCI_INIT_CONFIG {};
    m_initConfig.AccCode = m_filterCode;
    m_initConfig.AccMask = m_filterMask;
    m_initConfig.Filter = m_filterMode;
    m_initConfig.Mode = 0; // normal operation

    const auto type = static_cast<std::uint32_t>(m_settings.adapterType);
    const auto index = static_cast<std::uint32_t>(m_settings.adapterIndex);
    const auto channel = static_cast<std::uint32_t>(m_settings.channel);

    switch (m_settings.adapterType) {
    case AdapterType::UsbCan1:
    case AdapterType::UsbCan2: {
        if (m_api->openDevice(type, index, 0) != VCI_STATUS_OK) {
            QLOG_WARN() << "CanDevice::init: failed to open can card.";
            return -1;
        }
        const Sja1000Timing::Registers timing = busTiming(m_settings.bitRateKbit);
        m_initConfig.Timing0 = timing.btr0;
        m_initConfig.Timing1 = timing.btr1;
        m_deviceOpen = true;
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
        m_deviceOpen = true;
        std::uint32_t reference = bitRateReference(m_settings.bitRateKbit);
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

void ControlCanBus::close()
{
    if (m_deviceOpen) {
        m_api->closeDevice(static_cast<std::uint32_t>(m_settings.adapterType),
            static_cast<std::uint32_t>(m_settings.adapterIndex));
        m_deviceOpen = false;
    }
    setState(State::Closed);
}

bool ControlCanBus::writeFrame(const CanFrame &frame)
{
    VCI_CAN_OBJ record {};
    record.ID = frame.id;
    record.SendType = 0;
    record.RemoteFlag = frame.remote ? 1 : 0;
    record.ExternFlag = frame.extended ? 1 : 0;
    const int length = std::min(int(frame.data.size()), CanFrame::MaxDataLength);
    record.DataLen = static_cast<std::uint8_t>(length);
    std::memcpy(record.Data, frame.data.constData(), static_cast<std::size_t>(length));
    return m_api->transmit(static_cast<std::uint32_t>(m_settings.adapterType),
               static_cast<std::uint32_t>(m_settings.adapterIndex),
               static_cast<std::uint32_t>(m_settings.channel), &record, 1)
        == 1;
}

int ControlCanBus::readFrames(CanFrame *frames, int count)
{
    VCI_CAN_OBJ records[ReceiveRecords] {};
    const auto length = static_cast<std::uint32_t>(std::min(count, ReceiveRecords));
    // The vendor reports errors as -1 in its unsigned result.
    const auto received = static_cast<std::int32_t>(
        m_api->receive(static_cast<std::uint32_t>(m_settings.adapterType),
            static_cast<std::uint32_t>(m_settings.adapterIndex),
            static_cast<std::uint32_t>(m_settings.channel), records, length, 0));
    // Never trust a count beyond the buffer.
    const int filled = std::min<int>(std::max(received, 0), int(length));
    for (int i = 0; i < filled; ++i) {
        const VCI_CAN_OBJ &record = records[i];
        CanFrame &frame = frames[i];
        frame.id = record.ID;
        frame.extended = record.ExternFlag != 0;
        frame.remote = record.RemoteFlag != 0;
        frame.timeStamp = record.TimeStamp;
        // The whole data field, whatever the length code: the record always carries 8 bytes.
        frame.data
            = QByteArray(reinterpret_cast<const char *>(record.Data), CanFrame::MaxDataLength);
    }
    return filled;
}

quint32 ControlCanBus::takeErrorCode()
{
    VCI_ERR_INFO errorInfo {};
    m_api->readErrInfo(static_cast<std::uint32_t>(m_settings.adapterType),
        static_cast<std::uint32_t>(m_settings.adapterIndex),
        static_cast<std::uint32_t>(m_settings.channel), &errorInfo);
    return errorInfo.ErrCode;
}

QString ControlCanBus::description() const
{
    return m_api->description();
}
