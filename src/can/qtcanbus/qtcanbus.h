#pragma once

#include "can/canbus.h"
#include "can/canbusconfig.h"

#include "log/logthrottle.h"

#include <QCanBusDevice>
#include <QElapsedTimer>

#include <memory>

class QCanBusFrame;
class QEventLoop;

// Any bus of QtSerialBus: Qt's virtual bus by default, SocketCAN, PEAK and the other plugins
// through canbus.ini (CanBusConfig). The plugin's device announces what arrives.
//
// - open() creates the plugin's device and connects it, waiting at most connectTimeout() for
//   the connected state. The bit rate belongs to the system (ip link for SocketCAN, none for
//   the virtual bus) and is not set here; the program lets every identifier pass, so no filter
//   is applied.
// - Received frames keep their time stamp (or the time since opening when the plugin gives
//   none) in units of 100 us, wrapping at 32 bits. Error frames are not handed on: they and the
//   device's errors set the bits of takeErrorCode().
// - A connection that drops while open makes the state Lost.
//
// Threads: the plugin's device is created inside open(), so it lives in the thread that opens;
// every call must come from that thread.
class QtCanBus : public CanBus
{
    Q_OBJECT

public:
    // Bits of the error code.
    enum ErrorBit : quint32 {
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

    explicit QtCanBus(const CanBusConfig &config, QObject *parent = nullptr);
    ~QtCanBus() override;

    CanBusConfig config() const { return m_config; }
    // How long open() waits for the bus. Qt's virtual bus does not report a refused
    // connection; it only never connects, so this bounds a failing open.
    void setConnectTimeout(int milliseconds) { m_connectTimeoutMs = milliseconds; }
    int connectTimeout() const { return m_connectTimeoutMs; }

    bool open(const Settings &settings) override;
    void close() override;
    bool writeFrame(const CanFrame &frame) override;
    int readFrames(CanFrame *frames, int count) override;
    quint32 takeErrorCode() override;
    bool announcesArrivals() const override { return true; }
    QString description() const override;

private:
    bool isConnected() const;
    bool waitForConnected();
    void destroyDevice();
    void onErrorOccurred(QCanBusDevice::CanBusError error);
    void onStateChanged(QCanBusDevice::CanBusDeviceState state);
    quint32 adapterTime(const QCanBusFrame &frame) const;

    CanBusConfig m_config;
    int m_connectTimeoutMs = ConnectTimeoutMs;
    std::unique_ptr<QCanBusDevice> m_device;
    QEventLoop *m_connectLoop = nullptr; // while open() waits
    bool m_connectAborted = false;
    quint32 m_errorCode = 0;
    QsLogging::LogThrottle m_errorLog;
    QElapsedTimer m_sinceOpen;
};
