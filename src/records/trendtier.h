#pragma once

#include "records/trendbucket.h"

#include <optional>
#include <vector>

// Buckets of one width in time order, in a ring of fixed capacity. Each bucket covers the
// interval [startMs, startMs + width) with startMs a multiple of the width, so the buckets of a
// finer tier nest in those of a coarser one when the widths divide each other. The ring takes its
// whole capacity on the first add and never more.
class TrendTier
{
public:
    TrendTier(qint64 widthMs, int capacity);

    qint64 widthMs() const { return m_widthMs; }
    int size() const { return m_size; }
    // Oldest first.
    const TrendBucket &at(int i) const { return m_ring[size_t((m_first + i) % m_capacity)]; }

    // Places a bucket, which starts no earlier than the newest one, in the interval its start
    // falls into: merged into the newest bucket when it is the same interval, appended otherwise.
    // When the ring was full, the oldest bucket makes room and is returned.
    std::optional<TrendBucket> add(TrendBucket bucket);
    // Forgets the buckets that end at or before the given time.
    void dropBefore(qint64 ms);
    qint64 storageBytes() const { return qint64(m_ring.capacity() * sizeof(TrendBucket)); }

private:
    std::vector<TrendBucket> m_ring;
    qint64 m_widthMs;
    int m_capacity;
    int m_first = 0;
    int m_size = 0;
};
