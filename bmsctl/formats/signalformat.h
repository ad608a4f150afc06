#pragma once

#include <QJsonValue>
#include <QString>
#include <QVariant>

class AbstractSignalValue;

// A stored signal value as the catalogue means it, for people and for scripts: reals with the
// catalogue's decimals, integers signed where an offset can make them negative (temperatures)
// and unsigned otherwise (the 32-bit totals).
class SignalFormat
{
public:
    static QString text(const AbstractSignalValue &catalogue, int index, const QVariant &value);
    // The same number as text() shows, as a JSON number.
    static QJsonValue json(const AbstractSignalValue &catalogue, int index, const QVariant &value);
};
