#pragma once

#include <QDateTime>
#include <QString>

// How far a battery's clock is from the PC's: the battery's time minus the PC's local time when
// the battery answered, in whole seconds (the battery keeps no finer time); positive when the
// battery is ahead.
class ClockDrift
{
public:
    static qint64 seconds(const QDateTime &battery, const QDateTime &pc);
    // "+3 s", "-00:04:10", "-1801 d 03:12:09": short for small drifts, days for large ones.
    static QString text(qint64 seconds);
};
