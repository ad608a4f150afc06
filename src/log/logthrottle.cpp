#include "logthrottle.h"

namespace QsLogging {

LogThrottle::LogThrottle(int burst)
    : m_burst(qMax(1, burst))
{
    m_clock.start();
}

bool LogThrottle::admit(quint32 key, int *dropped)
{
    return admit(key, m_clock.elapsed(), dropped);
}

bool LogThrottle::admit(quint32 key, qint64 nowMs, int *dropped)
{
    auto found = m_keys.find(key);
    if (found == m_keys.end())
        found = m_keys.insert(key, KeyState { nowMs, 0, 0 });
    KeyState &state = found.value();
    if (nowMs - state.intervalStartMs >= IntervalMs) {
        state.intervalStartMs = nowMs;
        state.written = 0;
    }
    if (state.written >= m_burst) {
        ++state.dropped;
        return false;
    }
    ++state.written;
    *dropped = state.dropped;
    state.dropped = 0;
    return true;
}

} // namespace QsLogging
