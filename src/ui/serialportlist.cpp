#include "serialportlist.h"

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QSerialPortInfo>

SerialPortList::SerialPortList(QObject *parent)
    : QObject(parent)
{
#if defined(Q_OS_LINUX)
    auto *watcher = new QFileSystemWatcher(this);
    if (watcher->addPath(QStringLiteral("/dev"))) {
        m_watcher = watcher;
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { m_stale = true; });
    } else {
        delete watcher;
    }
#endif
}

QStringList SerialPortList::names()
{
    if (m_stale || !m_watcher) {
        m_names.clear();
        const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &port : ports)
            m_names.append(port.portName());
        // A change during the walk is delivered afterwards, through the event loop, and marks
        // the list stale again.
        m_stale = false;
    }
    QStringList names = m_names;
    const QString extra = qEnvironmentVariable("UPPER_SERIAL_PORTS");
    const QString devices = QStringLiteral("/dev/");
    for (const QString &path : extra.split(QDir::listSeparator(), Qt::SkipEmptyParts)) {
        // Named as the system's ports are, relative to /dev ("pts/3"), which the serial port
        // resolves the same way and the narrow list shows whole.
        const QString name = path.startsWith(devices) ? path.mid(devices.size()) : path;
        // Checked on every call: a pseudo-terminal's node lives in /dev/pts, which the watch
        // of /dev does not see.
        if (!names.contains(name) && QFile::exists(path))
            names.append(name);
    }
    return names;
}
