#include "virtualbusguard.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QUrl>

namespace {

constexpr int FrameFields = 3;
constexpr int ShownLineLength = 60;

QString shown(const QByteArray &line)
{
    return QString::fromLatin1(line.left(ShownLineLength)).simplified();
}

bool isFrame(const QByteArray &line)
{
    return line.size() <= VirtualBusGuard::MaxLineLength && line.count('#') >= FrameFields - 1;
}

} // namespace

VirtualBusGuard::VirtualBusGuard(QObject *parent)
    : QObject(parent)
{
    connect(&m_listener, &QTcpServer::newConnection, this, &VirtualBusGuard::onPluginConnected);
    connect(&m_server, &QIODevice::readyRead, this, &VirtualBusGuard::onServerData);
    connect(&m_server, &QAbstractSocket::disconnected, this, [this] {
        if (m_plugin)
            m_plugin->disconnectFromHost();
    });
}

QString VirtualBusGuard::start(const QString &interfaceName, QString *error)
{
    const QUrl url(interfaceName);
    if (url.scheme() != QLatin1String("tcp") || url.port() < 0)
        return interfaceName;
    m_serverName = QStringLiteral("%1:%2").arg(url.host()).arg(url.port());
    m_server.connectToHost(url.host(), quint16(url.port()));
    if (!m_server.waitForConnected(ConnectTimeoutMs)) {
        if (m_server.error() == QAbstractSocket::ConnectionRefusedError
            && QHostAddress(url.host()).isLoopback())
            return interfaceName;
        *error = m_server.error() == QAbstractSocket::SocketTimeoutError
            ? QStringLiteral("no answer from %1 within %2 s")
                  .arg(m_serverName)
                  .arg(ConnectTimeoutMs / 1000)
            : QStringLiteral("%1: %2").arg(m_serverName, m_server.errorString());
        m_server.abort();
        return QString();
    }
    const bool framesFirst = sendsFrames(url, error);
    if (framesFirst || !error->isEmpty()) {
        m_server.abort();
        return framesFirst ? interfaceName : QString();
    }
    if (!m_listener.listen(QHostAddress::LocalHost)) {
        *error = m_listener.errorString();
        m_server.abort();
        return QString();
    }
    QUrl local = url;
    local.setHost(m_listener.serverAddress().toString());
    local.setPort(m_listener.serverPort());
    return local.toString();
}

void VirtualBusGuard::onPluginConnected()
{
    while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
        // A second open attempt replaces the first.
        if (m_plugin)
            m_plugin->abort();
        m_plugin = socket;
        connect(socket, &QIODevice::readyRead, this,
            [this, socket] { m_server.write(socket->readAll()); });
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    }
    passToPlugin();
}

bool VirtualBusGuard::sendsFrames(const QUrl &url, QString *error) const
{
    QTcpSocket probe;
    probe.connectToHost(url.host(), quint16(url.port()));
    if (!probe.waitForConnected(ProbeMs))
        return false;
    // What the plugin says first: the interface whose frames it wants.
    probe.write("connect:" + url.path().mid(1).toLatin1() + '\n');
    probe.flush();
    QElapsedTimer clock;
    clock.start();
    QByteArray received;
    while (!received.contains('\n') && received.size() <= MaxLineLength && clock.elapsed() < ProbeMs
        && probe.waitForReadyRead(int(ProbeMs - clock.elapsed())))
        received += probe.readAll();
    const int end = received.indexOf('\n');
    if (end < 0) {
        if (received.size() > MaxLineLength)
            *error = unendedText(received);
        return false;
    }
    const QByteArray line = received.left(end);
    if (isFrame(line))
        return true;
    *error = foreignText(line);
    return false;
}

void VirtualBusGuard::onServerData()
{
    m_partLine += m_server.readAll();
    int end = 0;
    int start = 0;
    while ((end = m_partLine.indexOf('\n', start)) >= 0) {
        const QByteArray line
            = QByteArray::fromRawData(m_partLine.constData() + start, end - start);
        if (!isFrame(line)) {
            refuse(foreignText(line));
            return;
        }
        start = end + 1;
    }
    m_toPlugin += m_partLine.left(start);
    m_partLine.remove(0, start);
    if (m_partLine.size() > MaxLineLength) {
        refuse(unendedText(m_partLine));
        return;
    }
    passToPlugin();
}

void VirtualBusGuard::passToPlugin()
{
    if (m_plugin && !m_toPlugin.isEmpty()) {
        m_plugin->write(m_toPlugin);
        m_toPlugin.clear();
    }
}

void VirtualBusGuard::refuse(const QString &reason)
{
    m_listener.close();
    m_server.abort();
    if (m_plugin)
        m_plugin->abort();
    m_partLine.clear();
    m_toPlugin.clear();
    emit foreignLine(reason);
}

QString VirtualBusGuard::foreignText(const QByteArray &line) const
{
    return QStringLiteral("%1 is no virtual CAN bus server: it sent \"%2\"")
        .arg(m_serverName, shown(line));
}

QString VirtualBusGuard::unendedText(const QByteArray &part) const
{
    return QStringLiteral("%1 is no virtual CAN bus server: it sent more than %2 bytes without "
                          "a line end, beginning \"%3\"")
        .arg(m_serverName)
        .arg(MaxLineLength)
        .arg(shown(part));
}
