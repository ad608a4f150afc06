#include "uartservice.h"

#include "firmwareimage.h"
#include "log/logger.h"

#include <QTime>
#include <QTimer>

UartService::UartService(QObject *parent)
    : UpgradeSession(parent)
{
    qRegisterMetaType<UartService::UpgradeState>("UartService::UpgradeState");
    m_timer = new QTimer(this);
    m_timer->setInterval(TickMs);
    m_timer->setSingleShot(false);
    // The tick paces every block: a coarse timer would stretch it.
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &UartService::OnTimerTimeout);
}

UartService::~UartService() = default;

QString UartService::timeText()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss:zzz"));
}

void UartService::startUpgrading(QString comPort, QByteArray binData)
{
    m_timer->stop();
    m_state = USUS_IDLE;
    if (!UartImage::isSendable(binData)) {
        QLOG_WARN() << "UartService::startUpgrading: image of" << binData.size()
                    << "bytes cannot be sent.";
        emit newState(tr("an image of %1 bytes cannot be sent: it must hold %2 to %3 bytes.")
                          .arg(binData.size())
                          .arg(UartImage::RevisionTagSize)
                          .arg(UartImage::MaxSize));
        emit upgradeResult(false);
        return;
    }
    QString error;
    if (!init(comPort, &error)) {
        emit newState(tr("failed to open com port: %1; error: %2.").arg(comPort, error));
        // The page would otherwise wait for a result that never comes.
        emit upgradeResult(false);
        return;
    }
    m_image = UartImage(binData);
    m_blockNumber = 1;
    m_tick = 0;
    m_success = false;
    m_restarts = 0;
    m_buffer.clear();
    m_timer->start();
    emit upgradeProgress(0);
}

void UartService::stopUpgrading()
{
    m_state = USUS_IDLE;
    m_tick = 0;
    m_success = false;
    m_timer->stop();
    closePort();
}

bool UartService::init(const QString &comPort, QString *error)
{
    closePort();
    m_port = new QSerialPort(this);
    m_port->setPortName(comPort);
    m_port->setBaudRate(RequestBaud, QSerialPort::AllDirections);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite)) {
        *error = m_port->errorString();
        QLOG_ERROR() << "UartService::init: failed to open serial port: " << comPort;
        delete m_port;
        m_port = nullptr;
        return false;
    }
    m_portName = comPort;
    connect(m_port, &QSerialPort::readyRead, this, &UartService::OnReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &UartService::OnPortError);
    return true;
}

void UartService::closePort()
{
    if (!m_port)
        return;
    m_port->disconnect(this);
    m_port->close();
    // Possibly called from one of the port's own signals.
    m_port->deleteLater();
    m_port = nullptr;
}

void UartService::OnPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port)
        return;
    const QString reason = m_port->errorString();
    QLOG_ERROR() << "UartService::OnPortError: serial port" << m_portName << "failed:" << reason;
    // A port that has gone repeats its error on every read: close it at once.
    closePort();
    if (m_state == USUS_IDLE && !m_timer->isActive())
        return;
    emit newState(tr("serial port %1 failed: %2.").arg(m_portName, reason));
    changeState(false);
}

UartService::UpgradeState UartService::following(UpgradeState state) const
{
    // No block is left for the data phase.
    if (state == USUS_SEND_START_FRAME && m_image.blockCount() <= 2)
        return USUS_SEND_END_FRAME;
    return UpgradeState(state + 1);
}

void UartService::changeState(bool advance)
{
    if (advance && m_state != USUS_SEND_CRC) {
        m_tick = 0;
        m_state = following(m_state);
        emit newState(tr("move to next state: ") + QString::number(m_state));
        QLOG_INFO() << "UartService::changeState: move to next state: " << int(m_state);
        return;
    }
    const UpgradeState stopped = m_state;
    m_state = USUS_IDLE;
    m_tick = 0;
    m_timer->stop();
    emit newState(tr("stop upgrading at state: ") + QString::number(stopped));
    QLOG_INFO() << "UartService::changeState: stop upgrading at state: " << int(stopped);
    emit upgradeResult(m_success);
}

int UartService::changeSerialPortBaud(qint32 baud)
{
    if (!m_port)
        return -1;
    m_port->setBaudRate(baud, QSerialPort::AllDirections);
    emit newState(tr("changed baud to %1.").arg(baud));
    QLOG_INFO() << "UartService::changeSerialPortBaud: changed baud to " << baud;
    return 0;
}

void UartService::send(quint16 subCommand, quint16 argument, const QByteArray &payload)
{
    if (!m_port)
        return;
    const QByteArray frame = UartFrame::request(Target, subCommand, argument, payload);
    m_port->write(frame);
    emit newData(QStringLiteral("%1 Send: %2").arg(timeText(), UartFrame::hexText(frame)));
}

