#include "decimaltime.h"

#include <limits>

namespace {

qint64 powerOfTen(int digits)
{
    qint64 power = 1;
    while (digits-- > 0)
        power *= 10;
    return power;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool DecimalTime::toMicros(const QByteArray &text, int unitDigits, qint64 *micros, bool signedOk)
{
    const qint64 unit = powerOfTen(unitDigits);
    const qint64 maxWhole = std::numeric_limits<qint64>::max() / unit - 1;
    int at = 0;
    const bool negative = signedOk && text.startsWith('-');
    if (negative)
        ++at;
    qint64 whole = 0;
    const int wholeStart = at;
    for (; at < text.size() && isDigit(text.at(at)); ++at) {
        whole = whole * 10 + (text.at(at) - '0');
        if (whole > maxWhole)
            return false;
    }
    if (at == wholeStart)
        return false;
    qint64 fraction = 0;
    if (at < text.size()) {
        if (text.at(at) != '.')
            return false;
        ++at;
        int digits = 0;
        for (; at < text.size() && isDigit(text.at(at)); ++at, ++digits) {
            if (digits < unitDigits)
                fraction = fraction * 10 + (text.at(at) - '0');
        }
        if (at < text.size())
            return false;
        if (digits < unitDigits)
            fraction *= powerOfTen(unitDigits - digits);
    }
    const qint64 value = whole * unit + fraction;
    *micros = negative ? -value : value;
    return true;
}

bool DecimalTime::offsetFrom(qint64 base, qint64 offset, qint64 *timeUs)
{
    constexpr qint64 Max = std::numeric_limits<qint64>::max();
    constexpr qint64 Min = std::numeric_limits<qint64>::min();
    if ((base > 0 && offset > Max - base) || (base < 0 && offset < Min - base) || base + offset < 0)
        return false;
    *timeUs = base + offset;
    return true;
}

QByteArray DecimalTime::fromMicros(qint64 micros, int unitDigits)
{
    const qint64 unit = powerOfTen(unitDigits);
    const bool negative = micros < 0;
    // Whole and fraction apart, so that the most negative value needs no negation.
    const qint64 whole = micros / unit;
    const qint64 fraction = micros % unit;
    QByteArray text = negative ? QByteArray("-") : QByteArray();
    text += QByteArray::number(negative ? -whole : whole);
    if (unitDigits > 0) {
        const QByteArray digits = QByteArray::number(negative ? -fraction : fraction);
        text += '.';
        text += QByteArray(unitDigits - digits.size(), '0');
        text += digits;
    }
    return text;
}
