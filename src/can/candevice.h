#pragma once

#include "can/adaptertype.h"
#include "can/controlcan.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

#include <memory>

class ControlCanApi;
class QTimer;

// The USB-CAN adapter: opens and configures one channel of one adapter through the nine
// ControlCAN operations, polls it every 5 ms and hands each received frame on as newData(), and
// transmits single frames, re-initialising the adapter once when a transmission fails. A frame
// that does not reach the bus, refused or given to a closed adapter, is reported through
// transmitFailed().
//
// A provider that announces what arrives (the CAN-bus substitute, ControlCanApi::
// announceArrivals()) is read at each announcement instead, everything it holds, and polled
// only every AnnouncedPollIntervalMs for its error state. A poll every 5 ms wakes the worker
// thread 200 times a second whether or not a frame came, which is a large part of what an open
// bus costs the program; the vendor's library gives the poll no alternative.
//
// Threads: made in the GUI thread, then moved to the CAN worker thread; from then on every
// slot, the poll timer and every ControlCAN call run in the worker thread. Other threads reach
// it only through queued meta-calls by slot name (open and close blocking, writeData queued),
// so transmissions keep their call order. newData() and transmitFailed() are emitted in the
// worker thread.
//
// The provider of the ControlCAN operations is ControlCanFactory's choice unless one is given;
// tests give a fake. The CAN-bus substitute runs a local event loop while it connects, so slot
// calls queued meanwhile can arrive in the middle of init(); see init() for what they do then.
class CanDevice : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollIntervalMs = 5;
    static constexpr int ReceiveBufferFrames = 100;
    static constexpr int MaxDataLength = 8;
    // An adapter error counts as cleared once the adapter has reported none for this long, so
    // that an error that comes and goes between polls is not logged on every poll.
    static constexpr int ErrorClearedAfterMs = 1000;
    static constexpr int AnnouncedPollIntervalMs = ErrorClearedAfterMs;

    explicit CanDevice(QObject *parent = nullptr);
    // A null api means the factory's choice.
    explicit CanDevice(std::shared_ptr<ControlCanApi> api, QObject *parent = nullptr);
    // Performs close().
    ~CanDevice() override;

    std::shared_ptr<ControlCanApi> api() const { return m_api; }
    // Swaps the provider (null: the factory's choice); closes the adapter of the previous one
    // first. Call it from the thread the device works in.
    void setApi(std::shared_ptr<ControlCanApi> api);

    // For tests, from the device's thread.
    bool isOpen() const { return m_open; }
    bool isPolling() const;

    // Timing0 and Timing1 of the USBCAN1/2 init record for a bit rate in kbit/s.
    struct BusTiming
    {
        std::uint8_t timing0;
        std::uint8_t timing1;
    };
    static BusTiming busTiming(int baud);
    // The VCI_SetReference value of USBCAN_E/2E for a bit rate in kbit/s.
    static std::uint32_t bitRateReference(int baud);

public slots:
    // close(), then init() with these settings; 0 and polling on success, -1 otherwise.
    int open(int canTypeId, int canId, bool isExtern, int canChannel, int baud);
    // Closes the adapter if it is open and stops polling.
    void close();
    // Sends one frame; dropped while closed (reported, not logged), refused (Warn) beyond 8
    // data bytes.
    void writeData(ulong id, QByteArray data);
    // The poll.
    void OnTimeout();

signals:
    // One received frame: data is always the 8 bytes of the frame's data field.
    void newData(ulong id, QByteArray data, ulong timeStamp);
    // The adapter refused to transmit this frame, or it came while the adapter was closed or
    // being (re-)initialised; it is not sent again. Emitted after the re-initialisation that
    // follows a refusal, whatever its outcome. A frame refused for being too long is not
    // reported here.
    void transmitFailed(ulong id, QByteArray data);

private:
    int init();
    int openAndStartAdapter();
    void closeAdapter();
    // One read of the adapter: the frames it holds, up to ReceiveBufferFrames, handed on, or,
    // when there are none, its error state looked at. The frames handed on.
    int poll();
    // Reads until the adapter holds no more frames (an announcement).
    void takeArrivals();
    void reportAdapterError(std::uint32_t errorCode);

    std::shared_ptr<ControlCanApi> m_api;
    QTimer *m_pollTimer = nullptr;

    int m_deviceType = AdapterType::Default;
    int m_deviceIndex = 0;
    bool m_isExtern = false;
    int m_channel = 0;
    int m_baud = 250;
    bool m_open = false;
    std::uint32_t m_filterCode = 0;
    std::uint32_t m_filterMask = 0xFFFFFFFFu;
    // Never set by the program; with the all-pass mask any mode lets every identifier through.
    std::uint8_t m_filterMode = 0;
    VCI_INIT_CONFIG m_initConfig {};

    // Re-entrancy guards for the substitute's connection wait (see init()).
    bool m_initRunning = false;
    bool m_closedDuringInit = false;

    // The adapter error last logged (0: none, or logged as cleared), and when the adapter last
    // reported any: the log gets one line per change of the error state, however long an error
    // persists (the poll would otherwise write 200 lines a second).
    std::uint32_t m_loggedErrorCode = 0;
    QElapsedTimer m_errorSeenAt;
};
