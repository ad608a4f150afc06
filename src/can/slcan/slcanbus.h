#pragma once

#include "can/canbus.h"
#include "can/canbusconfig.h"

#include "log/logthrottle.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSerialPort>

#include <deque>

class QEventLoop;

// A serial-line CAN adapter speaking slcan (SlcanCodec) over a serial port: CANable and its
// clones, USBtin, CANtact, LAWICEL CANUSB and others. The port and the serial line's speed come
// from CanBusConfig (plugin "slcan"); USB adapters ignore the speed.
//
// open() closes the channel in case a previous user left it open, asks for the version (no
// answer, or a line that is no slcan answer, means the port holds no slcan adapter), sets the
// bit rate and opens the channel, each answer checked; it runs a local event loop while it waits
// for them. Afterwards every command and transmitted frame is answered in order, a bell for a
// refusal: a refused frame is reported through transmitFailed(). An adapter that acknowledges no
// frames still works; its refusals cannot be told. The status flags are asked for
// at most once a second when the program looks at the error state, and logged (bounded) when
// set. A port that fails while open (the adapter unplugged) makes the state Lost; the next
// open() starts afresh.
class SlcanBus : public CanBus
{
    Q_OBJECT

public:
    static constexpr int AnswerTimeoutMs = 1000;
    // Answers owed before the adapter counts as one that acknowledges no frames: an adapter
    // that does lags far fewer behind.
    static constexpr int MaxUnanswered = 256;
    static constexpr int StatusIntervalMs = 1000;
    // Received frames kept for readFrames(); beyond it the oldest are dropped (and counted).
    static constexpr int MaxQueuedFrames = 4096;

    // Bits of the error code: the adapter's own status flags (F) in bits 0-7, and these.
    enum ErrorBit : quint32 {
        RefusedBit = 0x100, // the adapter answered a command or frame with a bell
        GarbageBit = 0x200, // a line that is no slcan line
        OverflowBit = 0x400, // frames dropped here, readFrames() not keeping up
        LostBit = 0x800, // the serial port failed
    };

    explicit SlcanBus(const CanBusConfig &config, QObject *parent = nullptr);
    ~SlcanBus() override;

    void setAnswerTimeout(int milliseconds) { m_answerTimeoutMs = milliseconds; }

    bool open(const Settings &settings) override;
    void close() override;
    bool writeFrame(const CanFrame &frame) override;
    int readFrames(CanFrame *frames, int count) override;
    quint32 takeErrorCode() override;
    bool announcesArrivals() const override { return true; }
    QString description() const override;

private:
    // What an answer of the adapter belongs to.
    enum class Pending { Command, Frame, Version, Status };

    // Sends a command and waits for its answer; false with the reason in *why.
    bool command(const QByteArray &line, Pending kind, QString *why);
    void send(const QByteArray &line, Pending kind, const CanFrame &frame = CanFrame());
    void onReadyRead();
    void handleLine(const QByteArray &line);
    void answered(bool ok, const QByteArray &line);
    void onPortError(QSerialPort::SerialPortError error);
    void closePort();
    bool failOpen(const QString &why);

    CanBusConfig m_config;
    QSerialPort *m_port = nullptr;
    int m_answerTimeoutMs = AnswerTimeoutMs;
    QByteArray m_incoming;
    // Commands and frames sent, oldest first, waiting for their answer.
    struct Sent
    {
        Pending kind;
        CanFrame frame;
    };
    std::deque<Sent> m_unanswered;
    std::deque<CanFrame> m_received;
    bool m_receivedAnnounced = false;
    // While open() waits: the loop, and the answer it waits for.
    QEventLoop *m_answerLoop = nullptr;
    bool m_answerOk = false;
    QByteArray m_answerLine;
    bool m_openAborted = false;
    bool m_opening = false;
    bool m_toldUnacknowledged = false;
    quint32 m_errorCode = 0;
    QElapsedTimer m_statusAskedAt;
    QElapsedTimer m_sinceOpen;
    QsLogging::LogThrottle m_errorLog;
};
