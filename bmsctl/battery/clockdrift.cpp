#include "clockdrift.h"

namespace {

constexpr qint64 SecondsPerMinute = 60;
constexpr qint64 SecondsPerDay = 86400;

} // namespace

qint64 ClockDrift::seconds(const QDateTime &battery, const QDateTime &pc)
{
    // The battery's clock has whole seconds; the PC's fraction would only add noise.
    const QDateTime pcSecond = pc.addMSecs(-pc.time().msec());
    return pcSecond.secsTo(battery);
}

QString ClockDrift::text(qint64 seconds)
{
    const QChar sign = seconds < 0 ? QLatin1Char('-') : QLatin1Char('+');
    const qint64 magnitude = qAbs(seconds);
    if (magnitude < SecondsPerMinute)
        return QStringLiteral("%1%2 s").arg(sign).arg(magnitude);
    const qint64 days = magnitude / SecondsPerDay;
    const qint64 rest = magnitude % SecondsPerDay;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(rest / 3600, 2, 10, QLatin1Char('0'))
                              .arg(rest / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(rest % 60, 2, 10, QLatin1Char('0'));
    if (days == 0)
        return sign + clock;
    return QStringLiteral("%1%2 d %3").arg(sign).arg(days).arg(clock);
}
