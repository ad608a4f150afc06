#pragma once

#include <QtGlobal>

// The two clocks the trends need. The monotonic one orders and ages the samples: it only moves
// forward, whatever is done to the PC's clock (set back by hand, a day forward by a wrong time
// server). The wall clock only names the times shown to people.
//
// Tests give a TrendRecorder a clock of their own to move either one at will.
class TrendClock
{
public:
    virtual ~TrendClock() = default;
    // Milliseconds from an arbitrary start; never smaller than a value read before.
    virtual qint64 monotonicMs() const = 0;
    // Milliseconds since the epoch, UTC, as the PC's clock says now.
    virtual qint64 wallMs() const = 0;
};
