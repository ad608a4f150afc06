#include "uartbootloader.h"

#include "simbattery.h"
#include "simoptions.h"

#include "upgrade/imageversion.h"
#include "upgrade/uartimage.h"

#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <chrono>
#include <thread>

#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

namespace {

constexpr qint32 RequestBaud = 9600;
constexpr qint32 TransferBaud = 115200;
constexpr int BitsPerByte = 10; // start bit, 8 data bits, stop bit
constexpr int SplitPieces = 3;
constexpr int MaxNoiseBytes = 16;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

} // namespace

UartBootLoader::UartBootLoader(const SimOptions &options, SimBattery *battery, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_battery(battery)
    , m_random(options.seed)
{
    m_clock.start();
    m_receiveTimer = new QTimer(this);
    m_receiveTimer->setSingleShot(true);
    m_receiveTimer->setTimerType(Qt::PreciseTimer);
    connect(m_receiveTimer, &QTimer::timeout, this, &UartBootLoader::OnReceiveDue);
    m_transmitTimer = new QTimer(this);
    m_transmitTimer->setSingleShot(true);
    m_transmitTimer->setTimerType(Qt::PreciseTimer);
    connect(m_transmitTimer, &QTimer::timeout, this, &UartBootLoader::OnTransmitDue);
}

UartBootLoader::~UartBootLoader() = default;

bool UartBootLoader::open(QString *error)
{
    if (!m_terminal.open(error))
        return false;
    m_notifier = new QSocketNotifier(m_terminal.masterFd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UartBootLoader::OnReadable);
    return true;
}

qint32 UartBootLoader::hostBaud() const
{
#ifdef Q_OS_UNIX
    // The master reports the settings the host made on its end.
    termios settings {};
    if (::tcgetattr(m_terminal.masterFd(), &settings) != 0)
        return 0;
    switch (::cfgetospeed(&settings)) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
#else
    return 0;
#endif
}

qint64 UartBootLoader::lineTimeNs(int bytes, qint32 baud) const
{
    if (baud <= 0)
        return 0;
    return qint64(bytes) * BitsPerByte * 1000000000LL / baud;
}

bool UartBootLoader::faulty() const
{
    return m_options.appliesTo(m_battery->devId());
}

bool UartBootLoader::refuses(const char *step) const
{
    return faulty() && m_options.bootRefuse == QLatin1String(step);
}

void UartBootLoader::trace(const char *direction, const QByteArray &bytes) const
{
    if (m_options.verbose)
        out() << "uart " << direction << ' ' << bytes.toHex(' ') << Qt::endl;
}

void UartBootLoader::schedule(QTimer *timer, qint64 dueNs)
{
    // Whole milliseconds early at most; the handler waits out the rest.
    const qint64 waitMs = qMax<qint64>(0, (dueNs - m_clock.nsecsElapsed()) / 1000000);
    timer->start(int(waitMs));
}

void UartBootLoader::OnReadable()
{
#ifdef Q_OS_UNIX
    const qint32 baud = hostBaud();
    char bytes[4096];
    for (;;) {
        const ssize_t count = ::read(m_terminal.masterFd(), bytes, sizeof bytes);
        if (count <= 0)
            break;
        Chunk chunk;
        chunk.bytes = QByteArray(bytes, int(count));
        chunk.baud = baud;
        const qint64 start = qMax(m_clock.nsecsElapsed(), m_receiveLineFreeNs);
        chunk.dueNs = start + lineTimeNs(chunk.bytes.size(), baud);
        m_receiveLineFreeNs = chunk.dueNs;
        m_received.append(chunk);
    }
    if (!m_received.isEmpty() && !m_receiveTimer->isActive())
        schedule(m_receiveTimer, m_received.first().dueNs);
#endif
}

void UartBootLoader::OnReceiveDue()
{
    while (!m_received.isEmpty()) {
        const qint64 early = m_received.first().dueNs - m_clock.nsecsElapsed();
        if (early > 1000000) {
            schedule(m_receiveTimer, m_received.first().dueNs);
            return;
        }
        if (early > 0)
            std::this_thread::sleep_for(std::chrono::nanoseconds(early));
        const Chunk chunk = m_received.takeFirst();
        trace("recv", chunk.bytes);
        m_buffer.append(chunk.bytes);
        for (auto item = m_buffer.next(); item.kind != UartReceiveBuffer::NeedMore;
             item = m_buffer.next()) {
            if (item.kind == UartReceiveBuffer::Frame)
                handleFrame(item.frame, chunk.baud);
            else if (m_options.verbose)
                out() << "uart dropped a broken frame or noise" << Qt::endl;
        }
    }
}

void UartBootLoader::handleFrame(const QByteArray &frame, qint32 baud)
{
    if (!m_terminal.isOpen())
        return; // the line is dead
    if (UartFrame::target(frame) != 0x00 || quint8(frame.at(3)) != UartFrame::Command)
        return;
    if (!m_inBootLoader) {
        // The running firmware listens at 9600 baud for the one request that starts the boot
        // loader.
        if (baud == RequestBaud && UartFrame::subCommand(frame) == UartFrame::RequestUpgrade) {
            m_inBootLoader = true;
            m_prepared = false;
            out() << "bms-sim: battery " << m_battery->devId() << " entered its uart boot loader"
                  << Qt::endl;
        }
        return;
    }
    if (baud != TransferBaud)
        return;
    handleBootFrame(frame);
}

void UartBootLoader::handleBootFrame(const QByteArray &frame)
{
    const quint16 subCommand = UartFrame::subCommand(frame);
    const quint16 argument = UartFrame::argument(frame);
    const QByteArray payload = UartFrame::payload(frame);
    const bool fullBlock = payload.size() == UartImage::BlockSize;
    const bool lastBlock = !payload.isEmpty() && payload.size() <= UartImage::BlockSize
        && payload.size() % UartImage::PadMultiple == 0;
    const bool carriesBlock = subCommand == UartFrame::StartFrame
        || subCommand == UartFrame::FileData || subCommand == UartFrame::EndFrame;
    if (carriesBlock && faulty() && argument == m_options.uartHangUpAt) {
        hangUp();
        return;
    }
    bool accepted = false;
    switch (subCommand) {
    case UartFrame::RequestUpgrade: {
        const bool refused = refuses("version");
        const QByteArray tag = refused
            ? QByteArray(UartImage::RevisionTagSize, '\0')
            : m_options.bootVersion.leftJustified(UartImage::RevisionTagSize, '\0', true);
        reply(subCommand, !refused, tag);
        return;
    }
    case UartFrame::PrepareUpgrade:
        accepted = !refuses("prepare");
        m_prepared = accepted;
        m_started = false;
        m_ended = false;
        m_nextBlock = 1;
        m_image.clear();
        break;
    case UartFrame::StartFrame:
        accepted = !refuses("start") && m_prepared && !m_started && argument == 1 && lastBlock;
        if (accepted) {
            m_started = true;
            m_nextBlock = 2;
            m_image = payload;
        }
        break;
    case UartFrame::FileData:
        accepted = !refuses("data") && m_started && !m_ended && argument == m_nextBlock && fullBlock
            && m_image.size() % UartImage::BlockSize == 0;
        if (accepted) {
            ++m_nextBlock;
            m_image.append(payload);
        }
        break;
    case UartFrame::EndFrame: {
        // An image of one block ends with the start frame's block once more.
        const bool repeat = argument == 1 && m_nextBlock == 2 && payload == m_image;
        accepted = !refuses("end") && m_started && !m_ended && lastBlock
            && (repeat || (argument == m_nextBlock && m_image.size() % UartImage::BlockSize == 0));
        if (accepted) {
            m_ended = true;
            if (!repeat)
                m_image.append(payload);
        }
        break;
    }
    case UartFrame::ImageCrc: {
        // Only after the end frame: the image is whole then.
        const bool complete = m_started && m_ended;
        const quint16 crc = payload.size() == 2 ? UartFrame::fromLittleEndian16(payload)
                                                : quint16(~UartFrame::crc(m_image));
        accepted = !refuses("crc") && complete && argument == 2 && crc == UartFrame::crc(m_image);
        if (accepted) {
            const QByteArray version = ImageVersion::ofBin(m_image);
            m_battery->installFirmware(version);
            m_inBootLoader = false;
            out() << "bms-sim: battery " << m_battery->devId() << " took an image of "
                  << m_image.size() << " bytes over its uart, firmware version "
                  << QString::fromLatin1(version.left(version.indexOf('\0'))) << Qt::endl;
        }
        break;
    }
    default:
        return;
    }
    if (!accepted)
        m_prepared = false;
    reply(subCommand, accepted);
}

void UartBootLoader::hangUp()
{
#ifdef Q_OS_UNIX
    delete m_notifier;
    m_notifier = nullptr;
    m_receiveTimer->stop();
    m_transmitTimer->stop();
    m_received.clear();
    m_toSend.clear();
    m_buffer.clear();
    m_terminal.close();
    out() << "bms-sim: battery " << m_battery->devId() << " uart line hung up" << Qt::endl;
#endif
}

void UartBootLoader::reply(quint16 subCommand, bool accepted, const QByteArray &extra)
{
    if (faulty() && m_options.bootSilent)
        return;
    QByteArray frame = UartFrame::reply(0x00, accepted, subCommand, extra);
    if (faulty() && m_options.bootCorrupt)
        frame[UartFrame::StatusOffset] = char(frame.at(UartFrame::StatusOffset)
            ^ 0x5A); // after the CRC was computed: it no longer fits
    ++m_replies;
    if (faulty() && m_options.uartGarbage) {
        QByteArray noise;
        const int count = 1 + int(m_random.bounded(MaxNoiseBytes));
        for (int i = 0; i < count; ++i)
            noise.append(char(m_random.bounded(256)));
        // A header that claims a body longer than anything that follows.
        if (m_replies % 3 == 0)
            noise.append(QByteArray::fromHex("AA550050F0"));
        frame.prepend(noise);
    }
    if (faulty() && m_options.uartSplit && frame.size() >= SplitPieces) {
        const int piece = frame.size() / SplitPieces;
        queueTransmit(frame.left(piece));
        queueTransmit(frame.mid(piece, piece));
        queueTransmit(frame.mid(2 * piece));
    } else {
        queueTransmit(frame);
    }
}

void UartBootLoader::queueTransmit(const QByteArray &bytes)
{
    Chunk chunk;
    chunk.bytes = bytes;
    chunk.baud = hostBaud();
    const qint64 start = qMax(m_clock.nsecsElapsed(), m_transmitLineFreeNs);
    chunk.dueNs = start + lineTimeNs(bytes.size(), chunk.baud);
    m_transmitLineFreeNs = chunk.dueNs;
    m_toSend.append(chunk);
    if (!m_transmitTimer->isActive())
        schedule(m_transmitTimer, m_toSend.first().dueNs);
}

void UartBootLoader::OnTransmitDue()
{
#ifdef Q_OS_UNIX
    while (!m_toSend.isEmpty()) {
        const qint64 early = m_toSend.first().dueNs - m_clock.nsecsElapsed();
        if (early > 1000000) {
            schedule(m_transmitTimer, m_toSend.first().dueNs);
            return;
        }
        if (early > 0)
            std::this_thread::sleep_for(std::chrono::nanoseconds(early));
        const Chunk chunk = m_toSend.takeFirst();
        trace("send", chunk.bytes);
        const ssize_t written
            = ::write(m_terminal.masterFd(), chunk.bytes.constData(), size_t(chunk.bytes.size()));
        if (written != chunk.bytes.size())
            out() << "bms-sim: uart reply cut short: " << written << " of " << chunk.bytes.size()
                  << " bytes written" << Qt::endl;
    }
#endif
}