void UartService::OnTimerTimeout()
{
    switch (m_state) {
    case USUS_IDLE:
        m_buffer.clear();
        changeState(true);
        break;
    case USUS_REQUEST_UPGRADE:
        if (m_tick == 1) {
            send(UartFrame::RequestUpgrade, 0);
        } else if (m_tick > m_baudSwitchTicks) {
            if (changeSerialPortBaud(TransferBaud) < 0)
                changeState(false);
            else
                changeState(true);
            m_buffer.clear();
        } else {
            // No reply is awaited here, so no timeout either.
            ++m_tick;
            return;
        }
        break;
    case USUS_CHECK_BOOT_VERSION:
        if (m_tick == 1)
            send(UartFrame::RequestUpgrade, 0);
        break;
    case USUS_PREPARE_UPGRADE:
        if (m_tick == 1)
            send(UartFrame::PrepareUpgrade, 0);
        break;
    case USUS_SEND_START_FRAME:
        if (m_tick == 1)
            send(UartFrame::StartFrame, quint16(m_blockNumber), m_image.block(m_blockNumber));
        break;
    case USUS_SEND_FILE_DATA:
        if (m_tick == 1)
            send(UartFrame::FileData, quint16(m_blockNumber), m_image.block(m_blockNumber));
        break;
    case USUS_SEND_END_FRAME:
        if (m_tick == 1) {
            const int last = m_image.blockCount();
            send(UartFrame::EndFrame, quint16(last), m_image.block(last));
        }
        break;
    case USUS_SEND_CRC:
        if (m_tick == 1)
            send(UartFrame::ImageCrc, 2, UartFrame::littleEndian16(m_image.crc()));
        break;
    case USUS_MAX_STATE:
        break;
    }
    tail();
}

void UartService::tail()
{
    const int old = m_tick;
    m_tick = old + 1;
    if (old <= m_replyTimeoutTicks)
        return;
    if (m_state == USUS_CHECK_BOOT_VERSION && m_restarts < MaxVersionRestarts) {
        // The battery may have missed the request: ask again from the start, at the rate the
        // port has now.
        ++m_restarts;
        m_state = USUS_IDLE;
        m_tick = 0;
        m_success = false;
        return;
    }
    changeState(false);
    emit newState(tr("upgrade process stop."));
    QLOG_INFO() << "UartService::OnTimerTimeout: upgrade process stop.";
}

void UartService::OnReadyRead()
{
    if (!m_port)
        return;
    const QByteArray bytes = m_port->readAll();
    if (bytes.isEmpty())
        return;
    emit newData(QStringLiteral("%1 Recv: %2").arg(timeText(), UartFrame::hexText(bytes)));
    m_buffer.append(bytes);
    for (UartReceiveBuffer::Item item = m_buffer.next(); item.kind != UartReceiveBuffer::NeedMore;
         item = m_buffer.next()) {
        switch (item.kind) {
        case UartReceiveBuffer::Frame:
            handleReply(item.frame);
            break;
        case UartReceiveBuffer::Noise:
            QLOG_WARN() << "UartService::OnReadyRead: frame header mismatch.";
            break;
        case UartReceiveBuffer::CrcError:
            QLOG_WARN() << "UartService::OnReadyRead: check crc error: "
                        << "calc: " << item.computedCrc << "recv: " << item.receivedCrc;
            break;
        case UartReceiveBuffer::BadTrailer:
        case UartReceiveBuffer::NeedMore:
            break;
        }
        // A reply may have stopped the upgrade and, through a port error, closed the port.
        if (!m_port)
            return;
    }
}

void UartService::refuse(const QString &why)
{
    emit newState(why);
    QLOG_WARN() << "UartService::handleReply:" << why;
    changeState(false);
}

void UartService::handleReply(const QByteArray &frame)
{
    if (UartFrame::target(frame) != Target || quint8(frame.at(3)) != UartFrame::Command)
        return;
    const int length = UartFrame::bodyLength(frame);
    const bool accepted = UartFrame::isAccepted(frame);
    const QString refused = tr("refused by the boot loader at state: %1.").arg(m_state);
    switch (m_state) {
    case USUS_IDLE:
    case USUS_REQUEST_UPGRADE:
    case USUS_MAX_STATE:
        return;
    case USUS_CHECK_BOOT_VERSION: {
        if (length <= 4)
            return;
        const QByteArray tag = UartFrame::revisionTag(frame);
        if (tag == m_image.revisionTag()) {
            changeState(true);
        } else {
            refuse(tr("the boot loader's revision %1 does not match the image's %2.")
                       .arg(FirmwareImage::latin1Text(tag),
                           FirmwareImage::latin1Text(m_image.revisionTag())));
        }
        return;
    }
    case USUS_PREPARE_UPGRADE:
    case USUS_SEND_END_FRAME:
        if (length == 0)
            return;
        if (accepted)
            changeState(true);
        else
            refuse(refused);
        return;
    case USUS_SEND_START_FRAME:
    case USUS_SEND_FILE_DATA:
        if (length == 0)
            return;
        if (!accepted) {
            refuse(refused);
            return;
        }
        emit upgradeProgress(m_blockNumber * 100 / m_image.blockCount());
        ++m_blockNumber;
        if (m_state == USUS_SEND_START_FRAME || m_blockNumber >= m_image.blockCount())
            changeState(true);
        else
            m_tick = 0; // the next block goes out two ticks later
        return;
    case USUS_SEND_CRC:
        if (length == 0)
            return;
        if (!accepted) {
            refuse(refused);
            return;
        }
        m_success = true;
        changeState(true);
        emit upgradeProgress(100);
        return;
    }
}
