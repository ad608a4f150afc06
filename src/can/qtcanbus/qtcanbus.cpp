#include "qtcanbus.h"

#include "log/logger.h"

#include <QCanBusFrame>
#include <QEventLoop>
#include <QTimer>

namespace {

quint32 errorBitFor(QCanBusDevice::CanBusError error)
{
    switch (error) {
    case QCanBusDevice::NoError:
        return 0;
    case QCanBusDevice::ReadError:
        return QtCanBus::ReadErrorBit;
    case QCanBusDevice::WriteError:
        return QtCanBus::WriteErrorBit;
    case QCanBusDevice::ConnectionError:
        return QtCanBus::ConnectionErrorBit;
    case QCanBusDevice::ConfigurationError:
        return QtCanBus::ConfigurationErrorBit;
    default:
        return QtCanBus::OtherErrorBit;
    }
}

} // namespace

QtCanBus::QtCanBus(const CanBusConfig &config, QObject *parent)
    : CanBus(parent)
    , m_config(config)
{ }

QtCanBus::~QtCanBus()
{
    destroyDevice();
}

bool QtCanBus::open(const Settings & /*settings*/)
{
    // Also refuses an open nested in the connection wait of another one.
    if (m_connectLoop)
        return false;
    close();
    m_connectAborted = false;

    QString reason;
    m_device = m_config.createDevice(&reason);
    if (!m_device) {
        QLOG_WARN() << "QtCanBus::open: cannot create a device on the CAN bus"
                    << m_config.description() << "reason:" << reason;
        return false;
    }
    QCanBusDevice *const device = m_device.get();
    connect(device, &QCanBusDevice::errorOccurred, this, &QtCanBus::onErrorOccurred);
    connect(device, &QCanBusDevice::stateChanged, this, &QtCanBus::onStateChanged);
    connect(device, &QCanBusDevice::framesReceived, this, &CanBus::framesReceived);

    if (!device->connectDevice() || !waitForConnected()) {
        QString why
            = m_connectAborted ? QStringLiteral("closed while connecting") : device->errorString();
        if (why.isEmpty())
            why = QStringLiteral("not connected within %1 ms").arg(m_connectTimeoutMs);
        QLOG_WARN() << "QtCanBus::open: cannot connect to the CAN bus" << m_config.description()
                    << "reason:" << why;
        destroyDevice();
        return false;
    }

    m_errorCode = 0;
    m_sinceOpen.start();
    // What came while connecting is older than the opening.
    m_device->readAllFrames();
    QLOG_INFO() << "QtCanBus::open: connected to the CAN bus" << m_config.description();
    setState(State::Open);
    return true;
}

bool QtCanBus::waitForConnected()
{
    // connectDevice() only starts the connection for plugins that talk over a socket (the
    // virtual bus); the state change arrives through this thread's event loop, so it has to
    // run here. Other events of the thread are served meanwhile (see CanBus::open()).
    if (m_device->state() == QCanBusDevice::ConnectedState)
        return true;
    QEventLoop loop;
    QTimer::singleShot(m_connectTimeoutMs, &loop, &QEventLoop::quit);
    connect(m_device.get(), &QCanBusDevice::stateChanged, &loop,
        [&loop](QCanBusDevice::CanBusDeviceState state) {
            if (state != QCanBusDevice::ConnectingState)
                loop.quit();
        });
    m_connectLoop = &loop;
    loop.exec();
    m_connectLoop = nullptr;
    return !m_connectAborted && m_device->state() == QCanBusDevice::ConnectedState;
}

void QtCanBus::close()
{
    if (m_connectLoop) {
        // The pending open() still uses the device; it fails and cleans up when it resumes.
        m_connectAborted = true;
        m_connectLoop->quit();
        return;
    }
    destroyDevice();
}

