#pragma once

#include "support/readyprocess.h"
#include "support/testport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <unistd.h>

// Debian's Mosquitto broker, run by a test on 127.0.0.1 on a port chosen at run time, with a
// configuration of the test's own in a folder of its own, and stopped (killed if need be) when
// the object goes. It never meets a broker of the system's.
//
//   MosquittoBroker broker;
//   QVERIFY(broker.start("allow_anonymous true\n"));
//   ... broker.url() ...
class MosquittoBroker
{
public:
    MosquittoBroker()
        : m_port(TestPort::pick())
    { }

    QString url(const char *scheme = "mqtt") const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(m_port);
    }
    quint16 port() const { return m_port; }
    // A file in the broker's folder.
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Starts with the listener's settings; true once it listens. Started again, it takes the
    // same port.
    bool start(const QByteArray &settings)
    {
        // Run as root, the broker would turn into the user "mosquitto", who cannot read the
        // test's folder; naming the user it runs as keeps it as it is.
        const QByteArray user = getpwuid(getuid())->pw_name;
        QFile config(path(QStringLiteral("mosquitto.conf")));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write("user " + user + "\npersistence false\nlog_dest stderr\nlistener "
            + QByteArray::number(m_port) + " 127.0.0.1\n" + settings);
        config.close();
        m_process.clearOutput();
        return m_process.start(
            QStringLiteral("/usr/sbin/mosquitto"), { "-c", config.fileName() }, " running");
    }

    void stop() { m_process.stop(); }
    QByteArray log() { return m_process.output(); }

private:
    QTemporaryDir m_dir;
    quint16 m_port;
    ReadyProcess m_process;
};
