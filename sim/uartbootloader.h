#pragma once

#include "pseudoterminal.h"

#include "upgrade/uartframe.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>

class QSocketNotifier;
class QTimer;
class SimBattery;
struct SimOptions;

// The serial boot loader of one simulated battery, on a pseudo-terminal whose other end (the
// path portPath() names) the host opens as its serial port. It plays both sides of the
// battery's serial line:
//
//   running firmware  hears only the upgrade request (sub-command 1), and only at 9600 baud;
//                     it then starts the boot loader and answers nothing
//   boot loader       hears frames only at 115200 baud: answers the version query with the
//                     --boot-version tag, prepares, takes blocks in order (start, data, end;
//                     an image of one block sends it in the start frame and again in the end
//                     frame), checks the image CRC only after the end frame, stores the
//                     image and has the battery report the firmware version it carries
//
// A pseudo-terminal moves bytes at once whatever its speed, so the line is paced here: a
// received chunk counts as arrived when its last byte would have crossed the line at the
// host's rate (10 bits a byte, read with tcgetattr), and a reply is written when its last
// byte would have been sent. Frames go through the product's UartFrame codec.
//
// Faults, for the fault packs (SimOptions::appliesTo): --boot-refuse STEP answers that step
// with status 0 (version: status 0 and a zero tag); --boot-silent answers nothing;
// --boot-corrupt breaks one byte of every reply after its CRC; --uart-garbage puts noise
// before every reply (every third time ending in a header that claims a long body);
// --uart-split writes every reply in three pieces, each when its bytes would have arrived;
// --uart-hangup-at BLOCK closes the pseudo-terminal when that block arrives, as a USB serial
// adapter pulled out mid-upgrade (the host's port then fails).
class UartBootLoader : public QObject
{
    Q_OBJECT

public:
    UartBootLoader(const SimOptions &options, SimBattery *battery, QObject *parent = nullptr);
    ~UartBootLoader() override;

    // Creates the pseudo-terminal; false with the reason when the system has none.
    bool open(QString *error);
    QString portPath() const { return m_terminal.portPath(); }

private:
    struct Chunk
    {
        qint64 dueNs = 0; // when its last byte is through the line
        QByteArray bytes;
        qint32 baud = 0;
    };

    void OnReadable();
    void OnReceiveDue();
    void OnTransmitDue();
    void handleFrame(const QByteArray &frame, qint32 baud);
    void handleBootFrame(const QByteArray &frame);
    void hangUp();
    void reply(quint16 subCommand, bool accepted, const QByteArray &extra = QByteArray());
    void queueTransmit(const QByteArray &bytes);
    void schedule(QTimer *timer, qint64 dueNs);
    bool faulty() const;
    bool refuses(const char *step) const;
    qint32 hostBaud() const;
    qint64 lineTimeNs(int bytes, qint32 baud) const;
    void trace(const char *direction, const QByteArray &bytes) const;

    const SimOptions &m_options;
    SimBattery *m_battery;
    PseudoTerminal m_terminal;
    QSocketNotifier *m_notifier = nullptr;
    QElapsedTimer m_clock;
    QTimer *m_receiveTimer = nullptr;
    QTimer *m_transmitTimer = nullptr;
    QList<Chunk> m_received;
    QList<Chunk> m_toSend;
    qint64 m_receiveLineFreeNs = 0;
    qint64 m_transmitLineFreeNs = 0;
    UartReceiveBuffer m_buffer;
    QRandomGenerator m_random;
    int m_replies = 0;

    bool m_inBootLoader = false;
    bool m_prepared = false;
    bool m_started = false;
    bool m_ended = false;
    int m_nextBlock = 1;
    QByteArray m_image;
};
