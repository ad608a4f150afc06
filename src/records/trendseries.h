#pragma once

#include "records/trendpoint.h"
#include "records/trendtier.h"

#include <QVector>

#include <array>
#include <limits>

// The trend of one battery: every channel, one sample a second, for the last 24 hours in a fixed
// amount of memory. Recent samples are kept as they are; older ones are thinned into buckets of
// 10 s and then of 60 s that keep each channel's lowest, highest and mean value, so that a short
// spike stays visible as long as the hour it happened in is kept:
//
//     oldest                                                          newest
//     [ 60 s buckets, 18 h ][ 10 s buckets, 5 h ][ 1 s samples, last hour ]
//
// A bucket leaving a finer tier is merged into the coarser one; one leaving the coarsest tier is
// forgotten. Times are milliseconds on the recorder's monotonic time line (TrendRecorder); a
// sample from before the newest one is dropped, so that the buckets stay in time order.
class TrendSeries
{
public:
    struct TierLayout
    {
        qint64 widthMs;
        int capacity;
    };
    static constexpr std::array<TierLayout, 3> Layout
        = { { { 1000, 3600 }, { 10 * 1000, 1800 }, { 60 * 1000, 1080 } } };
    // The time the tiers cover together when sampling never breaks off: 24 hours.
    static constexpr qint64 SpanMs = Layout[0].widthMs * Layout[0].capacity
        + Layout[1].widthMs * Layout[1].capacity + Layout[2].widthMs * Layout[2].capacity;
    static_assert(SpanMs == 24 * 3600 * 1000, "the tiers hold one day");

    TrendSeries();

    void append(qint64 ms, const TrendChannel::Values &values);
    // Sampling broke off: the next sample is not joined to the last.
    void markGap() { m_gapPending = true; }
    // Forgets every bucket that ends at or before the given time.
    void forgetBefore(qint64 ms);

    bool isEmpty() const;
    // One channel's points that overlap [fromMs, toMs], oldest first, at the finest resolution
    // kept for each stretch of time. Buckets where the channel had no value are left out and
    // mark a gap before the next point.
    QVector<TrendPoint> points(TrendChannel::Id channel, qint64 fromMs, qint64 toMs) const;

    // Bytes held now, and the most a series can ever hold.
    qint64 storageBytes() const;
    static constexpr qint64 capacityBytes()
    {
        return qint64(sizeof(TrendBucket))
            * (Layout[0].capacity + Layout[1].capacity + Layout[2].capacity);
    }

private:
    // Where the tiers finer than the given one begin: the end of what it can hold.
    qint64 newerStartMs(int tier) const;

    // Finest first.
    std::array<TrendTier, Layout.size()> m_tiers;
    qint64 m_newestMs = std::numeric_limits<qint64>::min();
    bool m_gapPending = false;
};
