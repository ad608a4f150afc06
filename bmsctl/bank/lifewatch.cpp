#include "lifewatch.h"

void LifeWatch::observe(int devId, const QVariant &lifeCounter, qint64 nowMs)
{
    auto it = m_lives.find(devId);
    if (it == m_lives.end()) {
        m_lives.insert(devId, Life { lifeCounter, nowMs, -1 });
        return;
    }
    // Compared as variants, as the signal store compares them: before its first frame the
    // store holds int 0, which a first counter of 0 equals, so that one has not moved yet.
    if (lifeCounter != it->counter) {
        it->counter = lifeCounter;
        it->changedMs = nowMs;
    }
}

LifeWatch::Verdict LifeWatch::verdict(int devId, qint64 nowMs) const
{
    const auto it = m_lives.constFind(devId);
    if (it == m_lives.cend())
        return Verdict::Unjudged;
    if (it->changedMs >= 0 && nowMs - it->changedMs < OfflineAfterMs)
        return Verdict::Online;
    if (it->changedMs < 0 && nowMs - it->firstSeenMs < OfflineAfterMs)
        return Verdict::Unjudged;
    return Verdict::Offline;
}
