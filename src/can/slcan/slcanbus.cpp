#include "slcanbus.h"

#include "log/logger.h"
#include "slcancodec.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

// A line longer than any slcan line (an extended frame with 8 bytes and a time stamp is 31
// characters) is noise.
constexpr int LongestLine = 64;
constexpr int FlushMs = 100;

} // namespace

SlcanBus::SlcanBus(const CanBusConfig &config, QObject *parent)
    : CanBus(parent)
    , m_config(config)
{ }

SlcanBus::~SlcanBus()
{
    close();
}

QString SlcanBus::description() const
{
    return QStringLiteral("slcan adapter on %1").arg(m_config.interfaceName());
}

bool SlcanBus::open(const Settings &settings)
{
    // An open nested in the answer wait of another one.
    if (m_opening)
        return false;
    close();
    m_port = new QSerialPort(m_config.interfaceName(), this);
    m_port->setBaudRate(m_config.serialSpeed());
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite))
        return failOpen(
            QStringLiteral("cannot open the serial port: %1").arg(m_port->errorString()));
    // What an earlier user left unread is no answer to this one.
    m_port->clear(QSerialPort::Input);
    connect(m_port, &QSerialPort::readyRead, this, &SlcanBus::onReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &SlcanBus::onPortError);
    m_incoming.clear();
    m_unanswered.clear();
    m_errorCode = 0;
    m_openAborted = false;
    m_toldUnacknowledged = false;
    m_opening = true;

    QString why;
    // A previous user may have left the channel open; closing a closed channel is answered
    // with a bell, which is as good.
    const bool closed = command("C\r", Pending::Command, &why) || m_answerLine == "\a";
    if (!closed)
        return failOpen(why);
    if (!command("V\r", Pending::Version, &why))
        return failOpen(why);
    QLOG_INFO() << "SlcanBus::open:" << description() << "version" << m_answerLine;
    const QByteArray bitRate = SlcanCodec::bitRateCommand(settings.bitRateKbit);
    if (bitRate.isEmpty()) {
        return failOpen(
            QStringLiteral("no slcan bit-rate setting for %1 kbit/s").arg(settings.bitRateKbit));
    }
    if (!command(bitRate, Pending::Command, &why) || !command("O\r", Pending::Command, &why))
        return failOpen(why);
    m_opening = false;
    m_received.clear();
    m_receivedAnnounced = false;
    m_sinceOpen.start();
    m_statusAskedAt.invalidate();
    QLOG_INFO() << "SlcanBus::open: opened the" << description() << "at" << settings.bitRateKbit
                << "kbit/s";
    setState(State::Open);
    return true;
}

bool SlcanBus::failOpen(const QString &why)
{
    m_opening = false;
    QLOG_WARN() << "SlcanBus::open: cannot open the" << description() << "reason:" << why;
    closePort();
    setState(State::Closed);
    return false;
}

bool SlcanBus::command(const QByteArray &line, Pending kind, QString *why)
{
    const QByteArray shown = line.left(line.size() - 1);
    send(line, kind);
    QEventLoop loop;
    QTimer::singleShot(m_answerTimeoutMs, &loop, &QEventLoop::quit);
    m_answerLoop = &loop;
    m_answerLine.clear();
    m_answerOk = false;
    loop.exec();
    m_answerLoop = nullptr;
    if (m_openAborted || !m_port) {
        *why = m_openAborted ? QStringLiteral("closed while opening")
                             : QStringLiteral("the serial port failed");
        return false;
    }
    if (m_answerLine.isEmpty()) {
        *why = QStringLiteral("no answer to %1 within %2 ms: no slcan adapter on this port?")
                   .arg(QString::fromLatin1(shown))
                   .arg(m_answerTimeoutMs);
        return false;
    }
    if (!m_answerOk) {
        *why = m_answerLine == "\a"
            ? QStringLiteral("the adapter refused %1").arg(QString::fromLatin1(shown))
            : QStringLiteral("answered %1 with \"%2\", which is no slcan answer: no slcan "
                             "adapter on this port?")
                  .arg(QString::fromLatin1(shown), QString::fromLatin1(m_answerLine.toHex(' ')));
        return false;
    }
    if (kind == Pending::Version && !m_answerLine.startsWith('V')
        && !m_answerLine.startsWith('v')) {
        *why = QStringLiteral("no version in the answer to V: no slcan adapter on this port?");
        return false;
    }
    return true;
}

