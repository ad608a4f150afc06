#pragma once

#include "battery/batteryidentity.h"

class BusSession;
class Console;

// The one battery a command addresses (--id): it must be heard on the bus and answer. Tells an
// unknown battery (never heard) from one that is heard but does not answer, since the user does
// different things about them.
class TargetBattery
{
public:
    // True when the battery answered; its identity is in *identity. Otherwise the reason has
    // been printed.
    static bool reach(BusSession &session, int devId, Console &console, BatteryIdentity *identity);
};
