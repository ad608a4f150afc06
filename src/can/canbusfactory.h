#pragma once

#include "canbusconfig.h"

#include <QStringList>

#include <optional>

class CanBus;

// Picks the adapter once, when a CanDevice is made: the vendor's library if one can be loaded
// (beside the executable first, then through the system's library search), otherwise the bus
// canbus.ini names (a QtSerialBus plugin, or a serial-line adapter with plugin=slcan). The
// choice is logged.
//
// A program that names its bus itself (the command-line tool's --bus) sets that bus before the
// first CanDevice is made; from then on create() gives that bus, library or not. The window
// never sets one.
class CanBusFactory
{
public:
    // A new bus, unparented, in the calling thread.
    static CanBus *create();
    // The bus a configuration names: SlcanBus for the plugin "slcan", QtCanBus otherwise.
    static CanBus *create(const CanBusConfig &config);

    // Where the vendor library is looked for, in order: the file beside the executable, then
    // the bare name for the system's search.
    static QStringList libraryCandidates();

    // The bus every later create() uses, in place of the library and canbus.ini; an empty
    // value returns to the usual choice. Call it from the thread that makes the devices.
    static void setChosenBus(const std::optional<CanBusConfig> &bus);
    static std::optional<CanBusConfig> chosenBus();
};
