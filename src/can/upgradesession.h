#pragma once

#include <QObject>
#include <QString>

// A firmware upgrade session, whatever carries it: something that, once started, steps through
// an upgrade until it ends, and reports progress, transcript lines, state texts and its result
// through the signals below. Each transport starts its session with inputs of its own (the CAN
// one an S-record image and the batteries expected, CanUpgradeSession; the serial one a port and
// a raw image, UartService), so starting is not part of this interface; following and stopping
// one is, so that a caller may do both without knowing the transport.
//
// Threads: a session lives in one thread (the CAN one in the GUI thread, the serial one in a
// worker thread of its own) and is called there only; stop() is a slot so that it can be invoked
// by name, queued, from another. The signals may be received in any thread, queued.
class UpgradeSession : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The step the session is in; 0 while idle. Read in the session's own thread.
    virtual int step() const = 0;

public slots:
    // Back to idle without a word: no result, no text.
    virtual void stop() = 0;

signals:
    // One transcript line per frame sent or received.
    void newData(QString data);
    // A state, progress or failure text.
    void newState(QString state);
    // 0 to 100.
    void upgradeProgress(int value);
    // Whenever a started session ends, unless by stop(); true only when the boot loader took the
    // whole image.
    void upgradeResult(bool success);
};
