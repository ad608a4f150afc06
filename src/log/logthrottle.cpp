#include "logthrottle.h"

namespace QsLogging {

LogThrottle::LogThrottle(int perKey, int total)
    : m_perKey(qMax(1, perKey))
    , m_total(qMax(m_perKey, total))
{
    m_clock.start();
}

bool LogThrottle::admit(quint32 key, int *dropped)
{
    return admit(key, m_clock.elapsed(), dropped);
}

bool LogThrottle::admit(quint32 key, qint64 nowMs, int *dropped)
{
    // An interval begins with the first line offered after the one before ended.
    if (m_written == 0 || nowMs - m_intervalStartMs >= IntervalMs) {
        m_intervalStartMs = nowMs;
        m_written = 0;
        m_writtenPerKey.clear();
    }
    if (m_written >= m_total || m_writtenPerKey.value(key) >= m_perKey) {
        ++m_dropped;
        return false;
    }
    ++m_writtenPerKey[key];
    ++m_written;
    *dropped = m_dropped;
    m_dropped = 0;
    return true;
}

} // namespace QsLogging
