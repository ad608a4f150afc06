#pragma once

#include "records/trendclock.h"

// The PC's clocks: the system's monotonic clock and its time of day.
class SystemTrendClock : public TrendClock
{
public:
    qint64 monotonicMs() const override;
    qint64 wallMs() const override;
};
