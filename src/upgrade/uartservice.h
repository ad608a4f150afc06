#pragma once

#include "uartframe.h"
#include "uartimage.h"

#include "can/upgradesession.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>

class QTimer;

// Upgrades a battery's firmware over a serial port with a raw binary image: asks the running
// firmware to enter its boot loader (at 9600 baud), switches to 115200 baud, checks that the
// boot loader's revision tag is the image's, lets it prepare, sends the image in blocks of 248
// bytes, each acknowledged, and ends with the CRC of the whole image. One 5 ms timer drives
// every step; a frame goes out once per entry into its state, and a missing answer costs the
// reply timeout (ReplyTimeoutTicks).
//
//   IDLE -> REQUEST_UPGRADE -(baud)-> CHECK_BOOT_VERSION -> PREPARE_UPGRADE -> SEND_START_FRAME
//        -> SEND_FILE_DATA (blocks 2 .. N-1) -> SEND_END_FRAME (block N) -> SEND_CRC -> stop
//
// Images of one or two blocks have no data phase: two blocks go as start frame (1) and end
// frame (2); a single block goes in the start frame and again in the end frame (1 both times),
// the one case where a block travels twice, as the boot loader takes the CRC only after an
// end frame.
//
// An upgrade session (UpgradeSession) over the serial port: startUpgrading() starts it with the
// port and the image, stop() is stopUpgrading() and step() the state. Its signals: newData() a
// "<hh:mm:ss:zzz> Send: <hex>" or "... Recv: <hex>" line for every chunk written or read;
// newState() the progress and failure texts for the page's log pane; upgradeResult() whenever a
// started upgrade stops, true only after the boot loader accepted the CRC.
//
// Threads: the service is built without a parent and moved to a worker thread of its own before
// any call; startUpgrading() and stopUpgrading() (or stop()) are then invoked by name, queued,
// and every slot, the timer and the port run in that thread. The four signals reach the page
// queued.
class UartService : public UpgradeSession
{
    Q_OBJECT

public:
    enum UpgradeState {
        USUS_IDLE = 0,
        USUS_REQUEST_UPGRADE,
        USUS_CHECK_BOOT_VERSION,
        USUS_PREPARE_UPGRADE,
        USUS_SEND_START_FRAME,
        USUS_SEND_FILE_DATA,
        USUS_SEND_END_FRAME,
        USUS_SEND_CRC,
        USUS_MAX_STATE, // a bound, never entered
    };
    Q_ENUM(UpgradeState)

    static constexpr int TickMs = 5;
    static constexpr qint32 RequestBaud = 9600;
    static constexpr qint32 TransferBaud = 115200;
    // The request is not answered: about a second after it the port goes to TransferBaud.
    static constexpr int BaudSwitchTicks = 200;
    // Ticks without an answer before a state gives up: about 20 s.
    static constexpr int ReplyTimeoutTicks = 4000;
    // Timeouts of the boot-version check that start the whole procedure again.
    static constexpr int MaxVersionRestarts = 5;
    static constexpr quint8 Target = 0x00;

    explicit UartService(QObject *parent = nullptr);
    ~UartService() override;

    // Worker thread only, like everything below.
    UpgradeState state() const { return m_state; }
    int step() const override { return m_state; }
    // Test seam: the two waits in ticks, so that tests need not sit through the second after
    // the request or the 20 s timeout. Call before startUpgrading(), in the thread the service
    // lives in. The program keeps BaudSwitchTicks and ReplyTimeoutTicks.
    void setBaudSwitchTicks(int ticks) { m_baudSwitchTicks = ticks; }
    void setReplyTimeoutTicks(int ticks) { m_replyTimeoutTicks = ticks; }

public slots:
    void startUpgrading(QString comPort, QByteArray binData);
    void stopUpgrading();
    void stop() override { stopUpgrading(); }

private slots:
    void OnReadyRead();
    void OnTimerTimeout();

private:
    // Opens comPort at RequestBaud, replacing any port; false with the port's reason.
    bool init(const QString &comPort, QString *error);
    // Moves to the following state (advance) or stops, reporting the result.
    void changeState(bool advance);
    // 0, or -1 without a port.
    int changeSerialPortBaud(qint32 baud);
    void send(quint16 subCommand, quint16 argument, const QByteArray &payload = QByteArray());
    void handleReply(const QByteArray &frame);
    void refuse(const QString &why);
    void OnPortError(QSerialPort::SerialPortError error);
    void closePort();
    void tail();
    UpgradeState following(UpgradeState state) const;
    static QString timeText();

    QString m_portName;
    QSerialPort *m_port = nullptr;
    UartReceiveBuffer m_buffer;
    QTimer *m_timer = nullptr;
    int m_tick = 0;
    UartImage m_image;
    int m_blockNumber = 1;
    UpgradeState m_state = USUS_IDLE;
    int m_restarts = 0;
    bool m_success = false;
    int m_baudSwitchTicks = BaudSwitchTicks;
    int m_replyTimeoutTicks = ReplyTimeoutTicks;
};
