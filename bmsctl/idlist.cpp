#include "idlist.h"
#include "signals/batterybank.h"

#include <QStringList>

namespace {

bool readNumber(const QString &text, int *id)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > BatteryBank::MaxDeviceId)
        return false;
    *id = value;
    return true;
}

// Echoes what was given: for a part like "-1", whose bounds are "" and "1", the whole part.
QString notBatteries(const QString &text)
{
    return QStringLiteral("battery numbers are 0 to %1: \"%2\"")
        .arg(BatteryBank::MaxDeviceId)
        .arg(text);
}

} // namespace

bool IdList::parseOne(const QString &text, int *id, QString *error)
{
    if (readNumber(text, id))
        return true;
    *error = notBatteries(text);
    return false;
}

bool IdList::parse(const QString &text, QList<int> *ids, QString *error)
{
    QList<int> parsed;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString &part : parts) {
        const QStringList bounds = part.split(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        if (bounds.size() > 2 || !readNumber(bounds.first(), &first)
            || !readNumber(bounds.last(), &last)) {
            *error = notBatteries(part);
            return false;
        }
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
