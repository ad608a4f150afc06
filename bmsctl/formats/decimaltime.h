#pragma once

#include <QByteArray>
#include <QtGlobal>

// A time written as a decimal number of some unit, "1841.500" ms or "0.100001" s, to and from
// microseconds. unitDigits is the unit's size in powers of ten of a microsecond: 6 for seconds,
// 3 for milliseconds. A fraction finer than a microsecond is cut, a shorter one filled with
// zeros; a time too large for 64 bits of microseconds is refused.
class DecimalTime
{
public:
    // Digits, optionally a point and more digits; a minus sign before them when signedOk.
    static bool toMicros(
        const QByteArray &text, int unitDigits, qint64 *micros, bool signedOk = false);
    // base + offset as a time of a log: false when the sum does not fit in 64 bits or lies
    // before the epoch (either may be negative: a header's start before the epoch, a time stamp
    // before the start).
    static bool offsetFrom(qint64 base, qint64 offset, qint64 *timeUs);
    // With exactly unitDigits of fraction ("0.100001"), a minus sign when negative.
    static QByteArray fromMicros(qint64 micros, int unitDigits);
};