void SlcanBus::send(const QByteArray &line, Pending kind, const CanFrame &frame)
{
    m_unanswered.push_back({ kind, frame });
    m_port->write(line);
}

void SlcanBus::close()
{
    if (m_opening) {
        // The pending open() still uses the port; it fails and cleans up when it resumes.
        m_openAborted = true;
        if (m_answerLoop)
            m_answerLoop->quit();
        return;
    }
    if (m_port && state() == State::Open) {
        // So that the adapter stops sending into a port nobody reads.
        m_port->write("C\r");
        m_port->waitForBytesWritten(FlushMs);
    }
    closePort();
    m_received.clear();
    setState(State::Closed);
}

void SlcanBus::closePort()
{
    m_unanswered.clear();
    if (!m_port)
        return;
    disconnect(m_port, nullptr, this, nullptr);
    m_port->close();
    // Possibly inside one of its own signals.
    m_port->deleteLater();
    m_port = nullptr;
}

bool SlcanBus::writeFrame(const CanFrame &frame)
{
    if (state() != State::Open || !m_port)
        return false;
    if (int(m_unanswered.size()) >= MaxUnanswered) {
        // Some adapters never acknowledge a frame; what they refuse cannot be told then. The
        // frames still go out.
        if (!m_toldUnacknowledged) {
            m_toldUnacknowledged = true;
            QLOG_WARN() << "SlcanBus:" << description() << "acknowledges no frames, so frames it "
                        << "refuses cannot be reported";
        }
        m_unanswered.pop_front();
    }
    send(SlcanCodec::frameLine(frame), Pending::Frame, frame);
    return true;
}

int SlcanBus::readFrames(CanFrame *frames, int count)
{
    int taken = 0;
    while (taken < count && !m_received.empty()) {
        frames[taken++] = std::move(m_received.front());
        m_received.pop_front();
    }
    if (m_received.empty())
        m_receivedAnnounced = false;
    return taken;
}

quint32 SlcanBus::takeErrorCode()
{
    // Asked as often as the program looks at the error state, at most once a second.
    if (state() == State::Open && m_port
        && (!m_statusAskedAt.isValid() || m_statusAskedAt.elapsed() >= StatusIntervalMs)) {
        m_statusAskedAt.start();
        send("F\r", Pending::Status);
    }
    const quint32 code = m_errorCode;
    m_errorCode = 0;
    return code;
}

void SlcanBus::onReadyRead()
{
    const QPointer<QSerialPort> port = m_port;
    m_incoming.append(port->readAll());
    const size_t queuedBefore = m_received.size();
    int start = 0;
    for (int i = 0; i < m_incoming.size() && port == m_port; ++i) {
        const char c = m_incoming.at(i);
        if (c == SlcanCodec::Error) {
            answered(false, QByteArray(1, c));
            start = i + 1;
        } else if (c == SlcanCodec::Ok) {
            handleLine(m_incoming.mid(start, i - start));
            start = i + 1;
        }
    }
    if (port != m_port)
        return;
    m_incoming.remove(0, start);
    if (m_incoming.size() > LongestLine) {
        handleLine(m_incoming);
        m_incoming.clear();
    }
    if (m_received.size() > queuedBefore && !m_receivedAnnounced) {
        m_receivedAnnounced = true;
        emit framesReceived();
    }
}

