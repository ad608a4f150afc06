#pragma once

#include "can/adaptertype.h"
#include "can/canbus.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

#include <vector>

class QTimer;

// The CAN adapter as the program uses it: opens whichever CanBus it is given (the factory's
// choice unless one is given: the vendor's adapter, a QtSerialBus bus or a serial-line adapter),
// hands each received frame on as newData(), and transmits single frames, re-opening the
// adapter once when a transmission fails. A frame that does not reach the bus, refused or given
// to a closed adapter, is reported through transmitFailed().
//
// A bus that cannot tell when frames arrive (the vendor's library) is polled every 5 ms, at
// most ReceiveBufferFrames frames a poll. A bus that announces them is read at each
// announcement, everything it holds, and polled only every AnnouncedPollIntervalMs for its
// error state: a poll every 5 ms wakes the worker thread 200 times a second whether or not a
// frame came, which is a large part of what an open bus costs the program.
//
// Threads: made in the GUI thread, then moved to the CAN worker thread together with its bus (a
// child); from then on every slot, the poll timer and every call of the bus run in the worker
// thread. Other threads reach it only through queued meta-calls by slot name (open and close
// blocking, writeData queued), so transmissions keep their call order. newData() and
// transmitFailed() are emitted in the worker thread.
//
// A bus may run a local event loop while it connects, so slot calls queued meanwhile can arrive
// in the middle of init(); see init() for what they do then.
class CanDevice : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollIntervalMs = 5;
    static constexpr int ReceiveBufferFrames = 100;
    static constexpr int MaxDataLength = CanFrame::MaxDataLength;
    // An adapter error counts as cleared once the adapter has reported none for this long, so
    // that an error that comes and goes between polls is not logged on every poll.
    static constexpr int ErrorClearedAfterMs = 1000;
    static constexpr int AnnouncedPollIntervalMs = ErrorClearedAfterMs;

    // A null bus means the factory's choice (CanBusFactory); the device owns the bus.
    explicit CanDevice(CanBus *bus = nullptr, QObject *parent = nullptr);
    // Performs close().
    ~CanDevice() override;

    CanBus *bus() const { return m_bus; }

    // For tests, from the device's thread.
    bool isOpen() const { return m_open; }
    bool isPolling() const;

public slots:
    // close(), then init() with these settings; 0 and polling on success, -1 otherwise. The
    // adapter type, index and channel reach the vendor's adapters only.
    int open(int canTypeId, int canId, bool isExtern, int canChannel, int baud);
    // Closes the adapter if it is open and stops polling.
    void close();
    // Sends one frame, extended as open() was told; dropped while closed (reported, not
    // logged), refused (Warn) beyond 8 data bytes.
    void writeData(ulong id, QByteArray data);
    // The poll.
    void OnTimeout();

signals:
    // One received frame: data is always the 8 bytes of the frame's data field (zero-filled
    // beyond a shorter frame's data). The remote and extended flags are not passed on.
    void newData(ulong id, QByteArray data, ulong timeStamp);
    // The adapter refused to transmit this frame, or it came while the adapter was closed or
    // being (re-)initialised; it is not sent again. Emitted after the re-initialisation that
    // follows a refusal, whatever its outcome. A frame refused for being too long is not
    // reported here.
    void transmitFailed(ulong id, QByteArray data);

private:
    int init();
    void connectBus();
    // One read of the bus: the frames it holds, up to ReceiveBufferFrames, handed on, or, when
    // there are none, its error state looked at. The frames handed on.
    int poll();
    // Reads until the bus holds no more frames (an announcement).
    void takeArrivals();
    void reportAdapterError(quint32 errorCode);
    void onBusStateChanged(CanBus::State state);
    // A frame the bus refused: one re-initialisation, then the report.
    void recoverFromRefusal(const CanFrame &frame);

    CanBus *m_bus = nullptr;
    QTimer *m_pollTimer = nullptr;
    CanBus::Settings m_settings;
    bool m_isExtern = false;
    bool m_open = false;
    // Reused by every poll: frames taken from the bus.
    std::vector<CanFrame> m_received;

    // Re-entrancy guards for a bus's connection wait (see init()).
    bool m_initRunning = false;
    bool m_closedDuringInit = false;

    // The adapter error last logged (0: none, or logged as cleared), and when the adapter last
    // reported any: the log gets one line per change of the error state, however long an error
    // persists (the poll would otherwise write 200 lines a second).
    quint32 m_loggedErrorCode = 0;
    QElapsedTimer m_errorSeenAt;
};
