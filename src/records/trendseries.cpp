#include "trendseries.h"

#include <algorithm>
#include <cmath>
#include <limits>

TrendSeries::TrendSeries()
    : m_tiers { { { Layout[0].widthMs, Layout[0].capacity },
        { Layout[1].widthMs, Layout[1].capacity }, { Layout[2].widthMs, Layout[2].capacity } } }
{ }

void TrendSeries::append(qint64 ms, const TrendChannel::Values &values)
{
    if (ms < m_newestMs)
        return;
    m_newestMs = ms;
    std::optional<TrendBucket> moving = TrendBucket::sample(ms, values, m_gapPending);
    m_gapPending = false;
    for (TrendTier &tier : m_tiers) {
        moving = tier.add(*moving);
        if (!moving)
            return;
    }
}

void TrendSeries::forgetBefore(qint64 ms)
{
    for (TrendTier &tier : m_tiers)
        tier.dropBefore(ms);
}

bool TrendSeries::isEmpty() const
{
    for (const TrendTier &tier : m_tiers) {
        if (tier.size() > 0)
            return false;
    }
    return true;
}

QVector<TrendPoint> TrendSeries::points(TrendChannel::Id channel, qint64 fromMs, qint64 toMs) const
{
    QVector<TrendPoint> points;
    bool gap = false;
    // The coarsest tier holds the oldest stretch. Its newest bucket holds only what left the
    // finer tier, so it ends where the finer tier begins, short of its full width.
    for (int k = int(m_tiers.size()) - 1; k >= 0; --k) {
        const TrendTier &tier = m_tiers[size_t(k)];
        const qint64 end = newerStartMs(k);
        for (int i = 0; i < tier.size(); ++i) {
            const TrendBucket &bucket = tier.at(i);
            const qint64 widthMs = std::min(tier.widthMs(), end - bucket.startMs);
            if (bucket.startMs > toMs)
                break;
            if (bucket.startMs + widthMs <= fromMs)
                continue;
            const size_t c = size_t(channel);
            if (std::isnan(bucket.mean[c])) {
                gap = true;
                continue;
            }
            points.append({ bucket.startMs, widthMs, bucket.min[c], bucket.max[c], bucket.mean[c],
                gap || bucket.gapBefore });
            gap = false;
        }
    }
    return points;
}

qint64 TrendSeries::newerStartMs(int tier) const
{
    for (int k = tier - 1; k >= 0; --k) {
        if (m_tiers[size_t(k)].size() > 0)
            return m_tiers[size_t(k)].at(0).startMs;
    }
    return std::numeric_limits<qint64>::max();
}

qint64 TrendSeries::storageBytes() const
{
    qint64 bytes = 0;
    for (const TrendTier &tier : m_tiers)
        bytes += tier.storageBytes();
    return bytes;
}
