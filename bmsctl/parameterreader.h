#pragma once

#include <QHash>
#include <QList>

class CanService;
class Console;
class ParameterCatalogue;

// Reads a battery's parameters one by one through the CAN service (each read waits for its
// reply, so 81 take about four seconds), for a command that writes nothing until it has them
// all.
class ParameterReader
{
public:
    // Reads the parameters at these positions of the catalogue into *values (position -> display
    // value), with a progress line "reading parameters N/M". Stops at the first that does not
    // answer, says which ("battery 1 did not answer for parameter 7 (<name>); nothing written")
    // and returns false; so it does when interrupted (Ctrl-C), after the read under way.
    static bool read(CanService *service, int devId, const ParameterCatalogue &catalogue,
        const QList<int> &positions, QHash<int, qint32> *values, Console &console);
};
