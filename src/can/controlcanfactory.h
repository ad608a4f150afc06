#pragma once

#include <QStringList>

#include <memory>

class ControlCanApi;

// Picks the provider of the ControlCAN operations once, when a CanDevice is made: the vendor's
// library if one can be loaded (beside the executable first, then through the system's library
// search), otherwise the CAN-bus substitute configured by canbus.ini. Both choices are logged.
class ControlCanFactory
{
public:
    static std::shared_ptr<ControlCanApi> create();

    // Where the vendor library is looked for, in order: the file beside the executable, then
    // the bare name for the system's search.
    static QStringList libraryCandidates();
};
