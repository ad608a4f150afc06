#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Batteries named in a message: "battery 5", "batteries 5, 7, 12".
namespace BatteryList {

inline QString named(const QList<int> &ids)
{
    QStringList texts;
    for (int devId : ids)
        texts.append(QString::number(devId));
    return (ids.size() == 1 ? QStringLiteral("battery ") : QStringLiteral("batteries "))
        + texts.join(QStringLiteral(", "));
}

} // namespace BatteryList
