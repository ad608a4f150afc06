#pragma once

#include <QList>
#include <QString>

// Battery numbers as the command line gives them: "1,2,12" or ranges "0-3,12", each 0..27,
// returned in the order given without repeats.
class IdList
{
public:
    static constexpr int MaxDevId = 27;

    // False with the reason when a part is not a battery number or range.
    static bool parse(const QString &text, QList<int> *ids, QString *error);
    // One battery number.
    static bool parseOne(const QString &text, int *id, QString *error);
};
