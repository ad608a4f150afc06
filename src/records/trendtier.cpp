#include "trendtier.h"

TrendTier::TrendTier(qint64 widthMs, int capacity)
    : m_widthMs(widthMs)
    , m_capacity(capacity)
{ }

std::optional<TrendBucket> TrendTier::add(TrendBucket bucket)
{
    bucket.startMs -= bucket.startMs % m_widthMs;
    if (m_size > 0) {
        TrendBucket &newest = m_ring[size_t((m_first + m_size - 1) % m_capacity)];
        if (bucket.startMs == newest.startMs) {
            newest.merge(bucket);
            return std::nullopt;
        }
    }
    if (m_ring.empty())
        m_ring.resize(size_t(m_capacity));

    std::optional<TrendBucket> evicted;
    if (m_size == m_capacity) {
        evicted = m_ring[size_t(m_first)];
        m_first = (m_first + 1) % m_capacity;
        --m_size;
    }
    m_ring[size_t((m_first + m_size) % m_capacity)] = bucket;
    ++m_size;
    return evicted;
}

void TrendTier::dropBefore(qint64 ms)
{
    while (m_size > 0 && at(0).startMs + m_widthMs <= ms) {
        m_first = (m_first + 1) % m_capacity;
        --m_size;
    }
}
