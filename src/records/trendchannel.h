#pragma once

#include "signals/signalindex.h"

#include <array>

class AbstractSignalValue;

// The values of one battery that the trend plots show, each kept as one channel of its
// TrendSeries. All but the cell voltage spread are read from the store as they are; the spread
// is the highest cell voltage less the lowest, taken at each sample, so that its own peaks
// survive the thinning of old data.
namespace TrendChannel {

enum Id : int {
    PackVoltage,
    Current,
    StateOfCharge,
    MaxCellVoltage,
    MinCellVoltage,
    CellVoltageSpread,
    MaxCellTemperature,
    MinCellTemperature,
    Count
};

// One value per channel, indexed by Id.
using Values = std::array<float, Count>;

// The signal a channel is read from, and whose unit and decimals it is shown with; the spread
// is shown as a cell voltage (MaxCellV).
Signal::Index signal(Id channel);

// Every channel of a battery as the store holds it now. A channel whose signal has not arrived
// yet reads NaN rather than the store's placeholder 0, which would plot as a false dip.
Values read(const AbstractSignalValue &store, int devId);

} // namespace TrendChannel