void SlcanBus::handleLine(const QByteArray &line)
{
    if (SlcanCodec::isFrameLine(line)) {
        CanFrame frame;
        int timeMs = -1;
        if (SlcanCodec::parseFrame(line, &frame, &timeMs)) {
            // The adapter's milliseconds when it gives them, else the arrival here; in 100 us.
            frame.timeStamp
                = timeMs >= 0 ? quint32(timeMs) * 10 : quint32(m_sinceOpen.nsecsElapsed() / 100000);
            if (int(m_received.size()) >= MaxQueuedFrames) {
                m_received.pop_front();
                m_errorCode |= OverflowBit;
            }
            m_received.push_back(std::move(frame));
            return;
        }
    } else if (line.isEmpty() || line == "z" || line == "Z") {
        answered(true, QByteArray(1, SlcanCodec::Ok));
        return;
    } else if (line.at(0) == 'V' || line.at(0) == 'v' || line.at(0) == 'N'
        || (line.at(0) == 'F' && line.size() == 3)) {
        answered(true, line);
        return;
    }
    // Noise: a line no adapter sends. While opening, that is no slcan adapter.
    m_errorCode |= GarbageBit;
    if (m_opening && m_answerLoop) {
        m_answerOk = false;
        m_answerLine = line.isEmpty() ? QByteArray("?") : line;
        m_answerLoop->quit();
        return;
    }
    int held = 0;
    if (m_errorLog.admit(GarbageBit, &held)) {
        QLOG_WARN() << "SlcanBus:" << description()
                    << "sent a line that is no slcan:" << line.left(LongestLine).toHex(' ')
                    << QsLogging::DroppedLines { held };
    }
    emit errorOccurred();
}

void SlcanBus::answered(bool ok, const QByteArray &line)
{
    // Answers come in the order of what they answer. A version or status reply says what it
    // answers: what was sent before that got no answer (frames, with an adapter that
    // acknowledges none) is not waited for any longer.
    auto answers = m_unanswered.begin();
    const Pending says = line.startsWith('F') ? Pending::Status : Pending::Version;
    if (ok && (line.startsWith('F') || line.startsWith('V') || line.startsWith('v'))) {
        answers = std::find_if(m_unanswered.begin(), m_unanswered.end(),
            [says](const Sent &sent) { return sent.kind == says; });
        if (answers == m_unanswered.end())
            return;
    }
    if (answers == m_unanswered.end())
        return; // an answer to nothing: an adapter that answers twice; harmless
    const Sent sent = std::move(*answers);
    m_unanswered.erase(m_unanswered.begin(), answers + 1);
    switch (sent.kind) {
    case Pending::Frame:
        if (!ok) {
            m_errorCode |= RefusedBit;
            emit transmitFailed(sent.frame);
        }
        return;
    case Pending::Status: {
        const int flags = ok ? line.mid(1).toInt(nullptr, 16) : 0;
        if (flags != 0) {
            m_errorCode |= quint32(flags);
            int held = 0;
            if (m_errorLog.admit(quint32(flags), &held)) {
                QLOG_WARN()
                    << "SlcanBus:" << description()
                    << QStringLiteral("status flags 0x%1").arg(flags, 2, 16, QLatin1Char('0'))
                    << "(a buffer overran or the bus has errors)"
                    << QsLogging::DroppedLines { held };
            }
            emit errorOccurred();
        }
        return;
    }
    case Pending::Command:
    case Pending::Version:
        if (m_answerLoop) {
            m_answerOk = ok;
            m_answerLine = line;
            m_answerLoop->quit();
        } else if (!ok) {
            m_errorCode |= RefusedBit;
            emit errorOccurred();
        }
        return;
    }
}

void SlcanBus::onPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port)
        return;
    QLOG_WARN() << "SlcanBus:" << description() << "failed:" << m_port->errorString();
    m_errorCode |= LostBit;
    const bool wasOpen = state() == State::Open;
    closePort();
    if (m_answerLoop)
        m_answerLoop->quit();
    if (wasOpen) {
        setState(State::Lost);
        emit errorOccurred();
    }
}
