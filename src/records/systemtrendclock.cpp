#include "systemtrendclock.h"

#include <QDateTime>
#include <QDeadlineTimer>

qint64 SystemTrendClock::monotonicMs() const
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadline();
}

qint64 SystemTrendClock::wallMs() const
{
    return QDateTime::currentMSecsSinceEpoch();
}
