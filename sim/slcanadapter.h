#pragma once

#include "pseudoterminal.h"

#include <QCanBusDevice>
#include <QElapsedTimer>

class QSocketNotifier;
class QTimer;

// The bank's side of a serial-line (slcan) CAN adapter, for bms-sim --slcan: the host opens the
// pseudo-terminal at portPath() as the adapter's serial port and speaks slcan (SlcanCodec) to
// it. To the simulator it is a QCanBusDevice like Qt's virtual bus, so the frames go through the
// same bus model: the host's frames come out of readFrame(), the batteries' frames go in through
// writeFrame() and reach the host while its channel is open, in one write per turn of the event
// loop (a USB serial adapter hands its host what it buffered some milliseconds apart).
//
// It answers as an adapter does: a carriage return for a command carried out, "z"/"Z" before it
// for a transmitted frame, a bell for anything refused (a frame while the channel is closed, a
// bit rate while it is open, a line it does not know). V gives a version, F the status flags:
// bit 3 (data overrun) once the host's frames were lost in the bus model's full queue since the
// last F. Z1 adds the time stamp to received frames.
//
// Faults (--slcan-fault): "refuse" answers the bit-rate command with a bell, as an adapter that
// does not support the rate; "drop" loses one character of every 50th line sent to the host;
// "hangup" goes away in the middle of a line after 200 lines (the port hangs up).
class SlcanAdapter : public QCanBusDevice
{
    Q_OBJECT

public:
    static const QStringList Faults;

    explicit SlcanAdapter(const QString &fault = QString(), QObject *parent = nullptr);
    ~SlcanAdapter() override;

    QString portPath() const { return m_terminal.portPath(); }
    QString openError() const { return m_openError; }
    // The host's frames the bus model dropped: reported as an overrun by the next F.
    void noteOverrun() { m_overrun = true; }

    bool writeFrame(const QCanBusFrame &frame) override;
    QString interpretErrorFrame(const QCanBusFrame &) override { return QString(); }

protected:
    bool open() override;
    void close() override;

private:
    void onReadable();
    void handleLine(const QByteArray &line);
    void reply(const QByteArray &bytes);
    void flush();

    QString m_fault;
    PseudoTerminal m_terminal;
    QString m_openError;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_flushTimer = nullptr;
    QByteArray m_incoming;
    QByteArray m_outgoing;
    bool m_channelOpen = false;
    int m_bitRateKbit = 0;
    bool m_timeStamps = false;
    bool m_overrun = false;
    int m_linesSent = 0;
    QElapsedTimer m_clock;
};
