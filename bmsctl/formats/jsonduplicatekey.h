#pragma once

#include <QByteArray>
#include <QString>

// Finds a key given twice in one JSON object. QJsonDocument keeps the last value of such a key
// without a word, so a file edited by hand that says one thing twice ("value": 3650, "value":
// 3600) would be taken by whichever came last; a reader that must not guess refuses it instead.
class JsonDuplicateKey
{
public:
    struct Found
    {
        QString key; // as JSON means it, escapes resolved
        QString object; // where: "" for the outermost object, "parameters[3]", "a.b"
        int offset = -1; // of the key given again; -1 when every key is given once
    };

    // json must be text that QJsonDocument read without an error.
    static Found find(const QByteArray &json);
};
