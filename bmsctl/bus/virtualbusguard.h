#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

class QUrl;

// Stands between Qt's virtual CAN plugin and the server of the bus that --bus names
// (virtualcan:tcp://HOST:PORT/can0). The plugin takes every line its server sends for a frame,
// ID#FLAGS#DATA, and crashes the process on a line with fewer than three such fields: what
// another service on a mistyped port says, at once (a greeting) or whenever it likes (an error
// after its own timeout). So the plugin is pointed at this guard on the loopback; the guard
// connects to the server itself and passes everything on both ways, frames line by line, and
// at the first line that is no frame closes both connections and reports it. To the plugin the
// bus is then lost, as when a server goes away.
//
// Before that, the guard asks the server, on a connection of its own, what the plugin asks first
// (connect:<interface>). A server whose first line is a frame is a virtual bus, which sends
// nothing but frames: the plugin is then pointed at the server itself, so that frames take no
// detour through this process's main thread (with 28 batteries, a third of what listening
// costs). A first line that is no frame fails the open; with no line within ProbeMs (an idle
// bus, or a service that waits longer) the guard stands in between as above.
//
// Threads: the main thread; bytes pass while its event loop runs, which is during every wait of
// a command (EventWait, the CAN service's reply waits).
class VirtualBusGuard : public QObject
{
    Q_OBJECT

public:
    static constexpr int ConnectTimeoutMs = 3000;
    // Batteries send their fastest frames every 200 ms, so a live bus has sent one by then.
    static constexpr int ProbeMs = 300;
    // A frame's line is far shorter (ID#FLAGS#DATA, with 64 data bytes of CAN FD under 150
    // characters). A server that sends more without a line end is no virtual bus, and what it
    // sends is not kept: the guard stops there, as at a line that is no frame.
    static constexpr int MaxLineLength = 1024;

    explicit VirtualBusGuard(QObject *parent = nullptr);

    // Connects to the server of a tcp://HOST:PORT interface and returns the interface the
    // plugin is to open instead. Returns the interface as given when there is nothing to stand
    // in front of: another kind of interface, no server on a loopback address (the plugin then
    // serves the bus in this process), or a server that sent a frame first. Empty, with *error,
    // when the server does not answer or its first line is no frame.
    QString start(const QString &interfaceName, QString *error);

signals:
    // The server sent a line that is no frame, or more than MaxLineLength bytes without a line
    // end (reason says which); both connections are closed.
    void foreignLine(const QString &reason);

private:
    void onPluginConnected();
    void onServerData();
    // Asks the server, on a connection of its own, for the plugin's interface and waits at most
    // ProbeMs for its first line: true when it is a frame; false, with *error, when it is not.
    bool sendsFrames(const QUrl &url, QString *error) const;
    QString foreignText(const QByteArray &line) const;
    QString unendedText(const QByteArray &part) const;
    void passToPlugin();
    void refuse(const QString &reason);

    QString m_serverName; // HOST:PORT
    // In this order: the sockets go first, the plugin's with the listener, and a socket going
    // still signals to the slots that use the others.
    QPointer<QTcpSocket> m_plugin;
    QTcpSocket m_server;
    QTcpServer m_listener;
    QByteArray m_partLine; // from the server, not yet ended
    QByteArray m_toPlugin; // whole frame lines waiting for the plugin to connect
};
