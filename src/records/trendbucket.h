#pragma once

#include "records/trendchannel.h"

#include <QtGlobal>

// Every channel of one battery over one interval of a TrendTier: the lowest, the highest and the
// mean of the samples that fell into it. A sample is a bucket of its own (one sample, min = max
// = mean), so thinning is nothing but merging buckets. NaN stands for a channel without a value
// and gives way to any value it is merged with.
struct TrendBucket
{
    qint64 startMs = 0;
    quint32 samples = 0;
    // Sampling broke off (battery offline, bus closed) between the previous bucket and this one.
    bool gapBefore = false;
    TrendChannel::Values min {};
    TrendChannel::Values max {};
    TrendChannel::Values mean {};

    static TrendBucket sample(qint64 ms, const TrendChannel::Values &values, bool gapBefore);
    // Folds in the samples of a later bucket of the same interval.
    void merge(const TrendBucket &later);
};
