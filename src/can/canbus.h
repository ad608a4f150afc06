#pragma once

#include "canframe.h"

#include <QObject>
#include <QString>

// What the program needs of a CAN adapter, whichever it is: the vendor's USB-CAN adapters
// (controlcan/), any bus of QtSerialBus (qtcanbus/) or a serial-line adapter speaking the slcan
// protocol (slcan/). CanDevice drives one of them; nothing above it sees a backend's own types.
//
// A backend is made in one thread and used only from the thread it lives in (CanDevice's worker
// thread, where the device's children move along with it). Received frames wait in the backend
// until readFrames() takes them; a backend that learns when they arrive says so
// (announcesArrivals()) and emits framesReceived() for each batch, one that cannot (the vendor's
// library) is polled.
class CanBus : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Closed,
        Open,
        // Was open and the adapter went away (unplugged, the connection dropped); open() again
        // once it is back.
        Lost,
    };
    Q_ENUM(State)

    // What to open. The bit rate belongs to every backend; the adapter type, index and channel
    // only tell the vendor's adapters apart (the navigation bar's choice), the others ignore them.
    struct Settings
    {
        int bitRateKbit = 250;
        int adapterType = 0;
        int adapterIndex = 0;
        int channel = 0;
    };

    explicit CanBus(QObject *parent = nullptr);

    // Opens and starts the adapter; false with the reason logged. Calls open() of an open bus
    // close() first. May run a local event loop while the adapter connects, so other events of
    // this thread can be served meanwhile (a close() among them makes this open fail).
    virtual bool open(const Settings &settings) = 0;
    // Closes the adapter if it is open (or being opened); the state becomes Closed.
    virtual void close() = 0;
    // Hands the frame to the adapter: false when it is refused at once. A refusal that comes
    // later (an adapter answering an error) is reported through transmitFailed().
    virtual bool writeFrame(const CanFrame &frame) = 0;
    // Moves up to `count` received frames into `frames`, oldest first, and returns how many;
    // never waits.
    virtual int readFrames(CanFrame *frames, int count) = 0;
    // The adapter's error state since it was last asked, 0 for none; asking clears it. The codes
    // are the backend's own, for the log.
    virtual quint32 takeErrorCode() = 0;
    // Whether framesReceived() and errorOccurred() announce what arrives; false: poll.
    virtual bool announcesArrivals() const = 0;
    // Which adapter this is, for the log.
    virtual QString description() const = 0;

    State state() const { return m_state; }

signals:
    // Frames wait for readFrames(): a batch arrived.
    void framesReceived();
    // takeErrorCode() has something new.
    void errorOccurred();
    // The adapter refused this frame after writeFrame() had taken it.
    void transmitFailed(const CanFrame &frame);
    void stateChanged(CanBus::State state);

protected:
    void setState(State state);

private:
    State m_state = State::Closed;
};
