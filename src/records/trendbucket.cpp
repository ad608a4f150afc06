#include "trendbucket.h"

#include <cmath>

TrendBucket TrendBucket::sample(qint64 ms, const TrendChannel::Values &values, bool gapBefore)
{
    TrendBucket bucket;
    bucket.startMs = ms;
    bucket.samples = 1;
    bucket.gapBefore = gapBefore;
    bucket.min = bucket.max = bucket.mean = values;
    return bucket;
}

void TrendBucket::merge(const TrendBucket &later)
{
    const float weight = float(later.samples) / float(samples + later.samples);
    for (size_t c = 0; c < mean.size(); ++c) {
        // fmin and fmax already prefer a number to NaN.
        min[c] = std::fmin(min[c], later.min[c]);
        max[c] = std::fmax(max[c], later.max[c]);
        if (std::isnan(mean[c]))
            mean[c] = later.mean[c];
        else if (!std::isnan(later.mean[c]))
            mean[c] += (later.mean[c] - mean[c]) * weight;
    }
    samples += later.samples;
}
