#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class ParameterCatalogue;

// A battery's parameters in a file a person can read and edit: JSON, each parameter by id with
// its name and unit, and the battery it was taken from, so that a restore can refuse a file from
// another battery.
//
//     {
//         "format": "bmsctl parameters 1",
//         "battery": 1,
//         "serial": "QM2024100001",
//         "model": "ZK-LFP-16S100AH",
//         "firmware": "ZK-BMS V2.3.07",
//         "taken": "2026-12-07T12:34:56",
//         "parameters": [
//             { "id": 1, "name": "Cell Over Charge / ALARM", "unit": "mV", "value": 3650 },
//             ...
//         ]
//     }
//
// Reading checks everything before anything is used: the text is JSON that gives no key twice
// in one object (JsonDuplicateKey), "serial" is text, "parameters" lists objects whose "id" is a
// parameter of the program's set (once only) and whose "value" is a whole number the parameter
// can carry (ParameterCatalogue); a "unit" given must be the set's unit, so that a value is never
// taken in the wrong unit. "name" is for people and not checked. A file may list fewer
// parameters than the set: a restore then touches only those.
struct ParameterFile
{
    struct Value
    {
        quint32 id = 0;
        qint32 value = 0;
    };

    static constexpr const char *Format = "bmsctl parameters 1";

    int battery = -1;
    QString serial;
    QString model;
    QString firmware;
    QString taken;
    QList<Value> values;

    // The value of a parameter id, if the file has one.
    bool valueOf(quint32 id, qint32 *value) const;

    QByteArray toJson(const ParameterCatalogue &catalogue) const;
    // False with the first fault found; *file is left as it was.
    static bool fromJson(const QByteArray &json, const ParameterCatalogue &catalogue,
        ParameterFile *file, QString *error);

    static bool load(const QString &path, const ParameterCatalogue &catalogue, ParameterFile *file,
        QString *error);
    // Writes the whole file or nothing (the old file, if any, stays until the new one is complete).
    bool save(const QString &path, const ParameterCatalogue &catalogue, QString *error) const;
};
