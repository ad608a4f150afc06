#pragma once

#include <QHash>
#include <QList>

#include <functional>

class CanService;
class ParameterCatalogue;

// Reads a battery's parameters one by one through the CAN service (each read waits for its
// reply, so 81 take about four seconds).
class ParameterReader
{
public:
    // Reads the parameters at these positions of the catalogue into *values (position -> display
    // value). Stops at the first that does not answer and returns its position; -1 when all
    // came. progress(done, total) is called before each read.
    static int read(CanService *service, int devId, const ParameterCatalogue &catalogue,
        const QList<int> &positions, QHash<int, qint32> *values,
        const std::function<void(int, int)> &progress = {});
};
