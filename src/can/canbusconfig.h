#pragma once

#include <QString>

#include <memory>

class QCanBusDevice;

// Which bus the program joins when no vendor library is there: a QtSerialBus plugin and one of
// its interfaces, or a serial-line (slcan) adapter and its serial port, read from the optional
// INI file "canbus.ini" beside the executable (top-level keys "plugin", "interface" and, for a
// serial-line adapter, "serialspeed"). Without the file, or for a key it lacks, the program
// uses Qt's "virtualcan" plugin on interface "can0".
//
// Kept apart from the buses so that other programs joining the same bus (the BMS simulator)
// read the file the same way:
//
//     plugin=socketcan
//     interface=can0                         a real adapter on Linux
//
//     plugin=virtualcan
//     interface=tcp://127.0.0.1:24500/can0   a virtual bus of its own on port 24500
//
//     plugin=slcan
//     interface=/dev/ttyACM0                 a serial-line adapter (COM5 on Windows)
//     serialspeed=115200                     the serial line's speed; USB adapters ignore it
//
// Qt's virtual bus is served by the first process that opens a virtualcan device on a local
// address, on port 35468 unless the interface names another; each process can serve one port.
class CanBusConfig
{
public:
    static QString fileName() { return QStringLiteral("canbus.ini"); }
    static QString defaultPlugin() { return QStringLiteral("virtualcan"); }
    static QString defaultInterface() { return QStringLiteral("can0"); }
    // The plugin name of serial-line adapters, which QtSerialBus does not offer.
    static QString slcanPlugin() { return QStringLiteral("slcan"); }
    static constexpr int DefaultSerialSpeed = 115200;

    // The defaults.
    CanBusConfig();
    CanBusConfig(const QString &plugin, const QString &interfaceName);

    // The file at path; a missing file, a missing key or an empty value gives the default.
    static CanBusConfig fromFile(const QString &path);
    // canbus.ini beside the executable.
    static CanBusConfig besideExecutable();
    static QString filePathBesideExecutable();

    QString plugin() const { return m_plugin; }
    QString interfaceName() const { return m_interfaceName; }
    int serialSpeed() const { return m_serialSpeed; }
    void setSerialSpeed(int bitsPerSecond) { m_serialSpeed = bitsPerSecond; }
    // "<plugin> <interface>", for the log.
    QString description() const;

    // A new, unconnected device on this bus, owned by the caller and living in the calling
    // thread; nullptr with the plugin's reason in *errorString when it cannot be made.
    std::unique_ptr<QCanBusDevice> createDevice(QString *errorString = nullptr) const;

    bool operator==(const CanBusConfig &other) const;
    bool operator!=(const CanBusConfig &other) const { return !(*this == other); }

private:
    QString m_plugin;
    QString m_interfaceName;
    int m_serialSpeed = DefaultSerialSpeed;
};
