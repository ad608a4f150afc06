#include "virtualbusguard.h"

#include <QHostAddress>
#include <QUrl>

namespace {

constexpr int FrameFields = 3;
constexpr int ShownLineLength = 60;

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

void VirtualBusGuard::onServerData()
{
    m_partLine += m_server.readAll();
    int end = 0;
    int start = 0;
    while ((end = m_partLine.indexOf('\n', start)) >= 0) {
        const QByteArray line = m_partLine.mid(start, end - start);
        if (line.count('#') < FrameFields - 1) {
            refuse(line);
            return;
        }
        start = end + 1;
    }
    m_toPlugin += m_partLine.left(start);
    m_partLine.remove(0, start);
    passToPlugin();
}

void VirtualBusGuard::passToPlugin()
{
    if (m_plugin && !m_toPlugin.isEmpty()) {
        m_plugin->write(m_toPlugin);
        m_toPlugin.clear();
    }
}

void VirtualBusGuard::refuse(const QByteArray &line)
{
    m_listener.close();
    m_server.abort();
    if (m_plugin)
        m_plugin->abort();
    m_partLine.clear();
    m_toPlugin.clear();
    emit foreignLine(m_serverName, QString::fromLatin1(line.left(ShownLineLength)).simplified());
}
