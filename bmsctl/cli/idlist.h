#pragma once

#include <QList>
#include <QString>

// Battery numbers as the command line gives them: "1,2,12" or ranges "0-3,12", each a device
// number of the bank (0 to BatteryBank::MaxDeviceId), returned in the order given without
// repeats.
class IdList
{
public:
    // False with the reason when a part is not a battery number or range.
    static bool parse(const QString &text, QList<int> *ids, QString *error);
    // One battery number.
    static bool parseOne(const QString &text, int *id, QString *error);
};
