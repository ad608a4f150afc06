#include "slcanadapter.h"

#include "can/slcan/slcancodec.h"

#include <QCanBusFrame>
#include <QSocketNotifier>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

const QByteArray Ok("\r");
const QByteArray Refused("\a");
const QByteArray Version("V1013\r");
constexpr quint8 DataOverrunFlag = 0x08;
constexpr int DropEveryLines = 50;
constexpr int HangUpAfterLines = 200;
constexpr int LongestLine = 64;
constexpr int TimeStampWrapMs = 60000;

} // namespace

const QStringList SlcanAdapter::Faults { QStringLiteral("refuse"), QStringLiteral("drop"),
    QStringLiteral("hangup") };

SlcanAdapter::SlcanAdapter(const QString &fault, QObject *parent)
    : QCanBusDevice(parent)
    , m_fault(fault)
    , m_flushTimer(new QTimer(this))
{
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(0);
    connect(m_flushTimer, &QTimer::timeout, this, &SlcanAdapter::flush);
}

SlcanAdapter::~SlcanAdapter() = default;

bool SlcanAdapter::open()
{
    if (!m_terminal.open(&m_openError)) {
        setError(m_openError, QCanBusDevice::ConnectionError);
        return false;
    }
    m_notifier = new QSocketNotifier(m_terminal.masterFd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SlcanAdapter::onReadable);
    m_clock.start();
    setState(QCanBusDevice::ConnectedState);
    return true;
}

void SlcanAdapter::close()
{
    delete m_notifier;
    m_notifier = nullptr;
    m_terminal.close();
    m_channelOpen = false;
    setState(QCanBusDevice::UnconnectedState);
}

bool SlcanAdapter::writeFrame(const QCanBusFrame &frame)
{
    // A closed channel hears nothing of the bus.
    if (!m_channelOpen || !m_terminal.isOpen())
        return true;
    CanFrame out;
    out.id = frame.frameId();
    out.extended = frame.hasExtendedFrameFormat();
    out.remote = frame.frameType() == QCanBusFrame::RemoteRequestFrame;
    out.data = frame.payload();
    QByteArray line = SlcanCodec::frameLine(out);
    if (m_timeStamps) {
        const QByteArray stamp = QByteArray::number(m_clock.elapsed() % TimeStampWrapMs, 16)
                                     .toUpper()
                                     .rightJustified(4, '0');
        line.insert(line.size() - 1, stamp);
    }
    ++m_linesSent;
    if (m_fault == QLatin1String("drop") && m_linesSent % DropEveryLines == 0)
        line.remove(line.size() / 2, 1);
    if (m_fault == QLatin1String("hangup") && m_linesSent == HangUpAfterLines) {
        m_outgoing.append(line.left(line.size() / 2));
        flush();
        close();
        return true;
    }
    m_outgoing.append(line);
    if (!m_flushTimer->isActive())
        m_flushTimer->start();
    return true;
}

void SlcanAdapter::reply(const QByteArray &bytes)
{
    m_outgoing.append(bytes);
    if (!m_flushTimer->isActive())
        m_flushTimer->start();
}

void SlcanAdapter::flush()
{
#ifdef Q_OS_UNIX
    int written = 0;
    while (written < m_outgoing.size() && m_terminal.isOpen()) {
        const ssize_t count = ::write(m_terminal.masterFd(), m_outgoing.constData() + written,
            size_t(m_outgoing.size() - written));
        if (count <= 0)
            break; // the host does not read: what it left unread is lost, as on a real line
        written += int(count);
    }
#endif
    m_outgoing.clear();
}

void SlcanAdapter::onReadable()
{
#ifdef Q_OS_UNIX
    char bytes[4096];
    for (;;) {
        const ssize_t count = ::read(m_terminal.masterFd(), bytes, sizeof bytes);
        if (count <= 0)
            break;
        m_incoming.append(bytes, int(count));
    }
#endif
    int start = 0;
    for (int i = 0; i < m_incoming.size(); ++i) {
        if (m_incoming.at(i) == '\r') {
            handleLine(m_incoming.mid(start, i - start));
            start = i + 1;
        }
    }
    m_incoming.remove(0, start);
    if (m_incoming.size() > LongestLine) {
        m_incoming.clear();
        reply(Refused);
    }
}

void SlcanAdapter::handleLine(const QByteArray &line)
{
    if (SlcanCodec::isFrameLine(line)) {
        CanFrame frame;
        if (!m_channelOpen || !SlcanCodec::parseFrame(line, &frame)) {
            reply(Refused);
            return;
        }
        QCanBusFrame toBus(frame.id, frame.data);
        toBus.setExtendedFrameFormat(frame.extended);
        if (frame.remote)
            toBus.setFrameType(QCanBusFrame::RemoteRequestFrame);
        reply(frame.extended ? "Z\r" : "z\r");
        enqueueReceivedFrames({ toBus });
        return;
    }
    const char command = line.isEmpty() ? '\0' : line.at(0);
    switch (command) {
    case '\0':
        reply(Ok);
        return;
    case 'V':
    case 'v':
        reply(Version);
        return;
    case 'N':
        reply("NSIM1\r");
        return;
    case 'S':
    case 's': {
        const int bitRate = SlcanCodec::bitRateOfCommand(line);
        if (m_channelOpen || bitRate == 0 || m_fault == QLatin1String("refuse")) {
            reply(Refused);
            return;
        }
        m_bitRateKbit = bitRate;
        reply(Ok);
        return;
    }
    case 'O':
    case 'L':
        if (m_channelOpen || m_bitRateKbit == 0) {
            reply(Refused);
            return;
        }
        m_channelOpen = true;
        reply(Ok);
        return;
    case 'C':
        if (!m_channelOpen) {
            reply(Refused);
            return;
        }
        m_channelOpen = false;
        reply(Ok);
        return;
    case 'F': {
        const quint8 flags = m_overrun ? DataOverrunFlag : 0;
        m_overrun = false;
        reply("F" + QByteArray::number(flags, 16).toUpper().rightJustified(2, '0') + "\r");
        return;
    }
    case 'Z':
        m_timeStamps = line == "Z1";
        reply(Ok);
        return;
    default:
        reply(Refused);
        return;
    }
}