bool QtCanBus::writeFrame(const CanFrame &frame)
{
    if (state() != State::Open || !isConnected())
        return false;
    QCanBusFrame out;
    out.setFrameId(frame.id);
    // After the identifier: setFrameId() picks the format from the value, the frame decides.
    out.setExtendedFrameFormat(frame.extended);
    if (frame.remote)
        out.setFrameType(QCanBusFrame::RemoteRequestFrame);
    else
        out.setPayload(frame.data.left(CanFrame::MaxDataLength));
    // An adapter cannot put a 29-bit identifier into a standard frame; some plugins would
    // still send one, so refuse it here.
    return out.isValid() && m_device->writeFrame(out);
}

int QtCanBus::readFrames(CanFrame *frames, int count)
{
    if (state() != State::Open || !m_device)
        return 0;
    int filled = 0;
    while (filled < count && m_device->framesAvailable() > 0) {
        const QCanBusFrame frame = m_device->readFrame();
        if (frame.frameType() == QCanBusFrame::ErrorFrame) {
            m_errorCode |= ErrorFrameBit | (quint32(frame.error()) << FrameErrorShift);
            continue;
        }
        if (!frame.isValid()
            || (frame.frameType() != QCanBusFrame::DataFrame
                && frame.frameType() != QCanBusFrame::RemoteRequestFrame))
            continue;
        CanFrame &received = frames[filled++];
        received.id = frame.frameId();
        received.extended = frame.hasExtendedFrameFormat();
        received.remote = frame.frameType() == QCanBusFrame::RemoteRequestFrame;
        received.timeStamp = adapterTime(frame);
        // Shared with the Qt frame, not copied.
        received.data = received.remote ? QByteArray() : frame.payload();
        if (received.data.size() > CanFrame::MaxDataLength)
            received.data.truncate(CanFrame::MaxDataLength);
    }
    return filled;
}

quint32 QtCanBus::takeErrorCode()
{
    const quint32 code = m_errorCode;
    m_errorCode = 0;
    return code;
}

QString QtCanBus::description() const
{
    return QStringLiteral("CAN bus %1").arg(m_config.description());
}

bool QtCanBus::isConnected() const
{
    return m_device && m_device->state() == QCanBusDevice::ConnectedState;
}

void QtCanBus::destroyDevice()
{
    if (m_device) {
        // Our handlers must not see the state changes of an orderly close.
        disconnect(m_device.get(), nullptr, this, nullptr);
        if (m_device->state() != QCanBusDevice::UnconnectedState)
            m_device->disconnectDevice();
        m_device.reset();
    }
    setState(State::Closed);
}

void QtCanBus::onErrorOccurred(QCanBusDevice::CanBusError error)
{
    m_errorCode |= errorBitFor(error);
    // A noisy bus reports errors by the thousand; the kind of error is the key.
    int held = 0;
    if (m_errorLog.admit(quint32(error), &held)) {
        QLOG_DEBUG() << "QtCanBus: CAN bus error:" << m_device->errorString()
                     << QsLogging::DroppedLines { held };
    }
    emit errorOccurred();
}

void QtCanBus::onStateChanged(QCanBusDevice::CanBusDeviceState deviceState)
{
    // Qt's virtual bus drops the connection without an errorOccurred() of its own.
    if (state() == State::Open && deviceState == QCanBusDevice::UnconnectedState) {
        m_errorCode |= ConnectionErrorBit;
        QLOG_WARN() << "QtCanBus: lost the connection to the CAN bus" << m_config.description();
        setState(State::Lost);
        emit errorOccurred();
    }
}

quint32 QtCanBus::adapterTime(const QCanBusFrame &frame) const
{
    const QCanBusFrame::TimeStamp stamp = frame.timeStamp();
    const qint64 tenthsOfMs = (stamp.seconds() != 0 || stamp.microSeconds() != 0)
        ? stamp.seconds() * 10000 + stamp.microSeconds() / 100
        : m_sinceOpen.nsecsElapsed() / 100000;
    // An adapter's clock wraps at 32 bits too.
    return quint32(tenthsOfMs);
}
