#pragma once

#include <QObject>
#include <QStringList>

class QFileSystemWatcher;

// The names of the serial ports present, for the top bar's list, which is refreshed every
// second. Asking the system (QSerialPortInfo::availablePorts) walks every terminal device the
// kernel knows, by far the most expensive thing the idle window would do each second. A port
// comes or goes only with its device node in /dev, so where that folder can be watched the
// system is asked once and then again only after the folder changed; elsewhere (Windows, or a
// watch that could not be set) it is asked on every call.
//
// The system does not list pseudo-terminals, such as the one the BMS simulator plays a boot
// loader on. The paths named in the environment variable UPPER_SERIAL_PORTS (separated as in
// PATH) are listed after the system's ports for as long as their device node exists, those
// under /dev by their name there ("pts/3"), as the system's are.
class SerialPortList : public QObject
{
    Q_OBJECT
public:
    explicit SerialPortList(QObject *parent = nullptr);

    // The ports present now, in the order the system lists them, then those of
    // UPPER_SERIAL_PORTS.
    QStringList names();
    // Whether a change of /dev is what makes names() ask the system again.
    bool watchesDevices() const { return m_watcher != nullptr; }

private:
    QFileSystemWatcher *m_watcher = nullptr;
    QStringList m_names;
    bool m_stale = true;
};
