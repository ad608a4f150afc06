#pragma once

#include "can/canbusconfig.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

#include <optional>

class CommandParser;

// How a command reaches the bus, from the options every bus command shares:
//
//   --bus PLUGIN:INTERFACE   a Qt CAN bus or a serial-line adapter instead of the usual choice,
//                            e.g. virtualcan:tcp://127.0.0.1:24600/can0, socketcan:can0 or
//                            slcan:/dev/ttyACM0
//   --bitrate KBIT           the bus's bit rate in kbit/s (default 250), programmed into a vendor
//                            or serial-line adapter and the base of the bus load; SocketCAN keeps
//                            the system's
//   --adapter TYPE           the vendor adapter: usbcan1, usbcan2 (default), usbcan-e, usbcan-2e
//   --verbose                the libraries' log on standard error
//
// Without --bus the choice is the window's: the vendor's ControlCAN library when present, else
// the bus named by canbus.ini beside the executable.
struct BusOptions
{
    static constexpr int DefaultBitrateKbit = 250;

    std::optional<CanBusConfig> bus;
    int bitrateKbit = DefaultBitrateKbit;
    int adapterType = 0; // ControlCAN device type
    bool verbose = false;

    // What the messages call the bus.
    QString description() const;

    // The options, for a command's parser, and reading them back.
    class Parser
    {
    public:
        Parser();
        void addTo(CommandParser &parser) const;
        // False with the reason when a value makes no sense.
        bool read(const CommandParser &parser, BusOptions *options, QString *error) const;
        // The options, for the dispatcher, which takes them before the command's words too.
        QList<QCommandLineOption> options() const;

    private:
        QCommandLineOption m_bus;
        QCommandLineOption m_bitrate;
        QCommandLineOption m_adapter;
        QCommandLineOption m_verbose;
    };
};
