#include "idlist.h"
#include "signals/batterybank.h"

#include <QStringList>

bool IdList::parseOne(const QString &text, int *id, QString *error)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > BatteryBank::MaxDeviceId) {
        *error = QStringLiteral("battery numbers are 0 to %1: \"%2\"")
                     .arg(BatteryBank::MaxDeviceId)
                     .arg(text);
        return false;
    }
    *id = value;
    return true;
}

bool IdList::parse(const QString &text, QList<int> *ids, QString *error)
{
    QList<int> parsed;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString &part : parts) {
        const QStringList bounds = part.split(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        if (bounds.size() > 2 || !parseOne(bounds.first(), &first, error)
            || !parseOne(bounds.last(), &last, error))
            return false;
        if (last < first) {
            *error = QStringLiteral("a range runs upwards: \"%1\"").arg(part);
            return false;
        }
        for (int id = first; id <= last; ++id) {
            if (!parsed.contains(id))
                parsed.append(id);
        }
    }
    *ids = parsed;
    return true;
}
