#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

// Stands between Qt's virtual CAN plugin and the server of the bus that --bus names
// (virtualcan:tcp://HOST:PORT/can0). The plugin takes every line its server sends for a frame,
// ID#FLAGS#DATA, and crashes the process on a line with fewer than three such fields: what
// another service on a mistyped port says, at once (a greeting) or whenever it likes (an error
// after its own timeout). So the plugin is pointed at this guard on the loopback; the guard
// connects to the server itself and passes everything on both ways, frames line by line, and
// at the first line that is no frame closes both connections and reports it. To the plugin the
// bus is then lost, as when a server goes away.
//
// Threads: the main thread; bytes pass while its event loop runs, which is during every wait of
// a command (EventWait, the CAN service's reply waits).
class VirtualBusGuard : public QObject
{
    Q_OBJECT

public:
    static constexpr int ConnectTimeoutMs = 3000;

    explicit VirtualBusGuard(QObject *parent = nullptr);

    // Connects to the server of a tcp://HOST:PORT interface and returns the interface the
    // plugin is to open instead. Returns the interface as given when there is nothing to stand
    // in front of: another kind of interface, or no server on a loopback address (the plugin
    // then serves the bus in this process). Empty, with *error, when the server does not answer.
    QString start(const QString &interfaceName, QString *error);

signals:
    // The server sent this line, which is no frame; both connections are closed.
    void foreignLine(const QString &server, const QString &line);

private:
    void onPluginConnected();
    void onServerData();
    void passToPlugin();
    void refuse(const QByteArray &line);

    QString m_serverName; // HOST:PORT
    // In this order: the sockets go first, the plugin's with the listener, and a socket going
    // still signals to the slots that use the others.
    QPointer<QTcpSocket> m_plugin;
    QTcpSocket m_server;
    QTcpServer m_listener;
    QByteArray m_partLine; // from the server, not yet ended
    QByteArray m_toPlugin; // whole frame lines waiting for the plugin to connect
};
