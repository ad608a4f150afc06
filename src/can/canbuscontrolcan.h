#pragma once

#include "canbusconfig.h"
#include "controlcanapi.h"

#include "log/logthrottle.h"

#include <QCanBusDevice>
#include <QElapsedTimer>

#include <memory>

class QCanBusFrame;
class QEventLoop;

// The built-in substitute for the vendor library: the nine ControlCAN operations on top of a
// QtSerialBus device (Qt's virtual bus by default, SocketCAN or any other plugin through
// canbus.ini, see CanBusConfig). It models one adapter with one channel, 0; calls naming another
// channel, or another device than the one opened, fail like the vendor's do.
//
// Mapping of the operations:
// - openDevice creates the bus device and connects it, waiting at most connectTimeout() for
//   the connected state; it fails when the plugin, the interface or the connection does.
// - initCan and setReference only check their arguments: the bus's bit rate belongs to the
//   system (ip link for SocketCAN, none for the virtual bus), and since the program's filter
//   lets every identifier pass, no filter is applied.
// - startCan succeeds once the device is initialised and still connected.
// - transmit writes frames until one is refused and reports how many went out.
// - receive hands over what has arrived, at most `length` frames, and never waits; Data is
//   zero-filled beyond the received bytes; TimeStamp is the frame's own time (or the time since
//   opening when the plugin gives none) in the vendor's unit of 100 us, wrapping at 32 bits.
// - readErrInfo reports the error bits below collected since the last read, then clears them.
// - announceArrivals: the device's framesReceived() and errors are announced as they come, so
//   that the program reads the bus when something is there rather than on a timer.
//
// Threads: the bus device is created inside openDevice, so it lives in the thread that opens
// (CanDevice's worker thread); every operation must come from that thread. openDevice runs a
// local event loop while it waits for the connection, so other events of that thread, queued
// slot calls included, are served during the wait; a closeDevice arriving that way makes the
// pending openDevice fail.
class CanBusControlCan : public ControlCanApi
{
public:
    // Bits of the error code; the vendor's codes are its own, these belong to the substitute.
    enum ErrorBit : std::uint32_t {
        // An error frame came off the bus; its QCanBusFrame::FrameErrors are in bits 8 and up.
        ErrorFrameBit = 0x0001,
        ReadErrorBit = 0x0002,
        WriteErrorBit = 0x0004,
        ConnectionErrorBit = 0x0008, // also: the connection to the bus was lost
        ConfigurationErrorBit = 0x0010,
        OtherErrorBit = 0x0020,
    };
    static constexpr int FrameErrorShift = 8;
    static constexpr int ConnectTimeoutMs = 3000;

    explicit CanBusControlCan(const CanBusConfig &config);
    ~CanBusControlCan() override;

    CanBusConfig config() const { return m_config; }
    // How long openDevice waits for the bus. Qt's virtual bus does not report a refused
    // connection; it only never connects, so this bounds a failing open.
    void setConnectTimeout(int milliseconds) { m_connectTimeoutMs = milliseconds; }
    int connectTimeout() const { return m_connectTimeoutMs; }

    std::uint32_t openDevice(
        std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t reserved) override;
    std::uint32_t closeDevice(std::uint32_t deviceType, std::uint32_t deviceIndex) override;
    std::uint32_t initCan(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_INIT_CONFIG *config) override;
    std::uint32_t setReference(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, std::uint32_t referenceType, void *data) override;
    std::uint32_t clearBuffer(
        std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel) override;
    std::uint32_t startCan(
        std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel) override;
    std::uint32_t transmit(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t count) override;
    std::uint32_t receive(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t length,
        std::int32_t waitTime) override;
    std::uint32_t readErrInfo(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_ERR_INFO *errorInfo) override;

    QString description() const override;
    bool announceArrivals(std::function<void()> arrived) override;

private:
    bool isOpen(std::uint32_t deviceType, std::uint32_t deviceIndex) const;
    bool isOpenChannel(
        std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel) const;
    bool isConnected() const;
    bool waitForConnected();
    void destroyDevice();
    // Tells the device that frames or errors wait (announceArrivals()).
    void announce();
    void onErrorOccurred(QCanBusDevice::CanBusError error);
    void onStateChanged(QCanBusDevice::CanBusDeviceState state);
    std::uint32_t adapterTime(const QCanBusFrame &frame) const;

    CanBusConfig m_config;
    int m_connectTimeoutMs = ConnectTimeoutMs;
    std::unique_ptr<QCanBusDevice> m_device;
    std::uint32_t m_deviceType = 0;
    std::uint32_t m_deviceIndex = 0;
    bool m_open = false;
    bool m_initialised = false;
    bool m_started = false;
    QEventLoop *m_connectLoop = nullptr; // while openDevice waits
    bool m_connectAborted = false;
    std::uint32_t m_errorCode = 0;
    std::function<void()> m_arrived;
    QsLogging::LogThrottle m_errorLog;
    QElapsedTimer m_sinceOpen;
};
