#pragma once

#include "support/testport.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// A broker that is none, on 127.0.0.1 and a port chosen at run time: it answers a client's
// first packet with an MQTT 5 CONNACK that lets it in, and then, as told, drops the connection
// at once or keeps it without reading or answering anything more (no PUBACK, no PINGRESP).
// The time of every connection is kept.
class FakeBroker
{
public:
    enum class After { Drop, Silence };

    explicit FakeBroker(After after)
        : m_after(after)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
    }

    bool listen()
    {
        m_clock.start();
        return m_server.listen(QHostAddress::LocalHost, TestPort::pick());
    }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(m_server.serverPort()); }
    // Milliseconds from listen() to each connection.
    const QList<qint64> &connections() const { return m_connections; }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            m_connections.append(m_clock.elapsed());
            socket->setParent(&m_server);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->disconnect(); // reads no more
                socket->write(QByteArray::fromHex("2003000000"));
                if (m_after == After::Drop)
                    socket->disconnectFromHost();
            });
        }
    }

    After m_after;
    QTcpServer m_server;
    QElapsedTimer m_clock;
    QList<qint64> m_connections;
};
